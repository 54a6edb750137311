#include "ui/image/hex_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include "core/image/cell_range.h"
#include "core/image/checksum.h"
#include "core/image/image_edit.h"
#include "core/image/number_parsers.h"
#include "ui/app/action_table.h"
#include "ui/app/icons.h"
#include "ui/app/window_placement.h"
#include "ui/files/explaine.h"
#include "ui/image/copy_array_dialog.h"
#include "ui/image/copy_as_dialog.h"
#include "ui/image/code_page.h"
#include "ui/image/grid_font.h"
#include "ui/image/dump_grid.h"
#include "ui/image/fill_dialog.h"
#include "ui/image/go_to_dialog.h"
#include "ui/image/qt_clipboard.h"
#include "ui/image/search_dialog.h"
#include "ui/image/swap_dialog.h"

namespace jqz {

namespace {

constexpr ActionEntry kActions[] = {
    {"EditUndo", "&Undo", "Alt+Backspace", "Undo the last action", "undo"},
    {"EditCopy", "&Copy", "Ctrl+Ins", "Copy selected memory cells to clipboard", "copy"},
    {"EditPaste", "&Paste", "Shift+Ins", "Paste contents of clipboard", "paste"},
    {"EditSelectAll", "Select &All", "Ctrl+A", "Select all memory cell", "selectall"},
    {"EditFill", "F&ill", nullptr, "Fill memory cells with the value", "fill"},
    {"EditCopyAs", "Cop&y As ...", nullptr, "Copy selected memory cells to clipboard with conversion",
     "copyas"},
    {"EditFind", "&Find", nullptr, "Find cell in memory dump", "find"},
    {"EditSearchAgain", "&Search Again", "Ctrl+L", "Search again cell in memory dump",
     "searchagain"},
    {"EditProperty", "P&roperty", nullptr, "Description window Show/Close", "description"},
    {"EditGoToAddr", "&Go To Address", "Ctrl+G", "Go to address in memory dump", "goto"},
    {"EditSwap", "S&wap", nullptr, "Swap memory cells", "swap"},
};

// The actions that follow the window: enabled while it is shown.
constexpr const char* kShownActions[] = {"EditCopy", "EditSelectAll", "EditFill", "EditCopyAs",
                                         "EditFind", "EditGoToAddr", "EditSwap"};

constexpr int kStatusWidths[] = {55, 70, 95, 170, 40};

QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

// Work for the window from whichever thread the image or its description runs on.
template <typename Work>
void onUiThread(QObject* context, Work&& work) {
    QMetaObject::invokeMethod(context, std::forward<Work>(work), Qt::AutoConnection);
}

// The busy cursor over a widget for as long as the guard lives.
class BusyCursor {
public:
    explicit BusyCursor(QWidget* widget) : widget_(widget) { widget_->setCursor(Qt::WaitCursor); }
    ~BusyCursor() { widget_->unsetCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    QWidget* widget_;
};

}  // namespace

THexEdit::THexEdit(HexEditModel& model, MessageSink& sink, Clipboard* clipboard, QWidget* parent)
    : QWidget(parent, Qt::Window),
      model_(model),
      sink_(sink),
      ownClipboard_(clipboard == nullptr ? std::make_unique<QtClipboard>() : nullptr),
      clipboard_(clipboard == nullptr ? *ownClipboard_ : *clipboard),
      editor_(model, sink, clipboard_) {
    setObjectName("HexEdit");
    setWindowTitle("HexEdit");
    setWindowIcon(ShellIcon("hexeditor"));
    setMinimumWidth(400);
    setMaximumWidth(565);

    for (int i = 0; i < 64; ++i) palette_[static_cast<std::size_t>(i)] = toQColor(ColorIndexToColor(i));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    splitter1_ = new QSplitter(Qt::Horizontal, this);
    splitter1_->setObjectName("Splitter1");
    splitter1_->setChildrenCollapsible(false);
    hexGrid_ = new DumpGrid(DumpGrid::Kind::Hex, *this, splitter1_);
    charGrid_ = new DumpGrid(DumpGrid::Kind::Char, *this, splitter1_);
    hexGrid_->setMinimumWidth(265);
    charGrid_->setMinimumWidth(70);
    splitter1_->addWidget(hexGrid_);
    splitter1_->addWidget(charGrid_);
    splitter1_->setStretchFactor(0, 0);
    splitter1_->setStretchFactor(1, 1);
    layout->addWidget(splitter1_, 1);
    for (DumpGrid* grid : {hexGrid_, charGrid_})
        connect(grid, &DumpGrid::topRowChanged, this,
                [this, grid](int row) { topRowChanged(grid, row); });

    statusBar1_ = new QStatusBar(this);
    statusBar1_->setObjectName("StatusBar1");
    statusBar1_->setSizeGripEnabled(true);
    statusBar1_->setStatusTip("Memory cell numerical representation and properties");
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        auto* panel = new QLabel(statusBar1_);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(kStatusWidths[i]);
        if (i + 1 < panels_.size()) panel->setFixedWidth(kStatusWidths[i]);
        statusBar1_->addWidget(panel, i + 1 == panels_.size() ? 1 : 0);
        panels_[i] = panel;
    }
    layout->addWidget(statusBar1_);
    statusBar2_ = new QStatusBar(this);
    statusBar2_->setObjectName("StatusBar2");
    statusBar2_->setSizeGripEnabled(false);
    statusBar2_->setStatusTip("16-bit sum and CRC-32 of the selection, else of the EEPROM");
    checksumPanel_ = new QLabel(statusBar2_);
    checksumPanel_->setObjectName("ChecksumPanel");
    checksumPanel_->setFrameShape(QFrame::Panel);
    checksumPanel_->setFrameShadow(QFrame::Sunken);
    statusBar2_->addWidget(checksumPanel_, 1);
    layout->addWidget(statusBar2_);

