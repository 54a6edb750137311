// jqz6811-sim: the virtual programmer, or with --hc11 an MC68HC11 in bootstrap mode on a
// plain cable, on a pseudo-terminal. Prints the terminal's path on the first line of its
// output and serves it until stopped (Ctrl+C, SIGTERM) or until a scripted DSR drop hangs the
// line up.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "core/app/version.h"
#include "core/device/supported_device_list.h"
#include "sim/hc11/hc11_pty_server.h"
#include "sim/pty_server.h"

using namespace jqz::sim;

namespace {

std::atomic<bool> g_stop{false};
void onSignal(int) { g_stop = true; }

const char* kUsage =
    "usage: jqz6811-sim [options]\n"
    "Serves a virtual MC68HC(7)11 programmer on a pseudo-terminal and prints its path.\n"
    "  --firmware-version TEXT firmware version in the identification (default VER-1.1)\n"
    "  --identification TEXT   the whole 30-character identification\n"
    "  --service               Service mode (BOOT11N, firmware loader); default WORK mode\n"
    "  --interface icp|obp     in-circuit (default) or on-board adapter\n"
    "  --secured               the on-board target starts secured (with --hc11: NOSEC\n"
    "                          programmed in CONFIG)\n"
    "  --still-secured         ... and its erase fails (status 15 on linking)\n"
    "  --device NAME|TYPE      the part in the socket (default: whatever type is selected)\n"
    "  --device-id HHHH        device ID bytes, hexadecimal (default FFFF: none)\n"
    "  --status K=CODE         status code for the K-th command, both decimal (repeatable)\n"
    "  --pin-report DD,CC      pin-tester findings (hex data and control pin bits)\n"
    "  --corrupt CMD:OCC:IDX   corrupt byte IDX of the reply to the OCC-th command CMD; CMD\n"
    "                          is hexadecimal (13 for 0x13), OCC and IDX decimal (OCC 1 the\n"
    "                          first, 0 every one; IDX 0 the first byte): --corrupt 13:2:0\n"
    "                          inverts the first byte of the reply to the second 0x13\n"
    "  --drop CMD:OCC:IDX      leave that reply byte out (fields as for --corrupt)\n"
    "  --truncate CMD:OCC:IDX  end that reply before byte IDX (fields as for --corrupt)\n"
    "  --corrupt-received N    the N-th byte received from the PC (decimal, 1 the first)\n"
    "                          arrives with its bits inverted (repeatable)\n"
    "  --dsr-drop-after N      pull the cable after N received bytes (decimal)\n"
    "  --wrong-ack BLOCK:N     answer firmware block BLOCK wrongly N times (both decimal)\n"
    "  --timing                wire time and EEPROM programming time\n"
    "  --wire-log FILE         write every byte on the wire to FILE\n"
    "  --link PATH             also make PATH a symbolic link to the terminal\n"
    "  --hc11 A8|E9|E20        instead of the programmer: that MC68HC11 in bootstrap mode on\n"
    "                          a plain cable (TxD, RxD), in real time at the rate the host\n"
    "                          sets; reset when the host's port opens or pulses DTR\n"
    "  --xtal MHZ              with --hc11: the crystal (default 8; E is a quarter of it)\n"
    "  --eeprom FILE           with --hc11: the EEPROM's contents (binary, from 0xB600)\n"
    "  --eeprom-out FILE       with --hc11: write the EEPROM's contents to FILE as it stops\n"
    "                          (SIGTERM, SIGINT)\n"
    "  --lost-echo K           with --hc11: the boot ROM does not echo the K-th byte it loads\n"
    "                          (decimal, 1 the first after the sync)\n"
    "  --lost-last-echo        with --hc11: the adapter loses the part's last byte, unread,\n"
    "                          when the host changes its rate\n"
    "  --dropped-byte K        with --hc11: the K-th byte the host writes after opening the\n"
    "                          port never arrives (decimal, 1 the first: the sync)\n"
    "  --stuck-cell ADDR=VAL   with --hc11: the EEPROM or CONFIG cell ADDR keeps VAL whatever\n"
    "                          is written (both hexadecimal: B600=5A)\n"
    "  --fitted-xtal MHZ       with --hc11: the crystal actually fitted (default: --xtal's)\n"
    "  --version               print the program's version\n"
    "  --help                  this text\n";

[[noreturn]] void fail(const std::string& message) {
    std::cerr << "jqz6811-sim: " << message << "\n" << kUsage;
    std::exit(2);
}

long number(const std::string& text, int base) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, base);
    if (text.empty() || *end != '\0') fail("not a number: " + text);
    return v;
}

