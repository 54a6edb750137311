#include "ui/image/dump_grid.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <optional>

#include "core/image/cell_range.h"
#include "ui/image/code_page.h"
#include "ui/image/hex_edit.h"

namespace jqz {

QColor ReadableOn(const QColor& text, const QColor& fill) {
    // Relative luminance and contrast ratio as the web's accessibility guidelines define them.
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) {
            v /= 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
    };
    auto contrast = [&](const QColor& a, const QColor& b) {
        const double la = luminance(a);
        const double lb = luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    };
    if (contrast(text, fill) >= kReadableContrast) return text;
    return contrast(Qt::black, fill) >= contrast(Qt::white, fill) ? QColor(Qt::black) : QColor(Qt::white);
}


DumpGrid::DumpGrid(Kind kind, THexEdit& owner, QWidget* parent)
    : QAbstractScrollArea(parent), kind_(kind), owner_(owner) {
    setObjectName(kind == Kind::Hex ? "StringGrid1" : "StringGrid2");
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::StyledPanel);
    // A view narrower than the 16 columns (a small screen, a large font) scrolls sideways;
    // the hex grid's address column stays where it is.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(1);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(false);
    setStatusTip(kind == Kind::Hex ? "Memory dump in Hexadecimal Format"
                                   : "Memory dump in Character Format");
    measure();
    prepareTexts();
    updateScrollRange();
}

void DumpGrid::measure() {
    // Cells are as wide as the widest character they show advances the pen: a fixed-pitch
    // font's one advance, and room for every character should the font not be one.
    const QFontMetrics metrics(font());
    int digit = 0;
    for (const char c : {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'})
        digit = std::max(digit, metrics.horizontalAdvance(QLatin1Char(c)));
    int character = 0;
    for (int b = 0; b < 256; ++b)
        character = std::max(character,
                             metrics.horizontalAdvance(DisplayCharacter(static_cast<std::uint8_t>(b))));
    rowHeight_ = std::max(16, metrics.height() + 2);
    hexCellWidth_ = std::max(20, 2 * digit + 4);
    charCellWidth_ = std::max(10, character + 2);
    addressWidth_ = std::max(50, 5 * digit + 10);
    horizontalScrollBar()->setSingleStep(cellWidth());
}

void DumpGrid::prepareTexts() {
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        QStaticText& text = texts_[byte];
        text.setText(kind_ == Kind::Hex ? QStringLiteral("%1").arg(b, 2, 16, QChar('0')).toUpper()
                                        : QString(DisplayCharacter(byte)));
        text.setTextFormat(Qt::PlainText);
        text.prepare(QTransform(), font());
    }
}

void DumpGrid::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        measure();
        prepareTexts();
        updateScrollRange();
        // Larger cells hold fewer rows: the cursor stays in view.
        showCursor();
        viewport()->update();
    }
}

int DumpGrid::topRow() const { return verticalScrollBar()->value(); }

void DumpGrid::setTopRow(int row) { verticalScrollBar()->setValue(row); }

int DumpGrid::visibleRows() const { return std::max(1, viewport()->height() / rowHeight_); }

int DumpGrid::contentWidth() const { return firstColumnX() + kGridColumns * cellWidth(); }

void DumpGrid::updateScrollRange() {
    QScrollBar* v = verticalScrollBar();
    const int rows = visibleRows();
    v->setRange(0, std::max(0, kGridRows - rows));
    v->setPageStep(rows);
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, contentWidth() - viewport()->width()));
    h->setPageStep(std::max(1, viewport()->width() - firstColumnX()));
}

void DumpGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void DumpGrid::scrollContentsBy(int, int dy) {
    viewport()->update();
    if (dy != 0) emit topRowChanged(topRow());
}

QRect DumpGrid::cellRect(int row, int column) const {
    return QRect(firstColumnX() + column * cellWidth() - horizontalScrollBar()->value(),
                 (row - topRow()) * rowHeight_, cellWidth(), rowHeight_);
}

bool DumpGrid::cellAt(const QPoint& pos, int& row, int& column) const {
    // Cells scrolled under the address column are not there to be clicked.
    if (pos.x() < firstColumnX()) return false;
    const int x = pos.x() + horizontalScrollBar()->value() - firstColumnX();
    if (x < 0 || x >= kGridColumns * cellWidth() || pos.y() < 0) return false;
    row = topRow() + pos.y() / rowHeight_;
    column = x / cellWidth();
    return row < kGridRows;
}

void DumpGrid::showRow(int row, int rowsInView) {
    const int rows = rowsInView > 0 ? std::min(rowsInView, visibleRows()) : visibleRows();
    if (row < topRow())
        setTopRow(row);
    else if (row >= topRow() + rows)
        setTopRow(row - rows + 1);
}

void DumpGrid::showCursor(int rowsInView) {
    const GridSelection& s = owner_.editor().selection();
    showRow(s.cursorRow(), rowsInView);
    QScrollBar* h = horizontalScrollBar();
    const int left = firstColumnX() + s.cursorColumn() * cellWidth();
    const int fixed = firstColumnX();
    if (left - h->value() < fixed)
        h->setValue(left - fixed);
    else if (left + cellWidth() - h->value() > viewport()->width())
        h->setValue(left + cellWidth() - viewport()->width());
}

