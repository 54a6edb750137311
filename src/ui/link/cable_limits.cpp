#include "ui/link/cable_limits.h"

#include <QAbstractButton>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <iterator>

#include "core/device/device_options.h"
#include "core/device/supported_device_list.h"

namespace jqz {

namespace {

// The programmer's own check boxes, each with the action the link is asked about.
struct BoxAction {
    const char* box;
    TargetAction action;
};

constexpr BoxAction kOwnBoxes[] = {
    {"PTErrorsOBP", TargetAction::PinTester},
    {"PTErrorsICP", TargetAction::PinTester},
    {"SkipBlankBlocks", TargetAction::SkipBlankBlocks},
};

constexpr const char* kOwnToolTip = "jqzOwnToolTip";

bool offered(const OfferedOptions& o, OptionButton b) {
    switch (b) {
        case OptionButton::EraseEepromOn: return o.EraseEepromOn;
        case OptionButton::ProgramEepromOn: return o.ProgramEepromOn;
        case OptionButton::VerifyEepromOn: return o.VerifyEepromOn;
        case OptionButton::ReadEepromOn: return o.ReadEepromOn;
        case OptionButton::ReadFlashOn: return o.ReadFlashOn;
        case OptionButton::ReadRomOn: return o.ReadRomOn;
        default: return false;  // EPROM erase, program and verify are never offered
    }
}

int indexOf(OptionButton button) {
    return static_cast<int>(std::distance(std::begin(kOptionButtons),
                                          std::find(std::begin(kOptionButtons),
                                                    std::end(kOptionButtons), button)));
}

LinkAbility abilityFor(const TargetLink* link, const SupportedDeviceList& devices,
                       OptionButton button) {
    // Without a device nothing is offered, and nothing needs a reason.
    if (link == nullptr || devices.deviceType == 0) return {};
    return link->Can(ActionOfOptionButton(indexOf(button)), devices.selectedDevice());
}

// The control's own tool tip, kept the first time a limit may replace it.
QString ownToolTip(QWidget* control) {
    if (!control->property(kOwnToolTip).isValid())
        control->setProperty(kOwnToolTip, control->toolTip());
    return control->property(kOwnToolTip).toString();
}

// release: an option button is released as it is disabled; a check box keeps its state for
// the programmer.
void limit(QAbstractButton* control, bool limited, const std::string& why, bool enableOtherwise,
           bool release) {
    const QString own = ownToolTip(control);
    if (limited) {
        if (release) control->setChecked(false);
        control->setEnabled(false);
        control->setToolTip(QString::fromStdString(why));
    } else {
        control->setToolTip(own);
        if (enableOtherwise) control->setEnabled(true);
    }
}

}  // namespace

bool LinkAllows(const TargetLink* link, const SupportedDeviceList& devices, OptionButton button) {
    return abilityFor(link, devices, button).can;
}

void ShowLinkLimits(QWidget* window, const TargetLink* link, const SupportedDeviceList& devices) {
    const OfferedOptions o = OptionsOffered(devices);
    for (OptionButton b : kOptionButtons) {
        auto* button = window->findChild<QAbstractButton*>(OptionButtonName(b));
        if (button == nullptr) continue;
        const LinkAbility ability = abilityFor(link, devices, b);
        limit(button, !ability, ability.why, offered(o, b), true);
    }
    for (const auto& box : kOwnBoxes) {
        auto* control = window->findChild<QAbstractButton*>(box.box);
        if (control == nullptr) continue;
        const LinkAbility ability =
            link == nullptr ? LinkAbility{} : link->Can(box.action, devices.selectedDevice());
        limit(control, !ability, ability.why, true, false);
    }
}

std::string LinkRefusesDevice(const TargetLink& link, const std::string& deviceName) {
    const LinkAbility ability = link.Can(TargetAction::IdentifyPart, deviceName);
    return ability ? std::string() : ability.why;
}

}  // namespace jqz
