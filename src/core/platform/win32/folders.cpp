#include "core/platform/folders.h"

#include <cstdlib>

#include "core/platform/native_file.h"

namespace jqz {

namespace {

// %APPDATA%\jqz6811, or "." without %APPDATA%.
std::string appDataFolder() {
    if (const wchar_t* appData = ::_wgetenv(L"APPDATA"); appData != nullptr && *appData != L'\0')
        return Utf8FromWide(appData) + "\\jqz6811";
    return ".";
}

}  // namespace

std::string SettingsFolder() { return appDataFolder(); }

std::string StateFolder() { return appDataFolder(); }

bool StateMayGoBesideProgram(const std::string&) { return false; }

}  // namespace jqz
