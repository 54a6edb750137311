#include "core/production/serial_number.h"

#include <algorithm>
#include <filesystem>

#include <cerrno>
#include <cstring>

#include "core/platform/atomic_file.h"
#include "core/platform/native_file.h"

namespace jqz {

namespace {

constexpr std::uint64_t kMax = UINT64_MAX;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' ||
                          s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// Decimal, or hexadecimal after 0x or $; nothing for anything else or above 64 bits.
std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
    text = trimmed(text);
    unsigned base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.starts_with("$")) {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else return std::nullopt;
        if (value > (kMax - digit) / base) return std::nullopt;
        value = value * base + digit;
    }
    return value;
}

std::optional<SerialFormat> formatNamed(std::string_view name) {
    if (name == "be") return SerialFormat::BigEndian;
    if (name == "le") return SerialFormat::LittleEndian;
    if (name == "bcd") return SerialFormat::Bcd;
    if (name == "ascii") return SerialFormat::Ascii;
    return std::nullopt;
}

const char* formatName(SerialFormat format) {
    switch (format) {
        case SerialFormat::BigEndian: return "be";
        case SerialFormat::LittleEndian: return "le";
        case SerialFormat::Bcd: return "bcd";
        case SerialFormat::Ascii: return "ascii";
    }
    return "";
}

// The most bytes a field of the format may have: a 64-bit number in binary, 16 BCD digits,
// 20 decimal digits.
int mostBytes(SerialFormat format) {
    switch (format) {
        case SerialFormat::Bcd: return 8;
        case SerialFormat::Ascii: return 20;
        default: return 8;
    }
}

std::uint64_t powerOf10(int digits) {
    std::uint64_t p = 1;
    for (int i = 0; i < digits; ++i) p *= 10;
    return p;
}

}  // namespace

