#include "core/platform/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "core/platform/file_lock.h"
#include "core/platform/native_file.h"

namespace jqz {

namespace fs = std::filesystem;

namespace {

std::string writeFailure(const std::string& path, const std::string& why) {
    return "Cannot write " + path + ": " + why;
}

bool writeAll(int fd, const std::string& bytes, bool positioned) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = positioned ? ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                                static_cast<off_t>(done))
                                     : ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const std::string folder = fs::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// The longest name a file in the folder may have.
std::size_t longestName(const std::string& folder) {
    const long n = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return n > 0 ? static_cast<std::size_t>(n) : 255;
}

// The temporary name beside `target`: its own name marked with the process and a serial
// number. Where the mark would make the name longer than the folder allows, the file's own
// name is cut short (never inside a UTF-8 character).
std::string temporaryName(const std::string& target, unsigned serial) {
    const std::string mark = ".tmp~" + std::to_string(::getpid()) + "-" + std::to_string(serial);
    const std::size_t slash = target.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = target.substr(nameStart);
    const std::size_t limit = longestName(folderOf(target));
    if (name.size() + mark.size() > limit) {
        std::size_t keep = limit > mark.size() ? limit - mark.size() : 0;
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
        name.resize(keep);
    }
    return target.substr(0, nameStart) + name + mark;
}

// Creates a fresh temporary file beside `target`; -1 (errno set) when none can be made.
int createTemporary(const std::string& target, mode_t mode, std::string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporaryName(target, counter++);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Copies the extended attributes of the file `from`, its access control list among them, to
// the open file, as far as the process may set them.
void copyExtendedAttributes(const std::string& from, int fd) {
    std::string names;
    for (;;) {
        const ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
        if (size <= 0) return;
        names.resize(static_cast<std::size_t>(size));
        const ssize_t n = ::listxattr(from.c_str(), names.data(), names.size());
        if (n >= 0) {
            names.resize(static_cast<std::size_t>(n));
            break;
        }
        if (errno != ERANGE) return;  // ERANGE: the list grew meanwhile
    }
    std::string value;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        const ssize_t size = ::getxattr(from.c_str(), name, nullptr, 0);
        if (size < 0) continue;
        value.resize(static_cast<std::size_t>(size));
        const ssize_t n = ::getxattr(from.c_str(), name, value.data(), value.size());
        if (n < 0) continue;
        (void)::fsetxattr(fd, name, value.data(), static_cast<std::size_t>(n), 0);
    }
}

// Gives the temporary file the existing file's owner, group, extended attributes (with its
// access control list) and permission bits, as far as the process may. The set-user and
// set-group bits are kept only with the owner.
bool takeOverAttributes(int fd, const std::string& from, const struct stat& old) {
    mode_t mode = old.st_mode & 07777;
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        mode &= ~static_cast<mode_t>(S_ISUID);
        if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0)
            mode &= ~static_cast<mode_t>(S_ISGID);
    }
    copyExtendedAttributes(from, fd);
    return ::fchmod(fd, mode) == 0;
}

void syncFolderOf(const std::string& path) {
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

// How an in-place write ended.
struct InPlaceResult {
    std::string why;         // empty on success
    bool keptWhole = false;  // the file checked is still at its name, its contents untouched
};

// Writes the complete contents over the file that was checked as `old`, keeping its every
// hard link. The name is opened once, without following a symbolic link, waiting on a pipe or
// taking a terminal, and the file is written through that descriptor only when it is still
// the file checked. The space is reserved before the first byte is written, so that a full
// disk refuses the write while the old contents are whole.
InPlaceResult writeInPlace(const std::string& target, const struct stat& old,
                           const std::string& bytes) {
    const std::string replaced = "It was replaced while it was being saved";
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        // A symbolic link (ELOOP) or a pipe without a reader (ENXIO) has taken the name.
        if (errno == ELOOP || errno == ENXIO) return {replaced, false};
        return {std::strerror(errno), false};
    }
    auto fail = [fd](std::string why, bool keptWhole) {
        ::close(fd);
        return InPlaceResult{std::move(why), keptWhole};
    };
    struct stat now {};
    if (::fstat(fd, &now) != 0) return fail(std::strerror(errno), true);
    if (!S_ISREG(now.st_mode) || now.st_dev != old.st_dev || now.st_ino != old.st_ino)
        return fail(replaced, false);
    if (!bytes.empty()) {
        // Also where the file is as long already: a sparse file may lack blocks.
        const int error = ::posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
        // A file system that cannot reserve space is written without the reservation.
        if (error == ENOSPC || error == EDQUOT || error == EFBIG || error == EIO)
            return fail(std::strerror(error), true);
    }
    if (!writeAll(fd, bytes, true) || ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 ||
        ::fsync(fd) != 0)
        return fail(std::strerror(errno), false);
    if (::close(fd) != 0) return {std::strerror(errno), false};
    return {};
}

// The checks before a write, made on the file that `path` leads to: `target` is set to its
// name and `old` to its state when it exists. Empty when the write may go ahead.
std::string checkTarget(const std::string& path, std::string& target, struct stat& old,
                        bool& exists) {
    if (std::string why = FollowTrustedLinks(path, target); !why.empty())
        return writeFailure(path, why);
    exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return writeFailure(path, std::strerror(errno));
    if (exists) {
        if (!S_ISREG(old.st_mode)) return writeFailure(path, NotAPlainFile(target));
        // Judged as opening the file for writing would judge it, by the effective ids.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return writeFailure(path, std::strerror(errno));
        // A file with one name is replaced by renaming over it, which a folder with the
        // sticky bit (such as /tmp) allows only the file's owner, the folder's owner and root.
        struct stat folder {};
        const uid_t user = ::geteuid();
        if (old.st_nlink <= 1 && ::stat(folderOf(target).c_str(), &folder) == 0 &&
            (folder.st_mode & S_ISVTX) != 0 && user != 0 && user != old.st_uid &&
            user != folder.st_uid)
            return writeFailure(path, std::string(std::strerror(EPERM)) +
                                          ". In this folder only the file's owner may replace "
                                          "it (the folder has the sticky bit).");
    }
    return {};
}

}  // namespace

