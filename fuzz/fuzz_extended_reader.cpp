// The extended-format reader takes any bytes, and what it read survives a write and a
// second read unchanged.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_support.h"

using jqz::fuzz::kLast;

namespace {

void load(std::string_view text, jqz::HexEditModel& m) {
    jqz::fuzz::load(text, m, jqz::readExtendedText);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto first = std::make_unique<jqz::HexEditModel>();
    load(text, *first);

    std::string written;
    std::string error;
    if (!jqz::formatExtendedText(first->image, first->description, {0, kLast, true}, written,
                                 error))
        __builtin_trap();  // nothing read can be too long to write
    auto second = std::make_unique<jqz::HexEditModel>();
    load(written, *second);

    if (second->description.projectName() != first->description.projectName() ||
        second->description.deviceName() != first->description.deviceName() ||
        second->description.notes() != first->description.notes() ||
        second->description.rowCount() != first->description.rowCount())
        __builtin_trap();
    for (int i = 0; i < first->description.rowCount(); ++i)
        if (!(second->description.getRow(i) == first->description.getRow(i))) __builtin_trap();
    for (int a = 0; a <= kLast; ++a)
        if (second->image.ReadData(a) != first->image.ReadData(a) ||
            second->image.ReadAttribute(a) != first->image.ReadAttribute(a))
            __builtin_trap();
    return 0;
}
