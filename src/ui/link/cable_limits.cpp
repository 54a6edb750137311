#include "ui/link/cable_limits.h"

#include <QAbstractButton>
#include <QVariant>
#include <QWidget>

#include "core/device/target_link.h"

namespace jqz {

namespace {

struct CableLimit {
    const char* control;  // its object name
    const char* reason;   // its tool tip with the cable
    bool enabledOtherwise;  // a check box, always enabled with the programmer
};

constexpr CableLimit kCableLimits[] = {
    {"EraseFlashOn", kEpromNeeds12V, false},
    {"ProgramFlashOn", kEpromNeeds12V, false},
    {"VerifyFlashOn", kEpromNeeds12V, false},
    {"PTErrorsOBP", "The bootstrap cable has no pin tester", true},
    {"PTErrorsICP", "The bootstrap cable has no pin tester", true},
    {"SkipBlankBlocks",
     "Over the bootstrap cable every write skips the bytes that are already right", true},
};

constexpr const char* kOwnToolTip = "jqzOwnToolTip";

}  // namespace

void ShowCableLimits(QWidget* window, bool cable) {
    for (const auto& limit : kCableLimits) {
        auto* control = window->findChild<QAbstractButton*>(limit.control);
        if (control == nullptr) continue;
        if (!control->property(kOwnToolTip).isValid())
            control->setProperty(kOwnToolTip, control->toolTip());
        if (cable) {
            control->setEnabled(false);
            control->setToolTip(limit.reason);
        } else {
            control->setToolTip(control->property(kOwnToolTip).toString());
            if (limit.enabledOtherwise) control->setEnabled(true);
        }
    }
}

std::string CableRefusesDevice(const std::string& deviceName) {
    std::string why;
    return BootPartOfDevice(deviceName, &why) ? std::string() : why;
}

}  // namespace jqz
