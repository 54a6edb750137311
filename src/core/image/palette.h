#pragma once
// The 64-colour palette: two bits per channel, level L standing for 85 * L.
#include <cstdint>

namespace jqz {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

constexpr Rgb ColorIndexToColor(int index) {
    return Rgb{static_cast<std::uint8_t>(85 * (index & 3)),
               static_cast<std::uint8_t>(85 * ((index >> 2) & 3)),
               static_cast<std::uint8_t>(85 * ((index >> 4) & 3))};
}

constexpr int ColorToColorIndex(Rgb colour) {
    return (colour.r / 85) | ((colour.g / 85) << 2) | ((colour.b / 85) << 4);
}

constexpr std::uint32_t PackRgb(Rgb c) {
    return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

constexpr Rgb UnpackRgb(std::uint32_t v) {
    return Rgb{static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
               static_cast<std::uint8_t>(v)};
}

}  // namespace jqz
