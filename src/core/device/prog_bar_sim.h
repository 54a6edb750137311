#pragma once
// The gauge simulation: while a sequence checks the programmer and links the device, whose
// commands answer only at their end, the gauge crawls from left to right in steps of one
// percent, wraps to empty and starts again, until the sequence stops it.
#include <condition_variable>
#include <mutex>

#include "core/device/progress_gauge.h"
#include "core/device/worker_thread.h"

namespace jqz {

// Period factors: the pause between two steps is factor x 10 ms.
inline constexpr int kProgramSimFactor = 7;
inline constexpr int kReadSimFactor = 3;

class ProgBarSimTh final : public WorkerThread {
public:
    // Starts at once.
    ProgBarSimTh(ProgressGauge& gauge, int periodFactor);
    ~ProgBarSimTh() override;

    // Asks the simulation to stop and waits until it has put the gauge back to 0. The pause
    // between steps ends at the request, so this takes no longer than one step. A second
    // call does nothing more.
    void Stop();

protected:
    void Execute() override;

private:
    ProgressGauge& gauge_;
    const int periodFactor_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopRequested_ = false;
};

}  // namespace jqz
