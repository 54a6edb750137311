// Files that come to the main window from outside: named on the command line, dropped on the
// main window or the hex editor. Each loads as Load does with the format found in it; unsaved
// work is asked about first, as at a close.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>

#include "../core/test_support.h"
#include "core/platform/atomic_file.h"
#include "core/files/load_file.h"
#include "core/files/records.h"
#include "file_drop_support.h"
#include "no_system_ports.h"
#include "shell_test_support.h"
#include "sim/virtual_programmer.h"
#include "ui/app/prog_shell.h"
#include "ui/files/load_dialog.h"
#include "ui/image/hex_edit.h"

using namespace jqz;
using test::dragAndDrop;
using test::dropFiles;

namespace {

constexpr const char* kE9 = "MC68HC11  E9 (E28B)";

// The image's bytes, whole.
std::vector<std::uint8_t> imageBytes(TProgShell& shell) {
    std::vector<std::uint8_t> bytes;
    for (int a = 0; a <= MemoryImage::LastAddress(); ++a)
        bytes.push_back(shell.hexModel().image.ReadData(a));
    return bytes;
}

// The log lines added since `from`.
std::vector<std::string> linesSince(TProgShell& shell, std::size_t from) {
    const std::vector<std::string> all = test::LogTexts(shell);
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end()};
}

}  // namespace

class TestFilesFromOutside : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    ShellPaths paths() const { return test::ShellPathsIn(dir_.path(), "cfg"); }
    QString path(const QString& name) const { return QDir::toNativeSeparators(dir_.path() + "/" + name); }
    QString write(const QString& name, const std::string& bytes) const {
        const QString p = path(name);
        if (!WriteFileAtomically(p.toStdString(), bytes).empty()) qWarning("cannot write %s", qPrintable(p));
        return p;
    }

    // A main window on the virtual programmer with the E9 selected, so that a load has a
    // device to tell about.
    std::unique_ptr<TProgShell> makeShell(test::RecordingSink& sink) {
        auto shell = std::make_unique<TProgShell>(paths(), &sink);
        shell->systemPortOpener = NoSystemPorts;
        shell->virtualProgrammer().with([](sim::ProgrammerModel& m) { return m.options().timing = false; });
        shell->FormCreate();
        TProgShell* s = shell.get();
        shell->deviceDialog = [s] { s->devices().selectDevice(kE9); };
        shell->findChild<QToolButton*>("DeviceIDButton")->click();
        if (shell->findChild<QLineEdit*>("DeviceIDValue")->text() != kE9) qWarning("no E9 selected");
        return shell;
    }

    // What Load does with a file: the dialog, the file named, the format it offers first, OK.
    void loadWithTheDialog(TProgShell& shell, const QString& file) {
        QTimer::singleShot(0, [file] {
            TLoadf* d = nullptr;
            for (int i = 0; i < 200 && d == nullptr; ++i) {
                d = qobject_cast<TLoadf*>(QApplication::activeModalWidget());
                if (d == nullptr) QTest::qWait(5);
            }
            QVERIFY2(d != nullptr, "no load dialog");
            d->findChild<QLineEdit*>("Edit1")->setText(file);
            d->findChild<QPushButton*>("Button2")->click();
            if (d->isVisible()) d->reject();
        });
        shell.action("EditOpenFile")->trigger();
    }

