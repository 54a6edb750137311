// Format detection takes any bytes and looks at the first 100 only; what it finds is there.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/files/image_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto found = jqz::detectFormat(bytes);
    const std::string_view head = bytes.substr(0, jqz::kDetectBytes);
    if (found != jqz::detectFormat(head)) __builtin_trap();
    if (!found) return 0;
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
    if (first == std::string_view::npos) __builtin_trap();
    if (extended != (*found == jqz::FileFormat::Extended)) __builtin_trap();
    return 0;
}
