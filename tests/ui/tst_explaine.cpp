// The description window with its Edit Cell dialog, and the Hex Editor Options dialog.
#include <QClipboard>
#include <QGuiApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QSpinBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>
#include <utility>

#include "core/platform/atomic_file.h"
#include "core/files/image_files.h"
#include "core/image/editor_messages.h"
#include "hex_edit_test_support.h"
#include "ui/image/grid_font.h"
#include "ui/files/explaine.h"
#include "ui/image/dump_grid.h"
#include "ui/image/hex_edit.h"
#include "ui/image/hex_options_dialog.h"
#include "ui/image/qt_clipboard.h"

using namespace jqz;
using test::click;
using test::field;
using test::history;
using test::onModal;
using test::setField;

// Types text as the keyboard does, characters beyond ASCII included.
void typeText(QWidget* widget, const QString& text) {
    for (QChar c : text) QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

class TestExplaine : public QObject {
    Q_OBJECT
    test::EditorUnderTest e_;

    TExplaine* window() { return e_.edit->description(); }
    ImageDescription& description() { return e_.model->description; }
    MemoryImage& image() { return e_.model->image; }
    void showDescription() {
        window()->show();
        window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window()));
    }
    // Double-clicks a grid row, which opens Edit Cell for it.
    void editRow(int row) {
        DescriptionGrid* grid = window()->grid();
        const QPoint at(40, row * DescriptionGrid::kRowHeight + 5);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    }

