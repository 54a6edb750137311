#include "ui/files/explaine.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/image/number_parsers.h"
#include "ui/app/icons.h"
#include "ui/image/code_page.h"
#include "ui/image/edit_cell_dialog.h"
#include "ui/image/hex_edit.h"

namespace jqz {

namespace {

QString notesForView(const std::string& notes) {
    return FromCodePage(notes).replace("\r\n", "\n");
}

std::string notesForModel(const QString& text) {
    QString t = text;
    return ToCodePage(t.replace("\n", "\r\n"));
}

}  // namespace

// --- the grid ---

DescriptionGrid::DescriptionGrid(THexEdit& editor, QWidget* parent)
    : QAbstractScrollArea(parent), editor_(editor) {
    setObjectName("StringGrid1");
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setStatusTip("Memory cell properties Editor");
    setContextMenuPolicy(Qt::CustomContextMenu);
    rowsChanged();
}

void DescriptionGrid::rowsChanged() {
    const int rows = editor_.model().description.rowCount();
    const int visible = std::max(1, viewport()->height() / kRowHeight);
    verticalScrollBar()->setRange(0, std::max(0, rows - visible));
    verticalScrollBar()->setPageStep(visible);
    if (currentRow_ >= rows) currentRow_ = rows - 1;
    viewport()->update();
}

void DescriptionGrid::setCurrentRow(int row) {
    const int rows = editor_.model().description.rowCount();
    currentRow_ = std::clamp(row, 0, rows - 1);
    showCurrentRow();
    viewport()->update();
}

void DescriptionGrid::showCurrentRow() {
    const int visible = std::max(1, viewport()->height() / kRowHeight);
    QScrollBar* v = verticalScrollBar();
    if (currentRow_ < v->value())
        v->setValue(currentRow_);
    else if (currentRow_ >= v->value() + visible)
        v->setValue(currentRow_ - visible + 1);
}

int DescriptionGrid::rowAt(int y) const { return verticalScrollBar()->value() + y / kRowHeight; }

void DescriptionGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    rowsChanged();
}

void DescriptionGrid::scrollContentsBy(int, int) { viewport()->update(); }

void DescriptionGrid::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QPalette& pal = palette();
    p.fillRect(viewport()->rect(), pal.color(QPalette::Base));
    const HexEditModel& model = editor_.model();
    const int rows = model.description.rowCount();
    const int top = verticalScrollBar()->value();
    const int last = std::min(rows - 1, top + viewport()->height() / kRowHeight);
    QFont regular = font();
    regular.setBold(false);
    QFont bold = regular;
    bold.setBold(true);
    const int ascent = QFontMetrics(regular).ascent();
    for (int r = top; r <= last; ++r) {
        const ImageDescription::Row row = model.description.row(r);
        const long long a = ImageDescription::ParseRowAddress(row.addressText);
        const int y = (r - top) * kRowHeight;
        const QString texts[5] = {
            QString(), model.image.IsReadOnly(a) ? "R" : "W",
            FromCodePage(row.addressText),
            MemoryImage::Contains(a) ? "0x" + QString::fromStdString(HexText(model.image.ReadData(a), 2))
                                     : QString(),
            FromCodePage(row.comment)};
        int x = 0;
        for (int c = 0; c < 5; ++c) {
            const QRect cell(x, y, kColumnWidths[c], kRowHeight);
            p.setClipRect(cell);
            p.setFont(regular);
            p.setPen(Qt::black);
            if (c == 0) {
                const Rgb rgb = model.image.CellColor(a);
                const QColor colour(rgb.r, rgb.g, rgb.b);
                p.fillRect(cell, colour);
                if (r == currentRow_ && hasFocus()) {
                    p.setFont(bold);
                    p.setPen(QColor(255 - rgb.r, 255 - rgb.g, 255 - rgb.b));
                    p.drawText(QPoint(x + 2, y + 2 + ascent), ">");
                }
            } else {
                p.drawText(QPoint(x + 2, y + 2 + ascent), texts[c]);
            }
            p.setClipping(false);
            p.setPen(pal.color(QPalette::Midlight));
            p.drawLine(cell.topRight(), cell.bottomRight());
            p.drawLine(cell.bottomLeft(), cell.bottomRight());
            x += kColumnWidths[c];
        }
    }
}

