// Loading and saving the image: the rules behind the two dialogs, and round trips through
// every format.
#include <gtest/gtest.h>

#include <random>

#include "core/device/device_image_reset.h"
#include "core/device/file_for_device.h"
#include "core/device/supported_device_list.h"
#include "core/files/intel_hex.h"
#include "core/files/load_file.h"
#include "core/files/records.h"
#include "core/files/save_file.h"
#include "core/image/editor_messages.h"
#include "core/image/number_parsers.h"
#include "file_test_support.h"
#include "test_support.h"

namespace jqz {
namespace {

using test::RecordingLog;
using test::RecordingSink;

using Lines = std::vector<std::string>;

// An image worth saving: random bytes, a hole of unimplemented cells, a read-only cell and a
// description with rows inside, beyond and on unimplemented cells.
void fillSource(HexEditModel& m) {
    std::mt19937 random(11);
    m.image.BeginBulk();
    for (int a = 0; a <= 0xFFFF; ++a) m.image.WriteData(a, static_cast<std::uint8_t>(random()));
    for (int a = 0x2000; a <= 0x20FF; ++a) m.image.SetUnimplemented(a, true);
    m.image.SetReadOnly(0xB600, true);
    m.image.EndBulk();
    m.description.setProjectName(std::string("Project \xE9") + std::string(230, 'p'));
    m.description.setDeviceName("MC68HC811E2");
    m.description.setNotes("first line\r\nsecond line\r\n");
    m.description.putRow(0, {0xB600, 12, true, "CONFIG"});
    m.description.putRow(1, {0x0000, 0, false, ""});
    m.description.putRow(2, {0x12345, 3, true, "beyond the image"});
    m.description.putRow(3, {0x2010, 5, false, "unimplemented"});
    m.description.putRow(4, {0xFFFE, 48, false, "reset vector"});
}

struct RoundTrip {
    SaveFormat format;
    long long lowest;
    long long highest;
    bool saveUnimplemented;
};

std::ostream& operator<<(std::ostream& os, const RoundTrip& r) {
    return os << SaveFormatName(r.format) << " " << std::hex << r.lowest << ".." << r.highest
              << (r.saveUnimplemented ? " with unimplemented" : "");
}

class RoundTrips : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTrips, WhatIsSavedLoadsBackTheSame) {
    const RoundTrip& t = GetParam();
    test::TempDir dir;
    const std::string path = dir.file("image.file");
    HexEditModel source;
    test::CountingUndo undo;
    source.image.setUndoHistory(&undo);
    fillSource(source);
    source.image.WriteData(0x0100, 0x42);  // an edit: edited colour, one undo step
    undo.steps = 1;

    RecordingSink messages;
    RecordingLog saveLog;
    SaveRequest save;
    save.fileName = path;
    save.format = t.format;
    save.entireBuffer = t.lowest == 0 && t.highest == 0xFFFF;
    save.lowestText = AddressText(t.lowest);
    save.highestText = AddressText(t.highest);
    save.saveUnimplemented = t.saveUnimplemented;
    ASSERT_TRUE(SaveImageFile(save, source, messages, saveLog));
    EXPECT_EQ(saveLog.texts(), (Lines{"Writing file : " + path, "Write file complete"}));
    EXPECT_TRUE(source.image.IsUndoEmpty());
    EXPECT_EQ(source.image.CellColor(0x0100), source.image.WorkColor()) << "edited mark gone";
    EXPECT_TRUE(source.image.IsReadOnly(0xB600));
    EXPECT_EQ(ColorToColorIndex(source.image.CellColor(0xB600)), 12);

    // The loading side has no unimplemented cells, so it shows what the file holds.
    HexEditModel target;
    target.image.BeginBulk();
    for (int a = 0; a <= 0xFFFF; ++a) target.image.WriteData(a, 0xA5);
    target.image.EndBulk();
    target.description.setProjectName("left over");
    const auto offered = OfferedFormats(path);
    ASSERT_TRUE(offered);
    LoadRequest load;
    load.fileName = path;
    load.format = offered->front();
    if (t.format == SaveFormat::Binary) {
        EXPECT_EQ(*offered, std::vector<FileFormat>{FileFormat::Binary});
        load.entireFile = false;
        load.lowestText = "0";
        load.highestText = "0xFFFFFF";
        load.offsetText = std::to_string(t.lowest);
    }
    RecordingLog loadLog;
    std::vector<std::string> recent;
    ASSERT_TRUE(LoadImageFile(load, target, recent, messages, loadLog));
    EXPECT_EQ(loadLog.texts(), (Lines{"Reading file : " + path, "Read file complete"}));
    EXPECT_EQ(recent, Lines{path});
    EXPECT_TRUE(messages.errors.empty());

    for (int a = 0; a <= 0xFFFF; ++a) {
        const bool inRange = a >= t.lowest && a <= t.highest;
        const bool written = inRange && (t.saveUnimplemented || t.format == SaveFormat::Binary ||
                                         !source.image.IsUnimplemented(a));
        ASSERT_EQ(target.image.ReadData(a), written ? source.image.ReadData(a) : 0xA5)
            << std::hex << "address " << a;
    }

