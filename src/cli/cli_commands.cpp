#include "cli/cli_commands.h"

#include "cli/cli_bootstrap.h"
#include "cli/cli_production.h"

#include <cstdio>
#include <filesystem>

#include "core/platform/atomic_file.h"
#include "core/app/settings_file.h"
#include <chrono>
#include <condition_variable>
#include <thread>

#include "core/device/device_image_reset.h"
#include "core/device/device_read.h"
#include "core/device/device_write.h"
#include "core/device/sequence_host.h"
#include "core/device/firmware_update.h"
#include "core/device/supported_device_list.h"
#include "core/device/file_for_device.h"
#include "core/files/load_file.h"
#include "core/files/save_file.h"
#include "core/image/checksum.h"
#include "core/image/hex_edit_model.h"
#include "core/image/number_parsers.h"
#include "core/link/connection.h"
#include "core/link/port_enumeration.h"
#include "core/link/posix_serial_port.h"
#include "sim/hc11/virtual_hc11_ports.h"
#include "sim/virtual_programmer.h"

namespace jqz::cli {

namespace {

std::string extensionOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return LowerCase(path.substr(dot + 1));
}

// The save format a name asks for: --to / --format, else the file's extension, else jef.
SaveFormat saveFormatFor(const std::optional<std::string>& chosen, const std::string& path) {
    const std::string f = chosen ? *chosen : extensionOf(path);
    if (f == "s19" || f == "s1" || f == "mot") return SaveFormat::MotorolaS1;
    if (f == "s28" || f == "s2" || f == "srec" || f == "s") return SaveFormat::MotorolaS2;
    if (f == "bin") return SaveFormat::Binary;
    if (f == "ihex" || f == "hex" || f == "ihx") return SaveFormat::IntelHex16;
    return SaveFormat::Extended;
}

std::optional<FileFormat> loadFormatFor(const std::optional<std::string>& chosen) {
    if (!chosen) return std::nullopt;
    if (*chosen == "jef") return FileFormat::Extended;
    if (*chosen == "bin") return FileFormat::Binary;
    if (*chosen == "ihex") return FileFormat::IntelHex;
    return FileFormat::Motorola;
}

// The image of the chosen device (or of no device): every byte 0xFF, only the device's cells
// implemented.
bool prepareImage(const Options& o, SupportedDeviceList& devices, HexEditModel& model,
                  CliOutput& out) {
    if (o.device) {
        devices.selectDevice(*o.device);
        if (devices.deviceType == 0) {
            out.AddLogLine("Unknown device \"" + *o.device + "\" (see the devices command)",
                           LogError);
            return false;
        }
    }
    ResetImageForDevice(model, devices);
    return true;
}

}  // namespace

// The port and rate: the options, else the application's settings file. Where the port
// comes from is said, so that a failed detection names what was tried.
struct LinkChoice {
    std::string port;
    int baud;
};

LinkChoice linkChoice(const Options& o, const Environment& env, CliOutput& out) {
    AppSettings settings;
    std::string bytes;
    // With both given, the settings file has nothing to say.
    const bool needed = !o.port || !o.baud;
    const std::string readError =
        needed ? ReadFileToEnd(env.settingsFile, bytes, 16u * 1024u * 1024u) : std::string();
    const bool haveSettings = needed && readError.empty();
    std::error_code ec;
    const bool unreadable = needed && !haveSettings && std::filesystem::exists(env.settingsFile, ec);
    if (haveSettings) settings.readFrom(NameValueList::Parse(bytes));
    const LinkChoice choice{o.port.value_or(settings.portName), o.baud.value_or(settings.baudRate)};
    const std::string local = LocalPortName(choice.port);
    const std::string port =
        choice.port + (local != choice.port ? " (" + local + ")" : std::string());
    if (unreadable) {
        // One line: what is wrong with the file, and what is used instead.
        std::string line = readError;
        if (line.back() != '.') line += '.';
        line += o.port ? " Using the default rate of " + std::to_string(choice.baud) + " baud."
                       : " Trying the default port " + port + ".";
        out.AddLogLine(line, LogNotice);
        return choice;
    }
    if (!o.port) {
        out.AddLogLine(haveSettings
                           ? "Port " + port + " from the settings file " + env.settingsFile
                           : "No --port given and no settings file " + env.settingsFile +
                                 ": trying the default port " + port,
                       LogNotice);
    }
    return choice;
}

