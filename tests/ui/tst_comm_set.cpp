// The programmer connection in the main window: detection at start-up against jqz6811-sim on
// a pseudo-terminal, the port dialog, the virtual programmer, and the power-off at shutdown.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "core/platform/atomic_file.h"
#include "sim/virtual_programmer.h"
#include "shell_test_support.h"
#include "ui/app/prog_shell.h"
#include "ui/link/comm_set.h"

using namespace jqz;

namespace {

QStringList readLines(const QString& path) {
    const auto bytes = ReadWholeFile(path.toStdString());
    return bytes ? QString::fromStdString(*bytes).split('\n', Qt::SkipEmptyParts) : QStringList{};
}

// Runs f on the port dialog once it is shown modally.
void onDialog(const std::function<void(TCommSet*)>& f) {
    QTimer::singleShot(0, [f] {
        auto* dialog = qobject_cast<TCommSet*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return onDialog(f);
        f(dialog);
    });
}

}  // namespace

class TestCommSet : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    test::QuietSink sink_;

    ShellPaths paths() const { return test::ShellPathsIn(dir_.path(), "cfg"); }
    void writeSettings(const std::string& text) {
        QDir().mkpath(dir_.path() + "/cfg");
        QVERIFY(WriteFileAtomically(paths().settingsFile, text).empty());
    }

