#pragma once
// Programming devices in numbers: a serial number written into each device's image, one
// device after another at the user's word, and a report line for each.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "core/production/production_report.h"
#include "core/production/serial_number.h"

namespace jqz {
class MemoryImage;
class SupportedDeviceList;
}  // namespace jqz

namespace jqz::cli {

inline constexpr const char* kNextDevicePrompt =
    "Insert the next device and press Enter (q and Enter to stop).";

// What a production run needs, checked and opened before the port is.
struct Production {
    std::optional<SerialNumbering> serial;
    std::string serialFile;  // empty: the numbers are not kept beyond the run
    SerialStateLock serialFileLock;
    std::uint64_t next = 0;  // the number for the next device
    std::unique_ptr<ProductionReport> report;
};

// Whether the program command runs as a production run.
bool IsProductionRun(const Options& o);

// Refuses a serial number field outside the device's EEPROM, a number that does not fit, and
// a serial or report file that cannot be written; kSuccess, or the exit code after the
// error lines.
int PrepareProduction(const Options& o, const SupportedDeviceList& devices, Production& run,
                      CliOutput& out);

// Programs one device, then (with --repeat) the next ones as the user asks. `programOne` runs
// the program sequence over the image as it stands and returns the run's return value (0
// when it reached its end). Returns the exit code.
int ProgramSeries(const Options& o, const SupportedDeviceList& devices, Production& run,
                  MemoryImage& image, CliOutput& out, const std::atomic<bool>& stop,
                  const std::function<int()>& programOne);

}  // namespace jqz::cli
