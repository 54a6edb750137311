#pragma once
// A fault soak: program and read sequences, one after another, against the in-process
// virtual programmer, each with faults drawn from one seed (a reply byte dropped, corrupted
// or cut off, a byte from the PC corrupted, the cable pulled, a status code, a pin-tester
// report, a stop at some moment), skipping blank blocks on some runs.
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

// The bootstrap cable soak: program, verify and read runs over the bootstrap cable against the
// HC11 model in-process (in virtual time), each with faults drawn from one seed (an echo the
// part does not send, a byte of the host's that never arrives, the last echo lost by the
// adapter as the rate changes, an EEPROM cell stuck at one value, a crystal other than the one
// named). After every run it holds the run against what a user relies on:
// - the run ended, within a bound of the model's time as well as of the wall clock;
// - a run that reported success left exactly the wanted bytes in the part (a program or a
//   verify) or gave exactly the part's bytes (a read); one that failed said why;
// - no run changed a cell outside the range it was asked to write.
class CableSoak {
public:
    explicit CableSoak(std::uint64_t seed);
    ~CableSoak();
    CableSoak(const CableSoak&) = delete;
    CableSoak& operator=(const CableSoak&) = delete;

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
