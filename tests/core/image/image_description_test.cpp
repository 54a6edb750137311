#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "core/image/hex_edit_model.h"

namespace jqz {
namespace {

TEST(ImageDescription, EmptinessDependsOnTheRowAndCellZero) {
    HexEditModel m;
    EXPECT_TRUE(m.description.isEmpty());
    m.description.setProjectName("P");
    m.description.setNotes("a\r\nb");
    EXPECT_TRUE(m.description.isEmpty()) << "names and notes play no part";
    m.image.SetReadOnly(0, true);
    EXPECT_FALSE(m.description.isEmpty());
    m.image.SetReadOnly(0, false);
    m.description.setRow(0, {"0x0000", "c"});
    EXPECT_FALSE(m.description.isEmpty());
    m.description.clear();
    EXPECT_TRUE(m.description.isEmpty());
    EXPECT_EQ(m.description.projectName(), "");
    EXPECT_EQ(m.description.notes(), "");
}

TEST(ImageDescription, PutRowAppendsAndWritesTheCellsAttributes) {
    HexEditModel m;
    m.description.putRow(0, {0xB600, 12, true, "first"});
    m.description.putRow(1, {0x12345, 3, true, "beyond"});
    m.description.putRow(2, {0xB600, 3, false, "same cell"});
    ASSERT_EQ(m.description.rowCount(), 3);
    EXPECT_EQ(m.description.row(1).addressText, "0x12345");
    // Two rows naming one cell show the same attributes: the last write wins.
    EXPECT_EQ(m.description.getRow(0), (ProjCell{0xB600, 3, false, "first"}));
    EXPECT_EQ(m.description.getRow(2), (ProjCell{0xB600, 3, false, "same cell"}));
    EXPECT_EQ(m.description.getRow(1).address, 0x12345);
    EXPECT_TRUE(m.description.getRow(1).readOnly);
}

TEST(ImageDescription, DeleteRowRemovesTheLastAndAddRowBringsBackAWellFormedAddress) {
    HexEditModel m;
    m.description.DeleteRow();
    EXPECT_EQ(m.description.rowCount(), 1);
    m.description.putRow(0, {0x10, 0, false, "a"});
    m.description.putRow(1, {0x20, 0, false, "b"});
    m.description.DeleteRow();
    EXPECT_EQ(m.description.rowCount(), 1);
    EXPECT_EQ(m.description.row(0).comment, "a");
    m.description.AddRow();
    EXPECT_EQ(m.description.row(1).addressText, "0x0020");
    m.description.setRow(1, {"0x12345", "long"});
    m.description.DeleteRow();
    m.description.AddRow();
    EXPECT_EQ(m.description.row(1).addressText, "0x0000") << "not a six-character address";
}

// A read's end recolours the image and puts the described cells back while the window may
// add a row on its own thread: the row lands after, and the rows kept are the rows there were.
TEST(ImageDescription, ARowAddedWhileTheRowsAreKeptIsNotLost) {
    HexEditModel m;
    m.description.putRow(0, {0x10, 5, true, "a"});
    m.description.putRow(1, {0x20, 6, false, "b"});
    std::atomic<bool> adding{false};
    std::thread window;
    m.description.keepRowsAround([&] {
        window = std::thread([&] {
            adding = true;
            m.description.AddRow();
        });
        while (!adding) std::this_thread::yield();
        // Room for the row to land in the middle, were it let in.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (int a = 0; a <= 0xFFFF; ++a) m.image.SetReadOnly(a, false);
    });
    window.join();
    ASSERT_EQ(m.description.rowCount(), 3);
    EXPECT_EQ(m.description.getRow(0), (ProjCell{0x10, 5, true, "a"}));
    EXPECT_EQ(m.description.getRow(1), (ProjCell{0x20, 6, false, "b"}));
    EXPECT_EQ(m.description.row(2).comment, "");
}

TEST(ImageDescription, RowAddressParsing) {
    EXPECT_EQ(ImageDescription::ParseRowAddress("0x00B6"), 0xB6);
    EXPECT_EQ(ImageDescription::ParseRowAddress("$FF"), 0xFF);
    EXPECT_EQ(ImageDescription::ParseRowAddress("123"), 123);
    EXPECT_EQ(ImageDescription::ParseRowAddress("0x"), -1);
    EXPECT_EQ(ImageDescription::ParseRowAddress("junk"), -1);
}

// Edits of names, notes and rows are unsaved work until the image next leaves bulk mode (the
// end of a load, a save, a read or a device change); the program's own rewriting of the rows
// when it recolours the image is none.
TEST(ImageDescription, EditsAreUnsavedWorkUntilTheImageLeavesBulkMode) {
    struct Case {
        const char* what;
        std::function<void(ImageDescription&)> edit;
    };
    const Case cases[] = {
        {"project name", [](ImageDescription& d) { d.setProjectName("Door"); }},
        {"device name", [](ImageDescription& d) { d.setDeviceName("E9"); }},
        {"notes", [](ImageDescription& d) { d.setNotes("line\r\nline"); }},
        {"row added", [](ImageDescription& d) { d.AddRow(); }},
        {"row deleted", [](ImageDescription& d) { d.DeleteRow(); }},
        {"comment", [](ImageDescription& d) { d.setRow(1, {"0x0010", "switch"}); }},
        {"address", [](ImageDescription& d) { d.setRow(1, {"0x0011", "in"}); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HexEditModel m;
        m.description.putRow(0, {0x0000, 3, false, "reset"});
        m.description.putRow(1, {0x0010, 12, true, "in"});
        m.image.BeginBulk();
        m.image.EndBulk();
        ASSERT_FALSE(m.IsModified());
        // Recolouring keeps the rows as they are: nothing to save.
        EditorAppearance appearance = m.image.GetAppearance();
        appearance.WorkColor = ColorIndexToColor(12);
        m.image.ApplyAppearance(appearance);
        EXPECT_FALSE(m.IsModified());

        c.edit(m.description);
        EXPECT_TRUE(m.description.IsModified());
        EXPECT_TRUE(m.IsModified());
        EXPECT_TRUE(m.image.IsUndoEmpty()) << "not through the undo history";
        m.image.BeginBulk();
        EXPECT_TRUE(m.IsModified()) << "until bulk mode ends";
        m.image.EndBulk();
        EXPECT_FALSE(m.IsModified());
    }
    // Taken back by hand, an edit leaves nothing to save.
    HexEditModel m;
    m.description.setProjectName("Door");
    EXPECT_TRUE(m.IsModified());
    m.description.setProjectName("");
    EXPECT_FALSE(m.IsModified());
}

}  // namespace
}  // namespace jqz
