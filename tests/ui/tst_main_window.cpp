// The main window's menus, tool bar, device row, sequence pages and commands.
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
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

#include "core/platform/atomic_file.h"
#include "no_system_ports.h"
#include "shown_caption.h"
#include "ui/app/about_box.h"
#include "ui/app/gauge_bar.h"
#include "ui/app/icons.h"
#include "ui/app/log_view.h"
#include "ui/image/hex_edit.h"
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
        QString item = a->isSeparator() ? "-" : test::ShownCaption(a);
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
                              "Firmware Update ...", "Identify Part [Ctrl+I]", "-",
                              "Reset To Default"}));
        QCOMPARE(menuCaptions(find<QMenu>("MWindow")),
                 (QStringList{"Hex Editor [Alt+E]", "Description", "Device Package"}));
        QCOMPARE(menuCaptions(find<QMenu>("MHelp")),
                 (QStringList{"User Manual [F1]", "-", "About ..."}));
        QCOMPARE(shell_->windowTitle(), QString("JQZ 68(7)11 Programmer"));
        QCOMPARE(shell_->action("EditOpenFile")->statusTip(), QString("Open an Existing File"));
        QCOMPARE(shell_->action("ShowPackage")->statusTip(),
                 QString("Device Package Layout Show/Close"));
    }

    // Every item of every menu has a mnemonic, none twice in one menu.
    void menuItemsHaveMnemonicsUniqueInTheirMenu() {
        shell_->action("ShowEditor")->trigger();
        shell_->hexEdit().action("EditProperty")->trigger();
        QStringList walked;
        for (QWidget* w : QApplication::allWidgets()) {
            auto* menu = qobject_cast<QMenu*>(w);
            if (menu == nullptr) continue;
            walked << menu->objectName();
            QMap<int, QString> taken;
            for (QAction* a : menu->actions()) {
                if (a->isSeparator()) continue;
                const QString where = menu->objectName() + ": " + a->text();
                const QKeySequence key = QKeySequence::mnemonic(a->text());
                QVERIFY2(!key.isEmpty(), qPrintable(where));
                const int combined = key[0].toCombined();
                QVERIFY2(!taken.contains(combined), qPrintable(where + " and " + taken.value(combined)));
                taken.insert(combined, a->text());
            }
        }
        for (const char* name : {"MFile", "MEdit", "MTools", "MWindow", "MHelp", "PopupMenu1",
                                 "CellPropMenu", "LogFilePopUp1"})
            QVERIFY2(walked.contains(name), name);
    }

    // The port in use keeps a section of its own right of the hint: a long hint does not run
    // into it. It shows its whole text while the window is wide enough, and in a narrow window
    // gives way (elided) inside the window; the hint bar takes the room it leaves. Both hold
    // their whole text as a tool tip.
    void thePortKeepsItsOwnSectionBesideTheHint() {
        auto* hint = find<QStatusBar>("HelpHint");
        auto* port = find<QLabel>("PortStatus");
        const QString message = QString("Memory dump in Hexadecimal Format ").repeated(8);
        const QString portText = port->text();
        QVERIFY(portText.startsWith("Port: "));
        for (int width : {1000, 200}) {
            shell_->resize(width, shell_->height());
            hint->showMessage(message);
            QTest::qWait(1);
            QApplication::processEvents();
            const QString where = QString::number(width);
            const QRect hintArea(hint->mapTo(shell_.get(), QPoint(0, 0)), hint->size());
            const QRect portArea(port->mapTo(shell_.get(), QPoint(0, 0)), port->size());
            QVERIFY2(!hintArea.intersects(portArea), qPrintable(where));
            QVERIFY2(port->isVisible(), qPrintable(where));
            QVERIFY2(portArea.right() < shell_->width(), qPrintable(where));
            QCOMPARE(port->text(), portText);
            QCOMPARE(port->toolTip(), portText);
            QCOMPARE(hint->toolTip(), message);
            const bool whole =
                port->contentsRect().width() >= port->fontMetrics().horizontalAdvance(portText);
            QVERIFY2(whole == (width == 1000), qPrintable(where));
        }
        // Wide again: the whole port text, and the hint bar has the rest of the row.
        shell_->resize(1000, shell_->height());
        QApplication::processEvents();
        QVERIFY(port->contentsRect().width() >= port->fontMetrics().horizontalAdvance(portText));
        QVERIFY(hint->width() > port->width());
    }

    // A down option button is plain to see: the selection colour fills it.
    void aDownOptionButtonIsPlainToSee() {
        auto* button = find<QToolButton>("ReadEepromOn");
        button->setEnabled(true);
        const QColor highlight = button->palette().color(QPalette::Highlight);
        auto highlightShare = [&] {
            const QImage shot = button->grab().toImage();
            int near = 0;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x) {
                    const QColor c = shot.pixelColor(x, y);
                    if (std::abs(c.red() - highlight.red()) + std::abs(c.green() - highlight.green()) +
                            std::abs(c.blue() - highlight.blue()) < 24)
                        ++near;
                }
            return double(near) / (shot.width() * shot.height());
        };
        button->setChecked(false);
        const double up = highlightShare();
        button->setChecked(true);
        const double down = highlightShare();
        QVERIFY2(up < 0.05, qPrintable(QString::number(up)));
        QVERIFY2(down > 0.3, qPrintable(QString::number(down)));
        button->setChecked(false);
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
        // Their tool tips name the shortcut, where there is one.
        for (QAction* a : bar->actions()) {
            if (a->isSeparator()) continue;
            const QString shortcut = a->shortcut().toString(QKeySequence::NativeText);
            QCOMPARE(bar->widgetForAction(a)->toolTip(),
                     a->statusTip() + (shortcut.isEmpty() ? QString() : " (" + shortcut + ")"));
        }
        QCOMPARE(bar->widgetForAction(shell_->action("EditSaveFile"))->toolTip(),
                 QString("Save Current File (F2)"));
        QCOMPARE(bar->widgetForAction(shell_->action("ShowEditor"))->toolTip(),
                 QString("Hexadecimal Editor window Show/Close (Alt+E)"));
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

    // In a window narrower than the tool bar, the buttons that do not fit are reached through
    // the tool bar's extension menu; those shown lie inside the window.
    void aNarrowWindowKeepsEveryToolButtonReachable() {
        auto* bar = find<QToolBar>("ToolBar1");
        for (int width : {1000, 40}) {
            shell_->resize(width, shell_->height());
            QApplication::processEvents();
            int hidden = 0;
            for (QAction* a : bar->actions()) {
                if (a->isSeparator()) continue;
                QWidget* button = bar->widgetForAction(a);
                if (!button->isVisible()) {
                    ++hidden;
                    continue;
                }
                const QRect r(button->mapTo(shell_.get(), QPoint(0, 0)), button->size());
                QVERIFY2(shell_->rect().contains(r), qPrintable(a->objectName()));
            }
            auto* extension = bar->findChild<QToolButton*>("qt_toolbar_ext_button");
            QVERIFY(extension);
            QCOMPARE(extension->isVisible(), hidden > 0);
            QVERIFY2((hidden > 0) == (width < 1000), qPrintable(QString::number(hidden)));
        }
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
        // Named as the system writes names (on Windows with backslashes).
        const std::string manualPath =
            QDir::toNativeSeparators(dir_.path() + "/j11prog.pdf").toStdString();
        shell_->action("HelpProg")->trigger();
        QCOMPARE(opened, 0);
        QCOMPARE(sink_->errors,
                 std::vector<std::string>{"The user manual was not found. It belongs at\n" + manualPath});
        QFile manual(dir_.path() + "/j11prog.pdf");
        QVERIFY(manual.open(QIODevice::WriteOnly));
        manual.write("%PDF-1.4");
        manual.close();
        QTest::keyClick(shell_.get(), Qt::Key_F1);
        QCOMPARE(opened, 1);
        QCOMPARE(sink_->errors.size(), size_t(1));
        viewer = false;
#ifndef _WIN32
        // The viewer is reached through xdg-open: where it is missing, that is what to install.
        const auto restorePath = qScopeGuard([path = qgetenv("PATH")] { qputenv("PATH", path); });
        const QString bin = dir_.path() + "/bin";
        QVERIFY(QDir().mkpath(bin));
        qputenv("PATH", bin.toUtf8());
        shell_->action("HelpProg")->trigger();
        QCOMPARE(sink_->errors.back(),
                 "To view the user manual, install xdg-utils (xdg-open) first.\nThe manual is\n" +
                     manualPath);
        QFile launcher(bin + "/xdg-open");
        QVERIFY(launcher.open(QIODevice::WriteOnly));
        launcher.write("#!/bin/sh\nexit 3\n");
        launcher.close();
        launcher.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif
        shell_->action("HelpProg")->trigger();
        QCOMPARE(sink_->errors.back(),
                 "To view the user manual, install a PDF viewer first.\nThe manual is\n" + manualPath);
        manual.remove();
    }

    // The program's folder and the log's place as the system writes names: on Windows with
    // backslashes throughout, as the log popup shows the place.
    void theDefaultPlacesAreNamedAsTheSystemNamesThem() {
        const ShellPaths p = ShellPaths::Default();
        const QString programDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
        QCOMPARE(QString::fromStdString(p.programFolder), programDir);
        const QString log = QString::fromStdString(p.logFile);
        QCOMPARE(log, QDir::toNativeSeparators(log));
        QVERIFY2(log.endsWith(QDir::separator() + QString("6811prog.log")), qPrintable(log));
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
        QCOMPARE(about.findChild<QLabel*>("Label1")->text(),
                 QString("MC68HC(7)11 Programmer for Linux and Windows"));
        // No web address that leads nowhere.
        for (QLabel* l : about.findChildren<QLabel*>())
            QVERIFY2(!l->text().contains("http") && !l->text().contains("example"),
                     qPrintable(l->text()));
    }

    // The About box and the device dialog open in the middle of the screen; the device
    // dialog with the keyboard in its list.
    void dialogsOpenCentred() {
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        struct Seen {
            QString name, focus;
            QPoint middle;
        };
        std::vector<Seen> seen;
        std::function<void()> look = [&] {
            QWidget* d = QApplication::activeModalWidget();
            if (d == nullptr) return QTimer::singleShot(10, look);
            QWidget* focus = d->focusWidget();
            seen.push_back({d->objectName(), focus != nullptr ? focus->objectName() : QString(),
                            d->frameGeometry().center()});
            static_cast<QDialog*>(d)->reject();
        };
        QTimer::singleShot(0, look);
        shell_->action("HelpAbout")->trigger();
        QTimer::singleShot(0, look);
        find<QToolButton>("DeviceIDButton")->click();
        QCOMPARE(seen.size(), size_t(2));
        QCOMPARE(seen[0].name, QString("AboutW"));
        QCOMPARE(seen[1].name, QString("DeviceWiz1"));
        QCOMPARE(seen[1].focus, QString("ListBox1"));
        for (const Seen& s : seen) {
            QVERIFY2((s.middle - centre).manhattanLength() <= 2, qPrintable(s.name));
        }
    }

    // The hex editor without a project name still has a title.
    void hexEditorWithoutProjectNameHasATitle() {
        THexEdit& editor = shell_->hexEdit();
        editor.show();
        QCOMPARE(editor.windowTitle(), QString("HexEdit"));
        editor.close();
    }

    // Each menu has its mnemonic; E&dit, since Alt+E toggles the hex editor. F10 opens the
    // menu bar at File.
    void menusOpenFromTheKeyboard() {
        const std::pair<const char*, const char*> menus[] = {
            {"MFile", "&File"}, {"MEdit", "E&dit"}, {"MTools", "&Tools"},
            {"MWindow", "&Window"}, {"MHelp", "&Help"}};
        for (const auto& [name, title] : menus) QCOMPARE(find<QMenu>(name)->title(), QString(title));
        const std::pair<Qt::Key, const char*> keys[] = {
            {Qt::Key_F, "MFile"}, {Qt::Key_T, "MTools"}, {Qt::Key_W, "MWindow"}, {Qt::Key_H, "MHelp"}};
        for (const auto& [key, name] : keys) {
            QTest::keyClick(shell_.get(), key, Qt::AltModifier);
            QTRY_VERIFY2(QApplication::activePopupWidget() == find<QMenu>(name), name);
            find<QMenu>(name)->close();
            QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
        }
        QTest::keyClick(shell_.get(), Qt::Key_F10);
        QTRY_VERIFY(QApplication::activePopupWidget() == find<QMenu>("MFile"));
        find<QMenu>("MFile")->close();
    }

    // While a sequence runs its start button reads "Stop" with the stop picture.
    void startButtonReadsStopWhileItsSequenceRuns() {
        const QImage startPicture = ShellIcon("start").pixmap(32, 32).toImage();
        const QImage stopPicture = ShellIcon("stop").pixmap(32, 32).toImage();
        QVERIFY(startPicture != stopPicture);
        shell_->programSequence = [](bool) {};
        shell_->readSequence = [](bool) {};
        for (const char* name : {"ProgramStartButton", "ReadStartButton"}) {
            auto* b = find<QToolButton>(name);
            QCOMPARE(b->text(), QString("Start"));
            b->click();
            QCOMPARE(b->text(), QString("Stop"));
            QCOMPARE(b->icon().pixmap(32, 32).toImage(), stopPicture);
            shell_->SequenceEnded(std::string(name) == "ReadStartButton" ? SequenceKind::Read
                                                                         : SequenceKind::Program);
            QTRY_COMPARE(b->text(), QString("Start"));
            QCOMPARE(b->icon().pixmap(32, 32).toImage(), startPicture);
        }
    }

    // The gauge: a framed track, the blue bar, the percentage written across.
    void gaugeShowsItsTrackBarAndPercentage() {
        auto* gauge = find<GaugeBar>("ProgBar");
        gauge->resize(200, 20);
        struct Case {
            int maximum, position, percent;
        };
        const Case cases[] = {{4, 1, 25}, {89, 89, 100}, {10, 15, 100}, {0, 0, 0}, {3, 2, 66}};
        for (const Case& c : cases) {
            shell_->setGaugeMaximum(c.maximum);
            shell_->setGaugePosition(c.position);
            QTRY_COMPARE(gauge->percent(), c.percent);
        }
        shell_->setGaugeMaximum(4);
        shell_->setGaugePosition(1);
        QTRY_COMPARE(gauge->percent(), 25);
        const QImage shot = gauge->grab().toImage();
        const int y = shot.height() / 2;
        QCOMPARE(shot.pixelColor(3, 2).rgb(), QColor(0, 0, 255).rgb());  // the bar's first quarter
        const QColor track = gauge->palette().color(QPalette::Button);
        QCOMPARE(shot.pixelColor(shot.width() - 4, 2).rgb(), track.rgb());
        QCOMPARE(shot.pixelColor(0, y).rgb(), gauge->palette().color(QPalette::Mid).rgb());
        // Text is drawn in the middle: the middle row holds more than the track's colour.
        bool written = false;
        for (int x = shot.width() / 2 - 15; x < shot.width() / 2 + 15; ++x)
            written = written || shot.pixelColor(x, y).rgb() != track.rgb();
        QVERIFY(written);
    }

    void logLinesCanBeSelectedCopiedClearedAndSaved() {
        auto* view = find<LogView>("StatusWin");
        const QString longLine(400, 'x');
        for (const QString& t : {QString("first"), QString("second"), QString("third"), longLine})
            shell_->AddLogLine(t.toStdString(), LogInfo);
        QTRY_COMPARE(view->model()->rowCount(), 4);
        view->resize(300, 200);
        QTRY_VERIFY(view->horizontalScrollBar()->maximum() > 0);  // the long line scrolls
        view->selectionModel()->clearSelection();
        view->selectionModel()->select(view->model()->index(2, 0), QItemSelectionModel::Select);
        view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::Select);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("first\nthird"));
        QGuiApplication::clipboard()->clear();
        QStringList popup;
        for (QAction* a : find<QMenu>("LogFilePopUp1")->actions())
            popup << (a->isSeparator() ? "-" : test::ShownCaption(a));
        QCOMPARE(popup.mid(1), (QStringList{"-", "Copy", "Select All", "Clear", "Save As ..."}));
        QVERIFY(popup.first().startsWith("Save to: "));
        view->selectionModel()->select(view->model()->index(1, 0), QItemSelectionModel::Select);
        shell_->findChild<QAction*>("LogCopy")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("first\nsecond\nthird"));

        // Saved where the user chooses: the header line, then every line.
        const QString chosen = dir_.path() + "/chosen folder/run.log";
        QDir().mkpath(dir_.path() + "/chosen folder");
        shell_->logFileChooser = [&] { return chosen; };
        shell_->findChild<QAction*>("LogSaveAs")->trigger();
        const QStringList saved = QString::fromStdString(
            ReadWholeFile(QFile::encodeName(chosen).toStdString()).value_or("")).split("\r\n");
        QVERIFY(saved.value(0).startsWith("Stored: "));
        QCOMPARE(saved.mid(1, 4), (QStringList{"first", "second", "third", longLine}));
        QVERIFY(sink_->errors.empty());
        shell_->logFileChooser = [&] { return dir_.path() + "/no such folder/run.log"; };
        shell_->findChild<QAction*>("LogSaveAs")->trigger();
        QCOMPARE(sink_->errors.size(), size_t(1));
        // The name as the system writes it (on Windows with backslashes).
        QVERIFY2(QString::fromStdString(sink_->errors[0])
                     .contains(QDir::toNativeSeparators(dir_.path() + "/no such folder")),
                 sink_->errors[0].c_str());
        shell_->logFileChooser = [] { return QString(); };  // cancelled
        shell_->findChild<QAction*>("LogSaveAs")->trigger();
        QCOMPARE(sink_->errors.size(), size_t(1));

        shell_->findChild<QAction*>("LogClear")->trigger();
        QCOMPARE(view->model()->rowCount(), 0);
        QCOMPARE(shell_->log().count(), size_t(0));
        shell_->AddLogLine("after", LogNotice);
        QTRY_COMPARE(view->model()->rowCount(), 1);
        QCOMPARE(view->model()->index(0, 0).data().toString(), QString(" after"));
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

    // Another device resets the image: unsaved edits are first offered for saving with the
    // close question. Cancel, or a save that does not happen, keeps the device and the edits.
    void aDeviceChangeAsksBeforeDiscardingEdits() {
        const std::string e9 = "MC68HC11  E9 (D82R)", a1 = "MC68HC11  A1 (1D47J)";
        std::string chosen = e9;
        shell_->deviceDialog = [&] { shell_->devices().selectDevice(chosen); };
        int saves = 0;
        bool saveSucceeds = false;
        shell_->saveDialog = [&] {
            ++saves;
            return saveSucceeds;
        };
        shell_->updateCommands();
        auto* button = find<QToolButton>("DeviceIDButton");
        button->click();
        auto& model = shell_->hexModel();
        shell_->hexEdit().editor().GoToAddress(0xB600);
        shell_->hexEdit().editor().TypeCharKey('J');
        QVERIFY(model.IsModified());
        QTRY_VERIFY(shell_->windowTitle().startsWith("*"));
        const auto keeps = [&] {
            QCOMPARE(shell_->devices().selectedDevice(), e9);
            QCOMPARE(find<QLineEdit>("DeviceIDValue")->text(), QString::fromStdString(e9));
            QCOMPARE(int(model.image.ReadData(0xB600)), int('J'));
            QVERIFY(!model.image.IsUndoEmpty());
            QVERIFY(shell_->windowTitle().startsWith("*"));
            QVERIFY(!button->isChecked());
        };
        chosen = a1;
        sink_->questions.clear();
        sink_->answer = Answer::Cancel;
        button->click();
        QCOMPARE(sink_->questions, std::vector<std::string>{"Save buffer to file ?"});
        keeps();
        sink_->answer = Answer::Yes;
        button->click();
        QCOMPARE(saves, 1);
        keeps();
        // The device chosen again, the answer Yes and the save done: then the change.
        saveSucceeds = true;
        button->click();
        QCOMPARE(saves, 2);
        QCOMPARE(shell_->devices().selectedDevice(), a1);
        QCOMPARE(int(model.image.ReadData(0xB600)), 0xFF);
        QVERIFY(model.image.IsUndoEmpty());
        // No discards the edits and changes the device.
        shell_->hexEdit().editor().TypeCharKey('K');
        chosen = e9;
        sink_->answer = Answer::No;
        button->click();
        QCOMPARE(saves, 2);
        QCOMPARE(shell_->devices().selectedDevice(), e9);
        QCOMPARE(shell_->log().storedLine(shell_->log().count() - 1), "0" + e9 + " selected.");
        QVERIFY(model.image.IsUndoEmpty());
        QCOMPARE(sink_->questions.size(), size_t(4));
    }

    // Ctrl+Tab and Ctrl+PgDn turn to the next sequence page, Ctrl+Shift+Tab and Ctrl+PgUp to
    // the one before, wherever the focus is in the window.
    void pageKeysWorkFromAnywhereInTheWindow() {
        auto* pages = find<QTabWidget>("SeqWin1");
        auto* log = shell_->findChild<LogView*>("StatusWin");
        QVERIFY(log != nullptr);
        struct Case {
            QWidget* focus;
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            int page;  // after the key, from the Read page
        };
        const Case cases[] = {
            {log, Qt::Key_Tab, Qt::ControlModifier, 2},
            {log, Qt::Key_PageDown, Qt::ControlModifier, 2},
            {find<QLineEdit>("DeviceIDValue"), Qt::Key_PageUp, Qt::ControlModifier, 0},
            {log, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 0},
        };
        for (const Case& c : cases) {
            pages->setCurrentIndex(1);
            c.focus->setFocus();
            QTRY_VERIFY(c.focus->hasFocus());
            QTest::keyClick(c.focus, c.key, c.modifiers);
            QCOMPARE(pages->currentIndex(), c.page);
        }
        pages->setCurrentIndex(2);
        QTest::keyClick(log, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(pages->currentIndex(), 0);
    }

    // An option button reached with Tab is framed, down or up.
    void optionButtonsShowTheFocus() {
        shell_->deviceDialog = [&] { shell_->devices().selectDevice("MC68HC11  E9 (D82R)"); };
        shell_->updateCommands();
        find<QToolButton>("DeviceIDButton")->click();
        find<QTabWidget>("SeqWin1")->setCurrentIndex(1);
        auto* button = find<QToolButton>("ReadEepromOn");
        QVERIFY(button->isEnabled());
        for (bool down : {false, true}) {
            button->setChecked(down);
            find<QToolButton>("ReadFlashOn")->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(!button->hasFocus());
            const QImage plain = button->grab().toImage();
            button->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(button->hasFocus());
            QVERIFY2(button->grab().toImage() != plain, down ? "down" : "up");
        }
        button->setChecked(false);
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
