#include "ui/image/copy_array_dialog.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "ui/image/dialog_fields.h"
#include "ui/image/hex_edit.h"

namespace jqz {

TForm2::TForm2(THexEdit& owner) : QDialog(&owner), owner_(owner) {
    MakeToolDialog(this, "Form2", "Copy Array");
    from_ = HistoryCombo("ComboBox1", this);
    to_ = HistoryCombo("ComboBox2", this);
    auto* form = new QFormLayout;
    form->addRow(FieldLabel("From Address", "Label1", from_), from_);
    form->addRow(FieldLabel("To Address", "Label2", to_), to_);
    QPushButton* ok;
    QPushButton* cancel;
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addLayout(OkCancelRow(this, &ok, &cancel));
    connect(ok, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TForm2::open(const QString& from, const QString& to) {
    from_->setEditText(from);
    to_->setEditText(to);
    CentreOnScreen(this);
    exec();
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FocusField(from_);
}

void TForm2::Button1Click() {
    if (!owner_.editor().CopyArrayOk(FieldText(from_), FieldText(to_))) return;
    AddToHistory(from_);
    AddToHistory(to_);
    accept();
}

}  // namespace jqz
