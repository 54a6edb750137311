// The main window with the bootstrap cable, against the HC11 model in-process: the controls the
// cable cannot serve, a read and a program over it, Identify Part over either link, the
// question before entering bootstrap mode on a secured part (a secured row, or a part last seen
// with NOSEC programmed), and the reset prompt by hand.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/device/target_link.h"
#include "core/platform/atomic_file.h"
#include "no_system_ports.h"
#include "shell_test_support.h"
#include "sim/hc11/virtual_hc11_ports.h"
#include "ui/app/prog_shell.h"
#include "ui/device/device_wizard.h"
#include "ui/link/reset_prompt.h"

using namespace jqz;

namespace {

constexpr const char* kE9 = "MC68HC11  E9 (E28B)";
constexpr const char* kE9Eprom = "MC68HC711 E9 (4K81H)";
constexpr const char* kSecured = "MC68S711  E9 (5C47M)";
constexpr const char* kK4 = "MC68HC11  K4 (OE75J)";
constexpr const char* kCable = "LINK=BOOTSTRAP\r\nCOMM_PORT=Virtual HC11 (bootstrap)\r\n";

std::uint8_t pattern(int i) { return static_cast<std::uint8_t>(i * 7 + 3); }

// A port on which nothing ever answers: a board that is not reset, or not there. Its reads
// wait their time, or end once a stop is requested.
class SilentPort : public SerialPort {
public:
    bool getSettings(LineSettings& s) override {
        s = settings_;
        return true;
    }
    bool setSettings(const LineSettings& s) override {
        settings_ = s;
        return true;
    }
    bool setTimeouts(const PortTimeouts& t) override {
        timeouts_ = t;
        return true;
    }
    std::size_t write(const std::uint8_t*, std::size_t count) override { return count; }
    std::size_t read(std::uint8_t*, std::size_t) override {
        const auto end = std::chrono::steady_clock::now() +
                         std::chrono::milliseconds(timeouts_.readTotalMs);
        while (std::chrono::steady_clock::now() < end && !stopRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return 0;
    }
    bool purge(unsigned) override { return true; }
    bool modemStatus(std::uint32_t& status) override {
        status = 0;
        return true;
    }
    bool setDtr(bool) override { return true; }

private:
    LineSettings settings_;
    PortTimeouts timeouts_;
};

// Answers the question before entering bootstrap mode as told, and keeps it; others as told
// (No unless changed).
class AnsweringSink : public MessageSink {
public:
    explicit AnsweringSink(Answer a) : answer(a) {}
    void showError(const std::string& text) override { errors.push_back(text); }
    Answer askQuestion(const std::string& text, QuestionButtons) override {
        if (text.find("bootstrap mode") == std::string::npos) return others;
        questions.push_back(text);
        return answer;
    }
    Answer answer;
    Answer others = Answer::No;
    std::vector<std::string> questions, errors;
};

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

bool startsOne(const std::vector<std::string>& lines, const std::string& start) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(start, 0) == 0; });
}

}  // namespace

