// The device row's rules against a recording panel: what a device change does and in which
// order, the Device ID button, the start buttons and the option check boxes.
#include <gtest/gtest.h>

#include <sstream>

#include "core/device/device_linking.h"
#include "core/device/supported_device_list.h"
#include "test_support.h"

namespace jqz {
namespace {

// Records each call with the image as it stood at that moment: how many cells were
// implemented and whether bulk mode was on.
class RecordingPanel : public DevicePanel {
public:
    explicit RecordingPanel(const MemoryImage& image) : image_(image) {}
    void releaseOptionButtons() override { note("release options"); }
    void enableOptionButton(OptionButton b) override {
        note(std::string("enable ") + OptionButtonName(b));
    }
    void releaseDeviceButton() override { events.push_back("release device button"); }
    void showDeviceName(const std::string& name) override { events.push_back("field " + name); }
    void showPackageDrawings(const std::vector<std::string>& drawings) override {
        note("drawings " + std::to_string(drawings.size()));
    }
    void showAddressAtTop(int address) override {
        std::ostringstream s;
        s << "top " << std::hex << address;
        note(s.str());
    }
    void releaseStartButton(SequenceKind kind) override {
        events.push_back(kind == SequenceKind::Read ? "release read" : "release program");
    }
    void runSequence(SequenceKind kind, bool start) override {
        events.push_back(std::string(start ? "start " : "stop ") +
                         (kind == SequenceKind::Read ? "read" : "program"));
    }
    void bufferUnsaved() override { events.push_back("buffer unsaved"); }
    bool bufferSaved() const override { return saved; }
    bool saveBuffer() override {
        events.push_back("save");
        return saves;
    }

