#include "core/image/checksum.h"

#include <array>
#include <cstdio>
#include <vector>

#include "core/messages/log_model.h"
#include "core/image/cell_range.h"
#include "core/image/memory_image.h"

namespace jqz {

namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
    crc = ~crc;
    for (const std::uint8_t b : bytes) crc = kCrcTable[(crc ^ b) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

std::uint16_t Sum16(std::span<const std::uint8_t> bytes, std::uint16_t sum) {
    unsigned total = sum;
    for (const std::uint8_t b : bytes) total += b;
    return static_cast<std::uint16_t>(total & 0xFFFFu);
}

Checksums ChecksumsOf(std::span<const std::uint8_t> bytes) {
    return {Sum16(bytes), Crc32(bytes)};
}

Checksums ChecksumsOf(const MemoryImage& image, const CellSet& cells) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(cells.count()));
    cells.forEach([&](int a) { bytes.push_back(image.ReadData(a)); });
    return ChecksumsOf(bytes);
}

std::string ChecksumReport::text() const {
    return what + " " + hex(static_cast<unsigned>(first), 4) + "-" +
           hex(static_cast<unsigned>(last), 4) + (note.empty() ? "" : " " + note) + ": sum " + hex(figures.sum, 4) + ", CRC-32 " +
           hex(figures.crc32, 8);
}

ChecksumReport ImageChecksumReport(const std::string& what, const MemoryImage& image, int first,
                                   int last) {
    return {what, first, last, ChecksumsOf(image, CellSet::Range(first, last))};
}

void LogSink::AddChecksumLine(const ChecksumReport& report) { AddLogLine(report.text(), LogInfo); }

}  // namespace jqz
