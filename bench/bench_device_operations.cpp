// The sequences against the virtual programmer's timing model at 57600 baud: a run may take
// no more than 5 % over the time the model accounts for (every byte's wire time both ways,
// the EEPROM writes and the link). Reported as the counter overhead_pct.
#include <benchmark/benchmark.h>

#include <chrono>

#include "core/device/device_image_reset.h"
#include "core/device/device_read.h"
#include "core/device/device_write.h"
#include "core/device/supported_device_list.h"
#include "core/image/hex_edit_model.h"
#include "core/link/connection.h"
#include "sim/virtual_programmer.h"

namespace {

using namespace jqz;

class BenchHost : public SequenceHost {
public:
    explicit BenchHost(const std::string& device) {
        devices_.selectDevice(device);
        ResetImageForDevice(model_, devices_);
    }
    COM* connection() override { return com.get(); }
    const SequenceOptions& options() override { return options_; }
    const SupportedDeviceList& devices() override { return devices_; }
    MemoryImage& image() override { return model_.image; }
    LogSink& log() override { return log_; }
    ProgressGauge& gauge() override { return gauge_; }
    void SequenceEnded(SequenceKind) override {}

    std::unique_ptr<COM> com;
    SequenceOptions options_;
    LogModel log_;

private:
    SupportedDeviceList devices_{""};
    HexEditModel model_;
    ProgressGauge gauge_;
};

// Runs the sequence once per iteration on a programmer with the timing model, connected at
// 57600 before timing starts; reports the wall time against the model's own account.
template <typename Driver, typename Select>
void runTimed(benchmark::State& state, const std::string& device, Select select) {
    sim::SimOptions o;
    o.timing = true;
    sim::VirtualProgrammer programmer(o);
    BenchHost host(device);
    select(host.options_, host.image());
    host.com = std::make_unique<COM>("Virtual Programmer", 57600, programmer.opener());
    if (!host.com->Connected) {
        state.SkipWithError("no connection to the virtual programmer");
        return;
    }
    Driver driver(host);
    double wallUs = 0, accountedUs = 0;
    for (auto _ : state) {
        programmer.resetAccountedTime();
        const auto start = std::chrono::steady_clock::now();
        driver.Start();
        const int result = driver.WaitFor();
        const auto took = std::chrono::steady_clock::now() - start;
        if (result != 0) {
            state.SkipWithError("the sequence did not complete");
            return;
        }
        const double us = std::chrono::duration<double, std::micro>(took).count();
        state.SetIterationTime(us / 1e6);
        wallUs += us;
        accountedUs += static_cast<double>(programmer.accountedMicroseconds());
    }
    state.counters["accounted_ms"] = accountedUs / 1000.0 / static_cast<double>(state.iterations());
    state.counters["overhead_pct"] = 100.0 * (wallUs - accountedUs) / accountedUs;
}

void BM_ProgramAndVerifyE9Eeprom(benchmark::State& state) {
    runTimed<DeviceWrite>(state, "MC68HC11  E9 (E28B)", [](SequenceOptions& o, MemoryImage&) {
        o.ProgramEepromOn = true;
        o.VerifyEepromOn = true;
    });
}
BENCHMARK(BM_ProgramAndVerifyE9Eeprom)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FullReadE20(benchmark::State& state) {
    runTimed<DeviceRead>(state, "MC68HC711 E20(1H19S)", [](SequenceOptions& o, MemoryImage&) {
        o.ReadEepromOn = true;
        o.ReadFlashOn = true;
        o.ReadRomOn = true;
    });
}
// Erase, program and verify of an E9 image whose data fill one EEPROM block of four, the
// others blank; the argument: whether blank blocks are skipped after the erase.
void BM_EraseProgramVerifyE9OneBlockOfFour(benchmark::State& state) {
    const bool skip = state.range(0) != 0;
    runTimed<DeviceWrite>(state, "MC68HC11  E9 (E28B)", [skip](SequenceOptions& o, MemoryImage& image) {
        for (int a = 0xB600; a < 0xB680; ++a) image.WriteData(a, static_cast<std::uint8_t>(a));
        o.EraseEepromOn = true;
        o.ProgramEepromOn = true;
        o.VerifyEepromOn = true;
        o.SkipBlankBlocks = skip;
    });
}
BENCHMARK(BM_EraseProgramVerifyE9OneBlockOfFour)
    ->ArgName("skip_blank")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK(BM_FullReadE20)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