// Opens the system's ports by name, and the built-in virtual programmer by its name.
class PortOpeners {
public:
    OpenedPort open(const std::string& name) {
        if (name != kVirtualProgrammerPort) return OpenSystemPort(name);
        if (!virtualProgrammer_) virtualProgrammer_ = std::make_unique<sim::VirtualProgrammer>();
        return virtualProgrammer_->open();
    }
    PortOpener opener() {
        return [this](const std::string& name) { return open(name); };
    }

private:
    std::unique_ptr<sim::VirtualProgrammer> virtualProgrammer_;
};

// The advice of the core in the command line's words: a port is chosen with --port here.
std::string commandLineAdvice(std::string advice) {
    const std::string window = kChoosePortInWindow;
    if (const auto at = advice.find(window); at != std::string::npos)
        advice.replace(at, window.size(),
                       "Name the programmer's port with --port (the ports command lists them).");
    return advice;
}

// Detects the programmer; nullptr (after the log lines) when it is not there.
std::unique_ptr<COM> connect(const Options& o, const Environment& env, PortOpeners& openers,
                             CliOutput& out) {
    const LinkChoice choice = linkChoice(o, env, out);
    auto com = std::make_unique<COM>(choice.port, choice.baud, openers.opener());
    out.AddLogLine(com->ResultText, com->Connected ? LogNotice : LogError);
    if (!com->ResultAdvice.empty())
        out.AddLogLine(commandLineAdvice(com->ResultAdvice),
                       com->ResultAdvice == kProgrammerLost ? LogError : LogNotice);
    if (!com->Connected) return nullptr;
    return com;
}

// The sequences' host on the command line: the connection or the cable, the options the command line
// chose, the image, the log on standard error and the gauge as a progress bar.
class CliHost : public SequenceHost {
public:
    // com: the programmer's connection; link: the cable's link (the other one null).
    CliHost(COM* com, TargetLink* link, SupportedDeviceList& devices, HexEditModel& model,
            CliOutput& out)
        : com_(com), link_(link), devices_(devices), model_(model), out_(out) {
        gauge_.setChangeHandler([this](int maximum, int position) { out_.progress(position, maximum); });
    }
    ~CliHost() override { gauge_.setChangeHandler({}); }

    COM* connection() override { return com_; }
    TargetLink* target() override { return link_; }
    const SequenceOptions& options() override { return options_; }
    const SupportedDeviceList& devices() override { return devices_; }
    MemoryImage& image() override { return model_.image; }
    LogSink& log() override { return out_; }
    ProgressGauge& gauge() override { return gauge_; }
    void SequenceEnded(SequenceKind) override {
        std::lock_guard lock(mutex_);
        ended_ = true;
        endedChanged_.notify_all();
    }

    // Waits for the run's end; a stop request (Ctrl+C) is handed to `stop` once.
    template <typename Stop>
    void waitForEnd(const std::atomic<bool>& interrupted, Stop&& stop) {
        std::unique_lock lock(mutex_);
        while (!ended_) {
            if (interrupted.load()) {
                lock.unlock();
                out_.endProgress();
                stop();  // waits for the worker, which ends the run
                return;
            }
            endedChanged_.wait_for(lock, std::chrono::milliseconds(50));
        }
    }

    SequenceOptions options_;

private:
    COM* com_;
    TargetLink* link_;
    SupportedDeviceList& devices_;
    HexEditModel& model_;
    CliOutput& out_;
    ProgressGauge gauge_;
    std::mutex mutex_;
    std::condition_variable endedChanged_;
    bool ended_ = false;
};

