#include "core/production/series.h"

#include <chrono>
#include <filesystem>
#include <cstdio>
#include <vector>

#include "core/platform/atomic_file.h"
#include "core/platform/native_file.h"
#include "core/device/device_write.h"
#include "core/device/supported_device_list.h"
#include "core/image/checksum.h"
#include "core/image/memory_image.h"
#include "core/image/number_parsers.h"

namespace jqz {

namespace {

std::string crcText(std::uint32_t crc) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", crc);
    return text;
}

std::uint32_t eepromCrc(const MemoryImage& image, const SupportedDeviceList& devices) {
    std::vector<std::uint8_t> bytes;
    for (int a = devices.eepromStart; a <= devices.eepromEnd; ++a) bytes.push_back(image.ReadData(a));
    return Crc32(bytes);
}

// How a wait for another run's lock goes: the log says so, and the stop ends it.
LockWait waitFor(const std::string& name, SeriesHost& out, const std::atomic<bool>& stop) {
    return {[name, &out] {
                out.AddLogLine("Waiting for " + name + ", held by another run ...", LogNotice);
            },
            &stop};
}

// A message, then a sentence after it.
std::string thenSentence(const std::string& message, const std::string& sentence) {
    return message + (message.ends_with('.') ? " " : ". ") + sentence;
}

bool interruptedWait(Production& run, SeriesHost& out) {
    run.interrupted = true;
    out.AddLogLine("Interrupted.", LogError);
    return false;
}

// The full name, which names the same file from any folder.
std::string fullName(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(NativePath(path), ec);
    return ec ? path : Utf8Name(full);
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(NativePath(a), NativePath(b), ec) && !ec;
}

// Settles what an ended run left in the serial file: its number in progress stays used, and
// the report line it owed goes into its report.
bool settlePending(const SerialPending& pending, Production& run, SeriesHost& out,
                   const std::atomic<bool>& stop) {
    if (pending.inProgress)
        out.AddLogLine("Serial number " + std::to_string(*pending.inProgress) +
                           " was being programmed when an earlier run ended: its device's "
                           "result is not known, and the number is not used again.",
                       LogNotice);
    if (pending.line.empty() || pending.report.empty()) return true;
    ProductionReport other;
    ProductionReport* report = run.report.get();
    std::string error;
    if (!report || !sameFile(run.reportName, pending.report)) {
        report = &other;
        error = other.open(pending.report, waitFor(pending.report, out, stop));
    }
    if (error.empty()) error = report->appendOnce(pending.line);
    if (error.empty()) return true;
    if (stop.load()) return interruptedWait(run, out);
    std::string line = pending.line;
    line.pop_back();
    out.AddLogLine(thenSentence(error, "It owes the line \"" + line + "\" from an earlier run, "
                                       "which " + run.serialFile + " keeps until it is written."),
                   LogError);
    return false;
}

}  // namespace

