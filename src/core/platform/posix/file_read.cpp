#include "core/platform/file_read.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/platform/atomic_file.h"

namespace jqz {

std::string ReadFileRange(const std::string& path, long long offset, std::size_t maxBytes,
                          std::string& out, bool& opening) {
    out.clear();
    opening = true;
    // Non-blocking, so that a named pipe cannot hang the open; only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::strerror(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const std::string why = std::strerror(errno);
        ::close(fd);
        return why;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return NotAPlainFile(path);
    }
    // The reported size is a first guess only: files such as those of /proc report none and
    // have content, so the file is read to its end (or to maxBytes).
    constexpr std::size_t kFirstGuess = 64 * 1024;
    const long long reported = std::max(0LL, static_cast<long long>(st.st_size) - offset);
    out.resize(std::min(maxBytes, std::max(kFirstGuess, static_cast<std::size_t>(reported))));
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd, out.data() + done, out.size() - done,
                                  static_cast<off_t>(offset + static_cast<long long>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const std::string why = std::strerror(errno);
            ::close(fd);
            out.clear();
            opening = false;
            return why;
        }
        if (n == 0) break;  // the end of the file
        done += static_cast<std::size_t>(n);
        if (done == out.size() && out.size() < maxBytes) {
            // Full as reported: a look past the end tells whether there is more, before the
            // buffer is grown (and copied) for it.
            char probe[4096];
            const ssize_t more = ::pread(fd, probe, sizeof probe,
                                         static_cast<off_t>(offset + static_cast<long long>(done)));
            if (more <= 0) break;  // the end, or an error the next read reports
            out.resize(std::min(maxBytes, out.size() * 2));
        }
    }
    out.resize(done);
    ::close(fd);
    return {};
}

bool FileMemory::read(const std::string& path, long long minBytes, long long maxBytes) {
    release();
    // One byte more than its size shows a file that grew meanwhile.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= minBytes &&
        st.st_size <= maxBytes) {
        const std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
        void* at = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                          -1, 0);
        if (at != MAP_FAILED) {
            // Large pages where the system offers them: far fewer page faults.
            (void)::madvise(at, capacity, MADV_HUGEPAGE);
            block_ = at;
            blockSize_ = capacity;
            char* const bytes = static_cast<char*>(at);
            std::size_t done = 0;
            ssize_t n = 0;
            while (done < capacity &&
                   ((n = ::read(fd, bytes + done, capacity - done)) > 0 || (n < 0 && errno == EINTR)))
                done += n > 0 ? static_cast<std::size_t>(n) : 0;
            if (n == 0 && done < capacity) {
                ::close(fd);
                bytes_ = std::string_view(bytes, done);
                return true;
            }
            release();
        }
    }
    if (fd >= 0) ::close(fd);
    return false;
}

void FileMemory::release() {
    if (block_ != nullptr) ::munmap(block_, blockSize_);
    block_ = nullptr;
    blockSize_ = 0;
    bytes_ = {};
}

}  // namespace jqz
