// The main window's and the hex editor's commands while a program or read sequence runs on the
// built-in virtual programmer, each tried while the run waits at its first block. What the user
// sees is one of these:
//  - refused: the busy message, the image as it was, no file written (a read fills the image);
//  - ignored: no dialog, no message, no log line (a second link operation, or the device);
//  - changes: the command does its work on the image, and the device still gets the image
//    as it was when the program run started, verified;
//  - saves: the file is written from the image, which stays as it was.
// Either way the run ends as it would have without the command.
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>
#include <tuple>

#include "core/platform/atomic_file.h"
#include "core/device/device_read.h"
#include "core/device/device_write.h"
#include "core/files/records.h"
#include "core/image/editor_messages.h"
#include "file_drop_support.h"
#include "hex_edit_test_support.h"
#include "shell_test_support.h"
#include "sim/virtual_programmer.h"
#include "ui/app/prog_shell.h"
#include "ui/image/dump_grid.h"
#include "ui/image/hex_edit.h"

using namespace jqz;
using test::click;
using test::onModal;
using test::setField;

namespace {

constexpr const char* kE9 = "MC68HC11  E9 (E28B)";
constexpr int kFirst = 0xB600;
constexpr int kLast = 0xB7FF;
// Identification, mode, pin-tester options, device type, link, interface, device ID: the
// PC's bytes before the first block request of either sequence on a connected programmer.
constexpr std::size_t kBytesBeforeFirstBlock = 15;

}  // namespace

class TestCommandsDuringRuns;
using Command = std::function<void(TestCommandsDuringRuns&)>;

Q_DECLARE_METATYPE(Command)

class TestCommandsDuringRuns : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    test::QuietSink sink_;
    std::unique_ptr<TProgShell> s_;
    int dialogsOpened_ = 0;

    // The pause of the run: the worker waits in the programmer's receive until let go.
    struct Pause {
        std::mutex mutex;
        std::condition_variable changed;
        bool released = false;
        std::atomic<bool> reached{false};
    };
    std::shared_ptr<Pause> pause_;

public:
    TProgShell& shell() { return *s_; }
    THexEdit& editor() { return s_->hexEdit(); }
    QString path(const char* name) const { return dir_.path() + "/" + name; }
    QToolButton* button(const char* name) { return s_->findChild<QToolButton*>(name); }

    // The Go To dialog puts the cursor on an address.
    void goTo(int address) {
        onModal([address](QDialog* d) {
            setField(d, "ComboBox1", QStringLiteral("0x%1").arg(address, 4, 16, QChar('0')));
            click(d, "Button1");
        });
        editor().action("EditGoToAddr")->trigger();
    }
    // Runs a dialog command: fills it in with fill, presses OK (Button1 unless named) and
    // cancels a dialog that stays open (a refused OK).
    void inDialog(QAction* command, std::function<void(QDialog*)> fill, const char* ok = "Button1") {
        onModal([fill, ok](QDialog* d) {
            fill(d);
            click(d, ok);
            if (d->isVisible()) d->reject();
        });
        command->trigger();
    }

    void letGo() {
        if (!pause_) return;
        std::lock_guard lock(pause_->mutex);
        pause_->released = true;
        pause_->changed.notify_all();
    }

private:
    std::vector<std::uint8_t> imageData(int from, int to) {
        std::vector<std::uint8_t> d;
        for (int a = from; a <= to; ++a) d.push_back(s_->hexModel().image.ReadData(a));
        return d;
    }
    std::vector<std::uint8_t> targetData() {
        return s_->virtualProgrammer().with([](sim::ProgrammerModel& m) {
            const auto& mem = m.target(7)->memory;
            return std::vector<std::uint8_t>(mem.begin() + kFirst, mem.begin() + kLast + 1);
        });
    }
    void pauseAtFirstBlock() {
        pause_ = std::make_shared<Pause>();
        s_->virtualProgrammer().with([pause = pause_](sim::ProgrammerModel& m) {
            m.onWire = [pause, sent = std::size_t{0}](const sim::WireByte& w) mutable {
                if (!w.fromPc || sent++ != kBytesBeforeFirstBlock) return;
                pause->reached = true;
                std::unique_lock lock(pause->mutex);
                pause->changed.wait_for(lock, std::chrono::seconds(20), [&] { return pause->released; });
            };
            return 0;
        });
    }

