#pragma once
// The editor's cursor and selection, shared by the hex grid and the character grid: the
// selection is the rectangle between an anchor cell and the cursor cell.
#include "core/image/cell_range.h"

namespace jqz {

class GridSelection {
public:
    int cursorRow() const { return cursorRow_; }
    int cursorColumn() const { return cursorColumn_; }
    int cursorAddress() const { return cursorRow_ * kGridColumns + cursorColumn_; }
    CellRect rect() const {
        return CellRect::Spanning(anchorRow_, anchorColumn_, cursorRow_, cursorColumn_);
    }
    // More than one cell selected.
    bool HasRangeSelection() const {
        return anchorRow_ != cursorRow_ || anchorColumn_ != cursorColumn_;
    }

    // The cursor to cell a, the selection collapsed onto it; an address beyond the image
    // takes the last cell, a negative one the first.
    void GoToAddress(long long a) {
        if (a < 0) a = 0;
        if (a > MemoryImage::LastAddress()) a = MemoryImage::LastAddress();
        moveTo(static_cast<int>(a / kGridColumns), static_cast<int>(a % kGridColumns), false);
    }
    // The cursor to a cell (clamped to the grid); extend keeps the anchor, making a selection.
    void moveTo(int row, int column, bool extend) {
        cursorRow_ = clamp(row, kGridRows - 1);
        cursorColumn_ = clamp(column, kGridColumns - 1);
        if (!extend) {
            anchorRow_ = cursorRow_;
            anchorColumn_ = cursorColumn_;
        }
    }
    // Anchor on the first cell, cursor on the last.
    void SelectAll() {
        moveTo(0, 0, false);
        moveTo(kGridRows - 1, kGridColumns - 1, true);
    }

private:
    static int clamp(int v, int high) { return v < 0 ? 0 : (v > high ? high : v); }

    int cursorRow_ = 0;
    int cursorColumn_ = 0;
    int anchorRow_ = 0;
    int anchorColumn_ = 0;
};

}  // namespace jqz
