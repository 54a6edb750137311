#include "core/files/image_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <span>
#include <vector>

#include "core/platform/atomic_file.h"
#include "core/messages/log_model.h"
#include "core/platform/native_file.h"
#include "core/files/file_text.h"
#include "core/image/image_description.h"
#include "core/files/intel_hex.h"
#include "core/files/record_placement.h"
#include "core/files/records.h"
#include "core/image/memory_image.h"
#include "core/image/number_parsers.h"

namespace jqz {

namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string describe(const char* action, const std::string& path, const std::string& why) {
    return std::string(action) + " \"" + path + "\". " + why;
}

}  // namespace

namespace {

// Whether the first line that is not blank is an S-record of any type (an end record alone,
// say), checksum and all.
bool firstLineIsMotorolaRecord(std::string_view head) {
    Record record;
    return ParseMotorolaRecord(FirstNonBlankLine(head), record) && record.type[0] == 'S' &&
           record.type[1] >= '0' && record.type[1] <= '9';
}

}  // namespace

const char* FormatName(FileFormat format) {
    switch (format) {
        case FileFormat::Extended: return kExtendedFormatName;
        case FileFormat::Motorola: return kMotorolaFormatName;
        case FileFormat::IntelHex: return kIntelHexFormatName;
        case FileFormat::Binary: break;
    }
    return kBinaryFormatName;
}

std::optional<FileFormat> FormatFromName(std::string_view name) {
    for (FileFormat f : {FileFormat::Extended, FileFormat::Motorola, FileFormat::Binary,
                         FileFormat::IntelHex})
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
    if (firstLineIsMotorolaRecord(head)) return FileFormat::Motorola;
    if (FirstLineIsIntelHexRecord(head)) return FileFormat::IntelHex;
    return std::nullopt;
}

PlacementCounts& PlacementCounts::operator+=(const PlacementCounts& other) {
    recognised += other.recognised;
    placed += other.placed;
    outsideImage += other.outsideImage;
    notOnDevice += other.notOnDevice;
    placedCells |= other.placedCells;
    return *this;
}

long long PlacementCounts::placedIn(long long first, long long last) const {
    long long n = 0;
    for (long long a = std::max(first, 0LL); a <= std::min(last, 0xFFFFLL); ++a)
        n += placedCells.test(static_cast<std::size_t>(a));
    return n;
}

namespace {

bool isExtendedRecord(std::string_view line, Record& record) {
    return ParseExtendedRecord(line, record) && record.type[0] == 'X' &&
           std::strchr("01237", record.type[1]) != nullptr && record.type[1] != '\0' &&
           (record.type[1] != '2' || record.size > 0);
}

bool isMotorolaRecord(std::string_view line, Record& record) {
    return ParseMotorolaRecord(line, record) && record.type[0] == 'S' &&
           std::strchr("01289", record.type[1]) != nullptr && record.type[1] != '\0';
}

}  // namespace

bool HasDataRecord(std::string_view text, FileFormat format) {
    if (format == FileFormat::Binary) return !text.empty();
    bool found = false;
    if (format == FileFormat::IntelHex) {
        IntelHexRecord intel;
        ForEachLine(text, [&](std::string_view line) {
            if (!ParseIntelHexRecord(line, intel)) return true;
            if (intel.type == 0x01) return false;  // the end: nothing after it is read
            found = intel.type == 0x00 && !intel.data.empty();
            return !found;
        });
        return found;
    }
    Record record;
    if (format == FileFormat::Extended) {
        // Every record of the extended format but an empty data record carries something:
        // the description's records are loaded as the data are.
        ForEachLine(text, [&](std::string_view line) {
            found = isExtendedRecord(line, record) && (record.type[1] != '7' || record.size > 0);
            return !found;
        });
        return found;
    }
    ForEachLine(text, [&](std::string_view line) {
        if (!isMotorolaRecord(line, record)) return true;
        if (record.is('S', '9') || record.is('S', '8')) return false;  // the end of the data
        found = (record.is('S', '1') || record.is('S', '2')) && record.size > 0;
        return !found;
    });
    return found;
}

PlacementCounts readExtendedText(std::string_view text, const Placement& placement,
                                 MemoryImage& image, ImageDescription& description, LogSink& log) {
    PlacementCounts counts;
    RecordRejectLog rejects(log, kUnrecognizedXLine, "X");
    Record record;
    int row = 0;
    ForEachLine(text, [&](std::string_view line) {
        if (!isExtendedRecord(line, record)) {
            rejects.reject();
            return true;
        }
        ++counts.recognised;
        switch (record.type[1]) {
            case '0': description.setProjectName(record.text()); break;
            case '1': description.setDeviceName(record.text()); break;
            case '2': {
                // A row needs its attribute byte (a record without one is not recognised).
                const std::uint8_t attribute = record.buffer[0];
                description.putRow(row++, ProjCell{static_cast<int>(record.address),
                                                   attribute & 0x7F, (attribute & 0x80) != 0,
                                                   record.text(1)});
                break;
            }
            case '3': description.setNotes(record.text()); break;
            case '7': PlaceRecordBytes(image, placement, record.address, record.data(), counts); break;
            default: break;
        }
        return true;
    });
    return counts;
}

