#include "ui/app/prog_shell.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QVBoxLayout>
#include <filesystem>

#include "core/app/atomic_file.h"
#include "core/device/device_image_reset.h"
#include "core/link/port_enumeration.h"
#include "ui/app/log_view.h"
#include "ui/app/qt_message_sink.h"

namespace jqz {

namespace {
constexpr WindowGeometry kDesignedGeometry{120, 80, 560, 820};
}

ShellPaths ShellPaths::Default() {
    ShellPaths p;
    p.settingsFile = DefaultSettingsPath();
    p.programFolder = QCoreApplication::applicationDirPath().toStdString();
    p.logFile = ChooseLogFilePath(p.programFolder,
                                  QFileInfo(QString::fromStdString(p.settingsFile))
                                      .absolutePath()
                                      .toStdString());
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
    startNewInstance = [] {
        QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    };
    saveCommand = [] {};

    buildWindow();
    applyMainGeometry(kDesignedGeometry);

    devices_ = std::make_unique<SupportedDeviceList>(paths_.programFolder);
    hexModel_ = std::make_unique<HexEditModel>();
    EditorAppearance appearance = hexModel_->image.GetAppearance();
    appearance.LeftFont = "System";
    appearance.RightFont = "Terminal";
    hexModel_->image.ApplyAppearance(appearance);
    // The device field starts at "Demo Mode": every cell implemented and 0xFF.
    ResetImageForDevice(*hexModel_, *devices_);
}

TProgShell::~TProgShell() = default;

void TProgShell::buildWindow() {
    setWindowTitle(QApplication::applicationDisplayName().isEmpty()
                       ? QStringLiteral("JQZ 68(7)11 Programmer")
                       : QApplication::applicationDisplayName());

    auto* tools = menuBar()->addMenu(tr("&Tools"));
    tools->setObjectName("Tools1");
    resToDef_ = tools->addAction(tr("Reset To Default"));
    resToDef_->setObjectName("ResToDef");
    resToDef_->setStatusTip(tr("Reset Comm Port and Hex Editor settings to their defaults"));
    connect(resToDef_, &QAction::triggered, this, [this] { ResToDef(); });

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    statusWin_ = new LogView(log_, central);
    statusWin_->setToolTip({});
    layout->addWidget(statusWin_);
    setCentralWidget(central);

    logFilePopUp_ = new QMenu(this);
    logFilePopUp_->setObjectName("LogFilePopUp1");
    s1_ = logFilePopUp_->addAction(QStringLiteral("Save to: ") +
                                   QString::fromStdString(paths_.logFile));
    s1_->setObjectName("S1");
    connect(s1_, &QAction::triggered, this, [this] { S1Click(); });
    connect(statusWin_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        logFilePopUp_->popup(statusWin_->viewport()->mapToGlobal(pos));
    });

    helpHint_ = new QStatusBar(this);
    helpHint_->setObjectName("HelpHint");
    helpHint_->setSizeGripEnabled(false);
    progBar_ = new QProgressBar(helpHint_);
    progBar_->setObjectName("ProgBar");
    progBar_->setRange(0, 100);
    progBar_->setValue(0);
    progBar_->setTextVisible(false);
    progBar_->setFixedWidth(220);
    helpHint_->addPermanentWidget(progBar_);
    setStatusBar(helpHint_);
}

void TProgShell::AddLogLine(const std::string& text, int kind) { log_.AddLogLine(text, kind); }

void TProgShell::applyMainGeometry(const WindowGeometry& g) {
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    move(g.left, g.top);
    resize(std::max(100, g.width - frameExtra.width()), std::max(100, g.height - frameExtra.height()));
}

WindowGeometry TProgShell::mainGeometry() const {
    const QRect f = frameGeometry();
    return {f.left(), f.top(), f.height(), f.width()};
}

void TProgShell::FormCreate() {
    AppSettings settings;
    settings.mainWindow = mainGeometry();
    settings.packageView = packageViewGeometry_;
    settings.editor = editorGeometry_;
    settings.appearance = hexModel_->image.GetAppearance();
    settings.portName = portName_;
    settings.baudRate = baudRate_;
    if (const auto bytes = ReadWholeFile(paths_.settingsFile, 16u * 1024u * 1024u)) {
        settings.readFrom(NameValueList::Parse(*bytes));
        packageViewGeometry_ = settings.packageView;
        editorGeometry_ = settings.editor;
        hexModel_->image.ApplyAppearance(settings.appearance);
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
}

AppSettings TProgShell::collectSettings() const {
    AppSettings s;
    s.mainWindow = mainGeometry();
    s.packageView = packageViewGeometry_;
    s.editor = editorGeometry_;
    s.appearance = hexModel_->image.GetAppearance();
    s.portName = portName_;
    s.baudRate = baudRate_;
    s.recentFiles = recentFiles_;
    return s;
}

bool TProgShell::FormCloseQuery() {
    if (bufferSaved_ && hexModel_->image.IsUndoEmpty()) return true;
    switch (sink_->askQuestion("Save buffer to file ?", QuestionButtons::YesNoCancel)) {
        case Answer::Yes:
            if (saveCommand) saveCommand();
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
        std::error_code ec;
        std::filesystem::create_directories(
            std::filesystem::path(paths_.settingsFile).parent_path(), ec);
        // A file that cannot be written keeps its old contents; the shutdown goes on.
        (void)WriteFileAtomically(paths_.settingsFile, list.text());
    }
}

void TProgShell::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TProgShell::ResToDef() {
    if (sink_->askQuestion("All previous Comm Port and Hex Editor settings will be lost !",
                           QuestionButtons::YesNo) != Answer::Yes)
        return;
    std::error_code ec;
    std::filesystem::remove(paths_.settingsFile, ec);
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
