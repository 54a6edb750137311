#pragma once
// The command line's side of a production run: its options, and the user's word for the next
// device read from standard input.
#include <atomic>
#include <functional>

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "core/production/series.h"

namespace jqz::cli {

inline constexpr const char* kNextDevicePrompt =
    "Insert the next device and press Enter (q and Enter to stop).";
// Said before the question is asked again, after an answer that is neither.
inline constexpr const char* kNotAnAnswer =
    "Enter programs the next device; q, quit or n stops the series.";

// Whether the program command runs as a production run.
bool IsProductionRun(const Options& o);

// Refuses a serial number field outside the device's EEPROM, a number that does not fit, and
// a serial or report file that cannot be written; kSuccess, or the exit code after the
// error lines. A file that another run holds is waited for, until `stop`.
int PrepareProduction(const Options& o, const SupportedDeviceList& devices, Production& run,
                      CliOutput& out, const std::atomic<bool>& stop);

// Programs one device, then (with --repeat) the next ones as the user asks. `programOne` runs
// the program sequence over the image as it stands and returns the run's return value (0
// when it reached its end). Returns the exit code.
int ProgramSeries(const Options& o, const SupportedDeviceList& devices, Production& run,
                  MemoryImage& image, CliOutput& out, const std::atomic<bool>& stop,
                  const std::function<int()>& programOne);

}  // namespace jqz::cli
