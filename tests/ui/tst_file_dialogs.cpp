// The load and save dialogs behind F3 and F2 of the main window.
#include <QApplication>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QPrinter>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>

#include "core/platform/atomic_file.h"
#include "core/files/image_files.h"
#include "ui/app/log_view.h"
#include "ui/app/prog_shell.h"
#include "ui/files/load_dialog.h"
#include "ui/files/print_dialog.h"
#include "ui/files/save_dialog.h"
#include "../core/test_support.h"
#include "shell_test_support.h"
#include "shown_caption.h"

using namespace jqz;

namespace {

using ScriptedSink = test::RecordingSink;

// Runs `inside` once the next modal dialog of type T is up; fails the test if none comes.
template <typename T>
void whenModal(std::function<void(T*)> inside) {
    QTimer::singleShot(0, [inside] {
        T* dialog = nullptr;
        for (int i = 0; i < 200 && dialog == nullptr; ++i) {
            dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (dialog == nullptr) QTest::qWait(5);
        }
        QVERIFY2(dialog != nullptr, "the dialog did not come up");
        inside(dialog);
    });
}

template <typename T>
T* child(QObject* parent, const char* name) {
    T* c = parent->findChild<T*>(name);
    if (c == nullptr) qWarning("no control %s", name);
    return c;
}

void chooseFilter(QFileDialog* browser, const QString& name) {
    // As the user does: through the browser's own filter list.
    auto* types = browser->findChild<QComboBox*>("fileTypeCombo");
    QVERIFY(types != nullptr);
    const int index = types->findText(name + " (", Qt::MatchStartsWith);
    QVERIFY2(index >= 0, qPrintable(name));
    types->setCurrentIndex(index);
    emit types->activated(index);
    emit types->textActivated(types->itemText(index));
}

// Types a name into the browser's name field, as the user does.
void typeName(QFileDialog* browser, const QString& name) {
    auto* field = browser->findChild<QLineEdit*>("fileNameEdit");
    QVERIFY(field != nullptr);
    field->setText(name);
}

}  // namespace

class TestFileDialogs : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    ShellPaths paths() const { return test::ShellPathsIn(dir_.path()); }
    std::string file(const QString& name, const std::string& text) const {
        const std::string path = (dir_.path() + "/" + name).toStdString();
        (void)WriteFileAtomically(path, text);
        return path;
    }

