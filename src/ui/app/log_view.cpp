#include "ui/app/log_view.h"

#include <QApplication>
#include <QClipboard>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include "ui/image/code_page.h"

namespace jqz {

LogListModel::LogListModel(LogModel& log, QObject* parent) : QAbstractListModel(parent), log_(log) {
    shown_ = static_cast<int>(log_.count());
    // Workers append from their own threads; the view catches up on its own thread.
    log_.setAppendHandler([this](std::size_t) {
        QMetaObject::invokeMethod(this, [this] { catchUp(); }, Qt::QueuedConnection);
    });
}

LogListModel::~LogListModel() { log_.setAppendHandler({}); }

void LogListModel::catchUp() {
    const int total = static_cast<int>(log_.count());
    if (total <= shown_) return;
    beginInsertRows({}, shown_, total - 1);
    shown_ = total;
    endInsertRows();
    emit lineAppended(total - 1);
}

void LogListModel::clear() {
    beginResetModel();
    log_.clear();
    shown_ = 0;
    endResetModel();
    catchUp();  // a worker's line may have come in between
}

int LogListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

QVariant LogListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_) return {};
    const std::string stored = log_.storedLine(static_cast<std::size_t>(index.row()));
    switch (role) {
        case Qt::DisplayRole: return FileNameText(LogModel::DisplayText(stored));
        case Qt::ForegroundRole: return LogLineDelegate::KindColour(LogModel::KindOf(stored));
        case Qt::UserRole: return LogModel::KindOf(stored);
        default: return {};
    }
}

QColor LogLineDelegate::KindColour(int kind) {
    switch (kind) {
        case LogNotice: return QColor(128, 0, 128);
        case LogError: return QColor(255, 0, 0);
        default: return QColor(0, 0, 0);
    }
}

void LogLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    // Lines the user selects take the palette's highlight; the newest line is marked on the
    // tooltip background; the others lie on the window colour in their kind's colour.
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const bool newest = index.row() == index.model()->rowCount() - 1;
    const QColor background = option.palette.color(
        selected ? QPalette::Highlight : newest ? QPalette::ToolTipBase : QPalette::Base);
    painter->save();
    painter->fillRect(option.rect, background);
    painter->setClipRect(option.rect);
    painter->setPen(selected ? option.palette.color(QPalette::HighlightedText)
                             : index.data(Qt::ForegroundRole).value<QColor>());
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(1, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}

QSize LogLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    // As wide as the text, so that a long line can be scrolled to its end.
    const int width = option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
    return {width + 6, option.fontMetrics.height() + 2};
}

LogView::LogView(LogModel& log, QWidget* parent) : QListView(parent) {
    setObjectName("StatusWin");
    model_ = new LogListModel(log, this);
    setModel(model_);
    setItemDelegate(new LogLineDelegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette p = palette();
    p.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    setPalette(p);
    // A new line becomes the current one and comes into view from its start, whatever the
    // user had scrolled to sideways; the lines the user selected stay selected.
    connect(model_, &LogListModel::lineAppended, this, [this](int row) {
        const QModelIndex last = model_->index(row);
        selectionModel()->setCurrentIndex(last, QItemSelectionModel::NoUpdate);
        scrollTo(last);
        horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
    });
}

QString LogView::selectedText() const {
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList lines;
    // The list shows each line after a blank where its kind was stored; the copy leaves it out.
    for (const QModelIndex& i : rows) lines << i.data(Qt::DisplayRole).toString().mid(1);
    return lines.join('\n');
}

void LogView::copySelection() {
    if (selectionModel()->selectedRows().isEmpty()) return;
    QApplication::clipboard()->setText(selectedText());
}

}  // namespace jqz
