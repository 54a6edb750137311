#pragma once
// Where the program finds its own files: the "dhelp" folder and the user manual.
#include <string>

namespace jqz {

// The folder that holds "dhelp" and "j11prog.pdf": the executable's own folder when they are
// there (the build tree), else <prefix>/share/jqz6811 beside the <prefix>/bin that holds the
// executable (an installed program); the executable's folder when neither has them.
std::string ProgramDataFolder(const std::string& executableFolder);

// The user manual inside that folder.
std::string UserManualPath(const std::string& programFolder);

}  // namespace jqz
