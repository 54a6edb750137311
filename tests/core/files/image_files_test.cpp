// The three image file formats: records, readers, writers and detection.
#include <gtest/gtest.h>

#include <random>

#include "core/files/image_files.h"
#include "core/files/intel_hex.h"
#include "core/files/records.h"
#include "file_test_support.h"
#include "test_support.h"

namespace jqz {
namespace {

using test::CrLfLines;
using test::RecordingLog;

std::span<const std::uint8_t> bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// ---------------------------------------------------------------- records

struct WorkedExample {
    const char* what;
    char format;  // 'X' or 'S'
    char type;
    int addressBytes;
    std::uint32_t address;
    std::string data;
    const char* line;
};

class WorkedExamples : public ::testing::TestWithParam<WorkedExample> {};

TEST_P(WorkedExamples, FormatAndParseAgree) {
    const WorkedExample& e = GetParam();
    std::string out;
    if (e.format == 'X')
        AppendExtendedRecord(out, e.type, e.address, bytes(e.data));
    else
        AppendMotorolaRecord(out, e.type, e.addressBytes, e.address, bytes(e.data));
    EXPECT_EQ(out, std::string(e.line) + "\r\n");

    Record r;
    const bool ok = e.format == 'X' ? ParseExtendedRecord(e.line, r) : ParseMotorolaRecord(e.line, r);
    ASSERT_TRUE(ok);
    EXPECT_EQ(r.type[0], e.format);
    EXPECT_EQ(r.type[1], e.type);
    EXPECT_EQ(r.address, e.address);
    EXPECT_EQ(std::string(r.data().begin(), r.data().end()), e.data);
}

INSTANTIATE_TEST_SUITE_P(
    Records, WorkedExamples,
    ::testing::Values(
        WorkedExample{"extended, empty project name", 'X', '0', 3, 0, "", "X00004000000FB"},
        WorkedExample{"extended, project name abc", 'X', '0', 3, 0, "abc", "X00007000000616263D2"},
        WorkedExample{"extended, row at 0x0010, read-only, palette 3, abc", 'X', '2', 3, 0x10,
                      "\x83" "abc", "X20008000010836162633E"},
        WorkedExample{"extended data", 'X', '7', 3, 0x1000, "\x01\x02\x03", "X70007001000010203E2"},
        WorkedExample{"S header, empty", 'S', '0', 2, 0, "", "S0030000FC"},
        WorkedExample{"S header abc", 'S', '0', 2, 0, "abc", "S0060000616263D3"},
        WorkedExample{"S1 data", 'S', '1', 2, 0x1000, "\x01\x02\x03", "S1061000010203E3"},
        WorkedExample{"S2 data", 'S', '2', 3, 0x1000, "\x01\x02\x03", "S207001000010203E2"},
        WorkedExample{"S9 end", 'S', '9', 2, 0, "", "S9030000FC"},
        WorkedExample{"S8 end", 'S', '8', 3, 0, "", "S804000000FB"}));

TEST(Records, AcceptanceRulesOfTheExtendedFormat) {
    struct Case {
        std::string line;
        bool accepted;
    };
    const Case cases[] = {
        {"X70007001000010203E2", true},
        {"x70007001000010203E2", true},                 // type compared in upper case
        {" \t\x01X70007001000010203E2", true},          // leading 0x00-0x20 trimmed
        {"X70007001000010203E2 junk after", true},      // after the checksum: ignored
        {"X70007001000010203e2", false},                // lower-case checksum digit
        {"X70007001000010203E3", false},                // wrong checksum
        {"X70007001000010203E", false},                 // truncated
        {"X70007001000010203", false},                  // checksum missing
        {"X7000700100001020", false},
        {"X00003000000FC", false},                      // count below 4
        {"X0000400000", false},                         // shorter than 14
        {"", false},
        {"X7000700100G010203E2", false},                // not a digit in the address
    };
    Record r;
    for (const Case& c : cases) EXPECT_EQ(ParseExtendedRecord(c.line, r), c.accepted) << c.line;
    ASSERT_TRUE(ParseExtendedRecord(std::string("X7") + "0004" + "FFFFFF" + "FE", r));
    EXPECT_EQ(r.address, 0xFFFFFFu);
    EXPECT_EQ(r.size, 0u);
}

TEST(Records, AcceptanceRulesOfSRecords) {
    struct Case {
        std::string line;
        bool accepted;
        std::uint32_t address;
        std::size_t size;
    };
    const Case cases[] = {
        {"S1061000010203E3", true, 0x1000, 3},
        {"s1061000010203E3", true, 0x1000, 3},
        {"S207001000010203E2", true, 0x1000, 3},
        {"s207001000010203E2", true, 0x1000, 3},        // 3-byte address also for "s2"
        {"S9030000FC", true, 0, 0},
        {"S9030000FC   ", true, 0, 0},
        {"S1061000010203e3", false, 0, 0},
        {"S1061000010203E4", false, 0, 0},
        {"S106100001020", false, 0, 0},
        {"S2030000FC", false, 0, 0},                    // S2 needs a count of at least 4
        {"S10200FD", false, 0, 0},                      // shorter than 10
        // "S3" is parsed with a 2-byte address: a consistent checksum passes the parse.
        {"S3061000010203E3", true, 0x1000, 3},
    };
    Record r;
    for (const Case& c : cases) {
        ASSERT_EQ(ParseMotorolaRecord(c.line, r), c.accepted) << c.line;
        if (!c.accepted) continue;
        EXPECT_EQ(r.address, c.address) << c.line;
        EXPECT_EQ(r.size, c.size) << c.line;
    }
}

TEST(Records, LinesSplitAtEveryKindOfLineEnd) {
    auto split = [](std::string_view text) {
        std::vector<std::string> lines;
        ForEachLine(text, [&](std::string_view l) {
            lines.emplace_back(l);
            return true;
        });
        return lines;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(split(""), V{});
    EXPECT_EQ(split("a"), V{"a"});
    EXPECT_EQ(split("a\r\n"), V{"a"});
    EXPECT_EQ(split("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(split("a\r\n\r\n"), (V{"a", ""}));
    EXPECT_EQ(split("a\n\r"), (V{"a", ""})) << "LF then a lone CR";
    EXPECT_EQ(split("\r\r"), (V{"", ""}));
}

TEST(Records, TextStopsAtTheFirstZeroByte) {
    Record r;
    std::string line;
    AppendMotorolaRecord(line, '0', 2, 0, bytes(std::string("a\0b", 3)));
    ASSERT_TRUE(ParseMotorolaRecord(line, r));
    EXPECT_EQ(r.text(), "a");
    EXPECT_EQ(r.text(1), "");
    EXPECT_EQ(r.text(2), "b");
}

// ---------------------------------------------------------------- detection

TEST(DetectFormat, TheFirstMatchingPairDecides) {
    struct Case {
        std::string head;
        std::optional<FileFormat> format;
    };
    const Case cases[] = {
        {"S00600004844521B\r\n", FileFormat::Motorola},
        {"X00004000000FB\r\n", FileFormat::Extended},
        {"x7", FileFormat::Extended},
        {"s2", FileFormat::Motorola},
        {"junk X3 then S0", FileFormat::Extended},
        {"junk S1 then X0", FileFormat::Motorola},
        {"S3150000", std::nullopt},
        {"X4 X5 S9", std::nullopt},
        {"X", std::nullopt},
        {"", std::nullopt},
        {std::string(98, '.') + "S1", FileFormat::Motorola},   // bytes 99 and 100
        {std::string(99, '.') + "S1", std::nullopt},           // the pair crosses byte 100
        {std::string("\0S0", 3), FileFormat::Motorola},
        {std::string("X\0", 2), std::nullopt},
        // Without a pair, a first line that is an S-record of another type, checksum and all.
        {"S9030000FC", FileFormat::Motorola},
        {"\r\n S804000000FB\r\n", FileFormat::Motorola},
        {"S5030001FB\r\nS9030000FC\r\n", FileFormat::Motorola},
        {"S9030000FD", std::nullopt},
        {"junk\r\nS9030000FC", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(detectFormat(c.head), c.format) << c.head;
}

// A first line longer than the pairs' 100 bytes, a byte order mark, and binary files with a
// pair among their first bytes.
TEST(DetectFormat, TheWholeFirstLineAndAByteOrderMark) {
    std::string intel64 = ":40B60000";  // 64 data bytes: a line of 139 characters
    unsigned sum = 0x40 + 0xB6;
    for (int i = 0; i < 64; ++i) {
        intel64 += "A5";
        sum += 0xA5;
    }
    const char* digits = "0123456789ABCDEF";
    const unsigned check = (0x100 - (sum & 0xFF)) & 0xFF;
    intel64 += std::string{digits[check >> 4], digits[check & 0xF]} + "\r\n:00000001FF\r\n";
    // An S3 record of 64 data bytes, no header: no pair "S0"-"S2" in its first 100 bytes.
    std::string s3 = "S34500000000";
    sum = 0x45;
    for (int i = 0; i < 64; ++i) {
        s3 += "33";
        sum += 0x33;
    }
    s3 += std::string{digits[(~sum >> 4) & 0xF], digits[~sum & 0xF]} + "\r\n";
    // Blank lines for the whole megabyte: the record after them is not looked for.
    const std::string huge = std::string(kDetectLineBytes, '\n') + ":00000001FF\r\n";
    struct Case {
        const char* name;
        std::string head;
        std::optional<FileFormat> format;
    };
    const Case cases[] = {
        {"Intel HEX, 139 characters", intel64, FileFormat::IntelHex},
        {"its first line cut at 100", intel64.substr(0, 100), std::nullopt},
        {"S3 without header", s3, FileFormat::Motorola},
        {"blank lines first", "\r\n\r\n" + intel64, FileFormat::IntelHex},
        {"byte order mark, Intel HEX", "\xEF\xBB\xBF" + intel64, FileFormat::IntelHex},
        {"byte order mark, S9", "\xEF\xBB\xBFS9030000FC\r\n", FileFormat::Motorola},
        {"byte order mark, X7", "\xEF\xBB\xBFX70007001000010203E2\r\n", FileFormat::Extended},
        // The readers skip one mark: a second one is the first line's start, no record.
        {"two byte order marks, Intel HEX", "\xEF\xBB\xBF\xEF\xBB\xBF:00000001FF\r\n", std::nullopt},
        {"two byte order marks, S9", "\xEF\xBB\xBF\xEF\xBB\xBFS9030000FC\r\n", std::nullopt},
        {"a first line past the cap", huge, std::nullopt},
        {"a first line within the cap", huge.substr(100), FileFormat::IntelHex},
        // Binary look-alikes: a pair among the first bytes decides, as documented; the command
        // line's refusal then names --format bin.
        {"binary with S1", std::string("\x7F" "ELF\x02\x01S1\x00\x00", 10), FileFormat::Motorola},
        {"binary with X0", std::string("\x00\x01X0\xFF", 5), FileFormat::Extended},
        {"binary without a pair", std::string("\x00\x01:\xFF", 4), std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(detectFormat(c.head), c.format) << c.name;
}

// ---------------------------------------------------------------- readers

class ReaderTest : public ::testing::Test {
protected:
    HexEditModel model;
    RecordingLog log;
    Placement whole;

    void SetUp() override { model.image.BeginBulk(); }
    void readX(std::string_view text, const Placement& p) {
        readExtendedText(text, p, model.image, model.description, log);
    }
    void readS(std::string_view text, const Placement& p) {
        readMotorolaText(text, p, model.image, model.description, log);
    }
    int notices() const {
        int n = 0;
        for (const auto& l : log.lines) n += l.kind == LogNotice ? 1 : 0;
        return n;
    }
};

TEST_F(ReaderTest, ExtendedRecordsFillImageAndDescription) {
    readX("X00007000000616263D2\r\n"
          "X1000C0000004D4336384843313108\r\n"
          "X20008000010836162633E\r\n"
          "X300060000000D0AE2\r\n"
          "X70007001000010203E2\r\n",
          whole);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(model.description.projectName(), "abc");
    EXPECT_EQ(model.description.deviceName(), "MC68HC11");
    EXPECT_EQ(model.description.notes(), "\r\n");
    ASSERT_EQ(model.description.rowCount(), 1);
    EXPECT_EQ(model.description.getRow(0), (ProjCell{0x10, 3, true, "abc"}));
    EXPECT_EQ(model.image.ReadData(0x1000), 1);
    EXPECT_EQ(model.image.ReadData(0x1002), 3);
    EXPECT_EQ(model.image.ReadData(0x1003), 0);
}

TEST_F(ReaderTest, RejectedLinesAreNoticedAndReadingGoesOn) {
    readX("x70007001000010203E2\r\n"    // lower-case type letter: accepted
          "X70007001000010203e2\r\n"    // lower-case digit: rejected
          "\r\n"                        // empty line
          "X50004000000FB\r\n"          // unknown type with a good checksum
          "X20004000010EB\r\n"          // a row without its attribute byte
          "X70005002000AA30\n",         // still read after all that
          whole);
    EXPECT_EQ(log.lines, (std::vector<RecordingLog::Line>(4, {kUnrecognizedXLine, LogNotice})));
    EXPECT_EQ(model.image.ReadData(0x1000), 1);
    EXPECT_EQ(model.image.ReadData(0x2000), 0xAA);
    EXPECT_EQ(model.description.rowCount(), 1);
    EXPECT_EQ(model.description.row(0).addressText, "0x0000") << "the bare X2 made no row";
}

TEST_F(ReaderTest, LaterNamesReplaceEarlierOnesAndRowsKeepFileOrder) {
    std::string text;
    auto add = [&](char type, std::uint32_t a, const std::string& data) {
        AppendExtendedRecord(text, type, a, bytes(data));
    };
    add('2', 0x20, std::string("\x0C" "second cell", 12));
    add('0', 0, "first");
    add('2', 0x12345, std::string("\xBF" "beyond", 7));  // bit 6 set in the file: ignored
    add('0', 0, "second");
    add('3', 0, "n1\r\nn2");
    readX(text, whole);
    EXPECT_EQ(model.description.projectName(), "second");
    EXPECT_EQ(model.description.notes(), "n1\r\nn2");
    ASSERT_EQ(model.description.rowCount(), 2);
    EXPECT_EQ(model.description.getRow(0), (ProjCell{0x20, 0x0C, false, "second cell"}));
    EXPECT_EQ(model.description.row(1).addressText, "0x12345");
    EXPECT_EQ(model.description.row(1).comment, "beyond");
}

TEST_F(ReaderTest, SRecordsStopAtTheEndRecordAndRejectOtherTypes) {
    readS("S0060000616263D3\r"
          "S3061000010203E3\r"          // parses, but is not a type this reader uses
          "S1061000010203E3\r"
          "S207001100040506D8\r"
          "S9030000FC\r"
          "S1062000010203D3\r"          // after the end record: not read
          "garbage\r",
          whole);
    EXPECT_EQ(log.texts(), std::vector<std::string>{kUnrecognizedSLine});
    EXPECT_EQ(model.description.projectName(), "abc");
    EXPECT_EQ(model.image.ReadData(0x1000), 1);
    EXPECT_EQ(model.image.ReadData(0x1100), 4);
    EXPECT_EQ(model.image.ReadData(0x2000), 0);
}

TEST_F(ReaderTest, AnSFileWithoutEndIsReadToItsEnd) {
    readS("S1061000010203E3\nS1062000010203D3", whole);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(model.image.ReadData(0x2002), 3);
}

TEST_F(ReaderTest, AByteOrderMarkIsSkippedBeforeTheFirstRecord) {
    const std::string bom = "\xEF\xBB\xBF";
    readS(bom + "S1061000010203E3\r\nS9030000FC\r\n", whole);
    readX(bom + "X70007002000010203D2\r\n", whole);
    readIntelHexText(bom + ":0130000001CE\r\n:00000001FF\r\n", whole, model.image, log);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(model.image.ReadData(0x1000), 1) << "S-records";
    EXPECT_EQ(model.image.ReadData(0x2000), 1) << "extended format";
    EXPECT_EQ(model.image.ReadData(0x3000), 1) << "Intel HEX";
    for (FileFormat f : {FileFormat::Motorola, FileFormat::Extended, FileFormat::IntelHex})
        EXPECT_FALSE(HasDataRecord(bom, f));
    EXPECT_TRUE(HasDataRecord(bom + "S1061000010203E3\r\n", FileFormat::Motorola));
}

TEST_F(ReaderTest, PlacementRule) {
    // 0x0FFE..0x1003 in the file: 6 bytes.
    std::string text;
    AppendMotorolaRecord(text, '2', 3, 0xFFFE, bytes("\x11\x22\x33\x44\x55\x66"));
    AppendMotorolaRecord(text, '2', 3, 0xFFFFF0, bytes("\x77"));
    struct Case {
        Placement p;
        std::vector<std::pair<long long, int>> expected;  // address, byte (-1: untouched)
    };
    const Case cases[] = {
        {{0, 0xFFFFFF, 0}, {{0xFFFD, 0}, {0xFFFE, 0x11}, {0xFFFF, 0x22}}},
        {{0, 0xFFFFFF, -0xFFFE}, {{0, 0x11}, {5, 0x66}, {6, 0}}},
        {{0xFFFF, 0x10001, -0xFFFF}, {{0, 0x22}, {1, 0x33}, {2, 0x44}, {3, 0}}},
        {{0xFFFFF0, 0xFFFFFF, -0xFFFFF0 + 0x10}, {{0x10, 0x77}, {0, 0}}},
        {{0, 0xFFFFFF, 2}, {{0xFFFF, 0}, {0x0000, 0}}},  // all beyond the image: dropped
    };
    for (const Case& c : cases) {
        for (int a = 0; a <= 0xFFFF; ++a) model.image.WriteData(a, 0);
        readS(text, c.p);
        for (auto [a, v] : c.expected)
            EXPECT_EQ(model.image.ReadData(a), v) << std::hex << a << " offset " << c.p.offset;
    }
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(ReaderTest, BulkWritesReachReadOnlyCellsButNeverUnimplementedOnes) {
    model.image.SetReadOnly(0x1000, true);
    model.image.SetUnimplemented(0x1001, true);
    model.image.WriteData(0x1001, 0x00);
    readS("S1061000010203E3", whole);
    EXPECT_EQ(model.image.ReadData(0x1000), 1);
    EXPECT_EQ(model.image.ReadData(0x1001), 0);
    EXPECT_EQ(model.image.ReadData(0x1002), 3);
}

TEST_F(ReaderTest, BinaryPlacement) {
    std::string file(70000, '\0');
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>(i * 7 + (i >> 16));
    model.image.SetUnimplemented(0x8000, true);
    readBinaryBytes(file, 0, whole, model.image);
    EXPECT_EQ(model.image.ReadData(0), 0);
    EXPECT_EQ(model.image.ReadData(0xFFFF), static_cast<std::uint8_t>(0xFFFF * 7));
    EXPECT_EQ(model.image.ReadData(0x7FFF), static_cast<std::uint8_t>(0x7FFF * 7));
    EXPECT_EQ(model.image.ReadData(0x8000), 0) << "unimplemented";

    for (int a = 0; a <= 0xFFFF; ++a) model.image.WriteData(a, 0xEE);
    readBinaryBytes(file, 0, {0x100, 0x1FF, -0x100}, model.image);
    EXPECT_EQ(model.image.ReadData(0x0000), static_cast<std::uint8_t>(0x100 * 7));
    EXPECT_EQ(model.image.ReadData(0x00FF), static_cast<std::uint8_t>(0x1FF * 7));
    EXPECT_EQ(model.image.ReadData(0x0100), 0xEE);
}

TEST(BinaryFileWindow, OnlyTheBytesThatCanLandAreRead) {
    EXPECT_EQ(binaryFileWindow({0, 0xFFFFFF, 0}).first, 0);
    EXPECT_EQ(binaryFileWindow({0, 0xFFFFFF, 0}).length, 0x10000u);
    EXPECT_EQ(binaryFileWindow({0x100, 0x1FF, -0x100}).first, 0x100);
    EXPECT_EQ(binaryFileWindow({0x100, 0x1FF, -0x100}).length, 0x100u);
    EXPECT_EQ(binaryFileWindow({0, 0xFFFFFF, -0x20000}).first, 0x20000);
    EXPECT_EQ(binaryFileWindow({0, 0xFFFFFF, -0x20000}).length, 0x10000u);
    EXPECT_EQ(binaryFileWindow({0, 0xFFFFFF, 0x10000}).length, 0u);
}

TEST_F(ReaderTest, AFloodOfJunkLinesIsCountedNotListed) {
    const std::string junk(kMaxLoggedRejects + 5, '\n');
    readS(junk, whole);
    ASSERT_EQ(log.lines.size(), static_cast<std::size_t>(kMaxLoggedRejects + 1));
    EXPECT_EQ(log.lines[0].text, kUnrecognizedSLine);
    EXPECT_EQ(log.lines.back(), (RecordingLog::Line{"5 more unrecognized lines in S file not listed",
                                                    LogNotice}));
}

TEST_F(ReaderTest, AnyBytesAreReadWithoutHarm) {
    std::mt19937 random(7);
    std::string junk(1 << 20, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    // A few well-formed records in the junk must still be found.
    junk.replace(1000, 20, "\nS1061000010203E3\n\r");
    junk.replace(5000, 23, "\rX70007001100010203E1\r\n");
    readS(junk, whole);
    readX(junk, whole);
    EXPECT_GT(notices(), 100);
    EXPECT_EQ(model.image.ReadData(0x1000), 1);
    EXPECT_EQ(model.image.ReadData(0x1100), 1);
    readBinaryBytes(junk, 0, {0x20000, 0x2FFFF, -0x20000}, model.image);
    EXPECT_EQ(model.image.ReadData(0x1000), static_cast<std::uint8_t>(junk[0x21000]));
}

// ---------------------------------------------------------------- writers

class WriterTest : public ::testing::Test {
protected:
    HexEditModel model;
    std::string out;
    std::string error;

    std::vector<std::string> extendedLines(const WriteRange& range) {
        out.clear();
        EXPECT_TRUE(formatExtendedText(model.image, model.description, range, out, error));
        return CrLfLines(out);
    }
    std::vector<std::string> motorolaLines(MotorolaVariant v, const WriteRange& range) {
        out.clear();
        formatMotorolaText(model.image, model.description, v, range, out);
        return CrLfLines(out);
    }
};

TEST_F(WriterTest, AnEmptyDescriptionStillWritesItsRecords) {
    model.image.SetCellColor(0, ColorIndexToColor(0x15));
    const auto lines = extendedLines({0x1000, 0x1002, false});
    std::string row;
    AppendExtendedRecord(row, '2', 0, bytes("\x15"));
    EXPECT_EQ(lines, (std::vector<std::string>{"X00004000000FB", "X10004000000FB",
                                               row.substr(0, row.size() - 2), "X30004000000FB",
                                               "X70007001000000000E8"}));
}

// The project name is code-page text, one byte a character: the S0 record holds its first 200
// characters whole, and reading it back gives the same bytes.
TEST_F(WriterTest, TheS0NameIsCutAtACharacter) {
    model.description.setProjectName(std::string(199, 'a') + "\xE9\xE9" + "bc");
    const auto lines = motorolaLines(MotorolaVariant::S1, {0, 0, false});
    std::string expected;
    AppendMotorolaRecord(expected, '0', 2, 0, bytes(std::string(199, 'a') + "\xE9"));
    EXPECT_EQ(lines.front(), expected.substr(0, expected.size() - 2));
    HexEditModel back;
    RecordingLog log;
    readMotorolaText(out, {}, back.image, back.description, log);
    EXPECT_EQ(back.description.projectName(), std::string(199, 'a') + "\xE9");
}

TEST_F(WriterTest, DescribedCellsCarryTheirAttributeByte) {
    model.description.setProjectName("P");
    model.description.putRow(0, {0x0010, 3, true, "abc"});
    model.description.putRow(1, {0x0020, 0, false, "black"});
    model.description.putRow(2, {0x0010, 3, true, "same cell"});
    const auto lines = extendedLines({0, 0, false});
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2], "X20008000010836162633E");
    Record r;
    ASSERT_TRUE(ParseExtendedRecord(lines[3], r));
    EXPECT_EQ(r.address, 0x20u);
    EXPECT_EQ(r.buffer[0], 0x00);
    EXPECT_EQ(r.text(1), "black");
    ASSERT_TRUE(ParseExtendedRecord(lines[4], r));
    EXPECT_EQ(r.buffer[0], 0x83);
}

TEST_F(WriterTest, ChunksEndBeforeUnimplementedCells) {
    for (int a = 0x10; a <= 0x1F; ++a) model.image.SetUnimplemented(a, true);
    auto lines = extendedLines({0, 0x5F, false});
    ASSERT_EQ(lines.size(), 4u + 3u);
    EXPECT_EQ(lines[4].substr(0, 12), "X70014000000");
    EXPECT_EQ(lines[5].substr(0, 12), "X70024000020");
    EXPECT_EQ(lines[6].substr(0, 12), "X70024000040");
}

TEST_F(WriterTest, ChunksStartAtTheRangeNotAtAlignedAddresses) {
    model.image.SetUnimplemented(0x13, true);
    auto lines = motorolaLines(MotorolaVariant::S1, {0x0005, 0x0030, false});
    std::vector<std::string> heads;
    for (const auto& l : lines) heads.push_back(l.substr(0, 8));
    EXPECT_EQ(heads, (std::vector<std::string>{"S0030000", "S1110005", "S1130014", "S1100024",
                                               "S9030000"}));
    lines = motorolaLines(MotorolaVariant::S1, {0x0005, 0x0030, true});
    heads.clear();
    for (const auto& l : lines) heads.push_back(l.substr(0, 8));
    EXPECT_EQ(heads, (std::vector<std::string>{"S0030000", "S1130005", "S1130015", "S10F0025",
                                               "S9030000"}));
}

TEST_F(WriterTest, WholeImageInTheS1Variant) {
    const auto lines = motorolaLines(MotorolaVariant::S1, {0, 0xFFFF, false});
    ASSERT_EQ(lines.size(), 4098u);
    EXPECT_EQ(lines.front(), "S0030000FC");
    for (std::size_t i = 1; i <= 4096; ++i) {
        ASSERT_EQ(lines[i].size(), 4u + 4u + 32u + 2u) << i;
        ASSERT_EQ(lines[i].substr(0, 4), "S113");
    }
    EXPECT_EQ(lines[4096].substr(4, 4), "FFF0");
    EXPECT_EQ(lines.back(), "S9030000FC");
}

TEST_F(WriterTest, WholeImageInTheS2Variant) {
    model.description.setProjectName(std::string(250, 'N'));
    const auto lines = motorolaLines(MotorolaVariant::S2, {0, 0xFFFF, false});
    ASSERT_EQ(lines.size(), 2050u);
    EXPECT_EQ(lines.front().size(), 4u + 4u + 400u + 2u) << "200 characters of the name";
    EXPECT_EQ(lines[1].substr(0, 10), "S224000000");
    EXPECT_EQ(lines[2048].substr(0, 10), "S22400FFE0");
    EXPECT_EQ(lines.back(), "S804000000FB");
}

TEST_F(WriterTest, TextsTooLongForOneRecordRefuseTheSave) {
    model.description.setNotes(std::string(kMaxExtendedData, 'n'));
    EXPECT_TRUE(formatExtendedText(model.image, model.description, {0, 0, false}, out, error));
    Record r;
    ASSERT_TRUE(ParseExtendedRecord(CrLfLines(out)[3], r));
    EXPECT_EQ(r.size, kMaxExtendedData);

    struct Case {
        std::function<void()> make;
        std::string start;
    };
    const Case cases[] = {
        {[&] { model.description.setNotes(std::string(kMaxExtendedData + 1, 'n')); },
         "The notes text is too long"},
        {[&] { model.description.setProjectName(std::string(70000, 'p')); },
         "The project name is too long"},
        {[&] { model.description.setDeviceName(std::string(70000, 'd')); },
         "The device name is too long"},
        {[&] { model.description.putRow(0, {0xB600, 0, false, std::string(kMaxExtendedData, 'c')}); },
         "The comment of the described cell 0xB600 is too long"},
    };
    for (const Case& c : cases) {
        model.description.clear();
        c.make();
        out = "untouched";
        error.clear();
        EXPECT_FALSE(formatExtendedText(model.image, model.description, {0, 0, false}, out, error));
        EXPECT_EQ(out, "untouched");
        EXPECT_EQ(error.substr(0, c.start.size()), c.start);
    }
}

TEST_F(WriterTest, BinaryWritesEveryCellOfTheRange) {
    model.image.BeginBulk();
    model.image.WriteData(0x10, 0x5A);
    model.image.SetUnimplemented(0x11, true);
    formatBinaryBytes(model.image, 0x10, 0x12, out);
    EXPECT_EQ(out, std::string("\x5A\x00\x00", 3));
}

// ---------------------------------------------------------------- files

TEST(ImageFiles, FailuresToOpenReadOrWriteAreReported) {
    test::TempDir dir;
    HexEditModel model;
    RecordingLog log;
    const std::string missing = dir.file("missing.s19");
    EXPECT_NE(readMotorolaFile(missing, {}, model.image, model.description, log).find(
                  "Cannot open file \"" + missing + "\". No such file or directory"),
              std::string::npos);
    EXPECT_FALSE(readExtendedFile(dir.path(), {}, model.image, model.description, log).empty());
    EXPECT_FALSE(readBinaryFile(missing, {}, model.image).empty());
    const std::string nowhere = dir.file("no/such/folder/x.bin");
    EXPECT_FALSE(writeBinaryFile(nowhere, model.image, 0, 0xFFFF).empty());
    EXPECT_FALSE(writeExtendedFile(nowhere, model.image, model.description, {}).empty());
    EXPECT_FALSE(writeMotorolaFile(nowhere, model.image, model.description, MotorolaVariant::S1, {}).empty());
    EXPECT_TRUE(log.lines.empty());
}

TEST(ImageFiles, AFailedWriteLeavesTheOldFileWhole) {
    test::TempDir dir;
    HexEditModel model;
    const std::string path = dir.file("image.s19");
    test::WriteText(path, "old contents");
    model.description.setNotes(std::string(kMaxExtendedData + 1, 'n'));
    EXPECT_FALSE(writeExtendedFile(path, model.image, model.description, {}).empty());
    EXPECT_EQ(test::FileText(path), "old contents");
}

TEST(ImageFiles, ABigBinaryFileIsReadOnlyWhereItLands) {
    test::TempDir dir;
    HexEditModel model;
    const std::string path = dir.file("big.bin");
    std::string big(50u << 20, '\x5A');
    big[0x300001] = '\x01';
    test::WriteText(path, big);
    model.image.BeginBulk();
    EXPECT_EQ(readBinaryFile(path, {0, 0xFFFFFF, -0x300000}, model.image), "");
    EXPECT_EQ(model.image.ReadData(0), 0x5A);
    EXPECT_EQ(model.image.ReadData(1), 0x01);
    // As text it is one long line that no record fits.
    RecordingLog log;
    EXPECT_EQ(readMotorolaFile(path, {}, model.image, model.description, log), "");
    EXPECT_EQ(readExtendedFile(path, {}, model.image, model.description, log), "");
    EXPECT_EQ(log.texts(), (std::vector<std::string>{kUnrecognizedSLine, kUnrecognizedXLine}));
}

}  // namespace
}  // namespace jqz
