#include "ui/image/go_to_dialog.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "core/image/number_parsers.h"
#include "ui/image/dialog_fields.h"
#include "ui/image/hex_edit.h"

namespace jqz {

TForm3::TForm3(THexEdit& owner) : QDialog(&owner), owner_(owner) {
    MakeToolDialog(this, "Form3", "Go To Address");
    address_ = HistoryCombo("ComboBox1", this);
    auto* form = new QFormLayout;
    form->addRow(FieldLabel("Address", "Label1", address_), address_);
    QPushButton* ok;
    QPushButton* cancel;
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addLayout(OkCancelRow(this, &ok, &cancel));
    connect(ok, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TForm3::open() {
    address_->setEditText(QString::fromStdString(AddressText(owner_.editor().cursorAddress())));
    CentreOnScreen(this);
    exec();
}

void TForm3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FocusField(address_);
}

void TForm3::Button1Click() {
    if (!owner_.editor().GoToOk(FieldText(address_))) return;
    AddToHistory(address_);
    accept();
}

}  // namespace jqz
