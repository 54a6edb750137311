// The main window's layout, its actions, menus and tool bar, the windows it shows and hides,
// and the commands of its menus.
#include "ui/app/prog_shell.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPainter>
#include <QProgressBar>
#include <QShortcut>
#include <QFile>
#include <QScrollArea>
#include <QSplitter>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOption>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "core/platform/atomic_file.h"
#include "core/app/program_folder.h"
#include "core/link/port_enumeration.h"
#include "ui/app/about_box.h"
#include "ui/app/action_table.h"
#include "ui/app/gauge_bar.h"
#include "ui/app/icons.h"
#include "ui/app/window_placement.h"
#include "ui/app/log_view.h"
#include "ui/files/explaine.h"
#include "ui/image/dialog_fields.h"
#include "ui/image/hex_edit.h"
#include "ui/image/hex_options_dialog.h"
#include "ui/app/qt_message_sink.h"
#include "ui/device/device_wizard.h"
#include "ui/device/package_view.h"
#include "ui/device/rtf_text_document.h"
#include "ui/link/firmware_update_dialog.h"
#include "ui/link/comm_set.h"
#include "sim/hc11/virtual_hc11_ports.h"
#include "sim/virtual_programmer.h"
#include "ui/files/load_dialog.h"
#include "ui/files/print_dialog.h"
#include "ui/files/save_dialog.h"
#include "ui/image/code_page.h"

namespace jqz {

namespace {

constexpr WindowGeometry kDesignedGeometry{120, 80, 600, 760};

// The main window's actions: name, menu caption, shortcut, hint and picture.
constexpr ActionEntry kActions[] = {
    {"ShowEditor", "&Hex Editor", "Alt+E", "Hexadecimal Editor window Show/Close", "hexeditor"},
    {"EditSaveFile", "&Save", "F2", "Save Current File", "save"},
    {"EditOpenFile", "&Open", "F3", "Open an Existing File", "open"},
    {"EditPrint", "&Print", nullptr, "Print memory dump", "print"},
    {"EditExit", "E&xit", "Alt+X", "Exit program", "exit"},
    {"ToolEditor", "&Hex Editor Options ...", nullptr, "Change Hexadecimal Editor Settings",
     "editoroptions"},
    {"ToolComm", "&Comm Port Options ...", nullptr, "Change COM Port Settings", "port"},
    {"ToolUpdate", "&Firmware Update ...", nullptr, "Update Current Hardware", "firmware"},
    {"IdentifyPart", "&Identify Part", "Ctrl+I", "Identify the part on the link", nullptr},
    {"HelpProg", "&User Manual", "F1", "Open Help File", "help"},
    {"HelpAbout", "&About ...", nullptr, nullptr, "about"},
    {"ResToDef", "&Reset To Default", nullptr, nullptr, "reset"},
    {"ShowPackage", "Device &Package", nullptr, "Device Package Layout Show/Close", "package"},
    {"HexEditOpen", nullptr, nullptr, nullptr, nullptr},
    {"HexEditClose", nullptr, nullptr, nullptr, nullptr},
    {"ExplaineOpen", nullptr, nullptr, nullptr, nullptr},
    {"ExplaineClose", nullptr, nullptr, nullptr, nullptr},
    {"ShowPackageOpen", nullptr, nullptr, nullptr, nullptr},
    {"ShowPackageClose", nullptr, nullptr, nullptr, nullptr},
};

// One line of text in the room given, elided at the right where it is too long.
void DrawElidedLine(QWidget* widget, QPainter& painter, const QRect& room, int alignment,
                    const QString& text, QPalette::ColorRole role) {
    widget->style()->drawItemText(
        &painter, room, alignment | Qt::TextSingleLine, widget->palette(), widget->isEnabled(),
        widget->fontMetrics().elidedText(text, Qt::ElideRight, room.width()), role);
}

// A status section that gives way in a narrow window (a small screen, a large font): its text
// elided at the right, the whole of it (text() and the tool tip) kept.
class GivingWayLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override {
        QSize size = QLabel::minimumSizeHint();
        const QMargins m = contentsMargins();
        size.setWidth(fontMetrics().horizontalAdvance(QStringLiteral("Port\u2026")) + m.left() +
                      m.right() + 2 * frameWidth());
        return size;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        drawFrame(&painter);
        DrawElidedLine(this, painter, contentsRect(), int(alignment()), text(), foregroundRole());
    }
};

// The hint bar: its message elided at the right where the room the port section leaves is too
// narrow for it (the whole message is the tool tip).
class HintBar : public QStatusBar {
public:
    using QStatusBar::QStatusBar;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QStyleOption panel;
        panel.initFrom(this);
        style()->drawPrimitive(QStyle::PE_PanelStatusBar, &panel, &painter, this);
        DrawElidedLine(this, painter, rect().adjusted(6, 0, -6, 0),
                       Qt::AlignLeading | Qt::AlignVCenter, currentMessage(), QPalette::WindowText);
    }
};