std::string CheckFileWritable(const std::string& path) {
    std::string target;
    struct stat old {};
    bool exists = false;
    if (std::string refusal = checkTarget(path, target, old, exists); !refusal.empty())
        return refusal;
    // The new contents are first written beside the file, so its folder must take new files.
    if (::faccessat(AT_FDCWD, folderOf(target).c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return writeFailure(path, std::strerror(errno));
    return {};
}

namespace {

// The write of WriteFileAtomically. With `lockFd` (the descriptor through which the process
// holds the file's lock), the new file is locked before it takes the name, and `lockFd`
// becomes its descriptor.
std::string writeAtomically(const std::string& path, const std::string& bytes, int* lockFd) {
    std::string target;
    struct stat old {};
    bool exists = false;
    if (std::string refusal = checkTarget(path, target, old, exists); !refusal.empty())
        return refusal;

    std::string temp;
    // A new file gets what a plain create gives (0666 less the umask).
    const int fd = createTemporary(target, exists ? 0600 : 0666, temp);
    if (fd < 0) return writeFailure(path, std::strerror(errno));
    auto abandon = [&](int error) {
        ::unlink(temp.c_str());
        return writeFailure(path, std::strerror(error));
    };
    if (!writeAll(fd, bytes, false) || (exists && !takeOverAttributes(fd, target, old)) ||
        ::fsync(fd) != 0 || (lockFd != nullptr && ::flock(fd, LOCK_EX | LOCK_NB) != 0)) {
        const int error = errno;
        ::close(fd);
        return abandon(error);
    }
    // Without a lock to hand over the descriptor has done its work.
    if (lockFd == nullptr && ::close(fd) != 0) return abandon(errno);

    if (exists && old.st_nlink > 1) {
        // The file keeps its identity, and with it the lock.
        if (lockFd != nullptr) ::close(fd);
        const InPlaceResult written = writeInPlace(target, old, bytes);
        if (!written.why.empty())
            return writeFailure(path, written.why + "." +
                                          (written.keptWhole ? " The file is as it was." : "") +
                                          " The complete new contents are kept in " + temp);
        ::unlink(temp.c_str());
        return {};
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        if (lockFd != nullptr) ::close(fd);
        return abandon(error);
    }
    if (lockFd != nullptr) {
        if (*lockFd >= 0) ::close(*lockFd);
        *lockFd = fd;
    }
    syncFolderOf(target);
    return {};
}

}  // namespace

std::string WriteFileAtomically(const std::string& path, const std::string& bytes) {
    return writeAtomically(path, bytes, nullptr);
}

std::string LockFile::replace(const std::string& path, const std::string& bytes) {
    return writeAtomically(path, bytes, &fd_);
}

std::string CreateFileAtomically(const std::string& path, const std::string& bytes,
                                 bool& existed) {
    existed = false;
    std::string target;
    if (std::string why = FollowTrustedLinks(path, target); !why.empty())
        return writeFailure(path, why);
    std::string temp;
    const int fd = createTemporary(target, 0666, temp);
    if (fd < 0) return writeFailure(path, std::strerror(errno));
    if (!writeAll(fd, bytes, false) || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return writeFailure(path, std::strerror(error));
    }
    ::close(fd);
    // Renamed only where nothing is at the name; a file system without such a rename takes a
    // second hard link instead, which fails just the same where the name is taken.
    int error = 0;
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
        error = errno;
        if (error == EINVAL || error == ENOSYS || error == ENOTSUP) {
            error = ::link(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
            ::unlink(temp.c_str());
        }
    }
    if (error != 0) ::unlink(temp.c_str());
    if (error == EEXIST) {
        existed = true;
        return {};
    }
    if (error != 0) return writeFailure(path, std::strerror(error));
    syncFolderOf(target);
    return {};
}

int RemoveLeftoverTemporaries(const std::string& path) {
    std::string target;
    if (!FollowTrustedLinks(path, target).empty()) return 0;
    const std::string folder = folderOf(target);
    const std::string name = fs::path(target).filename().string();
    const std::size_t limit = longestName(folder);
    const std::string own = std::to_string(::getpid());
    int removed = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string file = entry.path().filename().string();
        // NAME.tmp~PID-N, NAME cut short where the whole would be too long.
        const std::size_t mark = file.rfind(".tmp~");
        if (mark == std::string::npos || mark == 0) continue;
        const std::string_view stem = std::string_view(file).substr(0, mark);
        if (stem != name && !(file.size() == limit && std::string_view(name).starts_with(stem)))
            continue;
        const std::string_view rest = std::string_view(file).substr(mark + 5);
        const std::size_t dash = rest.find('-');
        const std::string_view pid = rest.substr(0, dash);
        if (dash == std::string_view::npos || pid.empty() || dash + 1 == rest.size() ||
            rest.find_first_not_of("0123456789-") != std::string_view::npos ||
            rest.find('-', dash + 1) != std::string_view::npos || pid == own)
            continue;
        struct stat st {};
        if (::lstat(entry.path().c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::unlink(entry.path().c_str()) == 0)
            ++removed;
    }
    return removed;
}

}  // namespace jqz
