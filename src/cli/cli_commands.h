#pragma once
// The subcommands of jqz6811-cli, each a thin layer over the core.
#include <atomic>

#include "cli/cli_options.h"
#include "cli/cli_output.h"

namespace jqz::cli {

struct Environment {
    std::string programFolder;  // holds dhelp/ (for the device list)
    std::string settingsFile;   // the application's settings: default port and rate
};

// Runs the command; returns the exit code. `stop` becomes true on Ctrl+C.
int RunCommand(const Options& options, const Environment& env, CliOutput& out,
               const std::atomic<bool>& stop);

}  // namespace jqz::cli