    createActions();
    createPopupMenu();
    explaine_ = new TExplaine(*this, this);

    scrollBarOwner_ = hexGrid_;
    hexGrid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    refreshAppearance();

    // The designed size: the whole hex grid with its scroll bar, the character grid beside it.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int hexWidth = hexGrid_->contentWidth() + bar + 2 * hexGrid_->frameWidth();
    const int charWidth = charGrid_->contentWidth() + 2 * charGrid_->frameWidth() + 8;
    resize(std::clamp(hexWidth + charWidth + splitter1_->handleWidth(), 400, 565), 480);
    layout->activate();
    splitter1_->setSizes({hexWidth, width() - hexWidth - splitter1_->handleWidth()});

    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { clipboardChanged(); });
    model_.undo.setAvailabilityHandler([this](bool available) {
        onUiThread(this, [this, available] {
            action("EditUndo")->setEnabled(available);
            emit modifiedChanged();
        });
    });
    model_.image.setRepaintHandler([this] {
        onUiThread(this, [this] {
            refreshAppearance();
            RepaintView();
        });
    });
    model_.description.setNamesChangedHandler([this] { onUiThread(this, [this] { namesChanged(); }); });
    model_.description.setModifiedHandler([this] { onUiThread(this, [this] { emit modifiedChanged(); }); });
    updateStatus();
}

THexEdit::~THexEdit() {
    model_.undo.setAvailabilityHandler({});
    model_.image.setRepaintHandler({});
    model_.description.setNamesChangedHandler({});
    model_.description.setModifiedHandler({});
    // The description window and the editor's dialogs refer to the editor: they go while it is
    // still whole, not with the plain widget its base class leaves.
    delete explaine_;
    explaine_ = nullptr;
    const QList<QDialog*> dialogs = findChildren<QDialog*>(Qt::FindDirectChildrenOnly);
    for (QDialog* d : dialogs) delete d;
}