class TestBootstrapCable : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    std::function<void()> realDeviceDialog_;

    ShellPaths paths() const { return test::ShellPathsIn(dir_.path(), "cfg"); }

    // A window on the link the settings give, with the device selected as the user selects
    // it, and the HC11 model's EEPROM at power-up.
    std::unique_ptr<TProgShell> shell(MessageSink& sink, const std::string& settings,
                                      const std::string& device,
                                      std::vector<std::uint8_t> eeprom = {}) {
        QDir().mkpath(dir_.path() + "/cfg");
        WriteFileAtomically(paths().settingsFile, settings);
        auto s = std::make_unique<TProgShell>(paths(), &sink);
        s->listPorts = [] { return std::vector<std::string>{}; };
        s->systemPortOpener = [](const std::string& name) -> OpenedPort {
            if (name == "/dev/jqz-silent") return {std::make_unique<SilentPort>(), 0};
            return NoSystemPorts(name);
        };
        sim::Hc11Options base;
        base.eeprom = std::move(eeprom);
        s->virtualHc11() = sim::VirtualHc11Ports(base, s->systemPortOpener);
        s->FormCreate();
        realDeviceDialog_ = s->deviceDialog;
        TProgShell* window = s.get();
        s->deviceDialog = [window, device] { window->devices().selectDevice(device); };
        s->findChild<QToolButton*>("DeviceIDButton")->click();
        if (s->findChild<QLineEdit*>("DeviceIDValue")->text() != QString::fromStdString(device))
            qFatal("device not selected");
        return s;
    }
    static QToolButton* button(TProgShell& s, const char* name) {
        return s.findChild<QToolButton*>(name);
    }
    static std::vector<std::string> linesFrom(TProgShell& s, std::size_t first) {
        const auto all = test::LogTexts(s);
        return {all.begin() + static_cast<long>(std::min(first, all.size())), all.end()};
    }
    static std::vector<std::uint8_t> imageEeprom(TProgShell& s) {
        std::vector<std::uint8_t> d;
        for (int a = 0xB600; a <= 0xB7FF; ++a) d.push_back(s.image().ReadData(a));
        return d;
    }
    // Chooses a link (the Connection box's index) and a port in the port dialog and presses
    // OK; a port not listed yet is listed first, as the system lists its ports.
    static void choosePort(TProgShell& s, int link, const QString& port) {
        QTimer::singleShot(0, [link, port] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog != nullptr);
            dialog->findChild<QComboBox*>("LinkBox")->setCurrentIndex(link);
            auto* ports = dialog->findChild<QComboBox*>("ComboBox1");
            if (ports->findText(port) < 0) ports->insertItem(0, port);
            ports->setCurrentIndex(ports->findText(port));
            dialog->findChild<QPushButton*>("Button1")->click();
        });
        s.commDialog();
    }
    // Presses the start button and waits until the run has released it.
    static void run(TProgShell& s, const char* start) {
        button(s, start)->click();
        QTRY_VERIFY2_WITH_TIMEOUT(!button(s, start)->isChecked(),
                                  qPrintable(QString::fromStdString(test::LogTexts(s).back())), 20000);
    }

