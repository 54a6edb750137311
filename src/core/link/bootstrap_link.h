#pragma once
// The bootstrap cable: an HC11 with MODA and MODB low on a plain serial line. Start resets
// the part (or expects the user to), loads the talker through the boot ROM with every echo
// checked, and checks that the talker runs; the other calls speak the talker's protocol
// (talker_protocol.h), one command at a time, never sending while the talker programs.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/link/boot_part.h"
#include "core/link/serial_port.h"
#include "core/link/talker_protocol.h"

namespace jqz {

inline constexpr std::uint16_t kBprotAddress = 0x1035;
inline constexpr std::uint16_t kConfigAddress = 0x103F;

// The port name of the built-in HC11 model on the cable.
inline constexpr const char* kVirtualHc11Port = "Virtual HC11 (bootstrap)";

// Opens the cable's port for a run on the given part (the in-process model takes the part's
// family from it).
using CablePortOpener = std::function<OpenedPort(const std::string& name, const BootPart& part)>;

class BootstrapLink {
public:
    BootstrapLink(SerialPort& port, BootPart part, BootLinkOptions options);

    // The download as the boot ROM gets it: the talker with its delay patched in for the
    // crystal, padded to the RAM's size where the boot ROM takes a fixed length.
    static std::vector<std::uint8_t> DownloadImage(const BootPart& part, double xtalMHz);

    // False with error() set when the part did not take the talker or it does not answer.
    // A part the catalogue marks as secured is refused unless securedConfirmed is set: the
    // boot ROM erases its EEPROM and CONFIG as it enters bootstrap mode.
    bool Start(bool securedConfirmed);

    bool Identity(std::string& text);
    bool Read(std::uint16_t address, std::span<std::uint8_t> out);
    // CRC-16 (Crc16Ccitt) of `blocks` blocks of blockSize bytes each (1..256) from address.
    bool Crc(std::uint16_t address, int blocks, int blockSize, std::vector<std::uint16_t>& out);
    // One PPROG cycle with the pulse (mode: 0 program, talker::kByte|kErase byte erase,
    // kRow|kErase row erase, kErase bulk erase), or two (kEraseFirst: byte erase, then
    // program); readBack: the cell afterwards.
    bool EepromCycle(std::uint16_t address, std::uint8_t data, std::uint8_t mode,
                     std::uint8_t& readBack);
    // Clears BPROT (the E family), so that EEPROM and CONFIG can be written, and checks that
    // it stays clear (the talker also clears it as it starts).
    bool ClearBprot();

    const BootPart& part() const { return part_; }
    int baudRate() const { return baud_; }
    const std::string& error() const { return error_; }

private:
    bool fail(std::string text);
    bool resetPart();
    bool download();
    bool transact(const TalkerFrame& frame, std::vector<std::uint8_t>& data, int busyMs);
    std::size_t readFor(std::uint8_t* data, std::size_t count, long long microseconds);
    std::string checkAdvice() const;

    SerialPort& port_;
    BootPart part_;
    BootLinkOptions options_;
    int baud_;
    std::string error_;
};

}  // namespace jqz
