#include "core/files/record_placement.h"

namespace jqz {

void PlaceRecordBytes(MemoryImage& image, const Placement& placement, long long address,
                      std::span<const std::uint8_t> data, PlacementCounts& counts) {
    // The bytes within the chosen file range...
    const long long first = std::max(0LL, placement.lowest - address);
    const long long last =
        std::min(static_cast<long long>(data.size()) - 1, placement.highest - address);
    // Beyond the highest file address anyone can choose, nothing was left out on purpose.
    constexpr long long kHighestChoice = 0xFFFFFF;
    const long long size = static_cast<long long>(data.size());
    const long long beyondFrom = std::max(0LL, placement.highest - address + 1);
    if (placement.highest >= kHighestChoice && beyondFrom < size)
        counts.outsideImage += size - beyondFrom;
    if (last < first) return;
    // ...and of those the ones that land in the image.
    const long long inFirst = std::max(first, -placement.offset - address);
    const long long inLast = std::min(last, MemoryImage::LastAddress() - placement.offset - address);
    const long long inside = inLast >= inFirst ? inLast - inFirst + 1 : 0;
    counts.outsideImage += (last - first + 1) - inside;
    for (long long i = inFirst; i <= inLast; ++i) {
        const long long a = address + i + placement.offset;
        const std::uint8_t value = data[static_cast<std::size_t>(i)];
        if (counts.placedCells.test(static_cast<std::size_t>(a)) && image.ReadData(a) != value)
            counts.fault(FileFault::Overlap, address + i);
        if (image.WriteData(a, value)) {
            ++counts.placed;
            counts.placedCells.set(static_cast<std::size_t>(a));
        } else {
            ++counts.notOnDevice;
        }
    }
}

void NoteRejectedLine(std::string_view line, const RecordSyntax& syntax, PlacementCounts& counts) {
    const RecordShape shape = ShapeOfRecord(line, syntax);
    if (shape.complete && !shape.checksumRight)
        counts.fault(FileFault::BadChecksum);
    else if (HasTextFrom(line, 0))
        counts.fault(FileFault::Unrecognised);
}

void NoteTextAfterRecord(std::string_view line, const RecordSyntax& syntax,
                         PlacementCounts& counts) {
    if (HasTextFrom(line, ShapeOfRecord(line, syntax).end)) counts.fault(FileFault::ExtraText);
}

void NoteNoEndRecord(PlacementCounts& counts) {
    ++counts.line;
    counts.fault(FileFault::NoEndRecord);
    --counts.line;
}

}  // namespace jqz
