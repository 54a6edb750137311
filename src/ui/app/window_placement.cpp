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

// The outer place last given to a window, and the inner place that gave it.
constexpr const char* kGivenOuter = "jqzGivenOuter";
constexpr const char* kGivenInner = "jqzGivenInner";

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
    if (!window->isVisible()) {
        const QVariant given = window->property(kGivenOuter), set = window->property(kGivenInner);
        if (given.isValid() && set.isValid() && set.toRect() == window->geometry()) return given.toRect();
    }
    return window->geometry().marginsAdded(frameOf(window));
}

void PlaceByFrame(QWidget* window, const QRect& outer) {
    const QRect fitted = FitOnScreen(outer);
    const QRect inner = fitted.marginsRemoved(frameOf(window));
    window->setGeometry(inner.left(), inner.top(), std::max(inner.width(), window->minimumWidth()),
                        std::max(inner.height(), window->minimumHeight()));
    window->setProperty(kGivenOuter, fitted);
    window->setProperty(kGivenInner, window->geometry());
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