    const ImageDescription& d = target.description;
    switch (t.format) {
        case SaveFormat::Extended:
            EXPECT_EQ(d.projectName(), source.description.projectName());
            EXPECT_EQ(d.deviceName(), "MC68HC811E2");
            EXPECT_EQ(d.notes(), "first line\r\nsecond line\r\n");
            ASSERT_EQ(d.rowCount(), source.description.rowCount());
            for (int i = 0; i < d.rowCount(); ++i) EXPECT_EQ(d.getRow(i), source.description.getRow(i)) << i;
            break;
        case SaveFormat::MotorolaS1:
        case SaveFormat::MotorolaS2:
            EXPECT_EQ(d.projectName(), source.description.projectName().substr(0, 200));
            EXPECT_EQ(d.deviceName(), "");
            EXPECT_TRUE(d.isEmpty());
            break;
        case SaveFormat::Binary:
        case SaveFormat::IntelHex16:
        case SaveFormat::IntelHex32:
            EXPECT_EQ(d.projectName(), "");
            EXPECT_TRUE(d.isEmpty());
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormatAndRange, RoundTrips,
    ::testing::ValuesIn([] {
        std::vector<RoundTrip> cases;
        for (SaveFormat f : kSaveFormats)
            for (auto [lo, hi] : {std::pair{0LL, 0xFFFFLL}, std::pair{0x1FF5LL, 0x2105LL},
                                  std::pair{0x1234LL, 0x1234LL}, std::pair{0xFFF1LL, 0xFFFFLL}})
                for (bool unimplemented : {false, true}) cases.push_back({f, lo, hi, unimplemented});
        return cases;
    }()));

// ---------------------------------------------------------------- load

class LoadTest : public ::testing::Test {
protected:
    test::TempDir dir;
    HexEditModel model;
    RecordingSink messages;
    RecordingLog log;
    std::vector<std::string> recent;

