#include "core/files/intel_hex.h"

#include <algorithm>

#include "core/platform/atomic_file.h"
#include "core/files/file_text.h"
#include "core/files/record_placement.h"
#include "core/files/records.h"

namespace jqz {

namespace {

int digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int byteAt(std::string_view s, std::size_t i) {
    if (i + 2 > s.size()) return -1;
    const int hi = digit(s[i]);
    const int lo = digit(s[i + 1]);
    return (hi | lo) < 0 ? -1 : (hi << 4) | lo;
}

constexpr char kDigits[] = "0123456789ABCDEF";

void appendByte(std::string& out, std::uint8_t v, unsigned& sum) {
    out += kDigits[v >> 4];
    out += kDigits[v & 0xF];
    sum += v;
}

void appendRecord(std::string& out, std::uint8_t type, std::uint16_t address,
                  std::span<const std::uint8_t> data) {
    unsigned sum = 0;
    out += ':';
    appendByte(out, static_cast<std::uint8_t>(data.size()), sum);
    appendByte(out, static_cast<std::uint8_t>(address >> 8), sum);
    appendByte(out, static_cast<std::uint8_t>(address & 0xFF), sum);
    appendByte(out, type, sum);
    for (std::uint8_t b : data) appendByte(out, b, sum);
    unsigned ignored = 0;
    appendByte(out, static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF), ignored);
    out += "\r\n";
}

// The record types the reader takes, with the data length each must have (-1: any).
int requiredLength(std::uint8_t type) {
    switch (type) {
        case 0x00: return -1;
        case 0x01: return 0;
        case 0x02: return 2;
        case 0x03: return 4;
        case 0x04: return 2;
        case 0x05: return 4;
        default: return -2;
    }
}

}  // namespace

bool ParseIntelHexRecord(std::string_view line, IntelHexRecord& out) {
    std::size_t i = 0;
    while (i < line.size() && static_cast<unsigned char>(line[i]) <= 0x20) ++i;
    if (i >= line.size() || line[i] != ':') return false;
    const std::string_view s = line.substr(i + 1);
    const int count = byteAt(s, 0);
    if (count < 0 || s.size() < static_cast<std::size_t>(10 + 2 * count)) return false;
    const int hi = byteAt(s, 2);
    const int lo = byteAt(s, 4);
    const int type = byteAt(s, 6);
    if ((hi | lo | type) < 0) return false;
    const int required = requiredLength(static_cast<std::uint8_t>(type));
    if (required == -2 || (required >= 0 && count != required)) return false;
    unsigned sum = static_cast<unsigned>(count + hi + lo + type);
    out.data.resize(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const int v = byteAt(s, 8 + 2 * static_cast<std::size_t>(k));
        if (v < 0) return false;
        out.data[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v);
        sum += static_cast<unsigned>(v);
    }
    const int checksum = byteAt(s, 8 + 2 * static_cast<std::size_t>(count));
    if (checksum < 0 || ((sum + static_cast<unsigned>(checksum)) & 0xFF) != 0) return false;
    out.type = static_cast<std::uint8_t>(type);
    out.address = static_cast<std::uint16_t>((hi << 8) | lo);
    return true;
}

bool FirstLineIsIntelHexRecord(std::string_view head) {
    IntelHexRecord record;
    return ParseIntelHexRecord(FirstNonBlankLine(SkipByteOrderMark(head)), record);
}

PlacementCounts readIntelHexText(std::string_view text, const Placement& placement,
                                 MemoryImage& image, LogSink& log) {
    PlacementCounts counts;
    RecordRejectLog rejects(log, kUnrecognizedILine, "Intel HEX");
    IntelHexRecord record;
    long long base = 0;
    // After an extended linear address (04) the addresses run on past 0xFFFF; after an
    // extended segment address (02), as at the start, a record wraps within its segment.
    bool linear = false;
    bool ended = false;
    ForEachLine(SkipByteOrderMark(text), [&](std::string_view line) {
        ++counts.line;
        if (!ParseIntelHexRecord(line, record)) {
            rejects.reject();
            NoteRejectedLine(line, kIntelHexSyntax, counts);
            return true;
        }
        NoteTextAfterRecord(line, kIntelHexSyntax, counts);
        ++counts.recognised;
        switch (record.type) {
            case 0x00: {
                const std::size_t n = record.data.size();
                const std::size_t first =
                    linear ? n : std::min<std::size_t>(n, 0x10000 - record.address);
                const std::span<const std::uint8_t> bytes(record.data);
                PlaceRecordBytes(image, placement, base + record.address, bytes.first(first),
                                 counts);
                if (first < n) PlaceRecordBytes(image, placement, base, bytes.subspan(first), counts);
                break;
            }
            case 0x01: ended = true; return false;
            case 0x02:
                base = static_cast<long long>((record.data[0] << 8) | record.data[1]) << 4;
                linear = false;
                break;
            case 0x04:
                base = static_cast<long long>((record.data[0] << 8) | record.data[1]) << 16;
                linear = true;
                break;
            default: break;  // start addresses mean nothing to an image
        }
        return true;
    });
    if (!ended) NoteNoEndRecord(counts);
    return counts;
}

std::string readIntelHexFile(const std::string& path, const Placement& placement,
                             MemoryImage& image, LogSink& log) {
    FileText file;
    if (std::string error = file.read(path); !error.empty()) return error;
    readIntelHexText(file.text(), placement, image, log);
    return {};
}

void formatIntelHexText(const MemoryImage& image, const WriteRange& range, int bytesPerLine,
                        std::string& out) {
    const long long perLine = bytesPerLine == 32 ? 32 : 16;
    out.reserve(out.size() + static_cast<std::size_t>(0x10000 / perLine) *
                                 static_cast<std::size_t>(13 + 2 * perLine) + 32);
    std::uint32_t upper = 0;
    ForEachWriteChunk(image, range, perLine,
                      [&](std::uint32_t a, std::span<const std::uint8_t> data) {
                          if ((a >> 16) != upper) {
                              upper = a >> 16;
                              const std::uint8_t u[2] = {static_cast<std::uint8_t>(upper >> 8),
                                                         static_cast<std::uint8_t>(upper)};
                              appendRecord(out, 0x04, 0, u);
                          }
                          appendRecord(out, 0x00, static_cast<std::uint16_t>(a & 0xFFFF), data);
                      });
    appendRecord(out, 0x01, 0, {});
}

std::string writeIntelHexFile(const std::string& path, const MemoryImage& image,
                              const WriteRange& range, int bytesPerLine) {
    std::string text;
    formatIntelHexText(image, range, bytesPerLine, text);
    return WriteFileAtomically(path, text);
}

}  // namespace jqz
