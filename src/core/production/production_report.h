#pragma once
// The production report: one CSV line for each device programmed, appended to a file that
// outlives the run. Every line is on disk before the next device is started, so a crash
// loses nothing already reported.
#include <chrono>
#include <string>
#include <string_view>

#include "core/platform/file_lock.h"

namespace jqz {

struct ReportLine {
    std::string time;    // ISO 8601, UTC
    std::string device;  // the device's catalogue name
    std::string serial;  // the serial number written, empty without one
    std::string result;  // "passed", "failed", "interrupted", "unknown"
    std::string crc32;   // the EEPROM's CRC-32 after a passed device, else empty
    std::string error;   // the first error of a device that did not pass
};

inline constexpr const char* kReportHeader = "time,device,serial,result,eeprom_crc32,error";

// A field quoted as CSV needs it: commas, quotes, line ends and outer blanks.
std::string CsvField(std::string_view text);
// "2026-12-11T01:50:07Z".
std::string IsoTimeUtc(std::chrono::system_clock::time_point when);

class ProductionReport {
public:
    ProductionReport() = default;
    ProductionReport(const ProductionReport&) = delete;
    ProductionReport& operator=(const ProductionReport&) = delete;
    ~ProductionReport();

    // Opens the file for appending, creating it with its header line when it is new or empty.
    // Empty on success, otherwise the message. Only plain files are taken. Where another run
    // holds the file's lock, the wait goes as `wait` says.
    std::string open(const std::string& path, const LockWait& wait = {});
    // Appends the line and waits until it is on disk. Empty on success, otherwise the message.
    std::string append(const ReportLine& line);
    // Appends the text of a line (Text()), unless it is among the file's last lines already:
    // a line that an earlier run may or may not have written before it was ended.
    std::string appendOnce(const std::string& text);
    // How later appends wait for a lock held by another run.
    void setWait(const LockWait& wait) { file_.setWait(wait); }

    // The line as the file holds it, with its line end.
    static std::string Text(const ReportLine& line);

private:
    std::string write(const std::string& text, bool once);

    std::string path_;
    SharedAppendFile file_;
};

}  // namespace jqz
