#include "ui/files/dialog_parts.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "core/files/load_file.h"

namespace jqz {

QStringList ImageFileNameFilters() {
    QStringList filters;
    for (const FileFilter& f : kImageFileFilters) filters << QString::fromLatin1(f.text);
    return filters;
}

void MakeToolDialog(QDialog& dialog) {
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
    dialog.setModal(true);
}

void CentreOnScreen(QDialog& dialog) {
    const QScreen* screen = dialog.screen() != nullptr ? dialog.screen()
                                                       : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = dialog.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    dialog.move(frame.topLeft());
}

QLabel* NamedLabel(const char* name, const QString& text) {
    auto* l = new QLabel(text);
    l->setObjectName(name);
    return l;
}

QLineEdit* NamedEdit(const char* name, const QString& text) {
    auto* e = new QLineEdit(text);
    e->setObjectName(name);
    return e;
}

QPushButton* NamedButton(const char* name, const QString& text) {
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

void AddHeading(QVBoxLayout& layout, const char* name, const QString& text) {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout.addSpacing(4);
    layout.addWidget(line);
    QLabel* heading = NamedLabel(name, text);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout.addWidget(heading);
}

DialogButtons AddDialogButtons(QVBoxLayout& layout, const char* acceptName,
                               const QString& acceptText, const char* cancelName) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    DialogButtons buttons{NamedButton(acceptName, acceptText), NamedButton(cancelName, "Cancel"),
                          row};
    buttons.accept->setDefault(true);
    row->addWidget(buttons.accept);
    row->addWidget(buttons.cancel);
    layout.addSpacing(4);
    layout.addLayout(row);
    return buttons;
}

namespace {
QString& lastBrowserFolder() {
    static QString folder;
    return folder;
}
}  // namespace

QString BrowserStartFolder() {
    if (!lastBrowserFolder().isEmpty() && QDir(lastBrowserFolder()).exists()) return lastBrowserFolder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

void RememberBrowserFolder(const QString& file) {
    lastBrowserFolder() = QFileInfo(file).absolutePath();
}

QFileDialog* MakeFileBrowser(QDialog& parent, const char* name, const QString& title) {
    auto* browser = new QFileDialog(&parent, title);
    browser->setObjectName(name);
    browser->setOption(QFileDialog::DontUseNativeDialog);
    browser->setNameFilters(ImageFileNameFilters());
    browser->setDefaultSuffix("jef");
    browser->setSizeGripEnabled(true);
    return browser;
}

}  // namespace jqz
