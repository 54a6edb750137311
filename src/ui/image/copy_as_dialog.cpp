#include "ui/image/copy_as_dialog.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "core/image/number_parsers.h"
#include "ui/image/dialog_fields.h"
#include "ui/image/hex_edit.h"

namespace jqz {

TForm6::TForm6(THexEdit& owner) : QDialog(&owner), owner_(owner) {
    MakeToolDialog(this, "Form6", "Copy As ");
    format_ = new QComboBox(this);
    format_->setObjectName("ComboBox1");
    format_->addItems({"ANSI C Array", "Assembler Data Array", "HyperText Markup Language (HTM)"});
    format_->setCurrentIndex(0);
    from_ = HistoryCombo("ComboBox2", this);
    to_ = HistoryCombo("ComboBox3", this);
    fromLabel_ = FieldLabel("From Address", "Label1", from_);
    toLabel_ = FieldLabel("To Address", "Label2", to_);
    auto* form = new QFormLayout;
    form->addRow(format_);
    form->addRow(fromLabel_, from_);
    form->addRow(toLabel_, to_);
    QPushButton* ok;
    QPushButton* cancel;
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addLayout(OkCancelRow(this, &ok, &cancel));
    connect(ok, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TForm6::open() {
    const QString address =
        QString::fromStdString(AddressText(owner_.editor().cursorAddress()));
    from_->setEditText(address);
    to_->setEditText(address);
    onSelection_ = owner_.editor().HasRangeSelection();
    for (QWidget* w : {static_cast<QWidget*>(from_), static_cast<QWidget*>(to_),
                       static_cast<QWidget*>(fromLabel_), static_cast<QWidget*>(toLabel_)})
        w->setEnabled(!onSelection_);
    CentreOnScreen(this);
    exec();
}

void TForm6::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    format_->setFocus(Qt::OtherFocusReason);
}

void TForm6::Button1Click() {
    const auto format = static_cast<CopyAsFormat>(format_->currentIndex());
    if (!owner_.editor().CopyAsOk(format, FieldText(from_), FieldText(to_), onSelection_)) return;
    if (!onSelection_) {
        AddToHistory(from_);
        AddToHistory(to_);
    }
    accept();
}

}  // namespace jqz
