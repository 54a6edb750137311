// The RTF reader takes any bytes; what it returns is well-formed UTF-8 text and its tables
// hold only what the input defined.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/device/rtf_reader.h"

namespace {

bool validUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const jqz::RtfDocument doc = jqz::ParseRtf(bytes);
    std::size_t textBytes = 0;
    for (const auto& p : doc.paragraphs) {
        if (p.format.tabs.size() > 64) __builtin_trap();
        for (const auto& r : p.runs) {
            if (r.text.empty() || !validUtf8(r.text)) __builtin_trap();
            if (r.format.fontSizeHalfPoints <= 0) __builtin_trap();
            textBytes += r.text.size();
        }
    }
    // Every input byte yields at most one character of at most four bytes.
    if (textBytes > 4 * size + 4) __builtin_trap();
    for (const auto& f : doc.fonts)
        if (!validUtf8(f.name)) __builtin_trap();
    (void)doc.plainText();
    return 0;
}
