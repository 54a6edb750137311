#pragma once
// A small drawing surface that records an Enhanced Metafile with libUEMF: lines, rectangles,
// polygons, circles and text (horizontal or turned a quarter to read upwards). Logical units
// are device pixels at 4 pixels per millimetre.
#include <uemf.h>

#include <cstdint>
#include <string>
#include <vector>

namespace jqz::tools {

struct Point {
    int x = 0, y = 0;
};

enum class TextAlign { Left, Center, Right };

// The advance of each UTF-16 character of a text in the drawings' face (Arial), in logical
// units for a font `height` units high: what the text records give the player.
std::vector<std::uint32_t> GlyphAdvances(const std::uint16_t* text, std::size_t length, int height,
                                         bool bold);

class EmfCanvas {
public:
    // width and height in logical units.
    EmfCanvas(int width, int height, const std::string& description);
    ~EmfCanvas();
    EmfCanvas(const EmfCanvas&) = delete;
    EmfCanvas& operator=(const EmfCanvas&) = delete;

    // The pen for lines and outlines; width in logical units.
    void setPen(int width, std::uint8_t r = 0, std::uint8_t g = 0, std::uint8_t b = 0);
    // The fill of closed shapes; a hollow brush leaves them unfilled.
    void setFill(std::uint8_t r, std::uint8_t g, std::uint8_t b);
    void setHollow();
    void setTextColor(std::uint8_t r, std::uint8_t g, std::uint8_t b);

    void line(Point a, Point b);
    void rectangle(Point topLeft, Point bottomRight);
    void polygon(const std::vector<Point>& points);
    void circle(Point centre, int radius);
    // Text with its baseline through `at`; upright text reads from bottom to top.
    void text(Point at, const std::string& utf8, int height, TextAlign align, bool bold = false,
              bool upright = false);

    // The finished metafile.
    std::vector<char> finish();

private:
    void append(char* record);

    EMFTRACK* track_ = nullptr;
    EMFHANDLES* handles_ = nullptr;
    std::uint32_t pen_ = 0, brush_ = 0;
    bool finished_ = false;
};

}  // namespace jqz::tools