// Says why a file cannot be read: missing, or what it is and what the system said.
void reportUnreadable(const std::string& path, CliOutput& out) {
    std::error_code ec;
    if (std::filesystem::status(path, ec).type() == std::filesystem::file_type::not_found) {
        out.AddLogLine(kFileNotAccessible + std::string(" ") + path, LogError);
        return;
    }
    std::string head;
    std::string error = readFileBytes(path, 0, 1, head);
    if (error.empty()) error = "Cannot read file \"" + path + "\".";
    out.AddLogLine(error, LogError);
}

// The load request of the command line: the format chosen or detected, and the ranges.
// `bytes`, when given, are the file read already: its format is told from them.
std::optional<LoadRequest> loadRequestFor(const Options& o, const std::string& path,
                                          CliOutput& out,
                                          std::optional<std::string_view> bytes = std::nullopt) {
    LoadRequest request;
    request.fileName = path;
    if (const auto forced = loadFormatFor(o.format)) {
        request.format = *forced;
    } else if (bytes) {
        request.format = OfferedFormatsFor(*bytes).front();
    } else {
        const auto offered = OfferedFormats(path);
        if (!offered) {
            reportUnreadable(path, out);
            return std::nullopt;
        }
        request.format = offered->front();
    }
    request.entireFile = !o.lowest && !o.highest && !o.offset;
    if (o.lowest) request.lowestText = *o.lowest;
    if (o.highest) request.highestText = *o.highest;
    if (o.offset) request.offsetText = *o.offset;
    if (o.clear) request.clear = *o.clear == "00" ? ClearChoice::Zeros : ClearChoice::Ones;
    return request;
}

constexpr const char* kIntelHexHint =
    "Check its first line (count, address, type, data and checksum), or give --format ihex to "
    "skip lines that are not records";
constexpr const char* kBinaryHint = "If it is a binary file, give --format bin.";

// What a file held, in plain words, for the refusal below.
std::string whatTheFileHeld(const FileForDevice& file, FileFormat format, bool intelNamed) {
    if (file.empty) return "the file is empty.";
    if (intelNamed)
        return "the file looks like Intel HEX (its lines start with ':'), but its first line is "
               "not a valid Intel HEX record.";
    if (file.cellsWritten == 0) {
        if (format == FileFormat::Binary) return "none of its bytes lands in the memory image.";
        if (file.lines == 0) return "it has only blank lines.";
        return "none of its " + std::to_string(file.lines) + " line" +
               (file.lines == 1 ? "" : "s") + " is " + FormatNameWithArticle(format) +
               " data record that lands in the memory image.";
    }
    return "its " + std::to_string(file.cellsWritten) +
           (file.cellsWritten == 1 ? " byte lands at " : " bytes land at ") + AddressText(file.lowestWritten) +
           "-" + AddressText(file.highestWritten) + ".";
}

// program and verify refuse, before the port is opened, a file that would program or verify
// only the blank image: one with nothing for the device's EEPROM (or CONFIG with --config),
// or Intel HEX taken as binary because its format was not recognised.
// Whether program or verify uses the file's data at all: erasing alone needs nothing of it.
// Verifying alone (program --no-program) compares the device with the file, so it uses it too;
// after an erase, --no-program checks the EEPROM blank and needs nothing of the file.
bool usesEepromData(const Options& o) {
    const bool program = o.command == "program";
    return !program || !o.noProgram || (o.verify.value_or(true) && !o.erase);
}

bool usesFileData(const Options& o) {
    return usesEepromData(o) || (o.command == "program" && o.config);
}

// Whether a file's first bytes hold control characters that no text file has: a binary file
// that "S1" or "X0" among its first bytes made look like records.
bool mayBeBinary(std::string_view bytes) {
    for (unsigned char c : bytes.substr(0, kDetectBytes))
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') || c == 0x7F)
            return true;
    return false;
}

// What the command would do with the file's bytes.
std::string usedAs(const Options& o) {
    if (o.command == "program") return "programmed";
    if (o.command == "verify") return "verified";
    if (o.command == "convert") return "converted";
    return "summed";
}

