#pragma once
// Where the program finds its own files: the "dhelp" folder and the user manual.
#include <string>
#include <vector>

namespace jqz {

// The folder that holds "dhelp" and "j11prog.pdf": the executable's own folder when they are
// there (the build tree), else <prefix>/share/jqz6811 beside the <prefix>/bin that holds the
// executable (an installed program); the executable's folder when neither has them.
std::string ProgramDataFolder(const std::string& executableFolder);

// The user manual inside that folder.
std::string UserManualPath(const std::string& programFolder);

class SupportedDeviceList;

// What a program finds of its own files: the quick-info document and the package drawings of
// every catalogue device in the device list's "dhelp" folder, and the manual.
struct ProgramFilesReport {
    std::vector<std::string> lines;    // a few lines of counts, then one per missing file
    std::vector<std::string> missing;  // the full paths of missing files
};
ProgramFilesReport CheckProgramFiles(const SupportedDeviceList& devices,
                                     const std::string& manualPath);

}  // namespace jqz
