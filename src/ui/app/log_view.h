#pragma once
// The log list: a view of the core log model. Lines are drawn in their kind's colour, the
// newest one marked on the tooltip background, selected ones in the palette's highlight. The
// user may select lines and copy them, clear the log, and scroll sideways to the end of a long
// line.
#include <QAbstractListModel>
#include <QListView>
#include <QStyledItemDelegate>

#include "core/messages/log_model.h"

namespace jqz {

class LogListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit LogListModel(LogModel& log, QObject* parent = nullptr);
    ~LogListModel() override;
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Empties the log and the list.
    void clear();

signals:
    void lineAppended(int row);

private:
    void catchUp();
    LogModel& log_;
    int shown_ = 0;
};

class LogLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    static QColor KindColour(int kind);
};

// The list box StatusWin.
class LogView : public QListView {
    Q_OBJECT
public:
    LogView(LogModel& log, QWidget* parent = nullptr);
    LogListModel* logModel() const { return model_; }
    // The selected lines as shown, top to bottom, one per line.
    QString selectedText() const;
    // Puts the selected lines on the clipboard; nothing when none is selected.
    void copySelection();

private:
    LogListModel* model_;
};

}  // namespace jqz
