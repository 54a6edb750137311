// The bootstrap cable against the HC11 model at 7812 baud, timed by the model's own clock
// (virtual time: what a real part on a real cable would take). Counters, in milliseconds:
// model_ms the run, limit_ms the bound it is held to, and ratio = model_ms / limit_ms.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/device/cable_operations.h"
#include "core/link/bootstrap_link.h"
#include "core/link/talker_image.h"
#include "sim/hc11/virtual_hc11.h"

namespace {

using namespace jqz;
using Bytes = std::vector<std::uint8_t>;

constexpr double kCharMs = 10.0 * 1000.0 / 7812.5;

Bytes image(int seed) {
    Bytes b(512);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 13 + seed);
    return b;
}

void report(benchmark::State& state, double modelMs, double limitMs) {
    state.counters["model_ms"] = modelMs;
    state.counters["limit_ms"] = limitMs;
    state.counters["ratio"] = modelMs / limitMs;
    if (modelMs > limitMs) state.counters["over_limit"] = 1;
}

struct Run {
    explicit Run(Bytes eeprom) : hc11(options(std::move(eeprom))), opened(hc11.open()) {
        link = std::make_unique<BootstrapLink>(*opened.port,
                                               *BootPartOfDevice("MC68HC11  E9 (E28B)", nullptr),
                                               BootLinkOptions{});
    }
    static sim::Hc11Options options(Bytes eeprom) {
        sim::Hc11Options o;
        o.part = "E9";
        o.eeprom = std::move(eeprom);
        return o;
    }
    double ms() { return static_cast<double>(hc11.modelMicroseconds()) / 1000.0; }
    sim::VirtualHc11 hc11;
    OpenedPort opened;
    std::unique_ptr<BootstrapLink> link;
};

// From erased to an image that fills the EEPROM, programmed and verified: at most 1.1 x
// (download + 512 x 10 ms + the wire time of the commands and the read-back).
void BM_CableFillErasedE9(benchmark::State& state) {
    for (auto _ : state) {
        Run run(Bytes{});
        const double begin = run.ms();
        CableWriteReport r;
        std::string error;
        if (!run.link->Start(false) ||
            !CableProgram(*run.link, 0xB600, image(1), true, r, error)) {
            state.SkipWithError("the write failed");
            return;
        }
        const auto rec = run.hc11.record();
        const double download = (1.0 + static_cast<double>(TalkerImage().size())) * kCharMs;
        // Everything else both ways on the wire, the download's echoes overlapping it.
        const double commands =
            static_cast<double>(rec.bytesFromHost + rec.bytesToHost) * kCharMs - 2 * download +
            kCharMs;
        report(state, run.ms() - begin, 1.1 * (download + 512 * 10.0 + commands));
    }
}
BENCHMARK(BM_CableFillErasedE9)->Iterations(1)->Unit(benchmark::kMillisecond);

// Programming again an image that differs in 8 bytes, download included: at most 1.0 s.
void BM_CableEightBytesChanged(benchmark::State& state) {
    for (auto _ : state) {
        Bytes wanted = image(1);
        for (int i = 0; i < 8; ++i) wanted[static_cast<std::size_t>(i * 61 + 5)] ^= 0x5A;
        Run run(image(1));
        const double begin = run.ms();
        CableWriteReport r;
        std::string error;
        if (!run.link->Start(false) ||
            !CableProgram(*run.link, 0xB600, wanted, true, r, error)) {
            state.SkipWithError("the write failed");
            return;
        }
        report(state, run.ms() - begin, 1000.0);
    }
}
BENCHMARK(BM_CableEightBytesChanged)->Iterations(1)->Unit(benchmark::kMillisecond);

// Reading the whole EEPROM once the talker runs: at most 1.1 x the wire time of its 512
// bytes. (The talker's download and check before it are in download_ms.)
void BM_CableReadE9(benchmark::State& state) {
    for (auto _ : state) {
        Run run(image(4));
        if (!run.link->Start(false)) {
            state.SkipWithError("the talker did not start");
            return;
        }
        const double started = run.ms();
        Bytes cells(512);
        if (!run.link->Read(0xB600, cells) || cells != image(4)) {
            state.SkipWithError("the read failed");
            return;
        }
        state.counters["download_ms"] = started;
        report(state, run.ms() - started, 1.1 * 512 * kCharMs);
    }
}
BENCHMARK(BM_CableReadE9)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
