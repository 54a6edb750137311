// The package view: which tabs a device shows, the status bar, loading a drawing only when its
// file changes, unreadable and missing drawings, the picture's placement, and the window's
// geometry and check mark through the main window.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "core/platform/atomic_file.h"
#include "core/device/supported_device_list.h"
#include "ui/app/prog_shell.h"
#include "ui/device/emf_picture.h"
#include "ui/device/package_view.h"

using namespace jqz;

namespace {

QStringList visibleTabs(const TDPView1& view) {
    QStringList tabs;
    QTabWidget* pages = view.pageControl();
    for (int i = 0; i < pages->count(); ++i)
        if (pages->isTabVisible(i)) tabs << pages->tabText(i);
    return tabs;
}

QString statusText(const TDPView1& view) {
    return view.findChild<QStatusBar*>("StatusBar1")->currentMessage();
}

// A program folder whose dhelp holds copies of the named generated files.
std::string programFolderWith(const QTemporaryDir& dir, const QStringList& files) {
    QDir(dir.path()).mkpath("dhelp");
    for (const QString& f : files)
        QFile::copy(QStringLiteral(JQZ_DHELP_DIR "/") + f, dir.path() + "/dhelp/" + f);
    return dir.path().toStdString();
}

}  // namespace

class TestPackageView : public QObject {
    Q_OBJECT
private slots:
    void createdWithEveryTabHidden() {
        TDPView1 view;
        QCOMPARE(view.windowTitle(), QString("Device Package Layout"));
        QTabWidget* pages = view.findChild<QTabWidget*>("PageControl1");
        QVERIFY(pages);
        const QStringList captions = {"PLCC 52", "PLCC 68", "PLCC84", "QFP 64",
                                      "TQFP 80", "SDIP 56", "DIP 48"};
        const QStringList names = {"PLCC52", "PLCC68", "PLCC84", "QFP64",
                                   "TQFP80", "SDIP56", "DIP48"};
        QCOMPARE(pages->count(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(pages->tabText(i), captions[i]);
            QCOMPARE(pages->widget(i)->objectName(), names[i]);
            QVERIFY(pages->widget(i)->findChild<EmfPicture*>(QStringLiteral("Image%1").arg(i + 1)));
        }
        QVERIFY(visibleTabs(view).isEmpty());
        QCOMPARE(view.currentList(), std::vector<std::string>(8));
        view.show();
        QVERIFY(!pages->isVisible());
        QVERIFY(view.findChild<QLabel*>("EmptyNote")->isVisible());
        QVERIFY(view.minimumWidth() >= 420 && view.minimumHeight() >= 350);
    }

    void e9ShowsItsThreePackagesWithOurDrawings() {
        SupportedDeviceList devices(std::string(JQZ_DHELP_DIR) + "/..");
        devices.selectDevice("MC68HC11  E9 (E28B)");
        const auto list = devices.packageDrawings();
        TDPView1 view;
        view.resize(800, 700);
        view.show();
        view.ShowDrawings(list);
        QCOMPARE(visibleTabs(view), QStringList({"PLCC 52", "QFP 64", "SDIP 56"}));
        QVERIFY(view.pageControl()->isVisible());
        for (int page : {0, 3, 5}) QVERIFY(!view.picture(page)->isEmpty());
        for (int page : {1, 2, 4, 6}) QVERIFY(view.picture(page)->isEmpty());
        // the status bar names the active page's drawing by its full path
        QCOMPARE(view.pageControl()->currentIndex(), 0);
        QCOMPARE(statusText(view), QString::fromStdString(list[0]) + "E_PLCC52.emf");
        QVERIFY(statusText(view).startsWith(QStringLiteral(JQZ_DHELP_DIR)));
        view.pageControl()->setCurrentIndex(3);
        QCOMPARE(statusText(view), QString::fromStdString(list[0]) + "E_QFP64.emf");
        view.pageControl()->setCurrentIndex(5);
        QCOMPARE(statusText(view), QString::fromStdString(list[0]) + "E_SDIP56.emf");
    }

    void p2ShowsOnlyPlcc84() {
        SupportedDeviceList devices(std::string(JQZ_DHELP_DIR) + "/..");
        TDPView1 view;
        view.show();
        devices.selectDevice("MC68HC11  E9 (E28B)");
        view.ShowDrawings(devices.packageDrawings());
        view.pageControl()->setCurrentIndex(5);
        devices.selectDevice("MC68HC11  P2 (2E74J)");
        const auto list = devices.packageDrawings();
        view.ShowDrawings(list);
        QCOMPARE(visibleTabs(view), QStringList({"PLCC84"}));
        // the hidden SDIP page gave way to the one page the device has
        QCOMPARE(view.pageControl()->currentIndex(), 2);
        QVERIFY(!view.picture(2)->isEmpty());
        QCOMPARE(statusText(view), QString::fromStdString(list[0]) + "P2_PLCC84.emf");
        QCOMPARE(view.currentList(), list);
    }

    void switchingWithinAFamilyKeepsTheLoadedDrawings() {
        QTemporaryDir dir;
        const auto folder = programFolderWith(
            dir, {"E_PLCC52.emf", "E_QFP64.emf", "E_SDIP56.emf", "A8_PLCC52.emf"});
        SupportedDeviceList devices(folder);
        TDPView1 view;
        view.show();
        devices.selectDevice("MC68HC11  E9 (E28B)");
        view.ShowDrawings(devices.packageDrawings());
        const QSize e9Size = view.picture(0)->pictureSize();
        QVERIFY(!e9Size.isEmpty());
        // Spoil the file on disk: a reload would now leave the page empty.
        QCOMPARE(QString::fromStdString(
                     WriteFileAtomically(folder + "/dhelp/E_PLCC52.emf", "not a metafile")),
                 QString());
        devices.selectDevice("MC68HC11  E9 (D82R)");
        view.ShowDrawings(devices.packageDrawings());
        QVERIFY(!view.picture(0)->isEmpty());
        QCOMPARE(view.picture(0)->pictureSize(), e9Size);
        // Another family's file on the same page is loaded...
        devices.selectDevice("MC68HC11  A8 (C96N)");
        view.ShowDrawings(devices.packageDrawings());
        QCOMPARE(visibleTabs(view), QStringList({"PLCC 52"}));
        QVERIFY(!view.picture(0)->isEmpty());
        QVERIFY(view.picture(0)->pictureSize() != e9Size);
        // ...and coming back reads the spoilt E drawing: its page stays empty, the window works.
        devices.selectDevice("MC68HC711 E20(1H19S)");
        view.ShowDrawings(devices.packageDrawings());
        QCOMPARE(visibleTabs(view), QStringList({"PLCC 52", "QFP 64", "SDIP 56"}));
        QVERIFY(view.picture(0)->isEmpty());
        QVERIFY(!view.picture(3)->isEmpty());
        QCOMPARE(statusText(view), QString::fromStdString(folder + "/dhelp/E_PLCC52.emf"));
        view.pageControl()->setCurrentIndex(3);
        QCOMPARE(statusText(view), QString::fromStdString(folder + "/dhelp/E_QFP64.emf"));
    }

    void aDeviceWithoutDrawingsHidesEveryTab() {
        QTemporaryDir dir;
        SupportedDeviceList devices(programFolderWith(dir, {"E_PLCC52.emf"}));
        TDPView1 view;
        view.show();
        devices.selectDevice("MC68HC11  E9 (E28B)");
        view.ShowDrawings(devices.packageDrawings());
        QCOMPARE(visibleTabs(view), QStringList({"PLCC 52", "QFP 64", "SDIP 56"}));
        QVERIFY(view.picture(3)->isEmpty());  // listed but missing on disk
        devices.selectDevice("MC68HC711 K4 (K59D)");
        const auto list = devices.packageDrawings();
        QCOMPARE(list[0], std::string());
        view.ShowDrawings(list);
        QVERIFY(visibleTabs(view).isEmpty());
        QVERIFY(!view.pageControl()->isVisible());
        QCOMPARE(statusText(view), QString());
        auto* note = view.findChild<QLabel*>("EmptyNote");
        QVERIFY(note->isVisible());
        QCOMPARE(note->text(), QString("No package drawing was found for this device."));
    }

    void picturesAreCentredAndFitted() {
        SupportedDeviceList devices(std::string(JQZ_DHELP_DIR) + "/..");
        devices.selectDevice("MC68HC11  E9 (E28B)");
        TDPView1 view;
        view.resize(1800, 1600);
        view.show();
        view.ShowDrawings(devices.packageDrawings());
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        for (int page : {0, 5}) {
            view.pageControl()->setCurrentIndex(page);
            QApplication::processEvents();
            EmfPicture* picture = view.picture(page);
            const QRect r = picture->pictureRect();
            const QSize own = picture->pictureSize();
            QVERIFY(picture->rect().contains(r));
            QVERIFY(qAbs(r.center().x() - picture->rect().center().x()) <= 1);
            QVERIFY(qAbs(r.center().y() - picture->rect().center().y()) <= 1);
            // proportions kept
            QVERIFY(qAbs(double(r.width()) / r.height() - double(own.width()) / own.height()) < 0.01);
            // The drawing is painted: dark lines and text inside its place, none outside it.
            const QImage shot = picture->grab().toImage();
            int inside = 0, outside = 0;
            for (int y = 0; y < shot.height(); y += 2)
                for (int x = 0; x < shot.width(); x += 2)
                    if (qGray(shot.pixel(x, y)) < 96) ++(r.contains(x, y) ? inside : outside);
            QVERIFY2(inside > (r.width() / 2) * (r.height() / 2) / 200,
                     qPrintable(QStringLiteral("page %1: %2 dark pixels").arg(page).arg(inside)));
            QCOMPARE(outside, 0);
            if (page == 5)
                QCOMPARE(r.size(), own);  // the SDIP drawing is not blown up
            else
                QVERIFY(r.height() == picture->height() || r.width() == picture->width());
        }
        // In a small window every drawing, the SDIP one too, shrinks to fit.
        view.resize(420, 350);
        QApplication::processEvents();
        EmfPicture* sdip = view.picture(5);
        QVERIFY(sdip->pictureRect().height() <= sdip->height());
        QVERIFY(sdip->pictureRect().height() < sdip->pictureSize().height());
    }

    void geometryAndCheckMarkThroughTheMainWindow() {
        QTemporaryDir dir;
        ShellPaths paths;
        paths.settingsFile = (dir.path() + "/jqz6811.ini").toStdString();
        paths.programFolder = std::string(JQZ_DHELP_DIR) + "/..";
        paths.logFile = (dir.path() + "/6811prog.log").toStdString();
        QCOMPARE(QString::fromStdString(WriteFileAtomically(
                     paths.settingsFile, "DPV_WIN_POS_LEFT=50\r\nDPV_WIN_POS_TOP=60\r\n"
                                         "DPV_WIN_POS_HEIGHT=450\r\nDPV_WIN_POS_WIDTH=520\r\n"
                                         "DPV_WIN_VISIBLE=1\r\n")),
                 QString());
        TProgShell shell(paths);
        QAction* showPackage = shell.findChild<QAction*>("ShowPackage");
        QVERIFY(showPackage);
        QVERIFY(!showPackage->isEnabled());
        shell.FormCreate();
        TDPView1* view = shell.packageWindow();
        QVERIFY(view);
        QVERIFY(showPackage->isEnabled());
        QVERIFY(view->isVisible());
        QVERIFY(showPackage->isChecked());
        QCOMPARE(view->GetGeometry(), (PackageViewGeometry{50, 60, 450, 520, true}));

        // The check mark follows the window, closed by its own close box or from the menu.
        view->close();
        QVERIFY(!view->isVisible());
        QVERIFY(!showPackage->isChecked());
        showPackage->trigger();
        QVERIFY(view->isVisible());
        QVERIFY(showPackage->isChecked());
        showPackage->trigger();
        QVERIFY(!view->isVisible());
        QVERIFY(!showPackage->isChecked());

        // A change of the Device ID field to a real device hands its drawings to the view.
        shell.devices().selectDevice("MC68HC11  P2 (2E74J)");
        shell.DeviceIDValueChange();
        QCOMPARE(visibleTabs(*view), QStringList({"PLCC84"}));

        // A hidden window keeps the place and size it is given.
        view->SetGeometry({70, 80, 500, 600, false});
        QCOMPARE(view->GetGeometry(), (PackageViewGeometry{70, 80, 500, 600, false}));
        shell.FormClose();
        const std::string written = ReadWholeFile(paths.settingsFile).value_or("");
        for (const char* line : {"DPV_WIN_POS_LEFT=70\r\n", "DPV_WIN_POS_TOP=80\r\n",
                                 "DPV_WIN_POS_HEIGHT=500\r\n", "DPV_WIN_POS_WIDTH=600\r\n",
                                 "DPV_WIN_VISIBLE=0\r\n"})
            QVERIFY2(written.find(line) != std::string::npos, line);
    }

    void hiddenBySettingsStaysHidden() {
        TDPView1 view;
        view.SetGeometry({30, 40, 400, 500, false});
        QVERIFY(!view.isVisible());
        QCOMPARE(view.GetGeometry(), (PackageViewGeometry{30, 40, 400, 500, false}));
        // below the minimum size the window keeps its minimum
        view.SetGeometry({30, 40, 100, 100, true});
        QVERIFY(view.isVisible());
        QVERIFY(view.GetGeometry().width >= 420);
        QVERIFY(view.GetGeometry().height >= 350);
        QVERIFY(view.GetGeometry().width < 440);
    }
};

QTEST_MAIN(TestPackageView)
#include "tst_package_view.moc"
