#pragma once
// A fault soak: program and read sequences, one after another, against the in-process
// virtual programmer, each with faults drawn from one seed (a reply byte dropped, corrupted
// or cut off, the cable pulled, a status code, a pin-tester report, a stop at some moment).
// After every run it holds the run against what a user relies on:
// - the run ended within its time-outs, with one of the sequences' endings (completed,
//   failed with an error line, passed over a programming error, interrupted);
// - the link is idle again, the start button was released once, the gauge is back at 0;
// - a read that reported success put exactly the target's bytes into the image, and a
//   failed or stopped read put nothing else there than the target's bytes;
// - a program run that reported success left exactly the image's bytes in the target's
//   EEPROM (or an erased EEPROM), and no run wrote anywhere else.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace jqz::soak {

struct SoakFigures {
    int runs = 0;
    std::map<std::string, int> endings;  // by ending: "completed", "failed", ...
    std::map<std::string, int> faults;   // by kind of fault scripted
    long long longestRunMs = 0;
    long long totalRunMs = 0;
};

class FaultSoak {
public:
    explicit FaultSoak(std::uint64_t seed);
    ~FaultSoak();
    FaultSoak(const FaultSoak&) = delete;
    FaultSoak& operator=(const FaultSoak&) = delete;

    // Runs one sequence with its faults. Empty when every check held; otherwise what did not,
    // with the run's number, its sequence and its faults.
    std::string runOnce();
    const SoakFigures& figures() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The seed from the environment variable JQZ_SOAK_SEED, else a fresh one.
std::uint64_t SoakSeed();
// The number of runs from JQZ_SOAK_RUNS, else the given one.
int SoakRuns(int otherwise);

}  // namespace jqz::soak
