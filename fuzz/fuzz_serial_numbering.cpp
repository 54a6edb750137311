// The --serial text takes any bytes; what it accepts encodes its first number so that the
// number reads back from the field's bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/production/serial_number.h"

namespace {

// The number the field's bytes hold, read back by the format's rule.
bool decode(const jqz::SerialNumbering& n, const std::vector<std::uint8_t>& bytes,
            std::uint64_t& value) {
    value = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t b =
            n.format == jqz::SerialFormat::LittleEndian ? bytes[bytes.size() - 1 - i] : bytes[i];
        switch (n.format) {
            case jqz::SerialFormat::BigEndian:
            case jqz::SerialFormat::LittleEndian: value = value * 256 + b; break;
            case jqz::SerialFormat::Bcd:
                if ((b >> 4) > 9 || (b & 0x0F) > 9) return false;
                value = value * 100 + (b >> 4) * 10 + (b & 0x0F);
                break;
            case jqz::SerialFormat::Ascii:
                if (b < '0' || b > '9') return false;
                value = value * 10 + (b - '0');
                break;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto n = jqz::ParseSerialNumbering(text, error);
    if (!n) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    if (n->address < 0 || n->address > 0xFFFF || n->bytes < 1 || n->step == 0) __builtin_trap();
    const auto bytes = jqz::EncodeSerial(*n, n->start);
    if (bytes.has_value() != jqz::SerialTooLarge(*n, n->start).empty()) __builtin_trap();
    if (!bytes) return 0;
    std::uint64_t value = 0;
    if (bytes->size() != static_cast<std::size_t>(n->bytes) || !decode(*n, *bytes, value) ||
        value != n->start)
        __builtin_trap();
    return 0;
}