    std::string file(const std::string& name, const std::string& text) {
        const std::string path = dir.file(name);
        test::WriteText(path, text);
        return path;
    }
    bool load(LoadRequest r) { return LoadImageFile(r, model, recent, messages, log).loaded; }
    static LoadRequest partial(const std::string& path, const char* lowest, const char* highest,
                               const char* offset) {
        LoadRequest r;
        r.fileName = path;
        r.format = FileFormat::Motorola;
        r.entireFile = false;
        r.lowestText = lowest;
        r.highestText = highest;
        r.offsetText = offset;
        return r;
    }
    void fillImage(std::uint8_t v) {
        model.image.BeginBulk();
        for (int a = 0; a <= 0xFFFF; ++a) model.image.WriteData(a, v);
        model.image.EndBulk();
    }
};

TEST_F(LoadTest, OfferedFormatsComeFromTheContent) {
    using F = std::vector<FileFormat>;
    EXPECT_EQ(OfferedFormats(file("a.bin", "S00600004844521B\r\n")),
              (F{FileFormat::Motorola, FileFormat::Binary}));
    EXPECT_EQ(OfferedFormats(file("b.s19", "X00004000000FB\r\n")),
              (F{FileFormat::Extended, FileFormat::Binary}));
    EXPECT_EQ(OfferedFormats(file("c.jef", std::string(200, '\xFF'))), F{FileFormat::Binary});
    EXPECT_EQ(OfferedFormats(file("empty", "")), F{FileFormat::Binary});
    // A first record longer than 100 characters: the whole first line is looked at.
    std::string longLine;
    AppendMotorolaRecord(longLine, '3', 2, 0, std::vector<std::uint8_t>(200, 0x33));
    EXPECT_EQ(OfferedFormats(file("long.s37", longLine)),
              (F{FileFormat::Motorola, FileFormat::Binary}));
    EXPECT_EQ(OfferedFormats(file("long.hex", "\xEF\xBB\xBF:00000001FF\r\n")),
              (F{FileFormat::IntelHex, FileFormat::Binary}));
    EXPECT_EQ(OfferedFormats(dir.file("missing")), std::nullopt);
    EXPECT_EQ(OfferedFormats(dir.path()), std::nullopt);
}

TEST_F(LoadTest, AFileWithOnlyDataLeavesAClearedDescription) {
    model.description.setProjectName("old");
    model.description.setNotes("old notes");
    model.description.putRow(0, {0x10, 3, true, "old row"});
    model.description.putRow(1, {0x20, 3, false, "old row 2"});
    LoadRequest r;
    r.fileName = file("d.jef", "X70007001000010203E2\r\n");
    r.format = FileFormat::Extended;
    ASSERT_TRUE(load(r));
    EXPECT_EQ(model.description.projectName(), "");
    EXPECT_EQ(model.description.notes(), "");
    EXPECT_EQ(model.description.rowCount(), 1);
    EXPECT_EQ(model.description.row(0), ImageDescription::Row{});
    EXPECT_EQ(model.image.ReadData(0x1001), 2);
}

// The extended format carries the description as well: a file with a description and no
// image data (a save of a range the device does not have) loads the description.
TEST_F(LoadTest, ADescriptionWithoutDataIsLoadedFromAnExtendedFile) {
    LoadRequest r;
    r.fileName = file("d.jef", "X00007000000616263D2\r\n");
    r.format = FileFormat::Extended;
    ASSERT_TRUE(load(r));
    EXPECT_EQ(model.description.projectName(), "abc");
    EXPECT_EQ(messages.errors, Lines{});
}

TEST_F(LoadTest, RecentListKeepsEachNameOnceMostRecentFirst) {
    recent = {"/x/Other.s19", "/x/OLD.S19"};
    LoadRequest r;
    r.fileName = file("old.s19", "S1061000010203E3\r\n");
    r.format = FileFormat::Motorola;
    ASSERT_TRUE(load(r));
    ASSERT_TRUE(load(r));
    EXPECT_EQ(recent, (Lines{r.fileName, "/x/Other.s19", "/x/OLD.S19"}));
    RememberRecentFile(recent, "/X/other.S19");
    EXPECT_EQ(recent, (Lines{"/X/other.S19", r.fileName, "/x/OLD.S19"}));
    EXPECT_EQ(RecentFileCaption(1, "/a b/c"), "1 /a b/c");
}

TEST_F(LoadTest, RangeAndOffset) {
    std::string text;
    std::vector<std::uint8_t> data(0x3000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 251 + 1);
    for (std::size_t a = 0; a < data.size(); a += 32)
        AppendMotorolaRecord(text, '1', 2, static_cast<std::uint32_t>(a), {&data[a], 32});
    const std::string path = file("r.s19", text);

    struct Case {
        const char *lowest, *highest, *offset;
        std::vector<std::pair<int, int>> expected;  // address, byte (0 = untouched)
    };
    const Case cases[] = {
        // Ends reversed: swapped.
        {"0x2000", "0x1000", "0", {{0x0FFF, 0}, {0x1000, data[0x1000]}, {0x2000, data[0x2000]}, {0x2001, 0}}},
        // Targets below zero are dropped, the rest moves down.
        {"0", "0xFFFFFF", "-16", {{0, data[16]}, {0x2FEF, data[0x2FFF]}, {0x2FF0, 0}}},
        {"$10", "0x1F", "$100", {{0x110, data[0x10]}, {0x11F, data[0x1F]}, {0x120, 0}, {0x10, 0}}},
        // Without a prefix the number is decimal.
        {"1000", "1001", "0x0", {{1000, data[1000]}, {1001, data[1001]}, {0x1000, 0}, {999, 0}}},
        {"  0", "0xFFFFFF", "-0x10", {{0, data[16]}}},
    };
    for (const Case& c : cases) {
        fillImage(0);
        ASSERT_TRUE(load(partial(path, c.lowest, c.highest, c.offset))) << c.lowest;
        for (auto [a, v] : c.expected) EXPECT_EQ(model.image.ReadData(a), v) << c.lowest << " at " << a;
    }
    EXPECT_TRUE(messages.errors.empty());
}

TEST_F(LoadTest, RefusedFieldsLeaveEverythingAsItWas) {
    struct Case {
        const char *lowest, *highest, *offset;
        std::vector<std::string> errors;
    };
    const Case cases[] = {
        {"1F", "0x10", "0", {kNumberFormatMessage}},
        {"0x10", "0x", "0", {kNumberFormatMessage}},
        {"-5", "0x10", "0", {}},
        {"0x10", "0x20", "ten", {kNumberFormatMessage}},
        {"0x10", "0x20", "", {kNumberFormatMessage}},
        // Both addresses are read before the load stops; the offset only after they pass.
        {"1F", "0x", "ten", {kNumberFormatMessage, kNumberFormatMessage}},
        {"-5", "0x", "ten", {kNumberFormatMessage}},
    };
    const std::string path = file("x.s19", "S1061000010203E3\r\n");
    for (const Case& c : cases) {
        fillImage(0x77);
        model.description.setProjectName("kept");
        messages.errors.clear();
        log.lines.clear();
        LoadRequest r = partial(path, c.lowest, c.highest, c.offset);
        r.clear = ClearChoice::Zeros;
        EXPECT_FALSE(load(r));
        EXPECT_EQ(messages.errors, c.errors) << c.lowest << " " << c.highest << " " << c.offset;
        EXPECT_TRUE(log.lines.empty());
        EXPECT_EQ(model.image.ReadData(0x1000), 0x77);
        EXPECT_EQ(model.description.projectName(), "kept");
        EXPECT_TRUE(recent.empty());
    }
    // With "Load Entire File" the fields are neither read nor checked.
    messages.errors.clear();
    LoadRequest r;
    r.fileName = path;
    r.format = FileFormat::Motorola;
    r.lowestText = r.highestText = r.offsetText = "garbage";
    EXPECT_TRUE(load(r));
    EXPECT_TRUE(messages.errors.empty());
    EXPECT_EQ(model.image.ReadData(0x1000), 1);
}

TEST_F(LoadTest, ClearingBeforeAPartialLoad) {
    model.image.SetReadOnly(0x10, true);
    model.image.SetUnimplemented(0x20, true);
    model.image.WriteData(0x30, 0x11);  // an edit, so that the load's bulk pass is seen
    LoadRequest r;
    r.fileName = file("p.s19", "S1061000010203E3\r\nS9030000FC\r\n");
    r.format = FileFormat::Motorola;
    r.clear = ClearChoice::Ones;
    ASSERT_TRUE(load(r));
    EXPECT_EQ(log.texts(), (Lines{"Buffer Cleared with 0xFF", "Reading file : " + r.fileName,
                                  "Read file complete"}));
    for (const auto& l : log.lines) EXPECT_EQ(l.kind, LogInfo);
    EXPECT_EQ(model.image.ReadData(0x10), 0xFF) << "read-only cells are cleared too";
    EXPECT_EQ(model.image.ReadData(0x20), 0x00) << "unimplemented cells are not";
    EXPECT_EQ(model.image.ReadData(0x30), 0xFF);
    EXPECT_EQ(model.image.ReadData(0x1000), 0x01);
    EXPECT_EQ(model.image.CellColor(0x30), model.image.WorkColor());
    EXPECT_FALSE(model.image.IsBulk());

    log.lines.clear();
    r.clear = ClearChoice::Zeros;
    ASSERT_TRUE(load(r));
    EXPECT_EQ(log.texts().front(), "Buffer Cleared with 0x00");
    EXPECT_EQ(model.image.ReadData(0x30), 0x00);
}

TEST_F(LoadTest, RejectedLinesAreNoticesBetweenTheLoadsLines) {
    LoadRequest r;
    r.fileName = file("n.jef", "X70007001000010203E2\r\n\r\nX7 bad\r\n");
    r.format = FileFormat::Extended;
    ASSERT_TRUE(load(r));
    EXPECT_EQ(log.lines, (std::vector<RecordingLog::Line>{{"Reading file : " + r.fileName, LogInfo},
                                                          {kUnrecognizedXLine, LogNotice},
                                                          {kUnrecognizedXLine, LogNotice},
                                                          {"Read file complete", LogInfo}}));
    // A file in the extended format may still be loaded as binary.
    r.format = FileFormat::Binary;
    ASSERT_TRUE(load(r));
    EXPECT_EQ(model.image.ReadData(0), 'X');
}

TEST_F(LoadTest, AFileThatCannotBeReadChangesNothing) {
    fillImage(0x66);
    model.description.setProjectName("kept");
    for (FileFormat f : {FileFormat::Extended, FileFormat::Motorola, FileFormat::Binary}) {
        messages.errors.clear();
        log.lines.clear();
        LoadRequest r;
        r.fileName = dir.file("gone");
        r.format = f;
        r.clear = ClearChoice::Zeros;
        EXPECT_FALSE(load(r));
        const std::string error = "Cannot open file \"" + r.fileName + "\". No such file or directory";
        EXPECT_EQ(messages.errors, Lines{error});
        EXPECT_EQ(log.lines, (std::vector<RecordingLog::Line>{{error, LogError}}));
        EXPECT_EQ(model.image.ReadData(0), 0x66);
        EXPECT_EQ(model.description.projectName(), "kept");
        EXPECT_FALSE(model.image.IsBulk());
        EXPECT_TRUE(recent.empty());
    }
}

// A file in which the chosen format finds no data record changes nothing: not the image, not
// its edited marks and undo history, not the description, not the recent list. Header, count
// and end records alone are no data, nor is a data record after the end record.
TEST_F(LoadTest, AFileWithoutDataChangesNothing) {
    struct Case {
        const char* name;
        FileFormat format;
        std::string content;
    };
    const Case cases[] = {
        {"empty.s19", FileFormat::Motorola, ""},
        {"junk.s19", FileFormat::Motorola, "hello\r\nS1 not a record\r\nS1061000010203E4\r\n"},
        {"empty.jef", FileFormat::Extended, ""},
        {"junk.jef", FileFormat::Extended, "X7 bad\r\nX9000400000000FB\r\n\r\n"},
        {"s19.jef", FileFormat::Extended, "S1061000010203E3\r\n"},
        {"empty.bin", FileFormat::Binary, ""},
        {"end.s19", FileFormat::Motorola, "S9030000FC"},
        {"header.s19", FileFormat::Motorola, "S0060000616263D3\r\nS5030001FB\r\n"},
        {"s8.s19", FileFormat::Motorola, "S0030000FC\r\nS804000000FB\r\n"},
        {"end-first.s19", FileFormat::Motorola, "S9030000FC\r\nS1061000010203E3\r\n"},
        {"no-bytes.s19", FileFormat::Motorola, "S1031000EC\r\nS9030000FC\r\n"},
        {"empty-x7.jef", FileFormat::Extended, "X70004001000EB\r\n"},
        {"end.hex", FileFormat::IntelHex, ":00000001FF\r\n"},
        {"end-first.hex", FileFormat::IntelHex, ":00000001FF\r\n:03100000010203E7\r\n"},
        {"segment.hex", FileFormat::IntelHex, ":020000040000FA\r\n:0400000300001000E9\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fillImage(0x66);
        model.undo.BeginGroup();
        model.undo.Push(0x1000);
        model.image.WriteData(0x1000, 0x55);
        model.undo.EndGroup();
        model.description.setProjectName("kept");
        messages.errors.clear();
        log.lines.clear();
        LoadRequest r;
        r.fileName = file(c.name, c.content);
        r.format = c.format;
        r.clear = ClearChoice::Zeros;
        const LoadResult result = LoadImageFile(r, model, recent, messages, log);
        EXPECT_FALSE(result);
        EXPECT_EQ(messages.errors, Lines{"No data found in file : " + r.fileName});
        EXPECT_EQ(log.lines, (std::vector<RecordingLog::Line>{
                                 {"Reading file : " + r.fileName, LogInfo},
                                 {"No data found in file : " + r.fileName, LogError}}));
        EXPECT_EQ(model.image.ReadData(0x1000), 0x55);
        EXPECT_EQ(model.image.ReadData(0x0000), 0x66);
        EXPECT_EQ(model.image.CellColor(0x1000), model.image.EditedColor());
        EXPECT_FALSE(model.undo.IsEmpty());
        EXPECT_EQ(model.description.projectName(), "kept");
        EXPECT_TRUE(recent.empty());
        EXPECT_EQ(result.counts.placed, 0);
    }
}

// What did not land is summed up in one notice after the load's own lines, and the counts
// come back to the caller. An E9 file loaded with an F1 selected: its EEPROM block has no
// cells on the F1.
TEST_F(LoadTest, BytesNotPlacedAreSummedUpAfterTheLoad) {
    SupportedDeviceList devices("");
    devices.selectDevice("MC68HC11  F1 (2F37E)");
    ResetImageForDevice(model, devices);
    std::vector<std::uint8_t> data(32);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0xA0 + i);
    std::string text;
    AppendMotorolaRecord(text, '1', 2, 0xB600, data);              // E9 EEPROM: not on an F1
    AppendMotorolaRecord(text, '1', 2, 0xFFF0, {data.data(), 16});  // F1 EEPROM
    AppendMotorolaRecord(text, '2', 3, 0x00FFF8, {data.data(), 12}); // 8 in, 4 beyond 0xFFFF
    AppendMotorolaRecord(text, '2', 3, 0x120000, {data.data(), 5}); // beyond the image
    AppendMotorolaRecord(text, '9', 2, 0, {});
    LoadRequest r;
    r.fileName = file("e9.s19", text);
    r.format = FileFormat::Motorola;
    const LoadResult result = LoadImageFile(r, model, recent, messages, log);
    ASSERT_TRUE(result);
    EXPECT_EQ(log.lines, (std::vector<RecordingLog::Line>{
                             {"Reading file : " + r.fileName, LogInfo},
                             // The F1's EEPROM with the 16 bytes that landed in it (zlib's
                             // CRC-32 and the byte sum of those 512 bytes).
                             {"EEPROM 0xFE00-0xFFFF: sum 0xF848, CRC-32 0x0161C6F9", LogInfo},
                             {"Read file complete", LogInfo},
                             {"Not loaded: 9 bytes outside the buffer (0x0000-0xFFFF), 32 bytes on "
                              "cells that \"MC68HC11  F1 (2F37E)\" does not have.",
                              LogNotice},
                             // 0xFFF8-0xFFFF: 0xA0.. of the S2 record over 0xA8.. of the S1's.
                             {"8 bytes are given again with another value, the first at "
                              "0xFFF8 on line 3: the last value is kept.",
                              LogNotice}}));
    EXPECT_EQ(result.counts.recognised, 5);
    EXPECT_EQ(result.counts.placed, 16 + 8) << "file bytes, the S2 record's over the S1's";
    EXPECT_EQ(result.counts.outsideImage, 9);
    EXPECT_EQ(result.counts.notOnDevice, 32);
    EXPECT_EQ(result.counts.placedIn(0xFE00, 0xFFFF), 16) << "cells";
    EXPECT_EQ(result.counts.placedIn(0xB600, 0xB7FF), 0);
    EXPECT_EQ(model.image.ReadData(0xFFF0), 0xA0);
    EXPECT_EQ(model.image.ReadData(0xFFFF), 0xA7) << "the later record wins";

    // A file that fits places everything and says nothing more.
    log.lines.clear();
    std::string fits;
    AppendMotorolaRecord(fits, '1', 2, 0xFE00, data);
    AppendMotorolaRecord(fits, '9', 2, 0, {});
    r.fileName = file("f1.s19", fits);
    const LoadResult clean = LoadImageFile(r, model, recent, messages, log);
    EXPECT_EQ(log.texts(), (Lines{"Reading file : " + r.fileName,
                                  "EEPROM 0xFE00-0xFFFF: sum 0xEE58, CRC-32 0xAB606BDA",
                                  "Read file complete"}));
    EXPECT_EQ(clean.counts.placed, 32);
    EXPECT_EQ(clean.counts.outsideImage + clean.counts.notOnDevice, 0);
}

// Damaged files: the window program loads them with notices (the Part's notice for each line
// that is no record, and its own for what those do not tell); the command line, which judges
// the file by the same reading, refuses it with the first fault's line.
TEST_F(LoadTest, DamagedFilesGiveNoticesAndTheirFirstFault) {
    const std::string rest = "Read file complete";
    const std::string cut = "The file ends without its end record: it may have been cut short.";
    const struct {
        const char* name;
        FileFormat format;
        std::string text;
        Lines notices;      // the log lines between "Reading file" and the end
        std::string fault;  // the first fault as the command line names it, or none
    } cases[] = {
        {"s19 bad checksum", FileFormat::Motorola,
         "S1061000010203E3\r\nS1062000010203D4\r\nS9030000FC\r\n",
         {kUnrecognizedSLine, rest}, "line 2 has a bad checksum"},
        {"s19 unrecognised line", FileFormat::Motorola,
         "S1061000010203E3\r\nhello\r\n\r\nS9030000FC\r\n",
         {kUnrecognizedSLine, kUnrecognizedSLine, rest}, "line 2 is not a Motorola S record"},
        {"s19 two records on a line", FileFormat::Motorola,
         "S1061000010203E3S1062000010203D3\r\nS9030000FC\r\n",
         {rest, "Text after a record's checksum ignored on 1 line, the first line 1."},
         "line 1 has text after its record's checksum (two records on one line?)"},
        {"s19 text after the checksum", FileFormat::Motorola,
         "S1061000010203E3\r\nS1062000010203D3 ; two\r\nS9030000FC  \r\n",
         {rest, "Text after a record's checksum ignored on 1 line, the first line 2."},
         "line 2 has text after its record's checksum (two records on one line?)"},
        {"s19 cut at a line end", FileFormat::Motorola, "S1061000010203E3\r\n", {rest, cut},
         "the file ends after line 1 without its end record (cut short?)"},
        {"s19 cut in a line", FileFormat::Motorola, "S1061000010203E3\r\nS10620000102",
         {kUnrecognizedSLine, rest, cut}, "line 2 is not a Motorola S record"},
        {"s19 two values for 0x1000", FileFormat::Motorola,
         "S1061000010203E3\r\nS1041000AA41\r\nS9030000FC\r\n",
         {rest, "1 byte is given again with another value, the first at 0x1000 on line 2: the "
                "last value is kept."},
         "line 2 gives 0x1000 another value than an earlier line"},
        {"s19 the same value twice", FileFormat::Motorola,
         "S1061000010203E3\r\nS1061000010203E3\r\nS9030000FC\r\n", {rest}, ""},
        {"s19 whole by its count record", FileFormat::Motorola,
         "S1061000010203E3\r\nS5030001FB\r\n", {kUnrecognizedSLine, rest}, ""},
        {"s19 a count record that does not count", FileFormat::Motorola,
         "S1061000010203E3\r\nS5030002FA\r\n", {kUnrecognizedSLine, rest, cut},
         "the file ends after line 2 without its end record (cut short?)"},
        {"hex bad checksum", FileFormat::IntelHex, ":0110000001EF\r\n:0120000001DE\r\n:00000001FF\r\n",
         {kUnrecognizedILine, rest}, "line 1 has a bad checksum"},
        {"hex unrecognised type", FileFormat::IntelHex,
         ":0120000001DE\r\n:0100000601F8\r\n:00000001FF\r\n", {kUnrecognizedILine, rest},
         "line 2 is not an Intel HEX record"},
        {"hex two records on a line", FileFormat::IntelHex, ":0110000001EE:00000001FF\r\n",
         {rest, "Text after a record's checksum ignored on 1 line, the first line 1.", cut},
         "line 1 has text after its record's checksum (two records on one line?)"},
        {"hex cut", FileFormat::IntelHex, ":0110000001EE\r\n", {rest, cut},
         "the file ends after line 1 without its end record (cut short?)"},
        {"hex two values for 0x1000", FileFormat::IntelHex,
         ":0110000001EE\r\n:01100000AA45\r\n:00000001FF\r\n",
         {rest, "1 byte is given again with another value, the first at 0x1000 on line 2: the "
                "last value is kept."},
         "line 2 gives 0x1000 another value than an earlier line"},
        {"hex beyond 24 bits", FileFormat::IntelHex,
         ":0110000001EE\r\n:020000040100F9\r\n:0400000001020304F2\r\n:00000001FF\r\n",
         {rest, "Not loaded: 4 bytes outside the buffer (0x0000-0xFFFF)."}, ""},
        {"jef bad checksum", FileFormat::Extended, "X70007001000010203E3\r\nX70005002000AA30\r\n",
         {kUnrecognizedXLine, rest}, "line 1 has a bad checksum"},
        {"jef text after the checksum", FileFormat::Extended, "X70007001000010203E2 x\r\n",
         {rest, "Text after a record's checksum ignored on 1 line, the first line 1."},
         "line 1 has text after its record's checksum (two records on one line?)"},
    };
    SupportedDeviceList devices("");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.lines.clear();
        LoadRequest r;
        r.fileName = file("damaged", c.text);
        r.format = c.format;
        ASSERT_TRUE(load(r));
        Lines notices = log.texts();
        notices.erase(notices.begin());  // "Reading file : ..."
        EXPECT_EQ(notices, c.notices);
        FileForDevice judged;
        ExamineBytesForDevice(c.text, c.format, {}, devices, judged);
        ASSERT_EQ(judged.firstFault.has_value(), !c.fault.empty());
        if (judged.firstFault) {
            EXPECT_EQ(FileFaultText(*judged.firstFault,
                                    judged.faults[static_cast<std::size_t>(*judged.firstFault)],
                                    c.format),
                      c.fault);
        }
    }
}

TEST_F(LoadTest, AnExtendedFileForAnotherDeviceIsNamed) {
    struct Case {
        const char* selected;  // nullptr: no device
        const char* inFile;
        bool notice;
        const char* figures;  // the selected device's blank EEPROM
    };
    const char* blankE9 = "EEPROM 0xB600-0xB7FF: sum 0xFE00, CRC-32 0xBD7BC39F";
    const Case cases[] = {
        {"MC68HC11  F1 (2F37E)", "MC68HC11  E9 (E28B)", true,
         "EEPROM 0xFE00-0xFFFF: sum 0xFE00, CRC-32 0xBD7BC39F"},
        {"MC68HC11  E9 (E28B)", "MC68HC11  E9 (E28B)", false, blankE9},
        {"MC68HC11  E9 (E28B)", "mc68hc11 e9 (e28b)", false, blankE9},
        {"MC68HC11  E9 (E28B)", "", false, blankE9},
        {nullptr, "MC68HC11  E9 (E28B)", false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inFile);
        SupportedDeviceList devices("");
        if (c.selected != nullptr) devices.selectDevice(c.selected);
        ResetImageForDevice(model, devices);
        std::string text;
        const std::string name = c.inFile;
        AppendExtendedRecord(text, '1', 0,
                             {reinterpret_cast<const std::uint8_t*>(name.data()), name.size()});
        log.lines.clear();
        LoadRequest r;
        r.fileName = file("named.jef", text);
        r.format = FileFormat::Extended;
        ASSERT_TRUE(load(r));
        Lines expected{"Reading file : " + r.fileName};
        if (c.figures != nullptr) expected.push_back(c.figures);
        expected.push_back("Read file complete");
        if (c.notice)
            expected.push_back("The file names the device \"" + name +
                               "\"; the selected device is \"" + c.selected + "\".");
        EXPECT_EQ(log.texts(), expected);
        EXPECT_EQ(log.lines.back().kind, c.notice ? LogNotice : LogInfo);
    }
}

// ---------------------------------------------------------------- save

class SaveTest : public ::testing::Test {
protected:
    test::TempDir dir;
    HexEditModel model;
    test::CountingUndo undo;
    RecordingSink messages;
    RecordingLog log;

