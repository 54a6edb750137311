#pragma once
// Programming devices in numbers: a serial number written into each device's image, one
// device after another at the user's word, and a report line for each.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/production/production_report.h"
#include "core/production/serial_number.h"

namespace jqz {
class MemoryImage;
class SupportedDeviceList;

// What a production run is asked for.
struct SeriesOptions {
    std::optional<SerialNumbering> serial;  // checked
    std::optional<std::string> serialFile;  // keeps the next serial number
    std::optional<std::string> report;      // the CSV report appended to
    bool repeat = false;                    // one device after another
};

// What a production run needs, checked and opened before the port is.
struct Production {
    std::optional<SerialNumbering> serial;
    std::string serialFile;  // empty: the numbers are not kept beyond the run
    SerialStateFile serialState;
    std::uint64_t next = 0;  // the number for the next device
    std::unique_ptr<ProductionReport> report;
    std::string reportName;  // the report's full name, as the serial file records it
    bool interrupted = false;  // a stop ended the wait for another run's lock
};

// What a series asks of the program that runs it, as a sequence asks its SequenceHost: the
// log, one device programmed, and the user's word for the next device.
class SeriesHost {
public:
    virtual ~SeriesHost() = default;
    virtual void AddLogLine(const std::string& text, int kind) = 0;
    // The error lines logged so far; errors before the series count against it.
    virtual int errorCount() const = 0;
    // Runs the program sequence over the image as it stands and returns the run's return
    // value (0 when it reached its end).
    virtual int programOne() = 0;
    // The error lines logged during the last programOne(): how many, and the first of them.
    virtual int deviceErrorCount() const = 0;
    virtual std::string deviceFirstError() const = 0;
    // Asks the user to insert the next device: true when it is in, false when the user ends
    // the series (or no answer can come).
    virtual bool nextDevice() = 0;
};

// Refuses a serial number field outside the device's EEPROM, a number that does not fit, and
// a serial or report file that cannot be written: false after the error lines. A serial or
// report file that another run holds is waited for, until `stop` (then `run.interrupted`).
// What an ended run left pending in the serial file is settled: a number that was in progress
// is not used again, and a report line it owed is written.
bool PrepareProduction(const SeriesOptions& o, const SupportedDeviceList& devices,
                       Production& run, SeriesHost& host, const std::atomic<bool>& stop);

// Programs one device, then (with `repeat`) the next ones as the user asks, until a stop.
// True when every device passed and every number and report line was kept.
bool ProgramSeries(const SeriesOptions& o, const SupportedDeviceList& devices, Production& run,
                   MemoryImage& image, SeriesHost& host, const std::atomic<bool>& stop);

}  // namespace jqz