// The file is read once and judged before anything is loaded or sent: the bytes judged are the
// bytes loaded, even if the file is replaced in the meantime. Refused (with the exit code):
// Intel HEX taken as binary because its first line is no record, and a damaged file (a bad
// checksum, a line that is no record, text after a record, two values for one address, no
// end record) unless --lenient. `devices` tells where the EEPROM is, for program and verify.
int judgeFile(const Options& o, const std::string& path, const SupportedDeviceList& devices,
              LoadRequest& loaded, FileForDevice& file, CliOutput& out) {
    std::string bytes;
    if (std::string error = readTextFile(path, bytes); !error.empty()) {
        // A file that is not there: named so unless a format was chosen for convert or
        // checksum, which then say why it could not be opened.
        std::error_code ec;
        const bool named = o.format && o.command != "program" && o.command != "verify";
        if (named || std::filesystem::exists(path, ec)) out.AddLogLine(error, LogError);
        else reportUnreadable(path, out);
        return kUsage;
    }
    auto request = loadRequestFor(o, path, out, bytes);
    if (!request) return kUsage;
    const auto placement = LoadPlacement(*request, out);
    if (!placement) return kUsage;
    ExamineBytesForDevice(bytes, request->format, *placement, devices, file);
    const bool binaryLike = mayBeBinary(bytes);
    request->fileBytes = std::move(bytes);
    loaded = std::move(*request);
    if (IntelHexTakenAsBinary(file, loaded.format, o.format.has_value())) {
        out.AddLogLine(path + " looks like Intel HEX (its lines start with ':'), but its first "
                              "line is not a valid record: taken as binary, its text would be " +
                           usedAs(o) + " as data.",
                       LogError);
        out.AddLogLine(std::string(kIntelHexHint) + ", or give --format bin to take its bytes as "
                                                    "they are.",
                       LogNotice);
        return kUsage;
    }
    // A file with nothing of the format in it (no data record, no record with a bad checksum
    // or with text after it) is refused as such, by the caller or the load.
    auto count = [&file](FileFault f) { return file.faults[static_cast<std::size_t>(f)].count; };
    const bool ofTheFormat = file.hasDataRecord || count(FileFault::BadChecksum) > 0 ||
                             count(FileFault::ExtraText) > 0;
    if (o.lenient || !file.firstFault || !ofTheFormat) return kSuccess;
    const FileFault fault = *file.firstFault;
    out.AddLogLine(path + ": " +
                       FileFaultText(fault, file.faults[static_cast<std::size_t>(fault)],
                                     loaded.format) +
                       ". A damaged file is not " + usedAs(o) +
                       " (--lenient takes it as the window program does, with notices).",
                   LogError);
    if (binaryLike && !o.format) out.AddLogLine(kBinaryHint, LogNotice);
    return kUsage;
}

// program and verify refuse, before the port is opened, a file that would program or verify
// only the blank image: one with nothing for the device's EEPROM (or CONFIG with --config).
int refuseFileWithoutDeviceData(const Options& o, const SupportedDeviceList& devices,
                                const LoadRequest& request, const FileForDevice& file,
                                CliOutput& out) {
    const bool program = o.command == "program";
    const bool usesEeprom = usesEepromData(o);
    const bool usesConfig = program && o.config;
    const std::string& path = o.arguments[0];
    const bool intelNamed = file.intelHexLookAlike && o.format != "bin";
    if (HoldsDataForDevice(file, usesEeprom, usesConfig)) return kSuccess;
    std::string where;
    if (usesEeprom)
        where = "the EEPROM (" + AddressText(devices.eepromStart) + "-" +
                AddressText(devices.eepromEnd) + ")";
    if (usesConfig)
        where += (where.empty() ? "" : " or ") + std::string("the CONFIG register (") +
                 AddressText(devices.configAddress) + ")";
    out.AddLogLine(path + " holds nothing for " + where + " of " + devices.selectedName +
                       ", so there is nothing to " + (program ? "program" : "verify") + ": " +
                       whatTheFileHeld(file, request.format, intelNamed),
                   LogError);
    if (intelNamed) out.AddLogLine(std::string(kIntelHexHint) + ".", LogNotice);
    else if (!o.format && request.format != FileFormat::Binary && mayBeBinary(*request.fileBytes))
        out.AddLogLine(kBinaryHint, LogNotice);
    return kUsage;
}

