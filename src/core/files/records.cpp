#include "core/files/records.h"

#include <array>
#include <cstring>

namespace jqz {

namespace {

// Value of a hex digit of the file formats, or -1: only "0"-"9" and upper-case "A"-"F".
constexpr std::array<std::int8_t, 256> kDigit = [] {
    std::array<std::int8_t, 256> t{};
    for (auto& v : t) v = -1;
    for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        t[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'A' + 10);
    return t;
}();

// The two digits of every byte value.
constexpr std::array<char, 512> kHexPairs = [] {
    std::array<char, 512> t{};
    constexpr char digits[] = "0123456789ABCDEF";
    for (int v = 0; v < 256; ++v) {
        t[static_cast<std::size_t>(2 * v)] = digits[v >> 4];
        t[static_cast<std::size_t>(2 * v + 1)] = digits[v & 0xF];
    }
    return t;
}();

// The byte at p[0], p[1], or -1 when either is not a digit.
inline int hexByte(const char* p) {
    const int hi = kDigit[static_cast<unsigned char>(p[0])];
    const int lo = kDigit[static_cast<unsigned char>(p[1])];
    return (hi | lo) < 0 ? -1 : (hi << 4) | lo;
}

// Decodes `count` bytes from p into out, adding them to sum; false on a bad digit.
inline bool decodeBytes(const char* p, std::size_t count, std::uint8_t* out, unsigned& sum) {
    int bad = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int v = hexByte(p + 2 * i);
        bad |= v;
        out[i] = static_cast<std::uint8_t>(v);
        sum += static_cast<std::uint8_t>(v);
    }
    return bad >= 0;
}

// Reads `count` bytes from p as a big-endian number, adding them to sum; -1 on a bad digit.
inline long long decodeNumber(const char* p, int count, unsigned& sum) {
    long long value = 0;
    for (int i = 0; i < count; ++i) {
        const int v = hexByte(p + 2 * i);
        if (v < 0) return -1;
        value = (value << 8) | v;
        sum += static_cast<unsigned>(v);
    }
    return value;
}

std::string_view trimLeading(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && static_cast<unsigned char>(line[i]) <= 0x20) ++i;
    return line.substr(i);
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The common tail of both parsers: the data bytes and the checksum after the address.
bool finishRecord(const char* data, std::size_t n, unsigned sum, Record& out) {
    if (out.buffer.size() < n) out.buffer.resize(std::max<std::size_t>(n, 256));
    if (!decodeBytes(data, n, out.buffer.data(), sum)) return false;
    const int checksum = hexByte(data + 2 * n);
    if (checksum < 0 || checksum != static_cast<int>(~sum & 0xFFu)) return false;
    out.size = n;
    return true;
}

char* appendHex(char* p, std::uint8_t v) {
    std::memcpy(p, &kHexPairs[2u * v], 2);
    return p + 2;
}

// Type, the head bytes (count and address), the data, the checksum over both, CR LF.
void appendRecord(std::string& out, char t0, char t1, std::span<const std::uint8_t> head,
                  std::span<const std::uint8_t> data) {
    const std::size_t at = out.size();
    out.resize(at + 2 + 2 * head.size() + 2 * data.size() + 4);
    char* p = out.data() + at;
    *p++ = t0;
    *p++ = t1;
    unsigned sum = 0;
    for (auto part : {head, data}) {
        for (std::uint8_t b : part) {
            p = appendHex(p, b);
            sum += b;
        }
    }
    p = appendHex(p, static_cast<std::uint8_t>(~sum));
    *p++ = '\r';
    *p = '\n';
}

}  // namespace

std::string Record::text(std::size_t first) const {
    if (first >= size) return {};
    const auto* begin = buffer.data() + first;
    const auto* end = buffer.data() + size;
    const auto* nul = static_cast<const std::uint8_t*>(std::memchr(begin, 0, size - first));
    return std::string(reinterpret_cast<const char*>(begin),
                       reinterpret_cast<const char*>(nul != nullptr ? nul : end));
}

