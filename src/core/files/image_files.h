#pragma once
// The three image file formats: the extended format (image data and the whole description),
// Motorola S-records (image data and the project name) and binary (image data only).
//
// Readers place each data byte by the placement rule: a byte at file address A is taken when
// lowest <= A <= highest and lands at A + offset when that is inside the image, through the
// guarded WriteData. They are called in bulk mode after the description was cleared; they
// never begin or end bulk mode themselves. Rejected lines go to the log as notices.
//
// Writers only read the image and the description. Every file is built whole in memory and
// written to a temporary name that is then renamed over the target, so a failed save leaves
// an existing file as it was.
#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jqz {

class ImageDescription;
class LogSink;
class MemoryImage;

enum class FileFormat { Extended, Motorola, Binary, IntelHex };

inline constexpr const char* kExtendedFormatName = "JQZ Extended Format";
inline constexpr const char* kMotorolaFormatName = "Motorola S";
inline constexpr const char* kBinaryFormatName = "Binary";

inline constexpr const char* kUnrecognizedXLine = "Unrecognized Line in X file !";
inline constexpr const char* kUnrecognizedSLine = "Unrecognized Line in S file !";

// The name under which the load dialog offers a format.
const char* FormatName(FileFormat format);
std::optional<FileFormat> FormatFromName(std::string_view name);
// The name with its indefinite article: "a Motorola S", "an Intel HEX".
std::string FormatNameWithArticle(FileFormat format);

// Detection looks for the pairs below in this many leading bytes of a file...
inline constexpr std::size_t kDetectBytes = 100;
// ...and at its first line that is not blank, however long, within this many bytes.
inline constexpr std::size_t kDetectLineBytes = 1024 * 1024;

// The format found in a file's first bytes (`head`, a UTF-8 byte order mark skipped): the
// first "X" or "x" followed by 0, 1, 2, 3 or 7, or "S" or "s" followed by 0, 1 or 2, within
// the first kDetectBytes, decides. When neither pair occurs, a first line (within
// kDetectLineBytes) that is an S-record of another type (an end record, or an S3 record, say)
// shows "Motorola S", and one that is an Intel HEX record that format. Nothing otherwise.
std::optional<FileFormat> detectFormat(std::string_view head);

struct Placement {
    long long lowest = 0;
    long long highest = 0xFFFFFF;
    long long offset = 0;
};

// At most this many rejected lines of one read are logged one by one; the rest are counted
// in one closing notice, so that a file of junk cannot flood the log.
inline constexpr long long kMaxLoggedRejects = 10000;

// What is wrong with a text file besides its lines that are no records. The window program
// loads such a file with notices; the command line refuses it unless told to be lenient.
enum class FileFault {
    BadChecksum,   // a record whose checksum alone is wrong
    Unrecognised,  // a line (not blank) that is no record of the format
    ExtraText,     // text after a record's checksum: two records on one line, say
    Overlap,       // a byte that gives an address another value than an earlier record
    NoEndRecord,   // the text ends without its end record (cut short)
};
inline constexpr std::size_t kFileFaultKinds = 5;

// How often one fault occurs (lines, or bytes for overlaps), with its first line and, for
// overlaps, the first file address given two values.
struct FaultTally {
    long long count = 0;
    long long firstLine = 0;
    long long address = -1;
};

// What a reader did with the data bytes of a file. Bytes outside the chosen file range
// (lowest..highest) are left out on purpose and not counted.
struct PlacementCounts {
    // Lines taken as records of the format (text formats), or bytes read (binary).
    long long recognised = 0;
    // Bytes stored in the image.
    long long placed = 0;
    // Bytes whose address plus offset lies outside 0..0xFFFF.
    long long outsideImage = 0;
    // Bytes that fell on cells the selected device does not have (unimplemented cells).
    long long notOnDevice = 0;
    // The cells that took a byte.
    std::bitset<0x10000> placedCells;
    // The line being read (1 for the first), and the faults found.
    long long line = 0;
    std::array<FaultTally, kFileFaultKinds> faults{};

