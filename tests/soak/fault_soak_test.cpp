// The fault soak with a modest number of runs (JQZ_SOAK_RUNS sets another; JQZ_SOAK_SEED
// repeats a printed seed). The long soak is a benchmark (bench/bench_fault_soak.cpp).
#include <gtest/gtest.h>

#include <iostream>

#include "soak/fault_soak.h"

namespace jqz::test {
namespace {

TEST(FaultSoak, EveryRunEndsWellAndNoRunSpoilsData) {
    const std::uint64_t seed = soak::SoakSeed();
    const int runs = soak::SoakRuns(40);
    std::cout << "fault soak: seed " << seed << ", " << runs << " runs (JQZ_SOAK_SEED=" << seed
              << " repeats them)" << std::endl;
    soak::FaultSoak faultSoak(seed);
    for (int i = 0; i < runs; ++i) {
        const std::string problem = faultSoak.runOnce();
        ASSERT_EQ(problem, "") << "seed " << seed;
    }
    const soak::SoakFigures& f = faultSoak.figures();
    EXPECT_EQ(f.runs, runs);
    std::cout << "endings:";
    for (const auto& [ending, n] : f.endings) std::cout << " " << ending << " " << n;
    std::cout << "\nfaults:";
    for (const auto& [fault, n] : f.faults) std::cout << " " << fault << " " << n;
    std::cout << "\nlongest run " << f.longestRunMs << " ms, all runs " << f.totalRunMs << " ms"
              << std::endl;
}

}  // namespace
}  // namespace jqz::test
