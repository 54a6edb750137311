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

LockFile::Result LockFile::acquire(const std::string& path, std::string& why) {
    std::string resolved;
    if (why = FollowTrustedLinks(path, resolved); !why.empty()) return Result::Failed;
    // Not shared with anyone; gone when the last handle closes, also when the process dies.
    const HANDLE h = ::CreateFileW(Win32FileName(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                   nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SHARING_VIOLATION) return Result::Taken;
        why = Win32ErrorText(error);
        return Result::Failed;
    }
    handle_ = h;
    return Result::Held;
}

SharedAppendFile::~SharedAppendFile() {
    if (fd_ >= 0) ::_close(fd_);
}

std::string SharedAppendFile::open(const std::string& path, const std::string& firstLine) {
    std::string resolved;
    if (std::string why = FollowTrustedLinks(path, resolved); !why.empty()) return why;
    fd_ = ::_wopen(Win32FileName(path).c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY,
                   _S_IREAD | _S_IWRITE);
    if (fd_ < 0) return std::strerror(errno);
    struct _stat64 st {};
    if (::_fstat64(fd_, &st) != 0) return std::strerror(errno);
    if (st.st_size == 0)
        if (const int error = append(firstLine); error != 0) return std::strerror(error);
    return {};
}

int SharedAppendFile::append(const std::string& text) {
    if (fd_ < 0) return EBADF;
    const long long before = ::_filelengthi64(fd_);
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
