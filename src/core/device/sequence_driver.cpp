#include "core/device/sequence_driver.h"

#include <utility>

#include "core/device/supported_device_list.h"
#include "core/link/connection.h"

namespace jqz {

DeviceMap DeviceMap::Of(const SupportedDeviceList& d) {
    DeviceMap m;
    m.name = d.selectedName;
    m.deviceType = d.deviceType;
    m.eepromStart = d.eepromStart;
    m.eepromEnd = d.eepromEnd;
    m.configAddress = d.configAddress;
    m.romArea1Start = d.romArea1Start;
    m.romArea1End = d.romArea1End;
    m.romArea2Start = d.romArea2Start;
    m.romArea2End = d.romArea2End;
    m.bootRomStart = d.bootRomStart;
    m.bootRomEnd = d.bootRomEnd;
    return m;
}

void SequenceWorker::announceEnd(SequenceKind kind) {
    ended_.store(true);
    host_.SequenceEnded(kind);
    if (com_ != nullptr) com_->Idle = true;
}

void SequenceDriver::Start() {
    if (worker_) worker_->WaitFor();
    COM* com = host_.connection();
    // The link is busy from the press of the button on, so that nothing else starts on it
    // while the worker is on its way to the point where it says so itself.
    if (com != nullptr) {
        com->Idle = false;
        com->StopRequested = false;
    }
    std::unique_ptr<SequenceWorker> worker = makeWorker(com, DeviceMap::Of(host_.devices()));
    std::unique_ptr<SequenceWorker> previous;
    {
        std::lock_guard lock(workerMutex_);
        previous = std::exchange(worker_, std::move(worker));
    }
    worker_->Start();
}

void SequenceDriver::Stop() {
    // A run that ended by itself is left alone; one that was asked to stop (here or through
    // RequestStop) gets the whole of the stop.
    if (!worker_ || (worker_->Finished() && !worker_->Terminated())) return;
    worker_->Terminate();
    COM* const com = host_.connection();
    if (com != nullptr && !worker_->Finished()) com->StopRequested = true;
    const int result = worker_->WaitFor();
    if (com != nullptr) com->StopRequested = false;
    if (result == 0) return;
    if (com != nullptr) {
        if (IO_DLL_R_W* channel = com->channel()) {
            channel->ResetProgrammer();
            channel->DrainInput();
        }
        com->Connected = false;
    }
    host_.log().AddLogLine(interruptedLine_, LogInfo);
    std::unique_ptr<SequenceWorker> stopped;
    std::lock_guard lock(workerMutex_);
    stopped = std::move(worker_);
}

void SequenceDriver::RequestStop() {
    std::lock_guard lock(workerMutex_);
    if (worker_) worker_->RequestStop();
}

bool SequenceDriver::Running() const { return worker_ && !worker_->Ended(); }

int SequenceDriver::WaitFor() { return worker_ ? worker_->WaitFor() : -1; }

}  // namespace jqz
