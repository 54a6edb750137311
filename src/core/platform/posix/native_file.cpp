#include "core/platform/native_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

namespace jqz {

std::filesystem::path NativePath(const std::string& utf8) { return std::filesystem::path(utf8); }

std::string Utf8Name(const std::filesystem::path& path) { return path.string(); }

bool FolderIsWritable(const std::string& folder) {
    return !folder.empty() && ::access(folder.c_str(), W_OK) == 0;
}

bool FolderIsUsersOwn(const std::string& folder) {
    struct stat st {};
    return !folder.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && FolderIsWritable(folder);
}

std::string ExecutableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string{} : exe.parent_path().string();
}

std::FILE* OpenForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

}  // namespace jqz
