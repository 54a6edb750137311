// The entry of the application jqz6811.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <exception>

#include "core/platform/process_start.h"
#include "core/app/program_folder.h"
#include "core/app/version.h"
#include "core/device/program_files.h"
#include "ui/app/prog_shell.h"
#include "ui/app/qt_message_sink.h"
#include "ui/app/stop_signal_close.h"
#include "ui/image/code_page.h"

namespace {

constexpr const char* kUsage =
    "Usage: jqz6811 [option] [FILE]\n"
    "Programs MC68HC11 and MC68HC711 microcontrollers through the JQZ 68(7)11 programmer.\n"
    "FILE (an S-record, Intel HEX, extended or binary file) is loaded at start, as Load loads\n"
    "it with the format found in it.\n"
    "  --check-files  build the main window, report which of its documents and drawings and\n"
    "                 the manual it finds, and quit (exit code 1 when one is missing)\n"
    "  --print-log    start, load FILE, print the log on standard output and quit (exit\n"
    "                 code 1 when FILE was not loaded)\n"
    "  --version      print the program's version\n"
    "  --help         this text\n";

// The main window as it starts, asked for the files it shows and opens.
int CheckFiles() {
    jqz::TProgShell shell;
    const auto report =
        jqz::CheckProgramFiles(shell.devices(), jqz::UserManualPath(shell.paths().programFolder));
    std::printf("program files: %s\n", shell.paths().programFolder.c_str());
    for (const auto& line : report.lines) std::printf("%s\n", line.c_str());
    return report.missing.empty() ? 0 : 1;
}

// Without a window to show them in, errors go to standard error (they are in the log too)
// and questions are answered No.
class StreamMessageSink : public jqz::MessageSink {
public:
    void showError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    jqz::Answer askQuestion(const std::string& text, jqz::QuestionButtons) override {
        std::fprintf(stderr, "%s No\n", text.c_str());
        return jqz::Answer::No;
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    // Before Qt opens anything: its warnings go to standard error, which must never be a
    // file the program opened itself.
    jqz::PrepareProcessStart();
    bool checkFiles = false;
    bool printLog = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("jqz6811 %s\n", jqz::ProgramVersion().c_str());
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--check-files") == 0) checkFiles = true;
        if (std::strcmp(argv[i], "--print-log") == 0) printLog = true;
    }
    // The check shows no window: it runs without a display (a build machine, an ssh session).
    if (checkFiles && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && jqz::NoWindowSystem())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("jqz6811");
    // No display name: the window system would add it to every window's title. Each window
    // carries its own caption; the main window's is the program's title.
    QApplication::setDesktopFileName("jqz6811");
    try {
        if (checkFiles) return CheckFiles();
        // A stop signal that comes during start-up is kept until the window can close.
        jqz::CatchWindowStopSignals();
        StreamMessageSink streamSink;
        jqz::TProgShell shell(jqz::ShellPaths::Default(), printLog ? &streamSink : nullptr);
        shell.FormCreate();
        // The arguments as Qt has them (its own options taken out; on Windows from UTF-16).
        const QStringList files = jqz::FilesNamedOnCommandLine(QCoreApplication::arguments());
        const bool loaded = shell.OpenFilesFromOutside(files);
        if (printLog) {
            for (const std::string& line : shell.log().storedLines())
                std::printf("%s\n", line.empty() ? "" : line.c_str() + 1);
            shell.FormClose();
            return files.isEmpty() || loaded ? 0 : 1;
        }
        jqz::ConnectStopSignals(shell);
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, jqz::kProgramTitle, jqz::FileNameText(e.what()));
    }
    return 0;
}
