// The entry of the application jqz6811.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "ui/app/prog_shell.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("jqz6811");
    QApplication::setApplicationDisplayName("JQZ 68(7)11 Programmer");
    try {
        jqz::TProgShell shell;
        shell.FormCreate();
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "JQZ 68(7)11 Programmer", QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
