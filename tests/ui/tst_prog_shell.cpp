// The main window's start-up, log, close question, shutdown and Reset To Default.
#include <QAbstractButton>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QMenu>
#include <QScreen>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <thread>
#include <chrono>
#include <atomic>

#include "core/platform/atomic_file.h"
#include "core/files/load_file.h"
#include "core/files/save_file.h"
#include "ui/app/log_view.h"
#include "no_system_ports.h"
#include "shell_test_support.h"
#include "shown_caption.h"
#include "ui/app/prog_shell.h"
#include "ui/files/explaine.h"
#include "ui/image/hex_edit.h"

using namespace jqz;

namespace {

class ScriptedSink : public MessageSink {
public:
    void showError(const std::string& text) override { errors.push_back(text); }
    Answer askQuestion(const std::string& text, QuestionButtons) override {
        questions.push_back(text);
        if (answers.empty()) return Answer::No;
        const Answer a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    std::vector<std::string> errors, questions;
    std::vector<Answer> answers;
};

// A port that opens and takes every setting, but on which nothing ever answers.
class SilentPort final : public SerialPort {
public:
    explicit SilentPort(bool dsr) : dsr_(dsr) {}
    bool getSettings(LineSettings&) override { return true; }
    bool setSettings(const LineSettings&) override { return true; }
    bool setTimeouts(const PortTimeouts&) override { return true; }
    std::size_t write(const std::uint8_t*, std::size_t count) override { return count; }
    std::size_t read(std::uint8_t*, std::size_t) override { return 0; }
    bool purge(unsigned) override { return true; }
    bool modemStatus(std::uint32_t& status) override {
        status = dsr_ ? MS_DSR_ON : 0;
        return true;
    }
    bool setDtr(bool) override { return true; }

private:
    bool dsr_;
};

std::string readFile(const QString& path) {
    const auto bytes = ReadWholeFile(path.toStdString());
    return bytes ? *bytes : std::string{};
}

}  // namespace

// A first start without a serial port that opens: the virtual programmer.
static const std::string kFirstStartPort = "Virtual Programmer";

class TestProgShell : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    ShellPaths paths() const { return test::ShellPathsIn(dir_.path(), "cfg"); }

private slots:
    void init() {
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path() + "/cfg");
    }

    void logShowsKindsAndSelectsTheNewestLine() {
        WriteFileAtomically(paths().settingsFile, "COMM_PORT=COM1\r\n");
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        shell.systemPortOpener = NoSystemPorts;
        shell.FormCreate();  // its first lines are the connection's result
        QCOMPARE(shell.log().storedLine(0), std::string("1Error opening port: COM1"));
        const int base = static_cast<int>(shell.log().count());
        shell.AddLogLine("abc", 7);
        shell.AddLogLine("Error: x", LogError);
        shell.AddLogLine("notice", LogNotice);
        auto* list = shell.findChild<QListView*>("StatusWin");
        QVERIFY(list);
        QTRY_COMPARE(list->model()->rowCount(), base + 3);
        QCOMPARE(list->currentIndex().row(), base + 2);
        QCOMPARE(list->model()->index(base, 0).data().toString(), QString(" abc"));
        QCOMPARE(list->model()->index(base, 0).data(Qt::ForegroundRole).value<QColor>(),
                 QColor(0, 0, 0));
        QCOMPARE(list->model()->index(base + 1, 0).data(Qt::ForegroundRole).value<QColor>(),
                 QColor(255, 0, 0));
        QCOMPARE(list->model()->index(base + 2, 0).data(Qt::ForegroundRole).value<QColor>(),
                 QColor(128, 0, 128));
        QVERIFY(shell.findChild<QStatusBar*>("HelpHint"));
        QCOMPARE(shell.findChild<QProgressBar*>("ProgBar")->value(), 0);
        shell.FormClose();
    }

    void logLinesFromAWorkerAppearInOrder() {
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        std::thread worker([&] {
            for (int i = 0; i < 50; ++i) shell.AddLogLine(std::to_string(i), LogInfo);
        });
        worker.join();
        auto* list = shell.findChild<QListView*>("StatusWin");
        QTRY_COMPARE(list->model()->rowCount(), 50);
        QCOMPARE(list->model()->index(49, 0).data().toString(), QString(" 49"));
        shell.FormClose();
    }

    void saveLogWritesHeaderAndLines() {
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        auto* s1 = shell.findChild<QAction*>("S1");
        QVERIFY(s1);
        QCOMPARE(test::ShownCaption(s1), "Save to: " + dir_.path() + "/6811prog.log");
        shell.AddLogLine("one", LogInfo);
        shell.AddLogLine("", LogError);
        shell.AddLogLine("3rd", LogNotice);
        s1->trigger();
        s1->trigger();  // saving twice keeps only the second save
        const std::string text = readFile(dir_.path() + "/6811prog.log");
        QVERIFY2(text.rfind("Stored: ", 0) == 0, text.c_str());
        const auto afterHeader = text.substr(text.find("\r\n") + 2);
        QCOMPARE(QString::fromStdString(afterHeader), QString("one\r\n\r\n3rd\r\n"));
        shell.FormClose();
    }

    void firstStartWritesDefaultsAndSecondStartReadsThemBack() {
        {
            ScriptedSink sink;
            TProgShell shell(paths(), &sink);
            shell.systemPortOpener = NoSystemPorts;
            shell.FormCreate();
            QCOMPARE(shell.portName(), kFirstStartPort);
            QCOMPARE(shell.baudRate(), 9600);
            QVERIFY(shell.close());
            QVERIFY(sink.questions.empty());
        }
        const std::string first = readFile(QString::fromStdString(paths().settingsFile));
        QVERIFY(first.find("HE_LWIN_FONT=System\r\nHE_RWIN_FONT=Terminal\r\nHE_FONT_SIZE=13\r\nHE_BG_COLOR=63\r\n") !=
                std::string::npos);
        QVERIFY(first.find("COMM_PORT=" + kFirstStartPort + "\r\nCOMM_SPEED=9600\r\n") != std::string::npos);

        WriteFileAtomically(paths().settingsFile,
                            "COMM_PORT=/dev/ttyUSB7\r\nCOMM_SPEED=x\r\nLOF0=a\r\nLOF2=c\r\n"
                            "HE_NOFIX_COLOR=12\r\nP_WIN_POS_WIDTH=700\r\n");
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        shell.systemPortOpener = NoSystemPorts;
        shell.FormCreate();
        QCOMPARE(shell.portName(), std::string("/dev/ttyUSB7"));
        QCOMPARE(shell.baudRate(), 9600);
        QCOMPARE(shell.recentFiles(), (std::vector<std::string>{"a", "c"}));
        QCOMPARE(shell.hexModel().image.CellColor(0x100), (Rgb{0, 255, 0}));
        QVERIFY(!shell.ports().empty());
        QVERIFY(shell.close());
        const std::string second = readFile(QString::fromStdString(paths().settingsFile));
        QVERIFY(second.find("HE_NOFIX_COLOR=12\r\n") != std::string::npos);
        QVERIFY(second.find("LOF0=a\r\nLOF1=c\r\n") != std::string::npos);
        QVERIFY2(second.find("P_WIN_POS_WIDTH=700\r\n") != std::string::npos, second.c_str());
    }

    // The device chosen last is selected again at the next start; a name that is no longer a
    // device, or none, starts in Demo Mode.
    void theLastDeviceIsRememberedAcrossRestarts() {
        const std::string e9 = "MC68HC11  E9 (D82R)";
        WriteFileAtomically(paths().settingsFile, "COMM_PORT=/dev/ttyUSB7\r\n");
        {
            ScriptedSink sink;
            TProgShell shell(paths(), &sink);
            shell.systemPortOpener = NoSystemPorts;
            shell.FormCreate();
            QCOMPARE(shell.devices().selectedDevice(), std::string("Demo Mode"));
            shell.deviceDialog = [&] { shell.devices().selectDevice(e9); };
            shell.updateCommands();
            shell.findChild<QAbstractButton*>("DeviceIDButton")->click();
            QVERIFY(shell.close());
        }
        const std::string written = readFile(QString::fromStdString(paths().settingsFile));
        QVERIFY2(written.size() > 2 && written.substr(written.rfind("\r\n", written.size() - 3) + 2) ==
                                           "DEVICE=" + e9 + "\r\n",
                 written.c_str());
        for (const std::string& stored : {e9, std::string("MC68HC11  Q9 (none)")}) {
            WriteFileAtomically(paths().settingsFile, "COMM_PORT=/dev/ttyUSB7\r\nDEVICE=" + stored + "\r\n");
            ScriptedSink sink;
            TProgShell shell(paths(), &sink);
            shell.systemPortOpener = NoSystemPorts;
            shell.FormCreate();
            const std::string expected = stored == e9 ? e9 : "Demo Mode";
            QCOMPARE(shell.devices().selectedDevice(), expected);
            QCOMPARE(shell.findChild<QLineEdit*>("DeviceIDValue")->text().toStdString(), expected);
            QCOMPARE(shell.hexModel().image.IsUnimplemented(0x0000), stored == e9);
            for (const std::string& line : shell.log().storedLines())
                QVERIFY2(line.find("selected") == std::string::npos, line.c_str());
            shell.FormClose();
        }
    }

    // A place from another monitor layout comes back onto the screen, a size larger than the
    // screen is cut to it; a place that fits is kept. What is written back is read back the
    // same at the next start.
    void storedPlacesLandOnTheScreen() {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        struct Case {
            const char* keys;
            QRect expected;  // outer place and size
        };
        const Case cases[] = {
            {"P_WIN_POS_LEFT=5000\r\nP_WIN_POS_TOP=-3000\r\nP_WIN_POS_HEIGHT=32767\r\n"
             "P_WIN_POS_WIDTH=600\r\n",
             QRect(screen.right() + 1 - 600, screen.top(), 600, screen.height())},
            {"P_WIN_POS_LEFT=-900\r\nP_WIN_POS_TOP=40\r\nP_WIN_POS_HEIGHT=420\r\n"
             "P_WIN_POS_WIDTH=99999\r\n",
             QRect(screen.left(), 40, screen.width(), 420)},
            {"P_WIN_POS_LEFT=30\r\nP_WIN_POS_TOP=20\r\nP_WIN_POS_HEIGHT=440\r\n"
             "P_WIN_POS_WIDTH=560\r\n",
             QRect(30, 20, 560, 440)},
        };
        for (const Case& c : cases) {
            WriteFileAtomically(paths().settingsFile, c.keys);
            for (int start = 0; start < 2; ++start) {
                ScriptedSink sink;
                TProgShell shell(paths(), &sink);
                shell.systemPortOpener = NoSystemPorts;
                shell.FormCreate();
                QCOMPARE(shell.frameGeometry(), c.expected);
                QVERIFY(shell.close());
                const std::string text = readFile(QString::fromStdString(paths().settingsFile));
                const std::string place =
                    "P_WIN_POS_LEFT=" + std::to_string(c.expected.left()) + "\r\nP_WIN_POS_TOP=" +
                    std::to_string(c.expected.top()) + "\r\nP_WIN_POS_HEIGHT=" +
                    std::to_string(c.expected.height()) + "\r\nP_WIN_POS_WIDTH=" +
                    std::to_string(c.expected.width()) + "\r\n";
                QVERIFY2(text.find(place) != std::string::npos, text.c_str());
            }
        }
    }

    // Without a settings file the program starts on the first serial port found, else on the
    // virtual programmer, and says which; a settings file decides on its own.
    void firstStartTakesTheFirstSerialPortFound() {
        struct Case {
            const char* settings;  // nullptr: no settings file
            std::vector<std::string> ports;
            std::string port;
            std::vector<std::string> firstLines;
        };
        const Case cases[] = {
            {nullptr,
             {"/dev/ttyUSB3", "/dev/ttyS0"},
             "/dev/ttyUSB3",
             {"First start: port /dev/ttyUSB3, the first serial port found.",
              "Error opening port: /dev/ttyUSB3"}},
            {nullptr,
             {"NO port detected"},
             "Virtual Programmer",
             {"First start: no serial port found, port Virtual Programmer."}},
            {"COMM_SPEED=9600\r\n", {"/dev/ttyUSB3"}, "COM1", {"Error opening port: COM1"}},
            {"COMM_PORT=/dev/ttyACM1\r\n",
             {"/dev/ttyUSB3"},
             "/dev/ttyACM1",
             {"Error opening port: /dev/ttyACM1"}},
        };
        for (const Case& c : cases) {
            init();
            if (c.settings != nullptr) WriteFileAtomically(paths().settingsFile, c.settings);
            ScriptedSink sink;
            TProgShell shell(paths(), &sink);
            shell.systemPortOpener = NoSystemPorts;
            shell.listPorts = [&] { return c.ports; };
            shell.FormCreate();
            QCOMPARE(shell.portName(), c.port);
            const auto lines = test::LogTexts(shell);
            QVERIFY2(lines.size() >= c.firstLines.size(), c.port.c_str());
            QCOMPARE(std::vector<std::string>(lines.begin(), lines.begin() + c.firstLines.size()),
                     c.firstLines);
            QCOMPARE(shell.log().storedLine(0).front(), '1');  // a notice, in purple
            QVERIFY(shell.close());
            QVERIFY(readFile(QString::fromStdString(paths().settingsFile))
                        .find("COMM_PORT=" + c.port + "\r\n") != std::string::npos);
        }
    }

    // A first start on a port that opens but where no programmer answers (nothing plugged
    // in, or a programmer without power) tells what to do, as a missing port does; a later
    // start on the port the user kept does not.
    void firstStartWithoutAnAnswerAdvises() {
#ifdef _WIN32
        QSKIP("A first start on Windows keeps the default port COM1");
#endif
        const std::string advice =
            "No programmer answered on the first serial port found. Choose its port in Tools > Comm "
            "Port Options ..., or \"Virtual Programmer\" there to try the program without hardware.";
        for (const bool dsr : {false, true}) {
            for (const bool first : {true, false}) {
                init();
                if (!first) WriteFileAtomically(paths().settingsFile, "COMM_PORT=/dev/ttyS0\r\n");
                ScriptedSink sink;
                TProgShell shell(paths(), &sink);
                shell.systemPortOpener = [dsr](const std::string&) {
                    return OpenedPort{std::make_unique<SilentPort>(dsr), 0};
                };
                shell.listPorts = [] { return std::vector<std::string>{"/dev/ttyS0"}; };
                shell.FormCreate();
                auto lines = test::LogTexts(shell);
                if (first) {
                    QVERIFY(!lines.empty());
                    QCOMPARE(lines.front(), std::string("First start: port /dev/ttyS0, the first serial port found."));
                    lines.erase(lines.begin());
                }
                const std::string result = dsr ? "Receiver TimeOut Error." : "MC68HC(7)11 Programmer not found.";
                QCOMPARE(lines, first ? (std::vector<std::string>{result, advice}) : std::vector<std::string>{result});
                shell.FormClose();
            }
        }
    }

    // While the programmer is looked for, the window takes input: here a close, which waits
    // for the detection, and the commands that use the link are refused meanwhile. The
    // detection's result is still the first line of the log.
    void theWindowTakesInputDuringTheDetection() {
        WriteFileAtomically(paths().settingsFile, "COMM_PORT=/dev/ttyS0\r\n");
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        shell.listPorts = [] { return std::vector<std::string>{"/dev/ttyS0"}; };
        std::atomic<bool> windowAnswered{false};
        bool idleMeanwhile = true;
        shell.systemPortOpener = [&](const std::string&) {
            // The window is asked to do something while the port opens; a frozen window would
            // answer only after the detection (the wait is bounded, to fail instead of hang).
            QMetaObject::invokeMethod(&shell, [&] {
                idleMeanwhile = shell.ComIdle();
                shell.close();
                windowAnswered = true;
            }, Qt::QueuedConnection);
            for (int i = 0; i < 1000 && !windowAnswered; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return OpenedPort{nullptr, ENOENT};
        };
        shell.FormCreate();
        QVERIFY(windowAnswered);
        QVERIFY(!idleMeanwhile);
        const auto lines = test::LogTexts(shell);
        QVERIFY(!lines.empty());
        QCOMPARE(lines.front(), std::string("Error opening port: /dev/ttyS0"));
        QTRY_VERIFY(!shell.isVisible());
        QVERIFY(QFile::exists(QString::fromStdString(paths().settingsFile)));
    }

    // A new line shows from its start even when the log was scrolled sideways; the newest line
    // is marked apart from the lines the user selected, which take the palette's highlight.
    void logFollowsTheRunAndMarksTheNewestLineApartFromTheSelection() {
        WriteFileAtomically(paths().settingsFile, "COMM_PORT=COM1\r\n");
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        shell.systemPortOpener = NoSystemPorts;
        shell.FormCreate();
        auto* view = shell.findChild<LogView*>("StatusWin");
        view->resize(300, 200);
        shell.AddLogLine("Read Sequence started: " + std::string(300, '-'), LogInfo);
        shell.AddLogLine("short", LogInfo);
        QTRY_VERIFY(view->horizontalScrollBar()->maximum() > 0);
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
        view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
        shell.AddLogLine("Read Sequence Interrupted.", LogError);
        const int newest = static_cast<int>(shell.log().count()) - 1;
        QTRY_COMPARE(view->model()->rowCount(), newest + 1);
        QCOMPARE(view->currentIndex().row(), newest);
        QCOMPARE(view->horizontalScrollBar()->value(), 0);
        QCOMPARE(view->model()->index(newest, 0).data().toString(), QString(" Read Sequence Interrupted."));
        // The user's selection stays; the new line is not selected.
        const QModelIndexList selected = view->selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.front().row(), 0);

        QApplication::processEvents();
        const QImage shot = view->viewport()->grab().toImage();
        auto backgroundOf = [&](int row) {
            const QRect r = view->visualRect(view->model()->index(row, 0));
            return shot.pixelColor(view->viewport()->width() - 2, r.center().y());
        };
        const QColor highlight = view->palette().color(QPalette::Highlight);
        const QColor mark = view->palette().color(QPalette::ToolTipBase);
        QCOMPARE(backgroundOf(0), highlight);
        QCOMPARE(backgroundOf(newest), mark);
        QCOMPARE(backgroundOf(newest - 1), view->palette().color(QPalette::Base));
        // Clearly apart: the channels differ by more than a shade.
        QVERIFY(std::abs(highlight.lightness() - mark.lightness()) > 40 ||
                std::abs(highlight.hue() - mark.hue()) > 40);
        // The selected line's text is drawn in the highlight's text colour: of the pixels that
        // are not background, more are nearer that colour than the plain text colour (the
        // glyphs' edges are blended with the background, differently on each system).
        const QRect first = view->visualRect(view->model()->index(0, 0));
        const QColor highlightedText = view->palette().color(QPalette::HighlightedText);
        const QColor plainText = view->palette().color(QPalette::Text);
        auto distance = [](const QColor& a, const QColor& b) {
            return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                   std::abs(a.blue() - b.blue());
        };
        int nearHighlightedText = 0, nearPlainText = 0;
        for (int x = first.left(); x < first.left() + 60; ++x)
            for (int y = first.top(); y <= first.bottom(); ++y) {
                const QColor c = shot.pixelColor(x, y);
                if (c == highlight) continue;
                ++(distance(c, highlightedText) < distance(c, plainText) ? nearHighlightedText
                                                                         : nearPlainText);
            }
        QVERIFY2(nearHighlightedText > nearPlainText,
                 qPrintable(QString("%1 pixels near the highlighted text colour, %2 near the plain")
                                .arg(nearHighlightedText)
                                .arg(nearPlainText)));
        QVERIFY(shell.close());
    }

    // "Save to:" makes the log file's folder when it is missing; a save that fails says so in
    // the log, in red, naming the file.
    void saveToMakesItsFolderAndReportsAFailure() {
        ShellPaths p = paths();
        p.logFile = (dir_.path() + "/state/jqz6811/6811prog.log").toStdString();
        {
            ScriptedSink sink;
            TProgShell shell(p, &sink);
            shell.AddLogLine("one", LogInfo);
            shell.findChild<QAction*>("S1")->trigger();
            const std::string text = readFile(QString::fromStdString(p.logFile));
            QVERIFY2(text.find("\r\none\r\n") != std::string::npos, text.c_str());
            QCOMPARE(shell.log().count(), std::size_t(1));
            shell.FormClose();
        }
        WriteFileAtomically((dir_.path() + "/plain").toStdString(), "a file, not a folder");
        p.logFile = (dir_.path() + "/plain/6811prog.log").toStdString();
        ScriptedSink sink;
        TProgShell shell(p, &sink);
        shell.AddLogLine("one", LogInfo);
        shell.findChild<QAction*>("S1")->trigger();
        QCOMPARE(shell.log().count(), std::size_t(2));
        const std::string line = shell.log().storedLine(1);
        QCOMPARE(line.front(), '2');
        QVERIFY2(line.find(p.logFile) != std::string::npos, line.c_str());
        QVERIFY(sink.errors.empty());
        shell.FormClose();
    }

    void theEditorsGeometryTravelsThroughTheSettingsFile() {
        WriteFileAtomically(paths().settingsFile,
                            "H_WIN_POS_LEFT=30\r\nH_WIN_POS_TOP=40\r\nH_WIN_POS_HEIGHT=420\r\n"
                            "H_WIN_POS_WIDTH=520\r\nH_SPLIT_POS_LEFT=300\r\nH_WIN_VISIBLE=-1\r\n"
                            "E_WIN_POS_WIDTH=333\r\nE_WIN_VISIBLE=1\r\n");
        {
            ScriptedSink sink;
            TProgShell shell(paths(), &sink);
            shell.FormCreate();
            THexEdit& editor = shell.hexEdit();
            QVERIFY(editor.isVisible());
            QVERIFY(editor.description()->isVisible());
            const EditorGeometry g = editor.GetGeometry();
            QCOMPARE(g.EditorLeft, 30);
            QCOMPARE(g.EditorTop, 40);
            QCOMPARE(g.EditorHeight, 420);
            QCOMPARE(g.EditorWidth, 520);
            QCOMPARE(g.LeftGridWidth, 300);
            QCOMPARE(g.DescriptionWidth, 333);
            QVERIFY(shell.action("ShowEditor")->isChecked());
            editor.close();
            QVERIFY(!shell.action("ShowEditor")->isChecked());
            QVERIFY(shell.close());
        }
        const std::string text = readFile(QString::fromStdString(paths().settingsFile));
        QVERIFY2(text.find("H_WIN_POS_LEFT=30\r\nH_WIN_POS_TOP=40\r\nH_WIN_POS_HEIGHT=420\r\n"
                           "H_WIN_POS_WIDTH=520\r\nH_WIN_VISIBLE=0\r\nH_SPLIT_POS_LEFT=300\r\n") !=
                     std::string::npos,
                 text.c_str());
        QVERIFY2(text.find("E_WIN_POS_WIDTH=333\r\nE_WIN_VISIBLE=1\r\n") != std::string::npos,
                 text.c_str());
    }

    void theEditorsActionsReachTheEditMenu() {
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        auto* edit = shell.findChild<QMenu*>("MEdit");
        QVERIFY(edit->isEnabled());
        QStringList captions;
        for (QAction* a : edit->actions()) captions << (a->isSeparator() ? "-" : test::ShownCaption(a));
        QCOMPARE(captions, (QStringList{"Undo", "-", "Copy", "Paste", "Select All", "-", "Find",
                                        "Search Again", "-", "Go To Address", "Copy As ...", "Fill",
                                        "Swap"}));
        // Hidden editor: the Edit commands are greyed.
        QVERIFY(!shell.hexEdit().action("EditCopy")->isEnabled());
        shell.action("ShowEditor")->trigger();
        QVERIFY(shell.hexEdit().isVisible());
        QVERIFY(shell.hexEdit().action("EditCopy")->isEnabled());
        shell.FormClose();
    }

    void imageStartsAsDemoModeFF() {
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        QCOMPARE(shell.devices().selectedDevice(), std::string("Demo Mode"));
        QCOMPARE(int(shell.hexModel().image.ReadData(0x1234)), 0xFF);
        QVERIFY(!shell.hexModel().image.IsUnimplemented(0xFFFF));
        shell.FormClose();
    }

    // Yes closes only after a save that succeeded; a cancelled or failed save keeps the
    // window and its edits.
    void closeQuestionFollowsTheAnswerAndTheSave() {
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        shell.systemPortOpener = NoSystemPorts;
        shell.FormCreate();
        int saves = 0;
        bool saveSucceeds = false;
        shell.saveDialog = [&] {
            ++saves;
            return saveSucceeds;
        };
        shell.setBufferSaved(false);
        sink.answers = {Answer::Cancel, Answer::Yes};
        QVERIFY(!shell.close());
        QCOMPARE(sink.questions.back(), std::string("Save buffer to file ?"));
        QCOMPARE(saves, 0);
        QVERIFY2(!shell.close(), "the save was cancelled");
        QCOMPARE(saves, 1);
        QVERIFY(shell.isVisible());
        QVERIFY(!shell.bufferSaved());
        QVERIFY2(!QFile::exists(QString::fromStdString(paths().settingsFile)), "no shutdown ran");
        saveSucceeds = true;
        sink.answers = {Answer::Yes};
        QVERIFY(shell.close());
        QCOMPARE(saves, 2);
        QVERIFY(QFile::exists(QString::fromStdString(paths().settingsFile)));
    }

    // The close question is a question box with Yes, No and Cancel, under the program's name.
    void closeQuestionIsAQuestionBox() {
        TProgShell shell(paths());
        shell.systemPortOpener = NoSystemPorts;
        shell.FormCreate();
        shell.setBufferSaved(false);
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title, text;
        QMessageBox::StandardButtons buttons;
        std::function<void()> answer = [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return QTimer::singleShot(20, answer);
            icon = box->icon();
            title = box->windowTitle();
            text = box->text();
            buttons = box->standardButtons();
            box->button(QMessageBox::Cancel)->click();
        };
        QTimer::singleShot(0, answer);
        QVERIFY(!shell.close());
        QCOMPARE(icon, QMessageBox::Question);
        QCOMPARE(text, QString("Save buffer to file ?"));
        QCOMPARE(title, QString("JQZ 68(7)11 Programmer"));
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        shell.setBufferSaved(true);
        QVERIFY(shell.close());
    }

    // Edits of the description are unsaved work as edits of cells are: the title is marked
    // and closing asks, until the next save or load.
    void descriptionEditsAreUnsavedWork() {
        const QString file = dir_.path() + "/work.jef";
        const QString unmarked = "JQZ 68(7)11 Programmer";
        const QString marked = "*" + unmarked;
        struct Edit {
            const char* what;
            std::function<void(TExplaine*)> make;
        };
        const Edit edits[] = {
            {"project name typed",
             [](TExplaine* w) { QTest::keyClicks(w->findChild<QLineEdit*>("ProjectName"), "Door"); }},
            {"device name typed",
             [](TExplaine* w) { QTest::keyClicks(w->findChild<QLineEdit*>("DeviceName"), "E9"); }},
            {"notes typed",
             [](TExplaine* w) { QTest::keyClicks(w->findChild<QPlainTextEdit*>("ProjNotes"), "n"); }},
            {"row added", [](TExplaine* w) { w->action("AddRow")->trigger(); }},
            {"row deleted", [](TExplaine* w) { w->action("DeleteRow")->trigger(); }},
        };
        for (const Edit& edit : edits) {
            ScriptedSink sink;
            TProgShell shell(paths(), &sink);
            shell.systemPortOpener = NoSystemPorts;
            shell.FormCreate();
            HexEditModel& model = shell.hexModel();
            shell.saveDialog = [&] {
                SaveRequest request;
                request.fileName = file.toStdString();
                return SaveImageFile(request, model, sink, shell.log());
            };
            shell.loadDialog = [&] {
                LoadRequest request;
                request.fileName = file.toStdString();
                request.format = FileFormat::Extended;
                (void)LoadImageFile(request, model, shell.recentFiles(), sink, shell.log());
            };
            shell.show();
            if (!shell.hexEdit().isVisible()) shell.action("ShowEditor")->trigger();
            QTRY_VERIFY(shell.hexEdit().isVisible());
            TExplaine* window = shell.hexEdit().description();
            if (!window->isVisible()) shell.hexEdit().action("EditProperty")->trigger();
            QTRY_VERIFY(window->isVisible());
            // A second row, saved: the description as it stands is the unmodified one.
            window->action("AddRow")->trigger();
            QVERIFY(shell.EditSaveFileExecute());
            QCOMPARE(shell.windowTitle(), unmarked);

            edit.make(window);
            QTRY_VERIFY2(shell.windowTitle() == marked, edit.what);
            sink.answers = {Answer::Cancel};
            QVERIFY2(!shell.close(), edit.what);
            QCOMPARE(sink.questions, std::vector<std::string>{"Save buffer to file ?"});

            // Saved: nothing to ask.
            QVERIFY(shell.EditSaveFileExecute());
            QVERIFY2(shell.windowTitle() == unmarked, edit.what);

            // Edited again, then the file loaded over it: nothing to ask either.
            window->action("AddRow")->trigger();
            QVERIFY(shell.EditSaveFileExecute());
            edit.make(window);
            QTRY_VERIFY2(shell.windowTitle() == marked, edit.what);
            shell.action("EditOpenFile")->trigger();
            QVERIFY2(shell.windowTitle() == unmarked, edit.what);
            sink.questions.clear();
            QVERIFY2(shell.close(), edit.what);
            QVERIFY2(sink.questions.empty(), edit.what);
        }
    }

    void resetToDefaultDeletesTheFileAndWritesNone() {
        WriteFileAtomically(paths().settingsFile, "COMM_PORT=COM3\r\n");
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        shell.systemPortOpener = NoSystemPorts;
        shell.FormCreate();
        int starts = 0;
        shell.startNewInstance = [&] { ++starts; };
        sink.answers = {Answer::No};
        shell.findChild<QAction*>("ResToDef")->trigger();
        QCOMPARE(starts, 0);
        QVERIFY(QFile::exists(QString::fromStdString(paths().settingsFile)));

        // Yes, then Cancel in the close question: this instance runs on, writing nothing later.
        shell.setBufferSaved(false);
        sink.answers = {Answer::Yes, Answer::Cancel};
        shell.findChild<QAction*>("ResToDef")->trigger();
        QCOMPARE(starts, 1);
        QVERIFY(!QFile::exists(QString::fromStdString(paths().settingsFile)));
        QVERIFY(shell.isVisible());
        QVERIFY(shell.settingsSuppressed());
        shell.setBufferSaved(true);
        QVERIFY(shell.close());
        QVERIFY(!QFile::exists(QString::fromStdString(paths().settingsFile)));
    }

    void unwritableSettingsDoNotStopTheShutdown() {
        ShellPaths p = paths();
        QDir().mkpath(QString::fromStdString(p.settingsFile));  // a folder where the file should be
        ScriptedSink sink;
        TProgShell shell(p, &sink);
        shell.systemPortOpener = NoSystemPorts;
        shell.FormCreate();
        QVERIFY(shell.close());
        QVERIFY(QFileInfo(QString::fromStdString(p.settingsFile)).isDir());
    }
};

QTEST_MAIN(TestProgShell)
#include "tst_prog_shell.moc"
