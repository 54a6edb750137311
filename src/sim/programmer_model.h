#pragma once
// The virtual programmer's firmware and its target microcontrollers, at byte level. Not
// thread-safe by itself: VirtualProgrammer (virtual_programmer.h) guards it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/device/supported_device_list.h"

namespace jqz::sim {

// The length of a request from the PC that begins with `command`, the command byte included.
std::size_t FrameLength(std::uint8_t command, bool serviceMode);

// A fault in the reply to the occurrence-th command with this command byte (1 = the first;
// 0 = every one).
struct ReplyFault {
    enum Kind { Corrupt, Drop, Truncate };  // flip the byte's bits, leave it out, stop there
    std::uint8_t command = 0;
    int occurrence = 1;
    int byteIndex = 0;
    Kind kind = Corrupt;
};

struct SimFaults {
    // Status code reported for the k-th command (1-based; status and pin-report requests are
    // not counted).
    std::map<int, int> statusForCommand;
    // Pin-tester findings: a link fails with status 10 and the report shows these bits,
    // unless the pin-tester options ignore errors for the interface in use.
    std::uint8_t pinReportData = 0;
    std::uint8_t pinReportControl = 0;
    std::vector<ReplyFault> replyFaults;
    // Bytes from the PC that arrive with every bit inverted, by their number among the bytes
    // received (1: the first after the faults were set).
    std::set<long> corruptReceived;
    // DSR goes off once this many bytes have been received (negative: never).
    long dsrDropAfterBytes = -1;
    // Firmware block index -> how many times that block is answered with a wrong byte.
    std::map<int, int> wrongAcks;
    // A secured on-board target whose erase fails: linking reports status 15.
    bool stillSecured = false;
};

enum class Interface { InCircuit, OnBoard };

struct SimOptions {
    std::string version = "VER-1.1";  // the identification is the name and this version
    std::string identification;      // replaces the whole identification when not empty
    bool serviceMode = false;        // BOOT11N: the firmware loader
    Interface interface = Interface::InCircuit;
    bool secured = false;  // an on-board target that starts secured
    std::uint8_t deviceIdA = 0xFF, deviceIdB = 0xFF;
    // The device type of the part in the socket; 0: whatever type the PC selects.
    std::uint8_t targetType = 0;
    bool timing = false;  // wire time and EEPROM write time
    SimFaults faults;
};

// One byte on the wire.
struct WireByte {
    bool fromPc;
    std::uint8_t value;
    int rate;
    bool lost;  // sent at a rate the other side was not using, or while DSR was off
};

// The contents of ROM and BOOT ROM cells of a simulated part.
std::uint8_t SimRomByte(int address);
std::uint8_t SimBootRomByte(int address);
inline constexpr std::uint8_t kSimConfigDefault = 0x0F;

// A target microcontroller with the catalogue's memory map.
class TargetMcu {
public:
    explicit TargetMcu(const DeviceEntry& entry, bool secured);
    const DeviceEntry& entry() const { return *entry_; }
    std::uint8_t read(int address) const;
    bool inEeprom(int address) const;
    // EEPROM can only clear bits; the CONFIG register takes the value. False when the cell
    // does not end up holding value.
    bool program(int address, std::uint8_t value);
    void eraseEeprom();
    bool secured = false;
    std::array<std::uint8_t, 65536> memory{};

private:
    const DeviceEntry* entry_;
};

struct Output {
    std::vector<std::uint8_t> bytes;
    int busyMs = 0;  // time the programmer works before the first byte (timing model)
};

class ProgrammerModel {
public:
    explicit ProgrammerModel(SimOptions options);

    // Bytes from the PC, sent at pcRate; the reply bytes that go back (already lost ones
    // left out when the rates differ).
    Output receive(std::uint8_t byte, int pcRate);
    // DTR pulse: the programmer restarts at 9600 baud (mid-frame state, status, link and a
    // partial firmware load dropped). The mode switch and the firmware stay.
    void reset();

    bool dsr() const { return dsr_; }
    void setDsr(bool on) { dsr_ = on; }
    int rate() const { return rate_; }
    std::string identification() const;
    std::string mode() const { return options_.serviceMode ? "BOOT11N" : "NORMAL "; }
    std::string version() const { return version_; }
    std::uint8_t status() const { return status_; }
    bool linked() const { return linked_; }
    std::uint8_t selectedType() const { return selectedType_; }
    std::uint8_t pinTesterOptions() const { return pinOptions_; }
    int firmwareLoads() const { return firmwareLoads_; }
    SimOptions& options() { return options_; }
    // Scripts new faults, counted from now on: command numbers, occurrences and received
    // bytes start again from nothing.
    void setFaults(SimFaults faults);
    // The part of a device type (created with the catalogue row on first use); null for a
    // type the catalogue does not know.
    TargetMcu* target(std::uint8_t type);
    const std::vector<WireByte>& wire() const { return wire_; }
    void clearWire() { wire_.clear(); }
    // Called for every byte on the wire, in both directions.
    std::function<void(const WireByte&)> onWire;

private:
    void execute(Output& out);
    void reply(Output& out, std::initializer_list<std::uint8_t> bytes);
    void reply(Output& out, const std::vector<std::uint8_t>& bytes);
    void finishStatus(int code);
    void recordWire(bool fromPc, std::uint8_t value, int rate, bool lost);
    bool securedNow();

    SimOptions options_;
    std::string version_;
    bool dsr_ = true;
    int rate_ = 9600;
    long received_ = 0;
    int commandCount_ = 0;
    std::map<int, int> occurrences_;
    std::vector<std::uint8_t> frame_;
    std::size_t expected_ = 0;
    std::uint8_t status_ = 0;
    std::uint8_t selectedType_ = 0;
    std::uint8_t pinOptions_ = 0;
    bool linked_ = false;
    std::map<std::uint8_t, TargetMcu> targets_;
    std::vector<std::uint8_t> loaded_;  // firmware blocks taken so far
    int nextBlock_ = 0;
    std::map<int, int> wrongAcksLeft_;
    int firmwareLoads_ = 0;
    std::vector<WireByte> wire_;
    std::uint8_t command_ = 0;
    int occurrence_ = 0;
};

}  // namespace jqz::sim
