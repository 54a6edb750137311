#include "ui/app/prog_shell.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
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
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "core/app/atomic_file.h"
#include "core/app/native_file.h"
#include "core/app/program_folder.h"
#include "core/device/device_image_reset.h"
#include "core/link/port_enumeration.h"
#include "ui/app/about_box.h"
#include "ui/app/action_table.h"
#include "ui/app/icons.h"
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
#include "sim/virtual_programmer.h"
#include "ui/files/load_dialog.h"
#include "ui/files/print_dialog.h"
#include "ui/files/save_dialog.h"

namespace jqz {

namespace {

constexpr WindowGeometry kDesignedGeometry{120, 80, 600, 760};

constexpr const char* kObpWarning =
    "Ignoring of Pin Tester Errors can lead to ALL EEPROM CONTENTS\nWILL BE ERASED if device "
    "secured!\n\nIgnore Pin Tester Errors in OBP Mode?";
constexpr const char* kConfigWarning =
    "This setting enable programming of CONFIG register\n(System configuration register) during "
    "Program Sequence.\nChanging of this register will change device configuration!\n\nEnable "
    "Program of CONFIG register ?";

// The main window's actions: name, menu caption, shortcut, hint and picture.
constexpr ActionEntry kActions[] = {
    {"ShowEditor", "Hex Editor", "Alt+E", "Hexadecimal Editor window Show/Close", "hexeditor"},
    {"EditSaveFile", "Save", "F2", "Save Current File", "save"},
    {"EditOpenFile", "Open", "F3", "Open an Existing File", "open"},
    {"EditPrint", "Print", nullptr, "Print memory dump", "print"},
    {"EditExit", "Exit", "Alt+X", "Exit program", "exit"},
    {"ToolEditor", "Hex Editor Options ...", nullptr, "Change Hexadecimal Editor Settings",
     "editoroptions"},
    {"ToolComm", "Comm Port Options ...", nullptr, "Change COM Port Settings", "port"},
    {"ToolUpdate", "Firmware Update ...", nullptr, "Update Current Hardware", "firmware"},
    {"HelpProg", "User Manual", "F1", "Open Help File", "help"},
    {"HelpAbout", "About ...", nullptr, nullptr, "about"},
    {"ResToDef", "Reset To Default", nullptr, nullptr, "reset"},
    {"ShowPackage", "Device Package", nullptr, "Device Package Layout Show/Close", "package"},
    {"HexEditOpen", nullptr, nullptr, nullptr, nullptr},
    {"HexEditClose", nullptr, nullptr, nullptr, nullptr},
    {"ExplaineOpen", nullptr, nullptr, nullptr, nullptr},
    {"ExplaineClose", nullptr, nullptr, nullptr, nullptr},
    {"ShowPackageOpen", nullptr, nullptr, nullptr, nullptr},
    {"ShowPackageClose", nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

ShellPaths ShellPaths::Default() {
    ShellPaths p;
    p.settingsFile = DefaultSettingsPath();
    const QString programDir = QCoreApplication::applicationDirPath();
    // "dhelp" and the manual: beside the program in the build tree, in <prefix>/share/jqz6811
    // beside <prefix>/bin when installed.
    p.programFolder = ProgramDataFolder(programDir.toStdString());
    p.logFile = ChooseLogFilePath(
        programDir.toStdString(),
        QFileInfo(QString::fromStdString(p.settingsFile)).absolutePath().toStdString());
    return p;
}

TProgShell::TProgShell(ShellPaths paths, MessageSink* sink, QWidget* parent)
    : QMainWindow(parent), paths_(std::move(paths)) {
    if (sink == nullptr) {
        ownSink_ = std::make_unique<QtMessageSink>(this);
        sink = ownSink_.get();
    }
    sink_ = sink;
    setObjectName("ProgShell");
    setWindowTitle("JQZ 68(7)11 Programmer");
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

    createActions();
    createMenus();
    createToolBar();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->setSpacing(4);
    layout->addWidget(createUpperPanel());
    statusWin_ = new LogView(log_, central);
    statusWin_->setStatusTip("Log Window");
    layout->addWidget(statusWin_, 1);

    logFilePopUp_ = new QMenu(this);
    logFilePopUp_->setObjectName("LogFilePopUp1");
    QAction* s1 = logFilePopUp_->addAction(QStringLiteral("Save to: ") +
                                           QString::fromStdString(paths_.logFile));
    s1->setObjectName("S1");
    connect(s1, &QAction::triggered, this, [this] { S1Click(); });
    connect(statusWin_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        logFilePopUp_->popup(statusWin_->viewport()->mapToGlobal(pos));
    });

    // The bottom strip: the hint bar, a movable splitter, the gauge.
    auto* strip = new QSplitter(Qt::Horizontal, central);
    strip->setObjectName("BottomStrip");
    helpHint_ = new QStatusBar(strip);
    helpHint_->setObjectName("HelpHint");
    helpHint_->setSizeGripEnabled(false);
    helpHint_->setStatusTip("Hint Bar");
    progBar_ = new QProgressBar(strip);
    progBar_->setObjectName("ProgBar");
    progBar_->setRange(0, 100);
    progBar_->setValue(0);
    progBar_->setTextVisible(false);
    progBar_->setStatusTip("Progress Indicator");
    progBar_->setStyleSheet(
        "QProgressBar { border: none; background: palette(button); }"
        "QProgressBar::chunk { background: #0000ff; }");
    strip->addWidget(helpHint_);
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
    editorOptionsDialog = [this] {
        if (hoptions_ == nullptr) hoptions_ = new THoptions(*hexEdit_, this);
        CentreOnScreen(hoptions_);
        hoptions_->exec();
    };
    deviceDialog = [this] {
        if (deviceWiz_ == nullptr)
            deviceWiz_ = new TDeviceWiz1(*devices_, quickInfoLoader, this);
        deviceWiz_->exec();
    };
    loadDialog = [this] {
        if (loadf_ == nullptr) loadf_ = new TLoadf(*hexModel_, recentFiles_, *sink_, log_, this);
        loadf_->exec();
    };
    printDialog = [this] {
        if (printd_ == nullptr)
            printd_ = new TPrintd(
                *hexModel_, *sink_, log_, [this](int m) { setGaugeMaximum(m); },
                [this](int p) { setGaugePosition(p); }, this);
        printd_->exec();
    };
    saveDialog = [this] {
        if (savef_ == nullptr) savef_ = new TSavef(*hexModel_, *sink_, log_, this);
        return savef_->exec() == QDialog::Accepted;
    };
    // The gauge model moves on any thread; ProgBar follows it on this one, one repaint for
    // however many changes came meanwhile.
    gauge_.setChangeHandler([this](int, int) {
        if (gaugeRepaintPending_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                gaugeRepaintPending_ = false;
                progBar_->setMaximum(std::max(1, gauge_.maximum()));
                progBar_->setValue(gauge_.position());
            },
            Qt::QueuedConnection);
    });
    programSequence = [this](bool start) {
        if (!deviceWrite_) deviceWrite_ = std::make_unique<DeviceWrite>(*this);
        if (start)
            deviceWrite_->Start();
        else
            deviceWrite_->Stop();
    };
    readSequence = [this](bool start) {
        if (!deviceRead_) deviceRead_ = std::make_unique<DeviceRead>(*this);
        if (start)
            deviceRead_->Start();
        else
            deviceRead_->Stop();
    };
    updateDialog = [this] {
        if (hupdate_ == nullptr) hupdate_ = new THupdate(*this, this);
        hupdate_->exec();
    };
    // The field starts at "Demo Mode"; its change handler makes every cell implemented and 0xFF.
    deviceIdValue_->setText(QString::fromStdString(devices_->selectedDevice()));
    updateCommands();
}

TProgShell::~TProgShell() {
    // Whatever still runs on the link is stopped before what it uses goes.
    delete hupdate_;
    hupdate_ = nullptr;
    deviceWrite_.reset();
    deviceRead_.reset();
    gauge_.setChangeHandler({});
    com_.reset();  // before the virtual programmer it may be connected to
}

OpenedPort TProgShell::openPort(const std::string& name) {
    if (name == kVirtualProgrammerPort) return virtualProgrammer_->open();
    return systemPortOpener ? systemPortOpener(name) : OpenSystemPort(name);
}

// Detection runs on this thread and may take a few seconds: the busy cursor shows it. Its
// result is the log line; a port that did not open gets a second line saying why.
void TProgShell::connectProgrammer(const std::function<void()>& create) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    create();
    QApplication::restoreOverrideCursor();
    AddLogLine(com_->ResultText, LogNotice);
    if (!com_->ResultAdvice.empty()) AddLogLine(com_->ResultAdvice, LogNotice);
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
    QMenu* file = bar->addMenu("File");
    file->setObjectName("MFile");
    file->addAction(action("EditOpenFile"));
    file->addAction(action("EditSaveFile"));
    file->addSeparator();
    file->addAction(action("EditPrint"));
    file->addSeparator();
    file->addAction(action("EditExit"));

