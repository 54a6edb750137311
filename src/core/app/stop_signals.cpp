#include "core/app/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>

#include "core/link/posix_serial_port.h"
#endif

namespace jqz {

namespace {

// Set before any handler is installed, read only by the handlers.
std::atomic<bool>* gStop = nullptr;
int gNotifyFd = -1;

extern "C" void onStopSignal(int signal) {
    if (gStop->exchange(true)) {
        static const char kLine[] = "\nStopped again: exiting at once.\n";
#ifdef _WIN32
        (void)::_write(2, kLine, sizeof kLine - 1);
#else
        RestoreOpenPortsNow();
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

#ifndef _WIN32
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
    std::signal(SIGINT, onStopSignal);
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

}  // namespace jqz