    std::vector<std::string> events;
    bool saved = true;  // the buffer saved flag
    bool saves = true;  // whether a save asked for succeeds

private:
    void note(const std::string& what) {
        int implemented = 0;
        for (int a = 0; a <= MemoryImage::LastAddress(); ++a) implemented += !image_.IsUnimplemented(a);
        events.push_back(what + " @" + std::to_string(implemented) + (image_.IsBulk() ? " bulk" : ""));
    }
    const MemoryImage& image_;
};

struct Linked {
    test::TempDir dir;
    SupportedDeviceList devices{dir.path()};
    HexEditModel model;
    LogModel log;
    test::RecordingSink sink;
    RecordingPanel panel{model.image};
    DeviceLinking linking{devices, model, log, sink, panel};
};

std::string at(int cells, bool bulk = true) {
    return " @" + std::to_string(cells) + (bulk ? " bulk" : "");
}

TEST(DeviceLinking, StartShowsDemoModeAndImplementsEveryCell) {
    Linked l;
    l.model.image.SetUnimplemented(0x1234, true);
    l.linking.showSelection();
    EXPECT_EQ(l.panel.events,
              (std::vector<std::string>{"field Demo Mode", "release options" + at(0xFFFF, false)}));
    for (int a : {0, 0x1234, 0xFFFF}) {
        EXPECT_FALSE(l.model.image.IsUnimplemented(a));
        EXPECT_EQ(l.model.image.ReadData(a), 0xFF);
    }
    EXPECT_FALSE(l.model.image.IsBulk());
    l.linking.showSelection();
    EXPECT_EQ(l.panel.events.size(), 2u) << "the same text changes nothing";
}

// The drawings and the offered buttons come before the cells they belong to are marked.
TEST(DeviceLinking, DeviceChangeOrder) {
    struct Case {
        const char* device;
        int config, eeprom, rom1, rom2, boot;  // cell counts of the device's areas
        std::vector<std::string> readButtons;  // enabled after the EEPROM buttons, in order
        int top;
    };
    const Case cases[] = {
        {"MC68HC11  K1 (2D58N)", 1, 0x280, 0, 0, 0x200, {"ReadRomOn"}, 0x0D80},
        {"MC68HC11  E9 (E28B)", 1, 0x200, 0x3000, 0, 0x100, {"ReadFlashOn", "ReadRomOn"}, 0xB600},
        {"MC68HC711 E20(1H19S)", 1, 0x200, 0x3000, 0x2000, 0x100,
         {"ReadFlashOn", "ReadFlashOn", "ReadRomOn"}, 0xB600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        Linked l;
        l.linking.showSelection();
        l.panel.events.clear();
        l.devices.selectDevice(c.device);
        l.linking.deviceButtonClicked(true, true, {});
        std::vector<std::string> expected = {
            "release device button", "field " + std::string(c.device),
            "release options" + at(0x10000, false),
            "drawings " + std::to_string(l.devices.packageDrawings().size()) + at(0)};
        for (const char* b : {"EraseEepromOn", "ProgramEepromOn", "VerifyEepromOn", "ReadEepromOn"})
            expected.push_back(std::string("enable ") + b + at(0));
        int marked = c.config + c.eeprom;
        const int areas[] = {c.rom1, c.rom2, c.boot};
        std::size_t area = 0;
        for (const std::string& b : c.readButtons) {
            while (areas[area] == 0) ++area;
            expected.push_back("enable " + b + at(marked));
            marked += areas[area++];
        }
        std::ostringstream top;
        top << "top " << std::hex << c.top << at(marked);
        expected.push_back(top.str());
        EXPECT_EQ(l.panel.events, expected);
        EXPECT_FALSE(l.model.image.IsBulk());
        EXPECT_EQ(l.log.storedLines(),
                  std::vector<std::string>{"0" + std::string(c.device) + " selected."});
    }
}

TEST(DeviceLinking, DeviceButtonCases) {
    struct Case {
        const char* what;
        bool down, idle;
        const char* chosen;  // what the dialog selects; nullptr: Cancel
        std::vector<std::string> events;
        std::vector<std::string> log;
    };
    const std::vector<Case> cases = {
        {"busy link: popped up, nothing shown or logged", true, false, "MC68HC11  K1 (2D58N)",
         {"release device button"}, {}},
        {"released by the click: nothing happens", false, true, "MC68HC11  K1 (2D58N)", {}, {}},
        {"Cancel names the unchanged selection", true, true, nullptr,
         {"dialog", "release device button"}, {"0Demo Mode selected."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Linked l;
        l.linking.showSelection();
        l.panel.events.clear();
        l.linking.deviceButtonClicked(c.down, c.idle, [&] {
            l.panel.events.push_back("dialog");
            if (c.chosen != nullptr) l.devices.selectDevice(c.chosen);
        });
        EXPECT_EQ(l.panel.events, c.events);
        EXPECT_EQ(l.log.storedLines(), c.log);
    }
}

TEST(DeviceLinking, SameDeviceLogsWithoutResetAndAnotherWithTheSameMapResets) {
    Linked l;
    l.linking.showSelection();
    std::string chosen = "MC68HC11  E9 (D82R)";
    auto choose = [&] { l.devices.selectDevice(chosen); };
    l.linking.deviceButtonClicked(true, true, choose);
    l.model.image.WriteData(0xB600, 0x12);
    l.panel.events.clear();
    l.linking.deviceButtonClicked(true, true, choose);
    EXPECT_EQ(l.panel.events, std::vector<std::string>{"release device button"});
    EXPECT_EQ(l.model.image.ReadData(0xB600), 0x12);
    chosen = "MC68HC11  E9 (E28B)";
    l.linking.deviceButtonClicked(true, true, choose);
    EXPECT_EQ(l.model.image.ReadData(0xB600), 0xFF);
    EXPECT_EQ(l.linking.deviceField(), chosen);
    EXPECT_EQ(l.log.count(), 3u);
}

// Another device resets the image: unsaved work is offered for saving with the close
// question, and Cancel or a save that does not happen keeps the device and the image.
TEST(DeviceLinking, UnsavedWorkIsOfferedBeforeADeviceChange) {
    struct Case {
        const char* what;
        bool edited, bufferSaved;
        const char* chosen;
        Answer answer;
        bool saves;
        bool asked, changes;
        std::vector<std::string> events;  // up to the field's change
    };
    const char* e9 = "MC68HC11  E9 (D82R)";
    const char* a1 = "MC68HC11  A1 (1D47J)";
    const std::vector<Case> cases = {
        {"nothing unsaved: no question", false, true, a1, Answer::Cancel, true, false, true,
         {"release device button", "field " + std::string(a1)}},
        {"an edit, the same device: no question, no reset", true, true, e9, Answer::Cancel,
         true, false, false, {"release device button"}},
        {"an edit, No: discarded", true, true, a1, Answer::No, true, true, true,
         {"release device button", "field " + std::string(a1)}},
        {"an edit, Yes: saved, then changed", true, true, a1, Answer::Yes, true, true, true,
         {"release device button", "save", "field " + std::string(a1)}},
        {"an edit, Yes, save cancelled: kept", true, true, a1, Answer::Yes, false, true, false,
         {"release device button", "save"}},
        {"an edit, Cancel: kept", true, true, a1, Answer::Cancel, true, true, false,
         {"release device button"}},
        {"an unsaved read, Cancel: kept", false, false, a1, Answer::Cancel, true, true, false,
         {"release device button"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Linked l;
        l.linking.showSelection();
        l.devices.selectDevice(e9);
        l.linking.deviceButtonClicked(true, true, {});
        l.log.clear();
        if (c.edited) {
            l.model.image.WriteData(0xB600, 0x12);
            l.model.description.setNotes("edited");
        }
        l.panel.saved = c.bufferSaved;
        l.panel.saves = c.saves;
        l.sink.answer = c.answer;
        l.panel.events.clear();
        l.linking.deviceButtonClicked(true, true, [&] { l.devices.selectDevice(c.chosen); });
        std::vector<std::string> events(l.panel.events.begin(),
                                        l.panel.events.begin() +
                                            std::min<size_t>(l.panel.events.size(), c.events.size()));
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(l.sink.questions,
                  c.asked ? std::vector<std::string>{"Save buffer to file ?"} : std::vector<std::string>{});
        const std::string device = c.changes ? c.chosen : e9;
        EXPECT_EQ(l.linking.deviceField(), device);
        EXPECT_EQ(l.devices.selectedDevice(), device);
        EXPECT_EQ(l.model.image.ReadData(0xB600), c.changes || !c.edited ? 0xFF : 0x12);
        EXPECT_EQ(l.model.IsModified(), c.edited && !c.changes);
        EXPECT_EQ(l.log.storedLines(),
                  c.changes || !c.asked ? std::vector<std::string>{"0" + device + " selected."}
                                        : std::vector<std::string>{});
    }
}

TEST(DeviceLinking, StartButtonCases) {
    struct Case {
        SequenceKind kind;
        bool down, idle;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {SequenceKind::Program, true, true, {"start program"}},
        {SequenceKind::Program, true, false, {"release program"}},
        {SequenceKind::Program, false, false, {"stop program"}},  // a running sequence holds the link
        {SequenceKind::Read, true, true, {"buffer unsaved", "start read"}},
        {SequenceKind::Read, true, false, {"release read"}},
        {SequenceKind::Read, false, false, {"stop read"}},
    };
    for (const Case& c : cases) {
        Linked l;
        l.linking.startButtonClicked(c.kind, c.down, c.idle);
        EXPECT_EQ(l.panel.events, c.events);
    }
}

TEST(DeviceLinking, OptionBoxCases) {
    struct Case {
        OptionBox box;
        bool checked;
        Answer answer;
        bool staysChecked;
        const char* question;  // its first line; nullptr: nothing asked
    };
    const Case cases[] = {
        {OptionBox::PTErrorsOBP, true, Answer::No, false,
         "Ignoring of Pin Tester Errors can lead to ALL EEPROM CONTENTS"},
        {OptionBox::PTErrorsOBP, true, Answer::Yes, true,
         "Ignoring of Pin Tester Errors can lead to ALL EEPROM CONTENTS"},
        {OptionBox::PTErrorsOBP, false, Answer::No, false, nullptr},
        {OptionBox::PTErrorsICP, true, Answer::No, true, nullptr},
        {OptionBox::ConfProgEnable, true, Answer::No, false,
         "This setting enable programming of CONFIG register"},
        {OptionBox::ConfProgEnable, true, Answer::Yes, true,
         "This setting enable programming of CONFIG register"},
        {OptionBox::ConfProgEnable, false, Answer::Yes, false, nullptr},
    };
    for (const Case& c : cases) {
        Linked l;
        l.sink.answer = c.answer;
        EXPECT_EQ(l.linking.optionBoxClicked(c.box, c.checked), c.staysChecked);
        if (c.question == nullptr) {
            EXPECT_TRUE(l.sink.questions.empty());
        } else {
            ASSERT_EQ(l.sink.questions.size(), 1u);
            EXPECT_EQ(l.sink.questions[0].substr(0, l.sink.questions[0].find('\n')), c.question);
        }
    }
}

}  // namespace
}  // namespace jqz
