// Paste takes any clipboard text: it writes only from the cursor on and inside the image,
// never more cells than the text has pairs, skips a read-only cell, and one Undo brings every
// cell back exactly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/image/clipboard_text.h"
#include "core/image/hex_edit_model.h"

namespace {

// Data and attribute of the cells first..last.
std::vector<std::uint8_t> snapshot(const jqz::MemoryImage& image, int first, int last) {
    std::vector<std::uint8_t> cells;
    cells.reserve(static_cast<std::size_t>(2 * (last - first + 1)));
    for (int a = first; a <= last; ++a) {
        cells.push_back(image.ReadData(a));
        cells.push_back(image.ReadAttribute(a));
    }
    return cells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto model = std::make_unique<jqz::HexEditModel>();
    if (size < 3) return 0;
    // The first two bytes choose the cursor, the third a read-only cell at or after it.
    const int cursor = data[0] << 8 | data[1];
    const int readOnly = std::min(cursor + data[2], jqz::MemoryImage::LastAddress());
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);
    jqz::MemoryImage& image = model->image;

    // A pair (two bytes) moves one cell, a line break (one byte, LF) to the next grid row below
    // the cursor's column, 16 cells on: the paste stays in this window.
    const long long reach = cursor + 16 * static_cast<long long>(text.size()) + 1;
    const int first = std::max(0, cursor - 16);
    const int last = static_cast<int>(std::min<long long>(reach, jqz::MemoryImage::LastAddress()));
    image.SetReadOnly(readOnly, true);
    const auto before = snapshot(image, first, last);
    const std::uint8_t readOnlyByte = image.ReadData(readOnly);

    const jqz::PasteResult result = jqz::PasteText(image, model->undo, text, cursor);
    if (!result.scanned && text.size() >= 2) __builtin_trap();
    if (result.cellsWritten > static_cast<int>(std::min(text.size(), jqz::kPasteTextLimit) / 2))
        __builtin_trap();
    if (result.scanned && (result.nextAddress < cursor || result.nextAddress > reach))
        __builtin_trap();
    if ((result.cellsWritten > 0) == model->undo.IsEmpty()) __builtin_trap();
    if (image.ReadData(readOnly) != readOnlyByte) __builtin_trap();
    for (int a = first; a < cursor; ++a)
        if (image.ReadData(a) != before[static_cast<std::size_t>(2 * (a - first))]) __builtin_trap();

    model->undo.Undo();
    if (!model->undo.IsEmpty()) __builtin_trap();
    if (snapshot(image, first, last) != before) __builtin_trap();
    image.SetReadOnly(readOnly, false);
    return 0;
}
