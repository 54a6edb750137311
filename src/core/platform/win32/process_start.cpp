#include "core/platform/process_start.h"

#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include "core/platform/native_file.h"

namespace jqz {

void PrepareProcessStart() {}

std::vector<std::string> ProgramArguments(int, char*[]) {
    std::vector<std::string> args;
    int count = 0;
    if (LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
        ::LocalFree(wide);
    }
    return args;
}

bool NoWindowSystem() { return false; }

}  // namespace jqz
