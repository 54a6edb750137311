#include "core/platform/native_file.h"

#include <system_error>

namespace jqz {

bool RemoveFile(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(NativePath(path), ec);
    return !ec;
}

bool CreateFolderOf(const std::string& filePath) {
    std::error_code ec;
    const auto folder = NativePath(filePath).parent_path();
    if (folder.empty()) return true;
    std::filesystem::create_directories(folder, ec);
    return !ec;
}

}  // namespace jqz
