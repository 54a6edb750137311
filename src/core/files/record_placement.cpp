#include "core/files/record_placement.h"

namespace jqz {

void PlaceRecordBytes(MemoryImage& image, const Placement& placement, long long address,
                      std::span<const std::uint8_t> data, PlacementCounts& counts) {
    // The bytes within the chosen file range...
    const long long first = std::max(0LL, placement.lowest - address);
    const long long last =
        std::min(static_cast<long long>(data.size()) - 1, placement.highest - address);
    if (last < first) return;
    // ...and of those the ones that land in the image.
    const long long inFirst = std::max(first, -placement.offset - address);
    const long long inLast = std::min(last, MemoryImage::LastAddress() - placement.offset - address);
    const long long inside = inLast >= inFirst ? inLast - inFirst + 1 : 0;
    counts.outsideImage += (last - first + 1) - inside;
    for (long long i = inFirst; i <= inLast; ++i) {
        const long long a = address + i + placement.offset;
        if (image.WriteData(a, data[static_cast<std::size_t>(i)])) {
            ++counts.placed;
            counts.placedCells.set(static_cast<std::size_t>(a));
        } else {
            ++counts.notOnDevice;
        }
    }
}

}  // namespace jqz
