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

// The file is opened for reading only: flock needs no more, so a file that another user made
// (root, say, with mode 0644) is no obstacle to the lock; whether it may be written is judged
// where it is written.
LockFile::Result LockFile::acquire(const std::string& path, std::string& why) {
    // A run that replaces the file moves the name to a new file, which it has locked first:
    // the lock is ours only when the name still leads to the very file locked.
    std::string name;
    if (why = FollowTrustedLinks(path, name); !why.empty()) return Result::Failed;
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Not following a link that another user planted since.
        const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
        if (fd < 0) {
            if (errno == ENOENT) return Result::Missing;
            why = errno == ELOOP ? kBecameALink : std::strerror(errno);
            return Result::Failed;
        }
        struct stat locked {};
        if (::fstat(fd, &locked) != 0) locked.st_mode = 0;
        if (!S_ISREG(locked.st_mode)) {
            why = "It is not a plain file.";
            ::close(fd);
            return Result::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) return Result::Taken;
            why = std::strerror(error);
            return Result::Failed;
        }
        struct stat named {};
        if (::stat(name.c_str(), &named) == 0 && named.st_dev == locked.st_dev &&
            named.st_ino == locked.st_ino) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = fd;
            return Result::Held;
        }
        ::close(fd);
    }
    why = "It was replaced again and again while it was being locked.";
    return Result::Failed;
}

void LockFile::remove(const std::string& path) {
    struct stat locked {}, named {};
    if (fd_ >= 0 && ::fstat(fd_, &locked) == 0 && ::stat(path.c_str(), &named) == 0 &&
        named.st_dev == locked.st_dev && named.st_ino == locked.st_ino)
        (void)::unlink(path.c_str());
}

namespace {

// Holds the file's lock for as long as it lives, once taken; a lock held by another run is
// waited for as `wait` says. A file system without locks (ENOLCK) goes without.
class AppendLock {
public:
    AppendLock(int fd, const LockWait& wait) : fd_(fd) {
        stopped_ = !wait.until([&] {
            while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
                if (errno == EWOULDBLOCK) return true;
                if (errno != EINTR) return false;
            }
            locked_ = true;
            return false;
        });
    }
    ~AppendLock() {
        if (locked_) (void)::flock(fd_, LOCK_UN);
    }
    AppendLock(const AppendLock&) = delete;
    AppendLock& operator=(const AppendLock&) = delete;
    bool stopped() const { return stopped_; }

private:
    int fd_;
    bool locked_ = false, stopped_ = false;
};

}  // namespace

SharedAppendFile::~SharedAppendFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::string SharedAppendFile::open(const std::string& given, const std::string& firstLine,
                                   const LockWait& wait) {
    wait_ = wait;
    std::string path;
    if (std::string why = FollowTrustedLinks(given, path); !why.empty()) return why;
    std::error_code ec;
    const bool existed = std::filesystem::exists(path, ec);
    // Not blocking on a pipe that appeared after the caller's check: it is refused below.
    // Not following a link that another user planted since.
    // Read too, where the file allows it, to see how its last line ends.
    const int flags = O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;
    fd_ = ::open(path.c_str(), O_RDWR | flags, 0666);
    if (fd_ < 0 && errno == EACCES) fd_ = ::open(path.c_str(), O_WRONLY | flags, 0666);
    if (fd_ < 0) return errno == ELOOP ? kBecameALink : std::strerror(errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return std::strerror(errno);
    if (!S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return "It is not a plain file.";
    }
    const AppendLock lock(fd_, wait_);
    if (lock.stopped()) return std::strerror(ECANCELED);
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

int SharedAppendFile::append(const std::string& line, bool once) {
    if (fd_ < 0) return EBADF;
    const AppendLock lock(fd_, wait_);
    if (lock.stopped()) return ECANCELED;
    struct stat st {};
    const off_t before = ::fstat(fd_, &st) == 0 ? st.st_size : -1;
    // The file's last bytes, where it may be read.
    std::string tail;
    if (before > 0) {
        const off_t from = before > static_cast<off_t>(kTailLooked)
                               ? before - static_cast<off_t>(kTailLooked)
                               : 0;
        tail.resize(static_cast<std::size_t>(before - from));
        const ssize_t n = ::pread(fd_, tail.data(), tail.size(), from);
        tail.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    const bool whole = before <= static_cast<off_t>(kTailLooked);
    const std::string text = LineToAppend(tail, whole, line, once);
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
