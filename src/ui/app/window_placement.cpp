#include "ui/app/window_placement.h"

#include <QDeadlineTimer>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWidget>
#include <QVariant>
#include <QStyle>
#include <QTimer>
#include <QWindow>
#include <algorithm>

namespace jqz {

namespace {

QMargins& lastFrame() {
    static QMargins frame;
    return frame;
}

// The frame around a shown, decorated window; the last one measured otherwise (also while
// the window system has not told the frame yet, when the outer rectangle is still empty).
// A window is measured only once the window manager has put it on the screen: while it
// frames a new window, its reports of the window's size and of the frame come apart (an
// X11 window told its old size, 100x30, inside a frame of its new one has "margins" of the
// difference), and a frame taken from them would shrink every window fitted after it.
bool measureFrame(const QWidget* window) {
    if (!window->isVisible() || window->windowHandle() == nullptr || !window->windowHandle()->isExposed())
        return false;
    const QRect inner = window->geometry(), outer = window->frameGeometry();
    if (inner == outer || !outer.contains(inner)) return false;
    lastFrame() = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                           outer.right() - inner.right(), outer.bottom() - inner.bottom());
    return true;
}

QMargins frameOf(const QWidget* window) {
    measureFrame(window);
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

QScreen* screenOf(const QWidget* window) {
    const QWidget* parent = window->parentWidget();
    if (parent != nullptr && parent->screen() != nullptr) return parent->window()->screen();
    if (window->isVisible() && window->screen() != nullptr) return window->screen();
    return QGuiApplication::primaryScreen();
}

// Marks a window whose contents went into a scroll area.
constexpr const char* kScrolled = "jqzScrolled";

QScrollArea* newScrollArea(QWidget* window) {
    auto* scroll = new QScrollArea(window);
    scroll->setObjectName(window->objectName() + "Scroll");
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    return scroll;
}

// Whether a layout item is a dialog's row of push buttons (OK, Cancel and the like).
bool isButtonRow(QLayoutItem* item) {
    if (qobject_cast<QDialogButtonBox*>(item->widget()) != nullptr ||
        qobject_cast<QPushButton*>(item->widget()) != nullptr)
        return true;
    QLayout* row = item->layout();
    if (row == nullptr) return false;
    for (int i = 0; i < row->count(); ++i)
        if (qobject_cast<QPushButton*>(row->itemAt(i)->widget()) != nullptr) return true;
    return false;
}

// A dialog's buttons stay below the scroll area, always in view: a button box anywhere in
// its layout, or the row of buttons at the bottom of a column. A row wider than the room
// scrolls with the rest.
QLayoutItem* takeButtonRow(QLayout* layout, int room) {
    auto fits = [room](QLayoutItem* item) { return item->minimumSize().width() <= room; };
    for (int i = 0; i < layout->count(); ++i)
        if (qobject_cast<QDialogButtonBox*>(layout->itemAt(i)->widget()) != nullptr)
            return fits(layout->itemAt(i)) ? layout->takeAt(i) : nullptr;
    auto* column = qobject_cast<QBoxLayout*>(layout);
    if (column == nullptr || column->direction() != QBoxLayout::TopToBottom || column->count() < 2)
        return nullptr;
    QLayoutItem* last = column->itemAt(column->count() - 1);
    return isButtonRow(last) && fits(last) ? column->takeAt(column->count() - 1) : nullptr;
}

// Puts what the window holds (a main window's central widget, else its layout with every
// control in it but the dialog's buttons) into a scroll area that fills the window, whose
// inner width is `room`. False when there is nothing to put.
bool scrollContents(QWidget* window, int room) {
    if (window->property(kScrolled).toBool()) return false;
    if (auto* main = qobject_cast<QMainWindow*>(window)) {
        QWidget* central = main->takeCentralWidget();
        if (central == nullptr) return false;
        QScrollArea* scroll = newScrollArea(main);
        scroll->setWidget(central);
        main->setCentralWidget(scroll);
    } else {
        QLayout* layout = window->layout();
        if (layout == nullptr) return false;
        const QMargins margins = layout->contentsMargins();
        QLayoutItem* buttons = takeButtonRow(layout, room - margins.left() - margins.right());
        auto* content = new QWidget;
        content->setObjectName(window->objectName() + "Content");
        content->setLayout(layout);  // the layout moves, and its controls with it
        QScrollArea* scroll = newScrollArea(window);
        scroll->setWidget(content);
        auto* outer = new QVBoxLayout(window);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->addWidget(scroll, 1);
        if (buttons != nullptr) {
            auto* row = new QVBoxLayout;
            row->setContentsMargins(margins.left(), margins.top() / 2, margins.right(), margins.bottom());
            if (QLayout* inner = buttons->layout()) {
                inner->setParent(nullptr);
                row->addLayout(inner);
            } else {
                row->addWidget(buttons->widget(), 0, buttons->alignment());
                delete buttons;
            }
            outer->addLayout(row);
        }
        // A size the layout fixed was the contents' size; the window may now be smaller.
        window->setMinimumSize(0, 0);
        window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    window->setProperty(kScrolled, true);
    return true;
}

// The outer place last given to a window, and the inner place that gave it.
constexpr const char* kGivenOuter = "jqzGivenOuter";
constexpr const char* kGivenInner = "jqzGivenInner";

}  // namespace

namespace {

// Scrolls the window's contents when its controls need more than the room; the size the
// window then wants, within the room (its present size when it fits as it is).
QSize fitContents(QWidget* window, const QSize& room) {
    window->ensurePolished();
    if (QLayout* layout = window->layout()) layout->activate();
    auto fits = [&room](const QSize& s) { return s.width() <= room.width() && s.height() <= room.height(); };
    // A least size set on the window, where its controls need less, gives way to the screen.
    if (!fits(window->minimumSize()) && fits(window->minimumSizeHint()))
        window->setMinimumSize(window->minimumSize().boundedTo(room));
    // Never smaller than its controls need (adjustSize keeps a window within two thirds of
    // the screen, and a least size set on the window lets it go below its layout's).
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    // Measured before the controls move into the scroll area: once moved, a control that the
    // move hid until the next event loop counts for nothing, and the window would open as
    // small as its buttons.
    const QSize wanted = window->sizeHint().expandedTo(least);
    if (fits(least) || !scrollContents(window, room.width()))
        return window->size().expandedTo(least).boundedTo(room).expandedTo(window->minimumSize());
    window->layout()->activate();
    // As large as the contents want, scroll bars included, within the room.
    const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return (wanted + QSize(bar, bar)).boundedTo(room);
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
    if (!window->isVisible()) {
        const QVariant given = window->property(kGivenOuter), set = window->property(kGivenInner);
        if (given.isValid() && set.isValid() && set.toRect() == window->geometry()) return given.toRect();
    }
    return window->geometry().marginsAdded(frameOf(window));
}

void PlaceByFrame(QWidget* window, const QRect& outer) {
    const QRect fitted = FitOnScreen(outer);
    const QRect inner = fitted.marginsRemoved(frameOf(window));
    if (const QScreen* screen = screenFor(fitted))
        fitContents(window, screen->availableGeometry().size().shrunkBy(frameOf(window)));
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

void FitToScreen(QWidget* window) {
    const QScreen* screen = screenOf(window);
    if (screen == nullptr) return;
    const QSize size = fitContents(window, screen->availableGeometry().size().shrunkBy(frameOf(window)));
    if (size != window->size()) window->resize(size);
}

namespace {

// Marks a dialog brought onto the free area before its own frame was known.
constexpr const char* kFrameUnknown = "jqzFrameUnknown";
// How often a dialog told a size below its least has asked for its least since it was shown.
constexpr const char* kLeastAsked = "jqzLeastAsked";
// Set while the fitter itself resizes a dialog.
constexpr const char* kFitting = "jqzFitting";

class DialogFitter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A dialog gets its show event before the window system shows it.
        const QEvent::Type type = event->type();
        if (type != QEvent::Show && type != QEvent::Resize && type != QEvent::Move) return false;
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (dialog == nullptr || !dialog->isWindow()) return false;
        if (type == QEvent::Show) {
            dialog->setProperty(kLeastAsked, 0);
            fit(dialog);
            bringIn(dialog);
        } else if (type == QEvent::Resize && dialog->isVisible()) {
            // Grown while shown (a part unfolded), or told a size below its controls' by the
            // window manager (its answer to an earlier request, arriving late): fitted again,
            // and moved wholly onto the free area, once the growth is done. The size its
            // controls need is asked for a few times only, against a window manager that
            // keeps to a size of its own.
            // Made smaller by itself (a part folded away) while its controls scroll: as high as
            // they want again, within the free area. (A size the user gave stays.)
            const bool ownResize = !event->spontaneous() && !dialog->property(kFitting).toBool();
            QTimer::singleShot(0, dialog, [dialog, ownResize] {
                const int asked = dialog->property(kLeastAsked).toInt();
                const bool again = belowLeast(dialog) && asked < 3;
                if (again) dialog->setProperty(kLeastAsked, asked + 1);
                if (again || !fitsFreeArea(dialog))
                    fit(dialog);
                else if (ownResize)
                    growToContents(dialog);
                bringIn(dialog);
            });
        } else if (type == QEvent::Move && event->spontaneous() && dialog->isVisible() &&
                   dialog->property(kFrameUnknown).toBool()) {
            // Placed or framed by the window manager after it was brought in without its own
            // frame: brought in again with it. (Once it has been, the user may move it anywhere.)
            bringIn(dialog);
        }
        return false;
    }

private:
    static bool fitsFreeArea(const QWidget* dialog) {
        const QScreen* screen = screenOf(dialog);
        if (screen == nullptr) return true;
        const QSize room = screen->availableGeometry().size().shrunkBy(frameOf(dialog));
        return dialog->width() <= room.width() && dialog->height() <= room.height();
    }
    static void growToContents(QDialog* dialog) {
        const auto* scroll = dialog->findChild<QScrollArea*>(dialog->objectName() + "Scroll",
                                                             Qt::FindDirectChildrenOnly);
        const QScreen* screen = screenOf(dialog);
        if (!dialog->property(kScrolled).toBool() || scroll == nullptr || screen == nullptr) return;
        // What is out of view below (a part folded away takes its height, and what scrolled
        // out of view stays out of it). Sideways the window keeps the width it was given.
        const QSize more(0, scroll->verticalScrollBar()->maximum());
        const QSize room = screen->availableGeometry().size().shrunkBy(frameOf(dialog));
        const QSize size = (dialog->size() + more).boundedTo(room).expandedTo(dialog->size());
        if (size != dialog->size()) {
            dialog->setProperty(kFitting, true);
            dialog->resize(size);
            dialog->setProperty(kFitting, false);
        }
    }
    // Fitted to the screen; the resizes this makes are the fitter's, not the dialog's own.
    static void fit(QDialog* dialog) {
        dialog->setProperty(kFitting, true);
        FitToScreen(dialog);
        dialog->setProperty(kFitting, false);
    }
    static bool belowLeast(const QWidget* dialog) {
        return dialog->width() < dialog->minimumWidth() || dialog->height() < dialog->minimumHeight();
    }
    // A frame beyond the free area comes back in. The frame is the one measured (the window
    // system may not have told this window's yet), and the window is placed by its inside,
    // which does not hang on the frame the toolkit last heard of.
    static void bringIn(QDialog* dialog) {
        QTimer::singleShot(0, dialog, [dialog] {
            if (!dialog->isVisible()) return;
            dialog->setProperty(kFrameUnknown, !measureFrame(dialog));
            const QMargins frame = lastFrame();
            const QRect outer = dialog->geometry().marginsAdded(frame);
            const QRect fitted = FitOnScreen(outer);
            if (fitted.topLeft() != outer.topLeft())
                dialog->setGeometry(QRect(fitted.topLeft() + QPoint(frame.left(), frame.top()), dialog->size()));
        });
    }
};

}  // namespace

void FitDialogsToScreen(QObject* owner) {
    QCoreApplication::instance()->installEventFilter(new DialogFitter(owner));
}

void CentreDialog(QWidget* dialog) {
    const QScreen* screen = screenOf(dialog);
    if (screen == nullptr) return;
    dialog->adjustSize();
    FitToScreen(dialog);
    const QRect free = screen->availableGeometry();
    QRect outer = QRect(QPoint(0, 0), dialog->size()).marginsAdded(frameOf(dialog));
    outer.moveCenter(free.center());
    // A window larger than the free area still shows its title bar.
    outer.moveLeft(std::max(outer.left(), free.left()));
    outer.moveTop(std::max(outer.top(), free.top()));
    dialog->move(outer.topLeft());
}

}  // namespace jqz
