#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/image/hex_edit_model.h"
#include "core/image/range_commands.h"

namespace jqz {
namespace {

constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kRed{255, 0, 0};

// A step of one cell, as a typed digit makes it.
void typeInto(HexEditModel& m, int a, std::uint8_t v) {
    m.undo.BeginGroup();
    m.undo.Push(a);
    m.undo.EndGroup();
    m.image.WriteData(a, v);
}

TEST(StackContainer, UndoRestoresDataAndColourNewestStepFirst) {
    HexEditModel m;
    std::vector<bool> availability;
    m.undo.setAvailabilityHandler([&](bool on) { availability.push_back(on); });
    EXPECT_TRUE(m.undo.IsEmpty());
    typeInto(m, 0x10, 0x4F);
    typeInto(m, 0x10, 0x41);
    EXPECT_EQ(m.image.ReadData(0x10), 0x41);
    EXPECT_EQ(m.image.CellColor(0x10), kRed);
    EXPECT_FALSE(m.image.IsUndoEmpty());
    EXPECT_EQ(m.undo.Undo(), 0x10);
    EXPECT_EQ(m.image.ReadData(0x10), 0x4F);
    EXPECT_EQ(m.undo.Undo(), 0x10);
    EXPECT_EQ(m.image.ReadData(0x10), 0x00);
    EXPECT_EQ(m.image.CellColor(0x10), kBlue);
    EXPECT_TRUE(m.image.IsUndoEmpty());
    EXPECT_EQ(m.undo.Undo(), -1) << "an empty stack restores nothing";
    ASSERT_FALSE(availability.empty());
    EXPECT_TRUE(availability.front());
    EXPECT_FALSE(availability.back());
}

TEST(StackContainer, UndoReturnsTheFirstCellOfTheStep) {
    HexEditModel m;
    FillCells(m.image, m.undo, CellSet::Range(0x20, 0x2F), 0xAA);
    EXPECT_EQ(m.undo.Undo(), 0x20);
    for (int a = 0x20; a <= 0x2F; ++a) EXPECT_EQ(m.image.ReadData(a), 0);
}

TEST(StackContainer, AStepWithoutRecordsIsNotKept) {
    HexEditModel m;
    m.undo.BeginGroup();
    m.undo.Push(0x10000);  // beyond the image: not recorded
    m.undo.Push(-1);
    m.undo.EndGroup();
    EXPECT_TRUE(m.undo.IsEmpty());
    typeInto(m, 1, 5);
    m.undo.BeginGroup();
    m.undo.EndGroup();
    EXPECT_EQ(m.undo.stepCount(), 1);
    EXPECT_EQ(m.undo.Undo(), 1);
    EXPECT_TRUE(m.undo.IsEmpty());
}

TEST(StackContainer, ReadOnlyCellKeepsItsDataButGetsItsRecordedAttributeBack) {
    HexEditModel m;
    typeInto(m, 7, 0x11);  // recorded: data 0, attribute 0x30
    m.image.SetReadOnly(7, true);
    m.undo.Undo();
    EXPECT_EQ(m.image.ReadData(7), 0x11) << "the guarded write refuses the read-only cell";
    EXPECT_EQ(m.image.ReadAttribute(7), 0x30) << "the raw attribute write restores the flags";
    EXPECT_FALSE(m.image.IsReadOnly(7));
}

TEST(StackContainer, RefusedWritesAreRecordedAndUndoneHarmlessly) {
    HexEditModel m;
    m.image.SetReadOnly(3, true);
    m.image.SetUnimplemented(4, true);
    const auto attr3 = m.image.ReadAttribute(3);
    const auto attr4 = m.image.ReadAttribute(4);
    FillCells(m.image, m.undo, CellSet::Range(2, 5), 0x77);
    EXPECT_EQ(m.undo.recordCount(), 4);
    EXPECT_EQ(m.image.ReadData(3), 0);
    m.undo.Undo();
    EXPECT_EQ(m.image.ReadAttribute(3), attr3);
    EXPECT_EQ(m.image.ReadAttribute(4), attr4);
    EXPECT_EQ(m.image.ReadData(2), 0);
    EXPECT_EQ(m.image.ReadData(5), 0);
}

TEST(StackContainer, AWholeImageStepIsOneUndo) {
    HexEditModel m;
    m.image.WriteData(0x1234, 0x55);
    m.undo.Clear();
    FillCells(m.image, m.undo, CellSet::Range(0, 0xFFFF), 0xEE);
    EXPECT_EQ(m.undo.stepCount(), 1);
    EXPECT_EQ(m.undo.recordCount(), 0x10000);
    EXPECT_EQ(m.undo.Undo(), 0);
    EXPECT_TRUE(m.undo.IsEmpty());
    EXPECT_EQ(m.image.ReadData(0x1234), 0x55);
    EXPECT_EQ(m.image.ReadData(0xFFFF), 0x00);
    EXPECT_EQ(m.image.CellColor(0xFFFF), kBlue);
}

TEST(StackContainer, StepsWhoseRecordsAreOverwrittenAreDropped) {
    HexEditModel m;
    typeInto(m, 0x100, 1);
    typeInto(m, 0x101, 2);
    // 65,535 more records: together 65,537, one more than the ring holds, so the oldest step
    // loses its record and must go; the second step still fits.
    FillCells(m.image, m.undo, CellSet::Range(0, 0xFFFE), 0x33);
    EXPECT_EQ(m.undo.stepCount(), 2);
    EXPECT_EQ(m.undo.recordCount(), 0x10000);
    m.undo.Undo();
    EXPECT_EQ(m.image.ReadData(0x100), 1) << "the fill is undone from its own records";
    EXPECT_EQ(m.image.ReadData(0x101), 2);
    EXPECT_EQ(m.undo.Undo(), 0x101);
    EXPECT_EQ(m.image.ReadData(0x101), 0);
    EXPECT_TRUE(m.undo.IsEmpty()) << "the step of 0x100 was dropped";
    EXPECT_EQ(m.image.ReadData(0x100), 1);
}

TEST(StackContainer, ASwapLeavesOnlyItselfToUndo) {
    HexEditModel m;
    typeInto(m, 0, 0x12);
    typeInto(m, 1, 0x34);
    SwapImage(m.image, m.undo, SwapMode::Word);
    EXPECT_EQ(m.undo.stepCount(), 1);
    m.undo.Undo();
    EXPECT_EQ(m.image.ReadData(0), 0x12);
    EXPECT_EQ(m.image.ReadData(1), 0x34);
    EXPECT_TRUE(m.undo.IsEmpty());
}

TEST(StackContainer, ManySmallStepsWrapBothRingsAndStayUndoable) {
    HexEditModel m;
    // 70,000 one-cell steps: the oldest ones are dropped, the newest 65,536 are kept whole.
    for (int i = 0; i < 70000; ++i) typeInto(m, i & 0xFFFF, static_cast<std::uint8_t>(i));
    EXPECT_EQ(m.undo.stepCount(), 0x10000);
    EXPECT_FALSE(m.undo.IsEmpty());
    int undone = 0;
    while (m.undo.Undo() >= 0) ++undone;
    EXPECT_EQ(undone, 0x10000);
    // The cells written by the kept steps are back to what the oldest kept step found: cells
    // 0x1170..0xFFFF held their value from steps 0x1170..0xFFFF (dropped ones wrote them
    // first), cells 0..0x116F their value from the first pass.
    EXPECT_EQ(m.image.ReadData(0x116F), static_cast<std::uint8_t>(0x116F));
    EXPECT_EQ(m.image.ReadData(0x1170), 0x00);
    EXPECT_EQ(m.image.ReadData(0xFFFF), 0x00);
}

TEST(StackContainer, ACellRecordedTwiceInOneStepComesBackFromItsFirstRecord) {
    HexEditModel m;
    m.image.WriteData(5, 0x99);
    m.undo.Clear();
    m.undo.BeginGroup();
    m.undo.Push(5);
    m.image.WriteData(5, 0x01);
    m.undo.Push(5);
    m.image.WriteData(5, 0x02);
    m.undo.EndGroup();
    EXPECT_EQ(m.undo.recordCount(), 1);
    m.undo.Undo();
    EXPECT_EQ(m.image.ReadData(5), 0x99);
}

TEST(StackContainer, BeginBulkEmptiesIt) {
    HexEditModel m;
    std::vector<bool> availability;
    m.undo.setAvailabilityHandler([&](bool on) { availability.push_back(on); });
    typeInto(m, 1, 1);
    EXPECT_FALSE(m.image.IsUndoEmpty());
    m.image.BeginBulk();
    EXPECT_TRUE(m.image.IsUndoEmpty());
    m.image.EndBulk();
    EXPECT_EQ(m.undo.Undo(), -1);
    EXPECT_EQ(availability, (std::vector<bool>{true, false}));
}

// A read sequence empties the stack from its worker while the editor records steps.
TEST(StackContainer, ClearFromAWorkerWhileStepsAreRecorded) {
    HexEditModel m;
    std::atomic<int> notices{0};
    m.undo.setAvailabilityHandler([&](bool) { ++notices; });
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (!stop) {
            m.image.BeginBulk();
            m.image.WriteData(0x8000, 0x11);
            m.image.EndBulk();
        }
    });
    for (int i = 0; i < 2000; ++i) {
        typeInto(m, i & 0xFF, static_cast<std::uint8_t>(i));
        if (i % 7 == 0) m.undo.Undo();
    }
    stop = true;
    worker.join();
    m.image.BeginBulk();
    m.image.EndBulk();
    EXPECT_TRUE(m.undo.IsEmpty());
    EXPECT_EQ(m.undo.recordCount(), 0);
    EXPECT_GT(notices.load(), 0);
}

}  // namespace
}  // namespace jqz