    void SetUp() override { model.image.setUndoHistory(&undo); }
    bool save(const SaveRequest& r) { return SaveImageFile(r, model, messages, log); }
};

TEST_F(SaveTest, TheShortAddressFormatAsksFirst) {
    SaveRequest r;
    r.fileName = dir.file("short");  // no extension, so no question about it
    r.format = SaveFormat::MotorolaS1;
    messages.answer = Answer::No;
    EXPECT_FALSE(save(r));
    EXPECT_EQ(messages.questions,
              Lines{"Motorola S (4 byte address) format allow save buffer up to 0xFFFF address "
                    "only.\r\n\r\nContinue ?"});
    EXPECT_TRUE(log.lines.empty());
    EXPECT_FALSE(std::filesystem::exists(r.fileName));
    messages.answer = Answer::Yes;
    EXPECT_TRUE(save(r));
    EXPECT_EQ(messages.questions.size(), 2u);
    EXPECT_EQ(test::CrLfLines(test::FileText(r.fileName)).back(), "S9030000FC");
    for (SaveFormat f : {SaveFormat::Extended, SaveFormat::MotorolaS2, SaveFormat::Binary}) {
        r.format = f;
        EXPECT_TRUE(save(r));
    }
    EXPECT_EQ(messages.questions.size(), 2u) << "only the 2-byte S format asks";
}

TEST_F(SaveTest, RangeChecks) {
    struct Case {
        const char *lowest, *highest;
        bool saved;
        std::vector<std::string> errors;
        std::string content;  // of the binary file
    };
    const Case cases[] = {
        {"0x0000", "0x10000", false, {kTooBigAddressMessage}, ""},
        {"0xFFFF", "0xFFFF", true, {}, "\x03"},
        {"0x0100", "0x00FF", true, {}, "\x01\x02"},
        {"0x", "0x10", false, {kNumberFormatMessage}, ""},
        {"0x10", "-1", false, {}, ""},
        // Both fields are read before the save stops.
        {"0x", "1F", false, {kNumberFormatMessage, kNumberFormatMessage}, ""},
        {"-1", "1F", false, {kNumberFormatMessage}, ""},
    };
    model.image.BeginBulk();
    model.image.WriteData(0xFF, 1);
    model.image.WriteData(0x100, 2);
    model.image.WriteData(0xFFFF, 3);
    model.image.EndBulk();
    for (const Case& c : cases) {
        messages.errors.clear();
        log.lines.clear();
        SaveRequest r;
        r.fileName = dir.file(std::string("r") + c.lowest + c.highest);
        r.format = SaveFormat::Binary;
        r.entireBuffer = false;
        r.lowestText = c.lowest;
        r.highestText = c.highest;
        EXPECT_EQ(save(r), c.saved) << c.lowest << ".." << c.highest;
        EXPECT_EQ(messages.errors, c.errors) << c.lowest << ".." << c.highest;
        if (c.saved) {
            EXPECT_EQ(test::FileText(r.fileName), c.content);
        } else {
            EXPECT_TRUE(log.lines.empty());
            EXPECT_FALSE(std::filesystem::exists(r.fileName));
        }
    }
}

TEST_F(SaveTest, AFailedWriteKeepsTheEditsAndTheOldFile) {
    const std::string path = dir.file("kept.jef");
    test::WriteText(path, "old");
    model.image.WriteData(0x40, 0x99);
    undo.steps = 1;
    SaveRequest r;
    r.fileName = path;
    model.description.setNotes(std::string(kMaxExtendedData + 1, 'n'));
    EXPECT_FALSE(save(r));
    ASSERT_EQ(messages.errors.size(), 1u);
    EXPECT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], (RecordingLog::Line{"Writing file : " + path, LogInfo}));
    EXPECT_EQ(log.lines[1], (RecordingLog::Line{messages.errors[0], LogError}));
    EXPECT_EQ(test::FileText(path), "old");
    EXPECT_FALSE(model.image.IsUndoEmpty());
    EXPECT_EQ(model.image.CellColor(0x40), model.image.EditedColor());

    // A folder that cannot be written, in every format.
    model.description.setNotes("");
    for (SaveFormat f : kSaveFormats) {
        messages.errors.clear();
        log.lines.clear();
        r.fileName = dir.file("no/such/folder/x");
        r.format = f;
        EXPECT_FALSE(save(r));
        ASSERT_EQ(messages.errors.size(), 1u);
        EXPECT_NE(messages.errors[0].find("No such file or directory"), std::string::npos)
            << messages.errors[0];
        EXPECT_EQ(log.texts(), (Lines{"Writing file : " + r.fileName, messages.errors[0]}));
    }
    EXPECT_FALSE(model.image.IsUndoEmpty());
}

