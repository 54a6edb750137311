#pragma once
// The main window: tool bar, menus and commands, the device row and sequence pages, the log,
// the hint bar and the progress gauge; the start-up and shutdown order and the settings file.
#include <QAction>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/messages/log_model.h"
#include "core/messages/message_sink.h"
#include "core/app/settings_file.h"
#include "core/device/device_linking.h"
#include "core/device/device_options.h"
#include "core/device/device_read.h"
#include "core/device/device_write.h"
#include "core/device/progress_gauge.h"
#include "core/device/sequence_host.h"
#include "core/device/supported_device_list.h"
#include "core/image/hex_edit_model.h"
#include "core/link/connection.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QStatusBar;
class QTabWidget;
class QTextDocument;
class QToolBar;
class QToolButton;

namespace jqz {

class LogView;
class TCommSet;
class TDPView1;
class TDeviceWiz1;
class THexEdit;
class THoptions;
class THupdate;
class TResetPrompt;
namespace sim {
class VirtualHc11Ports;
class VirtualProgrammer;
}
class TLoadf;
class TPrintd;
class TSavef;

// Followed by a file name: a second file named on the command line or dropped with another.
inline constexpr const char* kOneFileAtATime = "One file at a time: not loaded ";

// The arguments after the program's name that name files: those that are no options ("-..."),
// and every one after "--".
QStringList FilesNamedOnCommandLine(const QStringList& arguments);

// Where the program finds and keeps its files; tests point these at a temporary folder.
struct ShellPaths {
    std::string settingsFile;
    std::string programFolder;  // holds dhelp/ and the manual
    std::string logFile;
    static ShellPaths Default();
};

// The window is the sequences' host: they read its option states, device and image, log to
// its log, move its gauge and hand their end to its thread.
class TProgShell : public QMainWindow, public SequenceHost {
    Q_OBJECT
public:
    explicit TProgShell(ShellPaths paths = ShellPaths::Default(), MessageSink* sink = nullptr,
                        QWidget* parent = nullptr);
    ~TProgShell() override;

    // Creates the package view, reads the settings file, shows the window, lists the ports.
    void FormCreate();

    void AddLogLine(const std::string& text, int kind);
    LogModel& log() override { return log_; }
    SupportedDeviceList& devices() override { return *devices_; }
    HexEditModel& hexModel() { return *hexModel_; }
    THexEdit& hexEdit() { return *hexEdit_; }
    SequenceOptions& sequenceOptions() { return options_; }
    std::vector<std::string>& recentFiles() { return recentFiles_; }
    const std::vector<std::string>& ports() const { return ports_; }

    // The current connection's port and rate (the settings' before it exists).
    std::string portName() const { return com_ ? com_->PortName : portName_; }
    int baudRate() const { return com_ ? com_->BaudRate : baudRate_; }
    // The connection chosen: the programmer, or the bootstrap cable with its set-up.
    LinkKind linkKind() const { return link_; }
    const BootLinkOptions& bootOptions() const { return boot_; }
    // The program's connection to the programmer: created by FormCreate, replaced by the
    // port dialog, freed at shutdown (which powers the target off). Null before and after,
    // and while the bootstrap cable is the connection.
    COM* connection() override { return com_.get(); }
    // Opens a port by name: the built-in virtual programmer for "Virtual Programmer",
    // otherwise the serial device.
    OpenedPort openPort(const std::string& name);
    // Opens the system's serial ports; tests replace it to keep real ports out of reach.
    std::function<OpenedPort(const std::string& name)> systemPortOpener;
    // Lists the serial ports that open, as the port dialog offers them; tests replace it.
    std::function<std::vector<std::string>()> listPorts;
    sim::VirtualProgrammer& virtualProgrammer() { return *virtualProgrammer_; }
    // The port "Virtual HC11 (bootstrap)": the HC11 model on the cable, which keeps its
    // EEPROM from run to run as a board does.
    sim::VirtualHc11Ports& virtualHc11() { return *virtualHc11_; }
    // The link the sequences speak through: the cable while it is chosen; null for the
    // programmer on connection().
    TargetLink* target() override;
    bool bufferSaved() const { return bufferSaved_; }
    void setBufferSaved(bool saved);
    bool settingsSuppressed() const { return settingsSuppressed_; }
    const ShellPaths& paths() const { return paths_; }
    MessageSink& messages() { return *sink_; }
    // False while a detection, a sequence or a firmware update runs.
    bool ComIdle() const;

    // The progress gauge: a model any thread may move; ProgBar shows it.
    void setGaugeMaximum(int maximum);
    void setGaugePosition(int position);
    ProgressGauge& gauge() override { return gauge_; }

    // SequenceHost
    const SequenceOptions& options() override { return options_; }
    MemoryImage& image() override { return hexModel_->image; }
    // From the worker: the start button is released (or the update dialog closed) on this
    // window's thread, unless a new run has started by then.
    void SequenceEnded(SequenceKind kind) override;
    // A sequence or firmware update has started and not yet ended.
    bool linkBusy() const;

