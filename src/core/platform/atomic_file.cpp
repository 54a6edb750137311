#include "core/platform/atomic_file.h"

#include <atomic>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include "core/platform/native_file.h"

namespace jqz {

namespace fs = std::filesystem;

namespace {

// Opens a file for reading by its UTF-8 name.
std::FILE* openForReading(const std::string& path) {
#ifdef _WIN32
    return ::_wfopen(Win32FileName(path).c_str(), L"rb");
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

}  // namespace

std::string NotAPlainFile(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(NativePath(path), ec);
    const char* what = nullptr;
    switch (status.type()) {
        case fs::file_type::directory: what = "a directory"; break;
        case fs::file_type::fifo: what = "a named pipe (FIFO)"; break;
        case fs::file_type::socket: what = "a socket"; break;
        case fs::file_type::character:
        case fs::file_type::block: what = "a device"; break;
        case fs::file_type::none:
        case fs::file_type::not_found:
        case fs::file_type::regular:
        case fs::file_type::symlink:  // not seen: status() follows links
            break;
        default: what = "not a file"; break;
    }
    if (what == nullptr) return {};
    return std::string("It is ") + what + ", not a plain file.";
}

std::string ReadFileToEnd(const std::string& path, std::string& out, std::size_t maxBytes) {
    out.clear();
    auto failure = [&](const std::string& why) {
        out.clear();
        return "Cannot read " + path + ": " + why;
    };
    // Checked before opening: opening a named pipe would wait for a writer.
    if (std::string what = NotAPlainFile(path); !what.empty()) return failure(what);
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(openForReading(path),
                                                               &std::fclose);
    if (!file) return failure(std::strerror(errno));
    // The reported size is only a first guess: some files (those of /proc) report none.
    std::error_code ec;
    const auto reported = fs::file_size(NativePath(path), ec);
    if (!ec && reported > maxBytes) return failure("It is larger than " + std::to_string(maxBytes) + " bytes.");
    if (!ec) out.reserve(static_cast<std::size_t>(reported));
    char chunk[64 * 1024];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        if (n > 0) {
            if (n > maxBytes - out.size())
                return failure("It is larger than " + std::to_string(maxBytes) + " bytes.");
            out.append(chunk, n);
        }
        if (n < sizeof chunk) {
            if (std::ferror(file.get()) != 0) {
                const int error = errno != 0 ? errno : EIO;
                return failure(std::strerror(error));
            }
            if (std::feof(file.get()) != 0) break;
        }
    }
    return {};
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    std::string bytes;
    if (!ReadFileToEnd(path, bytes, maxBytes).empty()) return std::nullopt;
    return bytes;
}

#ifndef _WIN32

namespace {

std::string writeFailure(const std::string& path, const std::string& why) {
    return "Cannot write " + path + ": " + why;
}

// The name of the file that symbolic links lead to, which need not exist yet: a link to a
// missing file makes that file. False (with the cause) when the links go round in a circle.
bool followLinks(std::string& path, std::string& why) {
    fs::path p(path);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec))) {
            path = p.string();
            return true;
        }
        const fs::path target = fs::read_symlink(p, ec);
        if (ec) {
            why = ec.message();
            return false;
        }
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    why = std::strerror(ELOOP);
    return false;
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
    target = path;
    std::string why;
    if (!followLinks(target, why)) return writeFailure(path, why);
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

std::string WriteFileAtomically(const std::string& path, const std::string& bytes) {
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
        ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        return abandon(error);
    }
    if (::close(fd) != 0) return abandon(errno);

    if (exists && old.st_nlink > 1) {
        const InPlaceResult written = writeInPlace(target, old, bytes);
        if (!written.why.empty())
            return writeFailure(path, written.why + "." +
                                          (written.keptWhole ? " The file is as it was." : "") +
                                          " The complete new contents are kept in " + temp);
        ::unlink(temp.c_str());
        return {};
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) return abandon(errno);
    syncFolderOf(target);
    return {};
}

#else