// Loads FILE for convert and checksum, judged first unless it is taken as binary by choice.
LoadResult loadJudged(const Options& o, const std::string& path, SupportedDeviceList& devices,
                      HexEditModel& model, CliOutput& out, int& rc) {
    std::vector<std::string> recent;
    LoadRequest request;
    if (o.format == "bin") {
        const auto chosen = loadRequestFor(o, path, out);
        if (!chosen) {
            rc = kUsage;
            return {};
        }
        request = *chosen;
    } else {
        FileForDevice file;
        if ((rc = judgeFile(o, path, devices, request, file, out)) != kSuccess) return {};
    }
    LoadResult loaded = LoadImageFile(request, model, recent, out, out);
    rc = loaded ? kSuccess : kUsage;
    if (!loaded && !o.format && request.format != FileFormat::Binary && request.fileBytes &&
        mayBeBinary(*request.fileBytes))
        out.AddLogLine(kBinaryHint, LogNotice);
    return loaded;
}

int SaveFrom(const Options& o, const std::optional<std::string>& format, const std::string& path,
             HexEditModel& model, CliOutput& out) {
    SaveRequest request;
    request.fileName = path;
    request.format = saveFormatFor(format, path);
    request.entireBuffer = !o.saveLowest && !o.saveHighest;
    if (o.saveLowest) request.lowestText = *o.saveLowest;
    if (o.saveHighest) request.highestText = *o.saveHighest;
    request.saveUnimplemented = o.saveUnimplemented;
    // A text file of no record but its end says nothing: refused rather than written.
    if (request.format != SaveFormat::Binary && !o.saveUnimplemented) {
        const int a = o.saveLowest ? ConvertNumber(*o.saveLowest).value_or(0) : 0;
        const int b = o.saveHighest ? ConvertNumber(*o.saveHighest).value_or(0xFFFF) : 0xFFFF;
        bool any = false;
        for (int c = std::min(a, b); c <= std::max(a, b) && !any; ++c)
            any = !model.image.IsUnimplemented(c);
        if (!any) {
            out.AddLogLine(
                "Nothing to write to " + path + ": " + AddressText(std::min(a, b)) + "-" +
                    AddressText(std::max(a, b)) +
                    (o.device ? " holds no cell of " + *o.device : " holds no byte of the input") +
                    " (--save-unimplemented writes the range whole).",
                LogError);
            return kUsage;
        }
    }
    // Choosing the 2-byte S format on the command line answers its question.
    out.setAnswer(Answer::Yes);
    const bool saved = SaveImageFile(request, model, out, out);
    out.setAnswer(Answer::No);
    // The range was checked with the command line: what fails here is the writing.
    return saved ? kSuccess : kOperationFailed;
}

// The figures of the image that FILE makes, over --lowest..--highest, else the device's
// EEPROM, else the addresses the file filled; printed on standard output.
int ChecksumFile(const Options& o, SupportedDeviceList& devices, CliOutput& out) {
    HexEditModel model;
    if (!prepareImage(o, devices, model, out)) return kUsage;
    const std::string& path = o.arguments[0];
    // The range is of the image, not of the file: the file is loaded whole.
    Options whole = o;
    whole.lowest.reset();
    whole.highest.reset();
    int rc = kSuccess;
    const LoadResult loaded = loadJudged(whole, path, devices, model, out, rc);
    if (rc != kSuccess) return rc;

    int first = 0, last = -1;
    if (model.hasEeprom()) {
        first = model.eepromStart;
        last = model.eepromEnd;
    } else if (loaded.counts.placedCells.any()) {
        const auto& cells = loaded.counts.placedCells;
        first = 0;
        while (!cells.test(static_cast<std::size_t>(first))) ++first;
        last = MemoryImage::LastAddress();
        while (!cells.test(static_cast<std::size_t>(last))) --last;
    }
    if (o.lowest) first = ConvertNumber(*o.lowest).value_or(0);
    if (o.highest) last = ConvertNumber(*o.highest).value_or(0);
    if (last < 0 && !o.highest) {
        out.AddLogLine(path + " puts no byte into the image (0x0000-0xFFFF): give the range "
                              "with --lowest and --highest.",
                       LogError);
        return kUsage;
    }
    if (first > last) {
        const std::string from = o.lowest ? "--lowest " + *o.lowest
                                          : "the first address, " + AddressText(first) + ",";
        const std::string to =
            o.highest ? "--highest " + *o.highest
                      : std::string(model.hasEeprom() ? "the EEPROM's last address, "
                                                      : "the last address the file fills, ") +
                            AddressText(last);
        out.AddLogLine(from + " is above " + to + ": the range is empty.", LogError);
        return kUsage;
    }
    const ChecksumReport report = ImageChecksumReport(path, model.image, first, last);
    const std::string line =
        o.json ? "{" + CliOutput::ChecksumJson(report, false) + ",\"file\":" +
                     CliOutput::JsonString(path) + "}"
               : report.text();
    std::printf("%s\n", line.c_str());
    return kSuccess;
}