    // The close question: true when the window may close (after "Yes", only once the save
    // succeeded).
    bool FormCloseQuery();
    // Shutdown: writes the settings file unless suppressed.
    void FormClose();
    // A stop signal (SIGTERM, SIGHUP, SIGINT): closes without a question. Open dialogs end as
    // their Cancel ends them (the firmware update dialog stops its update), a running
    // sequence stops as its start button stops it, unsaved work in the image is told in the
    // log, the settings are written and the port closed as at any close, the log is saved to
    // the log file, and the event loop ends with 128 plus the signal's number.
    void CloseForSignal(int signal);

    // Commands (the handlers of the actions).
    void ResToDef();
    void S1Click();
    // Saves the log to a file the user chooses.
    void SaveLogAs();
    // Asks where to save the log; tests answer it. An empty answer cancels.
    std::function<QString()> logFileChooser;
    // Shows the current port and rate in the status bar.
    void showPortStatus();
    void ShowEditorExecute();
    void ShowPackageExecute();
    // True when the file was saved.
    bool EditSaveFileExecute();
    void EditOpenFileExecute();
    void EditPrintExecute();
    // Files from outside: named on the command line, or dropped on this window or the hex
    // editor. The first is loaded as Load loads it with the format its first bytes show (the
    // load's lines in the log, the recent list), after the close question's rule when the
    // image holds unsaved work (Cancel, or a save that did not happen, keeps the image and
    // loads nothing); a read that fills the image refuses it with the busy message. Every
    // further name is refused with a log line. True when the first file was loaded.
    bool OpenFilesFromOutside(const QStringList& fileNames);
    void ToolEditorExecute();
    void ToolCommExecute();
    void ToolUpdateExecute();
    // Tools > Identify Part: over the cable, reaches the part and logs the talker, CONFIG and
    // what the cable can do with the part; with the programmer, its identification and the
    // device ID, as a sequence logs them.
    void IdentifyPartExecute();
    void HelpProgExecute();
    void HelpAboutExecute();
    void DeviceIDButtonClick();
    void DeviceIDValueChange();
    void ProgramStartButtonClick();
    void ReadStartButtonClick();
    void PTErrorsOBPClick();
    void ConfProgEnableClick();

    // The windows the tool buttons toggle. The marking actions follow their show and hide
    // events, so check marks and buttons stay in step however a window was opened or closed.
    void bindEditorWindow(QWidget* editor);
    void bindDescriptionWindow(QWidget* description, QAction* editProperty);
    void bindPackageView(QWidget* view);
    // The hex editor's actions for the Edit menu and the tool bar, in menu order; nullptr for
    // a separator.
    void bindEditorActions(const std::vector<QAction*>& menuActions,
                           const std::vector<QAction*>& toolBarActions);

    // The dialogs of other subsystems, each created on first use by its hook. A command whose
    // hook is unset stays disabled. saveDialog returns true when the dialog ended with OK.
    std::function<bool()> saveDialog;
    std::function<void()> loadDialog;
    std::function<void()> printDialog;
    std::function<void()> editorOptionsDialog;
    std::function<void()> commDialog;
    std::function<void()> updateDialog;
    std::function<void()> deviceDialog;
    // The sequence drivers: start or stop as the start button says.
    std::function<void(bool start)> programSequence;
    std::function<void(bool start)> readSequence;
    // The device's package drawings, given on a change to a real device.
    std::function<void(const std::vector<std::string>&)> showPackageDrawings;
    // Where the editor shows an address at its top.
    std::function<void(int)> showAddressAtTop;
    // Whether the link is idle; true while there is no connection.
    std::function<bool()> linkIdle;

    // Reads a quick-info document into the selection dialog's pane.
    std::function<bool(const QString& path, QTextDocument& document)> quickInfoLoader;

    // Replaceable for tests: starting a new instance, opening a document with the desktop's
    // handler (false when there is none).
    std::function<void()> startNewInstance;
    std::function<bool(const QString& path)> openDocument;
    // The title: the program's name, marked with a leading "*" while there is unsaved work
    // (the close question would ask).
    void updateModifiedMark();
    // Refreshes which commands are enabled (after a hook was set).
    void updateCommands();

