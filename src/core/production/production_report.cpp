#include "core/production/production_report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/platform/atomic_file.h"

namespace jqz {

std::string CsvField(std::string_view text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return std::string(text);
    std::string s = "\"";
    for (const char c : text) {
        if (c == '"') s += '"';
        s += c;
    }
    return s + "\"";
}

std::string IsoTimeUtc(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto secondsSinceEpoch = floor<seconds>(when);
    const auto day = floor<days>(secondsSinceEpoch);
    const year_month_day date{day};
    const hh_mm_ss time{secondsSinceEpoch - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

ProductionReport::~ProductionReport() = default;

std::string ProductionReport::open(const std::string& path, const LockWait& wait) {
    path_ = path;
    auto failure = [&](const std::string& why) { return "Cannot write the report " + path + ": " + why; };
    if (std::string what = NotAPlainFile(path); !what.empty()) return failure(what);
    if (std::string why = file_.open(path, std::string(kReportHeader) + "\n", wait); !why.empty())
        return failure(why);
    return {};
}

std::string ProductionReport::Text(const ReportLine& line) {
    return line.time + "," + CsvField(line.device) + "," + CsvField(line.serial) + "," +
           CsvField(line.result) + "," + CsvField(line.crc32) + "," + CsvField(line.error) +
           "\n";
}

std::string ProductionReport::append(const ReportLine& line) { return write(Text(line), false); }

std::string ProductionReport::appendOnce(const std::string& text) { return write(text, true); }

std::string ProductionReport::write(const std::string& text, bool once) {
    if (const int error = file_.append(text, once); error != 0)
        return "Cannot write the report " + path_ + ": " +
               (error == ECANCELED ? std::string("the wait for another run's lock was stopped")
                                   : std::strerror(error));
    return {};
}

}  // namespace jqz
