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

// Detection looks at this many leading bytes of a file.
inline constexpr std::size_t kDetectBytes = 100;

// The format found in a file's first bytes (only the first kDetectBytes of `head` count):
// the first "X" or "x" followed by 0, 1, 2, 3 or 7, or "S" or "s" followed by 0, 1 or 2,
// decides. When neither pair occurs, a first line that is an S-record of another type (an
// end record, say) shows "Motorola S", and one that is an Intel HEX record that format.
// Nothing otherwise.
std::optional<FileFormat> detectFormat(std::string_view head);

struct Placement {
    long long lowest = 0;
    long long highest = 0xFFFFFF;
    long long offset = 0;
};

// At most this many rejected lines of one read are logged one by one; the rest are counted
// in one closing notice, so that a file of junk cannot flood the log.
inline constexpr long long kMaxLoggedRejects = 10000;

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