std::optional<SerialNumbering> ParseSerialNumbering(std::string_view text, std::string& error) {
    std::vector<std::string_view> fields;
    for (std::string_view rest = text;;) {
        const auto comma = rest.find(',');
        fields.push_back(trimmed(rest.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    const std::string usage = "--serial takes ADDR,BYTES,START[,STEP][,FORMAT], not \"" +
                              std::string(text) + "\"";
    if (fields.size() < 3 || fields.size() > 5) {
        error = usage;
        return std::nullopt;
    }
    SerialNumbering n;
    const auto address = parseUnsigned(fields[0]);
    const auto bytes = parseUnsigned(fields[1]);
    const auto start = parseUnsigned(fields[2]);
    if (!address || !bytes || !start) {
        error = usage;
        return std::nullopt;
    }
    bool haveStep = false, haveFormat = false;
    for (std::size_t i = 3; i < fields.size(); ++i) {
        std::string lower(fields[i]);
        for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (const auto format = formatNamed(lower); format && !haveFormat) {
            n.format = *format;
            haveFormat = true;
        } else if (const auto step = parseUnsigned(fields[i]); step && !haveStep && !haveFormat) {
            n.step = *step;
            haveStep = true;
        } else if (!haveStep && !haveFormat && fields[i].substr(0, 1) == "-" &&
                   parseUnsigned(fields[i].substr(1))) {
            error = "--serial: STEP " + std::string(fields[i]) +
                    " is negative: numbers only count up, by a STEP of 1 or more";
            return std::nullopt;
        } else {
            error = usage + ": FORMAT is be, le, bcd or ascii and comes last";
            return std::nullopt;
        }
    }
    if (*address > 0xFFFF) {
        error = "--serial: the address " + std::string(fields[0]) + " is above 0xFFFF";
        return std::nullopt;
    }
    if (*bytes < 1 || *bytes > static_cast<std::uint64_t>(mostBytes(n.format))) {
        error = "--serial: " + std::string(formatName(n.format)) + " numbers take 1 to " +
                std::to_string(mostBytes(n.format)) + " bytes, not " + std::string(fields[1]);
        return std::nullopt;
    }
    if (n.step == 0) {
        error = "--serial: a STEP of 0 would give every device the same number";
        return std::nullopt;
    }
    n.address = static_cast<int>(*address);
    n.bytes = static_cast<int>(*bytes);
    n.start = *start;
    return n;
}

std::uint64_t LargestSerial(const SerialNumbering& n) {
    switch (n.format) {
        case SerialFormat::BigEndian:
        case SerialFormat::LittleEndian:
            return n.bytes >= 8 ? kMax : (std::uint64_t{1} << (8 * n.bytes)) - 1;
        case SerialFormat::Bcd: return powerOf10(2 * n.bytes) - 1;
        case SerialFormat::Ascii: return n.bytes >= 20 ? kMax : powerOf10(n.bytes) - 1;
    }
    return 0;
}

std::optional<std::vector<std::uint8_t>> EncodeSerial(const SerialNumbering& n,
                                                      std::uint64_t number) {
    if (number > LargestSerial(n)) return std::nullopt;
    const auto size = static_cast<std::size_t>(n.bytes);
    std::vector<std::uint8_t> out(size, 0);
    std::uint64_t rest = number;
    // Filled from the least significant end.
    for (std::size_t i = 0; i < size; ++i) {
        std::uint8_t byte = 0;
        switch (n.format) {
            case SerialFormat::BigEndian:
            case SerialFormat::LittleEndian:
                byte = static_cast<std::uint8_t>(rest & 0xFF);
                rest >>= 8;
                break;
            case SerialFormat::Bcd:
                byte = static_cast<std::uint8_t>(rest % 10);
                rest /= 10;
                byte = static_cast<std::uint8_t>(byte | (rest % 10) << 4);
                rest /= 10;
                break;
            case SerialFormat::Ascii:
                byte = static_cast<std::uint8_t>('0' + rest % 10);
                rest /= 10;
                break;
        }
        const std::size_t at = n.format == SerialFormat::LittleEndian ? i : size - 1 - i;
        out[at] = byte;
    }
    return out;
}

std::optional<std::uint64_t> NextSerial(const SerialNumbering& n, std::uint64_t number) {
    if (number > kMax - n.step) return std::nullopt;
    const std::uint64_t next = number + n.step;
    if (next > LargestSerial(n)) return std::nullopt;
    return next;
}

std::string SerialTooLarge(const SerialNumbering& n, std::uint64_t number) {
    if (number <= LargestSerial(n)) return {};
    return std::to_string(number) + " does not fit in " + std::to_string(n.bytes) +
           (n.bytes == 1 ? " byte (" : " bytes (") + formatName(n.format) + ": at most " +
           std::to_string(LargestSerial(n)) + ")";
}

namespace {

std::string escaped(std::string_view text) {
    std::string s;
    for (const char c : text) {
        if (c == '\\') s += "\\\\";
        else if (c == '\n') s += "\\n";
        else if (c == '\r') s += "\\r";
        else s += c;
    }
    return s;
}

std::string unescaped(std::string_view text) {
    std::string s;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            s += text[i];
            continue;
        }
        const char c = text[++i];
        s += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return s;
}

bool onlyDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

SerialState ReadSerialState(const std::string& path) {
    SerialState state;
    std::error_code ec;
    if (!std::filesystem::exists(NativePath(path), ec) && !ec) return state;
    state.present = true;
    std::string bytes;
    if (std::string error = ReadFileToEnd(path, bytes, 64 * 1024); !error.empty()) {
        state.error = error;
        return state;
    }
    std::vector<std::string_view> lines;
    for (std::string_view rest = bytes; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (!trimmed(line).empty()) lines.push_back(line);
    }
    const std::string_view first = lines.empty() ? std::string_view{} : trimmed(lines[0]);
    const std::string_view digits =
        first.starts_with("next=") ? first.substr(5) : std::string_view{};
    // Only decimal digits are written; anything else is not taken for a number.
    if (!onlyDigits(digits)) {
        state.error = path + " holds no serial number (a line next=N is expected)";
        return state;
    }
    const std::optional<std::uint64_t> next = parseUnsigned(digits);
    if (!next) {
        state.error = "The next serial number in " + path + ", " + std::string(digits) +
                      ", is too large for any serial number field";
        return state;
    }
    state.next = *next;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t equals = line.find('=');
        const std::string_view key = line.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view{} : line.substr(equals + 1);
        const bool numbered = key == "in_progress" || key == "used";
        const std::optional<std::uint64_t> number =
            numbered && onlyDigits(value) ? parseUnsigned(value) : std::nullopt;
        if (equals == std::string_view::npos || (numbered && !number)) {
            state.error =
                path + " holds a line that is not understood: \"" + std::string(line) + "\"";
            return state;
        }
        if (key == "in_progress") state.pending.inProgress = number;
        else if (key == "used") state.pending.used = number;
        else if (key == "report") state.pending.report = unescaped(value);
        else if (key == "line") state.pending.line = unescaped(value) + "\n";
        // Anything else is a later version's, and not needed to go on safely.
    }
    return state;
}

std::string SerialStateText(std::string_view next, const SerialPending& pending) {
    std::string text = "next=" + std::string(next) + "\n";
    if (pending.inProgress) text += "in_progress=" + std::to_string(*pending.inProgress) + "\n";
    if (pending.used) text += "used=" + std::to_string(*pending.used) + "\n";
    if (!pending.report.empty()) text += "report=" + escaped(pending.report) + "\n";
    if (!pending.line.empty()) {
        std::string_view line = pending.line;
        if (line.ends_with('\n')) line.remove_suffix(1);
        text += "line=" + escaped(line) + "\n";
    }
    return text;
}

std::string SerialAfter(const SerialNumbering& numbering, std::uint64_t used) {
    // The sum in decimal digits, least significant first, so that it cannot overflow.
    std::string a = std::to_string(used), b = std::to_string(numbering.step), sum;
    int carry = 0;
    for (std::size_t i = 0; i < std::max(a.size(), b.size()) || carry; ++i) {
        const int d = carry + (i < a.size() ? a[a.size() - 1 - i] - '0' : 0) +
                      (i < b.size() ? b[b.size() - 1 - i] - '0' : 0);
        sum.insert(sum.begin(), static_cast<char>('0' + d % 10));
        carry = d / 10;
    }
    return sum;
}

SerialStateFile::~SerialStateFile() {
    if (made_ && !numbered_) lock_.remove(path_);
}

std::string SerialStateFile::open(const std::string& path, std::uint64_t start,
                                  SerialState& state) {
    path_ = path;
    bool madeNow = false;
    std::string why;
    for (int attempt = 0; attempt < 10; ++attempt) {
        switch (lock_.acquire(path, why)) {
            case LockFile::Result::Held:
                made_ = madeNow;
                // Read only under the lock: what another run wrote before it is seen.
                state = ReadSerialState(path);
                return {};
            case LockFile::Result::Taken:
                return "Another run is using the serial number file " + path +
                       " now; two runs at once would give two devices the same number";
            case LockFile::Result::Failed: return "Cannot lock " + path + ": " + why;
            case LockFile::Result::Missing: break;
        }
        bool existed = false;
        if (std::string error = CreateFileAtomically(path, SerialStateText(std::to_string(start)),
                                                     existed);
            !error.empty())
            return error;
        madeNow = !existed;
    }
    return "Cannot lock " + path + ": it was removed again and again while it was being made";
}

std::string SerialStateFile::write(std::string_view next, const SerialPending& pending) {
    if (pending.inProgress) numbered_ = true;
    return lock_.replace(path_, SerialStateText(next, pending));
}

}  // namespace jqz
