// The binary reader with any placement: reading only the window of the file that can land
// gives the same image as placing every byte of the whole file one by one.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/files/image_files.h"
#include "core/image/hex_edit_model.h"

namespace {

std::int32_t take32(const std::uint8_t*& data, std::size_t& size) {
    std::uint32_t v = 0;
    const std::size_t n = size < 4 ? size : 4;
    std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return static_cast<std::int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    jqz::Placement p;
    // Placements as the load dialog makes them: lowest and highest not negative, any offset.
    p.lowest = take32(data, size) & 0x7FFFFFFF;
    p.highest = take32(data, size) & 0x7FFFFFFF;
    p.offset = take32(data, size);
    if (p.highest < p.lowest) std::swap(p.lowest, p.highest);
    // Stretch short inputs over the image so that offsets are exercised.
    std::string file(reinterpret_cast<const char*>(data), size);
    if (!file.empty() && file.size() < 0x18000) {
        const std::string seed = file;
        while (file.size() < 0x18000) file += seed;
    }

    static jqz::HexEditModel model;
    model.image.BeginBulk();
    for (int a = 0; a <= 0xFFFF; ++a) model.image.WriteData(a, 0);
    const jqz::FileWindow window = jqz::binaryFileWindow(p);
    const std::string_view all(file);
    const std::string_view part =
        window.first < static_cast<long long>(all.size())
            ? all.substr(static_cast<std::size_t>(window.first), window.length)
            : std::string_view{};
    jqz::readBinaryBytes(part, window.first, p, model.image);

    std::array<std::uint8_t, 0x10000> expected{};
    for (std::size_t i = 0; i < file.size(); ++i) {
        const long long a = static_cast<long long>(i);
        const long long target = a + p.offset;
        if (a >= p.lowest && a <= p.highest && target >= 0 && target <= 0xFFFF)
            expected[static_cast<std::size_t>(target)] = static_cast<std::uint8_t>(file[i]);
    }
    for (int a = 0; a <= 0xFFFF; ++a)
        if (model.image.ReadData(a) != expected[static_cast<std::size_t>(a)]) __builtin_trap();
    model.image.EndBulk();
    return 0;
}
