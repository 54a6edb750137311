#include "ui/image/colour_combo_box.h"

#include <QPainter>
#include <QStyledItemDelegate>
#include <QStylePainter>

#include "core/image/palette.h"

namespace jqz {

namespace {

QColor paletteColour(int index) {
    const Rgb c = ColorIndexToColor(index);
    return QColor(c.r, c.g, c.b);
}

void paintSwatch(QPainter* painter, const QRect& rect, int index, const QColor& outline) {
    const QRect r = rect.adjusted(2, 2, -3, -3);
    painter->fillRect(r, paletteColour(index));
    painter->setPen(outline);
    painter->drawRect(r);
}

class SwatchDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        const bool selected = option.state & QStyle::State_Selected;
        painter->fillRect(option.rect, option.palette.brush(selected ? QPalette::Highlight
                                                                     : QPalette::Base));
        paintSwatch(painter, option.rect, index.row(),
                    option.palette.color(selected ? QPalette::HighlightedText : QPalette::Window));
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(80, 16);
    }
};

}  // namespace

ColourComboBox::ColourComboBox(const char* name, QWidget* parent) : QComboBox(parent) {
    setObjectName(name);
    setItemDelegate(new SwatchDelegate(this));
    for (int i = 0; i < 64; ++i) addItem(QString::number(i));
    setMaxVisibleItems(16);
    setMinimumWidth(120);
}

void ColourComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() < 0) return;
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                QStyle::SC_ComboBoxEditField, this);
    paintSwatch(&painter, field, currentIndex(), palette().color(QPalette::Window));
}

}  // namespace jqz
