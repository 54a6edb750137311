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
    "Usage: jqz6811 [option]\n"
    "Programs MC68HC11 and MC68HC711 microcontrollers through the JQZ 68(7)11 programmer.\n"
    "  --check-files  build the main window, report which of its documents and drawings and\n"
    "                 the manual it finds, and quit (exit code 1 when one is missing)\n"
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

}  // namespace

int main(int argc, char* argv[]) {
    // Before Qt opens anything: its warnings go to standard error, which must never be a
    // file the program opened itself.
    jqz::PrepareProcessStart();
    bool checkFiles = false;
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
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("jqz6811");
    // No display name: the window system would add it to every window's title. Each window
    // carries its own caption; the main window's is the program's title.
    QApplication::setDesktopFileName("jqz6811");
    try {
        if (checkFiles) return CheckFiles();
        // A stop signal that comes during start-up is kept until the window can close.
        jqz::CatchWindowStopSignals();
        jqz::TProgShell shell;
        shell.FormCreate();
        jqz::ConnectStopSignals(shell);
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, jqz::kProgramTitle, jqz::FileNameText(e.what()));
    }
    return 0;
}
