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

// The file that keeps the next serial number: one line "next=N".
struct SerialState {
    bool present = false;  // the file exists
    std::uint64_t next = 0;
    std::string error;     // the file exists but cannot be read or holds no number
};
SerialState ReadSerialState(const std::string& path);
// Replaces the file atomically with the number after `used` (which is kept exactly, even
// where it no longer fits in any field: a later run refuses it rather than reuse a number).
// Empty on success, otherwise the message.
std::string WriteSerialState(const std::string& path, const SerialNumbering& numbering,
                             std::uint64_t used);

// Held by a run for as long as it uses a state file, so that two runs at once (two benches
// sharing a folder) never take the same number. The lock is a file beside the state file,
// with ".lock" added to its name.
class SerialStateLock {
public:
    SerialStateLock() = default;
    SerialStateLock(const SerialStateLock&) = delete;
    SerialStateLock& operator=(const SerialStateLock&) = delete;

    // Empty when the lock is held now, otherwise the message.
    std::string acquire(const std::string& statePath);

private:
    LockFile lock_;
};

}  // namespace jqz