private slots:
    void init() {
        QDir().mkpath(dir_.path() + "/cfg");
        const ShellPaths paths = test::ShellPathsIn(dir_.path(), "cfg");
        WriteFileAtomically(paths.settingsFile, "COMM_PORT=Virtual Programmer\r\nCOMM_SPEED=57600\r\n");
        sink_.errors.clear();
        s_ = std::make_unique<TProgShell>(paths, &sink_);
        // The programmer answers at once: the test holds the run where it needs it.
        s_->virtualProgrammer().with([](sim::ProgrammerModel& m) { return m.options().timing = false; });
        s_->FormCreate();
        TProgShell* window = s_.get();
        s_->deviceDialog = [window] { window->devices().selectDevice(kE9); };
        button("DeviceIDButton")->click();
        QCOMPARE(s_->findChild<QLineEdit*>("DeviceIDValue")->text(), QString(kE9));
        // From here on, a dialog of the main window that opens is counted, not shown.
        dialogsOpened_ = 0;
        s_->deviceDialog = [this] { ++dialogsOpened_; };
        s_->printDialog = [this] { ++dialogsOpened_; };
        s_->commDialog = [this] { ++dialogsOpened_; };
        s_->updateDialog = [this] { ++dialogsOpened_; };
        s_->updateCommands();
        for (int a = kFirst; a <= kLast; ++a) s_->hexModel().image.WriteData(a, static_cast<std::uint8_t>(a * 5 + 9));
        editor().show();
        editor().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor()));
        std::string text;
        AppendMotorolaRecord(text, '1', 2, 0xB670, std::vector<std::uint8_t>(32, 0x5A));
        QVERIFY(WriteFileAtomically(path("in.s19").toStdString(), text).empty());
        QGuiApplication::clipboard()->setText("11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF 00");
    }
    void cleanup() {
        letGo();
        pause_.reset();
        if (s_) s_->close();
        s_.reset();
        QFile::remove(path("in.s19"));
        QFile::remove(path("saved.jef"));
    }

    void command_data() {
        QTest::addColumn<QString>("run");
        QTest::addColumn<Command>("command");
        QTest::addColumn<QString>("outcome");

        const Command load = [](TestCommandsDuringRuns& t) {
            t.inDialog(t.shell().action("EditOpenFile"), [&t](QDialog* d) {
                d->findChild<QLineEdit*>("Edit1")->setText(t.path("in.s19"));
            }, "Button2");
        };
        // A file dropped on the main window loads as Load does.
        const Command drop = [](TestCommandsDuringRuns& t) {
            QVERIFY(test::dropFiles(&t.shell(), {t.path("in.s19")}));
        };
        const Command save = [](TestCommandsDuringRuns& t) {
            onModal([&t](QDialog* d) {
                onModal([&t](QDialog* browser) {
                    browser->findChild<QLineEdit*>("fileNameEdit")->setText(t.path("saved.jef"));
                    browser->accept();
                });
                click(d, "Button1");
                click(d, "Button2");
                if (d->isVisible()) d->reject();
            });
            t.shell().action("EditSaveFile")->trigger();
        };
        const Command print = [](TestCommandsDuringRuns& t) { t.shell().action("EditPrint")->trigger(); };
        const Command comm = [](TestCommandsDuringRuns& t) { t.shell().action("ToolComm")->trigger(); };
        const Command update = [](TestCommandsDuringRuns& t) { t.shell().action("ToolUpdate")->trigger(); };
        const Command device = [](TestCommandsDuringRuns& t) {
            t.button("DeviceIDButton")->click();
            QVERIFY(!t.button("DeviceIDButton")->isChecked());
        };
        const Command otherStart = [](TestCommandsDuringRuns& t) {
            const bool reading = t.button("ReadStartButton")->isChecked();
            QToolButton* other = t.button(reading ? "ProgramStartButton" : "ReadStartButton");
            other->click();
            QVERIFY(!other->isChecked());
        };
        const Command type = [](TestCommandsDuringRuns& t) {
            for (int a : {0xB610, 0xB710}) {
                t.goTo(a);
                QTest::keyClicks(t.editor().hexGrid(), "00");
            }
        };
        const Command fill = [](TestCommandsDuringRuns& t) {
            t.inDialog(t.editor().action("EditFill"), [](QDialog* d) {
                setField(d, "ComboBox1", "0x3C");
                setField(d, "ComboBox2", "0xB600");
                setField(d, "ComboBox3", "0xB7FF");
            });
        };
        const Command paste = [](TestCommandsDuringRuns& t) {
            t.goTo(0xB678);
            t.editor().action("EditPaste")->trigger();
        };
        const Command swap = [](TestCommandsDuringRuns& t) {
            t.inDialog(t.editor().action("EditSwap"), [](QDialog* d) {
                d->findChild<QRadioButton*>("RadioButtonWord")->click();
            });
        };
        const Command closeEditor = [](TestCommandsDuringRuns& t) {
            t.editor().close();
            QVERIFY(!t.editor().isVisible());
        };

        const std::pair<const char*, Command> ignoredByBoth[] = {
            {"Print", print}, {"Comm Port Options", comm}, {"Firmware Update", update},
            {"Device ID button", device}, {"the other start button", otherStart},
            {"close of the hex editor", closeEditor}};
        // Refused during a read; during a program run, what they do.
        const std::tuple<const char*, Command, const char*> imageCommands[] = {
            {"Open File", load, "changes"}, {"a dropped file", drop, "changes"},
            {"Save File", save, "saves"},
            {"typing in the grid", type, "changes"}, {"Fill", fill, "changes"},
            {"Paste", paste, "changes"}, {"Swap", swap, "changes"}};
        for (const char* run : {"read", "program"}) {
            for (const auto& [name, command] : ignoredByBoth)
                QTest::addRow("%s: %s", run, name) << QString(run) << command << QString("ignored");
            for (const auto& [name, command, programOutcome] : imageCommands)
                QTest::addRow("%s: %s", run, name)
                    << QString(run) << command
                    << QString(std::string(run) == "read" ? "refused" : programOutcome);
        }
    }

    void command() {
        QFETCH(QString, run);
        QFETCH(Command, command);
        QFETCH(QString, outcome);
        const bool program = run == "program";
        if (program) {
            button("ProgramEepromOn")->click();
            button("VerifyEepromOn")->click();
        } else {
            button("ReadEepromOn")->click();
            s_->virtualProgrammer().with([](sim::ProgrammerModel& m) {
                for (int a = kFirst; a <= kLast; ++a) m.target(7)->memory[a] = static_cast<std::uint8_t>(a * 3 + 1);
                return 0;
            });
        }
        QToolButton* start = button(program ? "ProgramStartButton" : "ReadStartButton");
        const std::vector<std::uint8_t> imageAtStart = imageData(0, 0xFFFF);
        const std::vector<std::uint8_t> eepromAtStart = imageData(kFirst, kLast);
        const std::vector<std::uint8_t> targetAtStart = targetData();
        pauseAtFirstBlock();
        start->click();
        QVERIFY(start->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(pause_->reached.load(), 10000);

        const std::size_t logLines = s_->log().count();
        // A read changes no cell until its first block is in.
        command(*this);
        const std::vector<std::uint8_t> imageAfter = imageData(0, 0xFFFF);
        const std::size_t linesAfter = s_->log().count();
        const std::vector<std::string> errors = sink_.errors;
        letGo();
        QTRY_VERIFY_WITH_TIMEOUT(!start->isChecked(), 10000);

        if (outcome == "refused") {
            QVERIFY(!errors.empty());
            for (const std::string& e : errors) QCOMPARE(e, std::string(kImageBusyMessage));
            QVERIFY(imageAfter == imageAtStart);
            QVERIFY(!QFileInfo::exists(path("saved.jef")));
        } else if (outcome == "ignored") {
            QCOMPARE(errors, std::vector<std::string>{});
            QCOMPARE(dialogsOpened_, 0);
            QCOMPARE(linesAfter, logLines);
            QVERIFY(imageAfter == imageAtStart);
            QCOMPARE(s_->findChild<QLineEdit*>("DeviceIDValue")->text(), QString(kE9));
        } else if (outcome == "saves") {
            // The image as it is now; nothing changed.
            QCOMPARE(errors, std::vector<std::string>{});
            QVERIFY(QFileInfo(path("saved.jef")).size() > 0);
            QVERIFY(imageAfter == imageAtStart);
        } else {
            QCOMPARE(errors, std::vector<std::string>{});
            QVERIFY(imageAfter != imageAtStart);
            QVERIFY(imageData(0, 0xFFFF) == imageAfter);
        }
        const std::vector<std::string> log = test::LogTexts(*s_);
        QVERIFY(!log.empty());
        if (program) {
            QVERIFY2(log.back() == kProgramCompleted, log.back().c_str());
            QVERIFY(targetData() == eepromAtStart);
        } else {
            QCOMPARE(log.back(), std::string(kReadCompleted));
            QVERIFY(imageData(kFirst, kLast) == targetAtStart);
        }
        for (const std::string& line : log) QVERIFY2(line.find(kVerifyErrorAt) == std::string::npos, line.c_str());
        QVERIFY(s_->connection()->Idle);
    }

    // Closing the main window stops the run as its start button would (after the save
    // question, answered No here).
    void closingTheMainWindowStopsTheRun_data() {
        QTest::addColumn<QString>("run");
        QTest::newRow("read") << QString("read");
        QTest::newRow("program") << QString("program");
    }
    void closingTheMainWindowStopsTheRun() {
        QFETCH(QString, run);
        const bool program = run == "program";
        button(program ? "ProgramEepromOn" : "ReadEepromOn")->click();
        QToolButton* start = button(program ? "ProgramStartButton" : "ReadStartButton");
        pauseAtFirstBlock();
        start->click();
        QTRY_VERIFY_WITH_TIMEOUT(pause_->reached.load(), 10000);
        // The close waits for the worker, which waits for this.
        std::thread release([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            letGo();
        });
        const bool closed = s_->close();
        release.join();
        QVERIFY(closed);
        const std::vector<std::string> log = test::LogTexts(*s_);
        QCOMPARE(log.back(), std::string(program ? kProgramInterrupted : kReadInterrupted));
        QCOMPARE(sink_.errors, std::vector<std::string>{});
    }
};

QTEST_MAIN(TestCommandsDuringRuns)
#include "tst_commands_during_runs.moc"
