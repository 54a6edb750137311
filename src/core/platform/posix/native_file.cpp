#include "core/platform/native_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
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

std::string FollowTrustedLinks(const std::string& path, std::string& resolved) {
    // The name is walked part by part, as the system walks it, so that a link anywhere in it
    // (a folder's name as well as the file's) is seen. `done` never holds a link.
    std::deque<std::string> parts;
    auto queue = [&parts](const std::string& name) {
        std::deque<std::string> front;
        for (std::size_t at = 0; at <= name.size();) {
            std::size_t slash = name.find('/', at);
            if (slash == std::string::npos) slash = name.size();
            if (slash > at) front.push_back(name.substr(at, slash - at));
            at = slash + 1;
        }
        parts.insert(parts.begin(), front.begin(), front.end());
    };
    queue(path);
    std::string done = !path.empty() && path.front() == '/' ? "/" : "";
    auto join = [](const std::string& folder, const std::string& name) {
        return folder.empty() ? name : folder.back() == '/' ? folder + name : folder + "/" + name;
    };
    const uid_t user = ::geteuid();
    int hops = 0;
    while (!parts.empty()) {
        const std::string part = parts.front();
        parts.pop_front();
        if (part == ".") continue;
        const std::string name = join(done, part);
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            // Also a missing name: nothing after it exists to be followed. Any other failure
            // is left to the open, which reports it.
            done = name;
            continue;
        }
        if (st.st_uid != user && st.st_uid != 0)
            return name + " is a symbolic link owned by another user (uid " +
                   std::to_string(st.st_uid) + "); links of other users are not followed.";
        if (++hops > 40) return std::strerror(ELOOP);
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(name.c_str(), target.data(), target.size());
        if (n < 0) return std::strerror(errno);
        if (n == 0) return std::strerror(ENOENT);
        if (static_cast<std::size_t>(n) >= target.size()) return std::strerror(ENAMETOOLONG);
        target.resize(static_cast<std::size_t>(n));
        if (target.front() == '/') done = "/";
        queue(target);
    }
    resolved = done.empty() ? "." : done;
    return {};
}

std::FILE* OpenForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

}  // namespace jqz
