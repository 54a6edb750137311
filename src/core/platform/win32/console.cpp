#include "core/platform/console.h"

#include <io.h>
#include <windows.h>

#include "core/platform/native_file.h"

namespace jqz {

bool IsTerminal(std::FILE* stream) { return ::_isatty(::_fileno(stream)) != 0; }

void* ConsoleOf(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    // The console's mode stays as it is: the progress bar uses no escape sequence.
    if (handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) return nullptr;
    return handle;
}

bool WriteConsoleText(void* console, const std::string& text) {
    const std::wstring wide = WideFromUtf8(text);
    DWORD written = 0;
    return ::WriteConsoleW(static_cast<HANDLE>(console), wide.data(),
                           static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
}

int ReadInputByte(char& byte) {
    const int n = ::_read(0, &byte, 1);
    return n > 0 ? 1 : n == 0 ? 0 : -1;
}

void DropTypedAhead() {}

}  // namespace jqz
