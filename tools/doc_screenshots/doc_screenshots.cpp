// Takes the pictures of the documentation: the main window during a program sequence of an E9
// against the built-in virtual programmer, the hex editor, the package view of an E9 device and the device
// selection dialog with the E9's quick info, and a read over the bootstrap cable from the virtual
// HC11.
//   doc_screenshots <program folder holding dhelp> <output folder>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QListWidget>
#include <QTabWidget>
#include <cstdio>
#include <string>

#include "core/platform/atomic_file.h"
#include "core/device/supported_device_list.h"
#include "sim/hc11/virtual_hc11_ports.h"
#include "ui/app/prog_shell.h"
#include "ui/image/hex_edit.h"
#include "ui/device/device_wizard.h"
#include "ui/device/package_view.h"
#include "ui/device/rtf_text_document.h"

namespace {

// The main window's files in a folder of their own, with these settings.
jqz::ShellPaths pathsIn(const QTemporaryDir& folder, const char* programFolder,
                        const std::string& settings) {
    jqz::ShellPaths paths;
    paths.settingsFile = (folder.path() + "/jqz6811.ini").toStdString();
    paths.programFolder = programFolder;
    paths.logFile = (folder.path() + "/6811prog.log").toStdString();
    jqz::WriteFileAtomically(paths.settingsFile, settings + "P_WIN_POS_WIDTH=760\r\nP_WIN_POS_HEIGHT=560\r\n");
    return paths;
}

// Selects the device as the user does (the Device ID button and the device dialog), then reads
// its EEPROM and BOOT ROM and waits for the read's end.
void readEepromAndBootRom(QApplication& app, jqz::TProgShell& shell, const char* device) {
    shell.deviceDialog = [&shell, device] { shell.devices().selectDevice(device); };
    shell.findChild<QToolButton*>("DeviceIDButton")->click();
    shell.findChild<QTabWidget*>("SeqWin1")->setCurrentIndex(1);
    for (const char* b : {"ReadEepromOn", "ReadRomOn"}) shell.findChild<QToolButton*>(b)->click();
    auto* start = shell.findChild<QToolButton*>("ReadStartButton");
    start->click();
    QElapsedTimer timer;
    timer.start();
    while (start->isChecked() && timer.elapsed() < 60000) app.processEvents(QEventLoop::AllEvents, 50);
    app.processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: doc_screenshots <program folder> <output folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    const char* e9 = "MC68HC11  E9 (E28B)";
    jqz::SupportedDeviceList devices(argv[1]);
    devices.selectDevice(e9);

    {
        // The main window with its own settings folder, connected to the virtual programmer.
        QTemporaryDir settings;
        jqz::TProgShell shell(
            pathsIn(settings, argv[1], "COMM_PORT=Virtual Programmer\r\nCOMM_SPEED=57600\r\n"));
        shell.FormCreate();
        readEepromAndBootRom(app, shell, e9);
        // Then a program sequence of a changed EEPROM, pictured while it runs.
        for (int a = 0xB600; a <= 0xB7FF; ++a)
            shell.hexModel().image.WriteData(a, static_cast<std::uint8_t>(a * 7));
        shell.findChild<QTabWidget*>("SeqWin1")->setCurrentIndex(0);
        for (const char* b : {"EraseEepromOn", "ProgramEepromOn", "VerifyEepromOn"})
            shell.findChild<QToolButton*>(b)->click();
        auto* program = shell.findChild<QToolButton*>("ProgramStartButton");
        program->click();
        QElapsedTimer timer;
        timer.start();
        while (program->isChecked() && timer.elapsed() < 3500)
            app.processEvents(QEventLoop::AllEvents, 50);
        if (!shell.grab().save(out + "/screenshot.png")) return 1;
        timer.restart();
        while (program->isChecked() && timer.elapsed() < 60000)
            app.processEvents(QEventLoop::AllEvents, 50);
        shell.hexEdit().resize(700, 460);
        shell.hexEdit().show();
        shell.hexEdit().ShowAddressAtTop(0xBEC0);
        app.processEvents();
        if (!shell.hexEdit().grab().save(out + "/hex_editor.png")) return 1;
        shell.hexEdit().close();
    }

    {
        // A read over the bootstrap cable from the virtual HC11 (an E9 with a program in its
        // EEPROM), pictured with its lines in the log.
        QTemporaryDir settings;
        jqz::TProgShell shell(pathsIn(settings, argv[1],
                                      "COMM_PORT=Virtual HC11 (bootstrap)\r\nLINK=BOOTSTRAP\r\n"
                                      "BOOT_RESET=DTR\r\n"));
        jqz::sim::Hc11Options part;
        part.reset = jqz::sim::ResetWiring::Dtr;
        for (int i = 0; i < 512; ++i) part.eeprom.push_back(static_cast<std::uint8_t>(i * 13 + 5));
        shell.virtualHc11() = jqz::sim::VirtualHc11Ports(part);
        shell.FormCreate();
        readEepromAndBootRom(app, shell, e9);
        if (!shell.grab().save(out + "/cable_read.png")) return 1;
    }

    jqz::TDPView1 view;
    view.resize(720, 700);
    view.show();
    view.ShowDrawings(devices.packageDrawings());
    view.pageControl()->setCurrentIndex(0);
    app.processEvents();
    if (!view.grab().save(out + "/package_view.png")) return 1;

    jqz::TDeviceWiz1 wizard(devices, [](const QString& path, QTextDocument& document) {
        return jqz::LoadRtfFile(path, document);
    });
    wizard.resize(980, 560);
    wizard.show();
    auto* list = wizard.findChild<QListWidget*>("ListBox1");
    const auto found = list->findItems(QString::fromLatin1(e9), Qt::MatchExactly);
    if (found.isEmpty()) return 1;
    list->setCurrentItem(found.front());
    app.processEvents();
    if (!wizard.grab().save(out + "/device_selection.png")) return 1;
    return 0;
}