PlacementCounts readMotorolaText(std::string_view text, const Placement& placement,
                                 MemoryImage& image, ImageDescription& description, LogSink& log) {
    PlacementCounts counts;
    RecordRejectLog rejects(log, kUnrecognizedSLine, "S");
    Record record;
    ForEachLine(text, [&](std::string_view line) {
        if (!isMotorolaRecord(line, record)) {
            rejects.reject();
            return true;
        }
        ++counts.recognised;
        if (record.is('S', '9') || record.is('S', '8')) return false;
        if (record.is('S', '0'))
            description.setProjectName(record.text());
        else
            PlaceRecordBytes(image, placement, record.address, record.data(), counts);
        return true;
    });
    return counts;
}

PlacementCounts readBinaryBytes(std::string_view bytes, long long firstOffset,
                                const Placement& placement, MemoryImage& image) {
    PlacementCounts counts;
    counts.recognised = static_cast<long long>(bytes.size());
    PlaceRecordBytes(image, placement, firstOffset, bytesOf(bytes), counts);
    return counts;
}

std::string readExtendedFile(const std::string& path, const Placement& placement,
                             MemoryImage& image, ImageDescription& description, LogSink& log) {
    FileText file;
    if (std::string error = file.read(path); !error.empty()) return error;
    readExtendedText(file.text(), placement, image, description, log);
    return {};
}

std::string readMotorolaFile(const std::string& path, const Placement& placement,
                             MemoryImage& image, ImageDescription& description, LogSink& log) {
    FileText file;
    if (std::string error = file.read(path); !error.empty()) return error;
    readMotorolaText(file.text(), placement, image, description, log);
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
    ForEachWriteChunk(image, range, 32, [&out](std::uint32_t a, std::span<const std::uint8_t> data) {
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
    ForEachWriteChunk(image, range, s1 ? 16 : 32,
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

namespace {

std::string tooLargeMessage(const std::string& path) {
    return describe("Cannot read file", path,
                    "The file is larger than " +
                        std::to_string(kMaxTextFileBytes / (1024 * 1024)) +
                        " MB and cannot be an image file.");
}

std::string textFileTooLarge(const std::string& path) {
    std::error_code ec;
    const auto native = NativePath(path);
    if (std::filesystem::is_regular_file(native, ec) &&
        std::filesystem::file_size(native, ec) > static_cast<std::uintmax_t>(kMaxTextFileBytes) &&
        !ec)
        return tooLargeMessage(path);
    return {};
}

}  // namespace

std::string readTextFile(const std::string& path, std::string& out) {
    if (std::string error = textFileTooLarge(path); !error.empty()) return error;
    // One byte more than allowed is asked for, so that a file that reports a smaller size
    // than it has is refused as well instead of being cut short.
    std::string error = readFileBytes(path, 0, static_cast<std::size_t>(kMaxTextFileBytes) + 1, out);
    if (!error.empty() || out.size() <= static_cast<std::size_t>(kMaxTextFileBytes)) return error;
    out.clear();
    return tooLargeMessage(path);
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
                        folder ? NotAPlainFile(path) : "It is not a plain file.");
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
        return describe("Cannot open file", path, NotAPlainFile(path));
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
            return describe("Cannot read file", path, why);
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

#endif

FileText::~FileText() { release(); }

void FileText::release() {
#ifndef _WIN32
    if (block_ != nullptr) ::munmap(block_, blockSize_);
#endif
    block_ = nullptr;
    blockSize_ = 0;
    copy_.clear();
    view_ = {};
}

std::string FileText::read(const std::string& path) {
    release();
#ifndef _WIN32
    // A large file goes straight into memory of its own, taken whole from the system (no
    // clearing, copying or growing of a buffer); one byte more than its size shows a file that
    // grew meanwhile, which is then read as small files are.
    constexpr long long kLargeFrom = 1 << 20;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= kLargeFrom &&
        st.st_size <= kMaxTextFileBytes) {
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
                view_ = std::string_view(bytes, done);
                return {};
            }
            release();
        }
    }
    if (fd >= 0) ::close(fd);
#endif
    std::string error = readTextFile(path, copy_);
    view_ = copy_;
    return error;
}

}  // namespace jqz
