// The entry of jqz6811-cli.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "core/app/program_folder.h"
#include "core/app/settings_file.h"
#include "core/app/version.h"

namespace {

std::atomic<bool> gStop{false};

extern "C" void onInterrupt(int) { gStop.store(true); }

std::string programFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return jqz::ProgramDataFolder(exe.parent_path().string());
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = jqz::cli::ParseCommandLine(args);
    if (parsed.options.help) {
        std::fputs(jqz::cli::UsageText().c_str(), stdout);
        return jqz::cli::kSuccess;
    }
    if (parsed.options.version) {
        std::printf("jqz6811-cli %s\n", jqz::ProgramVersion().c_str());
        return jqz::cli::kSuccess;
    }
    jqz::cli::CliOutput out(stderr, parsed.options.json, parsed.options.quiet,
                            ::isatty(STDERR_FILENO) != 0);
    if (!parsed.error.empty()) {
        out.AddLogLine(parsed.error + " (see jqz6811-cli --help)", jqz::LogError);
        out.result(jqz::cli::kUsage, parsed.error);
        return jqz::cli::kUsage;
    }
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    const jqz::cli::Environment env{programFolder(), jqz::DefaultSettingsPath()};
    const int rc = jqz::cli::RunCommand(parsed.options, env, out, gStop);
    out.endProgress();
    out.result(rc, rc == 0 ? "done" : out.lastError());
    return rc;
}
