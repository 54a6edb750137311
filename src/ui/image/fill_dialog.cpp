#include "ui/image/fill_dialog.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "core/image/number_parsers.h"
#include "ui/image/dialog_fields.h"
#include "ui/image/hex_edit.h"

namespace jqz {

TForm5::TForm5(THexEdit& owner) : QDialog(&owner), owner_(owner) {
    MakeToolDialog(this, "Form5", "Fill Array");
    value_ = HistoryCombo("ComboBox1", this);
    from_ = HistoryCombo("ComboBox2", this);
    to_ = HistoryCombo("ComboBox3", this);
    fromLabel_ = FieldLabel("From Address", "Label2", from_);
    toLabel_ = FieldLabel("To Address", "Label3", to_);
    auto* form = new QFormLayout;
    form->addRow(FieldLabel("Value", "Label1", value_), value_);
    form->addRow(fromLabel_, from_);
    form->addRow(toLabel_, to_);
    QPushButton* ok;
    QPushButton* cancel;
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addLayout(OkCancelRow(this, &ok, &cancel));
    connect(ok, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TForm5::open() {
    const HexEditor& editor = owner_.editor();
    const int a = editor.cursorAddress();
    value_->setEditText("0x" + QString::fromStdString(HexText(owner_.model().image.ReadData(a), 2)));
    from_->setEditText(QString::fromStdString(AddressText(a)));
    to_->setEditText(QString::fromStdString(AddressText(a)));
    onSelection_ = editor.HasRangeSelection();
    for (QWidget* w : {static_cast<QWidget*>(from_), static_cast<QWidget*>(to_),
                       static_cast<QWidget*>(fromLabel_), static_cast<QWidget*>(toLabel_)})
        w->setEnabled(!onSelection_);
    CentreOnScreen(this);
    exec();
}

void TForm5::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FocusField(value_);
}

void TForm5::Button1Click() {
    if (!owner_.editor().FillOk(FieldText(value_), FieldText(from_), FieldText(to_), onSelection_))
        return;
    AddToHistory(value_);
    AddToHistory(from_);
    AddToHistory(to_);
    accept();
}

}  // namespace jqz
