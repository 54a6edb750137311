// The binary reader with any placement: reading only the window of the file that can land
// gives the same image, and the same cells, as placing every byte of the whole file one by one.
#include <array>
#include <bitset>
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
    // Stretch short inputs over a part of the image so that offsets are exercised: 8 KiB,
    // so that an input costs a few thousand cells rather than every cell twice over.
    constexpr std::size_t kStretch = 0x2000;
    std::string file(reinterpret_cast<const char*>(data), size);
    if (!file.empty() && file.size() < kStretch) {
        const std::string seed = file;
        while (file.size() < kStretch) file += seed;
    }

    // One model for every input, in bulk mode all along: the cells the last input placed go
    // back to 0 first.
    static jqz::HexEditModel model;
    static const bool bulk = (model.image.BeginBulk(), true);
    (void)bulk;
    static jqz::PlacementCounts last;
    for (std::size_t a = last.placedCells._Find_first(); a < last.placedCells.size();
         a = last.placedCells._Find_next(a))
        model.image.WriteData(static_cast<long long>(a), 0);

    const jqz::FileWindow window = jqz::binaryFileWindow(p);
    const std::string_view all(file);
    const std::string_view part =
        window.first < static_cast<long long>(all.size())
            ? all.substr(static_cast<std::size_t>(window.first), window.length)
            : std::string_view{};
    last = jqz::readBinaryBytes(part, window.first, p, model.image);

    std::bitset<0x10000> expectedCells;
    std::array<std::uint8_t, 0x10000> expected{};
    for (std::size_t i = 0; i < file.size(); ++i) {
        const long long a = static_cast<long long>(i);
        const long long target = a + p.offset;
        if (a >= p.lowest && a <= p.highest && target >= 0 && target <= 0xFFFF) {
            expected[static_cast<std::size_t>(target)] = static_cast<std::uint8_t>(file[i]);
            expectedCells.set(static_cast<std::size_t>(target));
        }
    }
    if (expectedCells != last.placedCells) __builtin_trap();
    for (std::size_t a = expectedCells._Find_first(); a < expectedCells.size();
         a = expectedCells._Find_next(a))
        if (model.image.ReadData(static_cast<long long>(a)) != expected[a]) __builtin_trap();
    return 0;
}
