#pragma once
// A small reader for the rich-text (RTF) documents that word processors write: paragraphs of
// runs with their character formats, the font table and the colour table. It takes any bytes:
// what it does not know it skips, it never reads out of bounds and never recurses.
#include <string>
#include <string_view>
#include <vector>

namespace jqz {

enum class RtfAlignment { Left, Center, Right, Justify };
enum class RtfFontFamily { Nil, Roman, Swiss, Modern, Script, Decor, Tech, Bidi };
enum class RtfTabKind { Left, Center, Right, Decimal };

struct RtfFont {
    int number = 0;
    std::string name;  // UTF-8, without the closing semicolon
    RtfFontFamily family = RtfFontFamily::Nil;
    int charset = 0;
    bool fixedPitch = false;
};

struct RtfColor {
    bool isAuto = true;  // entry 0 and empty entries: the reader's default colour
    int red = 0, green = 0, blue = 0;
    friend bool operator==(const RtfColor&, const RtfColor&) = default;
};

struct RtfCharFormat {
    bool bold = false, italic = false, underline = false, strike = false;
    int fontSizeHalfPoints = 24;
    int font = -1;       // font number from the table (\fN); -1 = none set
    int color = 0;       // colour table index (\cfN); 0 = auto
    int background = 0;  // colour table index (\highlightN, \cbN); 0 = none
    friend bool operator==(const RtfCharFormat&, const RtfCharFormat&) = default;
};

struct RtfTabStop {
    int positionTwips = 0;
    RtfTabKind kind = RtfTabKind::Left;
    friend bool operator==(const RtfTabStop&, const RtfTabStop&) = default;
};

struct RtfParagraphFormat {
    RtfAlignment alignment = RtfAlignment::Left;
    int leftIndentTwips = 0, rightIndentTwips = 0, firstLineIndentTwips = 0;
    int spaceBeforeTwips = 0, spaceAfterTwips = 0;
    std::vector<RtfTabStop> tabs;
    friend bool operator==(const RtfParagraphFormat&, const RtfParagraphFormat&) = default;
};

// Text is UTF-8; '\t' is a tab, '\n' a line break inside the paragraph.
struct RtfRun {
    std::string text;
    RtfCharFormat format;
};

struct RtfParagraph {
    RtfParagraphFormat format;
    std::vector<RtfRun> runs;
    std::string plainText() const;
};

struct RtfDocument {
    std::vector<RtfFont> fonts;
    std::vector<RtfColor> colors;  // entry 0 is "auto" when the table has it
    int defaultFont = 0;
    std::vector<RtfParagraph> paragraphs;

    const RtfFont* font(int number) const;
    const RtfColor* color(int index) const;  // nullptr for auto and for indexes out of range
    // The text of all paragraphs, one per line.
    std::string plainText() const;
};

// Reads an RTF document. Text outside any group, a missing "{\rtf" header or unbalanced
// braces are tolerated; everything readable is kept.
RtfDocument ParseRtf(std::string_view bytes);

// The Unicode character that byte b (0x80..0xFF) stands for in Windows code page cp;
// code pages without a table here are read as 1252.
char32_t CodePageToUnicode(int codePage, unsigned char b);

}  // namespace jqz
