#include "ui/app/file_drops.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace jqz {

QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << QDir::toNativeSeparators(url.toLocalFile());
    return files;
}

FileDrops::FileDrops(std::function<void(const QStringList&)> open, QObject* parent)
    : QObject(parent), open_(std::move(open)) {}

void FileDrops::watch(QWidget* window) {
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool FileDrops::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (DroppedFiles(drag->mimeData()).isEmpty()) return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList files = DroppedFiles(drop->mimeData());
            if (files.isEmpty()) return false;
            drop->acceptProposedAction();
            QTimer::singleShot(0, this, [this, files] { open_(files); });
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
    }
}

}  // namespace jqz
