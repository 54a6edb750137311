// While a device read holds the image, the windows that would change it refuse with the busy
// message and stay as they are: the load and save dialogs, the options dialog's Apply and OK,
// Edit Cell's OK, the Fill dialog and typing in the grid.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "core/platform/atomic_file.h"
#include "core/image/editor_messages.h"
#include "hex_edit_test_support.h"
#include "shell_test_support.h"
#include "ui/files/explaine.h"
#include "ui/files/load_dialog.h"
#include "ui/files/save_dialog.h"
#include "ui/image/dump_grid.h"
#include "ui/image/hex_options_dialog.h"

using namespace jqz;
using test::click;
using test::onModal;
using test::setField;

namespace {

using Owner = MemoryImage::BulkOwner;
const std::vector<std::string> kBusy{kImageBusyMessage};

}  // namespace

class TestReadRefusals : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    test::EditorUnderTest e_;

    MemoryImage& image() { return e_.model->image; }

private slots:
    void init() { e_.make(); }
    void cleanup() { e_.reset(); }

    void loadAndSaveDialogsStayOpen() {
        test::RecordingSink sink;
        TProgShell shell(test::ShellPathsIn(dir_.path()), &sink);
        MemoryImage& shown = shell.hexModel().image;
        const std::string s19 = (dir_.path() + "/data.s19").toStdString();
        (void)WriteFileAtomically(s19, "S1061000010203E3\r\n");
        shown.BeginBulk(Owner::DeviceRead);
        bool loadOpen = false;
        onModal([&](QDialog* d) {
            d->findChild<QLineEdit*>("Edit1")->setText(QString::fromStdString(s19));
            d->findChild<QPushButton*>("Button2")->click();
            loadOpen = d->isVisible();
            d->reject();
        });
        shell.action("EditOpenFile")->trigger();
        QVERIFY(loadOpen);
        QCOMPARE(sink.errors, kBusy);
        QCOMPARE(shown.ReadData(0x1000), std::uint8_t{0xFF});

        const QString saved = dir_.path() + "/saved.jef";
        bool saveOpen = false;
        onModal([&](QDialog* d) {
            onModal([&](QDialog* browser) {
                browser->findChild<QLineEdit*>("fileNameEdit")->setText(saved);
                browser->accept();
            });
            d->findChild<QPushButton*>("Button1")->click();
            d->findChild<QPushButton*>("Button2")->click();
            saveOpen = d->isVisible();
            d->reject();
        });
        shell.action("EditSaveFile")->trigger();
        QVERIFY(saveOpen);
        QCOMPARE(sink.errors, (std::vector<std::string>{kImageBusyMessage, kImageBusyMessage}));
        QVERIFY(!QFileInfo::exists(saved));
        QVERIFY(test::LogTexts(shell).empty());
        shown.EndBulk(Owner::DeviceRead);
    }

    void optionsApplyAndOkKeepTheDialogOpen() {
        image().WriteData(0x50, 1);  // an edited mark that an Apply would clear
        THoptions options(*e_.edit);
        image().BeginBulk(Owner::DeviceRead);
        QStringList states;
        onModal([&](QDialog* d) {
            d->findChild<QComboBox*>("ComboBox5")->setCurrentIndex(12);
            auto* apply = d->findChild<QPushButton*>("Button3");
            apply->click();
            states << (apply->isEnabled() ? "apply on" : "apply off");
            click(d, "Button1");
            states << (d->isVisible() ? "open" : "closed");
            d->reject();
        });
        options.exec();
        image().EndBulk(Owner::DeviceRead);
        QCOMPARE(states, (QStringList{"apply on", "open"}));
        QCOMPARE(e_.sink->errors, (std::vector<std::string>{kImageBusyMessage, kImageBusyMessage}));
        QCOMPARE(e_.edit->GetAppearance().WorkColor, (Rgb{0, 0, 255}));
    }

    void editCellOkKeepsTheDialogOpen() {
        e_.model->description.putRow(0, {0x20, 48, false, "keep"});
        e_.edit->description()->show();
        QVERIFY(QTest::qWaitForWindowExposed(e_.edit->description()));
        image().BeginBulk(Owner::DeviceRead);
        bool stillOpen = false;
        onModal([&](QDialog* d) {
            setField(d, "ComboBox4", "0x5A");
            setField(d, "ComboBox1", "changed");
            click(d, "Button1");
            stillOpen = d->isVisible();
            click(d, "Button2");
        });
        DescriptionGrid* grid = e_.edit->description()->grid();
        const QPoint at(40, 5);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        image().EndBulk(Owner::DeviceRead);
        QVERIFY(stillOpen);
        QCOMPARE(e_.sink->errors, kBusy);
        QCOMPARE(image().ReadData(0x20), std::uint8_t{0});
        QCOMPARE(e_.model->description.row(0), (ImageDescription::Row{"0x0020", "keep"}));
    }

    void fillAndTypingAreRefused() {
        e_.edit->show();
        e_.edit->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(e_.edit.get()));
        image().BeginBulk(Owner::DeviceRead);
        bool stillOpen = false;
        onModal([&](QDialog* d) {
            setField(d, "ComboBox1", "0x77");
            click(d, "Button1");
            stillOpen = d->isVisible();
            click(d, "Button2");
        });
        e_.edit->action("EditFill")->trigger();
        QTest::keyClick(e_.edit->hexGrid(), '4');
        QTest::keyClick(e_.edit->charGrid(), 'A');
        image().EndBulk(Owner::DeviceRead);
        QCOMPARE(e_.sink->errors, (std::vector<std::string>(3, kImageBusyMessage)));
        QCOMPARE(image().ReadData(0), std::uint8_t{0});
        QCOMPARE(image().CellColor(0), (Rgb{0, 0, 255}));
        QVERIFY(stillOpen);
    }
};

QTEST_MAIN(TestReadRefusals)
#include "tst_read_refusals.moc"
