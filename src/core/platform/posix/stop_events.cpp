#include "core/platform/stop_events.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace jqz {

void InstallStopHandlers(const StopHandlers& handlers) {
    struct sigaction sa {};
    sa.sa_handler = handlers.stop;
    // A file read or write under way goes on; the run's waits look at the flag themselves.
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &sa, nullptr);
    struct sigaction fatal {};
    fatal.sa_handler = handlers.fatal;
    fatal.sa_flags = SA_RESETHAND;
    sigemptyset(&fatal.sa_mask);
    for (const int signal : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL, SIGQUIT})
        sigaction(signal, &fatal, nullptr);
}

void WriteFromSignalHandler(int fd, const void* bytes, std::size_t size) {
    const int saved = errno;
    (void)!::write(fd, bytes, size);
    errno = saved;
}

bool OpenWakePipe(int ends[2]) { return ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0; }

bool ReadWakeByte(int fd, unsigned char& byte) { return ::read(fd, &byte, 1) == 1; }

}  // namespace jqz
