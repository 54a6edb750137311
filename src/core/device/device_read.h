#pragma once
// The read sequence: reaches the part through its link as the program sequence does, then
// copies the EEPROM with the CONFIG register, the EPROM/ROM areas and the BOOT ROM into the
// memory image, as the option states say, with the image in bulk mode.
#include <cstdint>
#include <vector>

#include "core/device/sequence_driver.h"

namespace jqz {

inline constexpr const char* kReadInProgress = "Read Sequence in Progress ...";
inline constexpr const char* kReadCompleted = "Read Sequence completed successful.";
inline constexpr const char* kReadInterrupted = "Read Sequence Interrupted.";

class TargetSession;
class ProgBarSimTh;

class DeviceReadTh final : public SequenceWorker {
public:
    using SequenceWorker::SequenceWorker;
    ~DeviceReadTh() override { WaitFor(); }

protected:
    void Execute() override;

private:
    void run(TargetSession& session, ProgBarSimTh& simulation);
    // Reads first..last in the link's blocks into the image, the gauge counting stored bytes.
    // False on an error (logged); true when done or stopped. The bytes read are also
    // appended to `read` when given.
    bool readRange(TargetSession& session, int first, int last,
                   std::vector<std::uint8_t>* read = nullptr);
};

class DeviceRead final : public SequenceDriver {
public:
    explicit DeviceRead(SequenceHost& host) : SequenceDriver(host, kReadInterrupted) {}

protected:
    std::unique_ptr<SequenceWorker> makeWorker(TargetLink& target,
                                               const DeviceMap& device) override {
        return std::make_unique<DeviceReadTh>(host(), target, device);
    }
};

}  // namespace jqz