private slots:
    void init() {
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path() + "/cfg");
        WriteFileAtomically(paths().settingsFile, "COMM_PORT=Virtual Programmer\r\nCOMM_SPEED=57600\r\n");
    }

    // The names that are files: every argument but the program's name and the options, and
    // all after "--".
    void theCommandLineNamesFiles() {
        QCOMPARE(FilesNamedOnCommandLine({"jqz6811"}), QStringList{});
        QCOMPARE(FilesNamedOnCommandLine({"jqz6811", "a.s19"}), QStringList{"a.s19"});
        QCOMPARE(FilesNamedOnCommandLine({"jqz6811", "--print-log", "a.s19", "b.hex"}),
                 (QStringList{"a.s19", "b.hex"}));
        QCOMPARE(FilesNamedOnCommandLine({"jqz6811", "--", "--odd.s19", "c.s19"}),
                 (QStringList{"--odd.s19", "c.s19"}));
    }

    // A file from outside gives what Load gives with the format found in the file: the same
    // log lines (summary, checksums, the device's notices), image and recent list.
    void aFileFromOutsideLoadsAsLoadDoes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        std::string s19;
        AppendMotorolaRecord(s19, '1', 2, 0xB600, std::vector<std::uint8_t>{0x12, 0x34, 0x56});
        AppendMotorolaRecord(s19, '1', 2, 0x8000, std::vector<std::uint8_t>{1, 2, 3, 4});
        s19 += "S9030000FC\r\n";
        QTest::newRow("S-records, some off the device") << "in.s19" << QByteArray::fromStdString(s19);
        QTest::newRow("Intel HEX") << "in.hex"
                                   << QByteArray(":02B60000AA5549\n:0380000001020377\n:00000001FF\n");
        QTest::newRow("binary") << "in.bin" << QByteArray("\x01\x02\x03\x04", 4);
    }
    void aFileFromOutsideLoadsAsLoadDoes() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString file = write(name, bytes.toStdString());
        test::RecordingSink outsideSink, loadSink;
        auto outside = makeShell(outsideSink);
        auto load = makeShell(loadSink);
        const std::size_t outsideFrom = outside->log().count(), loadFrom = load->log().count();

        QVERIFY(outside->OpenFilesFromOutside({file}));
        loadWithTheDialog(*load, file);

        const std::vector<std::string> lines = linesSince(*outside, outsideFrom);
        QCOMPARE(lines, linesSince(*load, loadFrom));
        QCOMPARE(lines.front(), kReadingFile + file.toStdString());
        QVERIFY(std::find(lines.begin(), lines.end(), std::string(kReadFileComplete)) != lines.end());
        if (name != "in.bin")
            QVERIFY2(lines.back().find("cells that \"MC68HC11  E9 (E28B)\" does not have") != std::string::npos,
                     lines.back().c_str());
        QVERIFY(imageBytes(*outside) == imageBytes(*load));
        QCOMPARE(outside->recentFiles(), std::vector<std::string>{file.toStdString()});
        QCOMPARE(outsideSink.errors, std::vector<std::string>{});
        QCOMPARE(outsideSink.questions, std::vector<std::string>{});
        outside->close();
        load->close();
    }

    // A name without a folder is taken in the working folder and kept whole in the recent list.
    void aBareNameIsKeptWhole() {
        const QString file = write("bare.s19", "S106B6000102033D\r\nS9030000FC\r\n");
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        test::RecordingSink sink;
        auto shell = makeShell(sink);
        const bool loaded = shell->OpenFilesFromOutside({"bare.s19"});
        QDir::setCurrent(before);
        QVERIFY(loaded);
        QCOMPARE(shell->recentFiles(), std::vector<std::string>{file.toStdString()});
        shell->close();
    }

    // A file that cannot be loaded: the load's own error, shown and logged; the image stays
    // empty and the recent list too.
    void aFileThatCannotBeLoadedLeavesTheImageEmpty_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing") << "missing.s19" << "missing.s19";
        QTest::newRow("no data") << "empty.s19" << QString(kNoDataFound) + "%1";
        QTest::newRow("a folder") << "folder.s19" << "folder.s19";
    }
    void aFileThatCannotBeLoadedLeavesTheImageEmpty() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        write("empty.s19", "S0030000FC\r\nS9030000FC\r\n");
        QDir().mkpath(dir_.path() + "/folder.s19");
        const QString file = path(name);
        test::RecordingSink sink;
        auto shell = makeShell(sink);
        const std::vector<std::uint8_t> empty = imageBytes(*shell);
        QVERIFY(!shell->OpenFilesFromOutside({file}));
        QCOMPARE(sink.errors.size(), std::size_t{1});
        QVERIFY2(QString::fromStdString(sink.errors.front()).contains(QString(expected).replace("%1", file)),
                 sink.errors.front().c_str());
        QCOMPARE(test::LogTexts(*shell).back(), sink.errors.front());
        QVERIFY(imageBytes(*shell) == empty);
        QVERIFY(shell->recentFiles().empty());
        shell->close();
    }

    // A second name is refused with a line that names it; the first loads.
    void aSecondFileIsRefused() {
        const QString first = write("first.s19", "S106B6000102033D\r\nS9030000FC\r\n");
        const QString second = write("second.s19", "S106B60004050634\r\nS9030000FC\r\n");
        test::RecordingSink sink;
        auto shell = makeShell(sink);
        QVERIFY(shell->OpenFilesFromOutside({first, second}));
        QCOMPARE(int(shell->hexModel().image.ReadData(0xB601)), 2);
        QCOMPARE(test::LogTexts(*shell).back(), kOneFileAtATime + second.toStdString());
        QCOMPARE(LogModel::KindOf(shell->log().storedLines().back()), int(LogError));
        QCOMPARE(shell->recentFiles(), std::vector<std::string>{first.toStdString()});
        shell->close();
    }

    // Dropped on the main window or on the hex editor: loaded. A drag that carries no file
    // is not taken.
    void aDroppedFileLoads_data() {
        QTest::addColumn<bool>("onEditor");
        QTest::newRow("main window") << false;
        QTest::newRow("hex editor") << true;
    }
    void aDroppedFileLoads() {
        QFETCH(bool, onEditor);
        const QString file = write("dropped.s19", "S106B6000102033D\r\nS9030000FC\r\n");
        test::RecordingSink sink;
        auto shell = makeShell(sink);
        shell->hexEdit().show();
        QWidget* target = onEditor ? static_cast<QWidget*>(&shell->hexEdit()) : shell.get();
        QMimeData text;
        text.setText("S1061000010203E3");
        QVERIFY2(!dragAndDrop(target, &text), "a drag of text is no file");
        QCOMPARE(int(shell->hexModel().image.ReadData(0xB601)), 0xFF);

        QVERIFY(dropFiles(target, {file}));
        QCOMPARE(int(shell->hexModel().image.ReadData(0xB601)), 2);
        QCOMPARE(shell->recentFiles(), std::vector<std::string>{file.toStdString()});
        QVERIFY(sink.questions.empty());
        shell->close();
    }

    // Unsaved work: the close question first. Yes saves and then loads (a save that does not
    // happen loads nothing), No loads, Cancel keeps the image and ignores the drop.
    void aDropOverUnsavedWorkAsksFirst_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("saveSucceeds");
        QTest::addColumn<int>("saves");
        QTest::addColumn<bool>("loads");
        QTest::newRow("Yes") << int(Answer::Yes) << true << 1 << true;
        QTest::newRow("Yes, save cancelled") << int(Answer::Yes) << false << 1 << false;
        QTest::newRow("No") << int(Answer::No) << true << 0 << true;
        QTest::newRow("Cancel") << int(Answer::Cancel) << true << 0 << false;
    }
    void aDropOverUnsavedWorkAsksFirst() {
        QFETCH(int, answer);
        QFETCH(bool, saveSucceeds);
        QFETCH(int, saves);
        QFETCH(bool, loads);
        const QString file = write("dropped.s19", "S106B6000102033D\r\nS9030000FC\r\n");
        test::RecordingSink sink;
        auto shell = makeShell(sink);
        int saved = 0;
        shell->saveDialog = [&] {
            ++saved;
            return saveSucceeds;
        };
        shell->setBufferSaved(false);
        const std::size_t lines = shell->log().count();
        sink.answer = static_cast<Answer>(answer);

        QVERIFY(dropFiles(shell.get(), {file}));
        QCOMPARE(sink.questions, std::vector<std::string>{"Save buffer to file ?"});
        QCOMPARE(saved, saves);
        QCOMPARE(int(shell->hexModel().image.ReadData(0xB601)), loads ? 2 : 0xFF);
        QCOMPARE(shell->bufferSaved(), loads || (saves == 1 && saveSucceeds));
        if (!loads) {
            QCOMPARE(shell->log().count(), lines);
            QVERIFY(shell->recentFiles().empty());
        }
        shell->setBufferSaved(true);
        shell->close();
    }
};

QTEST_MAIN(TestFilesFromOutside)
#include "tst_files_from_outside.moc"
