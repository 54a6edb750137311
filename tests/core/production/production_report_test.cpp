// The production report: a header only in a new file, one CSV line for each device, fields
// quoted where CSV needs it.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/production/production_report.h"
#include "test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace jqz {
namespace {

std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

ReportLine line(std::string serial, std::string result, std::string crc, std::string error) {
    return {"2026-12-11T01:50:07Z", "MC68HC11  E9 (E28B)", std::move(serial), std::move(result),
            std::move(crc), std::move(error)};
}

TEST(ProductionReport, WritesTheHeaderOnlyIntoANewFile) {
    test::TempDir dir;
    const std::string path = dir.path() + "/report.csv";
    {
        ProductionReport report;
        ASSERT_EQ(report.open(path), "");
        ASSERT_EQ(report.append(line("1000", "passed", "0x8F3F2BAC", "")), "");
        // Each line is in the file before the next device.
        EXPECT_EQ(contentsOf(path),
                  "time,device,serial,result,eeprom_crc32,error\n"
                  "2026-12-11T01:50:07Z,MC68HC11  E9 (E28B),1000,passed,0x8F3F2BAC,\n");
    }
    ProductionReport again;
    ASSERT_EQ(again.open(path), "");
    ASSERT_EQ(again.append(line("1001", "failed", "", "Receiver TimeOut Error.")), "");
    EXPECT_EQ(contentsOf(path),
              "time,device,serial,result,eeprom_crc32,error\n"
              "2026-12-11T01:50:07Z,MC68HC11  E9 (E28B),1000,passed,0x8F3F2BAC,\n"
              "2026-12-11T01:50:07Z,MC68HC11  E9 (E28B),1001,failed,,Receiver TimeOut Error.\n");

    // An empty file counts as new.
    const std::string empty = dir.path() + "/empty.csv";
    std::ofstream(empty).close();
    ProductionReport fresh;
    ASSERT_EQ(fresh.open(empty), "");
    EXPECT_EQ(contentsOf(empty), "time,device,serial,result,eeprom_crc32,error\n");
}

TEST(ProductionReport, QuotesFieldsAsCsvNeeds) {
    const struct {
        const char* text;
        const char* field;
    } cases[] = {
        {"Receiver TimeOut Error.", "Receiver TimeOut Error."},
        {"MC68HC11  E9 (E28B)", "MC68HC11  E9 (E28B)"},
        {"", ""},
        {"a, b", "\"a, b\""},
        {"say \"no\"", "\"say \"\"no\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"In-Circuit Programming Interface. ", "\"In-Circuit Programming Interface. \""},
    };
    for (const auto& c : cases) EXPECT_EQ(CsvField(c.text), c.field) << c.text;
}

TEST(ProductionReport, TimeIsIsoInUtc) {
    using namespace std::chrono;
    const sys_seconds when = sys_days{year{2026} / 12 / 11} + hours{1} + minutes{50} + seconds{7};
    EXPECT_EQ(IsoTimeUtc(when), "2026-12-11T01:50:07Z");
}

TEST(ProductionReport, RefusesWhatIsNotAPlainFile) {
    test::TempDir dir;
    ProductionReport report;
    EXPECT_EQ(report.open(dir.path()),
              "Cannot write the report " + dir.path() + ": It is a directory, not a plain file.");
    ProductionReport missingFolder;
    EXPECT_NE(missingFolder.open(dir.path() + "/no/report.csv"), "");
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/no"));
}

#ifndef _WIN32
// Another process holds the report's lock: the run is told, and waits until its stop.
TEST(ProductionReport, WaitsForALockHeldElsewhereUntilTheStop) {
    test::TempDir dir;
    const std::string path = dir.path() + "/report.csv";
    ProductionReport report;
    ASSERT_EQ(report.open(path), "");
    const int holder = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    std::atomic<bool> stop{true};
    int told = 0;
    report.setWait({[&] { ++told; }, &stop});
    EXPECT_EQ(report.append(line("1000", "passed", "0x8F3F2BAC", "")),
              "Cannot write the report " + path + ": the wait for another run's lock was stopped");
    EXPECT_EQ(told, 1);
    ProductionReport second;
    EXPECT_EQ(second.open(path, {[&] { ++told; }, &stop}),
              "Cannot write the report " + path + ": " + std::strerror(ECANCELED));
    EXPECT_EQ(told, 2);
    ::close(holder);  // the lock goes with it
    EXPECT_EQ(report.append(line("1000", "passed", "0x8F3F2BAC", "")), "");
    EXPECT_EQ(told, 2);
    EXPECT_EQ(contentsOf(path), std::string(kReportHeader) +
                                    "\n2026-12-11T01:50:07Z,MC68HC11  E9 (E28B),1000,passed,"
                                    "0x8F3F2BAC,\n");
}
#endif

}  // namespace
}  // namespace jqz
