#include "ui/image/search_dialog.h"

#include <QAbstractButton>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/image/number_parsers.h"
#include "ui/image/code_page.h"
#include "ui/image/dialog_fields.h"
#include "ui/image/hex_edit.h"

namespace jqz {

TForm7::TForm7(THexEdit& owner) : QDialog(&owner), owner_(owner) {
    MakeToolDialog(this, "Form7", "Search");
    text_ = HistoryCombo("ComboBox1", this);
    auto* form = new QFormLayout;
    form->addRow(FieldLabel("Search for", "Label1", text_), text_);
    auto* groups = new QHBoxLayout;
    groups->addWidget(RadioGroup("Data Type", "RadioGroup1",
                                 {{"Hex", "RadioButtonHex"}, {"Text", "RadioButtonText"}}, &type_,
                                 this));
    groups->addWidget(RadioGroup("Direction", "RadioGroup2",
                                 {{"Up", "RadioButtonUp"}, {"Down", "RadioButtonDown"}},
                                 &direction_, this));
    type_->button(0)->setChecked(true);
    direction_->button(1)->setChecked(true);
    QPushButton* ok;
    QPushButton* cancel;
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addLayout(groups);
    v->addLayout(OkCancelRow(this, &ok, &cancel));
    connect(ok, &QPushButton::clicked, this, [this] { Button1Click(); });
    // At creation only: the byte under the cursor, two digits without prefix.
    text_->setEditText(QString::fromStdString(
        HexText(owner_.model().image.ReadData(owner_.editor().cursorAddress()), 2)));
}

void TForm7::open() {
    CentreOnScreen(this);
    exec();
}

void TForm7::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FocusField(text_);
}

SearchOutcome TForm7::search() {
    SearchState& state = owner_.editor().search();
    state.text = ToCodePage(text_->currentText());
    state.type = type_->checkedId() == 1 ? SearchType::Text : SearchType::Hex;
    state.direction = direction_->checkedId() == 0 ? SearchDirection::Up : SearchDirection::Down;
    const SearchOutcome outcome = owner_.editor().RunSearch();
    if (outcome != SearchOutcome::Refused) AddToHistory(text_);
    return outcome;
}

void TForm7::Button1Click() {
    if (search() == SearchOutcome::Found) accept();
}

SearchOutcome TForm7::searchAgain() { return search(); }

}  // namespace jqz
