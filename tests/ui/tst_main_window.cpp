// The main window's menus, tool bar, device row, sequence pages and commands.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include "core/app/atomic_file.h"
#include "no_system_ports.h"
#include "ui/app/about_box.h"
#include "ui/app/prog_shell.h"

using namespace jqz;

namespace {

class ScriptedSink : public MessageSink {
public:
    void showError(const std::string& text) override { errors.push_back(text); }
    Answer askQuestion(const std::string& text, QuestionButtons) override {
        questions.push_back(text);
        return answer;
    }
    std::vector<std::string> errors, questions;
    Answer answer = Answer::No;
};

QStringList menuCaptions(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) {
        QString item = a->isSeparator() ? "-" : a->text();
        if (!a->shortcut().isEmpty()) item += " [" + a->shortcut().toString() + "]";
        out << item;
    }
    return out;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    std::unique_ptr<ScriptedSink> sink_;
    std::unique_ptr<TProgShell> shell_;

    template <typename T>
    T* find(const char* name) {
        T* w = shell_->findChild<T*>(name);
        if (w == nullptr) qFatal("no control %s", name);
        return w;
    }

private slots:
    void init() {
        ShellPaths p;
        p.settingsFile = (dir_.path() + "/jqz6811.ini").toStdString();
        p.programFolder = dir_.path().toStdString();
        p.logFile = (dir_.path() + "/6811prog.log").toStdString();
        sink_ = std::make_unique<ScriptedSink>();
        shell_ = std::make_unique<TProgShell>(p, sink_.get());
        shell_->show();
        shell_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(shell_.get()));
    }
    void cleanup() {
        shell_->FormClose();
        shell_.reset();
    }

    void menusHaveTheirCaptionsAndShortcuts() {
        QCOMPARE(menuCaptions(find<QMenu>("MFile")),
                 (QStringList{"Open [F3]", "Save [F2]", "-", "Print", "-", "Exit [Alt+X]"}));
        QCOMPARE(menuCaptions(find<QMenu>("MTools")),
                 (QStringList{"Hex Editor Options ...", "Comm Port Options ...",
                              "Firmware Update ...", "-", "Reset To Default"}));
        QCOMPARE(menuCaptions(find<QMenu>("MWindow")),
                 (QStringList{"Hex Editor [Alt+E]", "Description", "Device Package"}));
        QCOMPARE(menuCaptions(find<QMenu>("MHelp")),
                 (QStringList{"User Manual [F1]", "-", "About ..."}));
        QCOMPARE(shell_->windowTitle(), QString("JQZ 68(7)11 Programmer"));
        QCOMPARE(shell_->action("EditOpenFile")->statusTip(), QString("Open an Existing File"));
        QCOMPARE(shell_->action("ShowPackage")->statusTip(),
                 QString("Device Package Layout Show/Close"));
    }

    void everyToolButtonHasAPictureAndFollowsItsAction() {
        auto* bar = find<QToolBar>("ToolBar1");
        for (QAction* a : bar->actions()) {
            if (a->isSeparator()) continue;
            QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(a));
            QVERIFY(button);
            QCOMPARE(button->isEnabled(), a->isEnabled());
        }
        // Commands without their dialog are disabled, never silently inert.
        QVERIFY(shell_->action("EditOpenFile")->isEnabled());
        shell_->loadDialog = nullptr;
        shell_->updateCommands();
        QVERIFY(!shell_->action("EditOpenFile")->isEnabled());
        shell_->loadDialog = [] {};
        shell_->updateCommands();
        QVERIFY(shell_->action("EditOpenFile")->isEnabled());
        QVERIFY(bar->widgetForAction(shell_->action("EditOpenFile"))->isEnabled());
    }

    void markingActionsFollowTheWindows() {
        QWidget editor;
        shell_->bindEditorWindow(&editor);
        QVERIFY(shell_->action("ShowEditor")->isEnabled());
        QTest::keyClick(shell_.get(), Qt::Key_E, Qt::AltModifier);
        QVERIFY(editor.isVisible());
        QVERIFY(shell_->action("ShowEditor")->isChecked());
        editor.close();  // its own close box
        QVERIFY(!shell_->action("ShowEditor")->isChecked());
        editor.show();
        QVERIFY(shell_->action("ShowEditor")->isChecked());
        shell_->action("ShowEditor")->trigger();
        QVERIFY(!editor.isVisible());
        QVERIFY(!shell_->action("ShowEditor")->isChecked());
    }

    void editorOptionsShowTheEditorOnlyForTheDialog() {
        QWidget editor;
        shell_->bindEditorWindow(&editor);
        bool visibleDuringDialog = false;
        shell_->editorOptionsDialog = [&] { visibleDuringDialog = editor.isVisible(); };
        shell_->updateCommands();
        shell_->action("ToolEditor")->trigger();
        QVERIFY(visibleDuringDialog);
        QVERIFY(!editor.isVisible());
        editor.show();
        shell_->action("ToolEditor")->trigger();
        QVERIFY(editor.isVisible());
    }

    void busyLinkRefusesPrintPortAndUpdate() {
        // The window's own rule over its own connection (the built-in virtual programmer),
        // with the link marked busy as a running sequence marks it.
        shell_->FormClose();
        WriteFileAtomically((dir_.path() + "/jqz6811.ini").toStdString(),
                            "COMM_PORT=Virtual Programmer\r\nCOMM_SPEED=57600\r\n");
        ShellPaths p;
        p.settingsFile = (dir_.path() + "/jqz6811.ini").toStdString();
        p.programFolder = dir_.path().toStdString();
        p.logFile = (dir_.path() + "/6811prog.log").toStdString();
        shell_ = std::make_unique<TProgShell>(p, sink_.get());
        shell_->systemPortOpener = NoSystemPorts;
        shell_->FormCreate();
        QVERIFY(shell_->connection() != nullptr);
        QVERIFY(shell_->connection()->Connected);
        int opened = 0;
        shell_->printDialog = [&] { ++opened; };
        shell_->commDialog = [&] { ++opened; };
        shell_->updateDialog = [&] { ++opened; };
        shell_->updateCommands();
        shell_->connection()->Idle = false;
        for (const char* a : {"EditPrint", "ToolComm", "ToolUpdate"}) shell_->action(a)->trigger();
        QCOMPARE(opened, 0);
        QVERIFY(sink_->errors.empty());
        shell_->connection()->Idle = true;
        for (const char* a : {"EditPrint", "ToolComm", "ToolUpdate"}) shell_->action(a)->trigger();
        QCOMPARE(opened, 3);
        QFile::remove(dir_.path() + "/jqz6811.ini");
    }

    void saveSetsTheBufferSavedFlagOnlyOnOk() {
        bool ok = false;
        shell_->saveDialog = [&] { return ok; };
        shell_->updateCommands();
        shell_->setBufferSaved(false);
        shell_->action("EditSaveFile")->trigger();
        QVERIFY(!shell_->bufferSaved());
        ok = true;
        QTest::keyClick(shell_.get(), Qt::Key_F2);
        QVERIFY(shell_->bufferSaved());
    }

    void f3OpensTheLoadDialogAndAltXCloses() {
        int loads = 0;
        shell_->loadDialog = [&] { ++loads; };
        shell_->updateCommands();
        QTest::keyClick(shell_.get(), Qt::Key_F3);
        QCOMPARE(loads, 1);
        QTest::keyClick(shell_.get(), Qt::Key_X, Qt::AltModifier);
        QVERIFY(!shell_->isVisible());
        QVERIFY2(QFile::exists(dir_.path() + "/jqz6811.ini"), "the shutdown ran");
    }

    void helpWithoutManualOrViewerSaysSo() {
        int opened = 0;
        bool viewer = true;
        shell_->openDocument = [&](const QString&) {
            ++opened;
            return viewer;
        };
        shell_->action("HelpProg")->trigger();
        QCOMPARE(opened, 0);
        QCOMPARE(sink_->errors, std::vector<std::string>{"To View Help install Acrobat Reader first"});
        QFile manual(dir_.path() + "/j11prog.pdf");
        QVERIFY(manual.open(QIODevice::WriteOnly));
        manual.write("%PDF-1.4");
        manual.close();
        QTest::keyClick(shell_.get(), Qt::Key_F1);
        QCOMPARE(opened, 1);
        QCOMPARE(sink_->errors.size(), size_t(1));
        viewer = false;
        shell_->action("HelpProg")->trigger();
        QCOMPARE(sink_->errors.size(), size_t(2));
        manual.remove();
    }

    void aboutListsTheDevicesSorted() {
        TAboutW about(shell_->devices());
        const QStringList lines =
            about.findChild<QPlainTextEdit*>("Memo1")->toPlainText().split('\n');
        QCOMPARE(lines.size(), 31);
        QVERIFY(lines.indexOf("MC68HC11  A8 (AB95T)") < lines.indexOf("MC68HC11  E9 (D82R)"));
        QVERIFY(lines.last().startsWith("XC68HC711"));
        QCOMPARE(about.windowTitle(), QString("About"));
        QCOMPARE(about.findChild<QLabel*>("Label2")->text(), QString("Software Version : 1.2"));
    }

    void theReadPageIsActiveAndOptionButtonsStartDisabled() {
        QCOMPARE(find<QTabWidget>("SeqWin1")->currentWidget()->objectName(), QString("ReadSeq"));
        QCOMPARE(find<QLineEdit>("DeviceIDValue")->text(), QString("Demo Mode"));
        for (const char* b : {"EraseEepromOn", "EraseFlashOn", "ProgramEepromOn", "ProgramFlashOn",
                              "VerifyEepromOn", "VerifyFlashOn", "ReadEepromOn", "ReadFlashOn",
                              "ReadRomOn"}) {
            QVERIFY(!find<QToolButton>(b)->isEnabled());
            QVERIFY(!find<QToolButton>(b)->icon().isNull());
        }
    }

    void choosingADeviceLogsResetsAndEnablesItsOptions() {
        std::string chosen = "MC68HC11  K1 (2D58N)";
        shell_->deviceDialog = [&] { shell_->devices().selectDevice(chosen); };
        std::vector<std::vector<std::string>> drawings;
        shell_->showPackageDrawings = [&](const std::vector<std::string>& d) { drawings.push_back(d); };
        int shownAt = -1;
        shell_->showAddressAtTop = [&](int a) { shownAt = a; };
        shell_->updateCommands();
        auto* button = find<QToolButton>("DeviceIDButton");
        button->click();
        QVERIFY(!button->isChecked());
        QCOMPARE(shell_->log().storedLine(0), std::string("0MC68HC11  K1 (2D58N) selected."));
        QCOMPARE(find<QLineEdit>("DeviceIDValue")->text(), QString::fromStdString(chosen));
        for (const char* b : {"EraseEepromOn", "ProgramEepromOn", "VerifyEepromOn", "ReadEepromOn",
                              "ReadRomOn"})
            QVERIFY2(find<QToolButton>(b)->isEnabled(), b);
        for (const char* b : {"ReadFlashOn", "EraseFlashOn", "ProgramFlashOn", "VerifyFlashOn"})
            QVERIFY2(!find<QToolButton>(b)->isEnabled(), b);
        QCOMPARE(shownAt, 0x0D80);
        QCOMPARE(drawings.size(), size_t(1));
        auto& image = shell_->hexModel().image;
        QVERIFY(!image.IsUnimplemented(0x003F));
        QVERIFY(!image.IsUnimplemented(0x0D80));
        QVERIFY(image.IsUnimplemented(0x103F));

        // The same device again: logged, but the image is not reset.
        find<QToolButton>("ReadEepromOn")->click();
        QVERIFY(shell_->sequenceOptions().ReadEepromOn);
        image.WriteData(0x0D80, 0x12);
        button->click();
        QCOMPARE(shell_->log().count(), size_t(2));
        QCOMPARE(int(image.ReadData(0x0D80)), 0x12);
        QVERIFY(find<QToolButton>("ReadEepromOn")->isChecked());

        // Another device with the same map resets everything and releases the options.
        chosen = "MC68HC11  E9 (E28B)";
        button->click();
        QCOMPARE(int(image.ReadData(0x0D80)), 0xFF);
        QVERIFY(!find<QToolButton>("ReadEepromOn")->isChecked());
        QVERIFY(!shell_->sequenceOptions().ReadEepromOn);
        QVERIFY(find<QToolButton>("ReadFlashOn")->isEnabled());
        QVERIFY(image.IsUndoEmpty());
    }

    void busyLinkPopsTheButtonsBackUp() {
        bool idle = false;
        shell_->linkIdle = [&] { return idle; };
        int dialogs = 0, programs = 0;
        shell_->deviceDialog = [&] { ++dialogs; };
        shell_->programSequence = [&](bool) { ++programs; };
        shell_->readSequence = [&](bool) {};
        shell_->updateCommands();
        find<QToolButton>("DeviceIDButton")->click();
        find<QToolButton>("ProgramStartButton")->click();
        find<QToolButton>("ReadStartButton")->click();
        QCOMPARE(dialogs, 0);
        QVERIFY(!find<QToolButton>("ProgramStartButton")->isChecked());
        QVERIFY(!find<QToolButton>("ReadStartButton")->isChecked());
        QVERIFY(shell_->bufferSaved());
        QCOMPARE(shell_->log().count(), size_t(0));
        idle = true;
        find<QToolButton>("ReadStartButton")->click();
        QVERIFY(find<QToolButton>("ReadStartButton")->isChecked());
        QVERIFY(!shell_->bufferSaved());
    }

    void checkBoxWarnings() {
        auto* obp = find<QCheckBox>("PTErrorsOBP");
        obp->click();
        QVERIFY(!obp->isChecked());
        QCOMPARE(sink_->questions.back(),
                 std::string("Ignoring of Pin Tester Errors can lead to ALL EEPROM CONTENTS\nWILL "
                             "BE ERASED if device secured!\n\nIgnore Pin Tester Errors in OBP Mode?"));
        sink_->answer = Answer::Yes;
        obp->click();
        QVERIFY(obp->isChecked());
        QVERIFY(shell_->sequenceOptions().PTErrorsOBP);
        const size_t asked = sink_->questions.size();
        obp->click();  // unchecking asks nothing
        QCOMPARE(sink_->questions.size(), asked);
        find<QCheckBox>("PTErrorsICP")->click();
        QCOMPARE(sink_->questions.size(), asked);
        QVERIFY(shell_->sequenceOptions().PTErrorsICP);
        sink_->answer = Answer::No;
        find<QCheckBox>("ConfProgEnable")->click();
        QVERIFY(!find<QCheckBox>("ConfProgEnable")->isChecked());
        QVERIFY(sink_->questions.back().rfind("This setting enable programming of CONFIG register\n", 0) == 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