void DescriptionGrid::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const int row = rowAt(static_cast<int>(event->position().y()));
    if (row < editor_.model().description.rowCount()) setCurrentRow(row);
    QAbstractScrollArea::mousePressEvent(event);
}

void DescriptionGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    const int row = rowAt(static_cast<int>(event->position().y()));
    if (event->button() == Qt::LeftButton && row < editor_.model().description.rowCount())
        emit editRequested();
}

void DescriptionGrid::keyPressEvent(QKeyEvent* event) {
    const int visible = std::max(1, viewport()->height() / kRowHeight);
    switch (event->key()) {
        case Qt::Key_Up: setCurrentRow(currentRow_ - 1); return;
        case Qt::Key_Down: setCurrentRow(currentRow_ + 1); return;
        case Qt::Key_PageUp: setCurrentRow(currentRow_ - visible); return;
        case Qt::Key_PageDown: setCurrentRow(currentRow_ + visible); return;
        case Qt::Key_Home: setCurrentRow(0); return;
        case Qt::Key_End: setCurrentRow(editor_.model().description.rowCount() - 1); return;
        default: break;
    }
    // Any character key opens the cell's editor.
    if (!event->text().isEmpty() && !(event->modifiers() & Qt::AltModifier)) {
        emit editRequested();
        return;
    }
    event->ignore();
}

void DescriptionGrid::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void DescriptionGrid::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

// --- the window ---

TExplaine::TExplaine(THexEdit& editor, QWidget* parent)
    : QWidget(parent, Qt::Window), editor_(editor) {
    setObjectName("Explaine");
    setWindowTitle(" Description");
    setWindowIcon(ShellIcon("description"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
    setPalette(pal);
    setAutoFillBackground(true);

    addRow_ = new QAction(ShellIcon("addrow"), "&Add Row", this);
    addRow_->setObjectName("AddRow");
    addRow_->setStatusTip("Add Row");
    deleteRow_ = new QAction(ShellIcon("deleterow"), "&Delete Row", this);
    deleteRow_->setObjectName("DeleteRow");
    deleteRow_->setStatusTip("Delete Row");
    cellEdit_ = new QAction(ShellIcon("edit"), "&Edit", this);
    cellEdit_->setObjectName("CellEdit");
    cellEdit_->setStatusTip("Edit memory cell");
    deleteRow_->setEnabled(false);
    connect(addRow_, &QAction::triggered, this, [this] { AddRowExecute(); });
    connect(deleteRow_, &QAction::triggered, this, [this] { DeleteRowExecute(); });
    connect(cellEdit_, &QAction::triggered, this, [this] { CellEditExecute(); });

    projectName_ = new QLineEdit(this);
    projectName_->setObjectName("ProjectName");
    projectName_->setStatusTip("Project Name");
    deviceName_ = new QLineEdit(this);
    deviceName_->setObjectName("DeviceName");
    deviceName_->setStatusTip("Device Name");
    auto* names = new QFormLayout;
    names->addRow("Name:", projectName_);
    names->addRow("Device:", deviceName_);

    // The header strip: the row buttons over the two narrow columns, then the headings.
    auto* panel1 = new QWidget(this);
    panel1->setObjectName("Panel1");
    panel1->setFixedHeight(DescriptionGrid::kRowHeight + 2);
    // The strip's buttons run the row actions and follow their enabled state.
    auto speedButton = [panel1](const char* name, const char* caption, QAction* action, int x) {
        auto* b = new QToolButton(panel1);
        b->setObjectName(name);
        b->setText(caption);
        b->setStatusTip(action->statusTip());
        b->setEnabled(action->isEnabled());
        b->setAutoRaise(true);
        b->setGeometry(x, 1, 15, DescriptionGrid::kRowHeight);
        QObject::connect(b, &QToolButton::clicked, action, &QAction::trigger);
        QObject::connect(action, &QAction::changed, b,
                         [b, action] { b->setEnabled(action->isEnabled()); });
    };
    speedButton("SpeedButton2", "-", deleteRow_, 0);
    speedButton("SpeedButton1", "+", addRow_, 15);
    int x = 30 + 2;
    const char* headings[] = {"Address", "Data", "Comment"};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(headings[i], panel1);
        label->setGeometry(x, 1, i == 2 ? 200 : DescriptionGrid::kColumnWidths[2 + i],
                           DescriptionGrid::kRowHeight);
        x += DescriptionGrid::kColumnWidths[2 + i];
    }

    grid_ = new DescriptionGrid(editor_, this);
    projNotes_ = new QPlainTextEdit(this);
    projNotes_->setObjectName("ProjNotes");
    projNotes_->setStatusTip("Notes");
    projNotes_->setFixedHeight(90);

    cellPropMenu_ = new QMenu(this);
    cellPropMenu_->setObjectName("CellPropMenu");
    cellPropMenu_->addAction(cellEdit_);
    cellPropMenu_->addAction(addRow_);
    cellPropMenu_->addAction(deleteRow_);
    connect(grid_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        cellPropMenu_->popup(grid_->viewport()->mapToGlobal(pos));
    });
    connect(grid_, &DescriptionGrid::editRequested, this, [this] { CellEditExecute(); });

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(3);
    v->addLayout(names);
    v->addWidget(panel1);
    v->addWidget(grid_, 1);
    v->addWidget(projNotes_);
    resize(420, 360);

    connect(projectName_, &QLineEdit::textEdited, this, [this](const QString& text) {
        editor_.model().description.setProjectName(ToCodePage(text));
    });
    connect(deviceName_, &QLineEdit::textEdited, this, [this](const QString& text) {
        editor_.model().description.setDeviceName(ToCodePage(text));
    });
    connect(projNotes_, &QPlainTextEdit::textChanged, this, [this] {
        const std::string notes = notesForModel(projNotes_->toPlainText());
        if (notes != editor_.model().description.notes())
            editor_.model().description.setNotes(notes);
    });
    editor_.model().description.setChangedHandler([this] {
        QMetaObject::invokeMethod(this, [this] { refresh(); }, Qt::AutoConnection);
    });
    refresh();
    projNotes_->selectAll();
}

