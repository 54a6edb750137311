#include "ui/link/reset_prompt.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/device/target_link.h"
#include "ui/app/window_placement.h"

namespace jqz {

TResetPrompt::TResetPrompt(std::function<void()> cancel, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      cancel_(std::move(cancel)) {
    setObjectName("ResetPrompt");
    setWindowTitle("Bootstrap Cable");
    auto* text = new QLabel(kResetPrompt, this);
    text->setObjectName("PromptLabel");
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("CancelButton");
    connect(buttons, &QDialogButtonBox::rejected, this, &TResetPrompt::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    text->setMinimumWidth(text->fontMetrics().horizontalAdvance(QString(36, 'n')));
}

void TResetPrompt::setWaiting(bool waiting) {
    if (!waiting) {
        hide();
        return;
    }
    CentreDialog(this);
    show();
    raise();
}

void TResetPrompt::reject() {
    hide();
    if (cancel_) cancel_();
}

}  // namespace jqz