private slots:
    // The browsers never open in the folder the program was started in: the first in the
    // user's Documents folder, every later one (Load, Save, Print to File) in the folder of
    // the file chosen last. (First here: no browser of this program has been used yet.)
    void browsersStartInDocumentsThenInTheLastFolder() {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(QDir().mkpath(documents));
        QVERIFY(QDir(dir_.path()).mkpath("chosen"));
        const QString chosen = dir_.path() + "/chosen/work.jef";
        QVERIFY(QDir::current().absolutePath() != QDir(documents).absolutePath());
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        auto browse = [&](QAction* command, const char* button, const QString& expected,
                          const QString& choose) {
            QString opened;
            whenModal<QDialog>([&](QDialog* d) {
                whenModal<QFileDialog>([&](QFileDialog* browser) {
                    opened = browser->directory().absolutePath();
                    if (choose.isEmpty()) return browser->reject();
                    typeName(browser, choose);
                    static_cast<QDialog*>(browser)->accept();
                });
                child<QPushButton>(d, button)->click();
                if (d->isVisible()) d->reject();
            });
            command->trigger();
            QCOMPARE(opened, QDir(expected).absolutePath());
        };
        browse(shell.action("EditSaveFile"), "Button1", documents, chosen);
        browse(shell.action("EditOpenFile"), "Button1", dir_.path() + "/chosen", {});
        // Print to a file: its browser comes at OK.
        QString printOpened;
        whenModal<TPrintd>([&](TPrintd* d) {
            d->printer().setOutputFormat(QPrinter::PdfFormat);
            d->printer().setOutputFileName({});
            whenModal<QFileDialog>([&](QFileDialog* browser) {
                printOpened = browser->directory().absolutePath();
                browser->reject();
            });
            child<QPushButton>(d, "Button2")->click();
            if (d->isVisible()) d->reject();
        });
        shell.action("EditPrint")->trigger();
        QCOMPARE(printOpened, QDir(dir_.path() + "/chosen").absolutePath());
    }

    void theFileMenuHoldsOpenAndSave() {
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        QCOMPARE(shell.action("EditOpenFile")->shortcut(), QKeySequence(Qt::Key_F3));
        QCOMPARE(shell.action("EditSaveFile")->shortcut(), QKeySequence(Qt::Key_F2));
        QVERIFY(shell.action("EditOpenFile")->isEnabled());
        QVERIFY(shell.action("EditSaveFile")->isEnabled());
        auto* menu = shell.findChild<QMenu*>("MFile");
        QVERIFY(menu->actions().contains(shell.action("EditOpenFile")));
        QVERIFY(menu->actions().contains(shell.action("EditSaveFile")));
    }

    void loadDetectsTheFormatAndLoads() {
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        const std::string s19 = file("data.s19", "S0060000616263D3\r\nS1061000010203E3\r\nS9030000FC\r\n");
        const std::string missing = (dir_.path() + "/missing.s19").toStdString();
        bool ran = false;
        whenModal<TLoadf>([&](TLoadf* d) {
            QCOMPARE(d->windowTitle(), QString("Load File Into Buffer"));
            auto* edit1 = child<QLineEdit>(d, "Edit1");
            auto* ok = child<QPushButton>(d, "Button2");
            auto* formats = child<QComboBox>(d, "ComboBox1");
            QVERIFY(!ok->isEnabled());
            QVERIFY(!child<QLineEdit>(d, "Edit2")->isEnabled());
            QCOMPARE(child<QLineEdit>(d, "Edit3")->text(), QString("0xFFFFFF"));

            edit1->setText(QString::fromStdString(missing));
            QCOMPARE(sink.errors, std::vector<std::string>{"File not Accessible or not Exist!"});
            QVERIFY(!ok->isEnabled());
            edit1->setText(QString::fromStdString(s19));
            QVERIFY(ok->isEnabled());
            QCOMPARE(formats->count(), 2);
            QCOMPARE(formats->itemText(0), QString("Motorola S"));
            QCOMPARE(formats->itemText(1), QString("Binary"));
            QCOMPARE(formats->currentIndex(), 0);

            child<QCheckBox>(d, "CheckBox1")->click();
            QVERIFY(child<QLineEdit>(d, "Edit2")->isEnabled());
            QVERIFY(child<QLabel>(d, "Label6")->isEnabled());
            child<QLineEdit>(d, "Edit4")->setText("-0x0800");
            auto* ones = child<QGroupBox>(d, "RadioGroup1")->findChildren<QRadioButton*>().at(2);
            QCOMPARE(ones->text(), QString("Clear Buffer With Ones  (0xFF)"));
            ones->click();
            ok->click();
            QVERIFY(!d->isVisible());
            QCOMPARE(d->result(), int(QDialog::Accepted));
            ran = true;
        });
        shell.action("EditOpenFile")->trigger();
        QVERIFY(ran);
        QCOMPARE(shell.hexModel().image.ReadData(0x0800), std::uint8_t{1});
        QCOMPARE(shell.hexModel().image.ReadData(0x1000), std::uint8_t{0xFF});
        QCOMPARE(shell.hexModel().description.projectName(), std::string("abc"));
        QCOMPARE(test::LogTexts(shell), (std::vector<std::string>{"Buffer Cleared with 0xFF",
                                                            "Reading file : " + s19,
                                                            "Read file complete"}));
        QCOMPARE(shell.recentFiles(), std::vector<std::string>{s19});
        QCOMPARE(sink.errors.size(), std::size_t{1});

        // The dialog is kept: the next use shows the same fields.
        whenModal<TLoadf>([&](TLoadf* d) {
            QCOMPARE(child<QLineEdit>(d, "Edit4")->text(), QString("-0x0800"));
            QVERIFY(!child<QCheckBox>(d, "CheckBox1")->isChecked());
            d->reject();
        });
        shell.action("EditOpenFile")->trigger();
        QCOMPARE(test::LogTexts(shell).size(), std::size_t{3});

        // The recent list goes to the settings file at shutdown.
        shell.FormClose();
        const auto settings = ReadWholeFile(paths().settingsFile);
        QVERIFY(settings.has_value());
        QVERIFY(settings->find("LOF0=" + s19 + "\r\n") != std::string::npos);
    }

    // A file without an extension is taken as named, in the browser under every filter and
    // typed into the file name field; a typed name is looked at on OK as a chosen one is.
    void filesWithoutAnExtensionAndTypedNames() {
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        const std::string noext = file("noext", "S1061000010203E3\r\nS9030000FC\r\n");
        const std::string ihx = file("data.ihx", ":0300300002337A1E\r\n:00000001FF\r\n");
        const QString missing = dir_.path() + "/not there";
        bool ran = false;
        whenModal<TLoadf>([&](TLoadf* d) {
            auto* edit1 = child<QLineEdit>(d, "Edit1");
            auto* ok = child<QPushButton>(d, "Button2");
            auto* formats = child<QComboBox>(d, "ComboBox1");
            for (const QString filter : {"JQZ Extended Format", "All"}) {
                whenModal<QFileDialog>([&](QFileDialog* browser) {
                    chooseFilter(browser, filter);
                    typeName(browser, QString::fromStdString(noext));
                    static_cast<QDialog*>(browser)->accept();  // as its Open button does
                });
                edit1->clear();
                child<QPushButton>(d, "Button1")->click();
                QCOMPARE(edit1->text(), QDir::toNativeSeparators(QString::fromStdString(noext)));
                QCOMPARE(formats->itemText(0), QString("Motorola S"));
            }
            // The Intel HEX filter shows ".ihx" files.
            whenModal<QFileDialog>([&](QFileDialog* browser) {
                chooseFilter(browser, "Intel HEX");
                QTRY_VERIFY(browser->findChild<QAbstractItemView*>("listView") != nullptr);
                auto* list = browser->findChild<QAbstractItemView*>("listView");
                QStringList shown;
                const auto names = [&] {
                    shown.clear();
                    for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
                        shown << list->model()->index(r, 0, list->rootIndex()).data().toString();
                    return shown;
                };
                // The listing is refreshed as the browser's folder and filter settle.
                QTRY_VERIFY2(names().contains("data.ihx") && !shown.contains("noext") &&
                                 !shown.contains("data.s19"),
                             qPrintable(shown.join(", ")));
                browser->reject();
            });
            child<QPushButton>(d, "Button1")->click();

            // Typed: nothing is said while typing; OK looks at the name.
            edit1->setFocus();
            edit1->clear();
            QTest::keyClicks(edit1, missing);
            QVERIFY(sink.errors.empty());
            QVERIFY(ok->isEnabled());
            ok->click();
            QCOMPARE(sink.errors, std::vector<std::string>{"File not Accessible or not Exist!"});
            QVERIFY(d->isVisible());
            QVERIFY(!ok->isEnabled());
            edit1->selectAll();
            QTest::keyClicks(edit1, QString::fromStdString(ihx));
            QCOMPARE(formats->count(), 0);
            QTest::keyClick(edit1, Qt::Key_Return);
            QVERIFY(!d->isVisible());
            QCOMPARE(d->result(), int(QDialog::Accepted));
            ran = true;
        });
        shell.action("EditOpenFile")->trigger();
        QVERIFY(ran);
        QCOMPARE(sink.errors.size(), size_t(1));
        QCOMPARE(int(shell.hexModel().image.ReadData(0x0031)), 0x33);
        QCOMPARE(shell.recentFiles().front(), ihx);
    }

    // File names keep the system's encoding: a file in a folder named with an accent opens,
    // and its name reaches the recent list and the settings file as the system spells it.
    void aFileInAFolderWithAnAccentOpens() {
        QVERIFY(QDir(dir_.path()).mkpath(QString::fromUtf8("Café")));
        const QString name = dir_.path() + QString::fromUtf8("/Café/data.s19");
        const std::string bytes = name.toUtf8().toStdString();
        QVERIFY(WriteFileAtomically(bytes, "S1061000010203E3\r\nS9030000FC\r\n").empty());
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        whenModal<TLoadf>([&](TLoadf* d) {
            child<QLineEdit>(d, "Edit1")->setText(name);
            child<QPushButton>(d, "Button2")->click();
            QVERIFY(!d->isVisible());
        });
        shell.action("EditOpenFile")->trigger();
        QVERIFY(sink.errors.empty());
        QCOMPARE(shell.hexModel().image.ReadData(0x1001), std::uint8_t{2});
        QCOMPARE(shell.recentFiles(), std::vector<std::string>{bytes});

        // The recent list offers it under its own name, and picking it names the file again.
        QStringList offered;
        QString picked;
        whenModal<TLoadf>([&](TLoadf* d) {
            for (QAction* a : child<QMenu>(d, "OpenedFileList")->actions()) offered << a->data().toString();
            child<QMenu>(d, "OpenedFileList")->actions().front()->trigger();
            picked = child<QLineEdit>(d, "Edit1")->text();
            d->reject();
        });
        shell.action("EditOpenFile")->trigger();
        QCOMPARE(offered, QStringList{name});
        QCOMPARE(picked, name);
        QVERIFY(sink.errors.empty());

        shell.FormClose();
        const auto settings = ReadWholeFile(paths().settingsFile);
        QVERIFY(settings && settings->find("LOF0=" + bytes + "\r\n") != std::string::npos);
    }

    // Names typed into the Save dialog reach the disk as typed, whatever their characters, and
    // the log names the file so too.
    void savedNamesKeepEveryCharacter() {
        const QString names[] = {QString::fromUtf8("données.s19"), QString::fromUtf8("程序映像.s19"),
                                 QString::fromUtf8("Ωμέγα – ½.s19")};
        for (const QString& name : names) {
            ScriptedSink sink;
            sink.answer = Answer::Yes;
            TProgShell shell(paths(), &sink);
            shell.hexModel().image.WriteData(0x20, 0x42);
            const QString path = dir_.path() + "/" + name;
            whenModal<TSavef>([&](TSavef* d) {
                whenModal<QFileDialog>([&](QFileDialog* browser) {
                    typeName(browser, path);
                    static_cast<QDialog*>(browser)->accept();  // as its Save button does
                });
                child<QPushButton>(d, "Button1")->click();
                // As Windows writes names: with backslashes there.
                QCOMPARE(child<QLineEdit>(d, "Edit1")->text(), QDir::toNativeSeparators(path));
                child<QComboBox>(d, "ComboBox1")->setCurrentIndex(1);
                child<QCheckBox>(d, "CheckBox1")->click();
                child<QLineEdit>(d, "Edit3")->setText("0x0021");
                child<QLineEdit>(d, "Edit2")->setText("0x0020");
                child<QPushButton>(d, "Button2")->click();
                if (d->isVisible()) d->reject();  // the failure shows below
            });
            shell.action("EditSaveFile")->trigger();
            QCOMPARE(sink.errors, std::vector<std::string>{});
            QCOMPARE(sink.questions, std::vector<std::string>{});
            QVERIFY2(QDir(dir_.path()).entryList(QDir::Files).contains(name), qPrintable(name));
            {
                QFile saved(path);
                QVERIFY(saved.open(QIODevice::ReadOnly));
                QVERIFY(saved.readAll().contains("S20600002042FF"));
            }
            auto* log = shell.findChild<LogView*>("StatusWin");
            QVERIFY(log != nullptr);
            QTRY_VERIFY(log->model()->rowCount() >= 1);
            QCOMPARE(log->model()->index(0, 0).data().toString().trimmed(),
                     "Writing file : " + QDir::toNativeSeparators(path));
            QVERIFY(QFile::remove(path));
        }
    }

    void browseAndTheRecentList() {
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        const std::string a = file("a.jef", "X00004000000FB\r\n");
        const std::string b = file("b & c.bin", std::string(10, '\x01'));
        shell.recentFiles() = {a, b};
        bool ran = false;
        whenModal<TLoadf>([&](TLoadf* d) {
            auto* edit1 = child<QLineEdit>(d, "Edit1");
            // The recent list, under the file name.
            QTimer::singleShot(0, [&] {
                QMenu* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                QVERIFY(popup != nullptr);
                QCOMPARE(popup->actions().size(), 2);
                QCOMPARE(test::ShownCaption(popup->actions()[0]), QString::fromStdString("0 " + a));
                QCOMPARE(test::ShownCaption(popup->actions()[1]), QString("1 ") + QString::fromStdString(b));
                // Under the name; a list wider than the room on its right moves left, as
                // every menu does.
                QPoint at = d->mapToGlobal(QPoint(7, 60));
                const QRect screen = popup->screen()->availableGeometry();
                at.setX(qMax(screen.left(), qMin(at.x(), screen.right() + 1 - popup->width())));
                QCOMPARE(popup->pos(), at);
                popup->actions()[1]->trigger();
                popup->close();
            });
            child<QToolButton>(d, "Button4")->click();
            QCOMPARE(edit1->text().toStdString(), b);
            QCOMPARE(child<QComboBox>(d, "ComboBox1")->count(), 1);

            // The browser.
            whenModal<QFileDialog>([&](QFileDialog* browser) {
                QCOMPARE(browser->objectName(), QString("OpenDialog1"));
                QCOMPARE(browser->nameFilters(),
                         (QStringList{"JQZ Extended Format (*.jef)",
                                      "Motorola (*.s19 *.s28 *.s37 *.s1 *.s2 *.s3 *.srec *.mot *.mxt *.sx *.exo)",
                                      "Binary (*.bin)", "Intel HEX (*.hex *.ihx)", "All (*.*)"}));
                QCOMPARE(browser->fileMode(), QFileDialog::ExistingFile);
                QCOMPARE(browser->defaultSuffix(), QString());
                browser->selectFile(QString::fromStdString(a));
                static_cast<QDialog*>(browser)->accept();  // as its Open/Save button does
            });
            child<QPushButton>(d, "Button1")->click();
            QCOMPARE(edit1->text(), QDir::toNativeSeparators(QString::fromStdString(a)));
            QCOMPARE(edit1->selectedText(), edit1->text());
            QCOMPARE(child<QComboBox>(d, "ComboBox1")->itemText(0), QString("JQZ Extended Format"));

            // The same file chosen again after it changed is looked at again.
            (void)WriteFileAtomically(a, "S1061000010203E3\r\n");
            whenModal<QFileDialog>([&](QFileDialog* browser) {
                browser->selectFile(QString::fromStdString(a));
                static_cast<QDialog*>(browser)->accept();
            });
            child<QPushButton>(d, "Button1")->click();
            QCOMPARE(child<QComboBox>(d, "ComboBox1")->itemText(0), QString("Motorola S"));
            d->reject();
            ran = true;
        });
        shell.action("EditOpenFile")->trigger();
        QVERIFY(ran);
        QVERIFY(shell.log().storedLines().empty());  // cancel loads nothing
    }

    void saveFollowsTheBrowsersFilterAndMarksTheImageSaved() {
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        shell.setBufferSaved(false);
        shell.hexModel().image.WriteData(0x20, 0x42);
        const QString base = dir_.path() + "/saved";
        bool ran = false;
        whenModal<TSavef>([&](TSavef* d) {
            QCOMPARE(d->windowTitle(), QString("Save File From Buffer"));
            auto* formats = child<QComboBox>(d, "ComboBox1");
            auto* unimplemented = child<QCheckBox>(d, "CheckBox2");
            QCOMPARE(formats->count(), 6);
            QCOMPARE(formats->itemText(2), QString("Motorola S (4 byte address)"));
            QCOMPARE(formats->itemText(4), QString("Intel HEX (16 byte records)"));
            QCOMPARE(unimplemented->text(), QString("Save Unimplemented  Areas"));
            QCOMPARE(child<QLineEdit>(d, "Edit3")->text(), QString("0x0FFFF"));
            QCOMPARE(child<QLabel>(d, "Label5")->text(), QString("Higest Buffer address to Save :"));
            QVERIFY(!child<QPushButton>(d, "Button2")->isEnabled());

            // Binary through the browser's filter: the name gets its extension.
            whenModal<QFileDialog>([&](QFileDialog* browser) {
                QCOMPARE(browser->windowTitle(), QString("Save File"));
                QCOMPARE(browser->acceptMode(), QFileDialog::AcceptSave);
                chooseFilter(browser, "Binary");
                typeName(browser, base);
                static_cast<QDialog*>(browser)->accept();  // as its Open/Save button does
            });
            child<QPushButton>(d, "Button1")->click();
            QCOMPARE(child<QLineEdit>(d, "Edit1")->text(), QDir::toNativeSeparators(base + ".bin"));
            QCOMPARE(formats->currentText(), QString("Binary"));
            QVERIFY(!unimplemented->isEnabled());
            QVERIFY(child<QPushButton>(d, "Button2")->isEnabled());

            // Intel HEX through its filter: ".hex", 16-byte records.
            whenModal<QFileDialog>([&](QFileDialog* browser) {
                chooseFilter(browser, "Intel HEX");
                typeName(browser, base);
                static_cast<QDialog*>(browser)->accept();
            });
            child<QPushButton>(d, "Button1")->click();
            QCOMPARE(child<QLineEdit>(d, "Edit1")->text(), QDir::toNativeSeparators(base + ".hex"));
            QCOMPARE(formats->currentText(), QString("Intel HEX (16 byte records)"));
            QVERIFY(unimplemented->isEnabled());

            // "All" chooses the extended format, whatever the name's extension.
            whenModal<QFileDialog>([&](QFileDialog* browser) {
                chooseFilter(browser, "All");
                typeName(browser, base + ".s19");
                static_cast<QDialog*>(browser)->accept();  // as its Open/Save button does
            });
            child<QPushButton>(d, "Button1")->click();
            QCOMPARE(child<QLineEdit>(d, "Edit1")->text(), QDir::toNativeSeparators(base + ".s19"));
            QCOMPARE(formats->currentText(), QString("JQZ Extended Format"));
            QVERIFY(unimplemented->isEnabled());

            // The name says S records and the format says otherwise: asked first; No leaves
            // the dialog open and writes nothing.
            sink.answer = Answer::No;
            child<QPushButton>(d, "Button2")->click();
            QCOMPARE(sink.questions,
                     std::vector<std::string>{"The file name ends in .s19, which stands for the Motorola S format, "
                                              "but the format chosen is JQZ Extended Format.\r\n\r\n"
                                              "Save as JQZ Extended Format ?"});
            QVERIFY(d->isVisible());
            QVERIFY(!QFileInfo::exists(base + ".s19"));
            sink.questions.clear();

            // The 2-byte S format asks first; No leaves the dialog open and writes nothing.
            formats->setCurrentIndex(2);
            sink.answer = Answer::No;
            child<QPushButton>(d, "Button2")->click();
            QVERIFY(d->isVisible());
            QCOMPARE(sink.questions.size(), std::size_t{1});
            QVERIFY(shell.log().storedLines().empty());
            QVERIFY(!QFileInfo::exists(base + ".s19"));

            // A range above the image is refused.
            child<QCheckBox>(d, "CheckBox1")->click();
            child<QLineEdit>(d, "Edit3")->setText("0x10000");
            formats->setCurrentIndex(1);
            child<QPushButton>(d, "Button2")->click();
            QCOMPARE(sink.errors, std::vector<std::string>{"Too big Address value"});
            QVERIFY(d->isVisible());

            child<QLineEdit>(d, "Edit3")->setText("0x0021");
            child<QLineEdit>(d, "Edit2")->setText("0x0020");
            child<QPushButton>(d, "Button2")->click();
            QVERIFY(!d->isVisible());
            ran = true;
        });
        shell.action("EditSaveFile")->trigger();
        QVERIFY(ran);
        QVERIFY(shell.bufferSaved());
        QVERIFY(shell.hexModel().image.IsUndoEmpty());
        QCOMPARE(shell.hexModel().image.CellColor(0x20), shell.hexModel().image.WorkColor());
        const auto text = ReadWholeFile((base + ".s19").toStdString());
        QVERIFY(text.has_value());
        QVERIFY(text->find("S20600002042FF") != std::string::npos);
        QCOMPARE(test::LogTexts(shell), (std::vector<std::string>{"Writing file : " + QDir::toNativeSeparators(base + ".s19").toStdString(),
                                                            "Write file complete"}));

        // Cancel leaves the saved flag as it was.
        shell.setBufferSaved(false);
        whenModal<TSavef>([](TSavef* d) { d->reject(); });
        shell.action("EditSaveFile")->trigger();
        QVERIFY(!shell.bufferSaved());
    }

    void aFailedSaveKeepsTheDialogOpen() {
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        shell.setBufferSaved(false);
        bool ran = false;
        whenModal<TSavef>([&](TSavef* d) {
            whenModal<QFileDialog>([&](QFileDialog* browser) {
                typeName(browser, dir_.path() + "/x.jef");
                static_cast<QDialog*>(browser)->accept();  // as its Open/Save button does
            });
            child<QPushButton>(d, "Button1")->click();
            QVERIFY(QDir(dir_.path()).mkdir("x.jef"));  // the target is now a folder
            child<QPushButton>(d, "Button2")->click();
            QVERIFY(d->isVisible());
            QCOMPARE(sink.errors.size(), std::size_t{1});
            const auto lines = test::LogTexts(shell);
            QCOMPARE(lines.size(), std::size_t{2});
            QCOMPARE(lines[1], sink.errors[0]);
            d->reject();
            ran = true;
        });
        shell.action("EditSaveFile")->trigger();
        QVERIFY(ran);
        QVERIFY(!shell.bufferSaved());
        QDir(dir_.path()).rmdir("x.jef");
    }

    // Cancel in the save dialog keeps the window open: the edits are not lost.
    void yesToTheCloseQuestionOpensTheSaveDialogWhoseCancelKeepsTheWindow() {
        ScriptedSink sink;
        TProgShell shell(paths(), &sink);
        shell.setBufferSaved(false);
        sink.answer = Answer::Yes;
        bool shown = false;
        whenModal<TSavef>([&](TSavef* d) {
            shown = true;
            d->reject();
        });
        QVERIFY(!shell.FormCloseQuery());
        QVERIFY(shown);
        shell.FormClose();
    }
};

QTEST_MAIN(TestFileDialogs)
#include "tst_file_dialogs.moc"