// A crystal frequency in MHz, as an option gives it.
double crystalMHz(const std::string& option, const std::string& text) {
    char* end = nullptr;
    const double mhz = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(mhz >= 0.5 && mhz <= 16.0))
        fail(option + " takes a crystal of 0.5 to 16 MHz, got " + text);
    return mhz;
}

ReplyFault replyFault(const std::string& text, ReplyFault::Kind kind) {
    std::stringstream in(text);
    std::string cmd, occ, idx;
    if (!std::getline(in, cmd, ':') || !std::getline(in, occ, ':') || !std::getline(in, idx))
        fail("expected CMD:OCC:IDX, got " + text);
    return {static_cast<std::uint8_t>(number(cmd, 16)), static_cast<int>(number(occ, 10)),
            static_cast<int>(number(idx, 10)), kind};
}

std::uint8_t deviceType(const std::string& text) {
    for (const auto& e : jqz::DeviceCatalogue())
        if (text == e.name) return e.type;
    return static_cast<std::uint8_t>(number(text, 10));
}

}  // namespace

// Opens a server's pseudo-terminal, links it, prints its path and serves until stopped.
template <typename Server>
void serveOnTerminal(Server& server, const std::string& link) {
    std::string error;
    if (!server.open(error)) fail(error);
    if (!link.empty()) {
        ::unlink(link.c_str());
        if (::symlink(server.path().c_str(), link.c_str()) != 0)
            fail("cannot link " + link + ": " + std::strerror(errno));
    }
    std::cout << server.path() << std::endl;
    server.serve(&g_stop);
    if (!link.empty()) ::unlink(link.c_str());
}

// Serves an HC11 in bootstrap mode until stopped.
int serveHc11(const Hc11Options& options, const std::string& link, const std::string& eepromOut) {
    VirtualHc11 part(options);
    Hc11PtyServer server(part);
    serveOnTerminal(server, link);
    if (!eepromOut.empty()) {
        const std::vector<std::uint8_t> cells = part.eeprom();
        std::ofstream out(eepromOut, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(cells.data()), static_cast<std::streamsize>(cells.size()));
        if (!out.flush()) {
            std::cerr << "jqz6811-sim: cannot write " << eepromOut << "\n";
            return 1;
        }
    }
    return 0;
}

