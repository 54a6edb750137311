// The main window ended by stop signals while it programs a device through jqz6811-sim on a
// pseudo-terminal. The window runs in a child process, started as the program starts
// (standard descriptors made safe, stop signals caught, the window connected to them), so
// that the signals and the exit code are real.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <QtTest>
#include <csignal>
#include <cstring>

#include "core/platform/atomic_file.h"
#include "core/platform/process_start.h"
#include "core/link/firmware_image.h"
#include "shell_test_support.h"
#include "sim/programmer_model.h"
#include "ui/app/prog_shell.h"
#include "ui/app/stop_signal_close.h"
#include "ui/link/firmware_update_dialog.h"

using namespace jqz;

namespace {

constexpr const char* kE9 = "MC68HC11  E9 (E28B)";
constexpr const char* kChildFlag = "--window-child";

// The child: the window with the settings in DIR/cfg, doing JOB: "program" (the E9 selected,
// an EEPROM image not saved, programming it), "update" (a firmware update from its dialog)
// or "dialog" (the port dialog open). Ends as the event loop ends.
int windowChild(int argc, char* argv[]) {
    PrepareProcessStart();
    CatchWindowStopSignals();
    QApplication app(argc, argv);
    test::QuietSink sink;
    const QString job = QString::fromLocal8Bit(argv[3]);
    // Who gets the signals (the process may run under strace).
    if (!WriteFileAtomically(std::string(argv[2]) + "/child.pid", std::to_string(::getpid()))
             .empty())
        return 91;
    TProgShell shell(test::ShellPathsIn(QString::fromLocal8Bit(argv[2]), "cfg"), &sink);
    shell.FormCreate();
    ConnectStopSignals(shell);
    if (job == "update") {
        // The dialog runs modally, from the event loop, and its Start is pressed.
        QTimer::singleShot(0, &shell, [&shell] {
            QTimer::singleShot(0, [] {
                if (auto* d = qobject_cast<THupdate*>(QApplication::activeModalWidget()))
                    d->findChild<QPushButton*>("Button1")->click();
            });
            shell.action("ToolUpdate")->trigger();
        });
        return app.exec();
    }
    if (job == "dialog") {
        QTimer::singleShot(0, &shell, [&shell] { shell.action("ToolComm")->trigger(); });
        return app.exec();
    }
    shell.deviceDialog = [&shell] { shell.devices().selectDevice(kE9); };
    shell.findChild<QToolButton*>("DeviceIDButton")->click();
    if (shell.findChild<QLineEdit*>("DeviceIDValue")->text() != kE9) return 90;
    for (int a = 0xB600; a <= 0xB7FF; ++a)
        shell.hexModel().image.WriteData(a, static_cast<std::uint8_t>(a * 7 + 3));
    // Data in the image that no save has written, as after a read.
    shell.setBufferSaved(false);
    shell.findChild<QToolButton*>("ProgramEepromOn")->click();
    shell.findChild<QToolButton*>("ProgramStartButton")->click();
    return app.exec();
}

// The wire log cut into what the PC sent, frame by frame, each followed by the reply bytes
// logged after it.
struct Frame {
    std::vector<int> sent;
    int expected = 0;
    std::vector<int> reply;
};

std::vector<Frame> framesOf(const QString& wireLog, bool serviceMode) {
    std::vector<Frame> frames;
    const auto bytes = ReadWholeFile(wireLog.toStdString());
    if (!bytes) return frames;
    for (const QString& line : QString::fromStdString(*bytes).split('\n', Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(' ');
        if (parts.size() < 2) continue;
        const int value = parts[1].toInt(nullptr, 16);
        if (parts[0] == ">") {
            if (frames.empty() || int(frames.back().sent.size()) == frames.back().expected)
                frames.push_back({{}, int(sim::FrameLength(std::uint8_t(value), serviceMode)), {}});
            frames.back().sent.push_back(value);
        } else if (!frames.empty()) {
            frames.back().reply.push_back(value);
        }
    }
    return frames;
}

// The frames that carry a block: of the EEPROM (13) or of the firmware (D5).
int blockFrames(const std::vector<Frame>& frames, int command) {
    return int(std::count_if(frames.begin(), frames.end(),
                             [command](const Frame& f) { return f.sent.front() == command; }));
}

QString sttyOf(const QString& pty) {
    QProcess stty;
    stty.start("stty", {"-g", "-F", pty});
    stty.waitForFinished(5000);
    return QString::fromLocal8Bit(stty.readAllStandardOutput()).trimmed();
}

// Whether the terminal is held for exclusive use (TIOCGEXCL).
bool exclusive(const QString& pty) {
    const int fd = ::open(pty.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return true;  // refused: held
    int held = 0;
    const bool ok = ::ioctl(fd, TIOCGEXCL, &held) == 0;
    ::close(fd);
    return !ok || held != 0;
}

QStringList linesOf(const QString& path, const QString& end = "\r\n") {
    const auto bytes = ReadWholeFile(path.toStdString());
    return bytes ? QString::fromStdString(*bytes).split(end, Qt::SkipEmptyParts) : QStringList{};
}

}  // namespace

class TestStopSignals : public QObject {
    Q_OBJECT

private slots:
    void signalsDuringARun_data() {
        QTest::addColumn<QString>("job");
        QTest::addColumn<QList<int>>("stopSignals");
        QTest::addColumn<bool>("outputsClosed");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lastLines");
        QTest::addColumn<QStringList>("strace");
        // One signal: the window closes as at any close, with its outputs closed at start.
        QTest::newRow("program, SIGTERM")
            << "program" << QList<int>{SIGTERM} << true << 128 + SIGTERM
            << QStringList({"SIGTERM received: the program closes.",
                            "Program Sequence Interrupted.",
                            "The image in the hex editor was not saved."})
            << QStringList();
        // The update's dialog ends as its Cancel ends it: the update stops between frames.
        QTest::newRow("update, SIGHUP")
            << "update" << QList<int>{SIGHUP} << false << 128 + SIGHUP
            << QStringList({"Firmware Update in Progress ...",
                            "SIGHUP received: the program closes.",
                            "Firmware Update Interrupted."})
            // Its frames are few and short: each write to the port is held 40 ms, so that the
            // signal comes while it runs.
            << QStringList{"-P", "PTY", "-e", "trace=write", "-e", "inject=write:delay_enter=40000"};
        // A dialog open (and its event loop running) ends as its Cancel ends it.
        QTest::newRow("port dialog, SIGTERM")
            << "dialog" << QList<int>{SIGTERM} << true << 128 + SIGTERM
            << QStringList({"MC68HC(7)11 Programmer VER-1.1 detected !",
                            "SIGTERM received: the program closes."})
            << QStringList();
        // A second one while the first is being handled (held at its writing of the settings
        // file, whose fsync takes 2 s): out at once, with the port still open put back.
        QTest::newRow("program, SIGTERM, then SIGINT")
            << "program" << QList<int>{SIGTERM, SIGINT} << false << 128 + SIGINT << QStringList()
            << QStringList{"-e", "trace=fsync", "-e", "inject=fsync:delay_enter=2000000"};
    }

    void signalsDuringARun() {
        QFETCH(QString, job);
        QFETCH(QList<int>, stopSignals);
        QFETCH(bool, outputsClosed);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lastLines);
        QFETCH(QStringList, strace);
        const bool update = job == "update";
        // The blocks of the run, and how many make all of it.
        const int blockCommand = update ? kFirmwareFrameByte : 0x13;
        const int allBlocks = update ? kFirmwareBlockCount : job == "program" ? 4 : 0;
        QTemporaryDir dir;
        const QString wire = dir.path() + "/wire.log";
        QProcess sim;
        QStringList simArguments{"--timing", "--wire-log", wire};
        if (update) simArguments << "--service";
        sim.start(JQZ_SIM_PROGRAM, simArguments);
        QVERIFY(sim.waitForStarted());
        QVERIFY(sim.waitForReadyRead(5000));
        const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();
        QVERIFY(pty.startsWith("/dev/"));
        const std::string settings = "COMM_PORT=" + pty.toStdString() + "\r\nCOMM_SPEED=57600\r\n";
        const QString settingsFile = dir.path() + "/cfg/jqz6811.ini";
        QVERIFY(QDir().mkpath(dir.path() + "/cfg"));
        QVERIFY(WriteFileAtomically(settingsFile.toStdString(), settings).empty());
        const QString before = sttyOf(pty);
        QVERIFY(!before.isEmpty());

        QProcess window;
        const QStringList childArguments{QCoreApplication::applicationFilePath(), kChildFlag,
                                         dir.path(), job, "-platform", "offscreen"};
        if (!strace.isEmpty()) {
            strace.replaceInStrings(QRegularExpression("^PTY$"), pty);
            window.setProgram("strace");
            // A leak check at the end cannot run under ptrace (in a build with sanitizers).
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            const QString asan = environment.value("ASAN_OPTIONS");
            environment.insert("ASAN_OPTIONS", (asan.isEmpty() ? "" : asan + ":") + "detect_leaks=0");
            window.setProcessEnvironment(environment);
            window.setArguments(QStringList{"-f", "-qq", "-o", "/dev/null"} + strace +
                                childArguments);
        } else {
            window.setProgram(childArguments.first());
            window.setArguments(childArguments.mid(1));
        }
        window.setProcessChannelMode(QProcess::MergedChannels);
        if (outputsClosed) window.setChildProcessModifier([] {
            ::close(STDOUT_FILENO);
            ::close(STDERR_FILENO);
        });
        window.start();
        QVERIFY(window.waitForStarted());
        // Under way: the first block sent (an EEPROM block takes 1.28 s to program), or the
        // programmer found and the dialog open.
        if (allBlocks > 0)
            QTRY_VERIFY_WITH_TIMEOUT(blockFrames(framesOf(wire, update), blockCommand) >= 1, 20000);
        else
            QTRY_VERIFY_WITH_TIMEOUT(linesOf(wire, "\n").contains("> 06 57600"), 20000);
        QThread::msleep(300);
        const auto childPid = ReadWholeFile((dir.path() + "/child.pid").toStdString());
        QVERIFY(childPid);
        for (const int s : stopSignals) {
            if (s != stopSignals.first()) QThread::msleep(300);
            QCOMPARE(::kill(pid_t(std::stoi(*childPid)), s), 0);
        }
        QVERIFY(window.waitForFinished(20000));
        QCOMPARE(window.exitStatus(), QProcess::NormalExit);
        const QString output = QString::fromLocal8Bit(window.readAll());
        QCOMPARE(window.exitCode(), exitCode);

        // The PC stopped between blocks: every frame it began went out whole, the last block
        // among them, and not every block was sent.
        const auto frames = framesOf(wire, update);
        for (const Frame& f : frames) QCOMPARE(int(f.sent.size()), f.expected);
        const int blocks = blockFrames(frames, blockCommand);
        if (allBlocks > 0)
            QVERIFY2(blocks >= 1 && blocks < allBlocks, qPrintable(QString::number(blocks)));
        QCOMPARE(sttyOf(pty), before);
        QVERIFY(!exclusive(pty));

        const QStringList log = linesOf(dir.path() + "/6811prog.log");
        if (stopSignals.size() == 1) {
            // The settings written, and the log saved with how the run ended.
            const auto written = ReadWholeFile(settingsFile.toStdString());
            QVERIFY(written && written->find("P_WIN_POS_LEFT=") != std::string::npos);
            QVERIFY2(log.size() > lastLines.size(), qPrintable(log.join('\n')));
            QVERIFY(log.first().startsWith("Stored: "));
            QCOMPARE(log.mid(log.size() - lastLines.size()), lastLines);
            if (outputsClosed) QCOMPARE(output, QString());
        } else {
            // Out at once: the settings file as it was.
            QCOMPARE(*ReadWholeFile(settingsFile.toStdString()), settings);
            QVERIFY(log.isEmpty());
            QVERIFY2(output.contains("Stopped again: exiting at once.\n"), qPrintable(output));
        }
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }
};

int main(int argc, char* argv[]) {
    if (argc >= 3 && std::strcmp(argv[1], kChildFlag) == 0) return windowChild(argc, argv);
    QApplication app(argc, argv);
    TestStopSignals test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_stop_signals.moc"
