#pragma once
// A sequence host that records what the window would show: the log, the gauge's changes and
// the end of each run (the start button released), with the connection (or another link),
// options, device list and image of a window.
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "core/messages/log_model.h"
#include "core/device/progress_gauge.h"
#include "core/device/sequence_host.h"
#include "core/device/supported_device_list.h"
#include "core/device/target_link.h"
#include "core/image/hex_edit_model.h"
#include "core/link/connection.h"

namespace jqz::test {

class RecordingHost : public SequenceHost {
public:
    RecordingHost() {
        gaugeModel.setChangeHandler([this](int maximum, int position) {
            std::lock_guard lock(mutex_);
            gaugeChanges_.emplace_back(maximum, position);
        });
    }
    ~RecordingHost() override { gaugeModel.setChangeHandler({}); }

    COM* connection() override { return com.get(); }
    TargetLink* target() override { return link.get(); }
    const SequenceOptions& options() override { return opts; }
    const SupportedDeviceList& devices() override { return deviceList; }
    MemoryImage& image() override { return model.image; }
    LogSink& log() override { return logModel; }
    ProgressGauge& gauge() override { return gaugeModel; }
    void SequenceEnded(SequenceKind kind) override {
        // Where the gauge stood when the run said it was over (read before taking the lock
        // that the gauge's own handler takes).
        const int gauge = gaugeModel.position();
        std::lock_guard lock(mutex_);
        ++ended_[kind];
        endedAtGauge_ = gauge;
    }

    int ended(SequenceKind kind) {
        std::lock_guard lock(mutex_);
        return ended_[kind];
    }
    int endedAtGauge() {
        std::lock_guard lock(mutex_);
        return endedAtGauge_;
    }
    std::vector<std::pair<int, int>> gaugeChanges() {
        std::lock_guard lock(mutex_);
        return gaugeChanges_;
    }
    void clearGauge() {
        std::lock_guard lock(mutex_);
        gaugeChanges_.clear();
    }

    std::unique_ptr<COM> com;
    // The link of a test that chooses one; none: the programmer on com.
    std::unique_ptr<TargetLink> link;
    SequenceOptions opts;
    SupportedDeviceList deviceList{""};
    HexEditModel model;
    LogModel logModel;
    ProgressGauge gaugeModel;

private:
    std::mutex mutex_;
    std::map<SequenceKind, int> ended_;
    int endedAtGauge_ = -1;
    std::vector<std::pair<int, int>> gaugeChanges_;
};

}  // namespace jqz::test
