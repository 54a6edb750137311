#include "ui/image/edit_cell_dialog.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/image/cell_edit.h"
#include "ui/image/code_page.h"
#include "ui/image/colour_combo_box.h"
#include "ui/image/dialog_fields.h"
#include "ui/image/hex_edit.h"

namespace jqz {

TForm8::TForm8(THexEdit& owner, QWidget* parent) : QDialog(parent), owner_(owner) {
    MakeToolDialog(this, "Form8", "Edit Cell");
    address_ = HistoryCombo("ComboBox3", this);
    data_ = HistoryCombo("ComboBox4", this);
    colour_ = new ColourComboBox("ComboBox1", this);
    access_ = new QComboBox(this);
    access_->setObjectName("ComboBox2");
    access_->addItems({"Read Only", "Read/Write"});
    comment_ = HistoryCombo("ComboBox5", this);
    comment_->setMinimumWidth(260);
    colour_->setCurrentIndex(0);
    access_->setCurrentIndex(0);
    auto* form = new QFormLayout;
    form->addRow(FieldLabel("Address", "Label1", address_), address_);
    form->addRow(FieldLabel("Data", "Label2", data_), data_);
    form->addRow(FieldLabel("Cell Color", "Label3", colour_), colour_);
    form->addRow(FieldLabel("Cell Access", "Label4", access_), access_);
    form->addRow(FieldLabel("Comment", "Label5", comment_), comment_);
    QPushButton* ok;
    QPushButton* cancel;
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addLayout(OkCancelRow(this, &ok, &cancel));
    connect(ok, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(address_->lineEdit(), &QLineEdit::textEdited, this, [this] { ComboBox3Change(); });
    connect(address_, &QComboBox::activated, this, [this] { ComboBox3Change(); });
}

void TForm8::open(int row) {
    row_ = row;
    const ImageDescription::Row described = owner_.model().description.row(row);
    address_->setEditText(FromCodePage(described.addressText));
    // Show fills the fields from the row's cell whatever its address, so that nothing of the
    // previous use is left in them.
    showValues(CellValuesOnShow(owner_.model(), described.addressText));
    comment_->setEditText(FromCodePage(described.comment));
    CentreOnScreen(this);
    exec();
}

void TForm8::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    colour_->setFocus(Qt::OtherFocusReason);
}

void TForm8::ComboBox3Change() {
    const auto values = CellValuesFor(owner_.model(), FieldText(address_));
    if (values) showValues(*values);
}

void TForm8::showValues(const CellEditValues& values) {
    data_->setEditText(QString::fromStdString(values.data));
    colour_->setCurrentIndex(values.colour);
    access_->setCurrentIndex(values.readOnly ? 0 : 1);
}

void TForm8::Button1Click() {
    const CellEditInput input{FieldText(address_), FieldText(data_), FieldText(comment_),
                              colour_->currentIndex(), access_->currentIndex() == 0};
    if (!CellEditOk(owner_.model(), row_, input, owner_.messages())) return;
    AddToHistory(address_);
    AddToHistory(data_);
    AddToHistory(comment_);
    owner_.RepaintView();
    accept();
}

}  // namespace jqz
