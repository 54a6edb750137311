#include "core/device/rtf_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace jqz {
namespace {

// Plain text of a document body wrapped in a minimal header.
std::string textOf(const std::string& body) {
    return ParseRtf("{\\rtf1\\ansi\\ansicpg1252\\deff0 " + body + "}").plainText();
}

struct TextCase {
    const char* body;
    const char* text;
};

TEST(RtfReader, TextOfControlWordsSymbolsAndEscapes) {
    const TextCase cases[] = {
        {"Hello\\par World\\par", "Hello\nWorld\n"},
        {"no final par", "no final par\n"},
        {"a\\par\\par b\\par", "a\n\nb\n"},
        {"a\\tab b", "a\tb\n"},
        {"a\\line b", "a\nb\n"},
        {"\\{braces\\} and \\\\ backslash", "{braces} and \\ backslash\n"},
        {"x\\~y\\-z\\_w", "x\xC2\xA0y\xC2\xADz\xE2\x80\x91w\n"},
        // delimiting space belongs to the control word, a second one is text
        {"\\b  bold", " bold\n"},
        // numeric parameter ends the word without a space
        {"\\fs20x", "x\n"},
        // code page 1252 bytes, lower and upper case hex
        {"\\'e9t\\'E9 \\'80 \\'93q\\'94", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D\n"},
        // \uN with its fallback skipped; a \'hh counts as one fallback character
        {"\\u8364?x \\u8364\\'80y", "\xE2\x82\xAC" "x \xE2\x82\xAC" "y\n"},
        // negative N adds 65536; \uc2 skips two fallback characters
        {"\\uc2\\u-3913ab c", "\xEF\x82\xB7 c\n"},
        {"\\uc0\\u252 x", "\xC3\xBCx\n"},
        // the fallback count is kept per group
        {"{\\uc2 \\u233 ab}\\u233 cd", "\xC3\xA9\xC3\xA9" "d\n"},
        // surrogate pair
        {"\\u-10179?\\u-8704?", "\xF0\x9F\x98\x80\n"},
        // unknown control words and destinations are skipped
        {"\\zzunknown42 a{\\*\\mystery {nested} text}b", "ab\n"},
        {"{\\info{\\title T}{\\author A}}body", "body\n"},
        {"{\\stylesheet{\\s0 Normal;}}x", "x\n"},
        {"a{\\pict\\wmetafile8\\picw10 0a0b0c\\bin4 }}}}}b", "ab\n"},
        {"a{\\*\\generator Writer 1.0;}b", "ab\n"},
        {"a\\bin3 {}\\b", "ab\n"},
        {"\\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote",
         "\xE2\x80\x94\xE2\x80\x93\xE2\x80\xA2\xE2\x80\x98\xE2\x80\x99\xE2\x80\x9C\xE2\x80\x9D\n"},
        {"a\\cell b\\cell\\row c", "a\tb\t\nc\n"},
        {"line1\r\nline2\n", "line1line2\n"},
        {"{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}", "link\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(textOf(c.body), c.text) << c.body;
}

TEST(RtfReader, GroupsRestoreCharacterFormat) {
    const RtfDocument d = ParseRtf(
        "{\\rtf1 plain {\\b bold {\\i both} bold\\b0 off} \\ul under\\ulnone  x\\ul0 "
        "\\strike s\\strike0 \\fs32 big\\plain  p}");
    ASSERT_EQ(d.paragraphs.size(), 1u);
    const auto& runs = d.paragraphs[0].runs;
    struct Expected {
        const char* text;
        bool b, i, ul, strike;
        int fs;
    };
    const Expected expected[] = {
        {"plain ", false, false, false, false, 24}, {"bold ", true, false, false, false, 24},
        {"both", true, true, false, false, 24},     {" bold", true, false, false, false, 24},
        {"off ", false, false, false, false, 24},   {"under", false, false, true, false, 24},
        {" x", false, false, false, false, 24},     {"s", false, false, false, true, 24},
        {"big", false, false, false, false, 32},    {" p", false, false, false, false, 24},
    };
    ASSERT_EQ(runs.size(), std::size(expected));
    for (std::size_t k = 0; k < runs.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(runs[k].text, expected[k].text);
        EXPECT_EQ(runs[k].format.bold, expected[k].b);
        EXPECT_EQ(runs[k].format.italic, expected[k].i);
        EXPECT_EQ(runs[k].format.underline, expected[k].ul);
        EXPECT_EQ(runs[k].format.strike, expected[k].strike);
        EXPECT_EQ(runs[k].format.fontSizeHalfPoints, expected[k].fs);
    }
}

TEST(RtfReader, FontAndColourTables) {
    const RtfDocument d = ParseRtf(
        "{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}"
        "{\\f1\\fswiss\\fcharset0{\\*\\panose 020b0604020202020204}Arial;}"
        "{\\f2\\fmodern\\fprq1\\fcharset204 Courier\\'20New;}}"
        "{\\colortbl;\\red255\\green0\\blue0;;\\red0\\green128\\blue255;}"
        "\\f2\\cf1 red\\cf3\\highlight1  blue\\f0\\cf9  none\\par}");
    ASSERT_EQ(d.fonts.size(), 3u);
    EXPECT_EQ(d.defaultFont, 1);
    EXPECT_EQ(d.font(0)->name, "Times New Roman");
    EXPECT_EQ(d.font(0)->family, RtfFontFamily::Roman);
    EXPECT_EQ(d.font(1)->name, "Arial");
    EXPECT_EQ(d.font(1)->family, RtfFontFamily::Swiss);
    EXPECT_EQ(d.font(2)->name, "Courier New");
    EXPECT_TRUE(d.font(2)->fixedPitch);
    EXPECT_EQ(d.font(2)->charset, 204);
    EXPECT_EQ(d.font(7), nullptr);

    ASSERT_EQ(d.colors.size(), 4u);
    EXPECT_TRUE(d.colors[0].isAuto);
    EXPECT_EQ(d.colors[1], (RtfColor{false, 255, 0, 0}));
    EXPECT_TRUE(d.colors[2].isAuto);
    EXPECT_EQ(d.color(2), nullptr);
    EXPECT_EQ(d.colors[3], (RtfColor{false, 0, 128, 255}));
    EXPECT_EQ(d.color(9), nullptr);

    ASSERT_EQ(d.paragraphs.size(), 1u);
    const auto& runs = d.paragraphs[0].runs;
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].format.font, 2);
    EXPECT_EQ(runs[0].format.color, 1);
    EXPECT_EQ(runs[1].format.color, 3);
    EXPECT_EQ(runs[1].format.background, 1);
    EXPECT_EQ(runs[2].format.font, 0);
    EXPECT_EQ(runs[2].format.color, 9);
}

TEST(RtfReader, FontCharsetChoosesTheCodePage) {
    const RtfDocument d = ParseRtf(
        "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial Cyr;}"
        "{\\f2\\fcharset238 Arial CE;}}\\f1\\'c0\\'e1 \\f2\\'8a\\'b9 \\f0\\'c0}");
    EXPECT_EQ(d.plainText(), "\xD0\x90\xD0\xB1 \xC5\xA0\xC4\x85 \xC3\x80\n");
    // a document code page without a table here reads as 1252
    EXPECT_EQ(ParseRtf("{\\rtf1\\ansicpg932 \\'e9}").plainText(), "\xC3\xA9\n");
}

TEST(RtfReader, ParagraphFormatAtTheParagraphEnd) {
    const RtfDocument d = ParseRtf(
        "{\\rtf1\\pard\\qc\\sb120\\sa60 Title\\par"
        "\\pard\\li720\\ri360\\fi-360\\tx2000\\tqr\\tx6000 a\\tab b\\tab c\\par"
        "\\qr right\\par\\pard\\qj just\\par\\pard plain\\par}");
    ASSERT_EQ(d.paragraphs.size(), 5u);
    const auto& p = d.paragraphs;
    EXPECT_EQ(p[0].format.alignment, RtfAlignment::Center);
    EXPECT_EQ(p[0].format.spaceBeforeTwips, 120);
    EXPECT_EQ(p[0].format.spaceAfterTwips, 60);
    EXPECT_EQ(p[1].format.alignment, RtfAlignment::Left);
    EXPECT_EQ(p[1].format.leftIndentTwips, 720);
    EXPECT_EQ(p[1].format.rightIndentTwips, 360);
    EXPECT_EQ(p[1].format.firstLineIndentTwips, -360);
    ASSERT_EQ(p[1].format.tabs.size(), 2u);
    EXPECT_EQ(p[1].format.tabs[0], (RtfTabStop{2000, RtfTabKind::Left}));
    EXPECT_EQ(p[1].format.tabs[1], (RtfTabStop{6000, RtfTabKind::Right}));
    EXPECT_EQ(p[1].plainText(), "a\tb\tc");
    // without \pard the paragraph keeps the previous settings
    EXPECT_EQ(p[2].format.alignment, RtfAlignment::Right);
    EXPECT_EQ(p[2].format.leftIndentTwips, 720);
    EXPECT_EQ(p[3].format.alignment, RtfAlignment::Justify);
    EXPECT_EQ(p[3].format.leftIndentTwips, 0);
    EXPECT_EQ(p[4].format, RtfParagraphFormat{});
}

TEST(RtfReader, DamagedInputKeepsWhatIsReadable) {
    const struct {
        std::string in;
        std::string text;
    } cases[] = {
        {"", ""},
        {"just text", "just text\n"},
        {"{\\rtf1 unclosed {\\b group", "unclosed group\n"},
        {"{\\rtf1 a}}}} b", "a b\n"},
        {"{\\rtf1 \\'", ""},
        {"{\\rtf1 \\'4", "\x04\n"},
        {"{\\rtf1 x\\'zz}", "xzz\n"},
        {"{\\rtf1 x\\", "x\n"},
        {"{\\rtf1 \\bin999999999 abc}", ""},
        {"{\\rtf1 \\bin-5 abc}", "abc\n"},
        {"{\\rtf1 \\fs99999999999999999999 x\\u99999 ?y}", "xy\n"},
        {"{\\rtf1 {\\*\\unclosed destination", ""},
        {"{\\rtf1 \\u-10179}", "\xEF\xBF\xBD\n"},
        {"{\\rtf1 \\u-8704?}", "\xEF\xBF\xBD\n"},
        {std::string("{\\rtf1 a\0b\x01" "c}", 13), "abc\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseRtf(c.in).plainText(), c.text) << c.in;
}

TEST(RtfReader, DeepNestingNeitherRecursesNorLosesText) {
    std::string in = "{\\rtf1 ";
    for (int i = 0; i < 100000; ++i) in += "{\\b ";
    in += "deep";
    for (int i = 0; i < 100000; ++i) in += "}";
    in += " after}";
    const RtfDocument d = ParseRtf(in);
    EXPECT_EQ(d.plainText(), "deep after\n");
    ASSERT_EQ(d.paragraphs[0].runs.size(), 2u);
    EXPECT_TRUE(d.paragraphs[0].runs[0].format.bold);
    EXPECT_FALSE(d.paragraphs[0].runs[1].format.bold);
}

TEST(RtfReader, CodePageTables) {
    EXPECT_EQ(CodePageToUnicode(1252, 0x41), U'A');
    EXPECT_EQ(CodePageToUnicode(1252, 0x80), U'\u20AC');
    EXPECT_EQ(CodePageToUnicode(1252, 0x9F), U'\u0178');
    EXPECT_EQ(CodePageToUnicode(1252, 0xFF), U'\u00FF');
    EXPECT_EQ(CodePageToUnicode(1251, 0xFF), U'\u044F');
    EXPECT_EQ(CodePageToUnicode(1250, 0xA3), U'\u0141');
    EXPECT_EQ(CodePageToUnicode(437, 0xE9), U'\u00E9');
}

}  // namespace
}  // namespace jqz
