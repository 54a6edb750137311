#pragma once
// The program sequence: reaches the part through its link (the programmer's checks and
// linking, or the cable's talker), then erases, programs (optionally after the CONFIG
// register) and verifies the EEPROM in the link's blocks, as the option states say, reporting
// every outcome in the log.
#include <cstdint>
#include <vector>

#include "core/device/sequence_driver.h"

namespace jqz {

inline constexpr const char* kProgramInProgress = "Program Sequence in Progress ...";
inline constexpr const char* kConfigProgrammed = "CONFIG Register programmed.";
inline constexpr const char* kVerifyErrorAt = "Verify Error at Address : 0x";
inline constexpr const char* kProgramCompleted = "Program Sequence completed successful";
inline constexpr const char* kProgramInterrupted = "Program Sequence Interrupted.";

class TargetSession;
class ProgBarSimTh;

// The run programs and verifies the image as it was when the run was made (on the
// controlling thread, at the press of the start button): the user may go on editing, loading
// or filling the image meanwhile, and the device gets neither a mix of old and new bytes nor a
// verify error for a byte that was written as it was meant to be.
class DeviceWriteTh final : public SequenceWorker {
public:
    DeviceWriteTh(SequenceHost& host, TargetLink& target, const DeviceMap& device);
    ~DeviceWriteTh() override { WaitFor(); }

protected:
    void Execute() override;

private:
    // Runs up to the common end; failed is set by a tolerated error or a verify mismatch.
    void run(TargetSession& session, ProgBarSimTh& simulation, bool& failed);

    // The image's data bytes at the start, by address.
    const std::vector<std::uint8_t> source_;
};

class DeviceWrite final : public SequenceDriver {
public:
    explicit DeviceWrite(SequenceHost& host) : SequenceDriver(host, kProgramInterrupted) {}

protected:
    std::unique_ptr<SequenceWorker> makeWorker(TargetLink& target,
                                               const DeviceMap& device) override {
        return std::make_unique<DeviceWriteTh>(host(), target, device);
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