    QAction* action(const char* name) const;
    // The package view; exists once FormCreate has run.
    TDPView1* packageWindow() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class DeviceRowPanel;
    void createDeviceLinking();
    void watchFileDrops();
    bool OpenFileFromOutside(const QString& fileName);
    void createDialogHooks();
    void createSequenceHooks();
    void createActions();
    void createLogCommands();
    // Writes the log file with its header line; empty on success, else what went wrong.
    std::string saveLog(const std::string& path);
    void createMenus();
    void createToolBar();
    QWidget* createUpperPanel();
    QWidget* createProgramPage();
    QWidget* createReadPage();
    QWidget* createOptionsPage();
    QToolButton* optionButton(const char* name, const char* hint, const char* icon,
                              std::atomic<bool>& state);
    AppSettings collectSettings() const;
    // On a first start: the first serial port found, else the virtual programmer, logged.
    void chooseFirstPort();
    void applyMainGeometry(const WindowGeometry& g);
    WindowGeometry mainGeometry() const;
    void toggleWindow(QWidget* window);
    // Runs work on the link (a detection, a power-off) on a worker while the window paints
    // and takes input, with the busy cursor.
    void runLinkWork(const std::function<void()>& work);
    void connectProgrammer(const std::function<void()>& create);
    // The cable chosen: the programmer let go, the cable's line in the log. Nothing goes
    // over the cable until a command needs the part.
    void useCable();
    void finishCloseForSignal(int signal);
    // The cable's link for the choice now in force (the reset prompt wired to this window).
    void makeCableLink();
    // Before a run over the cable: the link's question (a part that may be secured), asked
    // with Yes and No. False when the run is not to start.
    bool confirmBeforeRun();
    // The reset prompt by hand, from the run's worker: shown while it waits.
    void showResetPrompt(bool waiting);
    // Cancel in the reset prompt: the run or Identify Part stops as its Stop would stop it.
    void cancelResetWait();
    // Applies the link's limits to the option buttons and check boxes.
    void showLinkLimits();

    ShellPaths paths_;
    std::unique_ptr<MessageSink> ownSink_;
    MessageSink* sink_;
    LogModel log_;
    std::unique_ptr<SupportedDeviceList> devices_;
    std::unique_ptr<HexEditModel> hexModel_;
    // Declared after the model, so it goes first.
    std::unique_ptr<THexEdit> hexEdit_;
    THoptions* hoptions_ = nullptr;
    SequenceOptions options_;
    std::vector<std::string> recentFiles_;
    std::vector<std::string> ports_;

    std::string portName_ = "COM1";
    int baudRate_ = 9600;
    LinkKind link_ = LinkKind::Programmer;
    BootLinkOptions boot_;
    bool bufferSaved_ = true;
    bool settingsSuppressed_ = false;
    bool closed_ = false;
    bool firstStart_ = false;  // no settings file: the port is a guess
    bool detecting_ = false;   // a detection runs on its worker
    bool closeAfterDetection_ = false;
    bool closingForSignal_ = false;

    std::map<std::string, QAction*> actions_;
    QMenu* mEdit_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QPointer<QWidget> editorWindow_;
    QPointer<QWidget> descriptionWindow_;
    QPointer<QWidget> packageView_;
    QPointer<TDPView1> dpView_;
    QAction* editProperty_ = nullptr;
    TDeviceWiz1* deviceWiz_ = nullptr;
    TCommSet* commSet_ = nullptr;
    // The virtual programmer outlives every connection to it.
    std::unique_ptr<sim::VirtualProgrammer> virtualProgrammer_;
    std::unique_ptr<COM> com_;
    std::unique_ptr<sim::VirtualHc11Ports> virtualHc11_;
    // The cable's link while the cable is chosen; freed after the runs on it.
    std::unique_ptr<TargetLink> cableLink_;
    // The link Identify Part runs on while it runs (for Cancel and a close).
    TargetLink* identifying_ = nullptr;
    bool identifyStopped_ = false;  // its wait was cancelled
    TResetPrompt* resetPrompt_ = nullptr;
    TLoadf* loadf_ = nullptr;
    TSavef* savef_ = nullptr;
    TPrintd* printd_ = nullptr;

    // The device-linking rules and the row they show on.
    std::unique_ptr<DevicePanel> devicePanel_;
    std::unique_ptr<DeviceLinking> linking_;
    QToolButton* deviceIdButton_ = nullptr;
    QLineEdit* deviceIdValue_ = nullptr;
    QTabWidget* seqWin_ = nullptr;
    std::vector<QToolButton*> optionButtons_;
    QToolButton* programStart_ = nullptr;
    QToolButton* readStart_ = nullptr;
    QCheckBox* ptErrorsObp_ = nullptr;
    QCheckBox* ptErrorsIcp_ = nullptr;
    QCheckBox* confProgEnable_ = nullptr;
    QCheckBox* skipBlankBlocks_ = nullptr;

    LogView* statusWin_ = nullptr;
    QStatusBar* helpHint_ = nullptr;
    QProgressBar* progBar_ = nullptr;
    QLabel* portStatus_ = nullptr;
    QMenu* logFilePopUp_ = nullptr;

    ProgressGauge gauge_;
    std::atomic<bool> gaugeRepaintPending_{false};
    // The sequence drivers, created on the first click of their start buttons; the update
    // dialog, created on first use.
    std::unique_ptr<DeviceWrite> deviceWrite_;
    std::unique_ptr<DeviceRead> deviceRead_;
    THupdate* hupdate_ = nullptr;
};

}  // namespace jqz
