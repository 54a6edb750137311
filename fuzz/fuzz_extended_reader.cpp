// The extended-format reader takes any bytes, and what it read survives a write and a
// second read unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

using jqz::fuzz::kLast;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static jqz::fuzz::ReusedModel first, second;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    first.load(text, jqz::readExtendedText);

    std::string written;
    std::string error;
    if (!jqz::formatExtendedText(first->image, first->description,
                                 jqz::fuzz::writtenRange(first, true), written, error))
        __builtin_trap();  // nothing read can be too long to write
    second.load(written, jqz::readExtendedText);

    if (second->description.projectName() != first->description.projectName() ||
        second->description.deviceName() != first->description.deviceName() ||
        second->description.notes() != first->description.notes() ||
        second->description.rowCount() != first->description.rowCount())
        __builtin_trap();
    for (int i = 0; i < first->description.rowCount(); ++i)
        if (!(second->description.getRow(i) == first->description.getRow(i))) __builtin_trap();
    auto same = [&](int a) {
        if (second->image.ReadData(a) != first->image.ReadData(a) ||
            second->image.ReadAttribute(a) != first->image.ReadAttribute(a))
            __builtin_trap();
    };
    jqz::fuzz::forTouched(first, second, same);
    for (int i = 0; i < first->description.rowCount(); ++i)
        if (const int a = first->description.getRow(i).address; a >= 0 && a <= kLast) same(a);
    return 0;
}