int main(int argc, char* argv[]) {
    SimOptions options;
    Hc11Options hc11;
    bool serveHc11Part = false;
    std::string wireLog, link, eepromOut;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) fail(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--version") {
            std::cout << "jqz6811-sim " << jqz::ProgramVersion() << "\n";
            return 0;
        } else if (arg == "--firmware-version") {
            options.version = value();
        } else if (arg == "--identification") {
            options.identification = value();
        } else if (arg == "--service") {
            options.serviceMode = true;
        } else if (arg == "--interface") {
            const std::string v = value();
            if (v == "icp") options.interface = Interface::InCircuit;
            else if (v == "obp") options.interface = Interface::OnBoard;
            else fail("interface is icp or obp");
        } else if (arg == "--secured") {
            options.secured = true;
            hc11.secured = true;
        } else if (arg == "--hc11") {
            hc11.part = value();
            if (hc11.part != "A8" && hc11.part != "E9" && hc11.part != "E20")
                fail("--hc11 is A8, E9 or E20");
            serveHc11Part = true;
        } else if (arg == "--xtal") {
            hc11.xtalMHz = crystalMHz(arg, value());
        } else if (arg == "--eeprom") {
            const std::string file = value();
            std::ifstream in(file, std::ios::binary);
            if (!in) fail("cannot read " + file);
            hc11.eeprom.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            if (hc11.eeprom.size() > 512) fail(file + " is larger than the EEPROM (512 bytes)");
        } else if (arg == "--eeprom-out") {
            eepromOut = value();
        } else if (arg == "--lost-echo") {
            hc11.faults.lostEcho = static_cast<int>(number(value(), 10));
        } else if (arg == "--lost-last-echo") {
            hc11.faults.lostLastEcho = true;
        } else if (arg == "--dropped-byte") {
            hc11.faults.droppedByte = static_cast<int>(number(value(), 10));
        } else if (arg == "--stuck-cell") {
            const std::string v = value();
            const auto eq = v.find('=');
            if (eq == std::string::npos) fail("expected ADDR=VAL");
            hc11.faults.stuckEepromCell =
                StuckCell{static_cast<std::uint16_t>(number(v.substr(0, eq), 16)),
                          static_cast<std::uint8_t>(number(v.substr(eq + 1), 16))};
        } else if (arg == "--fitted-xtal") {
            hc11.faults.wrongXtalMHz = crystalMHz(arg, value());
        } else if (arg == "--still-secured") {
            options.faults.stillSecured = true;
        } else if (arg == "--device") {
            options.targetType = deviceType(value());
        } else if (arg == "--device-id") {
            const long v = number(value(), 16);
            options.deviceIdA = static_cast<std::uint8_t>(v >> 8);
            options.deviceIdB = static_cast<std::uint8_t>(v);
        } else if (arg == "--status") {
            const std::string v = value();
            const auto eq = v.find('=');
            if (eq == std::string::npos) fail("expected K=CODE");
            options.faults.statusForCommand[static_cast<int>(number(v.substr(0, eq), 10))] =
                static_cast<int>(number(v.substr(eq + 1), 10));
        } else if (arg == "--pin-report") {
            const std::string v = value();
            const auto comma = v.find(',');
            if (comma == std::string::npos) fail("expected DD,CC");
            options.faults.pinReportData = static_cast<std::uint8_t>(number(v.substr(0, comma), 16));
            options.faults.pinReportControl =
                static_cast<std::uint8_t>(number(v.substr(comma + 1), 16));
        } else if (arg == "--corrupt") {
            options.faults.replyFaults.push_back(replyFault(value(), ReplyFault::Corrupt));
        } else if (arg == "--drop") {
            options.faults.replyFaults.push_back(replyFault(value(), ReplyFault::Drop));
        } else if (arg == "--truncate") {
            options.faults.replyFaults.push_back(replyFault(value(), ReplyFault::Truncate));
        } else if (arg == "--corrupt-received") {
            options.faults.corruptReceived.insert(number(value(), 10));
        } else if (arg == "--dsr-drop-after") {
            options.faults.dsrDropAfterBytes = number(value(), 10);
        } else if (arg == "--wrong-ack") {
            const std::string v = value();
            const auto colon = v.find(':');
            if (colon == std::string::npos) fail("expected BLOCK:N");
            options.faults.wrongAcks[static_cast<int>(number(v.substr(0, colon), 10))] =
                static_cast<int>(number(v.substr(colon + 1), 10));
        } else if (arg == "--timing") {
            options.timing = true;
        } else if (arg == "--wire-log") {
            wireLog = value();
        } else if (arg == "--link") {
            link = value();
        } else {
            fail("unknown option " + arg);
        }
    }

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    if (serveHc11Part) return serveHc11(hc11, link, eepromOut);

    VirtualProgrammer programmer(options);
    FILE* log = nullptr;
    if (!wireLog.empty()) {
        log = std::fopen(wireLog.c_str(), "w");
        if (!log) fail("cannot write " + wireLog);
        programmer.with([log](ProgrammerModel& m) {
            // One line per byte: direction (> from the PC, < to the PC), hex value, rate,
            // and "lost" for a byte the other side could not take.
            m.onWire = [log](const WireByte& w) {
                std::fprintf(log, "%c %02X %d%s\n", w.fromPc ? '>' : '<', w.value, w.rate,
                             w.lost ? " lost" : "");
                std::fflush(log);
            };
            return 0;
        });
    }
    PtyServer server(programmer);
    serveOnTerminal(server, link);
    if (log) std::fclose(log);
    return 0;
}
