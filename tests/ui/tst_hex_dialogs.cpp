// The editor's range dialogs: each one's OK path, its messages, its history and its fields'
// enable rules, and Undo after the editing ones.
#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>
#include <memory>

#include "core/image/editor_messages.h"
#include "core/image/number_parsers.h"
#include "hex_edit_test_support.h"
#include "ui/image/hex_edit.h"

using namespace jqz;
using test::click;
using test::field;
using test::history;
using test::onModal;
using test::setField;

class TestHexDialogs : public QObject {
    Q_OBJECT
    test::EditorUnderTest e_;

    MemoryImage& image() { return e_.model->image; }
    int cursor() { return e_.edit->editor().cursorAddress(); }
    void put(int a, std::initializer_list<std::uint8_t> bytes) {
        for (auto b : bytes) image().WriteData(a++, b);
        e_.model->undo.Clear();
    }

private slots:
    void init() {
        e_.make();
        e_.edit->show();
        QVERIFY(QTest::qWaitForWindowExposed(e_.edit.get()));
    }
    void cleanup() {
        e_.reset();
    }

    void fillArrayOfARange() {
        put(0x30, {0x5C});
        e_.edit->GoToAddress(0x30);
        QString value, from, to, caption;
        onModal([&](QDialog* d) {
            caption = d->windowTitle();
            value = field(d, "ComboBox1");
            from = field(d, "ComboBox2");
            to = field(d, "ComboBox3");
            setField(d, "ComboBox1", "0xAA");
            setField(d, "ComboBox2", "0x0010");
            setField(d, "ComboBox3", "0x0000");
            click(d, "Button1");
        });
        e_.edit->action("EditFill")->trigger();
        QCOMPARE(caption, QString("Fill Array"));
        QCOMPARE(value, QString("0x5C"));
        QCOMPARE(from, QString("0x0030"));
        QCOMPARE(to, QString("0x0030"));
        for (int a = 0; a <= 0x10; ++a) QCOMPARE(image().ReadData(a), 0xAA);
        QCOMPARE(image().ReadData(0x11), 0x00);
        QCOMPARE(cursor(), 0x10);
        QVERIFY(e_.sink->errors.empty());
        e_.edit->action("EditUndo")->trigger();
        for (int a = 0; a <= 0x10; ++a) QCOMPARE(image().ReadData(a), 0x00);
        // The next opening shows the fields' histories.
        QStringList values, froms;
        onModal([&](QDialog* d) {
            values = history(d, "ComboBox1");
            froms = history(d, "ComboBox2");
            click(d, "Button2");
        });
        e_.edit->action("EditFill")->trigger();
        QCOMPARE(values, QStringList{"0xAA"});
        QCOMPARE(froms, QStringList{"0x0010"});
    }

    void fillArrayErrorsKeepTheDialogOpen() {
        bool stillOpen = false;
        QStringList toHistory;
        onModal([&](QDialog* d) {
            setField(d, "ComboBox1", "0xAA");
            setField(d, "ComboBox3", "0x10000");
            click(d, "Button1");
            setField(d, "ComboBox1", "-1");
            setField(d, "ComboBox3", "0x0001");
            click(d, "Button1");
            setField(d, "ComboBox1", "1F");
            click(d, "Button1");
            stillOpen = d->isVisible();
            toHistory = history(d, "ComboBox3");
            click(d, "Button2");
        });
        e_.edit->action("EditFill")->trigger();
        QVERIFY(stillOpen);
        QVERIFY(toHistory.isEmpty());
        QCOMPARE(e_.sink->errors,
                 (std::vector<std::string>{kTooBigAddressMessage, kNumberFormatMessage}));
        QVERIFY(e_.model->undo.IsEmpty());
    }

    void fillArrayOfASelectionDisablesTheAddresses() {
        e_.edit->editor().selection().moveTo(0, 2, false);
        e_.edit->editor().selection().moveTo(1, 3, true);
        bool fromEnabled = true, labelEnabled = true;
        onModal([&](QDialog* d) {
            fromEnabled = d->findChild<QWidget*>("ComboBox2")->isEnabled();
            labelEnabled = d->findChild<QLabel*>("Label3")->isEnabled();
            setField(d, "ComboBox1", "$1ff");
            click(d, "Button1");
        });
        e_.edit->action("EditFill")->trigger();
        QVERIFY(!fromEnabled);
        QVERIFY(!labelEnabled);
        for (int a : {0x02, 0x03, 0x12, 0x13}) QCOMPARE(image().ReadData(a), 0xFF);
        QCOMPARE(image().ReadData(0x04), 0x00);
        QCOMPARE(cursor(), 0x13);
    }

