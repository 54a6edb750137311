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
#include <fcntl.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "core/app/native_file.h"
#include "core/app/program_folder.h"
#include "core/app/settings_file.h"
#include "core/app/version.h"
#ifndef _WIN32
#include "core/link/posix_serial_port.h"
#endif

namespace {

std::atomic<bool> gStop{false};

// The first Ctrl+C (or SIGTERM, SIGHUP; on Windows Ctrl+Break or the console closing) stops
// the run as the stop button would; a second one puts the port back as it was found and
// exits at once, with 128 plus the signal's number.
void onStopRequest(int signal) {
    if (!gStop.exchange(true)) return;
    static const char kLine[] = "\nStopped again: exiting at once.\n";
    jqz::RestoreOpenPortsNow();
#ifdef _WIN32
    (void)::_write(2, kLine, sizeof kLine - 1);
#else
    (void)!::write(STDERR_FILENO, kLine, sizeof kLine - 1);
#endif
    std::_Exit(128 + signal);
}

#ifdef _WIN32
// Set as main returns: a closing console waits for it.
std::atomic<bool> gFinished{false};
// How long a closing console waits for the stopped run to end; Windows ends the process
// itself some seconds after the close event.
constexpr int kCloseGraceMs = 4000;

// Windows calls this on a thread of its own, for every event, as long as it returns TRUE
// (the C library's signal() would be reset by the first Ctrl+C, and a second one would end
// the program without putting the port back).
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT: onStopRequest(SIGINT); return TRUE;
        case CTRL_BREAK_EVENT: onStopRequest(SIGBREAK); return TRUE;
        default:
            // The console closes, the user logs off, the system shuts down: the process ends
            // once this returns. The run is stopped and given the time it takes to end as
            // after Ctrl+C; the port is put back in any case.
            if (!gStop.exchange(true))
                for (int waited = 0; waited < kCloseGraceMs && !gFinished; waited += 20)
                    ::Sleep(20);
            jqz::RestoreOpenPortsNow();
            return TRUE;
    }
}
#else
extern "C" void onInterrupt(int signal) { onStopRequest(signal); }

// A crash or an abort leaves the port as it was found too, then takes its usual course.
extern "C" void onFatalSignal(int signal) {
    jqz::RestoreOpenPortsNow();
    (void)::raise(signal);  // the handler was reset: the default action now
}

// Standard input, output and error that are closed at start are opened on /dev/null: else
// the first file or port opened would take their number, and log lines would go into it.
void openClosedStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened >= 0 && opened != fd) {
            (void)::dup2(opened, fd);
            ::close(opened);
        }
    }
}
#endif

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

void catchInterrupts() {
#ifdef _WIN32
    (void)::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    // A file read or write under way goes on; the run's waits look at the flag themselves.
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &sa, nullptr);
    struct sigaction fatal {};
    fatal.sa_handler = onFatalSignal;
    fatal.sa_flags = SA_RESETHAND;
    sigemptyset(&fatal.sa_mask);
    for (const int signal : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL, SIGQUIT})
        sigaction(signal, &fatal, nullptr);
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
#ifndef _WIN32
    openClosedStandardDescriptors();
    // A closed pipe on the output fails its writes instead of killing a run half-way; the
    // failure is told by the exit code once the run has ended.
    std::signal(SIGPIPE, SIG_IGN);
#endif
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
    catchInterrupts();

    const jqz::cli::Environment env{programFolder(), jqz::DefaultSettingsPath()};
    const int rc = jqz::cli::RunCommand(parsed.options, env, out, gStop);
    out.endProgress();
    const int code = finish(out, rc);
#ifdef _WIN32
    gFinished = true;
#endif
    return code;
}
