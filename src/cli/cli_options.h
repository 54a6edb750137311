#pragma once
// The command line of jqz6811-cli.
#include <optional>
#include <string>
#include <vector>

#include "core/production/serial_number.h"

namespace jqz::cli {

// Exit codes.
enum ExitCode : int { kSuccess = 0, kOperationFailed = 1, kUsage = 2, kNoProgrammer = 3 };

struct Options {
    std::string command;
    std::vector<std::string> arguments;

    // Common options.
    std::optional<std::string> port;    // a device path or "Virtual Programmer"
    std::optional<int> baud;
    std::optional<std::string> device;  // a catalogue name
    std::optional<std::string> format;  // jef, s19, s28, bin: overrides detection of input
    std::optional<std::string> toFormat;  // convert: the output format
    bool quiet = false;
    bool lenient = false;  // a damaged input file is loaded with notices, not refused
    bool json = false;
    bool help = false;
    bool version = false;

    // program / verify
    bool erase = false;
    bool noProgram = false;
    std::optional<bool> verify;  // default: on for program
    bool config = false;
    bool skipBlank = false;  // after --erase, blank blocks are not written
    bool ignoreObp = false;
    bool ignoreIcp = false;

    // program: production runs
    std::optional<SerialNumbering> serial;  // --serial, checked
    std::optional<std::string> serialFile;  // keeps the next serial number
    std::optional<std::string> report;      // the CSV report appended to
    bool repeat = false;                    // one device after another

    // read
    bool readEeprom = false, readRom = false, readBootRom = false;

    // ranges: the load dialog's (lowest, highest, offset, clear) and the save dialog's
    std::optional<std::string> lowest, highest, offset;
    std::optional<std::string> clear;  // "00" or "ff"
    std::optional<std::string> saveLowest, saveHighest;
    bool saveUnimplemented = false;

    // The bootstrap cable (--link bootstrap) instead of the programmer.
    bool bootstrap = false;
    double xtalMHz = 8.0;
    std::string reset = "none";      // none, dtr, rts
    std::string bootRate = "fast";   // fast, 1200
    bool securedOk = false;
};

struct ParseResult {
    Options options;
    std::string error;  // empty when the command line was understood
};

ParseResult ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();

// The text in lower case (ASCII letters only).
std::string LowerCase(std::string s);

}  // namespace jqz::cli
