#pragma once
// Checksums of image bytes.
#include <cstdint>
#include <span>

namespace jqz {

// The CRC-32 of zlib, gzip and PNG (reflected polynomial 0xEDB88320, initial value and final
// XOR 0xFFFFFFFF), as the crc32 tool prints it.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

}  // namespace jqz