// Qt hands documents to the desktop's viewer through xdg-open (Debian: xdg-utils); without it a
// PDF viewer is never reached, however many are installed. Windows has its own launcher.
bool DocumentLauncherMissing() {
#ifdef Q_OS_WIN  // Qt differs: on Windows it opens documents through the shell, not xdg-open
    return false;
#else
    return QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
#endif
}

}  // namespace

TProgShell::TProgShell(ShellPaths paths, MessageSink* sink, QWidget* parent)
    : QMainWindow(parent), paths_(std::move(paths)) {
    if (sink == nullptr) {
        ownSink_ = std::make_unique<QtMessageSink>(this);
        sink = ownSink_.get();
    }
    sink_ = sink;
    setObjectName("ProgShell");
    setWindowTitle(kProgramTitle);
    FitDialogsToScreen(this);
    setWindowIcon(ShellIcon("chip"));
    startNewInstance = [] {
        QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    };
    openDocument = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };

    // The built-in programmer takes its time like the real one, so progress shows.
    virtualProgrammer_ = std::make_unique<sim::VirtualProgrammer>([] {
        sim::SimOptions o;
        o.timing = true;
        return o;
    }());
    virtualHc11_ = std::make_unique<sim::VirtualHc11Ports>(
        sim::Hc11Options{}, [this](const std::string& name) {
            return systemPortOpener ? systemPortOpener(name) : OpenSystemPort(name);
        });
    // The quick-info documents are RTF, read by our own reader.
    quickInfoLoader = [](const QString& path, QTextDocument& document) {
        return LoadRtfFile(path, document);
    };

    devices_ = std::make_unique<SupportedDeviceList>(paths_.programFolder);
    hexModel_ = std::make_unique<HexEditModel>();
    hexEdit_ = std::make_unique<THexEdit>(*hexModel_, *sink_, nullptr, this);
    EditorAppearance appearance = hexEdit_->GetAppearance();
    appearance.LeftFont = "System";
    appearance.RightFont = "Terminal";
    hexEdit_->ApplyAppearance(appearance);
    connect(hexEdit_.get(), &THexEdit::modifiedChanged, this, [this] { updateModifiedMark(); });
    watchFileDrops();

    createActions();
    createMenus();
    createToolBar();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->setSpacing(4);
    // The device row and the sequence pages scroll where the screen is too small for them
    // (a small screen, a large font); the log below keeps its room.
    auto* upper = new QScrollArea(central);
    upper->setObjectName("UpperPanelScroll");
    upper->setFrameShape(QFrame::NoFrame);
    upper->setWidgetResizable(true);
    upper->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    upper->setWidget(createUpperPanel());
    layout->addWidget(upper);
    statusWin_ = new LogView(log_, central);
    statusWin_->setStatusTip("Log Window");
    // The log takes the room the panel above leaves, and never less than a few lines.
    statusWin_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    statusWin_->setMinimumHeight(4 * statusWin_->fontMetrics().lineSpacing() + 2 * statusWin_->frameWidth());
    layout->addWidget(statusWin_, 1);

    logFilePopUp_ = new QMenu(this);
    logFilePopUp_->setObjectName("LogFilePopUp1");
    QAction* s1 = logFilePopUp_->addAction(QStringLiteral("Save &to: ") +
                                           QString::fromStdString(paths_.logFile).replace('&', "&&"));
    s1->setObjectName("S1");
    connect(s1, &QAction::triggered, this, [this] { S1Click(); });
    createLogCommands();
    connect(statusWin_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        logFilePopUp_->popup(statusWin_->viewport()->mapToGlobal(pos));
    });

    // The bottom strip: the hint bar, a movable splitter, the gauge.
    auto* strip = new QSplitter(Qt::Horizontal, central);
    strip->setObjectName("BottomStrip");
    auto* hintAndPort = new QWidget(strip);
    auto* hintRow = new QHBoxLayout(hintAndPort);
    hintRow->setContentsMargins(0, 0, 0, 0);
    hintRow->setSpacing(4);
    helpHint_ = new HintBar(hintAndPort);
    helpHint_->setObjectName("HelpHint");
    helpHint_->setSizeGripEnabled(false);
    helpHint_->setStatusTip("Hint Bar");
    // The port and rate in use stay in view right of the hint bar, in a section of their own
    // that neither a long hint nor a narrow window cuts into.
    portStatus_ = new GivingWayLabel(hintAndPort);
    portStatus_->setObjectName("PortStatus");
    portStatus_->setStatusTip("Communication port and baud rate in use");
    portStatus_->setFrameShape(QFrame::StyledPanel);
    portStatus_->setFrameShadow(QFrame::Sunken);
    portStatus_->setContentsMargins(4, 0, 4, 0);
    // The port section keeps its whole text while it can; the hint bar takes the room it leaves,
    // and both show their whole text as a tool tip.
    portStatus_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    helpHint_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    helpHint_->setMinimumWidth(8 * helpHint_->fontMetrics().averageCharWidth());
    connect(helpHint_, &QStatusBar::messageChanged, helpHint_, &QWidget::setToolTip);
    hintRow->addWidget(helpHint_, 1);
    hintRow->addWidget(portStatus_);
    progBar_ = new GaugeBar(strip);
    progBar_->setObjectName("ProgBar");
    progBar_->setStatusTip("Progress Indicator");
    strip->addWidget(hintAndPort);
    strip->addWidget(progBar_);
    strip->setStretchFactor(0, 1);
    strip->setSizes({540, 200});
    layout->addWidget(strip);
    setCentralWidget(central);

    applyMainGeometry(kDesignedGeometry);
    bindEditorWindow(hexEdit_.get());
    bindDescriptionWindow(hexEdit_->description(), hexEdit_->action("EditProperty"));
    bindEditorActions(hexEdit_->editMenuActions(), hexEdit_->toolBarActions());
    showAddressAtTop = [this](int a) { hexEdit_->ShowAddressAtTop(a); };
    createDialogHooks();
    createSequenceHooks();
    // The field starts at "Demo Mode"; its change makes every cell implemented and 0xFF.
    createDeviceLinking();
    linking_->showSelection();
    showPortStatus();
    updateCommands();
}

