// The fault soak with a modest number of runs (JQZ_SOAK_RUNS sets another; JQZ_SOAK_SEED
// repeats a printed seed). The long soak is a benchmark (bench/bench_fault_soak.cpp).
#include <gtest/gtest.h>

#include <iostream>

#include "soak/fault_soak.h"

namespace jqz::test {
namespace {

// Runs the soak's runs, stopping at the first that breaks a rule, and prints its figures.
template <typename Soak>
void soakRuns(const char* name, int defaultRuns) {
    const std::uint64_t seed = soak::SoakSeed();
    const int runs = soak::SoakRuns(defaultRuns);
    std::cout << name << ": seed " << seed << ", " << runs << " runs (JQZ_SOAK_SEED=" << seed
              << " repeats them)" << std::endl;
    Soak soak(seed);
    for (int i = 0; i < runs; ++i) {
        const std::string problem = soak.runOnce();
        ASSERT_EQ(problem, "") << "seed " << seed;
    }
    const soak::SoakFigures& f = soak.figures();
    EXPECT_EQ(f.runs, runs);
    std::cout << "endings:";
    for (const auto& [ending, n] : f.endings) std::cout << " " << ending << " " << n;
    std::cout << "\nfaults:";
    for (const auto& [fault, n] : f.faults) std::cout << " " << fault << " " << n;
    std::cout << "\nlongest run " << f.longestRunMs << " ms, all runs " << f.totalRunMs << " ms"
              << std::endl;
}

TEST(FaultSoak, EveryRunEndsWellAndNoRunSpoilsData) { soakRuns<soak::FaultSoak>("fault soak", 40); }

TEST(CableSoak, EveryRunEndsWellAndNoRunSpoilsData) {
    soakRuns<soak::CableSoak>("bootstrap cable soak", 12);
}

}  // namespace
}  // namespace jqz::test