bool ParseExtendedRecord(std::string_view line, Record& out) {
    line = trimLeading(line);
    if (line.size() < 14) return false;
    const char* p = line.data();
    unsigned sum = 0;
    const long long count = decodeNumber(p + 2, 2, sum);
    if (count < 4 || 2 * static_cast<std::size_t>(count) > line.size() - 6) return false;
    const long long address = decodeNumber(p + 6, 3, sum);
    if (address < 0) return false;
    out.type[0] = upper(p[0]);
    out.type[1] = upper(p[1]);
    out.address = static_cast<std::uint32_t>(address);
    return finishRecord(p + 12, static_cast<std::size_t>(count - 4), sum, out);
}

bool ParseMotorolaRecord(std::string_view line, Record& out) {
    line = trimLeading(line);
    if (line.size() < 10) return false;
    const char* p = line.data();
    const char t0 = upper(p[0]);
    const char t1 = upper(p[1]);
    const int addressBytes = t0 == 'S' && (t1 == '2' || t1 == '8') ? 3 : 2;
    unsigned sum = 0;
    const long long count = decodeNumber(p + 2, 1, sum);
    if (count < addressBytes + 1 || 2 * static_cast<std::size_t>(count) > line.size() - 4)
        return false;
    const long long address = decodeNumber(p + 4, addressBytes, sum);
    if (address < 0) return false;
    out.type[0] = t0;
    out.type[1] = t1;
    out.address = static_cast<std::uint32_t>(address);
    return finishRecord(p + 4 + 2 * addressBytes,
                        static_cast<std::size_t>(count - addressBytes - 1), sum, out);
}

RecordShape ShapeOfRecord(std::string_view line, const RecordSyntax& syntax) {
    std::size_t p = 0;
    while (p < line.size() && static_cast<unsigned char>(line[p]) <= 0x20) ++p;
    if (p >= line.size() || upper(line[p]) != syntax.lead) return {};
    p += syntax.typeChars;
    auto byteAt = [&](std::size_t at) {
        if (at + 2 > line.size()) return -1;
        char pair[2] = {line[at], line[at + 1]};
        if (syntax.lowerCaseDigits)
            for (char& c : pair) c = upper(c);
        return hexByte(pair);
    };
    unsigned sum = 0;
    long long count = 0;
    for (int i = 0; i < syntax.countBytes; ++i, p += 2) {
        const int v = byteAt(p);
        if (v < 0) return {};
        count = (count << 8) | v;
        sum += static_cast<unsigned>(v);
    }
    for (long long i = 0; i < count + syntax.bytesBeyondCount; ++i, p += 2) {
        const int v = byteAt(p);
        if (v < 0) return {};
        sum += static_cast<unsigned>(v);
    }
    return {true, p, (sum & 0xFFu) == syntax.rightSum};
}

bool HasTextFrom(std::string_view line, std::size_t from) {
    for (std::size_t i = from; i < line.size(); ++i)
        if (static_cast<unsigned char>(line[i]) > 0x20) return true;
    return false;
}

void AppendExtendedRecord(std::string& out, char typeDigit, std::uint32_t address,
                          std::span<const std::uint8_t> data) {
    const auto count = static_cast<unsigned>(data.size() + 4);
    const std::uint8_t head[5] = {static_cast<std::uint8_t>(count >> 8),
                                  static_cast<std::uint8_t>(count),
                                  static_cast<std::uint8_t>(address >> 16),
                                  static_cast<std::uint8_t>(address >> 8),
                                  static_cast<std::uint8_t>(address)};
    appendRecord(out, 'X', typeDigit, head, data);
}

void AppendMotorolaRecord(std::string& out, char typeDigit, int addressBytes,
                          std::uint32_t address, std::span<const std::uint8_t> data) {
    std::uint8_t head[4] = {
        static_cast<std::uint8_t>(static_cast<std::size_t>(addressBytes) + data.size() + 1)};
    for (int i = 0; i < addressBytes; ++i)
        head[1 + i] = static_cast<std::uint8_t>(address >> (8 * (addressBytes - 1 - i)));
    appendRecord(out, 'S', typeDigit,
                 std::span<const std::uint8_t>(head, 1 + static_cast<std::size_t>(addressBytes)),
                 data);
}

}  // namespace jqz
