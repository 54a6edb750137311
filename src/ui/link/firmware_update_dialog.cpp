#include "ui/link/firmware_update_dialog.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace jqz {

THupdate::THupdate(SequenceHost& host, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), update_(host) {
    setObjectName("Hupdate");
    setWindowTitle("Firmware Update");
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 14);
    const char* texts[] = {"WARNING !!!", "To start Firmware Update",
                           "Programmer Must be in Service mode", "Read Manual for details."};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(texts[i], this);
        label->setObjectName(QString("Label%1").arg(i + 1));
        label->setAlignment(Qt::AlignHCenter);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, Qt::red);
        label->setPalette(p);
        if (i == 0) {
            QFont f = label->font();
            f.setBold(true);
            f.setPointSizeF(f.pointSizeF() * 1.4);
            label->setFont(f);
        }
        layout->addWidget(label);
    }
    layout->addSpacing(14);

    button1_ = new QPushButton("Start", this);
    button1_->setObjectName("Button1");
    button1_->setDefault(true);
    button2_ = new QPushButton("Cancel", this);
    button2_->setObjectName("Button2");
    connect(button1_, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(button2_, &QPushButton::clicked, this, [this] { Button2Click(); });
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(button1_, QDialogButtonBox::ActionRole);
    buttons->addButton(button2_, QDialogButtonBox::RejectRole);
    buttons->setCenterButtons(true);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void THupdate::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    button1_->setEnabled(true);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    button2_->setFocus();
}

void THupdate::Button1Click() {
    button1_->setEnabled(false);
    update_.Start();
}

void THupdate::Button2Click() { reject(); }

void THupdate::FormClose() { update_.Stop(); }

void THupdate::done(int result) {
    // Every way of closing (Cancel, the close box, Escape, the worker's own request) ends here.
    FormClose();
    QDialog::done(result);
}

void THupdate::UpdateEnded() {
    if (!isVisible() || update_.Running()) return;
    reject();
    repaint();
}

}  // namespace jqz