private slots:
    void startUpDetectsTheSimulatorAndShutdownPowersOff() {
        const QString wire = dir_.path() + "/wire.log";
        QProcess sim;
        sim.start(JQZ_SIM_PROGRAM, {"--wire-log", wire});
        QVERIFY(sim.waitForStarted());
        QVERIFY(sim.waitForReadyRead(5000));
        const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();
        QVERIFY(pty.startsWith("/dev/"));
        writeSettings("COMM_PORT=" + pty.toStdString() + "\r\nCOMM_SPEED=57600\r\n");
        {
            TProgShell shell(paths(), &sink_);
            shell.FormCreate();
            QCOMPARE(shell.log().count(), std::size_t{1});
            QCOMPARE(QString::fromStdString(shell.log().storedLine(0)),
                     QString("1MC68HC(7)11 Programmer VER-1.1 detected !"));
            QVERIFY(shell.connection()->Connected);
            QCOMPARE(readLines(wire).filter(">"),
                     QStringList({"> 06 9600", "> 05 9600", "> 04 9600", "> 10 9600",
                                  "> EF 9600", "> 06 57600"}));
            QVERIFY(shell.close());
        }
        // Closing sent the 11-byte PowerOff request and read its status.
        const QStringList lines = readLines(wire);
        const QStringList tail = lines.mid(lines.indexOf("> 09 57600"));
        QCOMPARE(tail.filter(">").size(), 12);
        QCOMPARE(tail.filter(">").last(), QString("> 02 57600"));
        QCOMPARE(tail.filter("<"), QStringList({"< 00 57600", "< FF 57600"}));
        const auto settings = ReadWholeFile(paths().settingsFile);
        QVERIFY(settings && settings->find("COMM_SPEED=57600\r\n") != std::string::npos);
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }

    void dialogListsThePortsAndTheVirtualProgrammer() {
        writeSettings("COMM_PORT=/dev/jqz-no-such-port\r\nCOMM_SPEED=12345\r\n");
        TProgShell shell(paths(), &sink_);
        shell.FormCreate();
        QCOMPARE(QString::fromStdString(shell.log().storedLine(0)),
                 QString("1Error opening port: /dev/jqz-no-such-port"));
        QVERIFY(shell.log().storedLine(1).find("does not exist") != std::string::npos);
        QVERIFY(shell.connection() != nullptr);
        bool checked = false;
        onDialog([&](TCommSet* d) {
            QCOMPARE(d->windowTitle(), QString("Comm Port Setup"));
            QCOMPARE(d->findChild<QLabel*>("Label1")->text(), QString("Communication Port #"));
            QCOMPARE(d->findChild<QLabel*>("Label2")->text(),
                     QString("Communication Port Baud Rate"));
            auto* ports = d->findChild<QComboBox*>("ComboBox1");
            auto* rates = d->findChild<QComboBox*>("ComboBox2");
            QStringList expected;
            for (const auto& p : shell.ports()) expected << QString::fromStdString(p);
            // The port in use is offered even though it did not open: selected, before the
            // virtual programmer.
            expected << "/dev/jqz-no-such-port" << "Virtual Programmer";
            QStringList items;
            for (int i = 0; i < ports->count(); ++i) items << ports->itemText(i);
            QCOMPARE(items, expected);
            QCOMPARE(ports->currentText(), QString("/dev/jqz-no-such-port"));
            QCOMPARE(rates->count(), 4);
            QCOMPARE(rates->itemText(3), QString("57600"));
            // The rate from the file is not one of the rates.
            QCOMPARE(rates->currentIndex(), -1);
            QCOMPARE(d->focusWidget(), ports);
            checked = true;
            d->findChild<QPushButton*>("Button2")->click();
        });
        shell.action("ToolComm")->trigger();
        QVERIFY(checked);
        QCOMPARE(shell.log().count(), std::size_t{2});  // Cancel changes nothing
        QCOMPARE(shell.portName(), std::string("/dev/jqz-no-such-port"));
        // Shown again: the port is listed once.
        checked = false;
        onDialog([&](TCommSet* d) {
            QCOMPARE(d->findChild<QComboBox*>("ComboBox1")->findText("/dev/jqz-no-such-port"),
                     int(shell.ports().size()));
            QCOMPARE(d->findChild<QComboBox*>("ComboBox1")->count(), int(shell.ports().size()) + 2);
            checked = true;
            d->findChild<QPushButton*>("Button2")->click();
        });
        shell.action("ToolComm")->trigger();
        QVERIFY(checked);
        // The status bar names the port and the rate in use.
        QCOMPARE(shell.findChild<QLabel*>("PortStatus")->text(),
                 QString("Port: /dev/jqz-no-such-port   12345 baud"));
        shell.close();
    }

    void choosingTheVirtualProgrammerConnectsToIt() {
        writeSettings("COMM_PORT=/dev/jqz-no-such-port\r\n");
        TProgShell shell(paths(), &sink_);
        shell.FormCreate();
        onDialog([](TCommSet* d) {
            auto* ports = d->findChild<QComboBox*>("ComboBox1");
            ports->setCurrentIndex(ports->count() - 1);
            d->findChild<QComboBox*>("ComboBox2")->setCurrentText("38400");
            d->findChild<QPushButton*>("Button1")->click();
        });
        shell.action("ToolComm")->trigger();
        QCOMPARE(QString::fromStdString(shell.log().storedLines().back()),
                 QString("1MC68HC(7)11 Programmer VER-1.1 detected !"));
        QCOMPARE(shell.portName(), std::string("Virtual Programmer"));
        QCOMPARE(shell.baudRate(), 38400);
        QVERIFY(shell.connection()->Connected);
        QCOMPARE(shell.virtualProgrammer().lastSettings().baudRate, 38400);
        QCOMPARE(shell.findChild<QLabel*>("PortStatus")->text(),
                 QString("Port: Virtual Programmer   38400 baud"));

        // The dialog shows the current choice next time; OK with nothing chosen keeps it.
        onDialog([](TCommSet* d) {
            auto* ports = d->findChild<QComboBox*>("ComboBox1");
            auto* rates = d->findChild<QComboBox*>("ComboBox2");
            QCOMPARE(ports->currentText(), QString("Virtual Programmer"));
            QCOMPARE(rates->currentText(), QString("38400"));
            ports->setCurrentIndex(-1);
            rates->setCurrentIndex(-1);
            d->findChild<QPushButton*>("Button1")->click();
        });
        shell.action("ToolComm")->trigger();
        QVERIFY(shell.connection() != nullptr);
        QVERIFY(shell.connection()->Connected);
        QCOMPARE(shell.portName(), std::string("Virtual Programmer"));
        QCOMPARE(shell.baudRate(), 38400);

        // Closing powers the virtual target off.
        shell.virtualProgrammer().clearWire();
        QVERIFY(shell.close());
        const auto sent = shell.virtualProgrammer().bytesFromPc();
        QCOMPARE(int(sent.size()), 12);
        QCOMPARE(int(sent.front()), 0x09);
        QVERIFY(shell.connection() == nullptr);
        const auto settings = ReadWholeFile(paths().settingsFile);
        QVERIFY(settings &&
                settings->find("COMM_PORT=Virtual Programmer\r\nCOMM_SPEED=38400\r\n") !=
                    std::string::npos);
    }

    // The cable chosen in the dialog: its controls instead of the programmer's rate, its
    // virtual port, the programmer let go, the line in the log and the status bar, Firmware
    // Update disabled; saved, and restored at the next start without a word to the port.
    void theBootstrapCableIsChosenSavedAndRestored() {
        writeSettings("COMM_PORT=Virtual Programmer\r\nCOMM_SPEED=19200\r\n");
        {
            TProgShell shell(paths(), &sink_);
            shell.FormCreate();
            QVERIFY(shell.connection()->Connected);
            QVERIFY(shell.action("ToolUpdate")->isEnabled());
            bool checked = false;
            onDialog([&](TCommSet* d) {
                auto* link = d->findChild<QComboBox*>("LinkBox");
                auto* ports = d->findChild<QComboBox*>("ComboBox1");
                QCOMPARE(d->findChild<QLabel*>("LinkLabel")->text(), QString("Connection"));
                QCOMPARE(link->currentText(), QString("JQZ programmer"));
                QCOMPARE(link->itemText(1), QString("Bootstrap cable"));
                QVERIFY(d->findChild<QWidget*>("ProgrammerPanel")->isVisible());
                QVERIFY(!d->findChild<QWidget*>("CablePanel")->isVisible());
                link->setCurrentIndex(1);
                // The virtual port stays chosen, now the HC11's.
                QCOMPARE(ports->currentText(), QString("Virtual HC11 (bootstrap)"));
                QCOMPARE(ports->itemText(ports->count() - 1), QString("Virtual HC11 (bootstrap)"));
                QCOMPARE(ports->findText("Virtual Programmer"), -1);
                QVERIFY(!d->findChild<QWidget*>("ProgrammerPanel")->isVisible());
                QVERIFY(d->findChild<QWidget*>("CablePanel")->isVisible());
                auto* xtal = d->findChild<QDoubleSpinBox*>("XtalBox");
                auto* rates = d->findChild<QLabel*>("RatesLabel");
                QCOMPARE(xtal->text(), QString("8 MHz"));
                QCOMPARE(rates->text(), QString("7812 baud; 1200 baud fallback"));
                xtal->setValue(12);
                QCOMPARE(rates->text(), QString("11718 baud; 1802 baud fallback"));
                auto* reset = d->findChild<QComboBox*>("ResetBox");
                auto* rate = d->findChild<QComboBox*>("RateBox");
                QCOMPARE(reset->currentText(), QString("By hand"));
                QCOMPARE(reset->itemText(1), QString("DTR"));
                QCOMPARE(reset->itemText(2), QString("RTS"));
                QCOMPARE(rate->currentText(), QString("Fast (E/256)"));
                QCOMPARE(rate->itemText(1), QString("1200 (E/1664)"));
                reset->setCurrentIndex(2);
                rate->setCurrentIndex(1);
                checked = true;
                d->findChild<QPushButton*>("Button1")->click();
            });
            shell.virtualProgrammer().clearWire();
            shell.action("ToolComm")->trigger();
            QVERIFY(checked);
            // The programmer was powered off and let go.
            QVERIFY(shell.connection() == nullptr);
            QVERIFY(!shell.virtualProgrammer().bytesFromPc().empty());
            QCOMPARE(int(shell.virtualProgrammer().bytesFromPc().front()), 0x09);
            QCOMPARE(QString::fromStdString(shell.log().storedLines().back()),
                     QString("1Bootstrap cable on Virtual HC11 (bootstrap), 1802 baud (12 MHz crystal)"));
            QCOMPARE(shell.findChild<QLabel*>("PortStatus")->text(),
                     QString("Bootstrap cable: Virtual HC11 (bootstrap), 1802 baud, 12 MHz"));
            QVERIFY(!shell.action("ToolUpdate")->isEnabled());
            QVERIFY(shell.close());
        }
        const auto settings = ReadWholeFile(paths().settingsFile);
        QVERIFY(settings);
        QVERIFY(settings->find("COMM_PORT=Virtual HC11 (bootstrap)\r\nCOMM_SPEED=19200\r\n") !=
                std::string::npos);
        QVERIFY(settings->find("LINK=BOOTSTRAP\r\nBOOT_XTAL_MHZ=12\r\nBOOT_RESET=RTS\r\n"
                               "BOOT_RATE=1200\r\n") != std::string::npos);

        TProgShell shell(paths(), &sink_);
        shell.FormCreate();
        QCOMPARE(test::LogTexts(shell),
                 std::vector<std::string>{
                     "Bootstrap cable on Virtual HC11 (bootstrap), 1802 baud (12 MHz crystal)"});
        QVERIFY(shell.connection() == nullptr);
        QVERIFY(shell.virtualProgrammer().bytesFromPc().empty());
        QVERIFY(!shell.action("ToolUpdate")->isEnabled());
        bool checked = false;
        onDialog([&](TCommSet* d) {
            QCOMPARE(d->findChild<QComboBox*>("LinkBox")->currentText(), QString("Bootstrap cable"));
            QCOMPARE(d->findChild<QComboBox*>("ComboBox1")->currentText(),
                     QString("Virtual HC11 (bootstrap)"));
            QCOMPARE(d->findChild<QDoubleSpinBox*>("XtalBox")->value(), 12.0);
            QCOMPARE(d->findChild<QComboBox*>("ResetBox")->currentText(), QString("RTS"));
            QCOMPARE(d->findChild<QComboBox*>("RateBox")->currentText(), QString("1200 (E/1664)"));
            // Back to the programmer: its rate as it was, the virtual programmer's port.
            d->findChild<QComboBox*>("LinkBox")->setCurrentIndex(0);
            QCOMPARE(d->findChild<QComboBox*>("ComboBox1")->currentText(), QString("Virtual Programmer"));
            QCOMPARE(d->findChild<QComboBox*>("ComboBox2")->currentText(), QString("19200"));
            checked = true;
            d->findChild<QPushButton*>("Button1")->click();
        });
        shell.action("ToolComm")->trigger();
        QVERIFY(checked);
        QVERIFY(shell.connection() != nullptr && shell.connection()->Connected);
        QCOMPARE(QString::fromStdString(shell.log().storedLines().back()),
                 QString("1MC68HC(7)11 Programmer VER-1.1 detected !"));
        QCOMPARE(shell.findChild<QLabel*>("PortStatus")->text(),
                 QString("Port: Virtual Programmer   19200 baud"));
        QVERIFY(shell.action("ToolUpdate")->isEnabled());
        QVERIFY(shell.close());
        const auto after = ReadWholeFile(paths().settingsFile);
        QVERIFY(after && after->find("LINK=PROGRAMMER\r\nBOOT_XTAL_MHZ=12\r\n") != std::string::npos);
    }

    void portDialogIsRefusedWhileTheLinkIsBusy() {
        writeSettings("COMM_PORT=Virtual Programmer\r\n");
        TProgShell shell(paths(), &sink_);
        shell.FormCreate();
        QVERIFY(shell.connection()->Connected);
        shell.connection()->Idle = false;
        bool shown = false;
        QTimer::singleShot(50, [&] {
            if (auto* d = qobject_cast<TCommSet*>(QApplication::activeModalWidget())) {
                shown = true;
                d->reject();
            }
        });
        shell.action("ToolComm")->trigger();
        QTest::qWait(100);
        QVERIFY(!shown);
        shell.connection()->Idle = true;
        shell.close();
    }
};

QTEST_MAIN(TestCommSet)
#include "tst_comm_set.moc"
