#include "core/device/firmware_update.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/link/connection.h"
#include "core/link/firmware_image.h"

namespace jqz {

void hupdatTh::Execute() {
    setReturnValue(1);
    transfer();
    host_.gauge().setPosition(0);
    announceEnd(SequenceKind::FirmwareUpdate);
}

void hupdatTh::transfer() {
    LogSink& log = host_.log();
    if (com_ == nullptr) {
        log.AddLogLine(kProgrammerNotFound, LogError);
        return;
    }
    if (!com_->Connected) {
        com_->Detect();
        if (!com_->Connected) {
            log.AddLogLine(com_->ResultText, LogError);
            if (com_->ResultAdvice == kProgrammerLost) log.AddLogLine(kProgrammerLost, LogError);
            return;
        }
    }
    com_->Idle = false;
    IO_DLL_R_W* channel = com_->channel();
    if (channel == nullptr || !channel->ProgrammerPresent()) {
        log.AddLogLine(kProgrammerNotFound, LogError);
        return;
    }
    const std::string mode = channel->ReadMode();
    if (std::string error = channel->TakeLastError(); !error.empty()) {
        log.AddLogLine(error, LogError);
        return;
    }
    if (mode.find("BOOT11N") == std::string::npos) {
        log.AddLogLine(kServiceModeRequired, LogError);
        return;
    }

    log.AddLogLine(kUpdateInProgress, LogInfo);
    ProgressGauge& gauge = host_.gauge();
    gauge.setMaximum(kFirmwareBlockCount);
    gauge.setPosition(0);
    // Runs under the time-outs the mode request left.
    std::array<std::uint8_t, kFirmwareFrameSize> frame{};
    int n = 0;
    std::size_t p = 0;
    while (n < kFirmwareBlockCount && !Terminated()) {
        frame[0] = kFirmwareFrameByte;
        std::copy_n(image_.begin() + static_cast<std::ptrdiff_t>(p), kFirmwareBlockSize,
                    frame.begin() + 1);
        p += kFirmwareBlockSize;
        channel->PurgeInput();
        channel->WriteBytes(frame.data(), frame.size());
        if (std::string error = channel->TakeLastError(); !error.empty()) {
            if (!Terminated()) log.AddLogLine(error, LogError);  // a stop ended the wait
            return;
        }
        std::uint8_t answer = 0;
        channel->ReadBytes(&answer, 1);
        if (std::string error = channel->TakeLastError(); !error.empty()) {
            if (!Terminated()) log.AddLogLine(error, LogError);  // a stop ended the wait
            return;
        }
        if (answer != image_[p - 1]) {  // not taken: the same block again
            --n;
            p -= kFirmwareBlockSize;
        }
        gauge.stepBy(1);
        ++n;
    }
    if (n == kFirmwareBlockCount) {
        log.AddLogLine(kUpdateComplete, LogInfo);
        setReturnValue(0);
    }
}

FirmwareUpdate::FirmwareUpdate(SequenceHost& host) : host_(host) {}

void FirmwareUpdate::Start() {
    if (worker_) worker_->WaitFor();
    COM* com = host_.connection();
    if (com != nullptr) {
        com->Idle = false;
        com->StopRequested = false;
    }
    auto worker = std::make_unique<hupdatTh>(host_, com, CurrentFirmwareImage());
    std::unique_ptr<hupdatTh> previous;
    {
        std::lock_guard lock(workerMutex_);
        previous = std::exchange(worker_, std::move(worker));
    }
    worker_->Start();
}

void FirmwareUpdate::Stop() {
    if (!worker_) return;
    worker_->Terminate();
    COM* const com = host_.connection();
    if (com != nullptr && !worker_->Finished()) com->StopRequested = true;
    const int result = worker_->WaitFor();
    if (com != nullptr) com->StopRequested = false;
    if (result == 0) return;
    if (com != nullptr) {
        if (IO_DLL_R_W* channel = com->channel()) channel->DrainInput();
        com->Connected = false;
    }
    host_.log().AddLogLine(kUpdateInterrupted, LogInfo);
    std::unique_ptr<hupdatTh> stopped;
    std::lock_guard lock(workerMutex_);
    stopped = std::move(worker_);
}

}  // namespace jqz
