#pragma once
// The programmer firmware image this software carries, and its format.
//
// The image is 89 blocks of 130 bytes (11,570 bytes), sent to the programmer's loader one
// block per frame: the byte D5, then the block. Each block is
//   [0]       the block's index, 0..88
//   [1..128]  128 bytes of payload
//   [129]     check byte: ~(sum of bytes 0..128), modulo 256
// and the loader answers a good block by echoing its last byte (the check byte); any other
// answer means "send this block again".
//
// The payload of all blocks together (11,392 bytes) is
//   [0..3]    "JQZF"
//   [4..11]   firmware version text, e.g. "VER-1.1", padded with zero bytes
//   [12..13]  length n of the firmware body, high byte first
//   [14..17]  CRC-32 (IEEE 802.3) of the body, high byte first
//   [18..]    the body (n bytes), then 0xFF up to the end
// The loader takes the new firmware only when every block arrived in order and the header
// and CRC check out.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jqz {

inline constexpr std::uint8_t kFirmwareFrameByte = 0xD5;
inline constexpr int kFirmwareBlockCount = 89;
inline constexpr int kFirmwareBlockSize = 130;
inline constexpr int kFirmwareFrameSize = kFirmwareBlockSize + 1;
inline constexpr int kFirmwareImageSize = kFirmwareBlockCount * kFirmwareBlockSize;
inline constexpr int kFirmwarePayloadPerBlock = 128;
inline constexpr int kFirmwarePayloadSize = kFirmwareBlockCount * kFirmwarePayloadPerBlock;
inline constexpr int kFirmwareHeaderSize = 18;
inline constexpr int kFirmwareMaxBody = kFirmwarePayloadSize - kFirmwareHeaderSize;
// The firmware version the program and read sequences expect.
inline constexpr const char* kFirmwareVersion = "VER-1.1";

// The image for a version text (at most 8 characters) and a body of at most kFirmwareMaxBody
// bytes; empty when either is too long.
std::vector<std::uint8_t> BuildFirmwareImage(const std::string& version,
                                             const std::vector<std::uint8_t>& body);

// The image the program carries: firmware kFirmwareVersion.
const std::vector<std::uint8_t>& CurrentFirmwareImage();

// Whether a block (kFirmwareBlockSize bytes) is block number index with a good check byte.
bool FirmwareBlockValid(const std::uint8_t* block, int index);

// The version text of a whole image whose blocks, header and CRC all check out.
std::optional<std::string> FirmwareImageVersion(const std::vector<std::uint8_t>& image);

}  // namespace jqz
