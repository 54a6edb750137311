// The progress gauge model and the gauge simulation that crawls over it while a sequence
// links the device.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "core/device/prog_bar_sim.h"
#include "core/device/progress_gauge.h"

namespace jqz {
namespace {

using Clock = std::chrono::steady_clock;

// Every change of a gauge, with the time it came.
struct GaugeRecorder {
    explicit GaugeRecorder(ProgressGauge& gauge) : gauge_(gauge) {
        gauge.setChangeHandler([this](int maximum, int position) {
            std::lock_guard lock(mutex);
            changes.push_back({maximum, position, Clock::now()});
        });
    }
    ~GaugeRecorder() { gauge_.setChangeHandler({}); }
    struct Change {
        int maximum, position;
        Clock::time_point at;
    };
    std::vector<Change> taken() {
        std::lock_guard lock(mutex);
        return changes;
    }
    std::vector<int> positions() {
        std::vector<int> p;
        for (const auto& c : taken()) p.push_back(c.position);
        return p;
    }
    ProgressGauge& gauge_;
    std::mutex mutex;
    std::vector<Change> changes;
};

TEST(ProgressGauge, PositionStaysWithinTheMaximum) {
    ProgressGauge g;
    g.setMaximum(4);
    g.setPosition(7);
    EXPECT_EQ(g.position(), 4);
    g.stepBy(1);  // a full gauge stays full
    EXPECT_EQ(g.position(), 4);
    g.setMaximum(2);
    EXPECT_EQ(g.position(), 2);
    g.setPosition(-3);
    EXPECT_EQ(g.position(), 0);
    g.stepBy(2);
    EXPECT_EQ(g.position(), 2);
}

TEST(ProgressGauge, SimulationStepsWrapAfterAHundred) {
    ProgressGauge g;
    g.setMaximum(100);
    g.setPosition(99);
    g.stepWrapping(100);
    EXPECT_EQ(g.position(), 100);
    g.stepWrapping(100);
    EXPECT_EQ(g.position(), 0);
    g.stepWrapping(100);
    EXPECT_EQ(g.position(), 1);
}

TEST(ProgressGauge, ObserversHearEveryChangeInOrder) {
    ProgressGauge g;
    GaugeRecorder r(g);
    g.setMaximum(89);
    g.setPosition(0);
    for (int i = 0; i < 90; ++i) g.stepBy(1);
    g.setPosition(0);
    const auto changes = r.taken();
    ASSERT_EQ(changes.size(), 93u);
    EXPECT_EQ(changes[91].position, 89);  // the 90th advance: the display stops at its end
    EXPECT_EQ(changes.back().position, 0);
}

TEST(ProgBarSimTh, CrawlsFromWhereTheGaugeStandsAndWraps) {
    ProgressGauge g;
    g.setMaximum(200);
    g.setPosition(98);
    GaugeRecorder r(g);
    {
        ProgBarSimTh simulation(g, kReadSimFactor);
        while (r.taken().size() < 6) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        simulation.Stop();
    }
    const auto changes = r.taken();
    // Maximum 100 first, then one step per period: 99, 100, back to 0, 1, ...; 0 at the end.
    ASSERT_GE(changes.size(), 6u);
    EXPECT_EQ(changes[0].maximum, 100);
    EXPECT_EQ(changes[0].position, 98);
    EXPECT_EQ(changes[1].position, 99);
    EXPECT_EQ(changes[2].position, 100);
    EXPECT_EQ(changes[3].position, 0);
    EXPECT_EQ(changes[4].position, 1);
    EXPECT_EQ(changes.back().position, 0);
    EXPECT_EQ(g.position(), 0);
}

TEST(ProgBarSimTh, StepsComeOnePeriodApart) {
    for (int factor : {kProgramSimFactor, kReadSimFactor}) {
        SCOPED_TRACE(factor);
        ProgressGauge g;
        GaugeRecorder r(g);
        {
            ProgBarSimTh simulation(g, factor);
            while (r.taken().size() < 8) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const auto changes = r.taken();
        const auto period = std::chrono::milliseconds(factor * 10);
        std::vector<Clock::duration> gaps;
        for (std::size_t i = 2; i + 1 < changes.size(); ++i) {
            EXPECT_GE(changes[i].at - changes[i - 1].at, period - std::chrono::milliseconds(1));
            gaps.push_back(changes[i].at - changes[i - 1].at);
        }
        // And no more than one period: a step left out would double a gap. The middle gap is
        // held against that, so that one late wake-up on a busy machine does not count.
        ASSERT_FALSE(gaps.empty());
        std::sort(gaps.begin(), gaps.end());
        EXPECT_LT(gaps[gaps.size() / 2], 2 * period);
    }
}

TEST(ProgBarSimTh, AStopRightAwayStillMakesOneStep) {
    ProgressGauge g;
    GaugeRecorder r(g);
    ProgBarSimTh simulation(g, kProgramSimFactor);
    simulation.Stop();
    simulation.Stop();  // a second request changes nothing
    EXPECT_EQ(r.positions(), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(g.maximum(), 100);
}

}  // namespace
}  // namespace jqz
