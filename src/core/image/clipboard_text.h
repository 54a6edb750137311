#pragma once
// The editor's clipboard texts: Copy of a selection, Copy Array of a range, and the scanner
// that Paste runs over any text.
#include <string>
#include <string_view>

#include "core/image/cell_range.h"

namespace jqz {

class MemoryImage;
class StackContainer;

// Paste reads at most this many characters of the clipboard's text.
inline constexpr std::size_t kPasteTextLimit = 4u * MemoryImage::LastAddress() - 1u;

// Every cell of the rectangle as "HH ", rows separated by CR LF.
std::string SelectionText(const MemoryImage& image, const CellRect& rect);

// Every cell from..to as "HH ", on one line.
std::string ArrayText(const MemoryImage& image, int from, int to);

struct PasteResult {
    bool scanned = false;      // false: the text was too short to paste anything
    long long nextAddress = 0; // the cell after the last one written (may lie beyond the image)
    int cellsWritten = 0;
};

// Writes the hex pairs of the text from lineStart on, as one undo step: blanks are skipped,
// a line break (CR LF, or LF alone as Linux programs write it) moves to the next grid row
// below lineStart's column, and the scan stops at the first pair that is not two hexadecimal
// digits of either case, at the end of the image or at the end of the text.
PasteResult PasteText(MemoryImage& image, StackContainer& undo, std::string_view text,
                      long long lineStart);

}  // namespace jqz
