#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>

#include "core/app/settings_file.h"
#include "core/image/number_parsers.h"
#include "core/link/port_enumeration.h"

namespace jqz::cli {

namespace {

const std::set<std::string> kCommands = {"ports",   "devices",         "detect",
                                         "program", "read",            "verify",
                                         "convert", "update-firmware", "checksum"};

// How many file arguments each command takes.
std::size_t argumentCount(const std::string& command) {
    if (command == "program" || command == "read" || command == "verify" ||
        command == "checksum")
        return 1;
    if (command == "convert") return 2;
    return 0;
}

bool isFormat(const std::string& f) {
    return f == "jef" || f == "s19" || f == "s28" || f == "bin" || f == "ihex";
}

// The value of a text written as a number (blanks, a sign, a prefix, digits), exactly and not
// folded to 32 bits; values beyond 2^40 stay at 2^40. nullopt when the text is no number.
std::optional<long long> numeralValue(const std::string& text) {
    constexpr long long kBeyond = 1LL << 40;
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return std::nullopt;
    const bool negative = text[i] == '-';
    if (text[i] == '+' || text[i] == '-') ++i;
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!(hex ? std::isxdigit(c) : std::isdigit(c))) return std::nullopt;
        const int digit = std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
        value = std::min(kBeyond, value * (hex ? 16 : 10) + digit);
    }
    return negative ? -value : value;
}

std::string signedHex(long long value) {
    return (value < 0 ? "-" : "") + AddressText(value < 0 ? -value : value);
}

// The message for a number option outside [lowest, highest]; empty when it is inside.
std::string checkNumber(const std::string& option, const std::string& text, long long lowest,
                        long long highest, const char* what) {
    const std::string range =
        std::string(": ") + what + " go from " + (lowest == 0 ? "0" : signedHex(lowest)) +
        " to " + signedHex(highest);
    const std::optional<long long> value = numeralValue(text);
    if (!value || (*value >= lowest && *value <= highest && !ConvertNumber(text)))
        return option + " takes a number, decimal or hexadecimal after 0x or $, not \"" + text +
               "\"";
    if (*value > highest) return option + " " + text + " is too large" + range;
    if (*value < lowest) return option + " " + text + (lowest == 0 ? " is negative" : " is too small") + range;
    return {};
}


// --link, --xtal, --reset and --boot-rate; the message when the value is refused.
std::string takeBootstrapOption(const std::string& option, const std::string& value, Options& o) {
    if (option == "--link") {
        if (value != "programmer" && value != "bootstrap")
            return "--link takes programmer or bootstrap";
        o.bootstrap = value == "bootstrap";
    } else if (option == "--xtal") {
        char* end = nullptr;
        const double mhz = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !(mhz >= 1.0 && mhz <= 16.0))
            return "--xtal takes the crystal in MHz, from 1 to 16, not \"" + value + "\"";
        o.xtalMHz = mhz;
    } else if (option == "--reset") {
        if (value != "none" && value != "dtr" && value != "rts")
            return "--reset takes none, dtr or rts";
        o.reset = value;
    } else if (value != "fast" && value != "1200") {
        return "--boot-rate takes fast or 1200";
    } else {
        o.bootRate = value;
    }
    return {};
}

// Options that mean something to some commands only; any other command refuses them rather
// than ignoring them. (Options not listed go with every command.)
std::string refuseOptionsOfOtherCommands(const std::string& command,
                                         const std::vector<std::string>& given) {
    const struct {
        std::vector<const char*> options;
        std::vector<const char*> commands;
        const char* which;
    } rules[] = {
        {{"--to"}, {"convert"}, "convert"},
        {{"--eeprom", "--rom", "--bootrom"}, {"read"}, "read"},
        {{"--save-lowest", "--save-highest", "--save-unimplemented"},
         {"read", "convert"},
         "read and convert"},
        {{"--erase", "--no-program", "--verify", "--no-verify", "--config"},
         {"program"},
         "program"},
        {{"--lowest", "--highest", "--offset", "--clear", "--lenient"},
         {"program", "verify", "convert", "checksum"},
         "program, verify, convert and checksum"},
    };
    for (const std::string& option : given)
        for (const auto& rule : rules)
            if (std::find_if(rule.options.begin(), rule.options.end(),
                             [&](const char* o) { return option == o; }) != rule.options.end() &&
                std::find_if(rule.commands.begin(), rule.commands.end(),
                             [&](const char* c) { return command == c; }) == rule.commands.end())
                return option + " does not go with " + command + " (it goes with " + rule.which +
                       ")";
    return {};
}

}  // namespace

