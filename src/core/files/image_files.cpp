#include "core/files/image_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <span>
#include <vector>

#include "core/app/atomic_file.h"
#include "core/app/log_model.h"
#include "core/app/native_file.h"
#include "core/files/image_description.h"
#include "core/files/records.h"
#include "core/image/memory_image.h"
#include "core/image/number_parsers.h"

namespace jqz {

namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Writes the bytes of one record that pass the placement rule.
void place(MemoryImage& image, const Placement& placement, long long address,
           std::span<const std::uint8_t> data) {
    const long long first = std::max({0LL, placement.lowest - address,
                                      -placement.offset - address});
    const long long last =
        std::min({static_cast<long long>(data.size()) - 1, placement.highest - address,
                  MemoryImage::LastAddress() - placement.offset - address});
    for (long long i = first; i <= last; ++i)
        image.WriteData(address + i + placement.offset, data[static_cast<std::size_t>(i)]);
}

// Logs rejected lines, the first kMaxLoggedRejects one by one and the rest as one count.
class RejectLog {
public:
    RejectLog(LogSink& log, const char* line, const char* fileKind)
        : log_(log), line_(line), fileKind_(fileKind) {}
    RejectLog(const RejectLog&) = delete;
    RejectLog& operator=(const RejectLog&) = delete;
    ~RejectLog() {
        if (count_ > kMaxLoggedRejects)
            log_.AddLogLine(std::to_string(count_ - kMaxLoggedRejects) +
                                " more unrecognized lines in " + fileKind_ + " file not listed",
                            LogNotice);
    }
    void reject() {
        if (++count_ <= kMaxLoggedRejects) log_.AddLogLine(line_, LogNotice);
    }

private:
    LogSink& log_;
    const char* line_;
    const char* fileKind_;
    long long count_ = 0;
};

// Calls emit(address, bytes) for every record of `range`: at most `max` bytes each, starting
// at the range's start and after every skipped cell, ended before an unimplemented cell unless
// those are saved.
template <typename Emit>
void forEachChunk(const MemoryImage& image, const WriteRange& range, long long max, Emit&& emit) {
    const long long lowest = std::max(range.lowest, 0LL);
    const long long highest = std::min(range.highest, static_cast<long long>(MemoryImage::LastAddress()));
    std::uint8_t chunk[32];
    long long a = lowest;
    while (a <= highest) {
        long long i = 0;
        while (i < max && a + i <= highest &&
               (range.saveUnimplemented || !image.IsUnimplemented(a + i))) {
            chunk[i] = image.ReadData(a + i);
            ++i;
        }
        if (i > 0) {
            emit(static_cast<std::uint32_t>(a), std::span<const std::uint8_t>(chunk, static_cast<std::size_t>(i)));
            a += i;
        } else {
            ++a;
        }
    }
}

std::string describe(const char* action, const std::string& path, const std::string& why) {
    return std::string(action) + " \"" + path + "\". " + why;
}

}  // namespace

const char* FormatName(FileFormat format) {
    switch (format) {
        case FileFormat::Extended: return kExtendedFormatName;
        case FileFormat::Motorola: return kMotorolaFormatName;
        case FileFormat::Binary: break;
    }
    return kBinaryFormatName;
}

std::optional<FileFormat> FormatFromName(std::string_view name) {
    for (FileFormat f : {FileFormat::Extended, FileFormat::Motorola, FileFormat::Binary})
        if (name == FormatName(f)) return f;
    return std::nullopt;
}

std::optional<FileFormat> detectFormat(std::string_view head) {
    head = head.substr(0, std::min(head.size(), kDetectBytes));
    for (std::size_t i = 0; i + 1 < head.size(); ++i) {
        const char c = head[i];
        const char next = head[i + 1];
        if ((c == 'X' || c == 'x') && std::strchr("01237", next) != nullptr && next != '\0')
            return FileFormat::Extended;
        if ((c == 'S' || c == 's') && next >= '0' && next <= '2') return FileFormat::Motorola;
    }
    return std::nullopt;
}

void readExtendedText(std::string_view text, const Placement& placement, MemoryImage& image,
                      ImageDescription& description, LogSink& log) {
    RejectLog rejects(log, kUnrecognizedXLine, "X");
    Record record;
    int row = 0;
    ForEachLine(text, [&](std::string_view line) {
        if (!ParseExtendedRecord(line, record) || record.type[0] != 'X') {
            rejects.reject();
            return true;
        }
        switch (record.type[1]) {
            case '0': description.setProjectName(record.text()); break;
            case '1': description.setDeviceName(record.text()); break;
            case '2': {
                // A row needs its attribute byte; a record without one is not a row.
                if (record.size == 0) {
                    rejects.reject();
                    break;
                }
                const std::uint8_t attribute = record.buffer[0];
                description.putRow(row++, ProjCell{static_cast<int>(record.address),
                                                   attribute & 0x7F, (attribute & 0x80) != 0,
                                                   record.text(1)});
                break;
            }
            case '3': description.setNotes(record.text()); break;
            case '7': place(image, placement, record.address, record.data()); break;
            default: rejects.reject();
        }
        return true;
    });
}

