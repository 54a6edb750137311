#include "core/platform/folders.h"

#include <cstdlib>

#include "core/platform/native_file.h"

namespace jqz {

std::string SettingsFolder() {
    // A relative XDG folder is to be ignored, as the base directory rules say.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
        return xdg;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::string(home) + "/.config";
    return ".";
}

std::string StateFolder() {
    // A relative XDG folder is to be ignored, as the base directory rules say.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/')
        return std::string(state) + "/jqz6811";
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::string(home) + "/.local/state/jqz6811";
    return ".";
}

bool StateMayGoBesideProgram(const std::string& programFolder) {
    return FolderIsUsersOwn(programFolder);
}

}  // namespace jqz