std::string LowerCase(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

namespace {

ParseResult parseArguments(const std::vector<std::string>& args) {
    ParseResult r;
    Options& o = r.options;
    auto fail = [&r](std::string message) {
        if (r.error.empty()) r.error = std::move(message);
        return r;
    };
    bool optionsEnded = false;
    std::vector<std::string> given;  // the options given, in order
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool hasValue = false;
        if (!optionsEnded && arg == "--") {
            // Everything after "--" is a command or a file name, even when it starts with "-".
            optionsEnded = true;
            continue;
        }
        if (optionsEnded) {
            if (o.command.empty()) {
                if (kCommands.count(arg) == 0) return fail("unknown command " + arg);
                o.command = arg;
            } else {
                o.arguments.push_back(arg);
            }
            continue;
        }
        if (arg.rfind("--", 0) == 0) {
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasValue = true;
            }
        }
        auto take = [&](std::optional<std::string>& field) {
            if (!hasValue) {
                if (i + 1 >= args.size()) return false;
                value = args[++i];
            }
            field = value;
            return true;
        };
        auto flag = [&](bool& field) {
            field = true;
            return !hasValue;
        };
        bool ok = true;
        if (arg.rfind("--", 0) == 0) {
            // One value each: a second one would silently replace the first.
            if ((arg == "--serial" || arg == "--serial-file" || arg == "--report") &&
                std::find(given.begin(), given.end(), arg) != given.end())
                return fail(arg + " is given twice");
            given.push_back(arg);
        }
        if (arg == "--help" || arg == "-h") ok = flag(o.help);
        else if (arg == "--version") ok = flag(o.version);
        else if (arg == "--quiet" || arg == "-q") ok = flag(o.quiet);
        else if (arg == "--json") ok = flag(o.json);
        else if (arg == "--lenient") ok = flag(o.lenient);
        else if (arg == "--port") ok = take(o.port);
        else if (arg == "--device") ok = take(o.device);
        else if (arg == "--format") ok = take(o.format);
        else if (arg == "--to") ok = take(o.toFormat);
        else if (arg == "--baud") {
            std::optional<std::string> text;
            ok = take(text);
            if (ok) {
                o.baud = ParseDecimal(*text);
                if (!o.baud || (*o.baud != 9600 && *o.baud != 19200 && *o.baud != 38400 &&
                                *o.baud != 57600))
                    return fail("--baud takes 9600, 19200, 38400 or 57600");
            }
        } else if (arg == "--erase") ok = flag(o.erase);
        else if (arg == "--no-program") ok = flag(o.noProgram);
        else if (arg == "--verify") {
            o.verify = true;
            ok = !hasValue;
        } else if (arg == "--no-verify") {
            o.verify = false;
            ok = !hasValue;
        }
        else if (arg == "--config") ok = flag(o.config);
        else if (arg == "--skip-blank") ok = flag(o.skipBlank);
        else if (arg == "--ignore-pin-tester") {
            std::optional<std::string> which;
            ok = take(which);
            if (ok && *which == "obp") o.ignoreObp = true;
            else if (ok && *which == "icp") o.ignoreIcp = true;
            else if (ok) return fail("--ignore-pin-tester takes obp or icp");
        } else if (arg == "--serial") {
            std::optional<std::string> text;
            ok = take(text);
            if (ok) {
                std::string error;
                o.serial = ParseSerialNumbering(*text, error);
                if (!o.serial) return fail(error);
            }
        } else if (arg == "--serial-file") ok = take(o.serialFile);
        else if (arg == "--report") ok = take(o.report);
        else if (arg == "--repeat") ok = flag(o.repeat);
        else if (arg == "--eeprom") ok = flag(o.readEeprom);
        else if (arg == "--rom") ok = flag(o.readRom);
        else if (arg == "--bootrom") ok = flag(o.readBootRom);
        else if (arg == "--lowest") ok = take(o.lowest);
        else if (arg == "--highest") ok = take(o.highest);
        else if (arg == "--offset") ok = take(o.offset);
        else if (arg == "--clear") {
            ok = take(o.clear);
            if (ok && *o.clear != "00" && *o.clear != "ff" && *o.clear != "FF")
                return fail("--clear takes 00 or ff");
        } else if (arg == "--save-lowest") ok = take(o.saveLowest);
        else if (arg == "--save-highest") ok = take(o.saveHighest);
        else if (arg == "--save-unimplemented") ok = flag(o.saveUnimplemented);
        else if (arg == "--link" || arg == "--xtal" || arg == "--reset" || arg == "--boot-rate") {
            std::optional<std::string> text;
            ok = take(text);
            if (ok) {
                if (std::string message = takeBootstrapOption(arg, *text, o); !message.empty())
                    return fail(message);
            }
        } else if (arg == "--secured-ok") ok = flag(o.securedOk);
        else if (arg.size() > 1 && arg[0] == '-') return fail("unknown option " + arg);
        else if (o.command.empty()) {
            if (kCommands.count(arg) == 0) return fail("unknown command " + arg);
            o.command = arg;
        } else {
            o.arguments.push_back(arg);
        }
        if (!ok) return fail(hasValue ? "option " + arg + " takes no value" : "option " + arg + " needs a value");
    }
    if (o.help || o.version) return r;
    if (o.command.empty()) return fail("no command given");
    // Over the cable, checksum sums the part's EEPROM instead of a file.
    const std::size_t files =
        o.bootstrap && o.command == "checksum" ? 0 : argumentCount(o.command);
    if (o.arguments.size() != files)
        return fail(o.command + " takes " + std::to_string(files) + " file argument(s)");
    for (auto* f : {&o.format, &o.toFormat}) {
        if (*f) **f = LowerCase(**f);
        if (*f && !isFormat(**f)) return fail("formats are jef, s19, s28, bin and ihex");
    }
    // Numbers are checked here, so that none is refused later without a word.
    const struct {
        const char* option;
        const std::optional<std::string>& text;
        long long lowest, highest;
        const char* what;
    } numbers[] = {
        {"--lowest", o.lowest, 0, 0xFFFFFF, "file addresses"},
        {"--highest", o.highest, 0, 0xFFFFFF, "file addresses"},
        {"--offset", o.offset, -0xFFFFFF, 0xFFFFFF, "offsets"},
        {"--save-lowest", o.saveLowest, 0, 0xFFFF, "image addresses"},
        {"--save-highest", o.saveHighest, 0, 0xFFFF, "image addresses"},
    };
    for (const auto& n : numbers)
        if (n.text)
            if (std::string message = checkNumber(n.option, *n.text, n.lowest, n.highest, n.what);
                !message.empty())
                return fail(message);
    if (std::string message = refuseOptionsOfOtherCommands(o.command, given); !message.empty())
        return fail(message);
    if ((o.serial || o.serialFile || o.report || o.repeat) && o.command != "program")
        return fail("--serial, --serial-file, --report and --repeat go with program");
    if (o.serialFile && !o.serial) return fail("--serial-file needs --serial");
    if (o.serial && (o.noProgram || !o.verify.value_or(true)))
        return fail("--serial uses a number up only on a device programmed and verified, so it "
                    "cannot go with --no-program or --no-verify");
    if (o.skipBlank && o.command != "program") return fail("--skip-blank goes with program");
    if (o.command == "checksum") {
        if (o.offset) return fail("checksum takes no --offset: it sums the image the file makes");
        for (const auto& [option, text] : {std::pair{"--lowest", o.lowest}, {"--highest", o.highest}})
            if (text)
                if (std::string message = checkNumber(option, *text, 0, 0xFFFF, "image addresses");
                    !message.empty())
                    return fail(message);
    }
    if (o.bootstrap && (o.command == "detect" || o.command == "update-firmware"))
        return fail(o.command + " is the programmer's own: it does not apply to the bootstrap "
                                "cable (--link bootstrap)");
    if (o.command == "read" && !o.readEeprom && !o.readRom && !o.readBootRom)
        o.readEeprom = o.readRom = o.readBootRom = true;
    return r;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult r = parseArguments(args);
    // A command line refused before its --json was reached still says so in JSON.
    if (!r.error.empty())
        for (const auto& arg : args) {
            if (arg == "--") break;
            if (arg == "--json") r.options.json = true;
        }
    return r;
}


