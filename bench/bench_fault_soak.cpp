// The fault soak run long: program and read runs with random faults against the in-process
// virtual programmer, every run checked as in the soak test. Counters: runs per second, the
// endings seen, the longest run. A run that breaks a check stops the benchmark with its
// description. JQZ_SOAK_SEED repeats a seed.
#include <benchmark/benchmark.h>

#include "soak/fault_soak.h"

namespace {

void BM_FaultSoak(benchmark::State& state) {
    const std::uint64_t seed = jqz::soak::SoakSeed();
    jqz::soak::FaultSoak soak(seed);
    for (auto _ : state) {
        const std::string problem = soak.runOnce();
        if (!problem.empty()) {
            state.SkipWithError(("seed " + std::to_string(seed) + ": " + problem).c_str());
            break;
        }
    }
    const jqz::soak::SoakFigures& f = soak.figures();
    state.counters["runs"] = f.runs;
    state.counters["runs_per_s"] = benchmark::Counter(f.runs, benchmark::Counter::kIsRate);
    state.counters["longest_run_ms"] = static_cast<double>(f.longestRunMs);
    for (const auto& [ending, n] : f.endings) state.counters[ending] = n;
    state.SetLabel("seed " + std::to_string(seed));
}
BENCHMARK(BM_FaultSoak)->Iterations(2000)->Unit(benchmark::kMillisecond);

}  // namespace
