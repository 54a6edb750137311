// The main window driving the program and read sequences and the firmware update against its
// built-in virtual programmer: start buttons, log lines, the gauge, the stop by the button.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "core/platform/atomic_file.h"
#include "sim/virtual_programmer.h"
#include "shell_test_support.h"
#include "ui/app/prog_shell.h"
#include "ui/link/firmware_update_dialog.h"

using namespace jqz;

namespace {

constexpr const char* kE9 = "MC68HC11  E9 (E28B)";

std::uint8_t pattern(int a) { return static_cast<std::uint8_t>(a * 3 + 1); }

// Runs f on the firmware update dialog once it is shown modally.
void onDialog(const std::function<void(THupdate*)>& f) {
    QTimer::singleShot(0, [f] {
        auto* dialog = qobject_cast<THupdate*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return onDialog(f);
        f(dialog);
    });
}

}  // namespace

class TestSequences : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    test::QuietSink sink_;

    ShellPaths paths() const { return test::ShellPathsIn(dir_.path(), "cfg"); }

    // A window connected to its virtual programmer at 57600, with the E9 selected. timing:
    // whether the programmer takes its real time.
    std::unique_ptr<TProgShell> shell(bool timing, bool serviceMode = false,
                                      const std::string& moreSettings = "") {
        QDir().mkpath(dir_.path() + "/cfg");
        WriteFileAtomically(paths().settingsFile,
                            "COMM_PORT=Virtual Programmer\r\nCOMM_SPEED=57600\r\n" + moreSettings);
        auto s = std::make_unique<TProgShell>(paths(), &sink_);
        s->virtualProgrammer().with([&](sim::ProgrammerModel& m) {
            m.options().timing = timing;
            m.options().serviceMode = serviceMode;
            return 0;
        });
        s->FormCreate();
        // Chosen as the user does: the Device ID button and the device dialog.
        TProgShell* window = s.get();
        s->deviceDialog = [window] { window->devices().selectDevice(kE9); };
        s->findChild<QToolButton*>("DeviceIDButton")->click();
        if (s->findChild<QLineEdit*>("DeviceIDValue")->text() != kE9) qFatal("E9 not selected");
        return s;
    }
    static QToolButton* button(TProgShell& s, const char* name) {
        return s.findChild<QToolButton*>(name);
    }
    static std::vector<std::string> linesFrom(TProgShell& s, std::size_t first) {
        const auto all = s.log().storedLines();
        return {all.begin() + static_cast<long>(std::min(first, all.size())), all.end()};
    }
    static std::vector<std::uint8_t> targetEeprom(TProgShell& s) {
        return s.virtualProgrammer().with([](sim::ProgrammerModel& m) {
            const auto& mem = m.target(7)->memory;
            return std::vector<std::uint8_t>(mem.begin() + 0xB600, mem.begin() + 0xB800);
        });
    }
    static std::vector<std::uint8_t> imageEeprom(TProgShell& s) {
        std::vector<std::uint8_t> d;
        for (int a = 0xB600; a <= 0xB7FF; ++a) d.push_back(s.hexModel().image.ReadData(a));
        return d;
    }