void TProgShell::createActions() {
    for (const auto& entry : kActions) actions_[entry.name] = CreateAction(this, entry);
    for (const char* name : {"ShowEditor", "ShowPackage"}) action(name)->setCheckable(true);

    auto on = [this](const char* name, auto&& handler) {
        connect(action(name), &QAction::triggered, this, handler);
    };
    on("ShowEditor", [this] { ShowEditorExecute(); });
    on("ShowPackage", [this] { ShowPackageExecute(); });
    on("EditSaveFile", [this] { EditSaveFileExecute(); });
    on("EditOpenFile", [this] { EditOpenFileExecute(); });
    on("EditPrint", [this] { EditPrintExecute(); });
    on("EditExit", [this] { close(); });
    on("ToolEditor", [this] { ToolEditorExecute(); });
    on("ToolComm", [this] { ToolCommExecute(); });
    on("ToolUpdate", [this] { ToolUpdateExecute(); });
    on("IdentifyPart", [this] { IdentifyPartExecute(); });
    on("HelpProg", [this] { HelpProgExecute(); });
    on("HelpAbout", [this] { HelpAboutExecute(); });
    on("ResToDef", [this] { ResToDef(); });
    auto mark = [this](const char* name, const char* target, bool checked) {
        connect(action(name), &QAction::triggered, this, [this, target, checked] {
            if (QAction* t = std::string(target) == "EditProperty" ? editProperty_ : action(target))
                t->setChecked(checked);
        });
    };
    mark("HexEditOpen", "ShowEditor", true);
    mark("HexEditClose", "ShowEditor", false);
    mark("ExplaineOpen", "EditProperty", true);
    mark("ExplaineClose", "EditProperty", false);
    mark("ShowPackageOpen", "ShowPackage", true);
    mark("ShowPackageClose", "ShowPackage", false);
}