TEST(SaveFormats, AnExtensionNamingAnotherFormatIsQuestioned) {
    struct Case {
        const char* name;
        SaveFormat format;
        const char* named;  // the family the question names; nullptr: no question
    };
    const Case cases[] = {
        {"/a/x.s19", SaveFormat::Extended, "Motorola S"},
        {"/a/x.S19", SaveFormat::Binary, "Motorola S"},
        {"/a/x.s28", SaveFormat::Extended, "Motorola S"},
        {"/a/x.s19", SaveFormat::MotorolaS2, nullptr},
        {"/a/x.s19", SaveFormat::MotorolaS1, nullptr},
        {"/a/x.S28", SaveFormat::MotorolaS1, nullptr},
        {"/a/x.jef", SaveFormat::Extended, nullptr},
        {"/a/x.JeF", SaveFormat::MotorolaS2, "JQZ Extended Format"},
        {"/a/x.bin", SaveFormat::Binary, nullptr},
        {"/a/x.BIN", SaveFormat::MotorolaS1, "Binary"},
        {"/a/x.hex", SaveFormat::Binary, "Intel HEX"},
        {"/a/x.HEX", SaveFormat::IntelHex32, nullptr},
        {"/a/x.ihx", SaveFormat::IntelHex16, nullptr},
        {"/a/x.s19", SaveFormat::IntelHex16, "Motorola S"},
        {"/a/x.txt", SaveFormat::Binary, nullptr},
        {"/a/x", SaveFormat::Binary, nullptr},
        {"/a.bin/x", SaveFormat::Extended, nullptr},
        {"/a/.bin", SaveFormat::Extended, nullptr},
        {"/a/x.bin.jef", SaveFormat::Extended, nullptr},
    };
    for (const Case& c : cases) {
        const auto question = FormatMismatchQuestion(c.name, c.format);
        ASSERT_EQ(question.has_value(), c.named != nullptr) << c.name;
        if (!question) continue;
        const std::string chosen = SaveFormatName(c.format);
        const std::string base = std::string(c.name).substr(3);
        EXPECT_EQ(*question, "The file name ends in " + base.substr(base.find('.')) +
                                 ", which stands for the " + c.named +
                                 " format, but the format chosen is " + chosen +
                                 ".\r\n\r\nSave as " + chosen + " ?")
            << c.name;
    }
}

