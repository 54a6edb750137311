#include "core/device/sequence_link.h"

#include "core/link/connection.h"
#include "core/link/firmware_image.h"

namespace jqz {

namespace {
bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}
}  // namespace

bool SequenceLink::fail(const char* text) {
    log_.AddLogLine(text, LogError);
    return false;
}

bool SequenceLink::Check() {
    std::string error = channel_->TakeLastError();
    if (error.empty()) return true;
    logError(error);
    return false;
}

void SequenceLink::logError(const std::string& error) {
    // After a stop request the failure is the stop's doing (it ended a wait): the run ends
    // with its interrupted line alone.
    if (com_ != nullptr && com_->StopRequested) return;
    log_.AddLogLine(error, LogError);
    if (channel_->ProgrammerLost()) log_.AddLogLine(kProgrammerLost, LogError);
}

bool SequenceLink::ConnectAndLink(const SequenceOptions& options, std::uint8_t deviceType) {
    if (com_ == nullptr) return fail(kProgrammerNotFound);
    if (!com_->Connected) {
        com_->Detect();
        if (!com_->Connected) {
            log_.AddLogLine(com_->ResultText, LogError);
            if (com_->ResultAdvice == kProgrammerLost) log_.AddLogLine(kProgrammerLost, LogError);
            return false;
        }
    }
    com_->Idle = false;
    channel_ = com_->channel();
    if (channel_ == nullptr || !channel_->ProgrammerPresent()) return fail(kProgrammerNotFound);

    const std::string identification = channel_->ReadIdentification();
    if (!Check()) return false;
    if (!IsProgrammerIdentification(identification)) return fail(kProgrammerNotFound);
    if (!contains(identification, kFirmwareVersion)) return fail(kWrongFirmwareVersion);

    const std::string mode = channel_->ReadMode();
    if (!Check()) return false;
    if (!contains(mode, "NORMAL")) return fail(kNotInWorkMode);

    const std::uint8_t flags = static_cast<std::uint8_t>((options.PTErrorsOBP ? 0x01 : 0) |
                                                         (options.PTErrorsICP ? 0x02 : 0));
    channel_->SetPinTesterOptions(flags);
    if (!Check()) return false;

    if (deviceType == 0) return fail(kSelectDeviceFirst);
    channel_->SelectDeviceType(deviceType);
    if (!Check()) return false;

    log_.AddLogLine(kLinkingDevice, LogInfo);
    channel_->LinkDevice();
    return Check();
}

bool SequenceLink::ReportInterface() {
    const std::string interface = channel_->ReadInterface();
    if (!Check()) return false;
    log_.AddLogLine(interface, LogInfo);
    inCircuit_ = interface == kInCircuitInterface;
    const std::string deviceId = channel_->ReadDeviceId();
    if (!Check()) return false;
    if (!deviceId.empty()) log_.AddLogLine(deviceId, LogInfo);
    return true;
}

}  // namespace jqz
