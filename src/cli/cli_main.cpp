// The entry of jqz6811-cli.
#ifdef _WIN32
// Before windows.h, whose macros take the names of the port's constants.
#include "core/link/win32_serial_port.h"
// After it.
#include <io.h>
#include <windows.h>
// After windows.h.
#include <shellapi.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "core/platform/native_file.h"
#include "core/platform/process_start.h"
#include "core/app/program_folder.h"
#include "core/app/settings_file.h"
#include "core/link/stop_signals.h"
#include "core/app/version.h"

namespace {

// Set by the first stop signal: the run stops as the stop button would stop it.
std::atomic<bool> gStop{false};

std::string programFolder() {
    const std::string folder = jqz::ExecutableFolder();
    if (folder.empty()) return ".";
    return jqz::ProgramDataFolder(folder);
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

// The arguments as UTF-8: Windows hands main() its arguments in the ANSI code page, in which
// most file names cannot be written; the UTF-16 command line holds them all.
std::vector<std::string> arguments(int argc, char* argv[]) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    std::vector<std::string> args;
    int count = 0;
    if (LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) args.push_back(jqz::Utf8FromWide(wide[i]));
        ::LocalFree(wide);
    }
    return args;
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

bool stderrIsTerminal() {
#ifdef _WIN32
    return ::_isatty(::_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
    // A closed pipe on the output fails its writes instead of killing a run half-way; the
    // failure is told by the exit code once the run has ended.
    jqz::PrepareProcessStart();
    const std::vector<std::string> args = arguments(argc, argv);
    const auto parsed = jqz::cli::ParseCommandLine(args);
    jqz::cli::CliOutput out(stderr, parsed.options.json, parsed.options.quiet,
                            stderrIsTerminal());
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
    jqz::CatchStopSignals(gStop);

    const jqz::cli::Environment env{programFolder(), jqz::DefaultSettingsPath()};
    const int rc = jqz::cli::RunCommand(parsed.options, env, out, gStop);
    out.endProgress();
    const int code = finish(out, rc);
    jqz::StopSignalsRunEnded();
    return code;
}