int RunCommand(const Options& o, const Environment& env, CliOutput& out,
               const std::atomic<bool>& stop) {
    (void)stop;
    SupportedDeviceList devices(env.programFolder);
    // Lists on standard output: a line each, or with --json one object.
    auto list = [&o](const char* name, const std::vector<std::string>& items) {
        if (o.json)
            std::printf("{\"%s\":%s}\n", name, CliOutput::JsonArray(items).c_str());
        else
            for (const auto& item : items) std::printf("%s\n", item.c_str());
        return kSuccess;
    };
    if (o.command == "devices" && o.bootstrap) return ListBootstrapDevices(devices);
    if (o.command == "devices") return list("devices", devices.deviceNames());
    if (o.command == "ports") {
        std::vector<std::string> ports = EnumeratePorts();
        // In JSON a list of names only: none found is an empty list.
        if (o.json) std::erase(ports, std::string(kNoPortDetected));
        ports.push_back(kVirtualProgrammerPort);
        return list("ports", ports);
    }
    if (o.command == "convert") {
        HexEditModel model;
        if (!prepareImage(o, devices, model, out)) return kUsage;
        int rc = kSuccess;
        const LoadResult loaded = loadJudged(o, o.arguments[0], devices, model, out, rc);
        if (rc != kSuccess) return rc;
        // Without a device or a range, only what the input filled is written (the cells it
        // left out are not the image's to write), as srec_cat does.
        if (!o.device && !o.lowest && !o.highest && !o.offset && !o.clear && !o.saveLowest &&
            !o.saveHighest)
            for (int a = 0; a <= MemoryImage::LastAddress(); ++a)
                if (!loaded.counts.placedCells.test(static_cast<std::size_t>(a)))
                    model.image.SetUnimplemented(a, true);
        return SaveFrom(o, o.toFormat, o.arguments[1], model, out);
    }
    if (o.command == "checksum" && o.bootstrap && !o.device) {
        out.AddLogLine("checksum over the cable needs --device", LogError);
        return kUsage;
    }
    if (o.command == "checksum" && !o.bootstrap) return ChecksumFile(o, devices, out);
    if (o.command == "detect") {
        PortOpeners openers;
        auto com = connect(o, env, openers, out);
        if (!com) return kNoProgrammer;
        if (o.json)
            std::printf("{\"programmer\":%s}\n", CliOutput::JsonString(com->ResultText).c_str());
        else
            std::printf("%s\n", com->ResultText.c_str());
        return kSuccess;
    }
    if (o.command == "program" || o.command == "verify" || o.command == "read") {
        if (!o.device) {
            out.AddLogLine(o.command + " needs --device (see the devices command)", LogError);
            return kUsage;
        }
    }
    HexEditModel model;
    if (!prepareImage(o, devices, model, out)) return kUsage;
    if (o.command == "program" || o.command == "verify") {
        // The file is looked at first, so that one holding nothing for the device is named
        // for what it holds rather than only as a file without data.
        if (usesFileData(o)) {
            LoadRequest request;
            FileForDevice file;
            if (const int rc = judgeFile(o, o.arguments[0], devices, request, file, out);
                rc != kSuccess)
                return rc;
            if (const int rc = refuseFileWithoutDeviceData(o, devices, request, file, out);
                rc != kSuccess)
                return rc;
            std::vector<std::string> recent;
            if (!LoadImageFile(request, model, recent, out, out)) return kUsage;
        }
    }
    Production production;
    if (IsProductionRun(o))
        if (const int rc = PrepareProduction(o, devices, production, out); rc != kSuccess)
            return rc;
    if (o.command == "read") {
        // Refused before the device is read, rather than throwing the reading away.
        if (std::string refusal = CheckFileWritable(o.arguments[0]); !refusal.empty()) {
            out.AddLogLine(refusal, LogError);
            return kOperationFailed;
        }
    }
    // The programmer on its port, or the cable (whose port opens for each run).
    PortOpeners openers;
    sim::VirtualHc11Ports cablePorts;
    std::unique_ptr<COM> com;
    std::unique_ptr<TargetLink> cable;
    if (o.bootstrap) {
        int rc = kSuccess;
        cable = MakeCableLink(o, devices, cablePorts, out, rc);
        if (!cable) return rc;
    } else {
        com = connect(o, env, openers, out);
        if (!com) return kNoProgrammer;
    }
    // One run of the program sequence over the image as it stands.
    auto programDevice = [&] {
        CliHost host(com.get(), cable.get(), devices, model, out);
        SequenceOptions& opt = host.options_;
        const bool program = o.command == "program";
        opt.EraseEepromOn = program && o.erase;
        opt.ProgramEepromOn = program && !o.noProgram;
        opt.VerifyEepromOn = !program || o.verify.value_or(true);
        opt.ConfProgEnable = program && o.config;
        opt.SkipBlankBlocks = program && o.skipBlank;
        if (o.skipBlank && !o.erase && !o.bootstrap)
            out.AddLogLine("--skip-blank leaves out blank blocks only after --erase: every block "
                           "is written.",
                       LogNotice);
        opt.PTErrorsOBP = o.ignoreObp;
        opt.PTErrorsICP = o.ignoreIcp;
        DeviceWrite driver(host);
        driver.Start();
        host.waitForEnd(stop, [&driver] { driver.Stop(); });
        const int result = driver.WaitFor();
        out.endProgress();
        return result;
    };
    if (IsProductionRun(o))
        return ProgramSeries(o, devices, production, model.image, out, stop, programDevice);
    CliHost host(com.get(), cable.get(), devices, model, out);
    SequenceOptions& opt = host.options_;
    int runResult = 0;
    if (o.command == "program" || o.command == "verify") {
        runResult = programDevice();
    } else if (o.command == "read" || o.command == "checksum") {
        // checksum (over the cable) reads the EEPROM for its figures.
        const bool checksum = o.command == "checksum";
        opt.ReadEepromOn = checksum || o.readEeprom;
        opt.ReadFlashOn = !checksum && o.readRom;
        opt.ReadRomOn = !checksum && o.readBootRom;
        DeviceRead driver(host);
        driver.Start();
        host.waitForEnd(stop, [&driver] { driver.Stop(); });
        runResult = driver.WaitFor();
    } else if (o.command == "update-firmware") {
        FirmwareUpdate update(host);
        update.Start();
        host.waitForEnd(stop, [&update] { update.Stop(); });
        runResult = update.WaitFor();
        // A failure by itself ends with its own line; "Interrupted." is for a stop.
        if (!stop.load()) update.Release();
    }
    out.endProgress();
    if (runResult != 0 || out.errorCount() > 0) return kOperationFailed;
    if (o.command == "read") return SaveFrom(o, o.format, o.arguments[0], model, out);
    if (o.command == "checksum") {
        const ChecksumReport report = ImageChecksumReport(
            devices.selectedName + " EEPROM", model.image, devices.eepromStart, devices.eepromEnd);
        const std::string line = o.json ? "{" + CliOutput::ChecksumJson(report) + "}" : report.text();
        std::printf("%s\n", line.c_str());
    }
    return kSuccess;
}

}  // namespace jqz::cli
