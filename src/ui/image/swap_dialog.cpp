#include "ui/image/swap_dialog.h"

#include <QAbstractButton>
#include <QVBoxLayout>

#include "ui/image/dialog_fields.h"
#include "ui/image/hex_edit.h"

namespace jqz {

TForm4::TForm4(THexEdit& owner) : QDialog(&owner), owner_(owner) {
    MakeToolDialog(this, "Form4", "Swap");
    auto* v = new QVBoxLayout(this);
    v->addWidget(RadioGroup("Swap", "RadioGroup1",
                            {{"Byte", "RadioButtonByte"},
                             {"Word", "RadioButtonWord"},
                             {"Double Word", "RadioButtonDoubleWord"}},
                            &mode_, this));
    mode_->button(0)->setChecked(true);
    QPushButton* ok;
    QPushButton* cancel;
    v->addLayout(OkCancelRow(this, &ok, &cancel));
    connect(ok, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TForm4::open() {
    CentreOnScreen(this);
    exec();
}

void TForm4::Button1Click() {
    owner_.editor().SwapOk(static_cast<SwapMode>(mode_->checkedId()));
    accept();
}

}  // namespace jqz
