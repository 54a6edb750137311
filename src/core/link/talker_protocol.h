#pragma once
// The talker's wire protocol (talker/talker.s), host side: frames, the check of a reply, and
// the CRC both ends compute. Pure functions; bootstrap_link.h drives them over a port.
//
// A frame is six bytes, CMD ADDRH ADDRL P1 P2 CHK, whose 8-bit sum is 0xA5. A good frame is
// answered CMD data... SUM, SUM being 0xA5 plus the sum of CMD and the data; a damaged one
// with the single byte '?'.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace jqz {

namespace talker {
inline constexpr std::uint8_t kIdentity = 'I';
inline constexpr std::uint8_t kRead = 'R';
inline constexpr std::uint8_t kCrc = 'C';
inline constexpr std::uint8_t kEepromCycle = 'P';
inline constexpr std::uint8_t kStore = 'W';
inline constexpr std::uint8_t kRejected = '?';
inline constexpr std::uint8_t kFrameSum = 0xA5;
// PPROG bits an EEPROM cycle may ask for (EELAT and EEPGM are the talker's own).
inline constexpr std::uint8_t kByte = 0x10;
inline constexpr std::uint8_t kRow = 0x08;
inline constexpr std::uint8_t kErase = 0x04;
// Not a PPROG bit: the talker erases the byte, then programs it, in one command.
inline constexpr std::uint8_t kEraseFirst = 0x80;
// The identity the talker of this program answers with.
inline constexpr const char* kIdentityText = "JQZ TALK 1.2";
}  // namespace talker

using TalkerFrame = std::array<std::uint8_t, 6>;

// A frame; counts of 256 are sent as 0.
TalkerFrame MakeTalkerFrame(std::uint8_t command, std::uint16_t address, std::uint8_t p1,
                            std::uint8_t p2);

// What a command's reply holds besides CMD and SUM.
std::size_t TalkerReplyDataLength(const TalkerFrame& frame, std::size_t identityLength);

struct TalkerReply {
    bool ok = false;
    std::vector<std::uint8_t> data;  // when ok
    std::string error;               // when not: what went wrong, in plain words
};

// A byte as the cable's messages write it: "0x3F".
std::string HexByteText(unsigned v);

// Checks what came back for a frame (expectedData bytes of data awaited); `received` may be
// short (a time-out) or anything at all.
TalkerReply CheckTalkerReply(const TalkerFrame& frame, std::size_t expectedData,
                             std::span<const std::uint8_t> received);

// CRC-16 with the polynomial 0x1021, initial value 0xFFFF, no reflection, no final XOR (the
// talker's 'C' command computes the same over each block).
std::uint16_t Crc16Ccitt(std::span<const std::uint8_t> bytes);

}  // namespace jqz
