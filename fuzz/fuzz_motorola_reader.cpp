// The S-record reader takes any bytes, and what it read survives a write in either variant
// and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_support.h"

using jqz::fuzz::kLast;

namespace {

void load(std::string_view text, jqz::HexEditModel& m) {
    jqz::fuzz::load(text, m, jqz::readMotorolaText);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto first = std::make_unique<jqz::HexEditModel>();
    load(text, *first);
    for (auto variant : {jqz::MotorolaVariant::S1, jqz::MotorolaVariant::S2}) {
        std::string written;
        jqz::formatMotorolaText(first->image, first->description, variant, {0, kLast, false},
                                written);
        auto second = std::make_unique<jqz::HexEditModel>();
        load(written, *second);
        if (second->description.projectName() != first->description.projectName().substr(0, 200))
            __builtin_trap();
        for (int a = 0; a <= kLast; ++a)
            if (second->image.ReadData(a) != first->image.ReadData(a)) __builtin_trap();
    }
    return 0;
}
