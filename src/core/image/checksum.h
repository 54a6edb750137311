#pragma once
// The two figures that identify a block of memory contents: the 16-bit sum of its bytes and
// the CRC-32 with the zlib/IEEE polynomial (the value `crc32` and zlib compute), and the
// plain line that reports them for an address range.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace jqz {

class MemoryImage;
class CellSet;

// CRC-32 (reflected polynomial 0xEDB88320, initial and final value 0xFFFFFFFF). Passing the
// result of an earlier call as `crc` continues it over the next bytes, as zlib's crc32 does.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);
// The sum of the bytes modulo 65536.
std::uint16_t Sum16(std::span<const std::uint8_t> bytes, std::uint16_t sum = 0);

struct Checksums {
    std::uint16_t sum = 0;
    std::uint32_t crc32 = 0;
    friend bool operator==(const Checksums&, const Checksums&) = default;
};

Checksums ChecksumsOf(std::span<const std::uint8_t> bytes);
// The data bytes of the image's cells, in address order (a selected rectangle row by row).
Checksums ChecksumsOf(const MemoryImage& image, const CellSet& cells);

// What the figures of the device's EEPROM are called in the log.
inline constexpr const char* kEepromRange = "EEPROM";

// The figures of one address range, with what the range is ("EEPROM", "Selection").
struct ChecksumReport {
    std::string what;
    int first = 0;
    int last = 0;
    Checksums figures;
    // What the figures are of, when not what the range holds: "as written (not verified)".
    std::string note = {};

    // "EEPROM 0xB600-0xB7FF: sum 0x1234, CRC-32 0x89ABCDEF", the note before the colon
    std::string text() const;
};

// The note of figures of what a program run wrote without reading it back.
inline constexpr const char* kAsWrittenNotVerified = "as written (not verified)";

// The report of the image's bytes first..last.
ChecksumReport ImageChecksumReport(const std::string& what, const MemoryImage& image, int first,
                                   int last);

}  // namespace jqz
