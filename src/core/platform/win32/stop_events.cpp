#include "core/platform/stop_events.h"

#include <io.h>
#include <windows.h>

#include <cerrno>
#include <csignal>

namespace jqz {

namespace {

// Set before the handler is installed, read only by it.
StopHandlers gHandlers{};

// Windows calls this on a thread of its own, for every event, as long as it returns TRUE
// (the C library's signal() is reset by the first Ctrl+C, and a second one would end the
// program without putting the port back).
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT: gHandlers.stop(SIGINT); return TRUE;
        case CTRL_BREAK_EVENT: gHandlers.stop(SIGBREAK); return TRUE;
        default: gHandlers.closing(); return TRUE;
    }
}

}  // namespace

void InstallStopHandlers(const StopHandlers& handlers) {
    gHandlers = handlers;
    (void)::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    std::signal(SIGTERM, handlers.stop);
}

void WriteFromSignalHandler(int fd, const void* bytes, std::size_t size) {
    const int saved = errno;
    (void)::_write(fd, bytes, static_cast<unsigned>(size));
    errno = saved;
}

bool OpenWakePipe(int[2]) { return false; }

bool ReadWakeByte(int, unsigned char&) { return false; }

}  // namespace jqz
