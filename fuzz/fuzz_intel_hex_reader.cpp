// The Intel HEX reader takes any bytes, and what it read survives a write with either record
// length and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/files/intel_hex.h"
#include "fuzz_support.h"

using jqz::fuzz::kLast;

namespace {

void load(std::string_view text, jqz::HexEditModel& m) {
    jqz::fuzz::load(text, m,
                    [](std::string_view t, const jqz::Placement& p, jqz::MemoryImage& image,
                       jqz::ImageDescription&, jqz::LogSink& log) {
                        jqz::readIntelHexText(t, p, image, log);
                    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto first = std::make_unique<jqz::HexEditModel>();
    load(text, *first);
    for (int perLine : {16, 32}) {
        std::string written;
        jqz::formatIntelHexText(first->image, {0, kLast, false}, perLine, written);
        auto second = std::make_unique<jqz::HexEditModel>();
        load(written, *second);
        for (int a = 0; a <= kLast; ++a)
            if (second->image.ReadData(a) != first->image.ReadData(a)) __builtin_trap();
    }
    return 0;
}