private slots:
    void programThenReadFromTheStartButtons() {
        auto s = shell(false);
        QVERIFY(s->connection()->Connected);
        for (int a = 0xB600; a <= 0xB7FF; ++a) s->hexModel().image.WriteData(a, pattern(a));
        button(*s, "ProgramEepromOn")->click();
        button(*s, "VerifyEepromOn")->click();
        auto* start = button(*s, "ProgramStartButton");
        auto* gauge = s->findChild<QProgressBar*>("ProgBar");
        std::size_t first = s->log().count();
        start->click();
        QVERIFY(start->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(!start->isChecked(), 10000);
        QCOMPARE(linesFrom(*s, first),
                 (std::vector<std::string>{"0Linking Device ...", "0Program Sequence in Progress ...",
                                           "0EEPROM  Program Verify selected.",
                                           "0In-Circuit Programming Interface. ",
                                           "0EEPROM 0xB600-0xB7FF: sum 0xFF00, CRC-32 0xC6457234",
                                           "0Program Sequence completed successful"}));
        QTRY_COMPARE(gauge->value(), 0);
        QVERIFY(s->connection()->Idle);
        QVERIFY(targetEeprom(*s) == imageEeprom(*s));

        // The target's EEPROM changes; reading it brings it into the image.
        s->virtualProgrammer().with([](sim::ProgrammerModel& m) {
            for (int a = 0xB600; a <= 0xB7FF; ++a) m.target(7)->memory[a] &= 0x0F;
            return 0;
        });
        QVERIFY(s->bufferSaved());
        button(*s, "ReadEepromOn")->click();
        auto* read = button(*s, "ReadStartButton");
        first = s->log().count();
        read->click();
        QVERIFY(read->isChecked());
        QVERIFY(!s->bufferSaved());
        QTRY_VERIFY_WITH_TIMEOUT(!read->isChecked(), 10000);
        QCOMPARE(linesFrom(*s, first),
                 (std::vector<std::string>{"0Linking Device ...", "0Read Sequence in Progress ...",
                                           "0EEPROM  selected.",
                                           "0In-Circuit Programming Interface. ",
                                           "0EEPROM 0xB600-0xB7FF: sum 0x0F00, CRC-32 0xB4558CA2",
                                           "0Read Sequence completed successful."}));
        QTRY_COMPARE(gauge->value(), 0);
        QVERIFY(targetEeprom(*s) == imageEeprom(*s));
        QVERIFY(s->hexModel().image.IsUndoEmpty());
        s->close();
    }

    // "Skip blank blocks" comes from the settings file, reaches the program sequence, and goes
    // back to the file when the window closes.
    void skipBlankBlocksFromTheOptionsPage() {
        auto s = shell(false, false, "SKIP_BLANK_BLOCKS=1\r\n");
        auto* skip = s->findChild<QCheckBox*>("SkipBlankBlocks");
        QVERIFY(skip != nullptr);
        QCOMPARE(skip->text(), QString("Skip blank blocks"));
        QVERIFY(skip->isChecked());
        // One block of four holds data; the target's EEPROM holds zeros before the erase.
        for (int a = 0xB700; a <= 0xB77F; ++a) s->hexModel().image.WriteData(a, pattern(a));
        s->virtualProgrammer().with([](sim::ProgrammerModel& m) {
            for (int a = 0xB600; a <= 0xB7FF; ++a) m.target(7)->memory[a] = 0;
            return 0;
        });
        for (const char* b : {"EraseEepromOn", "ProgramEepromOn", "VerifyEepromOn"})
            button(*s, b)->click();
        auto* start = button(*s, "ProgramStartButton");
        const std::size_t first = s->log().count();
        start->click();
        QTRY_VERIFY_WITH_TIMEOUT(!start->isChecked(), 10000);
        const auto lines = linesFrom(*s, first);
        QVERIFY(std::find(lines.begin(), lines.end(), "0Blank blocks not written: 3 of 4.") !=
                lines.end());
        QCOMPARE(lines.back(), std::string("0Program Sequence completed successful"));
        QVERIFY(targetEeprom(*s) == imageEeprom(*s));

        skip->click();
        QVERIFY(!skip->isChecked());
        s->close();
        const auto settings = ReadWholeFile(paths().settingsFile);
        QVERIFY(settings && settings->find("SKIP_BLANK") == std::string::npos);
    }

    void releasingTheButtonStopsTheRun() {
        auto s = shell(true);
        button(*s, "EraseEepromOn")->click();
        button(*s, "ProgramEepromOn")->click();
        auto* start = button(*s, "ProgramStartButton");
        auto* read = button(*s, "ReadStartButton");
        auto* gauge = s->findChild<QProgressBar*>("ProgBar");
        start->click();
        // The first block write takes over a second: the gauge shows the blocks by then.
        QTRY_VERIFY_WITH_TIMEOUT(gauge->maximum() == 4, 10000);
        QCOMPARE(gauge->value(), 0);
        // The other start button is refused while the link is busy.
        read->click();
        QVERIFY(!read->isChecked());
        QVERIFY(start->isChecked());
        // So are Print, Comm Port Options and Firmware Update: no dialog opens.
        int opened = 0;
        QTimer::singleShot(300, [&opened] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                ++opened;
                w->close();
            }
        });
        for (const char* a : {"EditPrint", "ToolComm", "ToolUpdate"}) s->action(a)->trigger();
        QTest::qWait(350);
        QCOMPARE(opened, 0);
        QVERIFY(start->isChecked());
        start->click();  // released: stop, wait, reset
        QVERIFY(!start->isChecked());
        QCOMPARE(s->log().storedLines().back(), std::string("0Program Sequence Interrupted."));
        QVERIFY(!s->connection()->Connected);
        QVERIFY(s->connection()->Idle);
        QTRY_COMPARE(gauge->value(), 0);
        QTest::qWait(50);
        QVERIFY(!start->isChecked());
        s->close();
    }

    void aRunWithoutADeviceEndsAtOnce() {
        QDir().mkpath(dir_.path() + "/cfg");
        WriteFileAtomically(paths().settingsFile, "COMM_PORT=Virtual Programmer\r\n");
        TProgShell s(paths(), &sink_);
        s.FormCreate();
        auto* start = button(s, "ProgramStartButton");
        start->click();
        QTRY_VERIFY(!start->isChecked());
        QCOMPARE(s.log().storedLines().back(), std::string("2Select Device first"));
        QCOMPARE(s.findChild<QProgressBar*>("ProgBar")->value(), 0);
        s.close();
    }

    void firmwareUpdateFromItsDialog() {
        auto s = shell(false, true);
        std::size_t first = s->log().count();
        bool seen = false;
        onDialog([&](THupdate* d) {
            QCOMPARE(d->windowTitle(), QString("Firmware Update"));
            QCOMPARE(d->findChild<QLabel*>("Label1")->text(), QString("WARNING !!!"));
            QCOMPARE(d->findChild<QLabel*>("Label3")->text(),
                     QString("Programmer Must be in Service mode"));
            auto* start = d->findChild<QPushButton*>("Button1");
            QVERIFY(start->isEnabled());
            QCOMPARE(d->focusWidget(), d->findChild<QPushButton*>("Button2"));
            seen = true;
            start->click();
            QVERIFY(!start->isEnabled());
        });
        s->action("ToolUpdate")->trigger();  // returns when the dialog has closed itself
        QVERIFY(seen);
        QCOMPARE(linesFrom(*s, first), (std::vector<std::string>{"0Firmware Update in Progress ...",
                                                                  "0Firmware Update complete."}));
        QCOMPARE(s->virtualProgrammer().with([](sim::ProgrammerModel& m) { return m.firmwareLoads(); }), 1);
        QTRY_COMPARE(s->findChild<QProgressBar*>("ProgBar")->value(), 0);
        QVERIFY(s->connection()->Connected);

        // In WORK mode the update is refused, and the closing dialog says so.
        s->virtualProgrammer().with([](sim::ProgrammerModel& m) {
            m.options().serviceMode = false;
            return 0;
        });
        first = s->log().count();
        onDialog([](THupdate* d) { d->findChild<QPushButton*>("Button1")->click(); });
        s->action("ToolUpdate")->trigger();
        QCOMPARE(linesFrom(*s, first),
                 (std::vector<std::string>{"2Programmer must be in Service mode ",
                                           "0Firmware Update Interrupted."}));
        QVERIFY(!s->connection()->Connected);
        s->close();
    }

    void cancelDuringTheUpdate() {
        auto s = shell(true, true);
        onDialog([](THupdate* d) {
            d->findChild<QPushButton*>("Button1")->click();
            QTimer::singleShot(300, d, [d] { d->findChild<QPushButton*>("Button2")->click(); });
        });
        const std::size_t first = s->log().count();
        s->action("ToolUpdate")->trigger();
        QCOMPARE(linesFrom(*s, first), (std::vector<std::string>{"0Firmware Update in Progress ...",
                                                                  "0Firmware Update Interrupted."}));
        QVERIFY(!s->connection()->Connected);
        QVERIFY(s->connection()->Idle);
        s->close();
    }
};

QTEST_MAIN(TestSequences)
#include "tst_sequences.moc"