bool PrepareProduction(const SeriesOptions& o, const SupportedDeviceList& devices, Production& run,
                       SeriesHost& out, const std::atomic<bool>& stop) {
    SerialPending pending;
    if (o.serial) {
        const SerialNumbering& n = *o.serial;
        if (n.address < devices.eepromStart || n.lastAddress() > devices.eepromEnd) {
            out.AddLogLine("--serial: " + AddressText(n.address) + "-" +
                               AddressText(n.lastAddress()) + " is not inside the EEPROM of " +
                               devices.selectedName + " (" + AddressText(devices.eepromStart) +
                               "-" + AddressText(devices.eepromEnd) + ")",
                           LogError);
            return false;
        }
        run.serial = n;
        run.next = n.start;
        if (o.serialFile) {
            run.serialFile = *o.serialFile;
            if (std::string refusal = CheckFileWritable(run.serialFile); !refusal.empty()) {
                out.AddLogLine(refusal + " (it keeps the next serial number)", LogError);
                return false;
            }
            // The report is written under the serial file's lock, which this run holds.
            if (o.report && sameFile(*o.report, run.serialFile)) {
                out.AddLogLine("The report " + *o.report + " is the serial number file " +
                                   run.serialFile + ": each needs a file of its own",
                               LogError);
                return false;
            }
            SerialState state;
            if (std::string error = run.serialState.open(run.serialFile, n.start, state);
                !error.empty()) {
                out.AddLogLine(error, LogError);
                return false;
            }
            if (!state.error.empty()) {
                out.AddLogLine(state.error, LogError);
                return false;
            }
            run.next = state.next;
            pending = state.pending;
            if (!run.serialState.made())
                out.AddLogLine("Next serial number " + std::to_string(run.next) + " from " +
                                   run.serialFile,
                               LogNotice);
            if (const int removed = RemoveLeftoverTemporaries(run.serialFile); removed > 0)
                out.AddLogLine("Removed " + std::to_string(removed) +
                                   (removed == 1 ? " temporary file" : " temporary files") +
                                   " of " + run.serialFile + " that an ended run left.",
                               LogNotice);
        } else if (o.repeat) {
            out.AddLogLine("No --serial-file: the next serial number is not kept after this run.",
                           LogNotice);
        }
        if (std::string tooLarge = SerialTooLarge(n, run.next); !tooLarge.empty()) {
            out.AddLogLine("--serial: the next serial number " + tooLarge, LogError);
            return false;
        }
    }
    if (o.report) {
        run.report = std::make_unique<ProductionReport>();
        run.reportName = fullName(*o.report);
        if (std::string error = run.report->open(*o.report, waitFor(*o.report, out, stop));
            !error.empty()) {
            if (stop.load()) return interruptedWait(run, out);
            out.AddLogLine(error, LogError);
            return false;
        }
    }
    if (!run.serialFile.empty()) {
        if (!settlePending(pending, run, out, stop)) return false;
        // Written again before the port is opened, pending records settled: a full disk or a
        // file that can no longer be replaced is found now, not after the first device.
        if (std::string error = run.serialState.write(std::to_string(run.next)); !error.empty()) {
            out.AddLogLine(error + " (it keeps the next serial number)", LogError);
            return false;
        }
    }
    // The host told of waits may be gone by the series: ProgramSeries names its own.
    if (run.report) run.report->setWait({});
    return true;
}

