// While a device read fills the image, the user's commands that change it are refused, so the
// rest of the device's bytes still reach read-only cells and nothing is painted as edited.
// Each command is tried from the test's thread while the worker waits between two blocks.
#include <filesystem>

#include "core/files/save_file.h"
#include "core/image/cell_edit.h"
#include "core/image/clipboard.h"
#include "core/image/editor_messages.h"
#include "core/image/hex_editor.h"
#include "core/image/image_edit.h"
#include "command_during_run.h"
#include "sequence_fixture.h"

namespace jqz::test {
namespace {

class NoClipboard : public Clipboard {
public:
    void putText(const std::string&) override {}
    std::string getText() override { return "0000: 11 22"; }
};

struct Attempt {
    const char* name;
    // Tries the command; true when it claims to have done its work.
    std::function<bool(HexEditModel&, MessageSink&, const std::string& folder)> run;
};

void PrintTo(const Attempt& attempt, std::ostream* out) { *out << attempt.name; }

class CommandDuringARead : public SequenceTest, public ::testing::WithParamInterface<Attempt> {};

TEST_P(CommandDuringARead, IsRefusedAndTheReadStaysWhole) {
    selectDevice(kE9);
    host.opts.ReadEepromOn = true;
    connect();
    const int first = 0xB600;
    const int last = 0xB7FF;
    programmer().with([&](sim::ProgrammerModel& m) {
        sim::TargetMcu* t = m.target(host.deviceList.deviceType);
        for (int a = first; a <= last; ++a) t->memory[a] = static_cast<std::uint8_t>(a * 7 + 3);
        return 0;
    });
    // Read-only cells in every block, the first one included.
    for (int a = first; a <= last; a += 16) host.model.image.SetReadOnly(a, true);
    const RunFolder folder("jqz-read-" + std::string(GetParam().name));
    const std::filesystem::path& dir = folder.path();
    pauseAt(req::cat({req::checksAndLink(0, 7), req::interfaceAndId(),
                                 req::readBlock(first)}));

    reader.Start();
    waitForPause();
    ASSERT_TRUE(host.model.image.IsHeldByRead());
    MessageRecorder sink;
    const bool claimed = GetParam().run(host.model, sink, dir.string());
    letGo();
    EXPECT_EQ(reader.WaitFor(), 0);

    EXPECT_FALSE(claimed);
    EXPECT_EQ(sink.errors, std::vector<std::string>{kImageBusyMessage});
    EXPECT_EQ(log().back(), infoLine(kReadCompleted));
    EXPECT_EQ(imageData(first, last), targetData(first, last));
    for (int a = first; a <= last; a += 16) EXPECT_TRUE(host.model.image.IsReadOnly(a));
    int edited = 0;
    for (int a = 0; a <= 0xFFFF; ++a)
        edited += !host.model.image.IsUnimplemented(a) &&
                  host.model.image.CellColor(a) == host.model.image.EditedColor();
    EXPECT_EQ(edited, 0);
    EXPECT_FALSE(host.model.image.IsBulk());
    EXPECT_TRUE(std::filesystem::is_empty(dir)) << "no file was written";
}

HexEditor& editorFor(HexEditModel& model, MessageSink& sink) {
    static NoClipboard clipboard;
    static thread_local std::unique_ptr<HexEditor> editor;
    editor = std::make_unique<HexEditor>(model, sink, clipboard);
    return *editor;
}

INSTANTIATE_TEST_SUITE_P(
    Image, CommandDuringARead,
    ::testing::Values(
        Attempt{"Save",
                [](HexEditModel& m, MessageSink& s, const std::string& folder) {
                    LogModel log;
                    SaveRequest r;
                    r.fileName = folder + "/saved.jef";
                    return SaveImageFile(r, m, s, log);
                }},
        Attempt{"Load",
                [](HexEditModel& m, MessageSink& s, const std::string& folder) {
                    return LoadRecords(m, s, folder, 0xB600, std::vector<std::uint8_t>(16, 0x5A));
                }},
        Attempt{"EditCellOk",
                [](HexEditModel& m, MessageSink& s, const std::string&) {
                    return CellEditOk(m, 0, CellEditInput{"0xB620", "0x00", "note", 3, false}, s);
                }},
        Attempt{"OptionsApply",
                [](HexEditModel& m, MessageSink& s, const std::string&) {
                    EditorAppearance a = m.image.GetAppearance();
                    a.WorkColor = Rgb{0, 255, 0};
                    return ApplyAppearanceUnlessRead(m.image, a, s);
                }},
        Attempt{"Fill",
                [](HexEditModel& m, MessageSink& s, const std::string&) {
                    return editorFor(m, s).FillOk("0", "0", "0xFFFF", false);
                }},
        // Paste, Undo and Swap report nothing back: the message and the bytes tell.
        Attempt{"Paste",
                [](HexEditModel& m, MessageSink& s, const std::string&) {
                    HexEditor& e = editorFor(m, s);
                    e.GoToAddress(0xB700);
                    e.EditPaste();
                    return false;
                }},
        Attempt{"Undo",
                [](HexEditModel& m, MessageSink& s, const std::string&) {
                    // The read emptied the undo history when it began; the command is still
                    // answered.
                    editorFor(m, s).EditUndo();
                    return false;
                }},
        Attempt{"Swap",
                [](HexEditModel& m, MessageSink& s, const std::string&) {
                    editorFor(m, s).SwapOk(SwapMode::Word);
                    return false;
                }},
        Attempt{"TypeHexKey",
                [](HexEditModel& m, MessageSink& s, const std::string&) {
                    HexEditor& e = editorFor(m, s);
                    e.GoToAddress(0xB700);
                    return e.TypeHexKey('7');
                }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jqz::test