private slots:
    void init() {
        e_.make();
    }
    void cleanup() {
        e_.reset();
    }

    void createdWithOneRowAndRowActionsOff() {
        QVERIFY(!window()->isVisible());
        QCOMPARE(description().rowCount(), 1);
        QVERIFY(!window()->action("DeleteRow")->isEnabled());
        QCOMPARE(window()->action("AddRow")->statusTip(), QString("Add Row"));
        QCOMPARE(window()->action("DeleteRow")->statusTip(), QString("Delete Row"));
        QCOMPARE(window()->action("CellEdit")->statusTip(), QString("Edit memory cell"));
        QCOMPARE(window()->grid()->statusTip(), QString("Memory cell properties Editor"));
        QCOMPARE(window()->findChild<QLineEdit*>("ProjectName")->statusTip(), QString("Project Name"));
        QCOMPARE(window()->findChild<QPlainTextEdit*>("ProjNotes")->statusTip(), QString("Notes"));
    }

    void showCloseAndTheRowButtons() {
        description().setProjectName("Door");
        showDescription();
        QCOMPARE(window()->windowTitle(), QString("Door Description"));
        QVERIFY(window()->findChild<QLineEdit*>("ProjectName")->hasFocus());
        for (const char* a : {"AddRow", "DeleteRow", "CellEdit"})
            QVERIFY2(window()->action(a)->isEnabled(), a);
        auto* plus = window()->findChild<QToolButton*>("SpeedButton1");
        auto* minus = window()->findChild<QToolButton*>("SpeedButton2");
        QCOMPARE(plus->text(), QString("+"));
        QCOMPARE(minus->text(), QString("-"));
        plus->click();
        plus->click();
        QCOMPARE(description().rowCount(), 3);
        window()->grid()->setCurrentRow(0);
        minus->click();  // the last row goes, whichever is current
        QCOMPARE(description().rowCount(), 2);
        minus->click();
        minus->click();
        QCOMPARE(description().rowCount(), 1);
        window()->close();
        QVERIFY(!window()->action("AddRow")->isEnabled());
        QVERIFY(!minus->isEnabled());
    }

    void typingTheNamesSetsBothCaptions() {
        showDescription();
        auto* name = window()->findChild<QLineEdit*>("ProjectName");
        QTest::keyClicks(name, "Ab");
        QCOMPARE(description().projectName(), std::string("Ab"));
        QCOMPARE(window()->windowTitle(), QString("Ab Description"));
        QCOMPARE(e_.edit->windowTitle(), QString("Ab "));
        QTest::keyClicks(window()->findChild<QLineEdit*>("DeviceName"), "E9");
        QCOMPARE(e_.edit->windowTitle(), QString("Ab E9"));
        name->selectAll();
        QTest::keyClick(name, Qt::Key_Backspace);
        QCOMPARE(window()->windowTitle(), QString(" Description"));
        // Notes travel with CR LF; a description set from a file shows at once.
        QTest::keyClicks(window()->findChild<QPlainTextEdit*>("ProjNotes"), "a");
        QTest::keyClick(window()->findChild<QPlainTextEdit*>("ProjNotes"), Qt::Key_Return);
        QTest::keyClicks(window()->findChild<QPlainTextEdit*>("ProjNotes"), "b");
        QCOMPARE(description().notes(), std::string("a\r\nb"));
        description().setNotes("x\r\ny");
        QCOMPARE(window()->findChild<QPlainTextEdit*>("ProjNotes")->toPlainText(), QString("x\ny"));
        description().setDeviceName("K4");
        QCOMPARE(window()->findChild<QLineEdit*>("DeviceName")->text(), QString("K4"));
    }

    void editCellWritesTheCellAndTheRow() {
        image().WriteData(0xB600, 0x11);
        description().putRow(0, {0xB600, 48, false, "old"});
        showDescription();
        QString address, data, caption;
        int colour = -1, access = -1;
        onModal([&](QDialog* d) {
            caption = d->windowTitle();
            address = field(d, "ComboBox3");
            data = field(d, "ComboBox4");
            colour = d->findChild<QComboBox*>("ComboBox1")->currentIndex();
            access = d->findChild<QComboBox*>("ComboBox2")->currentIndex();
            setField(d, "ComboBox4", "0x5A");
            d->findChild<QComboBox*>("ComboBox1")->setCurrentIndex(3);
            d->findChild<QComboBox*>("ComboBox2")->setCurrentIndex(0);
            setField(d, "ComboBox5", "config");
            click(d, "Button1");
        });
        editRow(0);
        QCOMPARE(caption, QString("Edit Cell"));
        QCOMPARE(address, QString("0xB600"));
        QCOMPARE(data, QString("0x11"));
        QCOMPARE(colour, 48);
        QCOMPARE(access, 1);
        QCOMPARE(image().ReadData(0xB600), 0x5A);
        QVERIFY(image().IsReadOnly(0xB600));
        QCOMPARE(image().CellColor(0xB600), (Rgb{255, 0, 0}));
        QCOMPARE(description().row(0).comment, std::string("config"));
        QVERIFY(e_.model->undo.IsEmpty());
        e_.edit->GoToAddress(0xB600);
        QCOMPARE(e_.edit->statusText(3), QString("Read Only"));
    }

    // The description is 8-bit text in the code page: what is typed goes in as its bytes, and
    // the bytes of a file come out as their characters, in every window that shows them.
    void descriptionTextIsCodePageText() {
        showDescription();
        typeText(window()->findChild<QLineEdit*>("ProjectName"), QString::fromUtf8("Café"));
        typeText(window()->findChild<QLineEdit*>("DeviceName"), QString::fromUtf8("E9€"));
        typeText(window()->findChild<QPlainTextEdit*>("ProjNotes"), QString::fromUtf8("Größe"));
        QCOMPARE(description().projectName(), std::string("Caf\xE9"));
        QCOMPARE(description().deviceName(), std::string("E9\x80"));
        QCOMPARE(description().notes(), std::string("Gr\xF6\xDF" "e"));
        QCOMPARE(window()->windowTitle(), QString::fromUtf8("Café Description"));
        QCOMPARE(e_.edit->windowTitle(), QString::fromUtf8("Café E9€"));

        // The bytes go to the file as they are, and a file's bytes come back as characters.
        QTemporaryDir dir;
        const std::string path = (dir.path() + "/x.jef").toStdString();
        QCOMPARE(writeExtendedFile(path, image(), description(), {0, 0xF, false}), std::string());
        const auto bytes = ReadWholeFile(path);
        // The records carry the name's bytes in hexadecimal: C a f and 0xE9.
        QVERIFY(bytes && bytes->find("436166E9") != std::string::npos);
        description().setProjectName("");
        description().setNotes("");
        const std::string old = "Old \xE9t\xE9 \x80 \x81";
        description().setProjectName(old);
        description().putRow(0, {0x10, 48, false, old});
        QCOMPARE(window()->findChild<QLineEdit*>("ProjectName")->text(),
                 QString::fromUtf8("Old été € ") + QChar(0x81));
        QCOMPARE(window()->windowTitle(), QString::fromUtf8("Old été € ") + QChar(0x81) + " Description");

        // Edit Cell shows the comment as characters and stores what is typed as bytes.
        QString comment;
        onModal([&](QDialog* d) {
            comment = field(d, "ComboBox5");
            setField(d, "ComboBox5", QString::fromUtf8("Zähler"));
            click(d, "Button1");
        });
        editRow(0);
        QCOMPARE(comment, QString::fromUtf8("Old été € ") + QChar(0x81));
        QCOMPARE(description().row(0).comment, std::string("Z\xE4hler"));

        // The clipboard carries the characters, both ways.
        QtClipboard clipboard;
        clipboard.putText("Caf\xE9 \x80");
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8("Café €"));
        QGuiApplication::clipboard()->setText(QString::fromUtf8("Zähler"));
        QCOMPARE(clipboard.getText(), std::string("Z\xE4hler"));
    }

    // Opening Edit Cell on a row beyond the image shows what the image gives there, not what
    // the previous use left in the fields.
    void editCellShowsARowBeyondTheImage() {
        image().WriteData(0x10, 0xC3);
        description().putRow(0, {0x10, 12, false, "in"});
        description().putRow(1, {0x12345, 48, false, "out"});
        showDescription();
        QStringList seen;
        auto look = [&](QDialog* d) {
            seen << field(d, "ComboBox3") << field(d, "ComboBox4")
                 << QString::number(d->findChild<QComboBox*>("ComboBox1")->currentIndex())
                 << d->findChild<QComboBox*>("ComboBox2")->currentText() << field(d, "ComboBox5");
            click(d, "Button2");
        };
        onModal(look);
        editRow(0);
        onModal(look);
        editRow(1);
        QCOMPARE(seen, (QStringList{"0x0010", "0xC3", "12", "Read/Write", "in",
                                    "0x12345", "0x00", "0", "Read Only", "out"}));
    }

    void editCellRefusesAndReloads() {
        image().WriteData(0x10, 0xC3);
        image().SetReadOnly(0x10, true);
        description().putRow(0, {0x20, 48, false, "keep"});
        showDescription();
        QString reloadedData;
        int reloadedAccess = -1;
        bool stillOpen = false;
        QStringList addresses;
        onModal([&](QDialog* d) {
            auto* address = d->findChild<QComboBox*>("ComboBox3");
            address->lineEdit()->clear();
            QTest::keyClicks(address->lineEdit(), "0x0010");
            reloadedData = field(d, "ComboBox4");
            reloadedAccess = d->findChild<QComboBox*>("ComboBox2")->currentIndex();
            QTest::keyClicks(address->lineEdit(), "0");  // 0x00100: another cell
            setField(d, "ComboBox3", "0x10000");
            click(d, "Button1");
            stillOpen = d->isVisible();
            addresses = history(d, "ComboBox3");
            click(d, "Button2");
        });
        editRow(0);
        QCOMPARE(reloadedData, QString("0xC3"));
        QCOMPARE(reloadedAccess, 0);
        QVERIFY(stillOpen);
        QVERIFY(addresses.isEmpty());
        QCOMPARE(e_.sink->errors, std::vector<std::string>{kTooBigAddressMessage});
        QCOMPARE(description().row(0), (ImageDescription::Row{"0x0020", "keep"}));
    }

    void optionsDialogAppliesColoursAndFonts() {
        e_.edit->show();
        image().WriteData(0x50, 1);  // an edited mark
        description().putRow(0, {0x60, 3, false, "described"});
        THoptions options(*e_.edit);
        QStringList stateLog;
        onModal([&](QDialog* d) {
            auto* apply = d->findChild<QPushButton*>("Button3");
            stateLog << (apply->isEnabled() ? "apply on" : "apply off");
            stateLog << QString::number(d->findChild<QComboBox*>("ComboBox5")->currentIndex());
            stateLog << QString::number(d->findChild<QComboBox*>("ComboBox7")->currentIndex());
            d->findChild<QComboBox*>("ComboBox5")->setCurrentIndex(12);
            stateLog << (apply->isEnabled() ? "apply on" : "apply off");
            apply->click();
            stateLog << (d->isVisible() ? "open" : "closed");
            click(d, "Button1");
        });
        options.exec();
        QCOMPARE(stateLog, (QStringList{"apply off", "48", "63", "apply on", "open"}));
        QCOMPARE(image().CellColor(0x50), (Rgb{0, 255, 0}));
        // Described cells keep their own colour.
        QCOMPARE(image().CellColor(0x60), ColorIndexToColor(3));
        QCOMPARE(e_.edit->GetAppearance().WorkColor, (Rgb{0, 255, 0}));
        // Cancel drops what was not applied; Reset To Default fills in the defaults.
        int afterReset = -1;
        onModal([&](QDialog* d) {
            d->findChild<QComboBox*>("ComboBox7")->setCurrentIndex(0);
            click(d, "Button4");
            afterReset = d->findChild<QComboBox*>("ComboBox5")->currentIndex();
            click(d, "Button2");
        });
        options.exec();
        QCOMPARE(afterReset, 48);
        QCOMPARE(e_.edit->GetAppearance().BackgroundColor, (Rgb{255, 255, 255}));
        QCOMPARE(e_.edit->GetAppearance().WorkColor, (Rgb{0, 255, 0}));
        // A font from the list reaches the grids and the status bar.
        QString chosen;
        onModal([&](QDialog* d) {
            auto* right = d->findChild<QComboBox*>("ComboBox2");
            QVERIFY(right->count() > 0);
            right->setCurrentIndex(right->count() - 1);
            emit right->activated(right->count() - 1);
            chosen = right->currentText();
            click(d, "Button1");
        });
        options.exec();
        QCOMPARE(QString::fromStdString(e_.edit->GetAppearance().RightFont), chosen);
        // What is drawn is the family the grid makes of the chosen name on this machine,
        // whichever families happen to be installed: the name itself where it draws at a fixed
        // pitch, else a family that does (a "monospace" alias can resolve to a proportional
        // one), never a proportional one.
        const QFontInfo drawn(e_.edit->charGrid()->font());
        QCOMPARE(drawn.family(), QFontInfo(QFont(GridFontFamily(chosen))).family());
        QVERIFY2(drawn.fixedPitch(), qPrintable(drawn.family()));
        // The status bar names the family drawn, not the name asked for.
        QCOMPARE(e_.edit->statusText(4), "Char Set: " + drawn.family());
    }

    // "System" and "Terminal" are no fonts here: the grids draw them with the desktop's
    // fixed-width font, the dialog shows that font, offers fixed-pitch fonts only and a size,
    // and the names stay as they were.
    void optionsShowTheFontInUseAndTakeASize() {
        e_.edit->show();
        QCOMPARE(e_.edit->GetAppearance().LeftFont, std::string("System"));
        THoptions options(*e_.edit);
        QString left, right;
        QStringList offered;
        int size = -1;
        onModal([&](QDialog* d) {
            auto* list = d->findChild<QComboBox*>("ComboBox1");
            left = list->currentText();
            right = d->findChild<QComboBox*>("ComboBox2")->currentText();
            for (int i = 0; i < list->count(); ++i) offered << list->itemText(i);
            auto* spin = d->findChild<QSpinBox*>("SpinEdit1");
            size = spin->value();
            spin->setValue(20);
            click(d, "Button1");
        });
        options.exec();
        const QFont drawn = e_.edit->charGrid()->font();
        QVERIFY(QFontInfo(drawn).fixedPitch());
        QCOMPARE(left, QFontInfo(drawn).family());
        QCOMPARE(right, QFontInfo(drawn).family());
        QVERIFY(!offered.isEmpty());
        for (const QString& family : offered) QVERIFY2(QFontDatabase::isFixedPitch(family), qPrintable(family));
        QCOMPARE(size, 13);
        QCOMPARE(e_.edit->GetAppearance().FontPixels, 20);
        QCOMPARE(drawn.pixelSize(), 20);
        QCOMPARE(e_.edit->GetAppearance().LeftFont, std::string("System"));
        QCOMPARE(e_.edit->GetAppearance().RightFont, std::string("Terminal"));
        // The larger font gets larger cells: a hex cell still holds its two digits.
        const QRect cell = e_.edit->charGrid()->cellRect(0, 0);
        QVERIFY(cell.height() >= QFontMetrics(drawn).height());
        QVERIFY(cell.width() >= QFontMetrics(drawn).maxWidth());
    }

    // The font lists offer a fixed-pitch family only where it draws every hex digit, 0-9 and
    // A-F: the fixture fonts are all marked fixed-pitch and differ only in what they draw.
    void optionsOfferOnlyFamiliesThatDrawHexDigits_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("family");
        QTest::addColumn<bool>("offered");
        QTest::newRow("letters G-Z only") << "HexlessMono.ttf" << "Hexless Mono" << false;
        QTest::newRow("digits without A-F") << "DigitsOnlyMono.ttf" << "Digits Only Mono" << false;
        QTest::newRow("every hex digit") << "HexDigitsMono.ttf" << "Hex Digits Mono" << true;
    }

    void optionsOfferOnlyFamiliesThatDrawHexDigits() {
        QFETCH(QString, file);
        QFETCH(QString, family);
        QFETCH(bool, offered);
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(JQZ_TEST_DATA_DIR "/fonts/") + file);
        QVERIFY2(id >= 0, qPrintable(file));
        const auto removeFont = qScopeGuard([id] { QFontDatabase::removeApplicationFont(id); });
        QCOMPARE(QFontDatabase::applicationFontFamilies(id), QStringList{family});
        QVERIFY(QFontDatabase::isFixedPitch(family));
        THoptions options(*e_.edit);
        QStringList left, right;
        onModal([&](QDialog* d) {
            for (auto [name, items] : {std::pair{"ComboBox1", &left}, std::pair{"ComboBox2", &right}}) {
                auto* list = d->findChild<QComboBox*>(name);
                for (int i = 0; i < list->count(); ++i) *items << list->itemText(i);
            }
            click(d, "Button2");
        });
        options.exec();
        QVERIFY(!left.isEmpty());
        QCOMPARE(left.contains(family), offered);
        QCOMPARE(right.contains(family), offered);
    }

    void optionsOkWithoutChangesClearsEditedMarks() {
        image().WriteData(0x70, 9);
        QCOMPARE(image().CellColor(0x70), (Rgb{255, 0, 0}));
        THoptions options(*e_.edit);
        onModal([&](QDialog* d) { click(d, "Button1"); });
        options.exec();
        QCOMPARE(image().CellColor(0x70), (Rgb{0, 0, 255}));
    }
};

QTEST_MAIN(TestExplaine)
#include "tst_explaine.moc"
