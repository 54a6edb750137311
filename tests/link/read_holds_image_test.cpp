// While a device read fills the image, the user's commands that change it are refused, so the
// rest of the device's bytes still reach read-only cells and nothing is painted as edited.
// Each command is tried from the test's thread while the worker waits between two blocks.
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>

#include "core/files/load_file.h"
#include "core/files/records.h"
#include "core/files/save_file.h"
#include "core/image/cell_edit.h"
#include "core/image/clipboard.h"
#include "core/image/editor_messages.h"
#include "core/image/hex_editor.h"
#include "core/image/image_edit.h"
#include "sequence_fixture.h"

namespace jqz::test {
namespace {

class Recorder : public MessageSink {
public:
    void showError(const std::string& text) override { errors.push_back(text); }
    Answer askQuestion(const std::string&, QuestionButtons) override { return Answer::Yes; }
    std::vector<std::string> errors;
};

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

class CommandDuringARead : public SequenceTest, public ::testing::WithParamInterface<Attempt> {
public:
    // Holds the worker at the first byte of its second block request until `tried` is set.
    void pauseAtSecondBlock(const Bytes& before) {
        programmer().with([this, n = before.size()](sim::ProgrammerModel& m) {
            m.onWire = [this, n, sent = std::size_t{0}](const sim::WireByte& w) mutable {
                if (!w.fromPc || sent++ != n) return;
                std::unique_lock lock(mutex_);
                paused_ = true;
                changed_.notify_all();
                changed_.wait_for(lock, std::chrono::seconds(10), [this] { return tried_; });
            };
            return 0;
        });
    }
    void waitForPause() {
        std::unique_lock lock(mutex_);
        ASSERT_TRUE(changed_.wait_for(lock, std::chrono::seconds(10), [this] { return paused_; }));
    }
    void letGo() {
        std::lock_guard lock(mutex_);
        tried_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool paused_ = false;
    bool tried_ = false;
};

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
    // A folder of this run's own: two runs at once never share it (creating a folder fails
    // on a name that is taken).
    std::filesystem::path dir;
    for (std::random_device random;;) {
        dir = std::filesystem::temp_directory_path() /
              ("jqz-read-" + std::string(GetParam().name) + "-" + std::to_string(random()));
        std::error_code ec;
        if (std::filesystem::create_directory(dir, ec)) break;
        ASSERT_FALSE(ec && !std::filesystem::exists(dir)) << ec.message();
    }
    pauseAtSecondBlock(req::cat({req::checksAndLink(0, 7), req::interfaceAndId(),
                                 req::readBlock(first)}));

    reader.Start();
    waitForPause();
    ASSERT_TRUE(host.model.image.IsHeldByRead());
    Recorder sink;
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
    std::filesystem::remove_all(dir);
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
                    std::string text;
                    AppendMotorolaRecord(text, '1', 2, 0xB600, std::vector<std::uint8_t>(16, 0x5A));
                    const std::string path = folder + "/in.s19";
                    {
                        std::ofstream(path, std::ios::binary) << text;
                    }
                    LogModel log;
                    std::vector<std::string> recent;
                    LoadRequest r;
                    r.fileName = path;
                    r.format = FileFormat::Motorola;
                    const bool loaded = LoadImageFile(r, m, recent, s, log).loaded;
                    std::filesystem::remove(path);
                    return loaded;
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
        Attempt{"TypeHexKey",
                [](HexEditModel& m, MessageSink& s, const std::string&) {
                    HexEditor& e = editorFor(m, s);
                    e.GoToAddress(0xB700);
                    return e.TypeHexKey('7');
                }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jqz::test