    void fault(FileFault kind, long long address = -1);
    // The fault met first in the file, if any.
    std::optional<FileFault> firstFault() const;
    const FaultTally& tally(FileFault kind) const { return faults[static_cast<std::size_t>(kind)]; }

    // How many cells of first..last (inclusive, within the image) took a byte.
    long long placedIn(long long first, long long last) const;
    PlacementCounts& operator+=(const PlacementCounts& other);
};

// Readers of text already in memory (the whole file).
PlacementCounts readExtendedText(std::string_view text, const Placement& placement,
                                 MemoryImage& image, ImageDescription& description, LogSink& log);
PlacementCounts readMotorolaText(std::string_view text, const Placement& placement,
                                 MemoryImage& image, ImageDescription& description, LogSink& log);
// `bytes` are the file's bytes from file offset `firstOffset` on.
PlacementCounts readBinaryBytes(std::string_view bytes, long long firstOffset,
                                const Placement& placement, MemoryImage& image);

// Whether the text holds a record that the format's reader would take data from: a data
// record with at least one byte before the end record (S8, S9; Intel HEX 01), or, in the
// extended format, a description record. Looks no further than the first such record. A
// file without one loads nothing and is taken as a file without data.
bool HasDataRecord(std::string_view text, FileFormat format);

// The text of a fault for a message: "line 3 has a bad checksum", say.
std::string FileFaultText(FileFault kind, const FaultTally& tally, FileFormat format);

// File readers: empty on success, otherwise the message that the file could not be read
// (nothing was placed then).
std::string readExtendedFile(const std::string& path, const Placement& placement,
                             MemoryImage& image, ImageDescription& description, LogSink& log);
std::string readMotorolaFile(const std::string& path, const Placement& placement,
                             MemoryImage& image, ImageDescription& description, LogSink& log);
// Reads only the part of the file whose bytes can land in the image.
std::string readBinaryFile(const std::string& path, const Placement& placement,
                           MemoryImage& image);

struct WriteRange {
    long long lowest = 0;
    long long highest = 0xFFFF;
    bool saveUnimplemented = false;
};

enum class MotorolaVariant {
    S1,  // "Motorola S (4 byte address)": 2-byte addresses, 16 bytes a record, S9 end
    S2,  // "Motorola S (6 byte address)": 3-byte addresses, 32 bytes a record, S8 end
};

// The file texts, appended to `out`. The extended text fails (false, `error` set, `out`
// untouched) when a name, a comment or the notes is too long for one record.
bool formatExtendedText(const MemoryImage& image, const ImageDescription& description,
                        const WriteRange& range, std::string& out, std::string& error);
void formatMotorolaText(const MemoryImage& image, const ImageDescription& description,
                        MotorolaVariant variant, const WriteRange& range, std::string& out);
void formatBinaryBytes(const MemoryImage& image, long long lowest, long long highest,
                       std::string& out);

// File writers: empty on success, otherwise the message why the file was not written.
std::string writeExtendedFile(const std::string& path, const MemoryImage& image,
                              const ImageDescription& description, const WriteRange& range);
std::string writeMotorolaFile(const std::string& path, const MemoryImage& image,
                              const ImageDescription& description, MotorolaVariant variant,
                              const WriteRange& range);
std::string writeBinaryFile(const std::string& path, const MemoryImage& image,
                            long long lowest, long long highest);

// Reads at most maxBytes of a file from byte `offset` on into `out` (fewer at its end).
// Empty on success, otherwise the message naming the file and the cause.
std::string readFileBytes(const std::string& path, long long offset, std::size_t maxBytes,
                          std::string& out);

// The text readers refuse larger files: 24-bit addresses need far less.
inline constexpr long long kMaxTextFileBytes = 256ll * 1024 * 1024;
// The whole file for a text reader; empty on success, otherwise the message.
std::string readTextFile(const std::string& path, std::string& out);

// The part of a binary file whose bytes can land in the image under `placement`.
struct FileWindow {
    long long first = 0;
    std::size_t length = 0;
};
FileWindow binaryFileWindow(const Placement& placement);

}  // namespace jqz
