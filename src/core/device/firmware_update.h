#pragma once
// The firmware update: with the programmer in Service mode, the firmware image goes to its
// loader in 89 frames (D5 and a 130-byte block), each answered by one byte; a block whose
// answer is not its last byte is sent again until it is. Progress goes to the gauge, results
// to the log.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/device/sequence_driver.h"

namespace jqz {

inline constexpr const char* kServiceModeRequired = "Programmer must be in Service mode ";
inline constexpr const char* kUpdateInProgress = "Firmware Update in Progress ...";
inline constexpr const char* kUpdateComplete = "Firmware Update complete.";
inline constexpr const char* kUpdateInterrupted = "Firmware Update Interrupted.";

class hupdatTh final : public SequenceWorker {
public:
    // image: kFirmwareImageSize bytes, sent as they stand.
    hupdatTh(SequenceHost& host, COM* com, const std::vector<std::uint8_t>& image)
        : SequenceWorker(host, com, DeviceMap{}), image_(image) {}
    ~hupdatTh() override { WaitFor(); }

protected:
    void Execute() override;

private:
    void transfer();

    const std::vector<std::uint8_t>& image_;
};

// The update as the dialog drives it: Start, and the stop-and-wait when the dialog closes.
class FirmwareUpdate {
public:
    explicit FirmwareUpdate(SequenceHost& host);
    // An update still going is stopped as closing the dialog would stop it.
    ~FirmwareUpdate() { Stop(); }
    FirmwareUpdate(const FirmwareUpdate&) = delete;
    FirmwareUpdate& operator=(const FirmwareUpdate&) = delete;

    // On the controlling thread: marks the link busy and starts the worker with the
    // firmware this program carries.
    void Start();
    // When the dialog closes: asks a worker to stop and waits for it. An update that did not
    // finish leaves the connection marked lost and "Firmware Update Interrupted." in the log.
    void Stop();
    // Without a dialog (the command line): waits for an update that ends by itself and lets
    // its worker go, with nothing more to report; the update's own lines have said how it
    // ended. "Firmware Update Interrupted." is left for a stop.
    void Release() {
        if (!worker_) return;
        worker_->WaitFor();
        std::lock_guard lock(workerMutex_);
        worker_.reset();
    }
    // Only asks a running worker to stop, from any thread; Stop() finishes the job.
    void RequestStop() {
        std::lock_guard lock(workerMutex_);
        if (worker_) worker_->RequestStop();
    }
    // An update has started and not yet said it has ended.
    bool Running() const { return worker_ && !worker_->Ended(); }
    // Waits until the update ends by itself; its return value (0 = finished), -1 without one.
    int WaitFor() { return worker_ ? worker_->WaitFor() : -1; }

private:
    SequenceHost& host_;
    // Replaced only on the controlling thread, under the lock (see RequestStop).
    std::mutex workerMutex_;
    std::unique_ptr<hupdatTh> worker_;
};

}  // namespace jqz
