#include "ui/app/window_placement.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QVariant>
#include <QWindow>
#include <algorithm>

namespace jqz {

namespace {

QMargins& lastFrame() {
    static QMargins frame;
    return frame;
}

// The frame around a shown, decorated window; the last one measured otherwise.
QMargins frameOf(const QWidget* window) {
    if (window->isVisible()) {
        const QRect inner = window->geometry(), outer = window->frameGeometry();
        if (inner != outer)
            lastFrame() = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                                   outer.right() - inner.right(), outer.bottom() - inner.bottom());
    }
    return lastFrame();
}

QScreen* screenFor(const QRect& r) {
    QScreen* best = nullptr;
    long long bestArea = 0;
    for (QScreen* s : QGuiApplication::screens()) {
        const QRect common = s->availableGeometry().intersected(r);
        const long long area = static_cast<long long>(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = s;
        }
    }
    return best != nullptr ? best : QGuiApplication::primaryScreen();
}

// The outer place last given to a window, the inner place that gave it, and the frame that
// inner place was worked out with.
constexpr const char* kGivenOuter = "jqzGivenOuter";
constexpr const char* kGivenInner = "jqzGivenInner";
constexpr const char* kGivenFrame = "jqzGivenFrame";

// A frame kept in a property: its four widths as a rectangle's fields.
QVariant frameValue(const QMargins& m) { return QRect(m.left(), m.top(), m.right(), m.bottom()); }

bool keepsGivenPlace(const QWidget* window) {
    const QVariant set = window->property(kGivenInner);
    return window->property(kGivenOuter).isValid() && set.isValid() &&
           set.toRect() == window->geometry();
}

// A window placed while hidden, before any frame was measured, was given its outer place as its
// inner one. When it is shown and still has that place, it is placed again with the frame
// known by then, before the window manager maps it, so that its title bar lands where the place
// says and its size does not grow by the frame.
class ShowPlacer : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* window = static_cast<QWidget*>(watched);
            if (keepsGivenPlace(window) &&
                window->property(kGivenFrame) != frameValue(lastFrame()))
                PlaceByFrame(window, window->property(kGivenOuter).toRect());
        }
        return false;
    }
};

void watchShow(QWidget* window) {
    if (window->findChild<ShowPlacer*>(QString(), Qt::FindDirectChildrenOnly) != nullptr) return;
    window->installEventFilter(new ShowPlacer(window));
}

}  // namespace

QRect FitOnScreen(const QRect& outer) {
    const QScreen* screen = screenFor(outer);
    if (screen == nullptr) return outer;
    const QRect free = screen->availableGeometry();
    QRect r = outer;
    r.setWidth(std::min(r.width(), free.width()));
    r.setHeight(std::min(r.height(), free.height()));
    r.moveLeft(std::clamp(r.left(), free.left(), free.right() + 1 - r.width()));
    r.moveTop(std::clamp(r.top(), free.top(), free.bottom() + 1 - r.height()));
    return r;
}

QRect OuterGeometry(const QWidget* window) {
    // A window placed while hidden and not moved since keeps the place it was given: its frame
    // was not known when it was placed, so adding the frame measured now would shift it.
    if (!window->isVisible() && keepsGivenPlace(window)) return window->property(kGivenOuter).toRect();
    return window->geometry().marginsAdded(frameOf(window));
}

void PlaceByFrame(QWidget* window, const QRect& outer) {
    const QRect fitted = FitOnScreen(outer);
    const QMargins frame = frameOf(window);
    const QRect inner = fitted.marginsRemoved(frame);
    window->setGeometry(inner.left(), inner.top(), std::max(inner.width(), window->minimumWidth()),
                        std::max(inner.height(), window->minimumHeight()));
    window->setProperty(kGivenOuter, fitted);
    window->setProperty(kGivenInner, window->geometry());
    window->setProperty(kGivenFrame, frameValue(frame));
    if (!window->isVisible()) watchShow(window);
}

void ShowPlaced(QWidget* window, const QRect& outer) {
    PlaceByFrame(window, outer);
    window->show();
    // The window manager decorates the window before it is exposed.
    const QDeadlineTimer deadline(1000);
    while (window->windowHandle() != nullptr && !window->windowHandle()->isExposed() &&
           !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
    PlaceByFrame(window, outer);
}

void CentreDialog(QWidget* dialog) {
    const QWidget* parent = dialog->parentWidget();
    QScreen* screen = parent != nullptr && parent->screen() != nullptr ? parent->screen()
                                                                        : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    dialog->adjustSize();
    QRect outer = QRect(QPoint(0, 0), dialog->size()).marginsAdded(frameOf(dialog));
    outer.moveCenter(screen->availableGeometry().center());
    dialog->move(outer.topLeft());
}

}  // namespace jqz
