#pragma once
// One of the editor's two grids over the image: the hex grid (an address column and 16
// columns of two hexadecimal digits) or the character grid (16 columns of one character).
// Both show 4096 rows and paint only the cells in view.
#include <QAbstractScrollArea>
#include <QStaticText>
#include <array>

namespace jqz {

class THexEdit;

class DumpGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum class Kind { Hex, Char };

    static constexpr int kRowHeight = 16;
    static constexpr int kAddressWidth = 50;
    static constexpr int kHexCellWidth = 20;
    static constexpr int kCharCellWidth = 10;

    DumpGrid(Kind kind, THexEdit& owner, QWidget* parent = nullptr);

    Kind kind() const { return kind_; }
    int topRow() const;
    void setTopRow(int row);
    // Rows that fit whole into the view (at least 1).
    int visibleRows() const;
    // Scrolls as little as needed to show the cursor's row and column.
    void showCursor();
    // The grid's full width: the fixed column and every data column.
    int contentWidth() const;
    // The data cell (row, column 0..15) under a point of the view; false outside them.
    bool cellAt(const QPoint& pos, int& row, int& column) const;
    // A data cell's rectangle in view coordinates.
    QRect cellRect(int row, int column) const;
    void updateScrollRange();

signals:
    void topRowChanged(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int firstColumnX() const { return kind_ == Kind::Hex ? kAddressWidth : 0; }
    int cellWidth() const { return kind_ == Kind::Hex ? kHexCellWidth : kCharCellWidth; }
    bool moveByKey(QKeyEvent* event);
    // Every byte's text laid out once for the grid's font.
    void prepareTexts();

    Kind kind_;
    THexEdit& owner_;
    std::array<QStaticText, 256> texts_;
};

}  // namespace jqz
