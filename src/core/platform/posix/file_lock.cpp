#include "core/platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/platform/native_file.h"

namespace jqz {

namespace {
// Why a name that FollowTrustedLinks found no link at would not open without following one.
constexpr const char* kBecameALink = "It was made a symbolic link while it was being opened.";
}  // namespace

LockFile::~LockFile() {
    if (fd_ >= 0) ::close(fd_);  // lets the lock go
}

LockFile::Result LockFile::acquire(const std::string& path, std::string& why) {
    std::string name;
    if (why = FollowTrustedLinks(path, name); !why.empty()) return Result::Failed;
    // Not following a link that another user planted since.
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0666);
    if (fd < 0) {
        why = errno == ELOOP ? kBecameALink : std::strerror(errno);
        return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) return Result::Taken;
        why = std::strerror(error);
        return Result::Failed;
    }
    fd_ = fd;
    return Result::Held;
}

namespace {

class ReportLock {
public:
    explicit ReportLock(int fd) : fd_(fd) {
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~ReportLock() { (void)::flock(fd_, LOCK_UN); }
    ReportLock(const ReportLock&) = delete;
    ReportLock& operator=(const ReportLock&) = delete;

private:
    int fd_;
};

}  // namespace

SharedAppendFile::~SharedAppendFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::string SharedAppendFile::open(const std::string& given, const std::string& firstLine) {
    std::string path;
    if (std::string why = FollowTrustedLinks(given, path); !why.empty()) return why;
    std::error_code ec;
    const bool existed = std::filesystem::exists(path, ec);
    // Not blocking on a pipe that appeared after the caller's check: it is refused below.
    // Not following a link that another user planted since.
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0666);
    if (fd_ < 0) return errno == ELOOP ? kBecameALink : std::strerror(errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return std::strerror(errno);
    if (!S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return "It is not a plain file.";
    }
    const ReportLock lock(fd_);
    if (::fstat(fd_, &st) != 0) return std::strerror(errno);
    const bool empty = st.st_size == 0;
    if (!existed) {
        // The new name itself must survive a crash, not only the lines written to it.
        const std::string folder = std::filesystem::path(path).parent_path().string();
        const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            (void)::fsync(dir);
            ::close(dir);
        }
    }
    if (empty)
        if (const int error = append(firstLine); error != 0) return std::strerror(error);
    return {};
}

int SharedAppendFile::append(const std::string& text) {
    if (fd_ < 0) return EBADF;
    const ReportLock lock(fd_);
    struct stat st {};
    const off_t before = ::fstat(fd_, &st) == 0 ? st.st_size : -1;
    auto takeBack = [&] { if (before >= 0) (void)!::ftruncate(fd_, before); };
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n < 0) {
            const int error = errno;
            if (done > 0) takeBack();
            return error;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd_) != 0) return errno;
    return 0;
}

}  // namespace jqz
