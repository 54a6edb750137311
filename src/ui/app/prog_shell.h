#pragma once
// The main window: log, hint bar, progress gauge, the start-up and shutdown order and the
// settings file.
#include <QAction>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/app/log_model.h"
#include "core/app/message_sink.h"
#include "core/app/settings_file.h"
#include "core/device/supported_device_list.h"
#include "core/image/hex_edit_model.h"

class QMenu;

namespace jqz {

class LogView;

// Where the program finds and keeps its files; tests point these at a temporary folder.
struct ShellPaths {
    std::string settingsFile;
    std::string programFolder;
    std::string logFile;
    static ShellPaths Default();
};

class TProgShell : public QMainWindow {
    Q_OBJECT
public:
    explicit TProgShell(ShellPaths paths = ShellPaths::Default(), MessageSink* sink = nullptr,
                        QWidget* parent = nullptr);
    ~TProgShell() override;

    // Reads the settings file, shows the window, lists the ports.
    void FormCreate();

    void AddLogLine(const std::string& text, int kind);
    LogModel& log() { return log_; }
    SupportedDeviceList& devices() { return *devices_; }
    HexEditModel& hexModel() { return *hexModel_; }
    std::vector<std::string>& recentFiles() { return recentFiles_; }
    const std::vector<std::string>& ports() const { return ports_; }

    std::string portName() const { return portName_; }
    int baudRate() const { return baudRate_; }
    bool bufferSaved() const { return bufferSaved_; }
    void setBufferSaved(bool saved) { bufferSaved_ = saved; }
    bool settingsSuppressed() const { return settingsSuppressed_; }
    const ShellPaths& paths() const { return paths_; }
    MessageSink& messages() { return *sink_; }

    // The close question: true when the window may close.
    bool FormCloseQuery();
    // Shutdown: writes the settings file unless suppressed.
    void FormClose();
    // Tools > Reset To Default.
    void ResToDef();
    // The log popup's "Save to: " item.
    void S1Click();

    // Replaceable for tests: starting a new instance of the program, and the Save command
    // that the close question runs on Yes.
    std::function<void()> startNewInstance;
    std::function<void()> saveCommand;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    AppSettings collectSettings() const;
    void applyMainGeometry(const WindowGeometry& g);
    WindowGeometry mainGeometry() const;

    ShellPaths paths_;
    std::unique_ptr<MessageSink> ownSink_;
    MessageSink* sink_;
    LogModel log_;
    std::unique_ptr<SupportedDeviceList> devices_;
    std::unique_ptr<HexEditModel> hexModel_;
    std::vector<std::string> recentFiles_;
    std::vector<std::string> ports_;

    std::string portName_ = "COM1";
    int baudRate_ = 9600;
    bool bufferSaved_ = true;
    bool settingsSuppressed_ = false;
    bool closed_ = false;
    // Geometry of windows that are not built yet: kept as read and written back unchanged.
    PackageViewGeometry packageViewGeometry_;
    EditorGeometry editorGeometry_;

    LogView* statusWin_ = nullptr;
    QStatusBar* helpHint_ = nullptr;
    QProgressBar* progBar_ = nullptr;
    QMenu* logFilePopUp_ = nullptr;
    QAction* s1_ = nullptr;
    QAction* resToDef_ = nullptr;
};

}  // namespace jqz
