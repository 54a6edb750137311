#pragma once
// Files dropped from outside (a file manager, the desktop) on a window: the window takes a drag
// that carries local files, and hands their names over once the drop is done.
#include <QObject>
#include <QStringList>
#include <functional>

class QMimeData;
class QWidget;

namespace jqz {

class FileDrops : public QObject {
    Q_OBJECT
public:
    // `open` gets the dropped files' names, as the system writes them, after the drop event
    // has returned, so that the drag's source is not kept waiting by a question.
    FileDrops(std::function<void(const QStringList&)> open, QObject* parent);
    // Makes `window` take drops of local files, also over its children that take none.
    void watch(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(const QStringList&)> open_;
};

// The local files a drag carries, in their order; empty when it carries none.
QStringList DroppedFiles(const QMimeData* data);

}  // namespace jqz