    void swapWordAndUndo() {
        put(0, {0x12, 0x34});
        QString caption;
        bool byteFirst = false;
        onModal([&](QDialog* d) {
            caption = d->windowTitle();
            byteFirst = d->findChild<QRadioButton*>("RadioButtonByte")->isChecked();
            d->findChild<QRadioButton*>("RadioButtonWord")->click();
            click(d, "Button1");
        });
        e_.edit->action("EditSwap")->trigger();
        QCOMPARE(caption, QString("Swap"));
        QVERIFY(byteFirst);
        QCOMPARE(image().ReadData(0), 0x34);
        QCOMPARE(image().ReadData(1), 0x12);
        QCOMPARE(image().CellColor(0x9000), (Rgb{255, 0, 0}));
        e_.edit->action("EditUndo")->trigger();
        QCOMPARE(image().ReadData(0), 0x12);
        QCOMPARE(image().CellColor(0x9000), (Rgb{0, 0, 255}));
        QVERIFY(!e_.edit->action("EditUndo")->isEnabled());
    }

    void searchFindsAndSearchAgainContinues() {
        put(0x100, {0x41, 0x42});
        put(0x300, {0x41, 0x62});
        put(0, {0x7E});
        QVERIFY(!e_.edit->action("EditSearchAgain")->isEnabled());
        QString first, caption;
        bool hex = false, down = false;
        onModal([&](QDialog* d) {
            caption = d->windowTitle();
            first = field(d, "ComboBox1");
            hex = d->findChild<QRadioButton*>("RadioButtonHex")->isChecked();
            down = d->findChild<QRadioButton*>("RadioButtonDown")->isChecked();
            setField(d, "ComboBox1", "4142");
            click(d, "Button1");
        });
        e_.edit->action("EditFind")->trigger();
        QCOMPARE(caption, QString("Search"));
        QCOMPARE(first, QString("7E"));
        QVERIFY(hex && down);
        QCOMPARE(cursor(), 0x100);
        QVERIFY(e_.edit->action("EditSearchAgain")->isEnabled());
        // Search Again: nothing more in Hex mode; then as text, case-blind.
        e_.edit->action("EditSearchAgain")->trigger();
        QCOMPARE(e_.sink->confirmations, std::vector<std::string>{kSearchNotFoundMessage});
        QCOMPARE(cursor(), 0x100);
        onModal([&](QDialog* d) {
            d->findChild<QRadioButton*>("RadioButtonText")->click();
            setField(d, "ComboBox1", "AB");
            click(d, "Button1");
        });
        e_.edit->action("EditFind")->trigger();
        QCOMPARE(cursor(), 0x300);
        QStringList texts;
        onModal([&](QDialog* d) {
            texts = history(d, "ComboBox1");
            click(d, "Button2");
        });
        e_.edit->action("EditFind")->trigger();
        QCOMPARE(texts, (QStringList{"4142", "AB"}));
        QVERIFY2(e_.model->undo.IsEmpty(), "Search records nothing");
    }

    void searchRefusesBadTexts() {
        bool stillOpen = false;
        QStringList texts;
        onModal([&](QDialog* d) {
            setField(d, "ComboBox1", "414");
            click(d, "Button1");
            setField(d, "ComboBox1", "0x41");
            click(d, "Button1");
            setField(d, "ComboBox1", QString(33, 'A'));
            click(d, "Button1");
            stillOpen = d->isVisible();
            texts = history(d, "ComboBox1");
            click(d, "Button2");
        });
        e_.edit->action("EditFind")->trigger();
        QVERIFY(stillOpen);
        QVERIFY(texts.isEmpty());
        QCOMPARE(e_.sink->errors, (std::vector<std::string>{kOddHexStringMessage, kBadHexPairMessage,
                                                          kSearchTooLongMessage}));
    }

