#include "core/device/target_link.h"

namespace jqz {

TargetAction ActionOfOptionButton(int buttonIndex) {
    static constexpr TargetAction kActions[] = {
        TargetAction::EraseEeprom,   TargetAction::EraseEprom,  TargetAction::ProgramEeprom,
        TargetAction::ProgramEprom,  TargetAction::VerifyEeprom, TargetAction::VerifyEprom,
        TargetAction::ReadEeprom,    TargetAction::ReadEprom,   TargetAction::ReadBootRom};
    return kActions[buttonIndex];
}

}  // namespace jqz