namespace {

std::string writeFailure(const std::string& path, unsigned long error) {
    return "Cannot write " + path + ": " + Win32ErrorText(error);
}

// The folder the file is in, where the new contents are first written.
std::string folderOf(const std::string& path) {
    const std::string folder = Utf8Name(NativePath(path).parent_path());
    return folder.empty() ? "." : folder;
}

}  // namespace

// A folder, device or pipe is refused as on other systems; so is a file that cannot be opened
// for writing (the read-only attribute, the file's ACL, another program holding it) and a
// folder that takes no new files, as a write would find them.
std::string CheckFileWritable(const std::string& path) {
    if (std::string what = NotAPlainFile(path); !what.empty()) return "Cannot write " + path + ": " + what;
    const std::wstring target = Win32FileName(path);
    if (const DWORD attributes = ::GetFileAttributesW(target.c_str());
        attributes != INVALID_FILE_ATTRIBUTES) {
        // Windows refuses to write a read-only file to everyone; Wine lets root open it.
        if (attributes & FILE_ATTRIBUTE_READONLY) return writeFailure(path, ERROR_ACCESS_DENIED);
        // Opening for writing changes nothing in the file; it only asks.
        const HANDLE h = ::CreateFileW(target.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return writeFailure(path, ::GetLastError());
        ::CloseHandle(h);
    } else if (const DWORD error = ::GetLastError();
               error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        return writeFailure(path, error);
    }
    const std::string folder = folderOf(path);
    if (::GetFileAttributesW(Win32FileName(folder).c_str()) == INVALID_FILE_ATTRIBUTES)
        return writeFailure(path, ::GetLastError());
    if (!FolderIsWritable(folder)) return writeFailure(path, ERROR_ACCESS_DENIED);
    return {};
}

namespace {

// The temporary name beside `target`: its own name marked with the process, the name cut
// short where the mark would make it longer than the 255 UTF-16 units a name may have (never
// between the two halves of a surrogate pair).
std::wstring temporaryName(const std::wstring& target) {
    const std::wstring mark = L".tmp~" + std::to_wstring(::GetCurrentProcessId());
    const std::size_t separator = target.find_last_of(L"\\/:");
    const std::size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
    std::wstring name = target.substr(nameStart);
    constexpr std::size_t kLongest = 255;
    if (name.size() + mark.size() > kLongest) {
        std::size_t keep = kLongest - mark.size();
        if (keep > 0 && IS_HIGH_SURROGATE(name[keep - 1])) --keep;
        name.resize(keep);
    }
    return target.substr(0, nameStart) + name + mark;
}

}  // namespace

// An existing file is replaced with ReplaceFileW, which keeps what belongs to the file rather
// than to its contents: its attributes, its ACL, its creation time and its short name.
std::string WriteFileAtomically(const std::string& path, const std::string& bytes) {
    if (std::string refusal = CheckFileWritable(path); !refusal.empty()) return refusal;
    const std::wstring target = Win32FileName(path);
    const std::wstring temp = LongPathName(temporaryName(WideFromUtf8(path)));
    const HANDLE h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return writeFailure(path, ::GetLastError());
    std::size_t done = 0;
    DWORD error = 0;
    while (done < bytes.size() && error == 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD n = 0;
        if (!::WriteFile(h, bytes.data() + done, chunk, &n, nullptr))
            error = ::GetLastError();
        done += n;
    }
    if (error == 0 && !::FlushFileBuffers(h)) error = ::GetLastError();
    if (!::CloseHandle(h) && error == 0) error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (error == 0 && attributes != INVALID_FILE_ATTRIBUTES) {
        if (!::ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            error = ::GetLastError();
        } else if (::GetFileAttributesW(target.c_str()) != attributes) {
            // Not every implementation carries the attributes over; they are the file's.
            (void)::SetFileAttributesW(target.c_str(), attributes);
        }
    } else if (error == 0 && !::MoveFileExW(temp.c_str(), target.c_str(),
                                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ::GetLastError();
    }
    if (error != 0) {
        ::DeleteFileW(temp.c_str());
        return writeFailure(path, error);
    }
    return {};
}

#endif  // _WIN32

}  // namespace jqz
