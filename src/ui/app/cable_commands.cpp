// The main window's side of the bootstrap cable: its link, the question before a run on a part
// that may be secured, the reset prompt by hand, the link's limits on the controls, and Tools >
// Identify Part for either link.
#include <QAbstractButton>
#include <QApplication>
#include <QToolButton>
#include <algorithm>
#include <string>
#include <vector>

#include "core/device/supported_device_list.h"
#include "core/link/port_enumeration.h"
#include "sim/hc11/virtual_hc11_ports.h"
#include "ui/app/prog_shell.h"
#include "ui/link/cable_limits.h"
#include "ui/link/reset_prompt.h"

namespace jqz {

namespace {

struct NamedAction {
    TargetAction action;
    const char* name;
};

// What Identify Part tells of a link and a part, in the order of the sequence pages.
constexpr NamedAction kTold[] = {
    {TargetAction::EraseEeprom, "erase EEPROM"},    {TargetAction::ProgramEeprom, "program EEPROM"},
    {TargetAction::VerifyEeprom, "verify EEPROM"},  {TargetAction::ProgramConfig, "program CONFIG"},
    {TargetAction::ReadEeprom, "read EEPROM"},      {TargetAction::ReadEprom, "read EPROM/ROM"},
    {TargetAction::ReadBootRom, "read BOOT ROM"},   {TargetAction::EraseEprom, "erase EPROM"},
    {TargetAction::ProgramEprom, "program EPROM"},  {TargetAction::VerifyEprom, "verify EPROM"},
};

// "The bootstrap cable can erase EEPROM, ... with the MC68HC711 E9 (4K81H)." and, for each
// reason, "It cannot erase EPROM, program EPROM, verify EPROM: EPROM programming needs the
// programmer's 12 V supply."
std::vector<std::string> AbilityLines(const TargetLink& link, const std::string& device) {
    std::string can;
    std::vector<std::pair<std::string, std::string>> cannot;  // reason, actions
    for (const auto& told : kTold) {
        const LinkAbility a = link.Can(told.action, device);
        if (a) {
            can += (can.empty() ? "" : ", ") + std::string(told.name);
            continue;
        }
        auto it = std::find_if(cannot.begin(), cannot.end(),
                               [&](const auto& c) { return c.first == a.why; });
        if (it == cannot.end()) it = cannot.insert(cannot.end(), {a.why, ""});
        it->second += (it->second.empty() ? "" : ", ") + std::string(told.name);
    }
    std::vector<std::string> lines;
    if (!can.empty()) lines.push_back("The bootstrap cable can " + can + " with the " + device + ".");
    for (const auto& [why, actions] : cannot) lines.push_back("It cannot " + actions + ": " + why);
    return lines;
}

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
    const std::string question = link->QuestionBeforeRun(devices_->selectedDevice());
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
    if (identifying_ != nullptr) identifying_->RequestStop();
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
    }
    const DeviceMap device = DeviceMap::Of(*devices_);
    link->MarkBusy();
    identifying_ = link;
    runLinkWork([this, link, &device] {
        auto session = link->OpenSession(device, log_);
        if (session->Link(options_) && session->ReportIdentity()) {
            if (link->kind() == LinkKind::BootstrapCable) {
                for (const auto& line : AbilityLines(*link, device.name)) AddLogLine(line, LogInfo);
            } else {
                AddLogLine("Device ID: " + device.name, LogInfo);
            }
            session->Finish();
        }
    });
    identifying_ = nullptr;
    const bool stopped = link->StopRequested();
    link->MarkIdle();
    link->ClearStop();
    if (stopped) {
        link->AfterInterruption();
        AddLogLine("Identify Part Interrupted.", LogError);
    }
    if (resetPrompt_ != nullptr) resetPrompt_->setWaiting(false);
}

}  // namespace jqz