void THexEdit::createActions() {
    for (const auto& entry : kActions) {
        QAction* a = CreateAction(this, entry);  // the shortcuts work while the editor is active
        a->setEnabled(std::string(entry.name) == "EditProperty");
        actions_[entry.name] = a;
    }
    auto on = [this](const char* name, void (THexEdit::*handler)()) {
        connect(action(name), &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    on("EditUndo", &THexEdit::EditUndoExecute);
    on("EditCopy", &THexEdit::EditCopyExecute);
    on("EditPaste", &THexEdit::EditPasteExecute);
    on("EditSelectAll", &THexEdit::EditSelectAllExecute);
    on("EditFill", &THexEdit::EditFillExecute);
    on("EditCopyAs", &THexEdit::EditCopyAsExecute);
    on("EditFind", &THexEdit::EditFindExecute);
    on("EditSearchAgain", &THexEdit::EditSearchAgainExecute);
    on("EditProperty", &THexEdit::EditPropertyExecute);
    on("EditGoToAddr", &THexEdit::EditGoToAddrExecute);
    on("EditSwap", &THexEdit::EditSwapExecute);
    // Beside Alt+Backspace, Ctrl+Ins and Shift+Ins, the keys most desktops undo, copy and paste
    // with. They work in this window only, so that the main window's log keeps Ctrl+C for its
    // own lines.
    for (const auto& [name, keys] : {std::pair{"EditUndo", "Ctrl+Z"}, std::pair{"EditCopy", "Ctrl+C"},
                                     std::pair{"EditPaste", "Ctrl+V"}}) {
        QAction* command = action(name);
        auto* key = new QAction(this);
        key->setObjectName(QString(name) + "Key");
        key->setShortcut(QKeySequence(keys));
        key->setEnabled(command->isEnabled());
        connect(command, &QAction::enabledChanged, key, &QAction::setEnabled);
        connect(key, &QAction::triggered, command, &QAction::trigger);
        addAction(key);
    }
}

void THexEdit::createPopupMenu() {
    popupMenu1_ = new QMenu(this);
    popupMenu1_->setObjectName("PopupMenu1");
    popupMenu1_->addAction(action("EditUndo"));
    popupMenu1_->addSeparator();
    popupMenu1_->addAction(action("EditCopy"));
    popupMenu1_->addAction(action("EditPaste"));
    popupMenu1_->addAction(action("EditSelectAll"));
    popupMenu1_->addSeparator();
    // The menu's own items: "Find ..." and "Copy As" captions, Fill with its own Ctrl+F.
    auto* find = popupMenu1_->addAction(action("EditFind")->icon(), "&Find ...");
    find->setObjectName("PopupFind");
    connect(find, &QAction::triggered, action("EditFind"), &QAction::trigger);
    popupMenu1_->addAction(action("EditSearchAgain"));
    popupMenu1_->addSeparator();
    popupMenu1_->addAction(action("EditGoToAddr"));
    auto* copyAs = popupMenu1_->addAction(action("EditCopyAs")->icon(), "Cop&y As");
    copyAs->setObjectName("PopupCopyAs");
    connect(copyAs, &QAction::triggered, action("EditCopyAs"), &QAction::trigger);
    popupFill_ = popupMenu1_->addAction(action("EditFill")->icon(), "F&ill");
    popupFill_->setObjectName("PopupFill");
    popupFill_->setShortcut(QKeySequence("Ctrl+F"));
    popupFill_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    hexGrid_->addAction(popupFill_);
    connect(popupFill_, &QAction::triggered, action("EditFill"), &QAction::trigger);
    popupMenu1_->addAction(action("EditSwap"));
    // The menu's own items follow their actions' enabled state.
    for (auto [item, source] : {std::pair{find, action("EditFind")},
                                std::pair{copyAs, action("EditCopyAs")},
                                std::pair{popupFill_, action("EditFill")}}) {
        item->setEnabled(source->isEnabled());
        item->setStatusTip(source->statusTip());
        connect(source, &QAction::enabledChanged, item, &QAction::setEnabled);
    }
}

QAction* THexEdit::action(const char* name) const {
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

std::vector<QAction*> THexEdit::editMenuActions() const {
    return {action("EditUndo"),     nullptr,
            action("EditCopy"),     action("EditPaste"),       action("EditSelectAll"), nullptr,
            action("EditFind"),     action("EditSearchAgain"), nullptr,
            action("EditGoToAddr"), action("EditCopyAs"),      action("EditFill"),
            action("EditSwap")};
}

std::vector<QAction*> THexEdit::toolBarActions() const {
    return {action("EditCopy"), action("EditPaste"), action("EditFind"), action("EditCopyAs"),
            action("EditFill"), action("EditUndo"),  action("EditSwap"), action("EditGoToAddr")};
}

// --- appearance and painting ---

void THexEdit::refreshAppearance() {
    const EditorAppearance p = model_.image.GetAppearance();
    hexGrid_->setFont(GridFont(p.LeftFont, p.FontPixels));
    charGrid_->setFont(GridFont(p.RightFont, p.FontPixels));
    addressColour_ = toQColor(p.AddressColor);
    backgroundColour_ = toQColor(p.BackgroundColor);
    selectedColour_ = QColor(p.BackgroundColor.r ^ 0x40, p.BackgroundColor.g ^ 0x40,
                             p.BackgroundColor.b ^ 0x40);
    // The family the characters are drawn with, which a stored name may only stand for.
    rightFontName_ = QFontInfo(charGrid_->font()).family();
    panels_[4]->setText("Char Set: " + rightFontName_);
}

EditorAppearance THexEdit::GetAppearance() const { return model_.image.GetAppearance(); }

void THexEdit::ApplyAppearance(const EditorAppearance& p) {
    model_.image.ApplyAppearance(p);
    refreshAppearance();
    updateStatus();
    RepaintView();
}

bool THexEdit::ApplyOptions(const EditorAppearance& p) {
    if (!ApplyAppearanceUnlessRead(model_.image, p, sink_)) return false;
    refreshAppearance();
    updateStatus();
    RepaintView();
    return true;
}

void THexEdit::RepaintView() {
    hexGrid_->viewport()->update();
    charGrid_->viewport()->update();
    updateStatus();
}

void THexEdit::updateStatus() {
    const int a = editor_.cursorAddress();
    const std::uint8_t byte = model_.image.ReadData(a);
    panels_[0]->setText(" " + QString::fromStdString(HexText(a, 5)));
    panels_[1]->setText(QStringLiteral("Dec: %1").arg(byte));
    panels_[2]->setText(QStringLiteral("Bin: %1").arg(byte, 8, 2, QChar('0')));
    panels_[3]->setText(model_.image.IsUnimplemented(a) ? "Unimplemented"
                        : model_.image.IsReadOnly(a)    ? "Read Only"
                                                        : "Read/Write");
    panels_[4]->setText("Char Set: " + rightFontName_);
    checksumPanel_->setText(checksumLine());
    // A narrow window cuts the last panels: their whole text is a hover away.
    for (QLabel* panel : {panels_[3], panels_[4], checksumPanel_}) panel->setToolTip(panel->text().trimmed());
    explaine_->repaintGrid();
}

QString THexEdit::checksumLine() const {
    CellSet cells = CellSet::Range(0, MemoryImage::LastAddress());
    std::string what = "Image";
    if (editor_.HasRangeSelection()) {
        cells = CellSet::Selection(editor_.selection().rect());
        what = "Selection";
    } else if (model_.hasEeprom()) {
        cells = CellSet::Range(model_.eepromStart, model_.eepromEnd);
        what = kEepromRange;
    }
    const ChecksumReport report{what, cells.first(), cells.last(),
                                ChecksumsOf(model_.image, cells)};
    QString text = " " + QString::fromStdString(report.text());
    // A rectangle narrower than the rows holds fewer cells than its corners span.
    if (cells.count() != cells.last() - cells.first() + 1)
        text += QStringLiteral(" (%1 cells)").arg(cells.count());
    return text;
}

QString THexEdit::checksumText() const { return checksumPanel_->text(); }

QString THexEdit::statusText(int panel) const {
    return panel >= 0 && panel < static_cast<int>(panels_.size())
               ? panels_[static_cast<std::size_t>(panel)]->text()
               : QString();
}

// --- cursor, typing, focus ---

void THexEdit::afterCommand() {
    showCursorInBothGrids();
    RepaintView();
}

void THexEdit::showCursorInBothGrids() {
    // The grids scroll together: the cursor's row must be whole in the shorter of the two.
    const int rows = std::min(hexGrid_->visibleRows(), charGrid_->visibleRows());
    // A match that runs on into the next rows is shown whole as well, as far as the view
    // allows; the cursor's row comes first.
    if (const auto match = editor_.shownMatch()) {
        hexGrid_->showRow(match->to / kGridColumns, rows);
        charGrid_->showRow(match->to / kGridColumns, rows);
    }
    hexGrid_->showCursor(rows);
    charGrid_->showCursor(rows);
}

void THexEdit::GoToAddress(long long a) {
    editor_.GoToAddress(a);
    afterCommand();
}

void THexEdit::ShowAddressAtTop(long long a) {
    editor_.GoToAddress(MemoryImage::LastAddress());
    hexGrid_->setTopRow(kGridRows);
    GoToAddress(a);
}

void THexEdit::userMovedCursor(DumpGrid* grid) {
    if (grid == hexGrid_) editor_.clearNibble();
    showCursorInBothGrids();
    RepaintView();
}

void THexEdit::typed(DumpGrid* grid, const QString& text) {
    for (QChar c : text) {
        const std::uint8_t byte = CodePageByte(c);
        if (grid == hexGrid_) {
            if (!editor_.TypeHexKey(byte)) QApplication::beep();
        } else {
            if (!editor_.TypeCharKey(byte)) QApplication::beep();
        }
    }
    afterCommand();
}

void THexEdit::gridFocused(DumpGrid* grid) {
    editor_.clearNibble();
    giveScrollBarTo(grid);
}

void THexEdit::giveScrollBarTo(DumpGrid* grid) {
    if (scrollBarOwner_ == grid) return;
    DumpGrid* other = grid == hexGrid_ ? charGrid_ : hexGrid_;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QList<int> sizes = splitter1_->sizes();
    const int to = grid == hexGrid_ ? 0 : 1;
    if (sizes.size() == 2 && sizes[1 - to] - bar >= (to == 0 ? 70 : 265)) {
        sizes[to] += bar;
        sizes[1 - to] -= bar;
    }
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    other->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    splitter1_->setSizes(sizes);
    scrollBarOwner_ = grid;
}

void THexEdit::topRowChanged(DumpGrid* grid, int row) {
    DumpGrid* other = grid == hexGrid_ ? charGrid_ : hexGrid_;
    if (other->topRow() != row) other->setTopRow(row);
}

void THexEdit::showPopup(const QPoint& globalPos) { popupMenu1_->popup(globalPos); }

// --- window state ---

// Project name, a blank and device name; "HexEdit" while both are empty, so that the
// window never goes without a title.
void THexEdit::showCaption() {
    const QString caption = FromCodePage(model_.Caption());
    setWindowTitle(caption.trimmed().isEmpty() ? QStringLiteral("HexEdit") : caption);
}

void THexEdit::namesChanged() {
    showCaption();
    explaine_->namesChanged();
}

void THexEdit::clipboardChanged() {
    action("EditPaste")->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
}

void THexEdit::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    showCaption();
    clipboardChanged();
    action("EditSearchAgain")->setEnabled(searchCreated());
    action("EditUndo")->setEnabled(!model_.undo.IsEmpty());
    for (const char* name : kShownActions) action(name)->setEnabled(true);
    hexGrid_->setFocus(Qt::OtherFocusReason);
    afterCommand();
}

void THexEdit::closeEvent(QCloseEvent* event) {
    for (const auto& [name, a] : actions_)
        if (name != "EditProperty") a->setEnabled(false);
    event->accept();
}

bool THexEdit::event(QEvent* event) {
    // Hints go to the main window's hint line.
    if (event->type() == QEvent::StatusTip && parentWidget() != nullptr)
        return QCoreApplication::sendEvent(parentWidget(), event);
    return QWidget::event(event);
}

// --- geometry ---

EditorGeometry THexEdit::GetGeometry() const {
    EditorGeometry g;
    const QRect f = OuterGeometry(this);
    g.EditorLeft = f.left();
    g.EditorTop = f.top();
    g.EditorHeight = f.height();
    g.EditorWidth = f.width();
    g.LeftGridWidth = splitter1_->sizes().value(0);
    g.EditorVisible = isVisible();
    const QRect d = OuterGeometry(explaine_);
    g.DescriptionLeft = d.left();
    g.DescriptionTop = d.top();
    g.DescriptionHeight = d.height();
    g.DescriptionWidth = d.width();
    g.DescriptionVisible = explaine_->isVisible();
    return g;
}

namespace {

QRect outer(int left, int top, int height, int width) { return {left, top, width, height}; }

}  // namespace

void THexEdit::SetGeometry(const EditorGeometry& g) {
    const QRect editor = outer(g.EditorLeft, g.EditorTop, g.EditorHeight, g.EditorWidth);
    if (g.EditorVisible) {
        ShowPlaced(this, editor);
    } else {
        PlaceByFrame(this, editor);
        close();
    }
    layout()->activate();
    const int total = splitter1_->width() - splitter1_->handleWidth();
    const int left = std::clamp(g.LeftGridWidth, 265, std::max(265, total - 70));
    splitter1_->setSizes({left, std::max(70, total - left)});
    const QRect description =
        outer(g.DescriptionLeft, g.DescriptionTop, g.DescriptionHeight, g.DescriptionWidth);
    if (g.DescriptionVisible) {
        ShowPlaced(explaine_, description);
    } else {
        PlaceByFrame(explaine_, description);
        explaine_->close();
    }
}

// --- commands ---

void THexEdit::EditUndoExecute() {
    {
        BusyCursor busy(hexGrid_);
        editor_.EditUndo();
    }
    afterCommand();
}

void THexEdit::EditCopyExecute() {
    bool copied;
    {
        BusyCursor busy(hexGrid_);
        copied = editor_.EditCopy();
    }
    if (copied) return;
    if (form2_ == nullptr) form2_ = new TForm2(*this);
    const QString address = QString::fromStdString(AddressText(editor_.cursorAddress()));
    BusyCursor busy(hexGrid_);
    form2_->open(address, address);
}

void THexEdit::EditPasteExecute() {
    {
        BusyCursor busy(hexGrid_);
        editor_.EditPaste();
    }
    afterCommand();
}

void THexEdit::EditSelectAllExecute() {
    editor_.EditSelectAll();
    afterCommand();
}

void THexEdit::EditFillExecute() {
    if (form5_ == nullptr) form5_ = new TForm5(*this);
    {
        BusyCursor busy(hexGrid_);
        form5_->open();
    }
    afterCommand();
}

void THexEdit::EditCopyAsExecute() {
    if (form6_ == nullptr) form6_ = new TForm6(*this);
    BusyCursor busy(hexGrid_);
    form6_->open();
}

void THexEdit::EditFindExecute() {
    if (form7_ == nullptr) {
        form7_ = new TForm7(*this);
        action("EditSearchAgain")->setEnabled(true);
    }
    form7_->open();
    afterCommand();
}

void THexEdit::EditSearchAgainExecute() {
    if (form7_ == nullptr) return;
    form7_->searchAgain();
    afterCommand();
}

void THexEdit::EditPropertyExecute() {
    if (explaine_->isVisible())
        explaine_->close();
    else
        explaine_->show();
}

void THexEdit::EditGoToAddrExecute() {
    if (form3_ == nullptr) form3_ = new TForm3(*this);
    form3_->open();
    afterCommand();
}

void THexEdit::EditSwapExecute() {
    if (form4_ == nullptr) form4_ = new TForm4(*this);
    form4_->open();
    afterCommand();
}

}  // namespace jqz
