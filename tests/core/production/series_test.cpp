// A production series without the command line: the serial number written into each device's
// image, one device after another at the user's word, the next number kept in its file and a
// report line for each device.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/supported_device_list.h"
#include "core/image/memory_image.h"
#include "core/messages/log_model.h"
#include "core/platform/atomic_file.h"
#include "core/production/series.h"
#include "test_support.h"

namespace jqz {
namespace {

constexpr int kField = 0xB600;  // the first EEPROM byte of an MC68HC11E9

// One device of the script: what its program run returns and logs.
struct Device {
    int result = 0;
    const char* error = nullptr;  // an error line logged during the run
    bool stopDuring = false;      // Ctrl+C while it is programmed
};

// Plays both the program sequence and the user: programOne() takes the next device of the
// script and notes the serial field the image held for it; nextDevice() says yes as often
// as the user has devices at hand.
class ScriptedHost : public SeriesHost {
public:
    ScriptedHost(const MemoryImage& image, std::atomic<bool>& stop, std::vector<Device> script,
                 int devicesAtHand)
        : image_(image), stop_(stop), script_(std::move(script)), atHand_(devicesAtHand) {}

    void AddLogLine(const std::string& text, int kind) override {
        log.push_back(text);
        if (kind != LogError) return;
        ++errors_;
        if (deviceErrors_++ == 0) deviceFirst_ = text;
    }
    int errorCount() const override { return errors_; }
    int programOne() override {
        deviceErrors_ = 0;
        deviceFirst_.clear();
        fields.push_back({image_.ReadData(kField), image_.ReadData(kField + 1)});
        if (!stateFile.empty()) statesSeen.push_back(ReadWholeFile(stateFile).value_or(""));
        if (during) during();
        const Device d = script_.at(fields.size() - 1);
        if (d.error != nullptr) AddLogLine(d.error, LogError);
        if (d.stopDuring) stop_ = true;
        return d.result;
    }
    int deviceErrorCount() const override { return deviceErrors_; }
    std::string deviceFirstError() const override { return deviceFirst_; }
    bool nextDevice() override {
        ++questions;
        return atHand_-- > 0;
    }

