#pragma once
// The user's own folders, where each system keeps a program's settings and state.
#include <string>

namespace jqz {

// The folder of the settings file: on Windows %APPDATA%\jqz6811 (the Windows folder is not
// writable for ordinary users); elsewhere $XDG_CONFIG_HOME, else ~/.config. "." when the
// environment names none.
std::string SettingsFolder();

// The folder of the program's state (the log, when the program's own folder takes none): on
// Windows %APPDATA%\jqz6811; elsewhere $XDG_STATE_HOME/jqz6811, else
// ~/.local/state/jqz6811. "." when the environment names none.
std::string StateFolder();

// Whether the program's state (its log) may go beside the program in `programFolder`: where
// the folder is the user's own (a build tree, a folder the user unpacked it into), but never on
// Windows, which keeps a program's state in %APPDATA% whatever folder the program lies in.
bool StateMayGoBesideProgram(const std::string& programFolder);

}  // namespace jqz
