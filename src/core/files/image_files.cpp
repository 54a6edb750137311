#include "core/files/image_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <span>
#include <vector>

#include "core/platform/atomic_file.h"
#include "core/platform/file_read.h"
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
    return ParseMotorolaRecord(FirstNonBlankLine(SkipByteOrderMark(head)), record) && record.type[0] == 'S' &&
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

std::string FormatNameWithArticle(FileFormat format) {
    return (format == FileFormat::IntelHex ? "an " : "a ") + std::string(FormatName(format));
}

std::optional<FileFormat> FormatFromName(std::string_view name) {
    for (FileFormat f : {FileFormat::Extended, FileFormat::Motorola, FileFormat::Binary,
                         FileFormat::IntelHex})
        if (name == FormatName(f)) return f;
    return std::nullopt;
}

std::optional<FileFormat> detectFormat(std::string_view head) {
    // One byte order mark is skipped, as the readers skip one: the record helpers below skip
    // it themselves, so they are given the bytes with it.
    const std::string_view capped = head.substr(0, std::min(head.size(), kDetectLineBytes));
    head = SkipByteOrderMark(capped);
    const std::string_view pairs = head.substr(0, std::min(head.size(), kDetectBytes));
    for (std::size_t i = 0; i + 1 < pairs.size(); ++i) {
        const char c = pairs[i];
        const char next = pairs[i + 1];
        if ((c == 'X' || c == 'x') && std::strchr("01237", next) != nullptr && next != '\0')
            return FileFormat::Extended;
        if ((c == 'S' || c == 's') && next >= '0' && next <= '2') return FileFormat::Motorola;
    }
    if (firstLineIsMotorolaRecord(capped)) return FileFormat::Motorola;
    if (FirstLineIsIntelHexRecord(capped)) return FileFormat::IntelHex;
    return std::nullopt;
}

void PlacementCounts::fault(FileFault kind, long long address) {
    FaultTally& t = faults[static_cast<std::size_t>(kind)];
    if (t.count++ == 0) {
        t.firstLine = line;
        t.address = address;
    }
}

std::optional<FileFault> PlacementCounts::firstFault() const {
    std::optional<FileFault> first;
    for (std::size_t k = 0; k < kFileFaultKinds; ++k)
        if (faults[k].count > 0 && (!first || faults[k].firstLine < tally(*first).firstLine))
            first = static_cast<FileFault>(k);
    return first;
}

std::string FileFaultText(FileFault kind, const FaultTally& tally, FileFormat format) {
    const std::string line = "line " + std::to_string(tally.firstLine);
    switch (kind) {
        case FileFault::BadChecksum: return line + " has a bad checksum";
        case FileFault::Unrecognised:
            return line + " is not " + FormatNameWithArticle(format) + " record";
        case FileFault::ExtraText:
            return line + " has text after its record's checksum (two records on one line?)";
        case FileFault::Overlap:
            return line + " gives " + AddressText(tally.address) +
                   " another value than an earlier line";
        case FileFault::NoEndRecord:
            return "the file ends after line " + std::to_string(tally.firstLine - 1) +
                   " without its end record (cut short?)";
    }
    return line;
}

PlacementCounts& PlacementCounts::operator+=(const PlacementCounts& other) {
    recognised += other.recognised;
    placed += other.placed;
    outsideImage += other.outsideImage;
    notOnDevice += other.notOnDevice;
    placedCells |= other.placedCells;
    for (std::size_t k = 0; k < kFileFaultKinds; ++k) {
        FaultTally& mine = faults[k];
        const FaultTally& theirs = other.faults[k];
        if (theirs.count > 0 && mine.count == 0) mine = theirs;
        else mine.count += theirs.count;
    }
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
    text = SkipByteOrderMark(text);
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
    ForEachLine(SkipByteOrderMark(text), [&](std::string_view line) {
        ++counts.line;
        if (!isExtendedRecord(line, record)) {
            rejects.reject();
            NoteRejectedLine(line, kExtendedSyntax, counts);
            return true;
        }
        NoteTextAfterRecord(line, kExtendedSyntax, counts);
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
    // The text is whole when it has its end record, or a count record (S5, S6) that counts the
    // data records before it (srec_cat leaves the end record out when there is no start
    // address).
    bool ended = false;
    long long dataRecords = 0;
    ForEachLine(SkipByteOrderMark(text), [&](std::string_view line) {
        ++counts.line;
        if (!isMotorolaRecord(line, record)) {
            rejects.reject();
            // Count records mean nothing to an image, and harm none.
            const bool parsed = ParseMotorolaRecord(line, record);
            if (parsed && record.is('S', '3')) ++dataRecords;
            if (parsed && (record.is('S', '5') || record.is('S', '6'))) {
                const long long counted =
                    record.is('S', '5') || record.size == 0
                        ? record.address
                        : (static_cast<long long>(record.address) << 8) | record.buffer[0];
                if (counted == dataRecords) ended = true;
            } else {
                NoteRejectedLine(line, kMotorolaSyntax, counts);
            }
            return true;
        }
        if (record.is('S', '1') || record.is('S', '2')) ++dataRecords;
        NoteTextAfterRecord(line, kMotorolaSyntax, counts);
        ++counts.recognised;
        if (record.is('S', '9') || record.is('S', '8')) {
            ended = true;
            return false;
        }
        if (record.is('S', '0'))
            description.setProjectName(record.text());
        else
            PlaceRecordBytes(image, placement, record.address, record.data(), counts);
        return true;
    });
    if (!ended) NoteNoEndRecord(counts);
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

std::string readFileBytes(const std::string& path, long long offset, std::size_t maxBytes,
                          std::string& out) {
    bool opening = false;
    const std::string why = ReadFileRange(path, offset, maxBytes, out, opening);
    if (why.empty()) return {};
    return describe(opening ? "Cannot open file" : "Cannot read file", path, why);
}

FileText::~FileText() { release(); }

void FileText::release() {
    block_.release();
    copy_.clear();
    view_ = {};
}

std::string FileText::read(const std::string& path) {
    release();
    // A large file goes straight into memory of its own; one that grows meanwhile is read as
    // small files are.
    constexpr long long kLargeFrom = 1 << 20;
    if (block_.read(path, kLargeFrom, kMaxTextFileBytes)) {
        view_ = block_.bytes();
        return {};
    }
    std::string error = readTextFile(path, copy_);
    view_ = copy_;
    return error;
}

}  // namespace jqz
