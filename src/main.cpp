// The entry of the application jqz6811.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "ui/app/prog_shell.h"
#include "ui/app/qt_message_sink.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("jqz6811");
    // No display name: the window system would add it to every window's title. Each window
    // carries its own caption; the main window's is the program's title.
    QApplication::setDesktopFileName("jqz6811");
    try {
        jqz::TProgShell shell;
        shell.FormCreate();
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, jqz::kProgramTitle, QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