TExplaine::~TExplaine() { editor_.model().description.setChangedHandler({}); }

QAction* TExplaine::action(const char* name) const {
    for (QAction* a : {addRow_, deleteRow_, cellEdit_})
        if (a->objectName() == name) return a;
    return nullptr;
}

void TExplaine::refresh() {
    const ImageDescription& d = editor_.model().description;
    const QString project = FromCodePage(d.projectName());
    if (projectName_->text() != project) projectName_->setText(project);
    const QString device = FromCodePage(d.deviceName());
    if (deviceName_->text() != device) deviceName_->setText(device);
    const QString notes = notesForView(d.notes());
    if (projNotes_->toPlainText() != notes) projNotes_->setPlainText(notes);
    grid_->rowsChanged();
}

void TExplaine::repaintGrid() { grid_->viewport()->update(); }

void TExplaine::namesChanged() {
    setWindowTitle(FromCodePage(editor_.model().description.projectName()) +
                   " Description");
    refresh();
}

void TExplaine::AddRowExecute() {
    editor_.model().description.AddRow();
    grid_->rowsChanged();
}

void TExplaine::DeleteRowExecute() {
    editor_.model().description.DeleteRow();
    grid_->rowsChanged();
}

void TExplaine::CellEditExecute() {
    if (!cellEdit_->isEnabled()) return;
    if (form8_ == nullptr) form8_ = new TForm8(editor_, this);
    form8_->open(grid_->currentRow());
    grid_->rowsChanged();
}

void TExplaine::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    namesChanged();
    projectName_->setFocus(Qt::OtherFocusReason);
    for (QAction* a : {addRow_, deleteRow_, cellEdit_}) a->setEnabled(true);
}

void TExplaine::closeEvent(QCloseEvent* event) {
    for (QAction* a : {addRow_, deleteRow_, cellEdit_}) a->setEnabled(false);
    event->accept();
}

bool TExplaine::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip && parentWidget() != nullptr)
        return QCoreApplication::sendEvent(parentWidget(), event);
    return QWidget::event(event);
}

}  // namespace jqz