TEST_F(SaveTest, AMismatchedExtensionAsksBeforeAnythingElse) {
    SaveRequest r;
    r.fileName = dir.file("image.S19");
    r.format = SaveFormat::Extended;
    messages.answer = Answer::No;
    EXPECT_FALSE(save(r));
    EXPECT_EQ(messages.questions, Lines{*FormatMismatchQuestion(r.fileName, r.format)});
    EXPECT_TRUE(log.lines.empty());
    EXPECT_FALSE(std::filesystem::exists(r.fileName));

    // Yes writes the chosen format under the name given; the 2-byte S question still follows
    // for a ".bin" name.
    messages.answer = Answer::Yes;
    messages.questions.clear();
    EXPECT_TRUE(save(r));
    EXPECT_EQ(test::FileText(r.fileName).front(), 'X') << "extended format";
    r.fileName = dir.file("image.bin");
    r.format = SaveFormat::MotorolaS1;
    EXPECT_TRUE(save(r));
    ASSERT_EQ(messages.questions.size(), 3u);
    EXPECT_EQ(messages.questions[2].rfind("Motorola S (4 byte address) format", 0), 0u);
}

TEST(SaveFormats, NamesAndTheUnimplementedChoice) {
    Lines names;
    for (SaveFormat f : kSaveFormats) names.push_back(SaveFormatName(f));
    EXPECT_EQ(names, (Lines{"JQZ Extended Format", "Motorola S (6 byte address)",
                            "Motorola S (4 byte address)", "Binary",
                            "Intel HEX (16 byte records)", "Intel HEX (32 byte records)"}));
    EXPECT_FALSE(UnimplementedChoiceApplies(SaveFormat::Binary));
    EXPECT_TRUE(UnimplementedChoiceApplies(SaveFormat::MotorolaS1));
}