std::string UsageText() {
    return R"USAGE(Usage: jqz6811-cli [options] COMMAND [FILE...]

Programs MC68HC11 and MC68HC711 microcontrollers through the JQZ 68(7)11 programmer.

Commands:
  ports                 list the serial ports that can be opened
  devices               list the supported devices
  detect                find the programmer and print what it reports
  program FILE          write FILE's EEPROM (and CONFIG) contents to the device
  read FILE             read the device into FILE
  verify FILE           compare the device's EEPROM with FILE
  update-firmware       load the current firmware into a programmer in Service mode
  convert IN OUT        convert an image file (no programmer needed)
  checksum FILE         print the 16-bit sum and the CRC-32 of FILE's bytes in the image:
                        --lowest A..--highest A, else with --device the device's
                        EEPROM, else the addresses the file fills (no programmer needed)

Common options:
  --port P              )USAGE" JQZ_PORT_HELP R"USAGE(, or "Virtual Programmer"
                        (default: the port of the application's settings file)
  --baud N              working rate 9600, 19200, 38400 or 57600 (default: settings file)
  --device NAME         device, e.g. "MC68HC11  E9 (E28B)" (see the devices command)
  --format F            input format jef, s19, s28, bin or ihex, in any case
                        (default: detected)
  --lenient             take a damaged input file as the window program does (notices, the
                        last value of an address wins) instead of refusing it
  --quiet               print errors only
  --json                one JSON object per log line, then one with the result
  --help                this text
  --version             print the program's version

program and verify:
  --erase               erase the EEPROM first
  --no-program          do not program (with --erase: erase and check blank)
  --verify, --no-verify verify after programming (default: verify)
  --config              also program the CONFIG register from FILE
  --skip-blank          with --erase: do not write blocks of 128 bytes that are all 0xFF
                        in FILE's image (they are blank after the erase; verify reads all)
  --ignore-pin-tester obp|icp
                        ignore pin tester errors in that mode (may erase a secured part)

Production (program):
  --serial ADDR,BYTES,START[,STEP][,FORMAT]
                        write a serial number into the image at ADDR (BYTES long) before
                        each device: START first, then every STEP (default 1); FORMAT be
                        (binary, most significant byte first; the default), le, bcd, or
                        ascii (decimal digits, zero-padded). A number is used up only when
                        its device was programmed and verified.
  --serial-file F       keep the next serial number in F: read at the start when F exists
                        (it then decides, not START), replaced after every device that passed
  --repeat              one device after another: after each, press Enter for the next or
                        q (quit, n) and Enter to stop; a summary at the end
  --report F.csv        append a line for each device to F.csv: time, device, serial number,
                        result, CRC-32 of the EEPROM, error

read:
  --eeprom, --rom, --bootrom
                        what to read (default: all three)
  --format F            the file's format (default: from its extension, else jef)

The bootstrap cable (an HC11 board with MODA and MODB low on a plain serial cable):
  --link programmer|bootstrap
                        what is on the port (default: programmer); devices --link
                        bootstrap lists the devices the cable serves
  --xtal MHZ            the board's crystal (default 8): it sets every rate
  --reset none|dtr|rts  reset the board by hand (default) or through DTR or RTS
  --boot-rate fast|1200 the boot ROM's rate: E/256 (7812 baud at 8 MHz) or E/1664
  --secured-ok          a secured part may be erased by entering bootstrap mode
                        (program, with the production options, verify and read over
                        the cable; --skip-blank is the smart write, which always runs
                        there; checksum without FILE prints the figures of the part's
                        EEPROM)

Ranges (load: program, verify, convert; save: read, convert):
  --lowest A --highest A --offset N   take file addresses lowest..highest, moved by offset
  --clear 00|ff         fill the buffer before loading
  --save-lowest A --save-highest A    save only this address range
  --save-unimplemented  also save cells that do not exist on the device
  --to F                convert: output format (default: from OUT's extension)

Numbers are decimal, or hexadecimal after 0x or $. File addresses go from 0 to 0xFFFFFF,
image addresses from 0 to 0xFFFF. After "--" every word is a command or a file name.

program and verify refuse a file that holds nothing for the device's EEPROM (nor, with
--config, for its CONFIG register), and a file that looks like Intel HEX but whose first
line is no valid record, unless --format bin is given. program, verify, convert and checksum
refuse a damaged file (a bad checksum, a line that is no record, text after a record, two
values for one address, no end record) with its line, unless --lenient is given. convert
without --device and a range writes only the addresses the input filled. Intel HEX is
written with 16 bytes a record (.hex, .ihx, --to ihex).
read refuses an output file it could not write before the device is read.
program refuses, before the port is opened, a serial number field outside the device's
EEPROM, a number that does not fit in it, and a serial or report file it cannot write.
With --repeat the exit code is 0 only when every device passed; Ctrl+C at the question for
the next device ends the series.

After a read, a program and a file load for a device, one line gives the 16-bit sum and the
CRC-32 (as zlib and crc32 compute it) of the device's EEPROM range.

Ctrl+C, SIGTERM and SIGHUP (on Windows Ctrl+C, Ctrl+Break and closing the console) stop a
running sequence; a second one puts the port back as it was found and exits at once.

Exit codes: 0 success, 1 the device operation failed (verify errors, programmer errors) or an
output (the output file, standard output or standard error) could not be written, 2 bad usage,
unreadable input or nothing to program, 3 no programmer, 128 plus the signal's number after a
second stop signal (130 after Ctrl+C, on Windows 149 after Ctrl+Break).
)USAGE";
}

}  // namespace jqz::cli
