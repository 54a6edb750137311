#pragma once
// The hex editor's two grid fonts and five colours, as the settings file and the options
// dialog exchange them.
#include <string>

#include "core/image/palette.h"

namespace jqz {

inline constexpr int kDefaultFontPixels = 13;
inline constexpr int kMinFontPixels = 8;
inline constexpr int kMaxFontPixels = 40;

struct EditorAppearance {
    std::string LeftFont = "System";
    std::string RightFont = "Terminal";
    // The character height of both grids' fonts, in pixels.
    int FontPixels = kDefaultFontPixels;
    Rgb AddressColor = ColorIndexToColor(21);
    Rgb BackgroundColor = ColorIndexToColor(63);
    Rgb WorkColor = ColorIndexToColor(48);
    Rgb EditedColor = ColorIndexToColor(3);
    Rgb UnimplementedColor = ColorIndexToColor(58);
};

}  // namespace jqz
