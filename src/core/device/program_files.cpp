#include "core/device/program_files.h"

#include <filesystem>
#include <set>

#include "core/device/supported_device_list.h"

namespace jqz {

ProgramFilesReport CheckProgramFiles(const SupportedDeviceList& devices,
                                     const std::string& manualPath) {
    ProgramFilesReport report;
    const std::string dhelp = devices.dhelpFolder();
    std::set<std::string> documents, drawings;
    for (const auto& e : DeviceCatalogue()) {
        documents.insert(e.quickInfo);
        for (const char* d : e.drawings)
            if (d != nullptr) drawings.insert(d);
    }
    auto count = [&](const char* what, const std::set<std::string>& names) {
        std::size_t found = 0;
        for (const auto& n : names) {
            std::error_code ec;
            if (std::filesystem::is_regular_file(dhelp + n, ec)) {
                ++found;
            } else {
                report.missing.push_back(dhelp + n);
            }
        }
        report.lines.push_back(std::string(what) + ": " + std::to_string(found) + " of " +
                               std::to_string(names.size()) + " in " + dhelp);
    };
    count("quick-info documents", documents);
    count("package drawings", drawings);
    std::error_code ec;
    const bool manual = std::filesystem::is_regular_file(manualPath, ec);
    report.lines.push_back("manual: " + manualPath + (manual ? "" : " (missing)"));
    if (!manual) report.missing.push_back(manualPath);
    for (const auto& m : report.missing) report.lines.push_back("missing: " + m);
    return report;
}

}  // namespace jqz
