#pragma once
// Serial numbers written into each device's image before it is programmed: where they go,
// how they are encoded, and the file that keeps the next number from one run to the next.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/file_lock.h"

namespace jqz {

enum class SerialFormat {
    BigEndian,     // binary, most significant byte first
    LittleEndian,  // binary, least significant byte first
    Bcd,           // two decimal digits a byte, most significant first
    Ascii,         // decimal digits, zero-padded to the field's length
};

struct SerialNumbering {
    int address = 0;  // first byte of the field in the image
    int bytes = 0;    // length of the field
    std::uint64_t start = 0;
    std::uint64_t step = 1;
    SerialFormat format = SerialFormat::BigEndian;

    int lastAddress() const { return address + bytes - 1; }
};

// "ADDR,BYTES,START[,STEP][,FORMAT]": numbers decimal, or hexadecimal after 0x or $; FORMAT
// be, le, bcd or ascii (default be). Nothing, with `error` set, when the text is not such.
std::optional<SerialNumbering> ParseSerialNumbering(std::string_view text, std::string& error);

// The largest number the field holds.
std::uint64_t LargestSerial(const SerialNumbering& numbering);

// The field's bytes for the number; nothing when the number does not fit.
std::optional<std::vector<std::uint8_t>> EncodeSerial(const SerialNumbering& numbering,
                                                      std::uint64_t number);

// The number that follows `number`; nothing when it would not fit in the field.
std::optional<std::uint64_t> NextSerial(const SerialNumbering& numbering, std::uint64_t number);

// Why the number does not fit, e.g. "70000 does not fit in 2 bytes (be: at most 65535)";
// empty when it fits.
std::string SerialTooLarge(const SerialNumbering& numbering, std::uint64_t number);

// What the file that keeps the next serial number holds besides the number, while a device is
// under way and until its report line is written.
struct SerialPending {
    std::optional<std::uint64_t> inProgress;  // a device that got this number has no result yet
    std::optional<std::uint64_t> used;        // the device that got this number passed
    std::string report;  // the report that `line` belongs to, as a full name
    std::string line;    // a report line, with its line end, that may be missing from it

    bool empty() const { return !inProgress && !used && report.empty() && line.empty(); }
};

// The file that keeps the next serial number: a line "next=N", then what is pending, a line
// each ("in_progress=N", "used=N", "report=NAME", "line=TEXT" with backslash, CR and LF
// written \\, \r and \n). While nothing is pending it is the one line.
struct SerialState {
    bool present = false;  // the file exists
    std::uint64_t next = 0;
    std::string error;     // the file exists but cannot be read or holds no number
    SerialPending pending;
};
SerialState ReadSerialState(const std::string& path);
// The file's contents; `next` in decimal digits.
std::string SerialStateText(std::string_view next, const SerialPending& pending = {});
// The number after `used` in decimal digits, kept exactly even where it no longer fits in any
// field (a later run refuses it rather than reuse a number).
std::string SerialAfter(const SerialNumbering& numbering, std::uint64_t used);

// A run's hold on the file that keeps the next serial number, for as long as it uses it, so
// that two runs at once (two benches sharing a folder, or reaching one file by two names)
// never take the same number. The lock is on the file itself.
class SerialStateFile {
public:
    SerialStateFile() = default;
    SerialStateFile(const SerialStateFile&) = delete;
    SerialStateFile& operator=(const SerialStateFile&) = delete;
    // A file this run made and numbered no device from is removed again.
    ~SerialStateFile();

    // Locks the file, making it with START when it is missing, and reads it. Empty on success,
    // otherwise the message: while another run holds the file it is refused at once, since a
    // series holds it for as long as it runs.
    std::string open(const std::string& path, std::uint64_t start, SerialState& state);
    // Replaces the file's contents, keeping the lock. Empty on success, otherwise the message.
    std::string write(std::string_view next, const SerialPending& pending = {});
    // Whether open() made the file.
    bool made() const { return made_; }

private:
    std::string path_;
    LockFile lock_;
    bool made_ = false, numbered_ = false;
};

}  // namespace jqz