// The browsers' filters: "All" last, Intel HEX just before it, every S-record extension under
// Motorola; each filter chooses its format and extension by its name, wherever it stands.
TEST(SaveFormats, FiltersChooseByName) {
    struct Case {
        const char* text;
        SaveFormat format;
        const char* suffix;
    };
    const Case cases[] = {
        {"JQZ Extended Format (*.jef)", SaveFormat::Extended, "jef"},
        {"Motorola (*.s19 *.s28 *.s37 *.s1 *.s2 *.s3 *.srec *.mot *.mxt *.sx *.exo)",
         SaveFormat::MotorolaS2, "s19"},
        {"Binary (*.bin)", SaveFormat::Binary, "bin"},
        {"Intel HEX (*.hex *.ihx)", SaveFormat::IntelHex16, "hex"},
        {"All (*.*)", SaveFormat::Extended, "jef"},
    };
    ASSERT_EQ(std::size(kImageFileFilters), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].text);
        EXPECT_EQ(std::string(kImageFileFilters[i].text), cases[i].text);
        EXPECT_EQ(SaveFormatForFilter(cases[i].text), cases[i].format);
        EXPECT_EQ(std::string(FilterNamed(cases[i].text).suffix), cases[i].suffix);
    }
    EXPECT_EQ(SaveFormatForFilter("Intel HEX (*.hex)"), SaveFormat::IntelHex16)
        << "by name, whatever the patterns";
    EXPECT_EQ(SaveFormatForFilter("Something else (*.x)"), SaveFormat::Extended);
    EXPECT_EQ(std::string(FilterNamed("Binary").suffix), "bin");
}

}  // namespace
}  // namespace jqz
