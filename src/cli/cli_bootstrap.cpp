#include "cli/cli_bootstrap.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/device/cable_operations.h"
#include "core/image/checksum.h"
#include "core/image/number_parsers.h"
#include "core/link/bootstrap_link.h"
#include "core/link/port_enumeration.h"
#include "sim/hc11/virtual_hc11.h"

namespace jqz::cli {

namespace {

// With the reset by hand, the wait for the user's reset before the sync is sent anyway.
constexpr int kBreakWaitMs = 5000;

BootLinkOptions linkOptions(const Options& o) {
    BootLinkOptions b;
    b.xtalMHz = o.xtalMHz;
    b.reset = o.reset == "dtr" ? BootReset::Dtr : o.reset == "rts" ? BootReset::Rts : BootReset::None;
    b.rate = o.bootRate == "1200" ? BootRate::Slow1200 : BootRate::Fast;
    b.breakWaitMs = kBreakWaitMs;
    return b;
}

// The cells of the image from first to last.
std::vector<std::uint8_t> cellsOf(const MemoryImage& image, int first, int last) {
    std::vector<std::uint8_t> cells;
    for (int a = first; a <= last; ++a) cells.push_back(image.ReadData(a));
    return cells;
}

}  // namespace

int ListBootstrapDevices(const SupportedDeviceList& devices) {
    for (const auto& name : devices.deviceNames()) {
        std::string why;
        const auto part = BootPartOfDevice(name, &why);
        if (!part) {
            std::printf("%s\t%s\n", name.c_str(), why.c_str());
            continue;
        }
        std::string what = "EEPROM and CONFIG: read, program, verify; ROM and boot ROM: read";
        if (part->eprom) what += "; EPROM: read only (programming needs the programmer's 12 V)";
        if (part->secured) what += "; secured: bootstrap mode erases its EEPROM (--secured-ok)";
        std::printf("%s\t%s\n", name.c_str(), what.c_str());
    }
    return kSuccess;
}

namespace {

// One device over the cable: the port opened, the talker started, the command run.
int cableRun(const Options& o, const BootPart& bootPart, const SupportedDeviceList& devices,
             HexEditModel& model, CliOutput& out, const std::atomic<bool>& stop) {
    const BootPart* part = &bootPart;
    std::unique_ptr<sim::VirtualHc11> virtualPart;
    OpenedPort opened;
    if (*o.port == kVirtualHc11Port) {
        sim::Hc11Options options;
        options.part = part->family == "EA9" || part->family == "L6" ? "E9" : part->family;
        options.xtalMHz = o.xtalMHz;
        options.secured = part->secured;
        virtualPart = std::make_unique<sim::VirtualHc11>(options);
        opened = virtualPart->open();
    } else {
        opened = OpenSystemPort(*o.port);
    }
    if (!opened.port) {
        out.AddLogLine("The port " + *o.port + " does not open: " +
                           std::string(std::strerror(opened.error)),
                       LogError);
        return kOperationFailed;
    }
    SerialPort& port = *opened.port;
    port.setStopFlag(&stop);
    BootstrapLink link(port, *part, linkOptions(o));
    if (o.reset == "none")
        out.prompt("Hold MODA and MODB low and reset the board now (" + part->family + ", " +
                   XtalText(o.xtalMHz) + " MHz crystal); the program goes on as it starts, or " +
                   std::to_string(kBreakWaitMs / 1000) + " s from now.");
    // After a stop the failure is the stop's doing: the run ends with that alone.
    const auto fail = [&](const std::string& error) {
        out.endProgress();
        out.AddLogLine(stop.load() ? std::string("Interrupted.") : error, LogError);
        return kOperationFailed;
    };
    if (!link.Start(o.securedOk)) return fail(link.error());
    out.AddLogLine("Bootstrap cable on " + *o.port + ", " + std::to_string(link.baudRate()) +
                       " baud (" + XtalText(o.xtalMHz) + " MHz crystal): talker \"" +
                       talker::kIdentityText + "\" running on the " + part->family,
                   LogInfo);
    const int first = devices.eepromStart, last = devices.eepromEnd;
    const auto start = static_cast<std::uint16_t>(first);
    std::vector<std::uint8_t> config(1);
    if (!link.Read(static_cast<std::uint16_t>(devices.configAddress), config))
        return fail(link.error());
    out.AddLogLine(ConfigText(config[0]), LogInfo);
    // With EEON clear the EEPROM is out of the memory map: it can be neither read nor written
    // (CONFIG still can, and takes effect at the next reset).
    const bool eepromOn = (config[0] & kConfigEeon) != 0;
    const bool configOnly = o.command == "program" && o.config;
    if (!eepromOn && o.command != "read" && !configOnly)
        return fail("The part's EEPROM is switched off (EEON 0 in CONFIG): program CONFIG with "
                    "EEON set (--config), reset the board, then start again.");
    // CONFIG first: should erasing it (a bulk erase at its address) touch the EEPROM too, the
    // smart write below finds the EEPROM as it is.
    if (o.command == "program" && o.config) {
        const auto configAt = static_cast<std::uint16_t>(devices.configAddress);
        const std::uint8_t value = model.image.ReadData(devices.configAddress);
        std::uint8_t back = 0;
        // CONFIG reads as it was latched at reset, not as its cell holds it now: the cell is
        // erased and programmed whatever it reads, the cycles checked by their replies, the
        // value by a read after the next reset.
        if (!link.ClearBprot() || !link.EepromCycle(configAt, 0xFF, talker::kErase, back) ||
            (value != 0xFF && !link.EepromCycle(configAt, value, 0, back)))
            return fail(link.error());
        out.AddLogLine("CONFIG " + HexByteText(value) + " written; it takes effect, and reads "
                                                      "back, at the next reset.",
                       LogInfo);
    }
    if (o.command == "program" && !eepromOn) {
        out.AddLogLine("The EEPROM is switched off (EEON 0): only CONFIG is written; reset the "
                       "board and program again for the EEPROM.",
                       LogNotice);
        return kSuccess;
    }
    if (o.command == "program") {
        const auto wanted = cellsOf(model.image, first, last);
        if (o.erase) {
            std::uint8_t back = 0;
            if (!link.ClearBprot() || !link.EepromCycle(start, 0xFF, talker::kErase, back))
                return fail(link.error());
            out.AddLogLine("EEPROM erased.", LogInfo);
        }
        if (!o.noProgram) {
            CableWriteReport report;
            std::string error;
            const bool done = CableProgram(link, start, wanted, true, report, error,
                                           [&out](int d, int n) { out.progress(d, n); });
            out.endProgress();
            if (!done) return fail(error + " (" + report.text() + ")");
            out.AddLogLine(report.text(), LogInfo);
        } else if (o.erase) {
            std::string error;
            if (!CableVerify(link, start, std::vector<std::uint8_t>(wanted.size(), 0xFF), error))
                return fail(error);
            out.AddLogLine("EEPROM blank.", LogInfo);
        }
        const ChecksumReport sums =
            ImageChecksumReport(devices.selectedName + " EEPROM", model.image, first, last);
        out.AddChecksumLine(sums);
        return kSuccess;
    }
    if (o.command == "verify") {
        std::string error;
        if (!CableVerify(link, start, cellsOf(model.image, first, last), error)) return fail(error);
        out.AddLogLine("EEPROM verified.", LogInfo);
        return kSuccess;
    }
    if (o.command == "checksum") {
        std::vector<std::uint8_t> cells(static_cast<std::size_t>(last - first + 1));
        if (!link.Read(start, cells)) return fail(link.error());
        for (std::size_t i = 0; i < cells.size(); ++i)
            model.image.WriteData(first + static_cast<long long>(i), cells[i]);
        const ChecksumReport report =
            ImageChecksumReport(devices.selectedName + " EEPROM", model.image, first, last);
        const std::string line =
            o.json ? "{" + CliOutput::ChecksumJson(report) + "}" : report.text();
        std::printf("%s\n", line.c_str());
        return kSuccess;
    }
    // read
    struct Region {
        bool chosen;
        int first, last;
        const char* name;
    };
    const Region regions[] = {
        {o.readEeprom, devices.eepromStart, devices.eepromEnd, "EEPROM"},
        {o.readRom, devices.romArea1Start, devices.romArea1End, "ROM"},
        {o.readRom, devices.romArea2Start, devices.romArea2End, "ROM"},
        {o.readBootRom, devices.bootRomStart, devices.bootRomEnd, "boot ROM"},
    };
    for (const auto& r : regions) {
        if (!r.chosen || r.last <= r.first) continue;
        std::vector<std::uint8_t> cells(static_cast<std::size_t>(r.last - r.first + 1));
        if (!link.Read(static_cast<std::uint16_t>(r.first), cells)) return fail(link.error());
        for (std::size_t i = 0; i < cells.size(); ++i)
            model.image.WriteData(r.first + static_cast<long long>(i), cells[i]);
        out.AddLogLine(std::string(r.name) + " " + AddressText(r.first) + "-" +
                           AddressText(r.last) + " read.",
                       LogInfo);
    }
    return SaveFrom(o, o.format, o.arguments[0], model, out);
}


}  // namespace

int RunBootstrap(const Options& o, const SupportedDeviceList& devices, HexEditModel& model,
                 CliOutput& out, const std::atomic<bool>& stop, Production* production) {
    std::string why;
    const auto part = BootPartOfDevice(devices.selectedName, &why);
    if (!part) {
        out.AddLogLine(devices.selectedName + ": " + why, LogError);
        return kUsage;
    }
    if (!o.port) {
        out.AddLogLine("--link bootstrap needs --port (a serial port, or \"" +
                           std::string(kVirtualHc11Port) + "\")",
                       LogError);
        return kUsage;
    }
    // Refused before the port is opened: entering bootstrap mode erases a secured part.
    if (part->secured && !o.securedOk) {
        out.AddLogLine(devices.selectedName + " is secured: entering bootstrap mode erases its "
                                              "EEPROM and CONFIG. Nothing was sent; give "
                                              "--secured-ok to go on.",
                       LogError);
        return kOperationFailed;
    }
    // A series is the same run once for each device, over the image as the serial number
    // leaves it.
    const auto runOnce = [&] { return cableRun(o, *part, devices, model, out, stop); };
    if (production != nullptr && o.command == "program")
        return ProgramSeries(o, devices, *production, model.image, out, stop, runOnce);
    return runOnce();
}

}  // namespace jqz::cli
