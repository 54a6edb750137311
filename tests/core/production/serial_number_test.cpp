// Serial numbers: the field's bytes in each format, what --serial accepts, the end of the
// numbers, and the file that keeps the next one.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "core/platform/atomic_file.h"
#include "core/production/serial_number.h"
#include "test_support.h"

namespace jqz {
namespace {

using Bytes = std::vector<std::uint8_t>;

SerialNumbering field(int bytes, SerialFormat format) {
    SerialNumbering n;
    n.address = 0xB600;
    n.bytes = bytes;
    n.format = format;
    return n;
}

TEST(SerialNumber, EncodesEachFormat) {
    const struct {
        SerialFormat format;
        int bytes;
        std::uint64_t number;
        Bytes expected;
    } cases[] = {
        {SerialFormat::BigEndian, 2, 1000, {0x03, 0xE8}},
        {SerialFormat::BigEndian, 4, 0x12345678, {0x12, 0x34, 0x56, 0x78}},
        {SerialFormat::BigEndian, 3, 0xFFFFFF, {0xFF, 0xFF, 0xFF}},
        {SerialFormat::BigEndian, 8, UINT64_MAX, Bytes(8, 0xFF)},
        {SerialFormat::LittleEndian, 2, 1000, {0xE8, 0x03}},
        {SerialFormat::LittleEndian, 4, 0x12345678, {0x78, 0x56, 0x34, 0x12}},
        {SerialFormat::Bcd, 2, 1234, {0x12, 0x34}},
        {SerialFormat::Bcd, 3, 705, {0x00, 0x07, 0x05}},
        {SerialFormat::Bcd, 1, 99, {0x99}},
        {SerialFormat::Ascii, 6, 1234, {'0', '0', '1', '2', '3', '4'}},
        {SerialFormat::Ascii, 1, 7, {'7'}},
        {SerialFormat::Ascii, 20, UINT64_MAX,
         {'1', '8', '4', '4', '6', '7', '4', '4', '0', '7', '3', '7', '0', '9', '5', '5', '1',
          '6', '1', '5'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.number));
        const auto bytes = EncodeSerial(field(c.bytes, c.format), c.number);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(*bytes, c.expected);
    }
}

TEST(SerialNumber, RefusesANumberThatDoesNotFit) {
    const struct {
        SerialFormat format;
        int bytes;
        std::uint64_t largest;
        const char* message;
    } cases[] = {
        {SerialFormat::BigEndian, 1, 255, "256 does not fit in 1 byte (be: at most 255)"},
        {SerialFormat::LittleEndian, 2, 65535, "65536 does not fit in 2 bytes (le: at most 65535)"},
        {SerialFormat::Bcd, 2, 9999, "10000 does not fit in 2 bytes (bcd: at most 9999)"},
        {SerialFormat::Ascii, 3, 999, "1000 does not fit in 3 bytes (ascii: at most 999)"},
    };
    for (const auto& c : cases) {
        const SerialNumbering n = field(c.bytes, c.format);
        EXPECT_EQ(LargestSerial(n), c.largest);
        EXPECT_TRUE(EncodeSerial(n, c.largest).has_value());
        EXPECT_EQ(SerialTooLarge(n, c.largest), "");
        EXPECT_FALSE(EncodeSerial(n, c.largest + 1).has_value());
        EXPECT_EQ(SerialTooLarge(n, c.largest + 1), c.message);
        // The last number has no next one.
        EXPECT_FALSE(NextSerial(n, c.largest).has_value());
        EXPECT_EQ(NextSerial(n, c.largest - 1), c.largest);
    }
    SerialNumbering wide = field(8, SerialFormat::BigEndian);
    wide.step = 10;
    EXPECT_FALSE(NextSerial(wide, UINT64_MAX - 5).has_value());
    EXPECT_EQ(NextSerial(wide, UINT64_MAX - 10), UINT64_MAX);
}

TEST(SerialNumber, ParsesTheOption) {
    const struct {
        const char* text;
        int address, bytes;
        std::uint64_t start, step;
        SerialFormat format;
    } good[] = {
        {"0xB600,2,1000", 0xB600, 2, 1000, 1, SerialFormat::BigEndian},
        {"$B7F0,4,0x10,le", 0xB7F0, 4, 16, 1, SerialFormat::LittleEndian},
        {"46592, 3, 5, 10, BCD", 46592, 3, 5, 10, SerialFormat::Bcd},
        {"0xb700,6,1234,5,ascii", 0xB700, 6, 1234, 5, SerialFormat::Ascii},
        {"0xB600,8,18446744073709551615,be", 0xB600, 8, UINT64_MAX, 1, SerialFormat::BigEndian},
    };
    for (const auto& g : good) {
        SCOPED_TRACE(g.text);
        std::string error;
        const auto n = ParseSerialNumbering(g.text, error);
        ASSERT_TRUE(n.has_value()) << error;
        EXPECT_EQ(n->address, g.address);
        EXPECT_EQ(n->bytes, g.bytes);
        EXPECT_EQ(n->start, g.start);
        EXPECT_EQ(n->step, g.step);
        EXPECT_EQ(n->format, g.format);
    }
    const struct {
        const char* text;
        const char* error;
    } bad[] = {
        {"0xB600,2", "--serial takes ADDR,BYTES,START[,STEP][,FORMAT], not \"0xB600,2\""},
        {"0xB600,2,1,2,be,3", "--serial takes ADDR,BYTES,START[,STEP][,FORMAT], not"},
        {"0xB600,two,1", "not \"0xB600,two,1\""},
        {"0xB600,2,-1", "not \"0xB600,2,-1\""},
        {"0xB600,2,18446744073709551616", "not \"0xB600,2,18446744073709551616\""},
        {"0xB600,2,1,le,2", "FORMAT is be, le, bcd or ascii and comes last"},
        {"0xB600,2,1,hex", "FORMAT is be, le, bcd or ascii and comes last"},
        {"0x10000,2,1", "--serial: the address 0x10000 is above 0xFFFF"},
        {"0xB600,0,1", "--serial: be numbers take 1 to 8 bytes, not 0"},
        {"0xB600,9,1,le", "--serial: le numbers take 1 to 8 bytes, not 9"},
        {"0xB600,9,1,bcd", "--serial: bcd numbers take 1 to 8 bytes, not 9"},
        {"0xB600,21,1,ascii", "--serial: ascii numbers take 1 to 20 bytes, not 21"},
        {"0xB600,2,1,0", "--serial: a STEP of 0 would give every device the same number"},
        {"0xB600,2,10,-1", "--serial: STEP -1 is negative: numbers only count up, by a STEP of 1 or more"},
        {"0xB600,2,10,-0x2,bcd", "--serial: STEP -0x2 is negative"},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.text);
        std::string error;
        EXPECT_FALSE(ParseSerialNumbering(b.text, error).has_value());
        EXPECT_NE(error.find(b.error), std::string::npos) << error;
    }
}

TEST(SerialNumber, TheStateFileKeepsTheNumberAfterTheOneUsed) {
    test::TempDir dir;
    const std::string path = dir.path() + "/serial.state";
    EXPECT_FALSE(ReadSerialState(path).present);
    EXPECT_EQ(ReadSerialState(path).error, "");

    SerialNumbering n = field(2, SerialFormat::BigEndian);
    n.step = 7;
    EXPECT_EQ(SerialAfter(n, 1000), "1007");
    // Nothing pending: the one line an earlier version wrote and reads.
    EXPECT_EQ(SerialStateText(SerialAfter(n, 1000)), "next=1007\n");
    std::ofstream(path, std::ios::binary) << SerialStateText(SerialAfter(n, 1000));
    SerialState state = ReadSerialState(path);
    EXPECT_TRUE(state.present);
    EXPECT_EQ(state.error, "");
    EXPECT_EQ(state.next, 1007u);
    EXPECT_TRUE(state.pending.empty());

    // A number past the largest of 64 bits is kept as it is, and refused when read back
    // rather than taken for a smaller one.
    n.step = 2;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << SerialStateText(SerialAfter(n, UINT64_MAX));
    state = ReadSerialState(path);
    EXPECT_TRUE(state.present);
    EXPECT_EQ(state.error, "The next serial number in " + path +
                               ", 18446744073709551617, is too large for any serial number field");
}

TEST(SerialNumber, TheStateFileKeepsADeviceInProgressAndTheReportLineOwed) {
    test::TempDir dir;
    const std::string path = dir.path() + "/serial.state";
    SerialPending pending;
    pending.inProgress = 1002;
    pending.report = "/bench/r\\n.csv";
    pending.line = "T,\"a\nb\\c\r\",1002,unknown,,\n";
    const std::string text = SerialStateText("1003", pending);
    EXPECT_EQ(text,
              "next=1003\n"
              "in_progress=1002\n"
              "report=/bench/r\\\\n.csv\n"
              "line=T,\"a\\nb\\\\c\\r\",1002,unknown,,\n");
    std::ofstream(path, std::ios::binary) << text << "later_key=a later version's\n";
    const SerialState state = ReadSerialState(path);
    EXPECT_EQ(state.error, "");
    EXPECT_EQ(state.next, 1003u);
    EXPECT_EQ(state.pending.inProgress, std::optional<std::uint64_t>(1002));
    EXPECT_FALSE(state.pending.used);
    EXPECT_EQ(state.pending.report, pending.report);
    EXPECT_EQ(state.pending.line, pending.line);

    for (const char* bad : {"next=5\nin_progress=x\n", "next=5\nused=\n", "next=5\njunk\n"}) {
        SCOPED_TRACE(bad);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bad;
        EXPECT_NE(ReadSerialState(path).error.find(" holds a line that is not understood: "),
                  std::string::npos);
    }
}
TEST(SerialNumber, AStateFileWithoutANumberIsRefused) {
    test::TempDir dir;
    const std::string path = dir.path() + "/serial.state";
    const struct {
        const char* contents;
        bool good;
        std::uint64_t next;
    } cases[] = {
        {"next=12\n", true, 12},
        {"next=12\r\n", true, 12},
        {"next=12", true, 12},
        {"", false, 0},
        {"12\n", false, 0},
        {"next=\n", false, 0},
        {"next=0x10\n", false, 0},
        {"next=-1\n", false, 0},
        {"next=12 13\n", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.contents);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.contents;
        const SerialState state = ReadSerialState(path);
        EXPECT_TRUE(state.present);
        if (c.good) {
            EXPECT_EQ(state.error, "");
            EXPECT_EQ(state.next, c.next);
        } else {
            EXPECT_EQ(state.error, path + " holds no serial number (a line next=N is expected)");
        }
    }
}

// What a second run is told while the first holds the file.
std::string takenBy(const std::string& path) {
    SerialStateFile second;
    SerialState state;
    return second.open(path, 1, state);
}

std::string inUse(const std::string& path) {
    return "Another run is using the serial number file " + path +
           " now; two runs at once would give two devices the same number";
}

TEST(SerialNumber, OneRunAtATimeUsesAStateFile) {
    test::TempDir dir;
    const std::string path = dir.path() + "/serial.state";
    SerialState state;
    {
        SerialStateFile first;
        // A missing file is made with START.
        ASSERT_EQ(first.open(path, 1000, state), "");
        EXPECT_EQ(state.next, 1000u);
        EXPECT_TRUE(first.made());
        EXPECT_EQ(takenBy(path), inUse(path));
        // Replacing the file keeps the lock: the file now at the name is locked too.
        SerialPending ahead;
        ahead.inProgress = 1000;
        ASSERT_EQ(first.write("1001", ahead), "");
        EXPECT_EQ(takenBy(path), inUse(path));
        // Another file is another series.
        SerialStateFile other;
        EXPECT_EQ(other.open(dir.path() + "/other.state", 1, state), "");
        ASSERT_EQ(other.write("1"), "");
        ASSERT_EQ(first.write("1001"), "");
    }
    // A file that a run made and numbered no device from goes with the run.
    EXPECT_FALSE(ReadSerialState(dir.path() + "/other.state").present);
    SerialStateFile after;
    ASSERT_EQ(after.open(path, 1, state), "");
    EXPECT_EQ(state.next, 1001u);
    EXPECT_FALSE(after.made());
}

#ifndef _WIN32
TEST(SerialNumber, TheLockIsTheFilesWhicheverNameReachesIt) {
    test::TempDir dir;
    const std::string path = dir.path() + "/serial.state";
    std::ofstream(path) << "next=7\n";
    std::filesystem::create_symlink(path, dir.path() + "/symbolic.state");
    std::filesystem::create_hard_link(path, dir.path() + "/hard.state");
    SerialStateFile first;
    SerialState state;
    ASSERT_EQ(first.open(path, 1, state), "");
    for (const char* name : {"/symbolic.state", "/hard.state"})
        EXPECT_EQ(takenBy(dir.path() + name), inUse(dir.path() + name));
    // A hard link keeps sharing the file when it is written; the symbolic link leads to it.
    ASSERT_EQ(first.write("8"), "");
    EXPECT_EQ(ReadSerialState(dir.path() + "/hard.state").next, 8u);
    for (const char* name : {"/symbolic.state", "/hard.state"})
        EXPECT_EQ(takenBy(dir.path() + name), inUse(dir.path() + name));
}

TEST(SerialNumber, TemporaryFilesOfEndedRunsAreRemoved) {
    test::TempDir dir;
    const std::string path = dir.path() + "/serial.state";
    std::ofstream(path) << "next=7\n";
    const std::string own = std::to_string(::getpid());
    for (const char* name : {"serial.state.tmp~999999999-0", "serial.state.tmp~12-3",
                             "serial.state.tmp~x-1", "other.state.tmp~12-0", "serial.state.bak"})
        std::ofstream(dir.path() + "/" + name) << "next=1\n";
    std::ofstream(dir.path() + "/serial.state.tmp~" + own + "-0") << "next=1\n";
    EXPECT_EQ(RemoveLeftoverTemporaries(path), 2);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"other.state.tmp~12-0", "serial.state",
                                              "serial.state.bak", "serial.state.tmp~" + own + "-0",
                                              "serial.state.tmp~x-1"}));
}
#endif

}  // namespace
}  // namespace jqz
