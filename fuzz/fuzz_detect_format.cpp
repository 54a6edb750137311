// Format detection takes any bytes and looks no further than the first line within its cap:
// a pair "X0"-"X3", "X7" or "S0"-"S2" (either case) among the first 100 bytes after a byte
// order mark decides; without one, only a first line that is a record of its own (an
// S-record of any type, an Intel HEX record) names a format, never the extended one.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/files/image_files.h"
#include "core/files/intel_hex.h"
#include "core/files/records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto found = jqz::detectFormat(bytes);
    if (found != jqz::detectFormat(bytes.substr(0, jqz::kDetectLineBytes))) __builtin_trap();
    const std::string_view text = jqz::SkipByteOrderMark(bytes.substr(0, jqz::kDetectLineBytes));
    const std::string_view head = text.substr(0, jqz::kDetectBytes);
    const std::string_view pairs[] = {"X0", "X1", "X2", "X3", "X7", "x0", "x1", "x2", "x3", "x7",
                                      "S0", "S1", "S2", "s0", "s1", "s2"};
    std::size_t first = std::string_view::npos;
    bool extended = false;
    for (std::size_t i = 0; i < std::size(pairs); ++i) {
        const std::size_t at = head.find(pairs[i]);
        if (at < first) {
            first = at;
            extended = i < 10;
        }
    }
    if (first != std::string_view::npos) {
        if (found != (extended ? jqz::FileFormat::Extended : jqz::FileFormat::Motorola))
            __builtin_trap();
        return 0;
    }
    // No pair: the first line that is not blank decides.
    const std::string_view line = jqz::FirstNonBlankLine(text);
    char c = '\0';
    for (char k : line)
        if (static_cast<unsigned char>(k) > 0x20) {
            c = k;
            break;
        }
    if (found == jqz::FileFormat::Extended) __builtin_trap();
    if (found == jqz::FileFormat::Motorola && c != 'S' && c != 's') __builtin_trap();
    if ((found == jqz::FileFormat::IntelHex) != (c == ':' && jqz::FirstLineIsIntelHexRecord(text) &&
                                                  found != jqz::FileFormat::Motorola))
        __builtin_trap();
    return 0;
}
