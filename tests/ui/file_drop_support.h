#pragma once
// Files dragged from outside onto a window, as a file manager drags them.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QStringList>
#include <QUrl>
#include <QWidget>

namespace jqz::test {

// A drag of `data` over `target`, then its drop; true when the window took both. What the
// drop opens comes once the drop has returned, as after a real drop.
inline bool dragAndDrop(QWidget* target, QMimeData* data) {
    const QPoint at(target->width() / 2, target->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QCoreApplication::processEvents();
    return drop.isAccepted();
}

inline bool dropFiles(QWidget* target, const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    data.setUrls(urls);
    return dragAndDrop(target, &data);
}

}  // namespace jqz::test
