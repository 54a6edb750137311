#include "core/platform/console.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace jqz {

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

void* ConsoleOf(std::FILE*) { return nullptr; }

bool WriteConsoleText(void*, const std::string&) { return false; }

int ReadInputByte(char& byte) {
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, &byte, 1);
        if (n < 0 && errno == EINTR) continue;
        return n > 0 ? 1 : n == 0 ? 0 : -1;
    }
}

void DropTypedAhead() {
    if (::isatty(STDIN_FILENO)) ::tcflush(STDIN_FILENO, TCIFLUSH);
}

}  // namespace jqz
