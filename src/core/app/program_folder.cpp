#include "core/app/program_folder.h"

#include <filesystem>

#include "core/platform/native_file.h"

namespace jqz {

namespace {

bool holdsProgramFiles(const std::filesystem::path& folder) {
    std::error_code ec;
    return std::filesystem::is_directory(folder / "dhelp", ec) ||
           std::filesystem::is_regular_file(folder / "j11prog.pdf", ec);
}

}  // namespace

std::string ProgramDataFolder(const std::string& executableFolder) {
    const std::filesystem::path exe = NativePath(executableFolder);
    if (holdsProgramFiles(exe)) return executableFolder;
    const std::filesystem::path shared =
        (exe / ".." / "share" / "jqz6811").lexically_normal();
    if (holdsProgramFiles(shared)) {
        std::string s = Utf8Name(shared);
        while (s.size() > 1 && s.back() == '/') s.pop_back();
        return s;
    }
    return executableFolder;
}

std::string UserManualPath(const std::string& programFolder) {
    std::string path = programFolder;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + "j11prog.pdf";
}

}  // namespace jqz
