// The S-record reader takes any bytes, and what it read survives a write in either variant
// and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static jqz::fuzz::ReusedModel first, second;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    first.load(text, jqz::readMotorolaText);
    for (auto variant : {jqz::MotorolaVariant::S1, jqz::MotorolaVariant::S2}) {
        std::string written;
        jqz::formatMotorolaText(first->image, first->description, variant,
                                jqz::fuzz::writtenRange(first, false), written);
        second.load(written, jqz::readMotorolaText);
        if (second->description.projectName() != first->description.projectName().substr(0, 200))
            __builtin_trap();
        jqz::fuzz::forTouched(first, second, [&](int a) {
            if (second->image.ReadData(a) != first->image.ReadData(a)) __builtin_trap();
        });
    }
    return 0;
}
