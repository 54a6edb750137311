// Intel HEX: the record parser, the reader's address records, the writer's exact text, files
// made by srec_cat and objcopy, and srec_cat reading ours.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "core/files/intel_hex.h"
#include "core/files/load_file.h"
#include "core/files/save_file.h"
#include "file_test_support.h"
#include "test_support.h"

namespace jqz {
namespace {

using test::RecordingLog;
using test::RecordingSink;

const std::string kInterop = std::string(JQZ_TEST_DATA_DIR) + "/interop/";

TEST(IntelHexRecord, ParsesOnlyWholeCheckedRecords) {
    const struct {
        const char* line;
        bool ok;
        int type;
        int address;
        std::size_t size;
    } cases[] = {
        {":10B600000102030405060708090A0B0C0D0E0F10B2", true, 0, 0xB600, 16},
        {"  :10b600000102030405060708090a0b0c0d0e0f10b2 trailing", true, 0, 0xB600, 16},
        {":00000001FF", true, 1, 0, 0},
        {":020000022000DC", true, 2, 0, 2},
        {":020000040001F9", true, 4, 0, 2},
        {":040000030000E00019", true, 3, 0, 4},
        {":040000050001F00006", true, 5, 0, 4},
        {":10B600000102030405060708090A0B0C0D0E0F1068", false, 0, 0, 0},  // checksum
        {":10B600000102030405060708090A0B0C0D0E0F10", false, 0, 0, 0},    // no checksum
        {":10B600000102030405060708090A0B0C0D0E0F", false, 0, 0, 0},      // short
        {":0100000601F8", false, 0, 0, 0},                                 // unknown type 06
        {":0100000401FA", false, 0, 0, 0},                                 // 04 needs 2 bytes
        {":0100000100FE", false, 0, 0, 0},                                 // 01 carries none
        {":10B60000010203040506070G090A0B0C0D0E0F10B2", false, 0, 0, 0},  // bad digit
        {"10B600000102030405060708090A0B0C0D0E0F10B2", false, 0, 0, 0},   // no colon
        {"", false, 0, 0, 0},
        {":", false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        IntelHexRecord r;
        ASSERT_EQ(ParseIntelHexRecord(c.line, r), c.ok) << c.line;
        if (!c.ok) continue;
        EXPECT_EQ(r.type, c.type) << c.line;
        EXPECT_EQ(r.address, c.address) << c.line;
        EXPECT_EQ(r.data.size(), c.size) << c.line;
    }
}

TEST(IntelHexRecord, DetectionAfterTheOtherFormats) {
    const struct {
        const char* head;
        std::optional<FileFormat> format;
    } cases[] = {
        {":10B600000102030405060708090A0B0C0D0E0F10B2\r\n:00000001FF\r\n", FileFormat::IntelHex},
        {"\xEF\xBB\xBF\r\n\r\n:00000001FF\r\n", FileFormat::IntelHex},
        {":10B600000102030405060708090A0B0C0D0E0F1068\r\n", std::nullopt},  // bad checksum
        {"S1130000000102030405060708090A0B0C0D0E0F74\r\n", FileFormat::Motorola},
        {"garbage\r\n:00000001FF\r\n", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(detectFormat(c.head), c.format) << c.head;
}

struct Loaded {
    HexEditModel model;
    RecordingLog log;
    PlacementCounts counts;
};

std::unique_ptr<Loaded> load(const std::string& text, Placement placement = {}) {
    auto l = std::make_unique<Loaded>();
    l->model.image.BeginBulk();
    l->counts = readIntelHexText(text, placement, l->model.image, l->log);
    l->model.image.EndBulk();
    return l;
}

TEST(IntelHexReader, AddressRecordsMoveTheDataAndRecordsWrapInTheirSegment) {
    // Segment 0x1000 puts the data at 0x1FFFE; moved down by 0x10000 it lands at 0xFFFE. The
    // record runs past the segment's end: its last two bytes wrap to 0x10000, i.e. 0x0000
    // moved.
    const std::string text =
        ":020000021000EC\r\n"          // segment 0x1000: base 0x10000
        ":04FFFE00A1A2A3A475\r\n"
        ":020000040001F9\r\n"          // linear 0x0001: base 0x10000
        ":02001000B1B28B\r\n"          // 0x10010 -> 0x0010
        ":040000050001F00006\r\n"
        ":00000001FF\r\n"
        ":02002000C1C25B\r\n";         // after the end record: not read
    const auto l = load(text, Placement{0, 0xFFFFFF, -0x10000});
    EXPECT_EQ(l->model.image.ReadData(0xFFFE), 0xA1);
    EXPECT_EQ(l->model.image.ReadData(0xFFFF), 0xA2);
    EXPECT_EQ(l->model.image.ReadData(0x0000), 0xA3);
    EXPECT_EQ(l->model.image.ReadData(0x0001), 0xA4);
    EXPECT_EQ(l->model.image.ReadData(0x0010), 0xB1);
    EXPECT_EQ(l->model.image.ReadData(0x0011), 0xB2);
    EXPECT_EQ(l->model.image.ReadData(0x0020), 0x00) << "read past the end record";
    EXPECT_EQ(l->counts.placed, 6);
    EXPECT_EQ(l->counts.recognised, 6);
    EXPECT_EQ(l->counts.firstFault(), std::nullopt);
    EXPECT_TRUE(l->log.lines.empty());
}

TEST(IntelHexReader, LinearAddressesRunOnPastEachSixtyFourKiB) {
    const struct {
        const char* name;
        std::string text;
        Placement placement;
        long long placed;
        long long outside;
    } cases[] = {
        // After an 04 record, 0xFFFE..0x10001: the last two bytes go to 0x10000, outside the
        // image, never wrapped to 0x0000.
        {"run on", ":020000040000FA\r\n:04FFFE00A1A2A3A475\r\n:00000001FF\r\n", {}, 2, 2},
        // File addresses of 0x1000000 and above are outside the buffer like any other...
        {"beyond 24 bits", ":02000004FFFFFC\r\n:0400000001020304F2\r\n:00000001FF\r\n", {}, 0, 4},
        {"0x1000000", ":020000040100F9\r\n:0400000001020304F2\r\n:00000001FF\r\n", {}, 0, 4},
        // ... unless a range chosen leaves them out.
        {"left out", ":020000040100F9\r\n:0400000001020304F2\r\n:00000001FF\r\n",
         Placement{0, 0xFFFF, 0}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto l = load(c.text, c.placement);
        EXPECT_EQ(l->counts.placed, c.placed);
        EXPECT_EQ(l->counts.outsideImage, c.outside);
        EXPECT_EQ(l->model.image.ReadData(0x0000), 0x00);
        EXPECT_EQ(l->model.image.ReadData(0x0001), 0x00);
    }
}

TEST(IntelHexReader, RejectedLinesAreLoggedAndTheRestIsRead) {
    const auto l = load(
        ":10B600000102030405060708090A0B0C0D0E0F1068\r\n"   // bad checksum
        "not a record\r\n"
        ":0200000000AA54\r\n"
        ":00000001FF\r\n");
    EXPECT_EQ(l->log.texts(), (std::vector<std::string>{kUnrecognizedILine, kUnrecognizedILine}));
    EXPECT_EQ(l->model.image.ReadData(0x0000), 0x00);
    EXPECT_EQ(l->model.image.ReadData(0x0001), 0xAA);
    EXPECT_EQ(l->model.image.ReadData(0xB600), 0x00);
}

TEST(IntelHexWriter, SixteenOrThirtyTwoBytesARecordAndTheEndRecord) {
    HexEditModel model;
    model.image.BeginBulk();
    for (int a = 0xB600; a < 0xB614; ++a) model.image.WriteData(a, static_cast<std::uint8_t>(a));
    model.image.EndBulk();
    std::string text;
    formatIntelHexText(model.image, {0xB600, 0xB613, false}, 16, text);
    EXPECT_EQ(text,
              ":10B60000000102030405060708090A0B0C0D0E0FC2\r\n"
              ":04B6100010111213F0\r\n"
              ":00000001FF\r\n");
    text.clear();
    formatIntelHexText(model.image, {0xB600, 0xB613, false}, 32, text);
    EXPECT_EQ(test::CrLfLines(text).size(), 2u);
    EXPECT_EQ(text.substr(0, 9), ":14B60000");
}

TEST(IntelHexWriter, RoundTripOfTheWholeImage) {
    HexEditModel model;
    std::mt19937 random(11);
    model.image.BeginBulk();
    for (int a = 0; a <= 0xFFFF; ++a) model.image.WriteData(a, static_cast<std::uint8_t>(random()));
    model.image.EndBulk();
    for (int perLine : {16, 32}) {
        std::string text;
        formatIntelHexText(model.image, {}, perLine, text);
        const auto back = load(text);
        EXPECT_EQ(back->counts.placed, 0x10000) << perLine;
        for (int a = 0; a <= 0xFFFF; ++a)
            ASSERT_EQ(back->model.image.ReadData(a), model.image.ReadData(a)) << a << " " << perLine;
    }
}

struct Fixture {
    const char* file;
    const char* reference;
    long long base;     // where the reference's byte 0 lands
    long long offset;   // the load's offset
    std::size_t landed;
};

class IntelHexFixtures : public ::testing::TestWithParam<Fixture> {};

TEST_P(IntelHexFixtures, LoadExactly) {
    const Fixture& f = GetParam();
    const std::string path = kInterop + f.file;
    const std::string reference = test::FileText(kInterop + f.reference);
    ASSERT_NE(reference, "<missing>");
    const auto offered = OfferedFormats(path);
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->front(), FileFormat::IntelHex);

    HexEditModel model;
    std::vector<std::string> recent;
    RecordingSink messages;
    RecordingLog log;
    LoadRequest r;
    r.fileName = path;
    r.format = FileFormat::IntelHex;
    r.entireFile = f.offset == 0;
    r.offsetText = std::to_string(f.offset);
    r.clear = ClearChoice::Zeros;
    const LoadResult result = LoadImageFile(r, model, recent, messages, log);
    ASSERT_TRUE(result);
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"Buffer Cleared with 0x00",
                                                     "Reading file : " + path,
                                                     "Read file complete"}));
    std::size_t landed = 0;
    for (long long a = 0; a <= 0xFFFF; ++a) {
        const long long i = a - f.base;
        const bool covered = i >= 0 && i < static_cast<long long>(reference.size());
        landed += covered ? 1 : 0;
        ASSERT_EQ(model.image.ReadData(a),
                  covered ? static_cast<std::uint8_t>(reference[static_cast<std::size_t>(i)]) : 0)
            << std::hex << "address " << a;
    }
    EXPECT_EQ(landed, f.landed);
}

INSTANTIATE_TEST_SUITE_P(
    OtherTools, IntelHexFixtures,
    ::testing::Values(Fixture{"srec_intel_obs16.hex", "data.bin", 0xC000, 0, 3000},
                      Fixture{"srec_intel_high_obs32.hex", "data.bin", 0x1000, -0x1E000, 3000},
                      Fixture{"srec_intel_seg.hex", "data.bin", 0x0F00, -0x2F000, 3000},
                      Fixture{"gnu_blink.hex", "gnu_blink.bin", 0xE000, 0, 0x2000}),
    [](const auto& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

#ifndef _WIN32
using test::RunShell;

TEST(IntelHexInterop, SrecCatAndObjcopyReadOursByteForByte) {
    ASSERT_EQ(RunShell("command -v srec_cmp m68hc11-objcopy").first, 0)
        << "srec_cmp and m68hc11-objcopy are needed (scripts/install-deps.sh installs them)";
    test::TempDir dir;
    HexEditModel model;
    std::mt19937 random(5);
    model.image.BeginBulk();
    for (int a = 0; a <= 0xFFFF; ++a) model.image.WriteData(a, static_cast<std::uint8_t>(random()));
    model.image.EndBulk();
    const std::string q = "'";
    ASSERT_EQ(writeBinaryFile(dir.file("ours.bin"), model.image, 0, 0xFFFF), "");
    for (int perLine : {16, 32}) {
        const std::string hex = dir.file("ours" + std::to_string(perLine) + ".hex");
        ASSERT_EQ(writeIntelHexFile(hex, model.image, {}, perLine), "");
        const auto cmp = RunShell("srec_cmp " + q + hex + q + " -intel " + q + dir.file("ours.bin") + q +
                             " -binary");
        EXPECT_EQ(cmp.first, 0) << cmp.second;
        const std::string out = dir.file("objcopy" + std::to_string(perLine) + ".bin");
        const auto conv = RunShell("m68hc11-objcopy -I ihex -O binary " + q + hex + q + " " + q + out + q);
        ASSERT_EQ(conv.first, 0) << conv.second;
        EXPECT_TRUE(test::FileText(out) == test::FileText(dir.file("ours.bin"))) << perLine;
    }
    // The check itself: a changed digit makes srec_cmp refuse the file.
    std::string text = test::FileText(dir.file("ours16.hex"));
    text[text.find("\r\n:") + 3 + 9] ^= 1;
    test::WriteText(dir.file("bad.hex"), text);
    EXPECT_NE(RunShell("srec_cmp " + q + dir.file("bad.hex") + q + " -intel " + q + dir.file("ours.bin") +
                  q + " -binary")
                  .first,
              0);
}
#endif

}  // namespace
}  // namespace jqz
