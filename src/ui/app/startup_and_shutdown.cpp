// The main window's start-up and shutdown: where its files are, the settings file read and
// written, the connection opened and freed, the close question and the teardown order.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QToolBar>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <string>
#include <thread>

#include "core/platform/atomic_file.h"
#include "core/platform/native_file.h"
#include "core/messages/close_question.h"
#include "core/app/program_folder.h"
#include "core/link/port_enumeration.h"
#include "sim/hc11/virtual_hc11_ports.h"
#include "sim/virtual_programmer.h"
#include "ui/app/prog_shell.h"
#include "ui/app/window_placement.h"
#include "ui/device/device_wizard.h"
#include "ui/device/package_view.h"
#include "ui/files/load_dialog.h"
#include "ui/files/print_dialog.h"
#include "ui/files/save_dialog.h"
#include "ui/image/hex_options_dialog.h"
#include "ui/image/hex_edit.h"
#include "ui/link/comm_set.h"
#include "ui/link/firmware_update_dialog.h"
#include "ui/image/code_page.h"

namespace jqz {

ShellPaths ShellPaths::Default() {
    ShellPaths p;
    p.settingsFile = DefaultSettingsPath();
    // As the system writes names (on Windows with backslashes): the log's place is shown.
    const std::string programDir =
        FileNameBytes(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
    // "dhelp" and the manual: beside the program in the build tree, in <prefix>/share/jqz6811
    // beside <prefix>/bin when installed.
    p.programFolder = ProgramDataFolder(programDir);
    p.logFile = ChooseLogFilePath(programDir, p.programFolder != programDir, DefaultLogFolder());
    return p;
}

namespace {

// Windows without a stored place open beside the main window where the screen has room for
// them, else over it below its menu and tool bar; each one step further right and down, so
// that every title bar shows.
constexpr int kCascadeStep = 32;

struct CascadeFrom {
    QRect mainOuter;  // the main window's frame
    int barsBottom;   // the bottom of its tool bar, on the screen
    QRect free;       // the screen's free area
};

void cascade(const NameValueList& list, const CascadeFrom& from, int steps, int width,
             const char* leftKey, const char* topKey, int& left, int& top) {
    const int offset = (steps - 1) * kCascadeStep;
    const bool beside = from.mainOuter.right() + 1 + offset + width <= from.free.right() + 1;
    if (!ParseDecimal(list.value(leftKey)))
        left = beside ? from.mainOuter.right() + 1 + offset : from.mainOuter.left() + steps * kCascadeStep;
    if (!ParseDecimal(list.value(topKey)))
        top = beside ? from.mainOuter.top() + offset : from.barsBottom + 1 + offset;
}

void cascadeUnplacedWindows(const NameValueList& list, const CascadeFrom& from, AppSettings& s) {
    cascade(list, from, 1, s.editor.EditorWidth, "H_WIN_POS_LEFT", "H_WIN_POS_TOP", s.editor.EditorLeft,
            s.editor.EditorTop);
    cascade(list, from, 2, s.editor.DescriptionWidth, "E_WIN_POS_LEFT", "E_WIN_POS_TOP",
            s.editor.DescriptionLeft, s.editor.DescriptionTop);
    cascade(list, from, 3, s.packageView.width, "DPV_WIN_POS_LEFT", "DPV_WIN_POS_TOP", s.packageView.left,
            s.packageView.top);
}

template <typename T>
void deleteAndForget(T*& widget) {
    delete widget;
    widget = nullptr;
}

}  // namespace

TProgShell::~TProgShell() {
    // Whatever still runs on the link is stopped before what it uses goes.
    delete hupdate_;
    hupdate_ = nullptr;
    deviceWrite_.reset();
    deviceRead_.reset();
    gauge_.setChangeHandler({});
    com_.reset();  // before the virtual programmer it may be connected to
    // The dialogs, the package view and the log view are child widgets, which Qt would free
    // only after every member: they go now, while the image, the log, the device list and the
    // editor they refer to are still there. Then the editor, before its model.
    deleteAndForget(loadf_);
    deleteAndForget(savef_);
    deleteAndForget(printd_);
    deleteAndForget(hoptions_);
    deleteAndForget(deviceWiz_);
    deleteAndForget(commSet_);
    delete dpView_.data();
    delete centralWidget();
    linking_.reset();
    hexEdit_.reset();
}

OpenedPort TProgShell::openPort(const std::string& name) {
    if (name == kVirtualProgrammerPort) return virtualProgrammer_->open();
    return systemPortOpener ? systemPortOpener(name) : OpenSystemPort(name);
}

// Detection may take a few seconds: it runs on a worker while the window paints and takes
// input, with the busy cursor, and the commands that use the link wait for it as they wait for
// a sequence (a close, too, comes once it is done). Its result is the log line; a port that
// did not open gets a second line saying why.
void TProgShell::runLinkWork(const std::function<void()>& work) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    detecting_ = true;
    {
        QEventLoop loop;
        std::thread worker([&work, &loop] {
            work();
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        worker.join();
    }
    detecting_ = false;
    QApplication::restoreOverrideCursor();
    if (closeAfterDetection_) QTimer::singleShot(0, this, [this] { close(); });
}

void TProgShell::connectProgrammer(const std::function<void()>& create) {
    link_ = LinkKind::Programmer;
    cableLink_.reset();
    runLinkWork(create);
    updateCommands();
    AddLogLine(com_->ResultText, LogNotice);
    if (!com_->ResultAdvice.empty())
        AddLogLine(com_->ResultAdvice, LogNotice);
    else if (firstStart_ && !com_->Connected)
        AddLogLine(kFirstStartNoProgrammer, LogNotice);
    firstStart_ = false;  // a port chosen later is the user's own
    showPortStatus();
}

void TProgShell::useCable() {
    link_ = LinkKind::BootstrapCable;
    // The programmer, if one was connected, is powered off and let go.
    if (com_) runLinkWork([this] { com_.reset(); });
    makeCableLink();
    updateCommands();
    AddLogLine(cableLink_->logLine(), LogNotice);
    firstStart_ = false;
    showPortStatus();
}

void TProgShell::showPortStatus() {
    if (cableLink_ && link_ == LinkKind::BootstrapCable)
        portStatus_->setText(FileNameText(cableLink_->statusLine()));
    else
        portStatus_->setText(QString("Port: %1   %2 baud")
                                 .arg(FileNameText(portName()))
                                 .arg(baudRate()));
    portStatus_->setToolTip(portStatus_->text());
}

// --- start-up and shutdown ---

// The settings keep the outer frame's place and size.
void TProgShell::applyMainGeometry(const WindowGeometry& g) {
    PlaceByFrame(this, QRect(g.left, g.top, g.width, g.height));
}

WindowGeometry TProgShell::mainGeometry() const {
    const QRect f = OuterGeometry(this);
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
    const auto bytes = ReadWholeFile(paths_.settingsFile, 16u * 1024u * 1024u);
    const NameValueList list = bytes ? NameValueList::Parse(*bytes) : NameValueList{};
    settings.readFrom(list);
    if (bytes) {
        hexEdit_->ApplyAppearance(settings.appearance);
        portName_ = settings.portName;
        baudRate_ = settings.baudRate;
        link_ = settings.link;
        boot_ = settings.boot;
        skipBlankBlocks_->setChecked(settings.skipBlankBlocks);
        // The device of the last run, if it is still one of the list; else Demo Mode.
        const auto names = devices_->deviceNames();
        if (std::find(names.begin(), names.end(), settings.device) != names.end()) {
            devices_->selectDevice(settings.device);
            linking_->showSelection();
        }
        recentFiles_.insert(recentFiles_.end(), settings.recentFiles.begin(),
                            settings.recentFiles.end());
    }
    const WindowGeometry& g = settings.mainWindow;
    ShowPlaced(this, QRect(g.left, g.top, g.width, g.height));
    // The other windows once the main window's frame and bars are where they show.
    const QRect mainOuter = OuterGeometry(this);
    const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    cascadeUnplacedWindows(list,
                           {mainOuter, toolBar_->mapToGlobal(QPoint(0, toolBar_->height() - 1)).y(),
                            screen != nullptr ? screen->availableGeometry() : mainOuter},
                           settings);
    dpView_->SetGeometry(settings.packageView);  // shows or hides the window
    hexEdit_->SetGeometry(settings.editor);
    QApplication::processEvents();
    ports_ = listPorts ? listPorts()
                       : EnumeratePorts(SerialPortCandidates(), [this](const std::string& name) {
                             return systemPortOpener ? systemPortOpener(name).port != nullptr
                                                     : PortOpens(name);
                         });
    // A first start: the first serial port that opens, else the virtual programmer.
    if (!bytes) chooseFirstPort();
    commSet_ = new TCommSet(ports_, this);
    commDialog = [this] {
        commSet_->FormShow(portName(), baudRate(), link_, boot_);
        if (commSet_->exec() != QDialog::Accepted) return;
        // The dialog's choice is read here: the detection runs on a worker. A port that was
        // not chosen keeps the current one.
        const std::string port = commSet_->selectedPort().value_or(portName());
        const int rate = commSet_->selectedRate().value_or(baudRate());
        if (commSet_->selectedLink() == LinkKind::BootstrapCable) {
            portName_ = port;
            baudRate_ = rate;
            boot_ = commSet_->selectedBoot();
            useCable();
            return;
        }
        connectProgrammer([this, port, rate] {
            const PortOpener opener = [this](const std::string& name) { return openPort(name); };
            if (com_)
                ReplaceConnection(com_, port, rate, opener);
            else  // from the cable: nothing to power off
                com_ = std::make_unique<COM>(port, rate, opener);
        });
    };
    // A sequence or update counts as busy from its start on, before its worker marks the link.
    linkIdle = [this] { return (!com_ || com_->Idle) && !linkBusy(); };
    updateCommands();
    if (link_ == LinkKind::BootstrapCable) {
        useCable();
        return;
    }
    connectProgrammer([this] {
        com_ = std::make_unique<COM>(portName_, baudRate_,
                                     [this](const std::string& name) { return openPort(name); });
    });
}

void TProgShell::chooseFirstPort() {
    firstStart_ = true;
    const bool found = !ports_.empty() && ports_.front() != kNoPortDetected;
    portName_ = found ? ports_.front() : std::string(kVirtualProgrammerPort);
    AddLogLine(found ? "First start: port " + portName_ + ", the first serial port found."
                     : "First start: no serial port found, port " + portName_ + ".",
               LogNotice);
}

AppSettings TProgShell::collectSettings() const {
    AppSettings s;
    s.mainWindow = mainGeometry();
    if (dpView_) s.packageView = dpView_->GetGeometry();
    s.editor = hexEdit_->GetGeometry();
    s.appearance = hexEdit_->GetAppearance();
    s.portName = portName();
    s.baudRate = baudRate();
    s.link = link_;
    s.boot = boot_;
    s.recentFiles = recentFiles_;
    s.skipBlankBlocks = skipBlankBlocks_->isChecked();
    if (devices_->deviceType != 0) s.device = devices_->selectedDevice();
    return s;
}

bool TProgShell::FormCloseQuery() {
    return MayClose(bufferSaved_, !hexModel_->IsModified(), *sink_,
                    [this] { return EditSaveFileExecute(); });
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
    // Identify Part waiting for the user's reset ends its wait; the close comes after it.
    if (identifying_ != nullptr) cancelResetWait();
    if (detecting_) {
        closeAfterDetection_ = true;
        event->ignore();
        return;
    }
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    for (QWidget* w : {editorWindow_.data(), descriptionWindow_.data(), packageView_.data()})
        if (w != nullptr) w->removeEventFilter(this);
    event->accept();
}

namespace {

std::string signalName(int signal) {
    switch (signal) {
        case SIGTERM: return "SIGTERM";
        case SIGINT: return "SIGINT";
#ifdef SIGHUP
        case SIGHUP: return "SIGHUP";
#endif
        default: return "Signal " + std::to_string(signal);
    }
}

}  // namespace

void TProgShell::CloseForSignal(int signal) {
    if (closingForSignal_) return;
    closingForSignal_ = true;
    AddLogLine(signalName(signal) + " received: the program closes.", LogNotice);
    // What runs on the link is told at once; it stops at its next check.
    if (deviceWrite_) deviceWrite_->RequestStop();
    if (deviceRead_) deviceRead_->RequestStop();
    finishCloseForSignal(signal);
}

void TProgShell::finishCloseForSignal(int signal) {
    // A dialog, and the event loop it runs, ends first, as its Cancel would end it; the close
    // goes on once control is back here.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        else modal->close();
        QTimer::singleShot(10, this, [this, signal] { finishCloseForSignal(signal); });
        return;
    }
    if (detecting_) {  // the port is let go once the detection is done
        QTimer::singleShot(10, this, [this, signal] { finishCloseForSignal(signal); });
        return;
    }
    if (deviceWrite_) deviceWrite_->Stop();
    if (deviceRead_) deviceRead_->Stop();
    if (!bufferSaved_ || hexModel_->IsModified())
        AddLogLine("The image in the hex editor was not saved.", LogNotice);
    FormClose();
    S1Click();
    QCoreApplication::exit(128 + signal);
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

}  // namespace jqz

