#include "core/link/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#ifdef _WIN32
// Before windows.h, whose macros take the names of the port's constants.
#include "core/link/win32_serial_port.h"
// After it.
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>

#include "core/link/posix_serial_port.h"
#endif

namespace jqz {

namespace {

// Set before any handler is installed, read only by the handlers.
std::atomic<bool>* gStop = nullptr;
int gNotifyFd = -1;
std::atomic<bool> gRunEnded{false};

extern "C" void onStopSignal(int signal) {
    if (gStop->exchange(true)) {
        static const char kLine[] = "\nStopped again: exiting at once.\n";
        RestoreOpenPortsNow();
#ifdef _WIN32
        (void)::_write(2, kLine, sizeof kLine - 1);
#else
        (void)!::write(STDERR_FILENO, kLine, sizeof kLine - 1);
#endif
        std::_Exit(128 + signal);
    }
#ifndef _WIN32
    if (gNotifyFd >= 0) {
        const int saved = errno;
        const unsigned char byte = static_cast<unsigned char>(signal);
        (void)!::write(gNotifyFd, &byte, 1);
        errno = saved;
    }
#endif
}

#ifdef _WIN32
// How long a closing console waits for the stopped run to end; Windows ends the process
// itself some seconds after the close event.
constexpr int kCloseGraceMs = 4000;

// Windows calls this on a thread of its own, for every event, as long as it returns TRUE
// (the C library's signal() is reset by the first Ctrl+C, and a second one would end the
// program without putting the port back).
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT: onStopSignal(SIGINT); return TRUE;
        case CTRL_BREAK_EVENT: onStopSignal(SIGBREAK); return TRUE;
        default:
            // The console closes, the user logs off, the system shuts down: the process ends
            // once this returns. The run is stopped and given the time it takes to end as
            // after Ctrl+C; the ports are put back in any case.
            if (!gStop->exchange(true))
                for (int waited = 0; waited < kCloseGraceMs && !gRunEnded; waited += 20)
                    ::Sleep(20);
            RestoreOpenPortsNow();
            return TRUE;
    }
}
#else
extern "C" void onFatalSignal(int signal) {
    RestoreOpenPortsNow();
    (void)::raise(signal);  // the handler was reset: the default action now
}
#endif

}  // namespace

void CatchStopSignals(std::atomic<bool>& stop, int notifyFd) {
    gStop = &stop;
    gNotifyFd = notifyFd;
#ifdef _WIN32
    (void)::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    std::signal(SIGTERM, onStopSignal);
#else
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
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

void StopSignalsRunEnded() { gRunEnded = true; }

}  // namespace jqz