void readMotorolaText(std::string_view text, const Placement& placement, MemoryImage& image,
                      ImageDescription& description, LogSink& log) {
    RejectLog rejects(log, kUnrecognizedSLine, "S");
    Record record;
    ForEachLine(text, [&](std::string_view line) {
        if (!ParseMotorolaRecord(line, record)) {
            rejects.reject();
            return true;
        }
        if (record.is('S', '9') || record.is('S', '8')) return false;
        if (record.is('S', '0'))
            description.setProjectName(record.text());
        else if (record.is('S', '1') || record.is('S', '2'))
            place(image, placement, record.address, record.data());
        else
            rejects.reject();
        return true;
    });
}

void readBinaryBytes(std::string_view bytes, long long firstOffset, const Placement& placement,
                     MemoryImage& image) {
    place(image, placement, firstOffset, bytesOf(bytes));
}

std::string readExtendedFile(const std::string& path, const Placement& placement,
                             MemoryImage& image, ImageDescription& description, LogSink& log) {
    std::string text;
    if (std::string error = readTextFile(path, text); !error.empty()) return error;
    readExtendedText(text, placement, image, description, log);
    return {};
}

std::string readMotorolaFile(const std::string& path, const Placement& placement,
                             MemoryImage& image, ImageDescription& description, LogSink& log) {
    std::string text;
    if (std::string error = readTextFile(path, text); !error.empty()) return error;
    readMotorolaText(text, placement, image, description, log);
    return {};
}

std::string readBinaryFile(const std::string& path, const Placement& placement,
                           MemoryImage& image) {
    const FileWindow window = binaryFileWindow(placement);
    std::string bytes;
    if (std::string error = readFileBytes(path, window.first, window.length, bytes);
        !error.empty())
        return error;
    readBinaryBytes(bytes, window.first, placement, image);
    return {};
}

bool formatExtendedText(const MemoryImage& image, const ImageDescription& description,
                        const WriteRange& range, std::string& out, std::string& error) {
    const std::string project = description.projectName();
    const std::string device = description.deviceName();
    const std::string notes = description.notes();
    const int rows = description.rowCount();
    std::vector<ProjCell> cells;
    cells.reserve(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) cells.push_back(description.getRow(i));

    auto tooLong = [&](const std::string& what, std::size_t max) {
        error = what + " is too long for the " + kExtendedFormatName + ": at most " +
                std::to_string(max) + " characters fit in one record. Shorten it and save again.";
        return false;
    };
    if (project.size() > kMaxExtendedData) return tooLong("The project name", kMaxExtendedData);
    if (device.size() > kMaxExtendedData) return tooLong("The device name", kMaxExtendedData);
    if (notes.size() > kMaxExtendedData) return tooLong("The notes text", kMaxExtendedData);
    for (const ProjCell& cell : cells)
        if (cell.comment.size() > kMaxExtendedData - 1)
            return tooLong("The comment of the described cell " + AddressText(cell.address),
                           kMaxExtendedData - 1);

    out.reserve(out.size() + 6 * 16 + 2 * (project.size() + device.size() + notes.size()) +
                static_cast<std::size_t>(rows) * 40 + 2600 * 82);
    AppendExtendedRecord(out, '0', 0, bytesOf(project));
    AppendExtendedRecord(out, '1', 0, bytesOf(device));
    std::string rowData;
    for (const ProjCell& cell : cells) {
        rowData.assign(1, static_cast<char>((cell.readOnly ? 0x80 : 0x00) | (cell.colour & 0x3F)));
        rowData += cell.comment;
        AppendExtendedRecord(out, '2', static_cast<std::uint32_t>(cell.address) & 0xFFFFFFu,
                             bytesOf(rowData));
    }
    AppendExtendedRecord(out, '3', 0, bytesOf(notes));
    forEachChunk(image, range, 32, [&out](std::uint32_t a, std::span<const std::uint8_t> data) {
        AppendExtendedRecord(out, '7', a, data);
    });
    return true;
}

void formatMotorolaText(const MemoryImage& image, const ImageDescription& description,
                        MotorolaVariant variant, const WriteRange& range, std::string& out) {
    const std::string project = description.projectName().substr(0, 200);
    const bool s1 = variant == MotorolaVariant::S1;
    out.reserve(out.size() + 2 * project.size() + (s1 ? 4096 * 46 : 2048 * 78) + 64);
    AppendMotorolaRecord(out, '0', 2, 0, bytesOf(project));
    forEachChunk(image, range, s1 ? 16 : 32,
                 [&out, s1](std::uint32_t a, std::span<const std::uint8_t> data) {
                     AppendMotorolaRecord(out, s1 ? '1' : '2', s1 ? 2 : 3,
                                          s1 ? (a & 0xFFFFu) : a, data);
                 });
    AppendMotorolaRecord(out, s1 ? '9' : '8', s1 ? 2 : 3, 0, {});
}

