#include "core/device/prog_bar_sim.h"

#include <chrono>

namespace jqz {

ProgBarSimTh::ProgBarSimTh(ProgressGauge& gauge, int periodFactor)
    : gauge_(gauge), periodFactor_(periodFactor) {
    Start();
}

ProgBarSimTh::~ProgBarSimTh() { Stop(); }

void ProgBarSimTh::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    Terminate();
    wake_.notify_all();
    WaitFor();
}

void ProgBarSimTh::Execute() {
    gauge_.setMaximum(100);
    for (;;) {
        gauge_.stepWrapping(100);
        std::unique_lock lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::milliseconds(periodFactor_ * 10),
                           [this] { return stopRequested_; }))
            break;
    }
    gauge_.setPosition(0);
    setReturnValue(0);
}

}  // namespace jqz
