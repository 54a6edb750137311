// Who may end bulk mode, and how the user's edits and a device read's hold on the image
// exclude each other.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/image/clipboard_text.h"
#include "core/image/editor_messages.h"
#include "core/image/hex_editor.h"
#include "core/image/image_edit.h"
#include "test_support.h"

namespace jqz {
namespace {

using Owner = MemoryImage::BulkOwner;

constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kRed{255, 0, 0};

struct Step {
    bool begin;  // BeginBulk, else EndBulk
    Owner owner;
    bool bulk;        // IsBulk afterwards
    bool heldByRead;  // IsHeldByRead afterwards
    int repaints;     // recolourings so far
};

struct HoldCase {
    const char* name;
    std::vector<Step> steps;
};

class BulkHolds : public ::testing::TestWithParam<HoldCase> {};

TEST_P(BulkHolds, OnlyTheOwnerEndsItsHold) {
    HexEditModel m;
    int repaints = 0;
    m.image.setRepaintHandler([&] { ++repaints; });
    m.image.SetCellColor(5, kRed);
    int i = 0;
    for (const Step& s : GetParam().steps) {
        SCOPED_TRACE(i++);
        if (s.begin) m.image.BeginBulk(s.owner);
        else m.image.EndBulk(s.owner);
        EXPECT_EQ(m.image.IsBulk(), s.bulk);
        EXPECT_EQ(m.image.IsHeldByRead(), s.heldByRead);
        EXPECT_EQ(repaints, s.repaints);
        // The edited mark goes exactly when bulk mode ends.
        EXPECT_EQ(m.image.CellColor(5), s.repaints == 0 ? kRed : kBlue);
    }
}

constexpr Owner E = Owner::Editor;
constexpr Owner R = Owner::DeviceRead;

INSTANTIATE_TEST_SUITE_P(
    Image, BulkHolds,
    ::testing::Values(
        HoldCase{"EditorPairInsideARead",
                 {{true, R, true, true, 0}, {true, E, true, true, 0}, {false, E, true, true, 0},
                  {false, R, false, false, 1}}},
        HoldCase{"EditorEndWithoutHoldLeavesTheRead",
                 {{true, R, true, true, 0}, {false, E, true, true, 0}, {false, E, true, true, 0},
                  {false, R, false, false, 1}}},
        HoldCase{"ReadEndWithoutHoldRecoloursWhenFree", {{false, R, false, false, 1}}},
        HoldCase{"ReadEndWithoutHoldLeavesTheEditor",
                 {{true, E, true, false, 0}, {false, R, true, false, 0}, {false, E, false, false, 1}}},
        HoldCase{"NestedEditorHolds",
                 {{true, E, true, false, 0}, {true, E, true, false, 0}, {false, E, true, false, 0},
                  {false, E, false, false, 1}}},
        HoldCase{"ReadEndingFirstLeavesTheEditor",
                 {{true, E, true, false, 0}, {true, R, true, true, 0}, {false, R, true, false, 0},
                  {false, E, false, false, 1}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A save made while a read holds the image would begin and end bulk mode: the read's later
// bytes must still reach read-only cells and stay unmarked.
TEST(ImageHold, ReadKeepsBulkModeThroughAnotherOwnersPair) {
    HexEditModel m;
    m.image.SetReadOnly(0x10, true);
    m.image.BeginBulk(Owner::DeviceRead);
    m.image.BeginBulk();
    m.image.EndBulk();
    m.image.WriteData(0x10, 0xA5);
    m.image.WriteData(0x11, 0x5A);
    EXPECT_EQ(m.image.ReadData(0x10), 0xA5);
    EXPECT_EQ(m.image.CellColor(0x11), kBlue);
    m.image.EndBulk(Owner::DeviceRead);
    EXPECT_TRUE(m.image.IsReadOnly(0x10));
    EXPECT_FALSE(m.image.IsBulk());
}

TEST(ImageHold, EditLockIsRefusedExactlyWhileAReadHoldsTheImage) {
    HexEditModel m;
    test::RecordingSink sink;
    EXPECT_TRUE(m.image.LockForEdit());
    m.image.BeginBulk();
    EXPECT_TRUE(m.image.LockForEdit()) << "the editor's own bulk operations do not refuse edits";
    m.image.EndBulk();
    m.image.BeginBulk(Owner::DeviceRead);
    EXPECT_FALSE(m.image.LockForEdit());
    EditorAppearance a = m.image.GetAppearance();
    a.WorkColor = Rgb{0, 255, 0};
    EXPECT_FALSE(ApplyAppearanceUnlessRead(m.image, a, sink));
    EXPECT_EQ(sink.errors, std::vector<std::string>{kImageBusyMessage});
    EXPECT_EQ(m.image.GetAppearance().WorkColor, kBlue);
    m.image.EndBulk(Owner::DeviceRead);
    EXPECT_TRUE(m.image.LockForEdit());
    EXPECT_TRUE(ApplyAppearanceUnlessRead(m.image, a, sink));
    EXPECT_EQ(sink.errors.size(), 1u);
    EXPECT_EQ(m.image.CellColor(0), (Rgb{0, 255, 0}));
}

// The user fills the whole image again and again while reads begin and end on another thread.
// When a read's BeginBulk returns, no fill may be half done and none may start: the image is
// one fill's value throughout, the read-only cell untouched, the undo history empty.
TEST(ImageHold, AFillIsWholeOrRefusedAroundAReadsBegin) {
    HexEditModel m;
    test::RecordingSink sink;
    test::RecordingClipboard clipboard;
    HexEditor editor(m, sink, clipboard);
    m.image.SetReadOnly(0, true);
    std::atomic<bool> done{false};
    std::atomic<int> fills{0};
    std::thread user([&] {
        for (int v = 1; !done.load(); v = v % 255 + 1)
            if (editor.FillOk(std::to_string(v), "0", "0xFFFF", false)) ++fills;
    });
    int seen = 0;
    for (int round = 0; round < 40; ++round) {
        // A fill made after the last read, so that cell 1 holds a fill's value again. A fill
        // counts itself only after it let the image go, so one fill made before the last read
        // may still have been counted after it: the second count after it is a fill that began
        // after the read.
        while (fills.load() < seen + 2) std::this_thread::yield();
        m.image.BeginBulk(Owner::DeviceRead);
        const std::uint8_t first = m.image.ReadData(1);
        int mixed = 0;
        for (int a = 2; a <= 0xFFFF; ++a) mixed += m.image.ReadData(a) != first;
        EXPECT_EQ(mixed, 0) << "round " << round;
        EXPECT_EQ(m.image.ReadData(0), 0x00);
        EXPECT_TRUE(m.image.IsUndoEmpty());
        // The read's own bytes land, read-only or not, and no fill overwrites them.
        m.image.WriteData(0, 0xEE);
        m.image.WriteData(1, 0xEE);
        std::this_thread::yield();
        EXPECT_EQ(m.image.ReadData(1), 0xEE);
        m.image.EndBulk(Owner::DeviceRead);
        // Put the read-only cell back as a load would: a bulk pass under the edit lock.
        const MemoryImage::EditLock edit = m.image.LockForEdit();
        ASSERT_TRUE(edit);
        m.image.BeginBulk();
        m.image.WriteData(0, 0x00);
        m.image.EndBulk();
        seen = fills.load();
    }
    done = true;
    user.join();
    for (const std::string& e : sink.errors) EXPECT_EQ(e, kImageBusyMessage);
}

}  // namespace
}  // namespace jqz
