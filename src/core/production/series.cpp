#include "core/production/series.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

#include "core/platform/atomic_file.h"
#include "core/device/device_write.h"
#include "core/device/supported_device_list.h"
#include "core/image/checksum.h"
#include "core/image/memory_image.h"
#include "core/image/number_parsers.h"

namespace jqz::cli {

namespace {

// Lines of standard input, read one at a time when asked for, on a thread of their own so
// that Ctrl+C is seen while the user has not answered. The thread is left blocked in its
// read when the run ends without a line; it touches nothing but its shared state.
class LineReader {
public:
    enum class Result { Line, End, Stopped };

    Result next(std::string& line, const std::atomic<bool>& stop) {
        if (!thread_) {
            thread_ = true;
            std::thread([shared = shared_] { readLines(*shared); }).detach();
        }
        std::unique_lock lock(shared_->mutex);
        if (!shared_->wanted && !shared_->ready) {
            shared_->wanted = true;
            shared_->changed.notify_all();
        }
        while (!shared_->ready) {
            if (stop.load()) return Result::Stopped;
            shared_->changed.wait_for(lock, std::chrono::milliseconds(50));
        }
        if (stop.load()) return Result::Stopped;
        shared_->ready = false;
        if (shared_->ended) return Result::End;
        line = std::move(shared_->line);
        return Result::Line;
    }

    // What was typed on a terminal before the question is not its answer.
    static void dropTypedAhead() {
#ifndef _WIN32
        if (::isatty(STDIN_FILENO)) ::tcflush(STDIN_FILENO, TCIFLUSH);
#endif
    }

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        bool wanted = false, ready = false, ended = false;
        std::string line;
    };

    static void readLines(Shared& s) {
        for (;;) {
            {
                std::unique_lock lock(s.mutex);
                s.changed.wait(lock, [&] { return s.wanted; });
                s.wanted = false;
            }
            std::string line;
            bool ended = false;
            for (;;) {
                char c = 0;
#ifdef _WIN32
                const int n = ::_read(0, &c, 1);
#else
                const ssize_t n = ::read(STDIN_FILENO, &c, 1);
                if (n < 0 && errno == EINTR) continue;
#endif
                if (n <= 0) {
                    ended = line.empty();
                    break;
                }
                if (c == '\n') break;
                line += c;
            }
            std::lock_guard lock(s.mutex);
            s.line = std::move(line);
            s.ended = ended;
            s.ready = true;
            s.changed.notify_all();
            if (ended) return;
        }
    }

    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    bool thread_ = false;
};

bool isStop(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    while (!line.empty() && line.front() == ' ') line.erase(line.begin());
    return line == "q" || line == "Q";
}

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

bool IsProductionRun(const Options& o) {
    return o.command == "program" && (o.serial || o.report || o.repeat);
}

int PrepareProduction(const Options& o, const SupportedDeviceList& devices, Production& run,
                      CliOutput& out) {
    if (o.serial) {
        const SerialNumbering& n = *o.serial;
        if (n.address < devices.eepromStart || n.lastAddress() > devices.eepromEnd) {
            out.AddLogLine("--serial: " + AddressText(n.address) + "-" +
                               AddressText(n.lastAddress()) + " is not inside the EEPROM of " +
                               devices.selectedName + " (" + AddressText(devices.eepromStart) +
                               "-" + AddressText(devices.eepromEnd) + ")",
                           LogError);
            return kUsage;
        }
        run.serial = n;
        run.next = n.start;
        if (o.serialFile) {
            run.serialFile = *o.serialFile;
            if (std::string refusal = CheckFileWritable(run.serialFile); !refusal.empty()) {
                out.AddLogLine(refusal + " (it keeps the next serial number)", LogError);
                return kUsage;
            }
            if (std::string refusal = run.serialFileLock.acquire(run.serialFile);
                !refusal.empty()) {
                out.AddLogLine(refusal, LogError);
                return kUsage;
            }
            // Read only under the lock: what another run wrote before it is seen.
            const SerialState state = ReadSerialState(run.serialFile);
            if (!state.error.empty()) {
                out.AddLogLine(state.error, LogError);
                return kUsage;
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
            return kUsage;
        }
    }
    if (o.report) {
        run.report = std::make_unique<ProductionReport>();
        if (std::string error = run.report->open(*o.report); !error.empty()) {
            out.AddLogLine(error, LogError);
            return kUsage;
        }
    }
    return kSuccess;
}

int ProgramSeries(const Options& o, const SupportedDeviceList& devices, Production& run,
                  MemoryImage& image, CliOutput& out, const std::atomic<bool>& stop,
                  const std::function<int()>& programOne) {
    const bool errorsBefore = out.errorCount() > 0;
    int devicesDone = 0, passed = 0, failed = 0;
    int used = 0;
    std::uint64_t firstUsed = 0, lastUsed = 0;
    bool keepingFailed = false;  // the serial file or the report could not be written
    bool numbersLeft = true;
    LineReader input;
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
        out.beginDevice();
        const int runResult = programOne();
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
        out.endProgress();
        LineReader::dropTypedAhead();
        out.prompt(kNextDevicePrompt);
        std::string answer;
        if (input.next(answer, stop) != LineReader::Result::Line || isStop(answer)) break;
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
    return failed == 0 && !keepingFailed && !errorsBefore ? kSuccess : kOperationFailed;
}

}  // namespace jqz::cli
