#pragma once
// The editor's cells as a grid of 4096 rows of 16 columns, and the two shapes of cells that
// commands work on: a run of consecutive addresses, or a rectangle of grid cells.
#include <algorithm>

#include "core/image/memory_image.h"

namespace jqz {

inline constexpr int kGridColumns = 16;
inline constexpr int kGridRows = MemoryImage::kCellCount / kGridColumns;

// A rectangle of grid cells; rows 0..4095 and columns 0..15, both ends included.
struct CellRect {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;

    static CellRect Spanning(int row1, int column1, int row2, int column2) {
        return {std::min(row1, row2), std::min(column1, column2), std::max(row1, row2),
                std::max(column1, column2)};
    }
    int count() const { return (bottom - top + 1) * (right - left + 1); }
    int topLeft() const { return top * kGridColumns + left; }
    int bottomRight() const { return bottom * kGridColumns + right; }
    bool contains(long long a) const {
        if (!MemoryImage::Contains(a)) return false;
        const long long row = a / kGridColumns;
        const long long column = a % kGridColumns;
        return row >= top && row <= bottom && column >= left && column <= right;
    }
    // Row by row from the top, left to right within a row.
    template <typename Visit>
    void forEach(Visit&& visit) const {
        for (int r = top; r <= bottom; ++r)
            for (int c = left; c <= right; ++c) visit(r * kGridColumns + c);
    }
    friend bool operator==(const CellRect&, const CellRect&) = default;
};

// What a generator covers: the addresses from..to, or the cells of a selected rectangle.
class CellSet {
public:
    static CellSet Range(int from, int to) {
        CellSet s;
        s.from_ = std::min(from, to);
        s.to_ = std::max(from, to);
        return s;
    }
    static CellSet Selection(const CellRect& rect) {
        CellSet s;
        s.isSelection_ = true;
        s.rect_ = rect;
        s.from_ = rect.topLeft();
        s.to_ = rect.bottomRight();
        return s;
    }

    bool isSelection() const { return isSelection_; }
    int first() const { return from_; }
    int last() const { return to_; }
    int count() const { return isSelection_ ? rect_.count() : to_ - from_ + 1; }
    bool contains(long long a) const {
        return isSelection_ ? rect_.contains(a) : (a >= from_ && a <= to_);
    }
    template <typename Visit>
    void forEach(Visit&& visit) const {
        if (isSelection_) {
            rect_.forEach(visit);
        } else {
            for (int a = from_; a <= to_; ++a) visit(a);
        }
    }

private:
    bool isSelection_ = false;
    int from_ = 0;
    int to_ = 0;
    CellRect rect_;
};

}  // namespace jqz
