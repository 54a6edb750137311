#pragma once
// Whether the program finds its own files: the quick-info documents and package drawings of
// the catalogue's devices, and the user manual.
#include <string>
#include <vector>

namespace jqz {

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