    void goToAddress() {
        e_.edit->GoToAddress(0x1234);
        QString shown;
        onModal([&](QDialog* d) {
            shown = field(d, "ComboBox1");
            setField(d, "ComboBox1", "0x10000");
            click(d, "Button1");
            setField(d, "ComboBox1", "$FFFF");
            click(d, "Button1");
        });
        e_.edit->action("EditGoToAddr")->trigger();
        QCOMPARE(shown, QString("0x1234"));
        QCOMPARE(e_.sink->errors, std::vector<std::string>{kTooBigAddressMessage});
        QCOMPARE(cursor(), 0xFFFF);
        QCOMPARE(e_.edit->statusText(0), QString(" 0FFFF"));
    }

    void copyOfOneCellOpensCopyArray() {
        put(5, {0x11, 0x22, 0x33});
        e_.edit->GoToAddress(5);
        QString from, to, caption;
        onModal([&](QDialog* d) {
            caption = d->windowTitle();
            from = field(d, "ComboBox1");
            to = field(d, "ComboBox2");
            setField(d, "ComboBox2", "0x10000");
            click(d, "Button1");
            setField(d, "ComboBox2", "0x0007");
            click(d, "Button1");
        });
        e_.edit->action("EditCopy")->trigger();
        QCOMPARE(caption, QString("Copy Array"));
        QCOMPARE(from, QString("0x0005"));
        QCOMPARE(to, QString("0x0005"));
        QCOMPARE(e_.sink->errors, std::vector<std::string>{kTooBigAddressMessage});
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("11 22 33 "));
    }

    void copyAsInBothModes() {
        put(0x0E, {1, 2, 3, 4});
        e_.edit->GoToAddress(0x0E);
        QString caption, format;
        onModal([&](QDialog* d) {
            caption = d->windowTitle();
            format = field(d, "ComboBox1");
            setField(d, "ComboBox3", "0x0011");
            click(d, "Button1");
        });
        e_.edit->action("EditCopyAs")->trigger();
        QCOMPARE(caption, QString("Copy As "));
        QCOMPARE(format, QString("ANSI C Array"));
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString("// Generated by JQZ Hex Editor v1.0\r\nunsigned char Data1[4]={\r\n"
                         "0x01, 0x02, \r\n0x03, 0x04};"));
        // A selection: the addresses are not used; the last format is kept.
        e_.edit->editor().selection().moveTo(0, 14, false);
        e_.edit->editor().selection().moveTo(1, 15, true);
        bool fromEnabled = true;
        onModal([&](QDialog* d) {
            fromEnabled = d->findChild<QWidget*>("ComboBox2")->isEnabled();
            qobject_cast<QComboBox*>(d->findChild<QComboBox*>("ComboBox1"))->setCurrentIndex(1);
            click(d, "Button1");
        });
        e_.edit->action("EditCopyAs")->trigger();
        QVERIFY(!fromEnabled);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString("* Generated by JQZ Hex Editor v1.0\r\n        fcb   $01,$02,$00,$00"));
        QString kept;
        onModal([&](QDialog* d) {
            kept = field(d, "ComboBox1");
            setField(d, "ComboBox2", "nonsense");
            click(d, "Button2");
        });
        e_.edit->action("EditCopyAs")->trigger();
        QCOMPARE(kept, QString("Assembler Data Array"));
        QVERIFY(e_.sink->errors.empty());
    }

    void pasteOfJunkStopsQuietly() {
        QGuiApplication::clipboard()->setText("12 34 zz 56");
        QTRY_VERIFY(e_.edit->action("EditPaste")->isEnabled());
        e_.edit->GoToAddress(0x40);
        e_.edit->action("EditPaste")->trigger();
        QCOMPARE(image().ReadData(0x40), 0x12);
        QCOMPARE(image().ReadData(0x41), 0x34);
        QCOMPARE(image().ReadData(0x42), 0x00);
        QCOMPARE(cursor(), 0x42);
        QVERIFY(e_.sink->errors.empty());
        e_.edit->action("EditUndo")->trigger();
        QCOMPARE(image().ReadData(0x40), 0x00);
        QCOMPARE(image().ReadData(0x41), 0x00);
    }
};

QTEST_MAIN(TestHexDialogs)
#include "tst_hex_dialogs.moc"
