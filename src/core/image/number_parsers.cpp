#include "core/image/number_parsers.h"

#include <cstdint>
#include <optional>

#include "core/messages/message_sink.h"

namespace jqz {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The conversion itself: nullopt when the text is not a number.
std::optional<std::int32_t> convert(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string_view rest = text.substr(i);
    bool hex = false;
    if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
        hex = true;
        rest.remove_prefix(1);
    } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        hex = true;
        rest.remove_prefix(2);
    }
    if (rest.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : rest) {
        const int digit = hex ? hexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (digit < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    std::int64_t result;
    if (hex) {
        result = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    } else {
        if (value > 2147483647ull) return std::nullopt;
        result = static_cast<std::int64_t>(value);
    }
    if (negative) result = -result;
    if (result < INT32_MIN || result > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(result);
}

}  // namespace

int ParseNumber(std::string_view text, MessageSink& sink) {
    const auto value = convert(text);
    if (!value) {
        sink.showError(kNumberFormatMessage);
        return -1;
    }
    return *value < 0 ? -1 : *value;
}

std::optional<int> ConvertNumber(std::string_view text) { return convert(text); }

HexPair ParseHexPair(char hi, char lo) {
    auto digit = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    const int h = digit(hi);
    const int l = digit(lo);
    if (h < 0 || l < 0) return {};
    return {true, static_cast<unsigned char>(h * 16 + l)};
}

char HexDigit(int n) { return "0123456789ABCDEF"[n & 0xF]; }

bool IsCellAddressText(std::string_view text) {
    return text.size() == 6 && ParseHexPair(text[2], text[3]).ok &&
           ParseHexPair(text[4], text[5]).ok;
}

std::string HexText(long long value, int digits) {
    std::string out;
    auto v = value < 0 ? static_cast<unsigned long long>(static_cast<std::uint32_t>(value))
                       : static_cast<unsigned long long>(value);
    do {
        out.insert(out.begin(), HexDigit(static_cast<int>(v & 0xF)));
        v >>= 4;
    } while (v != 0);
    while (static_cast<int>(out.size()) < digits) out.insert(out.begin(), '0');
    return out;
}

std::string AddressText(long long address) { return "0x" + HexText(address, 4); }

}  // namespace jqz