void TProgShell::createMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    QMenu* file = bar->addMenu("&File");
    file->setObjectName("MFile");
    file->addAction(action("EditOpenFile"));
    file->addAction(action("EditSaveFile"));
    file->addSeparator();
    file->addAction(action("EditPrint"));
    file->addSeparator();
    file->addAction(action("EditExit"));

    mEdit_ = bar->addMenu("E&dit");
    mEdit_->setObjectName("MEdit");
    mEdit_->setEnabled(false);

    QMenu* tools = bar->addMenu("&Tools");
    tools->setObjectName("MTools");
    tools->addAction(action("ToolEditor"));
    tools->addAction(action("ToolComm"));
    tools->addAction(action("ToolUpdate"));
    tools->addAction(action("IdentifyPart"));
    tools->addSeparator();
    tools->addAction(action("ResToDef"));

    QMenu* window = bar->addMenu("&Window");
    window->setObjectName("MWindow");
    window->addAction(action("ShowEditor"));
    window->addAction(action("ShowPackage"));

    QMenu* help = bar->addMenu("&Help");
    help->setObjectName("MHelp");
    help->addAction(action("HelpProg"));
    help->addSeparator();
    help->addAction(action("HelpAbout"));
    // F10 opens the menu bar at its first menu, as desktop programs do.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    f10->setObjectName("MenuBarKey");
    connect(f10, &QShortcut::activated, bar,
            [bar] { bar->setActiveAction(bar->actions().value(0)); });
}

void TProgShell::createToolBar() {
    toolBar_ = addToolBar("Tools");
    toolBar_->setObjectName("ToolBar1");
    toolBar_->setMovable(false);
    toolBar_->setIconSize(QSize(22, 22));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->addAction(action("ShowEditor"));
    toolBar_->addAction(action("ShowPackage"));
    toolBar_->addSeparator();
    toolBar_->addAction(action("EditOpenFile"));
    toolBar_->addAction(action("EditSaveFile"));
    toolBar_->addAction(action("EditPrint"));
    toolBar_->addAction(action("HelpProg"));
}