private slots:
    // The controls the cable cannot serve are disabled with the reason as their tool tip;
    // back on the programmer they are as before.
    void theCableDisablesWhatItCannotDoAndSaysWhy() {
        test::QuietSink sink;
        auto s = shell(sink, kCable, kE9Eprom);
        for (const char* eprom : {"EraseFlashOn", "ProgramFlashOn", "VerifyFlashOn"}) {
            QVERIFY(!button(*s, eprom)->isEnabled());
            QCOMPARE(button(*s, eprom)->toolTip(),
                     QString("EPROM programming needs the programmer's 12 V supply"));
        }
        for (const char* can : {"EraseEepromOn", "ProgramEepromOn", "VerifyEepromOn",
                                "ReadEepromOn", "ReadFlashOn", "ReadRomOn"}) {
            QVERIFY2(button(*s, can)->isEnabled(), can);
            QCOMPARE(button(*s, can)->toolTip().endsWith("ON/OFF"), true);
        }
        for (const char* box : {"PTErrorsOBP", "PTErrorsICP"}) {
            QVERIFY(!s->findChild<QCheckBox*>(box)->isEnabled());
            QCOMPARE(s->findChild<QCheckBox*>(box)->toolTip(),
                     QString("The bootstrap cable has no pin tester"));
        }
        QVERIFY(!s->findChild<QCheckBox*>("SkipBlankBlocks")->isEnabled());
        QVERIFY(!s->action("ToolUpdate")->isEnabled());

        // Select Device shows the rows the cable does not serve, with the reason, and does
        // not let them be chosen.
        s->deviceDialog = realDeviceDialog_;
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* wiz = qobject_cast<TDeviceWiz1*>(QApplication::activeModalWidget());
            QVERIFY(wiz != nullptr);
            auto* list = wiz->findChild<QListWidget*>("ListBox1");
            list->setCurrentItem(list->findItems(kK4, Qt::MatchExactly).value(0));
            QCOMPARE(wiz->findChild<QLabel*>("RefusalLabel")->text(),
                     QString("The bootstrap cable does not serve the K4 family yet: its "
                             "registers and SCI lie elsewhere."));
            QVERIFY(!wiz->findChild<QPushButton*>("Button1")->isEnabled());
            seen = true;
            wiz->reject();
        });
        s->findChild<QToolButton*>("DeviceIDButton")->click();
        QVERIFY(seen);
        QCOMPARE(s->devices().selectedDevice(), std::string(kE9Eprom));
        QVERIFY(s->close());

        // The programmer: the pin tester's options and the tool tips are back.
        auto p = shell(sink, "COMM_PORT=Virtual Programmer\r\n", kE9Eprom);
        QVERIFY(p->findChild<QCheckBox*>("PTErrorsOBP")->isEnabled());
        QVERIFY(p->findChild<QCheckBox*>("SkipBlankBlocks")->isEnabled());
        QCOMPARE(button(*p, "ProgramFlashOn")->toolTip(), QString("EPROM ON/OFF"));
        QVERIFY(p->action("ToolUpdate")->isEnabled());
        QVERIFY(p->close());
    }

    // A read of the EEPROM and a program of 8 changed bytes over the cable, from the model.
    void aReadAndAProgramOverTheCable() {
        test::QuietSink sink;
        std::vector<std::uint8_t> eeprom(512);
        for (int i = 0; i < 512; ++i) eeprom[static_cast<std::size_t>(i)] = pattern(i);
        auto s = shell(sink, kCable, kE9, eeprom);
        std::size_t first = s->log().count();
        button(*s, "ReadEepromOn")->click();
        run(*s, "ReadStartButton");
        QCOMPARE(imageEeprom(*s), eeprom);
        auto lines = linesFrom(*s, first);
        QVERIFY(contains(lines, "Linking Device ..."));
        QVERIFY(contains(lines, "Bootstrap cable on Virtual HC11 (bootstrap), 7812 baud (8 MHz "
                                "crystal): talker \"JQZ TALK 1.2\" running on the E9"));
        QVERIFY(startsOne(lines, "CONFIG 0x"));
        QVERIFY(sink.errors.empty());

        for (int i = 50; i <= 400; i += 50) s->image().WriteData(0xB600 + i, 0x00);
        first = s->log().count();
        s->findChild<QTabWidget*>()->setCurrentIndex(0);
        button(*s, "ProgramEepromOn")->click();
        button(*s, "VerifyEepromOn")->click();
        // The gauge goes through the cells as the smart write does them.
        std::atomic<int> gaugeMaximum{0}, gaugeHighest{0};
        s->gauge().setChangeHandler([&](int maximum, int position) {
            if (maximum == 512) gaugeMaximum = maximum;
            if (maximum == 512 && position > gaugeHighest) gaugeHighest = position;
        });
        run(*s, "ProgramStartButton");
        s->gauge().setChangeHandler({});
        QCOMPARE(gaugeMaximum.load(), 512);
        QCOMPARE(gaugeHighest.load(), 512);
        lines = linesFrom(*s, first);
        QVERIFY2(contains(lines, "512 bytes: 504 already right, 8 programmed; verified"),
                 qPrintable(QString::fromStdString(lines.empty() ? "" : lines.back())));
        QCOMPARE(s->virtualHc11().model()->eeprom(), imageEeprom(*s));
        QVERIFY(s->close());
    }

    // Identify Part: over the cable the talker, CONFIG and what the cable does with the part;
    // with the programmer its identification and the device ID.
    void identifyPartOverEitherLink() {
        test::QuietSink sink;
        auto c = shell(sink, kCable, kE9Eprom);
        QCOMPARE(c->action("IdentifyPart")->text(), QString("&Identify Part"));
        QCOMPARE(c->action("IdentifyPart")->shortcut(), QKeySequence("Ctrl+I"));
        const auto tools = c->findChild<QMenu*>("MTools")->actions();
        QCOMPARE(tools.indexOf(c->action("IdentifyPart")), tools.indexOf(c->action("ToolUpdate")) + 1);
        std::size_t first = c->log().count();
        c->action("IdentifyPart")->trigger();
        QCOMPARE(linesFrom(*c, first),
                 (std::vector<std::string>{
                     "Linking Device ...",
                     "Bootstrap cable on Virtual HC11 (bootstrap), 7812 baud (8 MHz crystal): "
                     "talker \"JQZ TALK 1.2\" running on the E9",
                     "CONFIG 0x0F: NOSEC 1 (not secured), NOCOP 1, ROMON 1, EEON 1 (EEPROM on)",
                     "What the cable does with the E9: EEPROM and CONFIG: read, program, verify; "
                     "ROM and boot ROM: read; EPROM: read only (programming needs the "
                     "programmer's 12 V)"}));
        QVERIFY(c->close());

        auto p = shell(sink, "COMM_PORT=Virtual Programmer\r\n", kE9);
        first = p->log().count();
        p->action("IdentifyPart")->trigger();
        QCOMPARE(linesFrom(*p, first),
                 (std::vector<std::string>{"MC68HC(7)11 Programmer VER-1.1 detected !",
                                           "Linking Device ...",
                                           "In-Circuit Programming Interface. ",
                                           "Device ID: MC68HC11  E9 (E28B)"}));
        QVERIFY(p->close());
    }

    // A part that may be secured: the question first; No sends nothing, Yes enters bootstrap
    // mode, which erases the part's EEPROM.
    void theSecuredPartIsAskedFor_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No") << false;
        QTest::newRow("Yes") << true;
    }
    void theSecuredPartIsAskedFor() {
        QFETCH(bool, yes);
        AnsweringSink sink(yes ? Answer::Yes : Answer::No);
        auto s = shell(sink, kCable, kSecured, std::vector<std::uint8_t>(512, 0x5A));
        const std::size_t first = s->log().count();
        s->findChild<QTabWidget*>()->setCurrentIndex(1);
        button(*s, "ReadEepromOn")->click();
        run(*s, "ReadStartButton");
        QCOMPARE(sink.questions, std::vector<std::string>{
                                     "Entering bootstrap mode erases this part's EEPROM and "
                                     "CONFIG. Continue?"});
        if (!yes) {
            QVERIFY(s->virtualHc11().model() == nullptr);  // no port opened
            QCOMPARE(linesFrom(*s, first), std::vector<std::string>{});
        } else {
            QVERIFY(s->virtualHc11().model() != nullptr);
            QCOMPARE(imageEeprom(*s), std::vector<std::uint8_t>(512, 0xFF));
        }
        QVERIFY(s->close());
    }

    // A part that this window's runs left, or found, with NOSEC programmed in CONFIG is
    // secured at its next reset: the next run asks the same question first (No sends
    // nothing), until the device, the port or the link changes. Found: the E9 whose CONFIG
    // survived the boot ROM's erase (its cell stuck at 0x07).
    void aPartLastSeenSecuredIsAskedFor_data() {
        QTest::addColumn<QString>("seen");    // how CONFIG 0x07 was seen: program, identify
        QTest::addColumn<QString>("change");  // what changes before the next run
        QTest::addColumn<bool>("yes");
        QTest::newRow("programmed, No") << "program" << "" << false;
        QTest::newRow("programmed, Yes") << "program" << "" << true;
        QTest::newRow("identified, No") << "identify" << "" << false;
        QTest::newRow("identified, Yes") << "identify" << "" << true;
        QTest::newRow("another device") << "program" << "device" << false;
        QTest::newRow("another port") << "program" << "port" << false;
        QTest::newRow("another link") << "program" << "link" << false;
    }
    void aPartLastSeenSecuredIsAskedFor() {
        QFETCH(QString, seen);
        QFETCH(QString, change);
        QFETCH(bool, yes);
        AnsweringSink sink(Answer::No);
        sink.others = Answer::Yes;  // the CONFIG programming's own question
        auto s = shell(sink, kCable, kE9, std::vector<std::uint8_t>(512, 0x5A));
        std::size_t first = s->log().count();
        if (seen == "program") {
            s->image().WriteData(0x103F, 0x07);
            s->findChild<QCheckBox*>("ConfProgEnable")->click();
            QVERIFY(s->findChild<QCheckBox*>("ConfProgEnable")->isChecked());
            s->findChild<QTabWidget*>()->setCurrentIndex(0);
            button(*s, "ProgramEepromOn")->click();
            run(*s, "ProgramStartButton");
            const auto lines = linesFrom(*s, first);
            QVERIFY(contains(lines, "CONFIG 0x07 written; it takes effect, and reads back, at "
                                    "the next reset."));
            QVERIFY(contains(lines, "NOSEC is programmed: the next entry into bootstrap mode "
                                    "erases the EEPROM and CONFIG."));
            QCOMPARE(s->virtualHc11().model()->config(), std::uint8_t{0x07});
        } else {
            sim::Hc11Options base;
            base.faults.stuckEepromCell = sim::StuckCell{0x103F, 0x07};
            s->virtualHc11() = sim::VirtualHc11Ports(base, s->systemPortOpener);
            s->action("IdentifyPart")->trigger();
            QVERIFY(startsOne(linesFrom(*s, first), "CONFIG 0x07: NOSEC 0 (secured)"));
        }
        QCOMPARE(sink.questions, std::vector<std::string>{});  // the E9's row is not secured

        if (change == "device") {
            s->deviceDialog = [window = s.get()] { window->devices().selectDevice(kE9Eprom); };
            button(*s, "DeviceIDButton")->click();
            QCOMPARE(s->findChild<QLineEdit*>("DeviceIDValue")->text(), QString(kE9Eprom));
        } else if (!change.isEmpty()) {
            if (change == "port")
                choosePort(*s, 1, "/dev/jqz-silent");
            else
                choosePort(*s, 0, "Virtual Programmer");
            choosePort(*s, 1, "Virtual HC11 (bootstrap)");
            QCOMPARE(test::LogTexts(*s).back(),
                     std::string("Bootstrap cable on Virtual HC11 (bootstrap), 7812 baud (8 MHz "
                                 "crystal)"));
        }
        sink.answer = yes ? Answer::Yes : Answer::No;
        const int bytesBefore = static_cast<int>(s->virtualHc11().model()->record().bytesFromHost);
        first = s->log().count();
        s->findChild<QTabWidget*>()->setCurrentIndex(1);
        button(*s, "ReadEepromOn")->click();
        run(*s, "ReadStartButton");
        const std::vector<std::string> question{
            "Entering bootstrap mode erases this part's EEPROM and CONFIG. Continue?"};
        QCOMPARE(sink.questions, change.isEmpty() ? question : std::vector<std::string>{});
        if (change.isEmpty() && !yes) {
            // Nothing sent, nothing logged: the part keeps its EEPROM.
            QCOMPARE(static_cast<int>(s->virtualHc11().model()->record().bytesFromHost),
                     bytesBefore);
            QCOMPARE(linesFrom(*s, first), std::vector<std::string>{});
            return;
        }
        // The run went on, and the boot ROM erased the part.
        QVERIFY(s->virtualHc11().model()->record().boots.back().securityErase);
        QCOMPARE(imageEeprom(*s), std::vector<std::uint8_t>(512, 0xFF));
        if (!change.isEmpty()) return;
        // The CONFIG a run reads is the next run's guide. It reads as latched at the run's
        // reset: the run that erased the part still sees NOSEC 0, the one after it the erased
        // CONFIG, unless the cell kept NOSEC programmed.
        run(*s, "ReadStartButton");
        run(*s, "ReadStartButton");
        QCOMPARE(sink.questions.size(), seen == "identify" ? 3U : 2U);
    }

    // With the reset by hand the prompt waits for the part; Cancel ends the wait as Stop does,
    // for a sequence and for Identify Part, and closing the window ends it too.
    void theResetPromptCancelled() {
        test::QuietSink sink;
        auto s = shell(sink, "LINK=BOOTSTRAP\r\nCOMM_PORT=/dev/jqz-silent\r\n", kE9);
        const auto prompt = [&] { return s->findChild<TResetPrompt*>("ResetPrompt"); };
        const auto cancelWhenShown = [&] {
            QTimer* poll = new QTimer(s.get());
            QObject::connect(poll, &QTimer::timeout, poll, [poll, prompt] {
                if (prompt() == nullptr || !prompt()->isVisible()) return;
                QCOMPARE(prompt()->findChild<QLabel*>("PromptLabel")->text(),
                         QString("Hold MODA and MODB low and press the board's reset button."));
                prompt()->findChild<QPushButton*>("CancelButton")->click();
                poll->deleteLater();
            });
            poll->start(20);
        };
        std::size_t first = s->log().count();
        s->findChild<QTabWidget*>()->setCurrentIndex(1);
        button(*s, "ReadEepromOn")->click();
        cancelWhenShown();
        run(*s, "ReadStartButton");
        QVERIFY(!prompt()->isVisible());
        QCOMPARE(linesFrom(*s, first).back(), std::string("Read Sequence Interrupted."));

        first = s->log().count();
        cancelWhenShown();
        s->action("IdentifyPart")->trigger();
        QVERIFY(!prompt()->isVisible());
        QCOMPARE(linesFrom(*s, first).back(), std::string("Identify Part Interrupted."));

        // A close while a run waits for the reset stops it.
        button(*s, "ReadStartButton")->click();
        QTRY_VERIFY(prompt()->isVisible());
        QVERIFY(s->close());
        QCOMPARE(test::LogTexts(*s).back(), std::string("Read Sequence Interrupted."));
    }
};

QTEST_MAIN(TestBootstrapCable)
#include "tst_bootstrap_cable.moc"
