#include "core/platform/file_lock.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "core/platform/native_file.h"

namespace jqz {

LockFile::~LockFile() {
    if (handle_) ::CloseHandle(static_cast<HANDLE>(handle_));
}

namespace {

// The name the file finally has, symbolic links and junctions followed; empty when the file
// cannot be opened (`error` set).
std::wstring finalName(const std::wstring& name, DWORD& error) {
    const HANDLE h = ::CreateFileW(name.c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        return {};
    }
    std::wstring final(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()),
                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= final.size()) {
        final.resize(n + 1);
        n = ::GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    error = n == 0 ? ::GetLastError() : 0;
    ::CloseHandle(h);
    // Where the final name is not known, the name given stands for it.
    if (n == 0 || n >= final.size()) return name;
    final.resize(n);
    return final;
}

}  // namespace

LockFile::Result LockFile::acquire(const std::string& path, std::string& why) {
    std::string resolved;
    if (why = FollowTrustedLinks(path, resolved); !why.empty()) return Result::Failed;
    DWORD error = 0;
    const std::wstring file = finalName(Win32FileName(path), error);
    if (file.empty()) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Result::Missing;
        why = Win32ErrorText(error);
        return Result::Failed;
    }
    // Not shared with anyone; gone when the last handle closes, also when the process dies.
    const HANDLE h = ::CreateFileW((file + L".lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                   nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        if (error == ERROR_SHARING_VIOLATION) return Result::Taken;
        why = Win32ErrorText(error);
        return Result::Failed;
    }
    if (handle_) ::CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = h;
    return Result::Held;
}

void LockFile::remove(const std::string& path) {
    if (handle_) (void)::DeleteFileW(Win32FileName(path).c_str());
}

SharedAppendFile::~SharedAppendFile() {
    if (fd_ >= 0) ::_close(fd_);
}

// Windows has no lock shared between runs here; the wait is never needed.
std::string SharedAppendFile::open(const std::string& path, const std::string& firstLine,
                                   const LockWait& wait) {
    wait_ = wait;
    std::string resolved;
    if (std::string why = FollowTrustedLinks(path, resolved); !why.empty()) return why;
    const std::wstring name = Win32FileName(path);
    // Read too, where the file allows it, to see how its last line ends.
    fd_ = ::_wopen(name.c_str(), _O_RDWR | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd_ < 0 && errno == EACCES)
        fd_ = ::_wopen(name.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY,
                       _S_IREAD | _S_IWRITE);
    if (fd_ < 0) return std::strerror(errno);
    struct _stat64 st {};
    if (::_fstat64(fd_, &st) != 0) return std::strerror(errno);
    if (st.st_size == 0)
        if (const int error = append(firstLine); error != 0) return std::strerror(error);
    return {};
}

int SharedAppendFile::append(const std::string& line, bool once) {
    if (fd_ < 0) return EBADF;
    const long long before = ::_filelengthi64(fd_);
    std::string tail;
    if (before > 0) {
        const long long from = before > static_cast<long long>(kTailLooked)
                                   ? before - static_cast<long long>(kTailLooked)
                                   : 0;
        tail.resize(static_cast<std::size_t>(before - from));
        const int n = ::_lseeki64(fd_, from, SEEK_SET) == from
                          ? ::_read(fd_, tail.data(), static_cast<unsigned>(tail.size()))
                          : -1;
        tail.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    const std::string text =
        LineToAppend(tail, before <= static_cast<long long>(kTailLooked), line, once);
    auto takeBack = [&] { if (before >= 0) (void)::_chsize_s(fd_, before); };
    std::size_t done = 0;
    while (done < text.size()) {
        const int n = ::_write(fd_, text.data() + done, static_cast<unsigned>(text.size() - done));
        if (n < 0) {
            const int error = errno;
            if (done > 0) takeBack();
            return error;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::_commit(fd_) != 0) return errno;
    return 0;
}

}  // namespace jqz
