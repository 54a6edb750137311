// Paste takes any clipboard text: it writes only inside the image, never more cells than the
// text has pairs, and one Undo brings the image back exactly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/image/clipboard_text.h"
#include "core/image/hex_edit_model.h"

namespace {

std::vector<std::uint8_t> snapshot(const jqz::MemoryImage& image) {
    std::vector<std::uint8_t> cells(2 * jqz::MemoryImage::kCellCount);
    for (int a = 0; a <= jqz::MemoryImage::LastAddress(); ++a) {
        cells[static_cast<std::size_t>(2 * a)] = image.ReadData(a);
        cells[static_cast<std::size_t>(2 * a + 1)] = image.ReadAttribute(a);
    }
    return cells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto model = std::make_unique<jqz::HexEditModel>();
    if (size < 3) return 0;
    // The first two bytes choose the cursor, the third a read-only cell near it.
    const int cursor = data[0] << 8 | data[1];
    const int readOnly = (cursor + data[2]) & 0xFFFF;
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

    jqz::MemoryImage& image = model->image;
    image.BeginBulk();
    image.EndBulk();
    image.SetReadOnly(readOnly, true);
    const auto before = snapshot(image);

    const jqz::PasteResult result = jqz::PasteText(image, model->undo, text, cursor);
    if (!result.scanned && text.size() >= 2) __builtin_trap();
    if (result.cellsWritten > static_cast<int>(std::min(text.size(), jqz::kPasteTextLimit) / 2))
        __builtin_trap();
    if (result.cellsWritten > 0 && model->undo.IsEmpty()) __builtin_trap();
    if (result.cellsWritten == 0 && !model->undo.IsEmpty()) __builtin_trap();
    if (image.ReadData(readOnly) != before[static_cast<std::size_t>(2 * readOnly)]) __builtin_trap();
    for (int a = 0; a < cursor; ++a)
        if (image.ReadData(a) != before[static_cast<std::size_t>(2 * a)]) __builtin_trap();

    model->undo.Undo();
    image.SetReadOnly(readOnly, true);
    if (snapshot(image) != before) __builtin_trap();
    image.SetReadOnly(readOnly, false);
    model->undo.Clear();
    return 0;
}
