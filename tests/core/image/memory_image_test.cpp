#include <gtest/gtest.h>

#include "core/image/hex_edit_model.h"
#include "core/image/number_parsers.h"
#include "core/image/undo_history.h"
#include "test_support.h"

namespace jqz {
namespace {

constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kLilac{170, 170, 255};

TEST(MemoryImage, FreshImageIsZeroBlueWritableImplemented) {
    HexEditModel m;
    for (int a : {0, 0x1234, 0xFFFF}) {
        EXPECT_EQ(m.image.ReadData(a), 0x00);
        EXPECT_EQ(m.image.CellColor(a), kBlue);
        EXPECT_FALSE(m.image.IsReadOnly(a));
        EXPECT_FALSE(m.image.IsUnimplemented(a));
        EXPECT_EQ(m.image.ReadAttribute(a), 0x30);
    }
}

TEST(MemoryImage, AddressesOutsideTheImageAreNeutral) {
    HexEditModel m;
    for (long long a : {-1LL, 0x10000LL, 0x7FFFFFFFLL}) {
        EXPECT_EQ(m.image.ReadData(a), 0);
        EXPECT_EQ(m.image.ReadAttribute(a), 0);
        EXPECT_EQ(m.image.CellColor(a), (Rgb{0, 0, 0}));
        EXPECT_TRUE(m.image.IsReadOnly(a));
        EXPECT_TRUE(m.image.IsUnimplemented(a));
        m.image.WriteData(a, 0x55);  // ignored, no crash
        m.image.SetCellColor(a, kRed);
        m.image.SetUnimplemented(a, false);
    }
}

// The guarded write in both modes on each kind of cell.
TEST(MemoryImage, GuardedWriteTable) {
    struct Case {
        const char* what;
        bool readOnly, unimplemented, bulk;
        bool written;
        Rgb colourAfter;
    };
    const Case cases[] = {
        {"plain, normal", false, false, false, true, kRed},
        {"plain, bulk", false, false, true, true, kBlue},
        {"read-only, normal", true, false, false, false, kBlue},
        {"read-only, bulk", true, false, true, true, kBlue},
        {"unimplemented, normal", false, true, false, false, kLilac},
        {"unimplemented, bulk", false, true, true, false, kLilac},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HexEditModel m;
        const int a = 0x4000;
        m.image.SetReadOnly(a, c.readOnly);
        m.image.SetUnimplemented(a, c.unimplemented);
        if (c.bulk) m.image.BeginBulk();
        m.image.WriteData(a, 0xA5);
        EXPECT_EQ(m.image.ReadData(a), c.written ? 0xA5 : 0x00);
        EXPECT_EQ(m.image.CellColor(a), c.colourAfter);
        EXPECT_EQ(m.image.IsReadOnly(a), c.readOnly);
    }
}

TEST(MemoryImage, WritingTheSameValueStillMarksTheCellEdited) {
    HexEditModel m;
    m.image.WriteData(7, 0x00);
    EXPECT_EQ(m.image.CellColor(7), kRed);
}

TEST(MemoryImage, ColoursOfUnimplementedCellsAreKept) {
    HexEditModel m;
    m.image.SetUnimplemented(9, true);
    EXPECT_EQ(m.image.CellColor(9), kLilac);
    m.image.SetCellColor(9, kRed);
    EXPECT_EQ(m.image.CellColor(9), kLilac);
    // Marking an unimplemented cell again keeps its colour, even if the colour changed since.
    EditorAppearance a = m.image.GetAppearance();
    a.UnimplementedColor = Rgb{0, 255, 0};
    m.image.ApplyAppearance(a);
    EXPECT_EQ(m.image.CellColor(9), (Rgb{0, 255, 0}));
    m.image.SetCellColor(9, kRed);
    m.image.SetUnimplemented(9, true);
    EXPECT_EQ(m.image.CellColor(9), (Rgb{0, 255, 0}));
    m.image.SetUnimplemented(9, false);
    EXPECT_EQ(m.image.CellColor(9), kBlue);
}

TEST(MemoryImage, PaletteConversions) {
    struct Case {
        Rgb in;
        int index;
        Rgb out;
    };
    const Case cases[] = {
        {{100, 200, 30}, 9, {85, 170, 0}},
        {{200, 90, 40}, 6, {170, 85, 0}},
        {{255, 255, 255}, 63, {255, 255, 255}},
        {{84, 169, 254}, 0 + 4 * 1 + 16 * 2, {0, 85, 170}},
        {{0, 0, 0}, 0, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ColorToColorIndex(c.in), c.index);
        EXPECT_EQ(ColorIndexToColor(c.index), c.out);
        HexEditModel m;
        m.image.SetCellColor(3, c.in);
        EXPECT_EQ(m.image.ReadAttribute(3) & 0x3F, c.index);
        EXPECT_EQ(m.image.CellColor(3), c.out);
    }
    EXPECT_EQ(ColorIndexToColor(85), ColorIndexToColor(21));
}

TEST(MemoryImage, ReadOnlyFlagLeavesColourAlone) {
    HexEditModel m;
    m.image.SetCellColor(5, kRed);
    m.image.SetReadOnly(5, true);
    EXPECT_TRUE(m.image.IsReadOnly(5));
    EXPECT_EQ(m.image.CellColor(5), kRed);
    m.image.SetReadOnly(5, false);
    EXPECT_FALSE(m.image.IsReadOnly(5));
    EXPECT_EQ(m.image.CellColor(5), kRed);
}

class CountingUndo : public UndoHistory {
public:
    void clear() override {
        ++clears;
        steps = 0;
    }
    bool isEmpty() const override { return steps == 0; }
    int clears = 0;
    int steps = 0;
};

TEST(MemoryImage, BulkEmptiesUndoAndEndBulkRepaintsInWorkColour) {
    HexEditModel m;
    CountingUndo undo;
    undo.steps = 3;
    m.image.setUndoHistory(&undo);
    int repaints = 0;
    m.image.setRepaintHandler([&] { ++repaints; });
    m.image.WriteData(10, 1);
    m.image.SetUnimplemented(11, true);
    m.image.SetReadOnly(12, true);
    EXPECT_FALSE(m.image.IsUndoEmpty());
    m.image.BeginBulk();
    EXPECT_TRUE(m.image.IsBulk());
    EXPECT_EQ(undo.clears, 1);
    m.image.EndBulk();
    EXPECT_FALSE(m.image.IsBulk());
    EXPECT_TRUE(m.image.IsUndoEmpty());
    EXPECT_EQ(m.image.CellColor(10), kBlue);
    EXPECT_EQ(m.image.CellColor(11), kLilac);
    EXPECT_TRUE(m.image.IsReadOnly(12));
    EXPECT_EQ(repaints, 1);
}

TEST(MemoryImage, EndBulkKeepsDescribedCellsColourAndAccess) {
    HexEditModel m;
    m.description.putRow(0, ProjCell{0x100, 12, true, "flag"});
    m.description.putRow(1, ProjCell{0x200, 3, false, "red"});
    m.image.WriteData(0x300, 1);
    m.image.BeginBulk();
    m.image.EndBulk();
    EXPECT_EQ(m.image.CellColor(0x100), ColorIndexToColor(12));
    EXPECT_TRUE(m.image.IsReadOnly(0x100));
    EXPECT_EQ(m.image.CellColor(0x200), ColorIndexToColor(3));
    EXPECT_EQ(m.image.CellColor(0x300), kBlue);
    ASSERT_EQ(m.description.rowCount(), 2);
    EXPECT_EQ(m.description.getRow(1), (ProjCell{0x200, 3, false, "red"}));
}

TEST(MemoryImage, EmptyDescriptionLeavesCellZeroInWorkColour) {
    HexEditModel m;
    m.image.SetCellColor(0, kRed);
    ASSERT_TRUE(m.description.isEmpty());
    m.image.BeginBulk();
    m.image.EndBulk();
    EXPECT_EQ(m.image.CellColor(0), kBlue);
}

TEST(MemoryImage, ApplyAppearanceRecoloursAndKeepsDescribedCells) {
    HexEditModel m;
    m.image.SetUnimplemented(1, true);
    m.image.WriteData(2, 9);
    m.description.putRow(0, ProjCell{3, 12, false, "kept"});
    EditorAppearance a = m.image.GetAppearance();
    a.WorkColor = Rgb{0, 255, 0};
    a.UnimplementedColor = Rgb{85, 85, 85};
    a.RightFont = "Mono";
    m.image.ApplyAppearance(a);
    EXPECT_EQ(m.image.CellColor(1), (Rgb{85, 85, 85}));
    EXPECT_TRUE(m.image.IsUnimplemented(1));
    EXPECT_EQ(m.image.CellColor(2), (Rgb{0, 255, 0}));
    EXPECT_EQ(m.image.CellColor(3), ColorIndexToColor(12));
    EXPECT_EQ(m.image.GetAppearance().RightFont, "Mono");
    m.image.WriteData(4, 1);
    EXPECT_EQ(m.image.CellColor(4), kRed);
}

TEST(NumberParsers, ParseNumberTable) {
    struct Case {
        const char* text;
        int value;
        bool message;
    };
    const Case cases[] = {
        {"0x1F", 31, false},   {"$1f", 31, false},     {"x1F", 31, false},
        {"X1f", 31, false},    {"0X10", 16, false},    {"16", 16, false},
        {"0", 0, false},       {"   12", 12, false},   {"+7", 7, false},
        {"-5", -1, false},     {"0xFFFFFFFF", -1, false}, {"0x7FFFFFFF", 0x7FFFFFFF, false},
        {"2147483647", 2147483647, false},
        {"1F", -1, true},      {"0x", -1, true},       {"0x1G", -1, true},
        {"", -1, true},        {"12 ", -1, true},      {"$", -1, true},
        {"2147483648", -1, true}, {"0x100000000", -1, true}, {"--1", -1, true},
        {"1 2", -1, true},     {"\t12", -1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        test::RecordingSink sink;
        EXPECT_EQ(ParseNumber(c.text, sink), c.value);
        if (c.message) {
            ASSERT_EQ(sink.errors.size(), 1u);
            EXPECT_EQ(sink.errors[0],
                      "To Enter Value in Hexadecimal format prefix 0x or $ must be use.");
        } else {
            EXPECT_TRUE(sink.errors.empty());
        }
    }
}

TEST(NumberParsers, HexPairsAndDigits) {
    EXPECT_EQ(ParseHexPair('A', '5').value, 0xA5);
    EXPECT_TRUE(ParseHexPair('0', '9').ok);
    EXPECT_FALSE(ParseHexPair('a', '5').ok);
    EXPECT_FALSE(ParseHexPair('G', '0').ok);
    EXPECT_FALSE(ParseHexPair('1', ' ').ok);
    EXPECT_EQ(HexDigit(0x1F), 'F');
    EXPECT_EQ(HexDigit(10), 'A');
    EXPECT_EQ(HexDigit(-1), 'F');
    EXPECT_TRUE(IsCellAddressText("0xB600"));
    EXPECT_TRUE(IsCellAddressText("??12AB"));
    EXPECT_FALSE(IsCellAddressText("0xb600"));
    EXPECT_FALSE(IsCellAddressText("0x10000"));
    EXPECT_FALSE(IsCellAddressText("0x123"));
    EXPECT_EQ(AddressText(0xB6), "0x00B6");
    EXPECT_EQ(AddressText(0x12345), "0x12345");
}

}  // namespace
}  // namespace jqz