QAction* TProgShell::action(const char* name) const {
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void TProgShell::updateCommands() {
    action("ShowEditor")->setEnabled(editorWindow_ != nullptr);
    action("ShowPackage")->setEnabled(packageView_ != nullptr);
    action("EditSaveFile")->setEnabled(static_cast<bool>(saveDialog));
    action("EditOpenFile")->setEnabled(static_cast<bool>(loadDialog));
    action("EditPrint")->setEnabled(static_cast<bool>(printDialog));
    action("ToolEditor")->setEnabled(static_cast<bool>(editorOptionsDialog));
    action("ToolComm")->setEnabled(static_cast<bool>(commDialog));
    // The cable has no firmware of its own.
    action("ToolUpdate")->setEnabled(static_cast<bool>(updateDialog) && link_ != LinkKind::BootstrapCable);
    deviceIdButton_->setEnabled(static_cast<bool>(deviceDialog));
    showLinkLimits();
}

// --- windows and their check marks ---

void TProgShell::toggleWindow(QWidget* window) {
    if (window == nullptr) return;
    if (window->isVisible())
        window->close();
    else
        // At its place, now that its frame is known: wholly on the screen, title bar included.
        ShowPlaced(window, OuterGeometry(window));
}

void TProgShell::ShowEditorExecute() {
    toggleWindow(editorWindow_);
    if (editorWindow_) action("ShowEditor")->setChecked(editorWindow_->isVisible());
}

void TProgShell::ShowPackageExecute() {
    toggleWindow(packageView_);
    if (packageView_) action("ShowPackage")->setChecked(packageView_->isVisible());
}

void TProgShell::bindEditorWindow(QWidget* editor) {
    editorWindow_ = editor;
    editor->installEventFilter(this);
    updateCommands();
}

void TProgShell::bindDescriptionWindow(QWidget* description, QAction* editProperty) {
    descriptionWindow_ = description;
    editProperty_ = editProperty;
    editProperty_->setCheckable(true);
    description->installEventFilter(this);
    // The Window menu names the same action "Description".
    auto* item = new QAction("&Description", this);
    item->setObjectName("WindowDescription");
    item->setCheckable(true);
    item->setStatusTip(editProperty->statusTip());
    item->setEnabled(editProperty->isEnabled());
    item->setChecked(editProperty->isChecked());
    connect(item, &QAction::triggered, editProperty, [editProperty] { editProperty->trigger(); });
    connect(editProperty, &QAction::toggled, item, &QAction::setChecked);
    connect(editProperty, &QAction::changed, item,
            [item, editProperty] { item->setEnabled(editProperty->isEnabled()); });
    findChild<QMenu*>("MWindow")->insertAction(action("ShowPackage"), item);
    toolBar_->insertAction(action("ShowPackage"), editProperty);
}

TDPView1* TProgShell::packageWindow() const { return dpView_; }

void TProgShell::bindPackageView(QWidget* view) {
    packageView_ = view;
    view->installEventFilter(this);
    updateCommands();
}

void TProgShell::bindEditorActions(const std::vector<QAction*>& menuActions,
                                   const std::vector<QAction*>& toolBarActions) {
    mEdit_->clear();
    for (QAction* a : menuActions) {
        if (a == nullptr)
            mEdit_->addSeparator();
        else
            mEdit_->addAction(a);
    }
    mEdit_->setEnabled(true);
    toolBar_->addSeparator();
    for (QAction* a : toolBarActions) toolBar_->addAction(a);
}

bool TProgShell::eventFilter(QObject* watched, QEvent* event) {
    const bool shown = event->type() == QEvent::Show;
    const bool hidden = event->type() == QEvent::Hide;
    if ((shown || hidden) && !static_cast<QWidget*>(watched)->isWindow()) {
        return QMainWindow::eventFilter(watched, event);
    }
    if (shown || hidden) {
        const char* marking = nullptr;
        if (watched == editorWindow_) marking = shown ? "HexEditOpen" : "HexEditClose";
        if (watched == descriptionWindow_) marking = shown ? "ExplaineOpen" : "ExplaineClose";
        if (watched == packageView_) marking = shown ? "ShowPackageOpen" : "ShowPackageClose";
        if (marking != nullptr) action(marking)->trigger();
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TProgShell::event(QEvent* event) {
    // Hints of actions and controls go to the hint bar.
    if (event->type() == QEvent::StatusTip) {
        helpHint_->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

// --- commands ---

void TProgShell::setBufferSaved(bool saved) {
    bufferSaved_ = saved;
    updateModifiedMark();
}

void TProgShell::updateModifiedMark() {
    const bool modified = !bufferSaved_ || (hexModel_ && hexModel_->IsModified());
    setWindowTitle(modified ? QStringLiteral("*") + kProgramTitle : QString(kProgramTitle));
}

bool TProgShell::EditSaveFileExecute() {
    if (!saveDialog || !saveDialog()) return false;
    setBufferSaved(true);
    return true;
}

void TProgShell::EditOpenFileExecute() {
    if (loadDialog) loadDialog();
}

void TProgShell::EditPrintExecute() {
    if (ComIdle() && printDialog) printDialog();
}

void TProgShell::ToolEditorExecute() {
    if (!editorOptionsDialog) return;
    const bool shownForDialog = editorWindow_ != nullptr && !editorWindow_->isVisible();
    if (shownForDialog) editorWindow_->show();
    editorOptionsDialog();
    if (shownForDialog && editorWindow_) editorWindow_->close();
}

void TProgShell::ToolCommExecute() {
    if (ComIdle() && commDialog) commDialog();
}

void TProgShell::ToolUpdateExecute() {
    if (ComIdle() && updateDialog && link_ != LinkKind::BootstrapCable) updateDialog();
}

void TProgShell::HelpProgExecute() {
    // Named as the system writes names (on Windows with backslashes).
    const QString name =
        QDir::toNativeSeparators(FileNameText(paths_.programFolder + "/j11prog.pdf"));
    const std::string path = FileNameBytes(name);
    if (!QFileInfo(name).isFile())
        sink_->showError("The user manual was not found. It belongs at\n" + path);
    else if (!openDocument(name))
        sink_->showError(DocumentLauncherMissing()
                             ? "To view the user manual, install xdg-utils (xdg-open) first.\n"
                               "The manual is\n" + path
                             : "To view the user manual, install a PDF viewer first.\nThe manual is\n" +
                                   path);
}

void TProgShell::HelpAboutExecute() {
    TAboutW about(*devices_, this);
    CentreDialog(&about);
    about.exec();
}

}  // namespace jqz