    std::vector<std::string> log;
    std::vector<std::vector<std::uint8_t>> fields;  // the serial field of each device
    int questions = 0;
    std::string stateFile;                // looked at while each device is programmed
    std::vector<std::string> statesSeen;  // what it held then
    std::function<void()> during;         // happens while each device is programmed

private:
    const MemoryImage& image_;
    std::atomic<bool>& stop_;
    std::vector<Device> script_;
    int atHand_;
    int errors_ = 0, deviceErrors_ = 0;
    std::string deviceFirst_;
};

struct Bench {
    Bench() { devices.selectDevice("MC68HC11  E9 (E28B)"); }
    SupportedDeviceList devices{"/"};
    MemoryImage image;
    std::atomic<bool> stop{false};
    Production run;
};

SerialNumbering twoBytesFrom(std::uint64_t start) {
    SerialNumbering n;
    n.address = kField;
    n.bytes = 2;
    n.start = start;
    return n;
}

// Numbers from START kept in the folder's serial.state, with report.csv when asked for.
SeriesOptions keptIn(const test::TempDir& dir, std::uint64_t start, bool report) {
    SeriesOptions o;
    o.serial = twoBytesFrom(start);
    o.serialFile = dir.file("serial.state");
    if (report) o.report = dir.file("report.csv");
    return o;
}

// The file's lines, each without its line end.
std::vector<std::string> linesOf(const std::string& path) {
    std::vector<std::string> lines;
    std::string text = ReadWholeFile(path).value_or("");
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        std::string line = text.substr(at, end - at);
        if (line.ends_with('\r')) line.pop_back();  // Windows' line end
        lines.push_back(line);
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

TEST(Series, NumbersEachDeviceAndGivesAFailedDevicesNumberToTheNext) {
    test::TempDir dir;
    Bench b;
    SeriesOptions o = keptIn(dir, 0x1234, true);
    o.repeat = true;
    ScriptedHost host(b.image, b.stop,
                      {{}, {1, "Verify error at 0xB610"}, {}}, /*devicesAtHand=*/2);
    ASSERT_TRUE(PrepareProduction(o, b.devices, b.run, host, b.stop));
    EXPECT_FALSE(ProgramSeries(o, b.devices, b.run, b.image, host, b.stop));

    const std::vector<std::vector<std::uint8_t>> fields{{0x12, 0x34}, {0x12, 0x35}, {0x12, 0x35}};
    EXPECT_EQ(host.fields, fields);
    EXPECT_EQ(host.questions, 3);  // after every device; the third answer ends the series
    const std::vector<std::string> expected{
        "Serial number 4660 at 0xB600-0xB601",
        "Device 1 passed, serial number 4660.",
        "Serial number 4661 at 0xB600-0xB601",
        "Verify error at 0xB610",
        "Device 2 failed; serial number 4661 is not used up and goes to the next device.",
        "Serial number 4661 at 0xB600-0xB601",
        "Device 3 passed, serial number 4661.",
        "Series ended: 3 devices, 2 passed, 1 failed. Serial numbers used: 2 (4660 to 4661); "
        "next: 4662.",
    };
    EXPECT_EQ(host.log, expected);
    EXPECT_EQ(ReadSerialState(*o.serialFile).next, 4662u);

    const auto report = linesOf(*o.report);
    ASSERT_EQ(report.size(), 4u);
    EXPECT_EQ(report[0], kReportHeader);
    EXPECT_NE(report[1].find(",MC68HC11  E9 (E28B),4660,passed,0x"), std::string::npos) << report[1];
    EXPECT_NE(report[2].find(",4661,failed,,Verify error at 0xB610"), std::string::npos) << report[2];
    EXPECT_NE(report[3].find(",4661,passed,0x"), std::string::npos) << report[3];
}

TEST(Series, ANextRunTakesTheNumberTheFileKeeps) {
    test::TempDir dir;
    const std::string state = dir.file("serial.state");
    SeriesOptions o;
    o.serial = twoBytesFrom(1);
    o.serialFile = state;
    for (const std::uint8_t expected : {1, 2}) {
        Bench b;
        ScriptedHost host(b.image, b.stop, {{}}, 0);
        ASSERT_TRUE(PrepareProduction(o, b.devices, b.run, host, b.stop));
        EXPECT_TRUE(ProgramSeries(o, b.devices, b.run, b.image, host, b.stop));
        EXPECT_EQ(host.fields.at(0), (std::vector<std::uint8_t>{0, expected}));
        EXPECT_EQ(host.questions, 0);  // one device without `repeat`: nobody is asked
    }
}

TEST(Series, AStopDuringADeviceEndsTheSeriesWithoutAQuestion) {
    Bench b;
    SeriesOptions o;
    o.serial = twoBytesFrom(7);
    o.repeat = true;
    ScriptedHost host(b.image, b.stop, {{}, {1, nullptr, true}}, 5);
    ASSERT_TRUE(PrepareProduction(o, b.devices, b.run, host, b.stop));
    EXPECT_FALSE(ProgramSeries(o, b.devices, b.run, b.image, host, b.stop));
    EXPECT_EQ(host.questions, 1);
    const std::vector<std::string> expected{
        "No --serial-file: the next serial number is not kept after this run.",
        "Serial number 7 at 0xB600-0xB601",
        "Device 1 passed, serial number 7.",
        "Serial number 8 at 0xB600-0xB601",
        "Device 2 interrupted; serial number 8 is not used up and goes to the next device.",
        "Series ended: 2 devices, 1 passed, 1 failed. Serial numbers used: 1 (7); next: 8.",
    };
    EXPECT_EQ(host.log, expected);
}

// Each UTC time of the form 2026-12-11T14:05:09Z becomes TIME.
std::vector<std::string> withoutTimes(std::vector<std::string> lines) {
    static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
    const auto isTimeAt = [](const std::string& line, std::size_t at) {
        if (line.size() - at < kShape.size()) return false;
        for (std::size_t i = 0; i < kShape.size(); ++i) {
            const char c = line[at + i];
            if (kShape[i] == 'd' ? (c < '0' || c > '9') : c != kShape[i]) return false;
        }
        return true;
    };
    for (auto& line : lines) {
        std::string out;
        for (std::size_t i = 0; i < line.size();) {
            if (isTimeAt(line, i)) {
                out += "TIME";
                i += kShape.size();
            } else {
                out += line[i++];
            }
        }
        line = out;
    }
    return lines;
}

// A run ended (killed, the power gone) while a device was programmed: the serial file holds
// what was written ahead of it, and the next run neither gives the number out again nor
// forgets the device in the report. A report line that may or may not have been written
// before the end is written once.
TEST(Series, ANumberInProgressWhenARunEndedIsNotUsedAgain) {
    test::TempDir dir;
    const SeriesOptions o = keptIn(dir, 1000, true);
    std::string leftByTheEnd;
    {
        Bench b;
        ScriptedHost host(b.image, b.stop, {{}}, 0);
        host.stateFile = *o.serialFile;
        ASSERT_TRUE(PrepareProduction(o, b.devices, b.run, host, b.stop));
        EXPECT_TRUE(ProgramSeries(o, b.devices, b.run, b.image, host, b.stop));
        ASSERT_EQ(host.statesSeen.size(), 1u);
        leftByTheEnd = host.statesSeen[0];
    }
    // As the serial file writes it: a backslash (Windows' separator) doubled.
    std::string reportName;
    for (const char c : std::filesystem::absolute(*o.report).string())
        reportName += c == '\\' ? std::string(2, c) : std::string(1, c);
    const std::string unknown =
        ",MC68HC11  E9 (E28B),1000,unknown,,The run ended while this device was programmed; "
        "its result is not known.";
    EXPECT_EQ(linesOf(*o.serialFile), (std::vector<std::string>{"next=1001"}));
    // Now as though the run had ended while the device was programmed, its report's last line
    // cut short.
    std::ofstream(*o.serialFile, std::ios::trunc) << leftByTheEnd;
    EXPECT_EQ(withoutTimes(linesOf(*o.serialFile)),
              (std::vector<std::string>{"next=1001", "in_progress=1000", "report=" + reportName,
                                        "line=TIME" + unknown}));
    std::ofstream(*o.report, std::ios::trunc) << kReportHeader << "\n2026-12-11T01:00:00Z,cut";
    for (int run = 0; run < 2; ++run) {
        Bench b;
        ScriptedHost host(b.image, b.stop, {{}}, 0);
        ASSERT_TRUE(PrepareProduction(o, b.devices, b.run, host, b.stop));
        if (run == 0) {
            EXPECT_EQ(host.log.at(0), "Next serial number 1001 from " + *o.serialFile);
            EXPECT_EQ(host.log.at(1),
                      "Serial number 1000 was being programmed when an earlier run ended: its "
                      "device's result is not known, and the number is not used again.");
            EXPECT_EQ(linesOf(*o.serialFile), (std::vector<std::string>{"next=1001"}));
            EXPECT_TRUE(ProgramSeries(o, b.devices, b.run, b.image, host, b.stop));
            EXPECT_EQ(host.fields.at(0), (std::vector<std::uint8_t>{0x03, 0xE9}));
        }
        // The second time the line owed is in the report already: it is not written again.
        std::ofstream(*o.serialFile, std::ios::trunc) << leftByTheEnd;
    }
    const auto report = withoutTimes(linesOf(*o.report));
    ASSERT_EQ(report.size(), 4u);
    EXPECT_EQ(report[1], "TIME,cut");
    EXPECT_EQ(report[2], "TIME" + unknown);
    EXPECT_NE(report[3].find(",1001,passed,0x"), std::string::npos) << report[3];
}

// The serial file cannot be replaced once the device passed: the number counts as used, and
// the series stops rather than risk giving it out again.
TEST(Series, ASerialFileThatCannotBeKeptAfterADeviceStopsTheSeries) {
    test::TempDir dir;
    Bench b;
    SeriesOptions o = keptIn(dir, 5, false);
    o.repeat = true;
    ScriptedHost host(b.image, b.stop, {{}, {}}, 1);
    host.during = [&] {
        std::filesystem::remove(*o.serialFile);
        std::filesystem::create_directory(*o.serialFile);
    };
    ASSERT_TRUE(PrepareProduction(o, b.devices, b.run, host, b.stop));
    EXPECT_FALSE(ProgramSeries(o, b.devices, b.run, b.image, host, b.stop));
    EXPECT_EQ(host.fields.size(), 1u);
    EXPECT_EQ(host.questions, 0);
    const std::vector<std::string> expected{
        "Serial number 5 at 0xB600-0xB601",
        "Cannot write " + *o.serialFile + ": It is a directory, not a plain file. Serial number 5 "
        "is used, but the file that keeps the next one could not be written: the series stops.",
        "Device 1 passed, serial number 5.",
        "Series ended: 1 device, 1 passed, 0 failed. Serial numbers used: 1 (5); next: 6.",
    };
    EXPECT_EQ(host.log, expected);
}

TEST(Series, AReportThatIsTheSerialFileIsRefused) {
    test::TempDir dir;
    Bench b;
    SeriesOptions o = keptIn(dir, 1, false);
    std::ofstream(*o.serialFile) << "next=3\n";
    o.report = *o.serialFile;
    ScriptedHost host(b.image, b.stop, {}, 0);
    EXPECT_FALSE(PrepareProduction(o, b.devices, b.run, host, b.stop));
    EXPECT_EQ(host.log, (std::vector<std::string>{"The report " + *o.report +
                                                  " is the serial number file " + *o.serialFile +
                                                  ": each needs a file of its own"}));
}

TEST(Series, RefusesAFieldOutsideTheEeprom) {
    Bench b;
    SeriesOptions o;
    o.serial = twoBytesFrom(1);
    o.serial->address = 0xB7FF;  // its second byte lies past the EEPROM's end
    ScriptedHost host(b.image, b.stop, {}, 0);
    EXPECT_FALSE(PrepareProduction(o, b.devices, b.run, host, b.stop));
    EXPECT_EQ(host.log, (std::vector<std::string>{
                            "--serial: 0xB7FF-0xB800 is not inside the EEPROM of MC68HC11  E9 "
                            "(E28B) (0xB600-0xB7FF)"}));
    EXPECT_EQ(host.errorCount(), 1);
}

}  // namespace
}  // namespace jqz
