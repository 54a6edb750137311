#pragma once
// The program sequence: checks the programmer, links the device and then erases, programs
// (optionally after the CONFIG register) and verifies the EEPROM in 128-byte blocks, as the
// option states say, reporting every outcome in the log.
#include "core/device/sequence_driver.h"

namespace jqz {

inline constexpr const char* kProgramInProgress = "Program Sequence in Progress ...";
inline constexpr const char* kConfigProgrammed = "CONFIG Register programmed.";
inline constexpr const char* kVerifyErrorAt = "Verify Error at Address : 0x";
inline constexpr const char* kProgramCompleted = "Program Sequence completed successful";
inline constexpr const char* kProgramInterrupted = "Program Sequence Interrupted.";

class SequenceLink;
class ProgBarSimTh;

class DeviceWriteTh final : public SequenceWorker {
public:
    using SequenceWorker::SequenceWorker;
    ~DeviceWriteTh() override { WaitFor(); }

protected:
    void Execute() override;

private:
    // Runs up to the common end; failed is set by a tolerated error or a verify mismatch.
    void run(SequenceLink& link, ProgBarSimTh& simulation, bool& failed);
};

class DeviceWrite final : public SequenceDriver {
public:
    explicit DeviceWrite(SequenceHost& host) : SequenceDriver(host, kProgramInterrupted) {}

protected:
    std::unique_ptr<SequenceWorker> makeWorker(COM* com, const DeviceMap& device) override {
        return std::make_unique<DeviceWriteTh>(host(), com, device);
    }
};

// "Verify Error at Address : 0x" and the address as five upper-case hexadecimal digits.
std::string VerifyErrorLine(int address);
// After an erase, with blank blocks skipped: how many of the EEPROM's blocks were blank and
// so not written.
std::string SkippedBlocksLine(int skipped, int blocks);
// The line that ends a verify that found differences: how many addresses differ.
std::string VerifySummaryLine(int differing);

}  // namespace jqz
