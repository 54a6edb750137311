#pragma once
// How the system asks a program to stop, and what a signal handler may do about it: the stop
// signals (Ctrl+C, SIGTERM, SIGHUP), on Windows the console's events (Ctrl+C, Ctrl+Break, the
// console closing, log-off, shut-down), and on POSIX systems the fatal signals.
#include <cstddef>

namespace jqz {

struct StopHandlers {
    // A stop signal, with the signal's number (SIGBREAK for Ctrl+Break). Runs as a signal
    // handler on POSIX systems, on a thread of the system's on Windows.
    void (*stop)(int signal);
    // Windows: the console closes, the user logs off or the system shuts down; the process
    // ends once this returns.
    void (*closing)();
    // POSIX: a crash or an abort (SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL, SIGQUIT); the
    // handler is reset first, so raising the signal again takes its usual course.
    void (*fatal)(int signal);
};

// Installs the handlers for the rest of the process's life. A stop signal that comes while a
// file is read or written lets that go on (SA_RESTART); waits look at their flags themselves.
void InstallStopHandlers(const StopHandlers& handlers);

// Writes the bytes to the file descriptor from a signal handler (standard error is 2);
// errno is kept as it was.
void WriteFromSignalHandler(int fd, const void* bytes, std::size_t size);

// A pipe through which a signal handler wakes an event loop: the handler writes to ends[1],
// the loop watches ends[0]; both ends close on exec and never block. False where the window
// program gets no stop signals (Windows).
bool OpenWakePipe(int ends[2]);
// One byte from the pipe's read end; false when none is there.
bool ReadWakeByte(int fd, unsigned char& byte);

}  // namespace jqz
