// The main window's side of the bootstrap cable: its link, the question before a run on a part
// that may be secured (a secured row of the catalogue, or a part last seen with NOSEC
// programmed), the reset prompt by hand, the link's limits on the controls, and Tools >
// Identify Part for either link.
#include <QAbstractButton>
#include <QApplication>
#include <QToolButton>
#include <optional>
#include <string>

#include "core/device/supported_device_list.h"
#include "core/link/port_enumeration.h"
#include "sim/hc11/virtual_hc11_ports.h"
#include "ui/app/prog_shell.h"
#include "ui/link/cable_limits.h"
#include "ui/link/reset_prompt.h"

namespace jqz {

namespace {

// With the reset by hand: how long the program waits for the user's reset (the break the boot
// ROM sends) before it sends the sync anyway, the board having been reset beforehand. The
// prompt's Cancel and the Stop button end the wait sooner.
constexpr int kResetByHandWaitMs = 30'000;

}  // namespace

void TProgShell::makeCableLink() {
    LinkChoice choice;
    choice.kind = LinkKind::BootstrapCable;
    choice.port = portName_;
    choice.boot = boot_;
    choice.boot.breakWaitMs = kResetByHandWaitMs;
    choice.resetPrompt = [this](bool waiting) {
        QMetaObject::invokeMethod(this, [this, waiting] { showResetPrompt(waiting); },
                                  Qt::QueuedConnection);
    };
    const double xtal = boot_.xtalMHz;
    cableLink_ = MakeTargetLink(choice, {}, [this, xtal](const std::string& name, const BootPart& part) {
        return virtualHc11_->open(name, part, xtal);
    });
}

TargetLink* TProgShell::target() {
    return link_ == LinkKind::BootstrapCable ? cableLink_.get() : nullptr;
}

bool TProgShell::confirmBeforeRun() {
    TargetLink* link = target();
    if (link == nullptr) return true;
    std::string question = link->QuestionBeforeRun(devices_->selectedDevice());
    // A part this link left, or found, with NOSEC programmed is secured at its next reset.
    const std::optional<std::uint8_t> config = link->ConfigSeen();
    if (question.empty() && config && (*config & kConfigNosec) == 0) question = kSecuredQuestion;
    if (question.empty()) return true;
    const bool yes = sink_->askQuestion(question, QuestionButtons::YesNo) == Answer::Yes;
    link->SetConfirmed(yes);
    return yes;
}

void TProgShell::showResetPrompt(bool waiting) {
    if (resetPrompt_ == nullptr)
        resetPrompt_ = new TResetPrompt([this] { cancelResetWait(); }, this);
    resetPrompt_->setWaiting(waiting);
}

void TProgShell::cancelResetWait() {
    // A sequence stops as its start button stops it; Identify Part ends its wait.
    for (QToolButton* start : {programStart_, readStart_})
        if (start->isChecked()) {
            start->click();
            return;
        }
    if (identifying_ != nullptr) {
        identifyStopped_ = true;
        identifying_->RequestStop();
    }
}

void TProgShell::showLinkLimits() { ShowLinkLimits(this, target(), *devices_); }

void TProgShell::IdentifyPartExecute() {
    if (!ComIdle()) return;
    if (!confirmBeforeRun()) return;
    // The programmer's link over the window's connection, or the cable's.
    std::unique_ptr<TargetLink> programmer;
    TargetLink* link = target();
    if (link == nullptr) {
        programmer = MakeProgrammerLink(com_.get());
        link = programmer.get();
        // The identification the detection found; a programmer not connected yet is detected,
        // with its line, as the run links.
        if (com_ && com_->Connected) AddLogLine(com_->ResultText, LogInfo);
    }
    const DeviceMap device = DeviceMap::Of(*devices_);
    identifying_ = link;
    identifyStopped_ = false;
    bool reached = false;
    runLinkWork([this, link, &device, &reached] {
        reached = IdentifyPart(*link, device, options_, log_);
    });
    identifying_ = nullptr;
    if (!reached && identifyStopped_) AddLogLine("Identify Part Interrupted.", LogError);
    if (reached && programmer) AddLogLine("Device ID: " + device.name, LogInfo);
    if (resetPrompt_ != nullptr) resetPrompt_->setWaiting(false);
}

}  // namespace jqz
