#pragma once
// The line layer of the two text formats: splitting a file into lines, parsing one record of
// the extended format or of Motorola S-records, and formatting records.
//
// Both formats are hexadecimal text, two upper-case digits per byte. A record is accepted only
// when its length fits its count field, every digit is "0"-"9" or "A"-"F" and its checksum (the
// one's complement of the low byte of the sum of the count, address and data bytes) matches.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jqz {

// One parsed record. The data buffer is reused from line to line; only its first `size` bytes
// belong to the record.
struct Record {
    char type[2] = {0, 0};  // upper case
    std::uint32_t address = 0;
    std::size_t size = 0;
    std::vector<std::uint8_t> buffer;

    bool is(char t0, char t1) const { return type[0] == t0 && type[1] == t1; }
    std::span<const std::uint8_t> data() const { return {buffer.data(), size}; }
    // The data bytes up to the first 0x00 byte (or all of them) as 8-bit text, from `first` on.
    std::string text(std::size_t first = 0) const;
};

// Calls lineHandler(std::string_view) for every line of `text`. Lines end at CR LF, at a lone
// LF and at a lone CR; a final line end does not start another line, so an empty text has no
// lines and "A\r\n\r\n" has two ("A" and an empty one). The handler returns false to stop.
template <typename LineHandler>
void ForEachLine(std::string_view text, LineHandler&& lineHandler) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        // The line ends at its first CR or LF: the LF by a fast search, then a CR before it.
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* q = lf != nullptr ? lf : end;
        if (const auto* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(q - p))))
            q = cr;
        if (!lineHandler(std::string_view(p, static_cast<std::size_t>(q - p)))) return;
        if (q < end && *q == '\r' && q + 1 < end && q[1] == '\n') ++q;
        p = q < end ? q + 1 : end;
    }
}

// The first line of `text` that holds more than characters 0x00-0x20; empty when none does.
inline std::string_view FirstNonBlankLine(std::string_view text) {
    std::string_view first;
    ForEachLine(text, [&first](std::string_view line) {
        for (char c : line)
            if (static_cast<unsigned char>(c) > 0x20) {
                first = line;
                return false;
            }
        return true;
    });
    return first;
}

// The text without a leading UTF-8 byte order mark.
inline std::string_view SkipByteOrderMark(std::string_view text) {
    return text.substr(0, 3) == "\xEF\xBB\xBF" ? text.substr(3) : text;
}

// The outline of one record syntax: its lead character, how many characters its type takes
// (the lead included), how many bytes its count field has, how many bytes beyond the count
// follow it (checksum included), and what the low byte of the sum of all bytes after the type
// is when the checksum is right.
struct RecordSyntax {
    char lead;
    std::size_t typeChars;
    int countBytes;
    int bytesBeyondCount;
    unsigned rightSum;
    bool lowerCaseDigits;
};
inline constexpr RecordSyntax kMotorolaSyntax{'S', 2, 1, 0, 0xFF, false};
inline constexpr RecordSyntax kExtendedSyntax{'X', 2, 2, 0, 0xFF, false};
inline constexpr RecordSyntax kIntelHexSyntax{':', 1, 1, 4, 0x00, true};

// What a line holds by a syntax's outline alone, whatever its type: whether every digit that
// its count asks for is there, where the record ends in the line, and whether its checksum
// is right.
struct RecordShape {
    bool complete = false;
    std::size_t end = 0;
    bool checksumRight = false;
};
RecordShape ShapeOfRecord(std::string_view line, const RecordSyntax& syntax);

// Whether a line holds more than blanks (characters 0x00-0x20) from `from` on.
bool HasTextFrom(std::string_view line, std::size_t from);

// Extended record: type (2), count (4 digits: 3 address bytes + n data bytes + checksum),
// address (6 digits), n data bytes, checksum. Leading characters 0x00-0x20 are skipped and
// anything after the checksum is ignored.
bool ParseExtendedRecord(std::string_view line, Record& out);

// S-record: type (2), count (2 digits), address (3 bytes for "S2" and "S8", 2 bytes for every
// other type), data, checksum. Same trimming as above.
bool ParseMotorolaRecord(std::string_view line, Record& out);

// The largest data part of one extended record: the count field holds at most 0xFFFF.
inline constexpr std::size_t kMaxExtendedData = 0xFFFF - 4;

// Appends one extended record "X<typeDigit>" with a 24-bit address, then CR LF.
// data.size() must not exceed kMaxExtendedData.
void AppendExtendedRecord(std::string& out, char typeDigit, std::uint32_t address,
                          std::span<const std::uint8_t> data);

// Appends one S-record "S<typeDigit>" with an address of addressBytes (2 or 3) bytes, then
// CR LF. addressBytes + data.size() + 1 must not exceed 255.
void AppendMotorolaRecord(std::string& out, char typeDigit, int addressBytes,
                          std::uint32_t address, std::span<const std::uint8_t> data);

}  // namespace jqz
