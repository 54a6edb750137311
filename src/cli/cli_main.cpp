// The entry of jqz6811-cli.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
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

// The first Ctrl+C stops the run as the stop button would; a second one exits at once.
extern "C" void onInterrupt(int) {
    if (gStop.exchange(true)) {
        static const char kLine[] = "\nStopped again: exiting at once.\n";
        (void)!::write(STDERR_FILENO, kLine, sizeof kLine - 1);
        ::_exit(130);
    }
}

std::string programFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return jqz::ProgramDataFolder(exe.parent_path().string());
}

// What a run ends with: a failed write to standard output or standard error (a full disk,
// a closed pipe) fails a run that would otherwise have succeeded.
int finish(jqz::cli::CliOutput& out, int rc) {
    const bool outputFailed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    if (outputFailed)
        out.AddLogLine(std::string("Cannot write the standard output: ") + std::strerror(errno),
                       jqz::LogError);
    out.result(rc, rc == 0 ? "done" : out.lastError());
    if (rc == jqz::cli::kSuccess && (outputFailed || out.writeFailed()))
        return jqz::cli::kOperationFailed;
    return rc;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = jqz::cli::ParseCommandLine(args);
    jqz::cli::CliOutput out(stderr, parsed.options.json, parsed.options.quiet,
                            ::isatty(STDERR_FILENO) != 0);
    if (parsed.options.help) {
        std::fputs(jqz::cli::UsageText().c_str(), stdout);
        return finish(out, jqz::cli::kSuccess);
    }
    if (parsed.options.version) {
        std::printf("jqz6811-cli %s\n", jqz::ProgramVersion().c_str());
        return finish(out, jqz::cli::kSuccess);
    }
    if (!parsed.error.empty()) {
        out.AddLogLine(parsed.error + " (see jqz6811-cli --help)", jqz::LogError);
        return finish(out, jqz::cli::kUsage);
    }
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    const jqz::cli::Environment env{programFolder(), jqz::DefaultSettingsPath()};
    const int rc = jqz::cli::RunCommand(parsed.options, env, out, gStop);
    out.endProgress();
    return finish(out, rc);
}
