#include "core/device/sequence_driver.h"

#include <utility>

#include "core/device/supported_device_list.h"
#include "core/device/target_link.h"
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

SequenceWorker::SequenceWorker(SequenceHost& host, COM* com, const DeviceMap& device)
    : host_(host),
      ownTarget_(MakeProgrammerLink(com)),
      target_(*ownTarget_),
      com_(com),
      device_(device) {}

SequenceWorker::SequenceWorker(SequenceHost& host, TargetLink& target, const DeviceMap& device)
    : host_(host), target_(target), com_(target.programmer()), device_(device) {}

SequenceWorker::~SequenceWorker() = default;

void SequenceWorker::RequestStop() {
    Terminate();
    if (!Finished()) target_.RequestStop();
}

void SequenceWorker::announceEnd(SequenceKind kind) {
    ended_.store(true);
    host_.SequenceEnded(kind);
    target_.MarkIdle();
}

void SequenceDriver::Start() {
    if (worker_) worker_->WaitFor();
    std::unique_ptr<TargetLink> programmer;
    TargetLink* target = host_.target();
    if (target == nullptr) {
        programmer = MakeProgrammerLink(host_.connection());
        target = programmer.get();
    }
    // The link is busy from the press of the button on, so that nothing else starts on it
    // while the worker is on its way to the point where it says so itself.
    target->MarkBusy();
    std::unique_ptr<SequenceWorker> worker = makeWorker(*target, DeviceMap::Of(host_.devices()));
    std::unique_ptr<SequenceWorker> previous;
    std::unique_ptr<TargetLink> previousProgrammer;
    {
        std::lock_guard lock(workerMutex_);
        previous = std::exchange(worker_, std::move(worker));
        previousProgrammer = std::exchange(programmer_, std::move(programmer));
    }
    previous.reset();  // before the link it ran on
    worker_->Start();
}

void SequenceDriver::Stop() {
    // A run that ended by itself is left alone; one that was asked to stop (here or through
    // RequestStop) gets the whole of the stop.
    if (!worker_ || (worker_->Finished() && !worker_->Terminated())) return;
    worker_->Terminate();
    TargetLink& target = worker_->target();
    if (!worker_->Finished()) target.RequestStop();
    const int result = worker_->WaitFor();
    target.ClearStop();
    if (result == 0) return;
    target.AfterInterruption();
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
