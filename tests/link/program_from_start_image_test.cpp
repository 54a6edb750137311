// A program sequence writes and verifies the image as it was at the press of the start
// button. The user's commands that change the image stay allowed while it runs (it takes
// minutes on a slow line) and take effect in the image only: the device gets neither a mix of
// old and new bytes nor a verify error for a block that was written as it was meant to be.
// Each command runs on the test's thread while the worker waits before its second block.
#include <filesystem>

#include "core/image/cell_edit.h"
#include "core/image/checksum.h"
#include "core/image/clipboard.h"
#include "core/image/hex_editor.h"
#include "command_during_run.h"
#include "sequence_fixture.h"

namespace jqz::test {
namespace {

constexpr int kFirst = 0xB600;
constexpr int kLast = 0xB7FF;

// Bytes for the first written block's end and the next block's start.
class PasteClipboard : public Clipboard {
public:
    void putText(const std::string&) override {}
    std::string getText() override { return "11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF 00"; }
};

struct Change {
    const char* name;
    // Run before the start (e.g. an edit for Undo to take back); may be empty.
    std::function<void(HexEditor&)> before;
    std::function<void(HexEditModel&, HexEditor&, MessageSink&, const std::string& folder)> run;
};

void PrintTo(const Change& change, std::ostream* out) { *out << change.name; }

class CommandDuringAProgramRun : public SequenceTest, public ::testing::WithParamInterface<Change> {
};

std::uint8_t pattern(int a) { return static_cast<std::uint8_t>(a * 5 + 9); }

TEST_P(CommandDuringAProgramRun, ChangesTheImageOnlyAndTheDeviceGetsTheStartImage) {
    selectDevice(kE9);
    host.opts.ProgramEepromOn = true;
    host.opts.VerifyEepromOn = true;
    connect();
    for (int a = kFirst; a <= kLast; ++a) host.model.image.WriteData(a, pattern(a));
    MessageRecorder sink;
    PasteClipboard clipboard;
    HexEditor editor(host.model, sink, clipboard);
    if (GetParam().before) GetParam().before(editor);
    const std::vector<std::uint8_t> atStart = imageData(kFirst, kLast);

    const RunFolder folder("jqz-program-" + std::string(GetParam().name));
    const std::filesystem::path& dir = folder.path();
    // Before the second block: the first one is on the device already.
    pauseAt(req::cat({req::checksAndLink(0, 7), req::interfaceAndId(),
                      req::writeBlock(kFirst, atStart.data())}));

    writer.Start();
    waitForPause();
    GetParam().run(host.model, editor, sink, dir.string());
    const std::vector<std::uint8_t> changed = imageData(kFirst, kLast);
    letGo();
    EXPECT_EQ(writer.WaitFor(), 0);

    EXPECT_EQ(sink.errors, std::vector<std::string>{});
    // The command did its work, in both the block already written and one still to come.
    EXPECT_NE(std::vector<std::uint8_t>(changed.begin(), changed.begin() + 0x80),
              std::vector<std::uint8_t>(atStart.begin(), atStart.begin() + 0x80));
    EXPECT_NE(std::vector<std::uint8_t>(changed.begin() + 0x80, changed.end()),
              std::vector<std::uint8_t>(atStart.begin() + 0x80, atStart.end()));
    EXPECT_EQ(imageData(kFirst, kLast), changed);
    // The device holds the image of the start, verified, and the log's figures are its own.
    EXPECT_EQ(targetData(kFirst, kLast), atStart);
    const Lines lines = log();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2],
              infoLine(ChecksumReport{kEepromRange, kFirst, kLast, ChecksumsOf(atStart)}.text()));
    EXPECT_EQ(lines.back(), infoLine(kProgramCompleted));
    for (const std::string& line : lines) EXPECT_EQ(line.find(kVerifyErrorAt), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Image, CommandDuringAProgramRun,
    ::testing::Values(
        Change{"Load", {},
               [](HexEditModel& m, HexEditor&, MessageSink& s, const std::string& folder) {
                   EXPECT_TRUE(LoadRecords(m, s, folder, 0xB670, std::vector<std::uint8_t>(32, 0x5A)));
               }},
        Change{"Fill", {},
               [](HexEditModel&, HexEditor& e, MessageSink&, const std::string&) {
                   EXPECT_TRUE(e.FillOk("0x3C", "0xB600", "0xB7FF", false));
               }},
        Change{"TypeHexKeys", {},
               [](HexEditModel&, HexEditor& e, MessageSink&, const std::string&) {
                   for (int a : {0xB610, 0xB710}) {
                       e.GoToAddress(a);
                       EXPECT_TRUE(e.TypeHexKey('0'));
                       EXPECT_TRUE(e.TypeHexKey('0'));
                   }
               }},
        Change{"Paste", {},
               [](HexEditModel&, HexEditor& e, MessageSink&, const std::string&) {
                   e.GoToAddress(0xB678);
                   e.EditPaste();
               }},
        Change{"Undo",
               [](HexEditor& e) {
                   for (int a : {0xB600, 0xB700}) {
                       e.GoToAddress(a);
                       ASSERT_TRUE(e.TypeCharKey('Q'));
                   }
               },
               [](HexEditModel&, HexEditor& e, MessageSink&, const std::string&) {
                   e.EditUndo();
                   e.EditUndo();
               }},
        Change{"Swap", {},
               [](HexEditModel&, HexEditor& e, MessageSink&, const std::string&) {
                   e.SwapOk(SwapMode::Word);
               }},
        Change{"EditCellOk", {},
               [](HexEditModel& m, HexEditor&, MessageSink& s, const std::string&) {
                   for (const char* address : {"0xB620", "0xB720"})
                       EXPECT_TRUE(CellEditOk(m, 0, CellEditInput{address, "0x00", "note", 3, false}, s));
               }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jqz::test
