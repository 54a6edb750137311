// The device selection dialog.
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

#include "core/device/supported_device_list.h"
#include "ui/device/device_wizard.h"

using namespace jqz;

class TestDeviceWizard : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    static bool plainLoader(const QString& path, QTextDocument& doc) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return false;
        doc.setPlainText(QString::fromLatin1(f.readAll()));
        return true;
    }

private slots:
    void initTestCase() {
        QDir(dir_.path()).mkpath("dhelp");
        // The documents of the first name in sorted order and of one other; E9's is missing.
        for (const char* name : {"A8", "EA9"}) {
            QFile f(dir_.path() + "/dhelp/" + name + ".rtf");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(name) + " quick info");
        }
    }

    void firstOpeningHighlightsTheFirstSortedNameAndShowsItsDocument() {
        SupportedDeviceList devices(dir_.path().toStdString());
        TDeviceWiz1 wiz(devices, plainLoader);
        auto* list = wiz.findChild<QListWidget*>("ListBox1");
        QCOMPARE(list->count(), 31);
        QCOMPARE(list->item(0)->text(), QString("MC68HC11  A8 (AB95T)"));
        // The names line up in a fixed-pitch family at the dialog's own font size.
        QVERIFY(QFontInfo(list->font()).fixedPitch());
        QCOMPARE(QFontInfo(list->font()).pixelSize(),
                 QFontInfo(wiz.findChild<QLabel*>("Label1")->font()).pixelSize());
        wiz.show();
        auto* pane = wiz.findChild<QTextEdit*>("RichEdit1");
        QCOMPARE(pane->toPlainText(), QString("A8 quick info"));
        // A missing document leaves the pane empty.
        const auto e9 = list->findItems("MC68HC11  E9 (E28B)", Qt::MatchExactly);
        QCOMPARE(e9.size(), 1);
        list->setCurrentItem(e9[0]);
        QCOMPARE(pane->toPlainText(), QString());
        const auto ea9 = list->findItems("MC68HC11  EA9(2D47J)", Qt::MatchExactly);
        QCOMPARE(ea9.size(), 1);
        list->setCurrentItem(ea9[0]);
        QCOMPARE(wiz.findChild<QTextEdit*>("RichEdit1")->toPlainText(), QString("EA9 quick info"));
        wiz.findChild<QPushButton*>("Button1")->click();
        QCOMPARE(wiz.result(), int(QDialog::Accepted));
        QCOMPARE(devices.selectedDevice(), std::string("MC68HC11  EA9(2D47J)"));
        QCOMPARE(devices.deviceType, 1);

        // Opening again: the chosen device is still highlighted; Cancel changes nothing.
        wiz.show();
        QCOMPARE(wiz.highlighted(), QString("MC68HC11  EA9(2D47J)"));
        list->setCurrentRow(5);
        wiz.findChild<QPushButton*>("Button2")->click();
        QCOMPARE(devices.selectedDevice(), std::string("MC68HC11  EA9(2D47J)"));
    }

    // With a refusal (the bootstrap cable's), a row it refuses is greyed with the reason as
    // its tool tip and under the list; OK and a double-click do not choose it.
    void rowsThatCannotBeChosenShowWhyAndAreRefused() {
        SupportedDeviceList devices(dir_.path().toStdString());
        devices.selectDevice("MC68HC11  E9 (E28B)");
        TDeviceWiz1 wiz(devices, plainLoader);
        wiz.setRefusal([](const std::string& name) {
            return name.find("K4") != std::string::npos ? "Not over this link." : std::string();
        });
        wiz.show();
        auto* list = wiz.findChild<QListWidget*>("ListBox1");
        auto* why = wiz.findChild<QLabel*>("RefusalLabel");
        auto* ok = wiz.findChild<QPushButton*>("Button1");
        const auto k4 = list->findItems("MC68HC11  K4 (OE75J)", Qt::MatchExactly);
        const auto e9 = list->findItems("MC68HC11  E9 (E28B)", Qt::MatchExactly);
        QCOMPARE(k4.size(), 1);
        QCOMPARE(k4[0]->toolTip(), QString("Not over this link."));
        QCOMPARE(e9[0]->toolTip(), QString());
        QVERIFY(k4[0]->foreground() != e9[0]->foreground());
        list->setCurrentItem(k4[0]);
        QVERIFY(why->isVisible());
        QCOMPARE(why->text(), QString("Not over this link."));
        QVERIFY(!ok->isEnabled());
        emit list->itemDoubleClicked(k4[0]);
        QCOMPARE(devices.selectedDevice(), std::string("MC68HC11  E9 (E28B)"));
        QVERIFY(wiz.isVisible());
        list->setCurrentItem(e9[0]);
        QVERIFY(!why->isVisible());
        QVERIFY(ok->isEnabled());
        // Without the refusal every row is as before.
        wiz.setRefusal({});
        list->setCurrentItem(k4[0]);
        QVERIFY(ok->isEnabled());
        QCOMPARE(k4[0]->toolTip(), QString());
        ok->click();
        QCOMPARE(devices.selectedDevice(), std::string("MC68HC11  K4 (OE75J)"));
    }
};

QTEST_MAIN(TestDeviceWizard)
#include "tst_device_wizard.moc"
