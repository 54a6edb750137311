#include "ui/image/dialog_fields.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QLineEdit>
#include <QScreen>

#include "ui/image/code_page.h"

namespace jqz {

QComboBox* HistoryCombo(const char* name, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMinimumWidth(150);
    combo->setToolTip({});
    return combo;
}

void AddToHistory(QComboBox* combo) {
    const QString text = combo->currentText();
    if (combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        combo->addItem(text);
        // Adding the first item would select it; the field keeps what was typed.
        combo->setEditText(text);
    }
}

std::string FieldText(const QComboBox* combo) { return ToCodePage(combo->currentText()); }

QLabel* FieldLabel(const char* text, const char* name, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setBuddy(buddy);
    return label;
}

QHBoxLayout* OkCancelRow(QDialog* dialog, QPushButton** ok, QPushButton** cancel) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    *ok = new QPushButton("OK", dialog);
    (*ok)->setObjectName("Button1");
    (*ok)->setDefault(true);
    (*ok)->setAutoDefault(true);
    *cancel = new QPushButton("Cancel", dialog);
    (*cancel)->setObjectName("Button2");
    (*cancel)->setAutoDefault(false);
    row->addWidget(*ok);
    row->addWidget(*cancel);
    QObject::connect(*cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return row;
}

void MakeToolDialog(QDialog* dialog, const char* name, const QString& caption) {
    dialog->setObjectName(name);
    dialog->setWindowTitle(caption);
    dialog->setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->setModal(true);
}

QWidget* RadioGroup(const char* title, const char* name,
                    std::initializer_list<std::pair<const char*, const char*>> items,
                    QButtonGroup** group, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(name);
    auto* v = new QVBoxLayout(box);
    *group = new QButtonGroup(box);
    int id = 0;
    for (const auto& [text, buttonName] : items) {
        auto* b = new QRadioButton(text, box);
        b->setObjectName(buttonName);
        v->addWidget(b);
        (*group)->addButton(b, id++);
    }
    return box;
}

void FocusField(QComboBox* combo) {
    combo->setFocus(Qt::OtherFocusReason);
    if (combo->lineEdit() != nullptr) combo->lineEdit()->selectAll();
}

void CentreOnScreen(QWidget* dialog) {
    QScreen* screen = dialog->screen() != nullptr ? dialog->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    dialog->adjustSize();
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    dialog->move(frame.topLeft());
}

}  // namespace jqz
