// The Intel HEX reader takes any bytes, and what it read survives a write with either record
// length and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/files/intel_hex.h"
#include "fuzz_support.h"

namespace {

jqz::PlacementCounts readIntelHex(std::string_view t, const jqz::Placement& p,
                                  jqz::MemoryImage& image, jqz::ImageDescription&,
                                  jqz::LogSink& log) {
    return jqz::readIntelHexText(t, p, image, log);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static jqz::fuzz::ReusedModel first, second;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    first.load(text, readIntelHex);
    for (int perLine : {16, 32}) {
        std::string written;
        jqz::formatIntelHexText(first->image, jqz::fuzz::writtenRange(first, false), perLine,
                                written);
        second.load(written, readIntelHex);
        jqz::fuzz::forTouched(first, second, [&](int a) {
            if (second->image.ReadData(a) != first->image.ReadData(a)) __builtin_trap();
        });
    }
    return 0;
}
