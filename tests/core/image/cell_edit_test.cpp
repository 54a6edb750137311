// The Edit Cell dialog's rules and the description's rows as the image sees them.
#include <gtest/gtest.h>

#include "core/image/cell_edit.h"
#include "core/image/editor_messages.h"
#include "core/image/hex_edit_model.h"
#include "core/image/number_parsers.h"
#include "test_support.h"

namespace jqz {
namespace {

constexpr Rgb kRed{255, 0, 0};

TEST(CellEdit, WritesDataColourAndAccessAndTheRow) {
    HexEditModel m;
    test::RecordingSink sink;
    m.description.putRow(0, {0xB600, 48, false, "old"});
    ASSERT_TRUE(CellEditOk(m, 0, {"0xB600", "0x5A", "config", 3, true}, sink));
    EXPECT_EQ(m.image.ReadData(0xB600), 0x5A);
    EXPECT_TRUE(m.image.IsReadOnly(0xB600));
    EXPECT_EQ(m.image.CellColor(0xB600), kRed);
    EXPECT_EQ(m.description.row(0).comment, "config");
    EXPECT_TRUE(m.undo.IsEmpty()) << "Edit Cell records nothing";
    // A read-only cell set to Read/Write takes new data: the flag is cleared first.
    ASSERT_TRUE(CellEditOk(m, 0, {"0xB600", "0x1A5", "config", 12, false}, sink));
    EXPECT_EQ(m.image.ReadData(0xB600), 0xA5);
    EXPECT_FALSE(m.image.IsReadOnly(0xB600));
    EXPECT_EQ(ColorToColorIndex(m.image.CellColor(0xB600)), 12);
    EXPECT_TRUE(sink.errors.empty());
}

TEST(CellEdit, RefusedInputChangesNothing) {
    HexEditModel m;
    test::RecordingSink sink;
    m.description.putRow(0, {0x20, 48, false, "keep"});
    EXPECT_FALSE(CellEditOk(m, 0, {"0x10000", "1", "new", 3, true}, sink));
    EXPECT_FALSE(CellEditOk(m, 0, {"0x20", "0x1G", "new", 3, true}, sink));
    EXPECT_FALSE(CellEditOk(m, 0, {"-1", "1", "new", 3, true}, sink));
    EXPECT_EQ(sink.errors, (std::vector<std::string>{kTooBigAddressMessage, kNumberFormatMessage}));
    EXPECT_EQ(m.description.row(0), (ImageDescription::Row{"0x0020", "keep"}));
    EXPECT_FALSE(m.image.IsReadOnly(0x20));
    EXPECT_EQ(m.image.ReadData(0x20), 0);
}

TEST(CellEdit, TheAddressIsStoredAsTypedAndReadsBack) {
    HexEditModel m;
    test::RecordingSink sink;
    for (const char* typed : {"$10", "16", " x10", "0X10"}) {
        ASSERT_TRUE(CellEditOk(m, 0, {typed, "7", "", 3, false}, sink)) << typed;
        EXPECT_EQ(m.description.row(0).addressText, typed);
        EXPECT_EQ(m.description.getRow(0).address, 16) << typed;
        EXPECT_EQ(m.description.getRow(0).colour, 3);
    }
}

TEST(CellEdit, AnUnimplementedCellOnlyTakesTheAccess) {
    HexEditModel m;
    test::RecordingSink sink;
    m.image.SetUnimplemented(0x30, true);
    const Rgb before = m.image.CellColor(0x30);
    ASSERT_TRUE(CellEditOk(m, 0, {"0x30", "0x55", "", 3, true}, sink));
    EXPECT_EQ(m.image.ReadData(0x30), 0);
    EXPECT_EQ(m.image.CellColor(0x30), before);
    EXPECT_TRUE(m.image.IsReadOnly(0x30));
}

TEST(CellEdit, ValuesForAnAddressText) {
    HexEditModel m;
    m.image.WriteData(0x10, 0xC3);
    m.image.SetReadOnly(0x10, true);
    const auto v = CellValuesFor(m, "0x0010");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->data, "0xC3");
    EXPECT_EQ(v->colour, 3);
    EXPECT_TRUE(v->readOnly);
    for (const char* bad : {"0x10000", "zz", "", "-3", "0x"}) EXPECT_FALSE(CellValuesFor(m, bad)) << bad;
}

// Opening on a row shows its cell whatever the address: beyond the image, what the image
// gives there, never what an earlier use left in the fields.
TEST(CellEdit, ValuesShownOnOpening) {
    HexEditModel m;
    m.image.BeginBulk();
    m.image.WriteData(0xFFFF, 0x5A);
    m.image.EndBulk();
    m.image.SetCellColor(0xFFFF, ColorIndexToColor(12));
    struct Case {
        const char* address;
        const char* data;
        int colour;
        bool readOnly;
    };
    const Case cases[] = {
        {"0xFFFF", "0x5A", 12, false},
        {"0x10000", "0x00", 0, true},
        {"0x123456", "0x00", 0, true},
        {"$FFFF", "0x5A", 12, false},
    };
    for (const Case& c : cases) {
        const CellEditValues v = CellValuesOnShow(m, c.address);
        EXPECT_EQ(v.data, c.data) << c.address;
        EXPECT_EQ(v.colour, c.colour) << c.address;
        EXPECT_EQ(v.readOnly, c.readOnly) << c.address;
    }
}

TEST(ImageDescriptionRows, TwoRowsOfOneCellShareItsColour) {
    HexEditModel m;
    test::RecordingSink sink;
    m.description.putRow(0, {0x40, 48, false, "a"});
    m.description.putRow(1, {0x40, 48, false, "b"});
    ASSERT_TRUE(CellEditOk(m, 1, {"0x0040", "0", "b", 12, true}, sink));
    EXPECT_EQ(m.description.getRow(0).colour, 12);
    EXPECT_TRUE(m.description.getRow(0).readOnly);
    EXPECT_EQ(m.description.getRow(0).comment, "a");
}

TEST(ImageDescriptionRows, AReadOnlyCellZeroIsADescriptionKeptAcrossBulk) {
    HexEditModel m;
    m.image.SetCellColor(0, kRed);
    m.image.SetReadOnly(0, true);
    ASSERT_FALSE(m.description.isEmpty());
    m.image.BeginBulk();
    m.image.EndBulk();
    EXPECT_EQ(m.image.CellColor(0), kRed);
    EXPECT_TRUE(m.image.IsReadOnly(0));
    EXPECT_EQ(m.description.rowCount(), 1);
}

TEST(ImageDescriptionRows, ChangesAreAnnounced) {
    HexEditModel m;
    int changes = 0;
    int nameChanges = 0;
    m.description.setChangedHandler([&] { ++changes; });
    m.description.setNamesChangedHandler([&] { ++nameChanges; });
    m.description.putRow(0, {1, 2, false, "x"});
    m.description.AddRow();
    m.description.DeleteRow();
    m.description.setNotes("n");
    m.description.setDeviceName("d");
    EXPECT_EQ(changes, 5);
    EXPECT_EQ(nameChanges, 1);
    m.description.DeleteRow();  // one row left: nothing changes
    EXPECT_EQ(changes, 5);
}

}  // namespace
}  // namespace jqz
