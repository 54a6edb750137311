#include "ui/app/gauge_bar.h"

#include <QPainter>
#include <algorithm>

namespace jqz {

GaugeBar::GaugeBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setMinimumHeight(fontMetrics().height() + 4);
}

int GaugeBar::percent() const {
    const long long span = static_cast<long long>(maximum()) - minimum();
    if (span <= 0) return 0;
    const long long done = std::clamp<long long>(value() - minimum(), 0, span);
    return static_cast<int>(done * 100 / span);
}

void GaugeBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect track = rect().adjusted(0, 0, -1, -1);
    p.fillRect(rect(), palette().color(QPalette::Button));
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(track);
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    QRect bar = inside;
    bar.setWidth(inside.width() * percent() / 100);
    p.fillRect(bar, QColor(0, 0, 255));
    const QString text = QString::number(percent()) + '%';
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(inside, Qt::AlignCenter, text);
    // The part of the text over the bar in white.
    p.setClipRect(bar);
    p.setPen(Qt::white);
    p.drawText(inside, Qt::AlignCenter, text);
}

}  // namespace jqz
