#include "core/production/production_report.h"

#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "core/platform/atomic_file.h"
#include "core/platform/native_file.h"

namespace jqz {

namespace {

#ifndef _WIN32
// Another run may append to the same report at the same moment (two programmers on one
// machine): the look at its size and the header, and each line, go in under the file's lock,
// so the header comes once, first, and lines never interleave.
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
#endif

}  // namespace

std::string CsvField(std::string_view text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return std::string(text);
    std::string s = "\"";
    for (const char c : text) {
        if (c == '"') s += '"';
        s += c;
    }
    return s + "\"";
}

std::string IsoTimeUtc(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto secondsSinceEpoch = floor<seconds>(when);
    const auto day = floor<days>(secondsSinceEpoch);
    const year_month_day date{day};
    const hh_mm_ss time{secondsSinceEpoch - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

ProductionReport::~ProductionReport() {
    if (fd_ >= 0) {
#ifdef _WIN32
        ::_close(fd_);
#else
        ::close(fd_);
#endif
    }
}

std::string ProductionReport::open(const std::string& path) {
    path_ = path;
    auto failure = [&](const std::string& why) { return "Cannot write the report " + path + ": " + why; };
    if (std::string what = NotAPlainFile(path); !what.empty()) return failure(what);
    std::error_code ec;
    const bool existed = std::filesystem::exists(NativePath(path), ec);
#ifdef _WIN32
    fd_ = ::_wopen(WideFromUtf8(path).c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY,
                   _S_IREAD | _S_IWRITE);
    if (fd_ < 0) return failure(std::strerror(errno));
    struct _stat64 st {};
    if (::_fstat64(fd_, &st) != 0) return failure(std::strerror(errno));
    const bool empty = st.st_size == 0;
#else
    // Not blocking on a pipe that appeared after the check above: it is refused below.
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd_ < 0) return failure(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return failure(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return failure("It is not a plain file.");
    }
    const ReportLock lock(fd_);
    if (::fstat(fd_, &st) != 0) return failure(std::strerror(errno));
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
#endif
    (void)existed;
    if (empty) return write(std::string(kReportHeader) + "\n");
    return {};
}

std::string ProductionReport::append(const ReportLine& line) {
    return write(line.time + "," + CsvField(line.device) + "," + CsvField(line.serial) + "," +
                 CsvField(line.result) + "," + CsvField(line.crc32) + "," +
                 CsvField(line.error) + "\n");
}

std::string ProductionReport::write(const std::string& text) {
    auto failure = [&](int error) {
        return "Cannot write the report " + path_ + ": " + std::strerror(error);
    };
    if (fd_ < 0) return failure(EBADF);
#ifndef _WIN32
    const ReportLock lock(fd_);
#endif
    // A line is written whole or not at all: one cut short (a full disk, the size limit) is
    // taken back, so that the next run appends after a complete line.
#ifdef _WIN32
    const long long before = ::_filelengthi64(fd_);
    auto takeBack = [&] { if (before >= 0) (void)::_chsize_s(fd_, before); };
#else
    struct stat st {};
    const off_t before = ::fstat(fd_, &st) == 0 ? st.st_size : -1;
    auto takeBack = [&] { if (before >= 0) (void)!::ftruncate(fd_, before); };
#endif
    std::size_t done = 0;
    while (done < text.size()) {
#ifdef _WIN32
        const int n = ::_write(fd_, text.data() + done, static_cast<unsigned>(text.size() - done));
#else
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
#endif
        if (n < 0) {
            const int error = errno;
            if (done > 0) takeBack();
            return failure(error);
        }
        done += static_cast<std::size_t>(n);
    }
#ifdef _WIN32
    if (::_commit(fd_) != 0) return failure(errno);
#else
    if (::fsync(fd_) != 0) return failure(errno);
#endif
    return {};
}

}  // namespace jqz
