#pragma once
// Intel HEX: ":" count(1) address(2) type(1) data checksum, two hexadecimal digits a byte, the
// checksum being the two's complement of the low byte of the sum of all other bytes.
//
// Read: data (00), end of file (01), extended segment address (02) and extended linear address
// (04) records; the start addresses (03, 05) are taken and ignored. A data record's address is
// its offset from the base that the last 02 or 04 record chose; after an 02 record (or none) a
// record that runs past the 64 KiB segment's end wraps to its start, as the format has it;
// after an 04 record it runs on into the next 64 KiB. Lines that are not records
// (a bad digit, a wrong count or checksum, another type) are counted and logged like the
// S-record reader's.
//
// Write: data records of 16 bytes (or 32), an 04 record wherever the upper 16 bits of the
// address change, an 01 record at the end, every line ended with CR LF.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/image_files.h"

namespace jqz {

inline constexpr const char* kIntelHexFormatName = "Intel HEX";
inline constexpr const char* kUnrecognizedILine = "Unrecognized Line in Intel HEX file !";

struct IntelHexRecord {
    std::uint8_t type = 0;
    std::uint16_t address = 0;
    std::vector<std::uint8_t> data;
};

// One record from a line; leading characters 0x00-0x20 are skipped, anything after the
// checksum is ignored; lower-case digits are taken. False when the line is no record.
bool ParseIntelHexRecord(std::string_view line, IntelHexRecord& out);

// Whether the first line that is not blank is a record (detection of the format).
bool FirstLineIsIntelHexRecord(std::string_view head);

PlacementCounts readIntelHexText(std::string_view text, const Placement& placement,
                                 MemoryImage& image, LogSink& log);
std::string readIntelHexFile(const std::string& path, const Placement& placement,
                             MemoryImage& image, LogSink& log);

void formatIntelHexText(const MemoryImage& image, const WriteRange& range, int bytesPerLine,
                        std::string& out);
std::string writeIntelHexFile(const std::string& path, const MemoryImage& image,
                              const WriteRange& range, int bytesPerLine);

}  // namespace jqz