void formatBinaryBytes(const MemoryImage& image, long long lowest, long long highest,
                       std::string& out) {
    lowest = std::max(lowest, 0LL);
    highest = std::min(highest, static_cast<long long>(MemoryImage::LastAddress()));
    if (highest < lowest) return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(highest - lowest + 1));
    for (long long a = lowest; a <= highest; ++a)
        out[at + static_cast<std::size_t>(a - lowest)] = static_cast<char>(image.ReadData(a));
}

std::string writeExtendedFile(const std::string& path, const MemoryImage& image,
                              const ImageDescription& description, const WriteRange& range) {
    std::string text;
    std::string error;
    if (!formatExtendedText(image, description, range, text, error)) return error;
    return WriteFileAtomically(path, text);
}

std::string writeMotorolaFile(const std::string& path, const MemoryImage& image,
                              const ImageDescription& description, MotorolaVariant variant,
                              const WriteRange& range) {
    std::string text;
    formatMotorolaText(image, description, variant, range, text);
    return WriteFileAtomically(path, text);
}

std::string writeBinaryFile(const std::string& path, const MemoryImage& image,
                            long long lowest, long long highest) {
    std::string bytes;
    formatBinaryBytes(image, lowest, highest, bytes);
    return WriteFileAtomically(path, bytes);
}

std::string readTextFile(const std::string& path, std::string& out) {
    std::error_code ec;
    const auto native = NativePath(path);
    if (std::filesystem::is_regular_file(native, ec) &&
        std::filesystem::file_size(native, ec) > static_cast<std::uintmax_t>(kMaxTextFileBytes) &&
        !ec)
        return describe("Cannot read file", path,
                        "The file is larger than " +
                            std::to_string(kMaxTextFileBytes / (1024 * 1024)) +
                            " MB and cannot be an image file.");
    return readFileBytes(path, 0, static_cast<std::size_t>(kMaxTextFileBytes), out);
}

FileWindow binaryFileWindow(const Placement& placement) {
    const long long first = std::max({placement.lowest, -placement.offset, 0LL});
    const long long last =
        std::min(placement.highest, MemoryImage::LastAddress() - placement.offset);
    return {first, last >= first ? static_cast<std::size_t>(last - first + 1) : 0};
}

#ifdef _WIN32

std::string readFileBytes(const std::string& path, long long offset, std::size_t maxBytes,
                          std::string& out) {
    out.clear();
    const HANDLE h = ::CreateFileW(NativePath(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return describe("Cannot open file", path, Win32ErrorText(::GetLastError()));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(h);
        return describe("Cannot open file", path, Win32ErrorText(error));
    }
    // Only files on disk are read: a pipe or a device could hang the read.
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || ::GetFileType(h) != FILE_TYPE_DISK) {
        const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        ::CloseHandle(h);
        return describe("Cannot open file", path,
                        folder ? std::strerror(EISDIR) : "It is not a regular file.");
    }
    const long long size =
        static_cast<long long>((static_cast<unsigned long long>(info.nFileSizeHigh) << 32) |
                               info.nFileSizeLow);
    const long long available = std::max(0LL, size - offset);
    out.resize(std::min(maxBytes, static_cast<std::size_t>(available)));
    std::size_t done = 0;
    while (done < out.size()) {
        OVERLAPPED at{};
        const unsigned long long position = static_cast<unsigned long long>(offset) + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
        DWORD n = 0;
        if (!::ReadFile(h, out.data() + done, chunk, &n, &at)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF) break;
            ::CloseHandle(h);
            out.clear();
            return describe("Cannot read file", path, Win32ErrorText(error));
        }
        if (n == 0) break;  // the file shrank meanwhile
        done += n;
    }
    out.resize(done);
    ::CloseHandle(h);
    return {};
}

#else

std::string readFileBytes(const std::string& path, long long offset, std::size_t maxBytes,
                          std::string& out) {
    out.clear();
    // Non-blocking, so that a named pipe cannot hang the open; only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return describe("Cannot open file", path, std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const std::string why = std::strerror(errno);
        ::close(fd);
        return describe("Cannot open file", path, why);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return describe("Cannot open file", path,
                        S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "It is not a regular file.");
    }
    const long long available = std::max(0LL, static_cast<long long>(st.st_size) - offset);
    out.resize(std::min(maxBytes, static_cast<std::size_t>(available)));
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd, out.data() + done, out.size() - done,
                                  static_cast<off_t>(offset + static_cast<long long>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const std::string why = std::strerror(errno);
            ::close(fd);
            out.clear();
            return describe("Cannot read file", path, why);
        }
        if (n == 0) break;  // the file shrank meanwhile
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
    ::close(fd);
    return {};
}

#endif

}  // namespace jqz
