#pragma once
// One of the editor's two grids over the image: the hex grid (an address column and 16
// columns of two hexadecimal digits) or the character grid (16 columns of one character).
// Both show 4096 rows and paint only the cells in view.
#include <QAbstractScrollArea>
#include <QColor>
#include <QStaticText>
#include <array>

namespace jqz {

class THexEdit;

// The contrast below which a cell's text colour is not readable on its fill.
inline constexpr double kReadableContrast = 3.0;
// The text colour itself when it reads well on the fill; black or white, whichever reads
// better, when it does not (an unimplemented cell's pale colour on the selection).
QColor ReadableOn(const QColor& text, const QColor& fill);

class DumpGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum class Kind { Hex, Char };

    DumpGrid(Kind kind, THexEdit& owner, QWidget* parent = nullptr);

    Kind kind() const { return kind_; }
    int topRow() const;
    void setTopRow(int row);
    // Rows that fit whole into the view (at least 1).
    int visibleRows() const;
    // Scrolls as little as needed to show the cursor's row and column whole, within the rows
    // given (the grids scroll together, so the smaller view counts); 0: this grid's rows.
    void showCursor(int rowsInView = 0);
    // Scrolls as little as needed to show a row whole, within the rows given.
    void showRow(int row, int rowsInView = 0);
    // A row's height and the data cells' width, from the grid's font.
    int rowHeight() const { return rowHeight_; }
    int cellWidth() const { return kind_ == Kind::Hex ? hexCellWidth_ : charCellWidth_; }
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
    int firstColumnX() const { return kind_ == Kind::Hex ? addressWidth_ : 0; }
    // The cells' sizes for the grid's font: a row the font's height and a little, a hex cell
    // two digits and a margin, the address column five digits and a margin.
    void measure();
    bool moveByKey(QKeyEvent* event);
    // Every byte's text laid out once for the grid's font.
    void prepareTexts();

    Kind kind_;
    THexEdit& owner_;
    std::array<QStaticText, 256> texts_;
    int rowHeight_ = 16;
    int addressWidth_ = 50;
    int hexCellWidth_ = 20;
    int charCellWidth_ = 10;
};

}  // namespace jqz