void DumpGrid::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    const QRect area = event->rect();
    p.fillRect(area, owner_.backgroundColour());
    p.setFont(font());
    const int ascent = p.fontMetrics().ascent();

    const HexEditor& editor = owner_.editor();
    const MemoryImage& image = owner_.model().image;
    const CellRect selection = editor.selection().rect();
    const int cursor = editor.cursorAddress();
    const int top = topRow();
    const int dx = -horizontalScrollBar()->value();
    const int width = cellWidth();
    const int x0 = firstColumnX() + dx;

    const int firstRow = top + std::max(0, area.top()) / rowHeight_;
    const int lastRow = std::min(kGridRows - 1, top + area.bottom() / rowHeight_);
    const int firstColumn = std::clamp((area.left() - x0) / width, 0, kGridColumns - 1);
    const int lastColumn = std::clamp((area.right() - x0) / width, 0, kGridColumns - 1);
    const bool addressInView = kind_ == Kind::Hex && area.left() < firstColumnX();
    const std::optional<AddressRange> match = editor.shownMatch();

    if (addressInView) {
        p.setPen(owner_.addressColour());
        for (int row = firstRow; row <= lastRow; ++row)
            p.drawText(QPoint(1, (row - top) * rowHeight_ + 1 + ascent),
                       QStringLiteral("%1").arg(row * kGridColumns, 5, 16, QChar('0')).toUpper());
    }
    // The cells scroll under the address column, never over it.
    p.setClipRect(QRect(firstColumnX(), 0, std::max(0, viewport()->width() - firstColumnX()),
                        viewport()->height()));
    for (int row = firstRow; row <= lastRow; ++row) {
        const int y = (row - top) * rowHeight_;
        const bool rowSelected = row >= selection.top && row <= selection.bottom;
        for (int column = firstColumn; column <= lastColumn; ++column) {
            const int a = row * kGridColumns + column;
            const int x = x0 + column * width;
            const bool selected =
                (rowSelected && column >= selection.left && column <= selection.right) ||
                (match && a >= match->from && a <= match->to);
            if (selected) p.fillRect(x, y, width, rowHeight_, owner_.selectedColour());
            const std::uint8_t byte = image.ReadData(a);
            const QColor& colour =
                owner_.paletteColour(image.ReadAttribute(a) & MemoryImage::kColourMask);
            p.setPen(selected ? ReadableOn(colour, owner_.selectedColour()) : colour);
            p.drawStaticText(x + 1, y + 1, texts_[byte]);
            if (a == cursor && hasFocus()) {
                QPen pen(owner_.addressColour(), 1, Qt::DotLine);
                p.setPen(pen);
                p.drawRect(x, y, width - 1, rowHeight_ - 1);
            }
        }
    }
}

bool DumpGrid::moveByKey(QKeyEvent* event) {
    GridSelection& s = owner_.editor().selection();
    int row = s.cursorRow();
    int column = s.cursorColumn();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
        case Qt::Key_Up: --row; break;
        case Qt::Key_Down: ++row; break;
        case Qt::Key_Left: --column; break;
        case Qt::Key_Right: ++column; break;
        case Qt::Key_PageUp:
            row -= visibleRows();
            setTopRow(topRow() - visibleRows());
            break;
        case Qt::Key_PageDown:
            row += visibleRows();
            setTopRow(topRow() + visibleRows());
            break;
        case Qt::Key_Home:
            column = 0;
            if (ctrl) row = 0;
            break;
        case Qt::Key_End:
            column = kGridColumns - 1;
            if (ctrl) row = kGridRows - 1;
            break;
        default: return false;
    }
    s.moveTo(row, column, event->modifiers() & Qt::ShiftModifier);
    owner_.userMovedCursor(this);
    return true;
}

void DumpGrid::keyPressEvent(QKeyEvent* event) {
    if (moveByKey(event)) return;
    // A key held with Ctrl or Alt is a command, never a byte; Ctrl and Alt together is how
    // Windows reports AltGr, which types the characters it shows.
    const Qt::KeyboardModifiers held = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    const QString text = event->text();
    const bool altGr = held == (Qt::ControlModifier | Qt::AltModifier) && !text.isEmpty() &&
                       text.front().isPrint();
    if (!text.isEmpty() && (held == Qt::NoModifier || altGr)) {
        owner_.typed(this, text);
        return;
    }
    event->ignore();
}

void DumpGrid::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton) return;
    int row, column;
    if (!cellAt(event->position().toPoint(), row, column)) return;
    owner_.editor().selection().moveTo(row, column, event->modifiers() & Qt::ShiftModifier);
    owner_.userMovedCursor(this);
}

void DumpGrid::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    // Dragging extends the selection; beyond the view's edges the grid scrolls along.
    const QPoint pos = event->position().toPoint();
    const int x = std::clamp(pos.x() + horizontalScrollBar()->value() - firstColumnX(), 0,
                             kGridColumns * cellWidth() - 1);
    int row = topRow() + (pos.y() < 0 ? -1 : pos.y() / rowHeight_);
    owner_.editor().selection().moveTo(row, x / cellWidth(), true);
    owner_.userMovedCursor(this);
}

void DumpGrid::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    owner_.gridFocused(this);
    viewport()->update();
}

void DumpGrid::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void DumpGrid::contextMenuEvent(QContextMenuEvent* event) {
    if (kind_ == Kind::Hex) owner_.showPopup(event->globalPos());
}

}  // namespace jqz