bool ProgramSeries(const SeriesOptions& o, const SupportedDeviceList& devices, Production& run,
                   MemoryImage& image, SeriesHost& out, const std::atomic<bool>& stop) {
    const bool errorsBefore = out.errorCount() > 0;
    int devicesDone = 0, passed = 0, failed = 0;
    int used = 0;
    std::uint64_t firstUsed = 0, lastUsed = 0;
    bool keepingFailed = false;  // the serial file or the report could not be written
    bool numbersLeft = true;
    // With a serial file every number is written ahead as in progress before its device is
    // programmed, so that a run ended at any point never gives it out again.
    const bool keeping = run.serial && !run.serialFile.empty();
    if (run.report) run.report->setWait(waitFor(*o.report, out, stop));
    for (;;) {
        std::optional<std::uint64_t> number;
        if (run.serial) number = run.next;
        auto reportLine = [&](const char* result) {
            ReportLine line;
            line.time = IsoTimeUtc(std::chrono::system_clock::now());
            line.device = devices.selectedName;
            line.serial = number ? std::to_string(*number) : std::string();
            line.result = result;
            return line;
        };
        // What the serial file keeps: the report line owed, when there is a report.
        auto owing = [&](const ReportLine& line) {
            SerialPending pending;
            if (run.report) {
                pending.report = run.reportName;
                pending.line = ProductionReport::Text(line);
            }
            return pending;
        };
        if (keeping) {
            ReportLine unknown = reportLine("unknown");
            unknown.error =
                "The run ended while this device was programmed; its result is not known.";
            SerialPending ahead = owing(unknown);
            ahead.inProgress = *number;
            if (std::string e = run.serialState.write(SerialAfter(*run.serial, *number), ahead);
                !e.empty()) {
                out.AddLogLine(
                    thenSentence(e, "The next device is not programmed: the series stops."),
                    LogError);
                keepingFailed = true;
                break;
            }
        }
        ++devicesDone;
        const std::string device = "Device " + std::to_string(devicesDone);
        if (number) {
            const auto bytes = EncodeSerial(*run.serial, *number);  // fits: checked before
            image.BeginBulk();
            for (std::size_t i = 0; i < bytes->size(); ++i)
                image.WriteData(run.serial->address + static_cast<int>(i), (*bytes)[i]);
            image.EndBulk();
            out.AddLogLine("Serial number " + std::to_string(*number) + " at " +
                               AddressText(run.serial->address) + "-" +
                               AddressText(run.serial->lastAddress()),
                           LogNotice);
        }
        const int runResult = out.programOne();
        // A run that reached its end with no error passed, even when Ctrl+C came just after.
        const bool ok = runResult == 0 && out.deviceErrorCount() == 0;
        const bool interrupted = !ok && stop.load();
        std::string error = out.deviceFirstError();
        if (interrupted && error.empty()) error = kProgramInterrupted;

        ReportLine line = reportLine(ok ? "passed" : interrupted ? "interrupted" : "failed");
        if (ok) line.crc32 = crcText(eepromCrc(image, devices));
        if (!ok) line.error = error;
        std::string serialText = number ? std::to_string(*number) : std::string();
        std::string nextText = serialText;  // what the serial file says after the device
        if (ok) {
            ++passed;
            if (number) {
                if (used++ == 0) firstUsed = *number;
                lastUsed = *number;
                nextText = SerialAfter(*run.serial, *number);
                if (keeping) {
                    // Until the report holds its line, the file says which number it owes.
                    SerialPending record = owing(line);
                    if (run.report) record.used = *number;
                    if (std::string e = run.serialState.write(nextText, record); !e.empty()) {
                        out.AddLogLine(thenSentence(e, "Serial number " + serialText +
                                                           " is used, but the file that keeps "
                                                           "the next one could not be written: "
                                                           "the series stops."),
                                       LogError);
                        keepingFailed = true;
                    }
                }
                const auto next = NextSerial(*run.serial, *number);
                numbersLeft = next.has_value();
                if (next) run.next = *next;
            }
            out.AddLogLine(device + " passed" +
                               (number ? ", serial number " + serialText : std::string()) + ".",
                           LogInfo);
        } else {
            ++failed;
            // The number is given back; should that fail, it stays in progress, never reused.
            if (keeping && !keepingFailed) {
                if (std::string e = run.serialState.write(nextText, owing(line)); !e.empty()) {
                    out.AddLogLine(e + ": the series stops.", LogError);
                    keepingFailed = true;
                }
            }
            out.AddLogLine(device + (interrupted ? " interrupted" : " failed") +
                               (number ? "; serial number " + serialText +
                                             " is not used up and goes to the next device"
                                       : std::string()) +
                               ".",
                           LogError);
        }
        if (run.report) {
            if (std::string e = run.report->append(line); !e.empty()) {
                out.AddLogLine(e + ": the series stops.", LogError);
                keepingFailed = true;
            } else if (keeping && !keepingFailed) {
                // The line is in: the serial file owes it no longer.
                if (std::string e2 = run.serialState.write(nextText); !e2.empty()) {
                    out.AddLogLine(e2 + ": the series stops.", LogError);
                    keepingFailed = true;
                }
            }
        }
        if (!o.repeat || keepingFailed || stop.load()) break;
        if (!numbersLeft) {
            out.AddLogLine("The serial numbers are used up: the next one does not fit in " +
                               std::to_string(run.serial->bytes) +
                               (run.serial->bytes == 1 ? " byte." : " bytes."),
                           LogNotice);
            break;
        }
        if (!out.nextDevice()) break;
    }
    if (o.repeat) {
        std::string summary = "Series ended: " + std::to_string(devicesDone) +
                              (devicesDone == 1 ? " device, " : " devices, ") +
                              std::to_string(passed) + " passed, " + std::to_string(failed) +
                              " failed.";
        if (run.serial) {
            summary += used == 0 ? " Serial numbers used: none"
                                 : " Serial numbers used: " + std::to_string(used) + " (" +
                                       std::to_string(firstUsed) +
                                       (used > 1 ? " to " + std::to_string(lastUsed) : "") + ")";
            summary += numbersLeft ? "; next: " + std::to_string(run.next) + "." : ".";
        }
        out.AddLogLine(summary, LogInfo);
    }
    return failed == 0 && !keepingFailed && !errorsBefore;
}

}  // namespace jqz
