#include "core/production/series.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "core/platform/atomic_file.h"
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

}  // namespace

bool PrepareProduction(const SeriesOptions& o, const SupportedDeviceList& devices, Production& run,
                       SeriesHost& out) {
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
            if (std::string refusal = run.serialFileLock.acquire(run.serialFile);
                !refusal.empty()) {
                out.AddLogLine(refusal, LogError);
                return false;
            }
            // Read only under the lock: what another run wrote before it is seen.
            const SerialState state = ReadSerialState(run.serialFile);
            if (!state.error.empty()) {
                out.AddLogLine(state.error, LogError);
                return false;
            }
            if (state.present) {
                run.next = state.next;
                out.AddLogLine("Next serial number " + std::to_string(run.next) + " from " +
                                   run.serialFile,
                               LogNotice);
            }
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
        if (std::string error = run.report->open(*o.report); !error.empty()) {
            out.AddLogLine(error, LogError);
            return false;
        }
    }
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
    for (;;) {
        ++devicesDone;
        const std::string device = "Device " + std::to_string(devicesDone);
        std::optional<std::uint64_t> number;
        if (run.serial) {
            number = run.next;
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

        std::string serialText = number ? std::to_string(*number) : std::string();
        if (ok) {
            ++passed;
            if (number) {
                if (used++ == 0) firstUsed = *number;
                lastUsed = *number;
                if (!run.serialFile.empty()) {
                    if (std::string e = WriteSerialState(run.serialFile, *run.serial, *number);
                        !e.empty()) {
                        out.AddLogLine(e + ". Serial number " + serialText +
                                           " is used, but the file that keeps the next one "
                                           "could not be written: the series stops.",
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
            out.AddLogLine(device + (interrupted ? " interrupted" : " failed") +
                               (number ? "; serial number " + serialText +
                                             " is not used up and goes to the next device"
                                       : std::string()) +
                               ".",
                           LogError);
        }
        if (run.report) {
            ReportLine line;
            line.time = IsoTimeUtc(std::chrono::system_clock::now());
            line.device = devices.selectedName;
            line.serial = serialText;
            line.result = ok ? "passed" : interrupted ? "interrupted" : "failed";
            if (ok) line.crc32 = crcText(eepromCrc(image, devices));
            if (!ok) line.error = error;
            if (std::string e = run.report->append(line); !e.empty()) {
                out.AddLogLine(e + ": the series stops.", LogError);
                keepingFailed = true;
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
