#include "core/device/target_link.h"

#include "core/device/cable_target.h"
#include "core/device/programmer_target.h"
#include "core/link/connection.h"

namespace jqz {

TargetAction ActionOfOptionButton(int buttonIndex) {
    static constexpr TargetAction kActions[] = {
        TargetAction::EraseEeprom,   TargetAction::EraseEprom,  TargetAction::ProgramEeprom,
        TargetAction::ProgramEprom,  TargetAction::VerifyEeprom, TargetAction::VerifyEprom,
        TargetAction::ReadEeprom,    TargetAction::ReadEprom,   TargetAction::ReadBootRom};
    return kActions[buttonIndex];
}

bool IdentifyPart(TargetLink& link, const DeviceMap& device, const SequenceOptions& options,
                  LogSink& log) {
    link.MarkBusy();
    bool reached = false;
    {
        const std::unique_ptr<TargetSession> session = link.OpenSession(device, log);
        reached = session->Link(options) && session->ReportIdentity();
        if (reached) session->Finish();
    }
    // Cut short by a stop: as a stopped sequence leaves it (the programmer reset).
    if (!reached && link.StopRequested()) link.AfterInterruption();
    link.ClearStop();
    link.MarkIdle();
    return reached;
}

std::unique_ptr<TargetLink> MakeTargetLink(const LinkChoice& choice,
                                           const PortOpener& programmerOpener,
                                           const CablePortOpener& cableOpener) {
    if (choice.kind == LinkKind::BootstrapCable)
        return std::make_unique<CableTarget>(choice, cableOpener);
    return std::make_unique<ProgrammerTarget>(
        std::make_unique<COM>(choice.port, choice.baudRate, programmerOpener));
}

}  // namespace jqz