    mEdit_ = bar->addMenu("Edit");
    mEdit_->setObjectName("MEdit");
    mEdit_->setEnabled(false);

    QMenu* tools = bar->addMenu("Tools");
    tools->setObjectName("MTools");
    tools->addAction(action("ToolEditor"));
    tools->addAction(action("ToolComm"));
    tools->addAction(action("ToolUpdate"));
    tools->addSeparator();
    tools->addAction(action("ResToDef"));

    QMenu* window = bar->addMenu("Window");
    window->setObjectName("MWindow");
    window->addAction(action("ShowEditor"));
    window->addAction(action("ShowPackage"));

    QMenu* help = bar->addMenu("Help");
    help->setObjectName("MHelp");
    help->addAction(action("HelpProg"));
    help->addSeparator();
    help->addAction(action("HelpAbout"));
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

QToolButton* TProgShell::optionButton(const char* name, const char* hint, const char* icon,
                                      std::atomic<bool>& state) {
    auto* b = new QToolButton;
    b->setObjectName(name);
    b->setCheckable(true);
    b->setEnabled(false);
    b->setStatusTip(hint);
    b->setToolTip(hint);
    b->setIcon(ShellIcon(icon));
    b->setIconSize(QSize(24, 24));
    b->setAutoRaise(false);
    connect(b, &QToolButton::toggled, this, [&state](bool down) { state = down; });
    optionButtons_.push_back(b);
    return b;
}

QWidget* TProgShell::createUpperPanel() {
    auto* panel = new QWidget;
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    deviceIdButton_ = new QToolButton;
    deviceIdButton_->setObjectName("DeviceIDButton");
    deviceIdButton_->setCheckable(true);
    deviceIdButton_->setIcon(ShellIcon("chip"));
    deviceIdButton_->setIconSize(QSize(24, 24));
    deviceIdButton_->setStatusTip("Select Device");
    deviceIdButton_->setToolTip("Select Device");
    connect(deviceIdButton_, &QToolButton::clicked, this, [this] { DeviceIDButtonClick(); });
    deviceIdValue_ = new QLineEdit;
    deviceIdValue_->setObjectName("DeviceIDValue");
    deviceIdValue_->setReadOnly(true);
    deviceIdValue_->setFocusPolicy(Qt::NoFocus);
    deviceIdValue_->setStatusTip("Device ID/Mode of Operation");
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    mono.setPointSize(11);
    mono.setBold(true);
    deviceIdValue_->setFont(mono);
    connect(deviceIdValue_, &QLineEdit::textChanged, this, [this] { DeviceIDValueChange(); });
    row->addWidget(deviceIdButton_);
    row->addWidget(deviceIdValue_, 1);
    v->addLayout(row);

    seqWin_ = new QTabWidget;
    seqWin_->setObjectName("SeqWin1");
    seqWin_->addTab(createProgramPage(), ShellIcon("program"), "Program Sequence");
    seqWin_->addTab(createReadPage(), ShellIcon("read"), "Read Sequence");
    seqWin_->addTab(createOptionsPage(), ShellIcon("options"), "Options");
    seqWin_->setCurrentIndex(1);
    v->addWidget(seqWin_);
    return panel;
}

namespace {

QToolButton* startButton(const char* name) {
    auto* b = new QToolButton;
    b->setObjectName(name);
    b->setCheckable(true);
    b->setText("Start");
    b->setIcon(ShellIcon("start"));
    b->setIconSize(QSize(32, 32));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setMinimumWidth(72);
    b->setStatusTip("Start Sequence");
    b->setToolTip("Start Sequence");
    return b;
}

QGroupBox* group(const char* title, std::initializer_list<std::pair<QToolButton*, const char*>> buttons) {
    auto* box = new QGroupBox(title);
    auto* grid = new QHBoxLayout(box);
    for (const auto& [button, label] : buttons) {
        auto* col = new QVBoxLayout;
        col->addWidget(button, 0, Qt::AlignHCenter);
        auto* l = new QLabel(label);
        l->setAlignment(Qt::AlignHCenter);
        col->addWidget(l);
        grid->addLayout(col);
    }
    return box;
}

}  // namespace

QWidget* TProgShell::createProgramPage() {
    auto* page = new QWidget;
    page->setObjectName("ProgSeq");
    page->setStatusTip("Program Sequence Panel");
    auto* h = new QHBoxLayout(page);
    h->addWidget(group("Erase", {{optionButton("EraseEepromOn", "EEPROM ON/OFF", "eeprom",
                                               options_.EraseEepromOn), "EEPROM"},
                                 {optionButton("EraseFlashOn", "EPROM ON/OFF", "eprom",
                                               options_.EraseFlashOn), "EPROM"}}));
    h->addWidget(group("Program", {{optionButton("ProgramEepromOn", "EEPROM ON/OFF", "eeprom",
                                                 options_.ProgramEepromOn), "EEPROM"},
                                   {optionButton("ProgramFlashOn", "EPROM ON/OFF", "eprom",
                                                 options_.ProgramFlashOn), "EPROM"}}));
    h->addWidget(group("Verify", {{optionButton("VerifyEepromOn", "EEPROM ON/OFF", "eeprom",
                                                options_.VerifyEepromOn), "EEPROM"},
                                  {optionButton("VerifyFlashOn", "EPROM ON/OFF", "eprom",
                                                options_.VerifyFlashOn), "EPROM"}}));
    h->addStretch(1);
    programStart_ = startButton("ProgramStartButton");
    connect(programStart_, &QToolButton::clicked, this, [this] { ProgramStartButtonClick(); });
    h->addWidget(programStart_);
    return page;
}

QWidget* TProgShell::createReadPage() {
    auto* page = new QWidget;
    page->setObjectName("ReadSeq");
    page->setStatusTip("Read Sequence Panel");
    auto* h = new QHBoxLayout(page);
    h->addWidget(group("Read", {{optionButton("ReadEepromOn", "EEPROM ON/OFF", "eeprom",
                                              options_.ReadEepromOn), "EEPROM"},
                                {optionButton("ReadFlashOn", "EPROM/ROM ON/OFF", "eprom",
                                              options_.ReadFlashOn), "EPROM/ROM"},
                                {optionButton("ReadRomOn", "BOOT ROM ON/OFF", "bootrom",
                                              options_.ReadRomOn), "BOOT ROM"}}));
    h->addStretch(1);
    readStart_ = startButton("ReadStartButton");
    connect(readStart_, &QToolButton::clicked, this, [this] { ReadStartButtonClick(); });
    h->addWidget(readStart_);
    return page;
}

QWidget* TProgShell::createOptionsPage() {
    auto* page = new QWidget;
    page->setObjectName("ProgOptions");
    page->setStatusTip("Options Panel");
    auto* v = new QVBoxLayout(page);
    auto box = [&](const char* name, const char* caption, std::atomic<bool>& state) {
        auto* c = new QCheckBox(caption);
        c->setObjectName(name);
        connect(c, &QCheckBox::toggled, this, [&state](bool on) { state = on; });
        v->addWidget(c);
        return c;
    };
    ptErrorsObp_ = box("PTErrorsOBP", "Ignore Pin Tester Errors in OBP Mode", options_.PTErrorsOBP);
    ptErrorsIcp_ = box("PTErrorsICP", "Ignore Pin Tester Errors in ICP Mode", options_.PTErrorsICP);
    confProgEnable_ =
        box("ConfProgEnable", "Enable Program of CONFIG Register", options_.ConfProgEnable);
    connect(ptErrorsObp_, &QCheckBox::clicked, this, [this] { PTErrorsOBPClick(); });
    connect(confProgEnable_, &QCheckBox::clicked, this, [this] { ConfProgEnableClick(); });
    v->addStretch(1);
    return page;
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
    action("ToolUpdate")->setEnabled(static_cast<bool>(updateDialog));
    deviceIdButton_->setEnabled(static_cast<bool>(deviceDialog));
}

bool TProgShell::ComIdle() const { return !linkIdle || linkIdle(); }

void TProgShell::AddLogLine(const std::string& text, int kind) { log_.AddLogLine(text, kind); }

void TProgShell::setGaugeMaximum(int maximum) { gauge_.setMaximum(maximum); }

void TProgShell::setGaugePosition(int position) { gauge_.setPosition(position); }

bool TProgShell::linkBusy() const {
    return (deviceWrite_ && deviceWrite_->Running()) || (deviceRead_ && deviceRead_->Running()) ||
           (hupdate_ != nullptr && hupdate_->updateRunning());
}

void TProgShell::SequenceEnded(SequenceKind kind) {
    QMetaObject::invokeMethod(
        this,
        [this, kind] {
            switch (kind) {
                case SequenceKind::Program:
                    if (!deviceWrite_ || !deviceWrite_->Running()) programStart_->setChecked(false);
                    break;
                case SequenceKind::Read:
                    if (!deviceRead_ || !deviceRead_->Running()) readStart_->setChecked(false);
                    break;
                case SequenceKind::FirmwareUpdate:
                    if (hupdate_ != nullptr) hupdate_->UpdateEnded();
                    break;
            }
        },
        Qt::QueuedConnection);
}

// --- windows and their check marks ---

void TProgShell::toggleWindow(QWidget* window) {
    if (window == nullptr) return;
    if (window->isVisible())
        window->close();
    else
        window->show();
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
    auto* item = new QAction("Description", this);
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

void TProgShell::EditSaveFileExecute() {
    if (saveDialog && saveDialog()) bufferSaved_ = true;
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
    if (ComIdle() && updateDialog) updateDialog();
}

void TProgShell::HelpProgExecute() {
    const QString path = QString::fromStdString(paths_.programFolder) + "/j11prog.pdf";
    if (!QFileInfo(path).isFile() || !openDocument(path))
        sink_->showError("To View Help install Acrobat Reader first");
}

void TProgShell::HelpAboutExecute() {
    TAboutW about(*devices_, this);
    about.exec();
}

void TProgShell::DeviceIDButtonClick() {
    if (deviceIdButton_->isChecked() && !ComIdle()) deviceIdButton_->setChecked(false);
    if (!deviceIdButton_->isChecked()) return;
    if (deviceDialog) deviceDialog();
    deviceIdButton_->setChecked(false);
    AddLogLine(devices_->selectedDevice() + " selected.", LogInfo);
    deviceIdValue_->setText(QString::fromStdString(devices_->selectedDevice()));
}

void TProgShell::DeviceIDValueChange() {
    for (QToolButton* b : optionButtons_) {
        b->setChecked(false);
        b->setEnabled(false);
    }
    ResetImageForDevice(*hexModel_, *devices_, [this](int a) {
        if (showAddressAtTop) showAddressAtTop(a);
    });
    if (devices_->deviceType == 0) return;
    if (showPackageDrawings) showPackageDrawings(devices_->packageDrawings());
    const OfferedOptions offered = OptionsOffered(*devices_);
    const std::pair<const char*, bool> enable[] = {
        {"EraseEepromOn", offered.EraseEepromOn},   {"ProgramEepromOn", offered.ProgramEepromOn},
        {"VerifyEepromOn", offered.VerifyEepromOn}, {"ReadEepromOn", offered.ReadEepromOn},
        {"ReadFlashOn", offered.ReadFlashOn},       {"ReadRomOn", offered.ReadRomOn}};
    for (const auto& [name, on] : enable)
        if (auto* b = findChild<QToolButton*>(name)) b->setEnabled(on);
}

void TProgShell::ProgramStartButtonClick() {
    if (programStart_->isChecked() && !ComIdle()) programStart_->setChecked(false);
    if (programSequence) {
        programSequence(programStart_->isChecked());
    } else {
        programStart_->setChecked(false);
    }
}

void TProgShell::ReadStartButtonClick() {
    if (readStart_->isChecked() && !ComIdle()) readStart_->setChecked(false);
    if (!readSequence) {
        readStart_->setChecked(false);
        return;
    }
    if (readStart_->isChecked()) bufferSaved_ = false;
    readSequence(readStart_->isChecked());
}

void TProgShell::PTErrorsOBPClick() {
    if (ptErrorsObp_->isChecked() &&
        sink_->askQuestion(kObpWarning, QuestionButtons::YesNo) != Answer::Yes)
        ptErrorsObp_->setChecked(false);
}

void TProgShell::ConfProgEnableClick() {
    if (confProgEnable_->isChecked() &&
        sink_->askQuestion(kConfigWarning, QuestionButtons::YesNo) != Answer::Yes)
        confProgEnable_->setChecked(false);
}

// --- start-up and shutdown ---

void TProgShell::applyMainGeometry(const WindowGeometry& g) {
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    move(g.left, g.top);
    resize(std::max(200, g.width - frameExtra.width()),
           std::max(200, g.height - frameExtra.height()));
}

WindowGeometry TProgShell::mainGeometry() const {
    const QRect f = frameGeometry();
    return {f.left(), f.top(), f.height(), f.width()};
}

void TProgShell::FormCreate() {
    if (dpView_ == nullptr) {
        dpView_ = new TDPView1(this);
        dpView_->setShowPackageActions(action("ShowPackageOpen"), action("ShowPackageClose"));
        bindPackageView(dpView_);
        showPackageDrawings = [view = dpView_](const std::vector<std::string>& list) {
            if (view) view->ShowDrawings(list);
        };
    }

    AppSettings settings;
    settings.mainWindow = mainGeometry();
    settings.packageView = dpView_->GetGeometry();
    settings.editor = hexEdit_->GetGeometry();
    settings.appearance = hexEdit_->GetAppearance();
    settings.portName = portName_;
    settings.baudRate = baudRate_;
    if (const auto bytes = ReadWholeFile(paths_.settingsFile, 16u * 1024u * 1024u)) {
        settings.readFrom(NameValueList::Parse(*bytes));
        dpView_->SetGeometry(settings.packageView);  // shows or hides the window
        hexEdit_->SetGeometry(settings.editor);
        hexEdit_->ApplyAppearance(settings.appearance);
        portName_ = settings.portName;
        baudRate_ = settings.baudRate;
        recentFiles_.insert(recentFiles_.end(), settings.recentFiles.begin(),
                            settings.recentFiles.end());
    }
    show();
    // The frame is known only once the window is shown: place it by its outer edges now.
    applyMainGeometry(settings.mainWindow);
    QApplication::processEvents();
    ports_ = EnumeratePorts();
    commSet_ = new TCommSet(ports_, this);
    commDialog = [this] {
        commSet_->FormShow(com_->PortName, com_->BaudRate);
        if (commSet_->exec() != QDialog::Accepted) return;
        connectProgrammer([this] {
            ReplaceConnection(com_, commSet_->selectedPort(), commSet_->selectedRate(),
                              [this](const std::string& name) { return openPort(name); });
        });
    };
    // A sequence or update counts as busy from its start on, before its worker marks the link.
    linkIdle = [this] { return (!com_ || com_->Idle) && !linkBusy(); };
    updateCommands();
    connectProgrammer([this] {
        com_ = std::make_unique<COM>(portName_, baudRate_,
                                     [this](const std::string& name) { return openPort(name); });
    });
}

AppSettings TProgShell::collectSettings() const {
    AppSettings s;
    s.mainWindow = mainGeometry();
    if (dpView_) s.packageView = dpView_->GetGeometry();
    s.editor = hexEdit_->GetGeometry();
    s.appearance = hexEdit_->GetAppearance();
    s.portName = portName();
    s.baudRate = baudRate();
    s.recentFiles = recentFiles_;
    return s;
}

bool TProgShell::FormCloseQuery() {
    if (bufferSaved_ && hexModel_->image.IsUndoEmpty()) return true;
    switch (sink_->askQuestion("Save buffer to file ?", QuestionButtons::YesNoCancel)) {
        case Answer::Yes:
            EditSaveFileExecute();
            return true;
        case Answer::No: return true;
        default: return false;
    }
}

void TProgShell::FormClose() {
    if (closed_) return;
    closed_ = true;
    const NameValueList list = collectSettings().toList();
    if (!settingsSuppressed_) {
        (void)CreateFolderOf(paths_.settingsFile);
        // A file that cannot be written keeps its old contents; the shutdown goes on.
        (void)WriteFileAtomically(paths_.settingsFile, list.text());
    }
    // A sequence still running is stopped as its start button would stop it.
    if (deviceWrite_) deviceWrite_->Stop();
    if (deviceRead_) deviceRead_->Stop();
    com_.reset();  // powers the target off and closes the port
}

void TProgShell::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    for (QWidget* w : {editorWindow_.data(), descriptionWindow_.data(), packageView_.data()})
        if (w != nullptr) w->removeEventFilter(this);
    event->accept();
}

void TProgShell::ResToDef() {
    if (sink_->askQuestion("All previous Comm Port and Hex Editor settings will be lost !",
                           QuestionButtons::YesNo) != Answer::Yes)
        return;
    (void)RemoveFile(paths_.settingsFile);
    settingsSuppressed_ = true;
    if (startNewInstance) startNewInstance();
    close();
}

void TProgShell::S1Click() {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    const std::string header =
        ("Stored: " + locale.toString(now.date(), QLocale::ShortFormat) + " " +
         locale.toString(now.time(), QLocale::LongFormat))
            .toStdString();
    // The log offers no message of its own when the file cannot be written.
    (void)WriteFileAtomically(paths_.logFile, log_.FileText(header));
}

}  // namespace jqz
