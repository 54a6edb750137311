// The editor's typing, clipboard and range commands, driven as the window drives them.
#include <gtest/gtest.h>

#include "core/image/clipboard_text.h"
#include "core/image/editor_messages.h"
#include "core/image/hex_editor.h"
#include "core/image/number_parsers.h"
#include "test_support.h"

namespace jqz {
namespace {

constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kRed{255, 0, 0};

class HexEditorTest : public ::testing::Test {
protected:
    HexEditModel model;
    test::RecordingSink sink;
    test::RecordingClipboard clipboard;
    HexEditor editor{model, sink, clipboard};
    MemoryImage& image = model.image;

    void fillImage(std::uint8_t v) {
        image.BeginBulk();
        for (int a = 0; a <= 0xFFFF; ++a) image.WriteData(a, v);
        image.EndBulk();
    }
    void put(int a, std::initializer_list<std::uint8_t> bytes) {
        for (auto b : bytes) image.WriteData(a++, b);
        model.undo.Clear();
    }
    void select(int row1, int col1, int row2, int col2) {
        editor.selection().moveTo(row1, col1, false);
        editor.selection().moveTo(row2, col2, true);
    }
};

// --- typing ---------------------------------------------------------------------------------

TEST_F(HexEditorTest, TwoDigitsMakeAByteInTwoUndoSteps) {
    fillImage(0xFF);
    EXPECT_TRUE(editor.TypeHexKey('4'));
    EXPECT_EQ(image.ReadData(0), 0x4F);
    EXPECT_EQ(editor.cursorAddress(), 0) << "the cursor stays after the first digit";
    EXPECT_TRUE(editor.nibble());
    EXPECT_TRUE(editor.TypeHexKey('1'));
    EXPECT_EQ(image.ReadData(0), 0x41);
    EXPECT_EQ(editor.cursorAddress(), 1);
    EXPECT_EQ(image.CellColor(0), kRed);
    EXPECT_EQ(model.undo.stepCount(), 2);
    editor.EditUndo();
    EXPECT_EQ(image.ReadData(0), 0x4F);
    editor.EditUndo();
    EXPECT_EQ(image.ReadData(0), 0xFF);
    EXPECT_EQ(image.CellColor(0), kBlue);
    EXPECT_TRUE(model.undo.IsEmpty());
    EXPECT_EQ(editor.cursorAddress(), 0);
}

TEST_F(HexEditorTest, HexKeysOfEitherCaseAndNothingElse) {
    for (char c : std::string("0123456789ABCDEFabcdef")) {
        editor.GoToAddress(0x10);
        EXPECT_TRUE(editor.TypeHexKey(static_cast<std::uint8_t>(c))) << c;
    }
    const auto steps = model.undo.stepCount();
    for (int c : {int{'g'}, int{'G'}, int{' '}, int{'x'}, 0x08, 0x0D, 0xC1}) {
        const bool nibbleBefore = editor.nibble();
        EXPECT_FALSE(editor.TypeHexKey(static_cast<std::uint8_t>(c))) << c;
        EXPECT_EQ(editor.nibble(), nibbleBefore);
    }
    EXPECT_EQ(model.undo.stepCount(), steps) << "a refused key records nothing";
    editor.GoToAddress(0x20);
    editor.clearNibble();
    editor.TypeHexKey('a');
    editor.TypeHexKey('F');
    EXPECT_EQ(image.ReadData(0x20), 0xAF);
}

TEST_F(HexEditorTest, ADigitAfterACursorMoveIsAHighNibbleAgain) {
    editor.TypeHexKey('7');
    editor.GoToAddress(5);  // as an arrow key does, the window then clears the flag
    editor.clearNibble();
    editor.TypeHexKey('3');
    EXPECT_EQ(image.ReadData(5), 0x30);
    EXPECT_EQ(image.ReadData(0), 0x70);
}

TEST_F(HexEditorTest, TypingOnAReadOnlyCellChangesNothingButMovesOn) {
    fillImage(0x12);
    image.SetReadOnly(0x40, true);
    editor.GoToAddress(0x40);
    editor.TypeHexKey('9');
    editor.TypeHexKey('9');
    EXPECT_EQ(image.ReadData(0x40), 0x12);
    EXPECT_EQ(image.CellColor(0x40), kBlue);
    EXPECT_EQ(editor.cursorAddress(), 0x41);
    EXPECT_EQ(model.undo.stepCount(), 2);
}

TEST_F(HexEditorTest, TypingOnTheLastCellStaysThere) {
    editor.GoToAddress(0xFFFF);
    editor.TypeHexKey('1');
    editor.TypeHexKey('2');
    EXPECT_EQ(image.ReadData(0xFFFF), 0x12);
    EXPECT_EQ(editor.cursorAddress(), 0xFFFF);
    editor.TypeCharKey('Z');
    EXPECT_EQ(image.ReadData(0xFFFF), 'Z');
    EXPECT_EQ(editor.cursorAddress(), 0xFFFF);
}

TEST_F(HexEditorTest, CharacterKeysWriteTheirCodeIncludingControlCharacters) {
    editor.GoToAddress(0x0F);
    editor.TypeCharKey('A');
    EXPECT_EQ(image.ReadData(0x0F), 0x41);
    EXPECT_EQ(editor.cursorAddress(), 0x10) << "after column 15 the next row";
    editor.TypeCharKey(0x08);
    editor.TypeCharKey(0x0D);
    EXPECT_EQ(image.ReadData(0x10), 0x08);
    EXPECT_EQ(image.ReadData(0x11), 0x0D);
    EXPECT_EQ(model.undo.stepCount(), 3);
}

// --- GoToAddress and the selection ------------------------------------------------------------

TEST_F(HexEditorTest, GoToAddressRowsAndColumns) {
    editor.GoToAddress(0x1234);
    EXPECT_EQ(editor.selection().cursorRow(), 0x123);
    EXPECT_EQ(editor.selection().cursorColumn(), 4) << "hex grid column 5";
    editor.GoToAddress(0x20000);
    EXPECT_EQ(editor.cursorAddress(), 0xFFFF);
    select(0, 0, 1, 1);
    EXPECT_TRUE(editor.HasRangeSelection());
    editor.GoToAddress(3);
    EXPECT_FALSE(editor.HasRangeSelection());
}

TEST_F(HexEditorTest, SelectAllEndsOnTheLastCell) {
    editor.EditSelectAll();
    EXPECT_EQ(editor.selection().rect(), (CellRect{0, 0, 4095, 15}));
    EXPECT_EQ(editor.cursorAddress(), 0xFFFF);
}

// --- Copy and Copy Array -----------------------------------------------------------------------

TEST_F(HexEditorTest, CopyOfARectangle) {
    put(0x00, {0x00, 0x01, 0x02});
    put(0x10, {0x10, 0x11, 0x12});
    select(0, 0, 1, 2);
    EXPECT_TRUE(editor.EditCopy());
    EXPECT_EQ(clipboard.text, "00 01 02 \r\n10 11 12 ");
    put(0x0F, {0xAB});
    put(0x1F, {0xCD});
    select(1, 15, 0, 15);  // dragged upwards: the same rectangle
    editor.EditCopy();
    EXPECT_EQ(clipboard.text, "AB \r\nCD ");
}

TEST_F(HexEditorTest, CopyOfOneCellAsksForCopyArray) {
    editor.GoToAddress(5);
    EXPECT_FALSE(editor.EditCopy());
    EXPECT_EQ(clipboard.puts, 0);
    EXPECT_TRUE(editor.CopyArrayOk("0x0000", "0x0002"));
    EXPECT_EQ(clipboard.text, "00 00 00 ");
    EXPECT_TRUE(editor.CopyArrayOk("2", "0"));
    EXPECT_EQ(clipboard.text, "00 00 00 ");
}

TEST_F(HexEditorTest, CopyArrayRefusals) {
    clipboard.text = "before";
    EXPECT_FALSE(editor.CopyArrayOk("0", "0x10000"));
    EXPECT_EQ(sink.errors, (std::vector<std::string>{kTooBigAddressMessage}));
    EXPECT_FALSE(editor.CopyArrayOk("0x10000", "0"));
    EXPECT_FALSE(editor.CopyArrayOk("zz", "0"));
    EXPECT_EQ(sink.errors.back(), kNumberFormatMessage);
    sink.errors.clear();
    EXPECT_FALSE(editor.CopyArrayOk("-5", "0"));
    EXPECT_TRUE(sink.errors.empty()) << "a negative number stops silently";
    EXPECT_EQ(clipboard.text, "before");
}

// --- Paste -------------------------------------------------------------------------------------

TEST_F(HexEditorTest, PasteFollowsLineBreaksAndIsOneStep) {
    // As the editor copies it, and as Linux programs put it on the clipboard.
    for (const char* text : {"1A 2B\r\n3C", "1a 2b\n3c\n"}) {
        SCOPED_TRACE(text);
        editor.GoToAddress(0x0100);
        clipboard.text = text;
        editor.EditPaste();
        EXPECT_EQ(image.ReadData(0x100), 0x1A);
        EXPECT_EQ(image.ReadData(0x101), 0x2B);
        EXPECT_EQ(image.ReadData(0x110), 0x3C);
        EXPECT_EQ(editor.cursorAddress(), text[5] == '\r' ? 0x111 : 0x120);
        EXPECT_EQ(model.undo.stepCount(), 1);
        editor.EditUndo();
        EXPECT_EQ(image.ReadData(0x100), 0);
        EXPECT_EQ(image.ReadData(0x101), 0);
        EXPECT_EQ(image.ReadData(0x110), 0);
        EXPECT_TRUE(sink.errors.empty());
    }
}

TEST_F(HexEditorTest, PasteStopsAtTheFirstBadPairAndKeepsWhatItWrote) {
    struct Case {
        const char* what;
        std::string text;
        int start;
        std::vector<std::uint8_t> expected;  // bytes from start on
        int cursor;                          // -1: the cursor stays
        bool told;                           // nothing pasted, and the user is told why
    };
    const Case cases[] = {
        {"lower case", "1a 0f", 0x200, {0x1A, 0x0F}, 0x202, false},
        {"bad pair", "12 34 XY 56", 0x200, {0x12, 0x34, 0x00}, 0x202, false},
        {"odd length", "12 3", 0x200, {0x12, 0x00}, 0x201, false},
        {"end of image", "11 22", 0xFFFF, {0x11}, 0xFFFF, false},
        {"one character", "1", 0x200, {0x00}, -1, true},
        {"lone CR", "12\r34", 0x200, {0x12, 0x00}, 0x201, false},
        {"LF only", "12\n34\n", 0x200, {0x12, 0x00}, 0x220, false},
        {"tab", "\t12", 0x200, {0x00}, 0x200, true},
        {"no blanks", "ABCDEF", 0x200, {0xAB, 0xCD, 0xEF}, 0x203, false},
        {"high bytes", "\xC3\xA9" "12", 0x200, {0x00}, 0x200, true},
        {"blanks only", "    \r\n  ", 0x200, {0x00}, 0x210, true},
    };
    sink.errors.clear();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HexEditModel m;
        test::RecordingClipboard cb;
        HexEditor e(m, sink, cb);
        e.GoToAddress(c.start);
        cb.text = c.text;
        e.EditPaste();
        for (std::size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_EQ(m.image.ReadData(c.start + static_cast<int>(i)), c.expected[i]) << i;
        EXPECT_EQ(e.cursorAddress(), c.cursor < 0 ? c.start : c.cursor);
        EXPECT_EQ(sink.errors, c.told ? std::vector<std::string>{kNothingPastedMessage}
                                      : std::vector<std::string>{});
        sink.errors.clear();
        const bool wrote = m.image.ReadData(c.start) != 0;
        EXPECT_EQ(m.undo.IsEmpty(), !wrote) << "a paste that wrote nothing keeps no step";
        if (wrote) {
            e.EditUndo();
            for (std::size_t i = 0; i < c.expected.size(); ++i)
                EXPECT_EQ(m.image.ReadData(c.start + static_cast<int>(i)), 0);
        }
    }
}

TEST_F(HexEditorTest, PasteOntoAReadOnlyCellSkipsItButAdvances) {
    image.SetReadOnly(0x301, true);
    editor.GoToAddress(0x300);
    clipboard.text = "01 02 03";
    editor.EditPaste();
    EXPECT_EQ(image.ReadData(0x300), 1);
    EXPECT_EQ(image.ReadData(0x301), 0);
    EXPECT_EQ(image.ReadData(0x302), 3);
    EXPECT_EQ(editor.cursorAddress(), 0x303);
}

TEST_F(HexEditorTest, PasteReproducesACopiedRectangle) {
    put(0x22, {1, 2, 3});
    put(0x32, {4, 5, 6});
    select(2, 2, 3, 4);
    editor.EditCopy();
    editor.GoToAddress(0x1005);
    editor.EditPaste();
    EXPECT_EQ(image.ReadData(0x1005), 1);
    EXPECT_EQ(image.ReadData(0x1007), 3);
    EXPECT_EQ(image.ReadData(0x1015), 4);
    EXPECT_EQ(image.ReadData(0x1017), 6);
    EXPECT_EQ(image.ReadData(0x1008), 0);
}

TEST_F(HexEditorTest, HugePasteIsCutAndOverlappingRowsStayUndoable) {
    // Lines of 32 pairs overlap the next row's cells; the text is far beyond the limit.
    std::string line;
    for (int i = 0; i < 32; ++i) line += "5A ";
    line += "\r\n";
    std::string text;
    while (text.size() < 10u * 1024 * 1024) text += line;
    clipboard.text = text;
    editor.GoToAddress(0);
    editor.EditPaste();
    // 262,139 characters are 2,674 lines of 98 characters and 29 pairs of a last line that
    // starts at row 2674, so the paste ends in row 2675 at column 12.
    ASSERT_EQ(kPasteTextLimit, 262139u);
    EXPECT_EQ(image.ReadData(0), 0x5A);
    EXPECT_EQ(image.ReadData(2675 * 16 + 12), 0x5A);
    EXPECT_EQ(image.ReadData(2675 * 16 + 13), 0);
    EXPECT_EQ(editor.cursorAddress(), 2675 * 16 + 13);
    EXPECT_EQ(model.undo.stepCount(), 1);
    EXPECT_EQ(model.undo.recordCount(), 2675 * 16 + 13) << "each cell recorded once";
    editor.EditUndo();
    for (int a : {0, 16, 2675 * 16 + 12}) EXPECT_EQ(image.ReadData(a), 0) << a;
}

// --- Fill --------------------------------------------------------------------------------------

TEST_F(HexEditorTest, FillOfAReversedRange) {
    editor.GoToAddress(0x30);
    EXPECT_TRUE(editor.FillOk("0xAA", "0x0010", "0x0000", false));
    for (int a = 0; a <= 0x10; ++a) EXPECT_EQ(image.ReadData(a), 0xAA);
    EXPECT_EQ(image.ReadData(0x11), 0);
    EXPECT_EQ(editor.cursorAddress(), 0x10);
    EXPECT_EQ(model.undo.recordCount(), 17);
    editor.EditUndo();
    for (int a = 0; a <= 0x10; ++a) EXPECT_EQ(image.ReadData(a), 0);
}

TEST_F(HexEditorTest, FillOfASelectedRectangle) {
    select(0, 2, 1, 3);  // hex grid columns 3..4 of rows 0..1
    EXPECT_TRUE(editor.FillOk("$1ff", "0x0000", "0x0000", true));
    for (int a : {0x02, 0x03, 0x12, 0x13}) EXPECT_EQ(image.ReadData(a), 0xFF) << a;
    for (int a : {0x01, 0x04, 0x11, 0x14}) EXPECT_EQ(image.ReadData(a), 0x00) << a;
    EXPECT_EQ(editor.cursorAddress(), 0x13);
    EXPECT_EQ(model.undo.recordCount(), 4);
}

TEST_F(HexEditorTest, FillRefusals) {
    EXPECT_FALSE(editor.FillOk("0xAA", "0", "0x10000", false));
    EXPECT_EQ(sink.errors, (std::vector<std::string>{kTooBigAddressMessage}));
    sink.errors.clear();
    EXPECT_FALSE(editor.FillOk("-1", "0", "1", false));
    EXPECT_TRUE(sink.errors.empty());
    EXPECT_FALSE(editor.FillOk("1F", "0", "1", false));
    EXPECT_EQ(sink.errors, (std::vector<std::string>{kNumberFormatMessage}));
    // The address fields are read even when the fill works on a selection.
    select(0, 0, 1, 1);
    EXPECT_FALSE(editor.FillOk("1", "junk", "1", true));
    EXPECT_TRUE(model.undo.IsEmpty());
    EXPECT_EQ(image.ReadData(0), 0);
}

// Every field of a range command is read, each with its own message, before the command
// stops; a range too big is only told when its ends were read.
TEST_F(HexEditorTest, RangeCommandsReadEveryFieldBeforeTheyStop) {
    const std::string N = kNumberFormatMessage;
    const std::string T = kTooBigAddressMessage;
    struct Case {
        const char *value, *from, *to;
        std::vector<std::string> fillErrors;   // Fill with the value
        std::vector<std::string> rangeErrors;  // Copy Array and Copy As with from, to
    };
    const Case cases[] = {
        {"1F", "junk", "zz", {N, N, N}, {N, N}},
        {"1F", "0", "0x10000", {N}, {T}},
        {"0x1", "junk", "0x10000", {N}, {N}},
        {"-1", "junk", "-1", {N}, {N}},
        {"-1", "-1", "0x10000", {}, {}},
        {"0x1", "0x1G", "0x20", {N}, {N}},
    };
    for (const Case& c : cases) {
        sink.errors.clear();
        EXPECT_FALSE(editor.FillOk(c.value, c.from, c.to, false));
        EXPECT_EQ(sink.errors, c.fillErrors) << c.value << " " << c.from << " " << c.to;
        sink.errors.clear();
        EXPECT_FALSE(editor.CopyArrayOk(c.from, c.to));
        EXPECT_EQ(sink.errors, c.rangeErrors) << c.from << " " << c.to;
        sink.errors.clear();
        EXPECT_FALSE(editor.CopyAsOk(CopyAsFormat::Html, c.from, c.to, false));
        EXPECT_EQ(sink.errors, c.rangeErrors) << c.from << " " << c.to;
    }
    EXPECT_TRUE(model.undo.IsEmpty());
}

// --- Swap --------------------------------------------------------------------------------------

TEST_F(HexEditorTest, SwapModes) {
    struct Case {
        SwapMode mode;
        std::vector<std::uint8_t> after;
    };
    const Case cases[] = {
        {SwapMode::Byte, {0x80, 0xF0, 0x2C, 0x48, 0x0F, 0x00, 0x00, 0x00}},
        {SwapMode::Word, {0x0F, 0x01, 0x12, 0x34, 0x00, 0xF0, 0x00, 0x00}},
        {SwapMode::DoubleWord, {0x12, 0x34, 0x0F, 0x01, 0x00, 0x00, 0x00, 0xF0}},
    };
    for (const auto& c : cases) {
        HexEditModel m;
        HexEditor e(m, sink, clipboard);
        const std::vector<std::uint8_t> before{0x01, 0x0F, 0x34, 0x12, 0xF0, 0x00, 0x00, 0x00};
        for (int i = 0; i < 8; ++i) m.image.WriteData(i, before[static_cast<std::size_t>(i)]);
        m.undo.Clear();
        e.SwapOk(c.mode);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(m.image.ReadData(i), c.after[static_cast<std::size_t>(i)]) << i;
        EXPECT_EQ(m.image.CellColor(0x8000), kRed) << "every writable cell is rewritten";
        EXPECT_EQ(m.undo.recordCount(), 0x10000);
        e.EditUndo();
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(m.image.ReadData(i), before[static_cast<std::size_t>(i)]) << i;
        EXPECT_EQ(m.image.CellColor(0x8000), kBlue);
    }
}

// A cell the image refuses keeps its byte, and a word or double word that holds one is left
// whole: its writable partner would otherwise lose its own byte (BD 95 turning into BD BD).
struct RefusedSwapCase {
    SwapMode mode;
    int refused;        // the cell made read-only (or unimplemented)
    bool unimplemented;
    std::vector<std::uint8_t> after;
};

class SwapAroundARefusedCell : public ::testing::TestWithParam<RefusedSwapCase> {};

TEST_P(SwapAroundARefusedCell, LeavesItsGroupWhole) {
    const RefusedSwapCase& c = GetParam();
    HexEditModel m;
    test::RecordingSink sink;
    test::RecordingClipboard clipboard;
    HexEditor e(m, sink, clipboard);
    const std::vector<std::uint8_t> before{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    for (int i = 0; i < 8; ++i) m.image.WriteData(i, before[static_cast<std::size_t>(i)]);
    m.image.BeginBulk();
    m.image.EndBulk();
    if (c.unimplemented) m.image.SetUnimplemented(c.refused, true);
    else m.image.SetReadOnly(c.refused, true);
    e.SwapOk(c.mode);
    for (int i = 0; i < 8; ++i) {
        const auto u = static_cast<std::size_t>(i);
        EXPECT_EQ(m.image.ReadData(i), c.after[u]) << "cell " << i;
        // Cells the swap wrote are marked, cells it left alone are not.
        const bool written = c.mode == SwapMode::Byte ? i != c.refused
                             : c.mode == SwapMode::Word ? i / 2 != c.refused / 2
                                                       : i / 4 != c.refused / 4;
        if (i != c.refused || !c.unimplemented) {
            EXPECT_EQ(m.image.CellColor(i), written ? kRed : kBlue) << "cell " << i;
        }
    }
    e.EditUndo();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(m.image.ReadData(i), before[static_cast<std::size_t>(i)]);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, SwapAroundARefusedCell,
    ::testing::Values(
        RefusedSwapCase{SwapMode::Byte, 0, false, {0x12, 0x2C, 0x6A, 0x1E, 0x59, 0x3D, 0x7B, 0x0F}},
        RefusedSwapCase{SwapMode::Byte, 1, false, {0x48, 0x34, 0x6A, 0x1E, 0x59, 0x3D, 0x7B, 0x0F}},
        RefusedSwapCase{SwapMode::Byte, 2, false, {0x48, 0x2C, 0x56, 0x1E, 0x59, 0x3D, 0x7B, 0x0F}},
        RefusedSwapCase{SwapMode::Byte, 3, false, {0x48, 0x2C, 0x6A, 0x78, 0x59, 0x3D, 0x7B, 0x0F}},
        RefusedSwapCase{SwapMode::Word, 0, false, {0x12, 0x34, 0x78, 0x56, 0xBC, 0x9A, 0xF0, 0xDE}},
        RefusedSwapCase{SwapMode::Word, 1, false, {0x12, 0x34, 0x78, 0x56, 0xBC, 0x9A, 0xF0, 0xDE}},
        RefusedSwapCase{SwapMode::Word, 2, false, {0x34, 0x12, 0x56, 0x78, 0xBC, 0x9A, 0xF0, 0xDE}},
        RefusedSwapCase{SwapMode::Word, 3, false, {0x34, 0x12, 0x56, 0x78, 0xBC, 0x9A, 0xF0, 0xDE}},
        RefusedSwapCase{SwapMode::Word, 1, true, {0x12, 0x34, 0x78, 0x56, 0xBC, 0x9A, 0xF0, 0xDE}},
        RefusedSwapCase{SwapMode::DoubleWord, 0, false, {0x12, 0x34, 0x56, 0x78, 0xF0, 0xDE, 0xBC, 0x9A}},
        RefusedSwapCase{SwapMode::DoubleWord, 1, false, {0x12, 0x34, 0x56, 0x78, 0xF0, 0xDE, 0xBC, 0x9A}},
        RefusedSwapCase{SwapMode::DoubleWord, 2, false, {0x12, 0x34, 0x56, 0x78, 0xF0, 0xDE, 0xBC, 0x9A}},
        RefusedSwapCase{SwapMode::DoubleWord, 3, false, {0x12, 0x34, 0x56, 0x78, 0xF0, 0xDE, 0xBC, 0x9A}},
        RefusedSwapCase{SwapMode::DoubleWord, 6, true, {0x78, 0x56, 0x34, 0x12, 0x9A, 0xBC, 0xDE, 0xF0}}));

// --- Search ------------------------------------------------------------------------------------

TEST_F(HexEditorTest, HexSearchAndSearchAgain) {
    put(0x100, {0x41, 0x42});
    put(0x300, {0x41, 0x42});
    editor.search().text = "4142";
    EXPECT_EQ(editor.RunSearch(), SearchOutcome::Found);
    EXPECT_EQ(editor.cursorAddress(), 0x100);
    EXPECT_EQ(editor.search().lastMatchLength, 2);
    EXPECT_EQ(editor.RunSearch(), SearchOutcome::Found) << "again from 0x102 on";
    EXPECT_EQ(editor.cursorAddress(), 0x300);
    EXPECT_EQ(editor.RunSearch(), SearchOutcome::NotFound);
    EXPECT_EQ(sink.confirmations, (std::vector<std::string>{kSearchNotFoundMessage}));
    EXPECT_EQ(editor.cursorAddress(), 0x300);
    EXPECT_EQ(editor.search().lastMatchLength, 2);
    editor.search().direction = SearchDirection::Up;
    EXPECT_EQ(editor.RunSearch(), SearchOutcome::Found);
    EXPECT_EQ(editor.cursorAddress(), 0x100);
    EXPECT_TRUE(sink.errors.empty());
}

TEST_F(HexEditorTest, TheWholeMatchIsShownUntilTheCursorLeavesIt) {
    EXPECT_FALSE(editor.shownMatch());
    put(0x10E, {0x41, 0x42, 0x43});  // across a row's end
    editor.search().text = "414243";
    ASSERT_EQ(editor.RunSearch(), SearchOutcome::Found);
    ASSERT_TRUE(editor.shownMatch());
    EXPECT_EQ(editor.shownMatch()->from, 0x10E);
    EXPECT_EQ(editor.shownMatch()->to, 0x110);
    editor.GoToAddress(0x200);
    EXPECT_FALSE(editor.shownMatch());
    editor.GoToAddress(0x10E);
    editor.selection().moveTo(0x11, 0, true);
    EXPECT_FALSE(editor.shownMatch()) << "a selection replaces it";
    // A match at the image's end is held to it.
    put(0xFFFF, {0x5A});
    editor.GoToAddress(0xFFF0);
    editor.search().text = "5A";
    ASSERT_EQ(editor.RunSearch(), SearchOutcome::Found);
    EXPECT_EQ(editor.shownMatch()->from, 0xFFFF);
    EXPECT_EQ(editor.shownMatch()->to, 0xFFFF);
    editor.search().text = "77";
    EXPECT_EQ(editor.RunSearch(), SearchOutcome::NotFound);
    EXPECT_TRUE(editor.shownMatch()) << "the cursor is still on the last match";
}

TEST_F(HexEditorTest, TextSearchIsBlindToTheCaseOfImageLetters) {
    for (const auto& bytes : std::vector<std::vector<std::uint8_t>>{
             {0x41, 0x42}, {0x41, 0x62}, {0x61, 0x62}}) {
        HexEditModel m;
        HexEditor e(m, sink, clipboard);
        m.image.WriteData(0x500, bytes[0]);
        m.image.WriteData(0x501, bytes[1]);
        e.search().type = SearchType::Text;
        e.search().text = "ab";
        EXPECT_EQ(e.RunSearch(), SearchOutcome::Found);
        EXPECT_EQ(e.cursorAddress(), 0x500);
        e.search().text = "AB";
        e.search().lastMatchLength = 0;
        e.GoToAddress(0);
        EXPECT_EQ(e.RunSearch(), SearchOutcome::Found) << "the text is lowered too";
    }
}

TEST_F(HexEditorTest, SearchTextRefusals) {
    struct Case {
        SearchType type;
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {SearchType::Hex, "414", kOddHexStringMessage},
        {SearchType::Hex, "0x41", kBadHexPairMessage},
        {SearchType::Hex, "4G", kBadHexPairMessage},
        {SearchType::Text, std::string(33, 'a'), kSearchTooLongMessage},
        {SearchType::Hex, std::string(34, '0'), kSearchTooLongMessage},
    };
    for (const auto& c : cases) {
        sink.errors.clear();
        editor.search().type = c.type;
        editor.search().text = c.text;
        EXPECT_EQ(editor.RunSearch(), SearchOutcome::Refused) << c.text;
        EXPECT_EQ(sink.errors, (std::vector<std::string>{c.message}));
    }
    editor.search().type = SearchType::Text;
    editor.search().text = std::string(32, 'a');
    EXPECT_EQ(editor.RunSearch(), SearchOutcome::NotFound) << "32 characters are accepted";
    editor.search().type = SearchType::Hex;
    editor.search().text = "ff";
    fillImage(0xFF);
    editor.GoToAddress(0);
    EXPECT_EQ(editor.RunSearch(), SearchOutcome::Found) << "lower-case digits are fine here";
}

TEST_F(HexEditorTest, SearchEdges) {
    // Up from cell 0 with no earlier match examines cell 0 only.
    editor.search().text = "01";
    editor.search().direction = SearchDirection::Up;
    EXPECT_EQ(editor.RunSearch(), SearchOutcome::NotFound);
    put(0, {0x01});
    EXPECT_EQ(editor.RunSearch(), SearchOutcome::Found);
    // Cells beyond the image read as 0x00: "FF00" matches at the last cell.
    put(0xFFFF, {0xFF});
    editor.search().direction = SearchDirection::Down;
    editor.search().text = "FF00";
    EXPECT_EQ(editor.RunSearch(), SearchOutcome::Found);
    EXPECT_EQ(editor.cursorAddress(), 0xFFFF);
    // An empty pattern matches at the first candidate.
    editor.search().text = "";
    editor.GoToAddress(0x40);
    editor.search().lastMatchLength = 0;
    EXPECT_EQ(editor.RunSearch(), SearchOutcome::Found);
    EXPECT_EQ(editor.cursorAddress(), 0x40);
    EXPECT_EQ(editor.search().lastMatchLength, 0);
}

// --- Go To Address -----------------------------------------------------------------------------

TEST_F(HexEditorTest, GoToAddressDialog) {
    EXPECT_TRUE(editor.GoToOk("$FFFF"));
    EXPECT_EQ(editor.cursorAddress(), 0xFFFF);
    editor.GoToAddress(0);
    EXPECT_TRUE(editor.GoToOk("65535"));
    EXPECT_EQ(editor.cursorAddress(), 0xFFFF);
    EXPECT_TRUE(editor.GoToOk("  x10"));
    EXPECT_EQ(editor.cursorAddress(), 0x10);
    EXPECT_FALSE(editor.GoToOk("0x10000"));
    EXPECT_FALSE(editor.GoToOk("10 "));
    EXPECT_EQ(sink.errors,
              (std::vector<std::string>{kTooBigAddressMessage, kNumberFormatMessage}));
    EXPECT_EQ(editor.cursorAddress(), 0x10);
}

// --- Copy As through the editor ----------------------------------------------------------------

TEST_F(HexEditorTest, CopyAsRangeAndSelection) {
    EXPECT_TRUE(editor.CopyAsOk(CopyAsFormat::CArray, "0x0020", "0x0010", false));
    const std::string reversed = clipboard.text;
    editor.CopyAsOk(CopyAsFormat::CArray, "0x0010", "0x0020", false);
    EXPECT_EQ(clipboard.text, reversed);
    EXPECT_NE(reversed.find("Data1[17]"), std::string::npos);
    EXPECT_FALSE(editor.CopyAsOk(CopyAsFormat::Html, "0", "0x10000", false));
    EXPECT_EQ(sink.errors, (std::vector<std::string>{kTooBigAddressMessage}));
    select(0, 0, 3, 7);
    EXPECT_TRUE(editor.CopyAsOk(CopyAsFormat::CArray, "junk", "junk", true))
        << "the address fields are not read on a selection";
    EXPECT_NE(clipboard.text.find("Data1[32]"), std::string::npos);
}

}  // namespace
}  // namespace jqz

namespace jqz {
namespace {

// While a device read holds the image, every edit is refused with the busy message: it would
// bypass read-only cells and leave no edited mark.
TEST_F(HexEditorTest, EditsAreRefusedWhileAReadHoldsTheImage) {
    fillImage(0x11);
    image.SetReadOnly(0, true);
    image.BeginBulk(MemoryImage::BulkOwner::DeviceRead);
    EXPECT_FALSE(editor.TypeHexKey('4'));
    EXPECT_FALSE(editor.TypeCharKey('A'));
    EXPECT_FALSE(editor.TypeHexKey('x')) << "no digit: refused without a message";
    clipboard.text = "0000: 22 22";
    editor.EditPaste();
    EXPECT_FALSE(editor.FillOk("0x33", "0", "0xFF", false));
    editor.SwapOk(SwapMode::Byte);
    editor.EditUndo();
    image.EndBulk(MemoryImage::BulkOwner::DeviceRead);
    EXPECT_EQ(image.ReadData(0), 0x11);
    EXPECT_EQ(image.ReadData(1), 0x11);
    EXPECT_EQ(image.CellColor(1), kBlue);
    EXPECT_TRUE(model.undo.IsEmpty());
    EXPECT_EQ(sink.errors, std::vector<std::string>(6, kImageBusyMessage));
    EXPECT_TRUE(editor.TypeCharKey('A')) << "editing works again after the read";
}

}  // namespace
}  // namespace jqz
