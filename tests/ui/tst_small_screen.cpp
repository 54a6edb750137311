// Every window and dialog on a small screen: 1024x768 pixels at scale 2, so 512x384 for the
// windows (at scale 3, 341x256), with the desktop's font and with a large one. Each lies inside the screen's free
// area, and every named control is inside its window (or inside the scroll area that holds
// it); the buttons that end a dialog (OK, Cancel, Print ...) show without scrolling; the hex
// editor's last column and last character cell can be brought into view. The printer setup is
// looked at folded, with its options unfolded, and folded again (then whole from top to bottom). tests/ui/under_openbox.sh runs the same
// under a window manager, whose frames and placing the offscreen platform does not have.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "hex_edit_test_support.h"
#include "no_system_ports.h"
#include "shell_test_support.h"
#include "ui/app/prog_shell.h"
#include "ui/files/explaine.h"
#include "ui/image/dump_grid.h"
#include "ui/image/hex_edit.h"

using namespace jqz;

namespace {

int ScreenScale() {
    return qEnvironmentVariableIsSet("JQZ_SMALL_SCREEN_SCALE")
               ? qEnvironmentVariableIntValue("JQZ_SMALL_SCREEN_SCALE")
               : 2;
}

QString describe(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The nearest scroll area whose content holds the widget, below the window.
QAbstractScrollArea* scrollAreaAround(QWidget* w, QWidget* window) {
    for (QWidget* p = w->parentWidget(); p != nullptr && p != window; p = p->parentWidget())
        if (auto* area = qobject_cast<QAbstractScrollArea*>(p))
            if (area->viewport()->isAncestorOf(w)) return area;
    return nullptr;
}

// What is wrong with the window's place and its named controls' places; empty when nothing is.
// With `buttonsInView`, the buttons that end a dialog must show without scrolling.
QStringList misplaced(QWidget* window, bool buttonsInView = true) {
    QStringList faults;
    const QRect free = window->screen()->availableGeometry();
    // The frame as the window system tells it; while it has not told it yet (the widget's frame
    // rectangle is then empty), the window's own rectangle.
    QRect outer = window->windowHandle() != nullptr ? window->windowHandle()->frameGeometry()
                                                    : window->frameGeometry();
    if (!outer.contains(window->geometry())) outer = window->geometry();
    if (!free.contains(outer))
        faults << QStringLiteral("window %1 at %2 outside the free area %3%4")
                      .arg(window->objectName(), describe(outer), describe(free),
                           window->isVisible() ? QString() : QStringLiteral(" (hidden)"))
              << QStringLiteral("(inside: %1, least %2x%3)")
                     .arg(describe(window->geometry()))
                     .arg(window->minimumWidth())
                     .arg(window->minimumHeight());
    QList<QWidget*> named;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_") && w->isVisibleTo(window) &&
            w->window() == window)
            named << w;
    // No control lies over another (a layout squeezed below its controls' least sizes).
    for (QWidget* a : named)
        for (QWidget* b : named)
            if (a < b && !a->isAncestorOf(b) && !b->isAncestorOf(a) &&
                QRect(a->mapTo(window, QPoint(0, 0)), a->size())
                    .intersects(QRect(b->mapTo(window, QPoint(0, 0)), b->size())) &&
                scrollAreaAround(a, window) == scrollAreaAround(b, window))
                faults << QStringLiteral("%1 and %2 overlap").arg(a->objectName(), b->objectName());
    for (QWidget* w : named) {
        // A control in a scroll area is reached by scrolling: it must lie in the area's content.
        QWidget* frame = window;
        if (QAbstractScrollArea* area = scrollAreaAround(w, window)) {
            auto* scroll = qobject_cast<QScrollArea*>(area);
            if (scroll == nullptr || scroll->widget() == nullptr) continue;  // a list's own items
            frame = scroll->widget();
        }
        // A list's lines are whole in view, or it scrolls sideways to them.
        if (auto* list = qobject_cast<QListWidget*>(w)) {
            const int room = list->viewport()->width();
            for (int i = 0; i < list->count(); ++i) {
                const int wide = list->visualItemRect(list->item(i)).width();
                const int text = list->fontMetrics().horizontalAdvance(list->item(i)->text());
                if (std::max(wide, text) > room && list->horizontalScrollBar()->maximum() == 0) {
                    faults << QStringLiteral("%1: line \"%2\" %3 wide, %4 in view")
                                  .arg(list->objectName(), list->item(i)->text()).arg(text).arg(room);
                    break;
                }
            }
        }
        const QRect r(w->mapTo(frame, QPoint(0, 0)), w->size());
        if (r.isEmpty() || !frame->rect().contains(r))
            faults << QStringLiteral("%1 at %2 in %3 (%4)")
                          .arg(w->objectName(), describe(r), frame->objectName(), describe(frame->rect()));
    }
    // The buttons that end a dialog are in view without scrolling.
    for (auto* button : window->findChildren<QPushButton*>()) {
        if (!buttonsInView) break;
        const QString text = button->text().remove('&');
        if (!button->isVisibleTo(window) || button->window() != window ||
            !QStringList{"OK", "Cancel", "Print", "Save", "Open", "Close"}.contains(text))
            continue;
        const QRect r(button->mapTo(window, QPoint(0, 0)), button->size());
        if (scrollAreaAround(button, window) != nullptr || !window->rect().contains(r))
            faults << QStringLiteral("button %1 at %2 not in view in %3")
                          .arg(text, describe(r), describe(window->rect()));
    }
    return faults;
}

// The printer setup, opened from the print dialog (not on Windows, whose printer dialog is the
// system's).
[[maybe_unused]] void openPrinterSetup(TProgShell& s) {
    test::onModal([](QDialog* print) {
        print->findChild<QPushButton*>("Button1")->click();
        print->reject();
    });
    s.EditPrintExecute();
}

// Its options unfolded, as the button "Options >>" does.
[[maybe_unused]] void unfoldOptions(QDialog* setup) {
    for (auto* b : setup->findChildren<QPushButton*>())
        if (b->text().remove('&').startsWith("Options")) b->click();
}

// Unfolded, and once it has settled, folded again: the dialog shrinks by what the options took.
[[maybe_unused]] void refoldOptions(QDialog* setup) {
    unfoldOptions(setup);
    QTest::qWait(200);
    unfoldOptions(setup);
}

// Runs the step on the modal dialog of that name (any when none is named) once it is shown.
void onDialog(const char* name, const std::function<void(QDialog*)>& step, int triesLeft = 300) {
    QTimer::singleShot(10, [=] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog->isVisible() && dialog->windowHandle() != nullptr &&
            dialog->windowHandle()->isExposed() && (name == nullptr || dialog->objectName() == name))
            step(dialog);
        else if (triesLeft > 0)
            onDialog(name, step, triesLeft - 1);
    });
}

}  // namespace

class TestSmallScreen : public QObject {
    Q_OBJECT
    QFont desktopFont_;
    // Every start in a fresh folder: no window place is left from an earlier start.
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<test::QuietSink> sink_;
    std::unique_ptr<TProgShell> shell_;

    struct Window {
        const char* name;
        // Shows a window, or opens a modal dialog (looked at while it is up).
        std::function<void(TProgShell&)> open;
        bool modal;
        // The dialog looked at, when another opens it; what is done in it first.
        const char* dialog = nullptr;
        std::function<void(QDialog*)> prepare = {};
        // Whether what it shows fits it from top to bottom (where its controls were put into a
        // scroll area, that area does not scroll down).
        bool whole = false;
    };

    static std::vector<Window> windows() {
        return {
            {"main window", [](TProgShell&) {}, false},
            {"hex editor", [](TProgShell& s) { s.ShowEditorExecute(); }, false},
            {"description", [](TProgShell& s) {
                 s.ShowEditorExecute();
                 s.hexEdit().EditPropertyExecute();
             }, false},
            {"package view", [](TProgShell& s) { s.ShowPackageExecute(); }, false},
            {"device selection", [](TProgShell& s) { s.findChild<QAbstractButton*>("DeviceIDButton")->click(); }, true},
            {"editor options", [](TProgShell& s) { s.ToolEditorExecute(); }, true},
            {"port settings", [](TProgShell& s) { s.ToolCommExecute(); }, true},
            {"port settings, cable", [](TProgShell& s) { s.ToolCommExecute(); }, true, "CommSet",
             [](QDialog* d) { d->findChild<QComboBox*>("LinkBox")->setCurrentIndex(1); }},
            {"firmware update", [](TProgShell& s) { s.ToolUpdateExecute(); }, true},
            {"print", [](TProgShell& s) { s.EditPrintExecute(); }, true},
#ifndef _WIN32  // Windows has the system's printer dialog, for installed printers only
            {"printer setup", openPrinterSetup, true, "PrinterSetupDialog1"},
            {"printer setup, options", openPrinterSetup, true, "PrinterSetupDialog1", unfoldOptions},
            {"printer setup, options folded again", openPrinterSetup, true, "PrinterSetupDialog1", refoldOptions,
             true},
#endif
            {"load", [](TProgShell& s) { s.EditOpenFileExecute(); }, true},
            {"save", [](TProgShell& s) { s.EditSaveFileExecute(); }, true},
            {"about", [](TProgShell& s) { s.HelpAboutExecute(); }, true},
            {"log save", [](TProgShell& s) { s.SaveLogAs(); }, true},
            {"go to", [](TProgShell& s) {
                 s.ShowEditorExecute();
                 s.hexEdit().EditGoToAddrExecute();
             }, true},
            {"search", [](TProgShell& s) {
                 s.ShowEditorExecute();
                 s.hexEdit().EditFindExecute();
             }, true},
            {"fill", [](TProgShell& s) {
                 s.ShowEditorExecute();
                 s.hexEdit().EditFillExecute();
             }, true},
            {"copy as", [](TProgShell& s) {
                 s.ShowEditorExecute();
                 s.hexEdit().EditCopyAsExecute();
             }, true},
            {"swap", [](TProgShell& s) {
                 s.ShowEditorExecute();
                 s.hexEdit().EditSwapExecute();
             }, true},
        };
    }

    // A start with the application's font as it is now.
    void start() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        // A port that is not there: the start does not wait for a programmer to answer.
        QFile settings(dir_->filePath("jqz6811.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("COMM_PORT=/dev/ttyUSB99\r\n");
        settings.close();
        sink_ = std::make_unique<test::QuietSink>();
        shell_ = std::make_unique<TProgShell>(test::ShellPathsIn(dir_->path()), sink_.get());
        shell_->systemPortOpener = NoSystemPorts;
        shell_->listPorts = [] { return std::vector<std::string>{}; };
        shell_->FormCreate();
        QVERIFY(QTest::qWaitForWindowExposed(shell_.get()));
    }

private slots:
    void initTestCase() { desktopFont_ = QApplication::font(); }
    void cleanup() {
        shell_.reset();
        QApplication::setFont(desktopFont_);
    }

    void screenIsSmall() {
        start();
        const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
        const int scale = ScreenScale();
        QCOMPARE(free.size(), QSize(1024 / scale, 768 / scale));
    }

    void everyWindowFitsTheScreen_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("points");
        const auto all = windows();
        for (int points : {0, 14, 22}) {
            for (std::size_t i = 0; i < all.size(); ++i)
                QTest::addRow("%s, %s", all[i].name,
                              points == 0 ? "desktop font" : points == 14 ? "14 pt" : "22 pt")
                    << static_cast<int>(i) << points;
        }
    }

    void everyWindowFitsTheScreen() {
        QFETCH(int, window);
        QFETCH(int, points);
        if (points > 0) {
            QFont font = QApplication::font();
            font.setPointSize(points);
            QApplication::setFont(font);
        }
        start();
        const Window w = windows()[static_cast<std::size_t>(window)];
        if (!w.modal) {
            w.open(*shell_);
            const auto allFaults = [] {
                QStringList all;
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (top->isVisible()) all << misplaced(top);
                return all;
            };
            QStringList faults;
            // Once the windows have settled: a window manager on a busy machine may take
            // seconds to frame and place them.
            for (int tries = 0; tries < 250; ++tries) {
                QTest::qWait(20);
                faults = allFaults();
                if (faults.isEmpty()) break;
            }
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
            return;
        }
        bool seen = false;
        QStringList faults;
        onDialog(w.dialog, [&](QDialog* dialog) {
            seen = true;
            if (w.prepare) w.prepare(dialog);
            // Once the dialog has settled (a window manager places and frames it in steps).
            // At the largest font a row of buttons wider than the screen scrolls with the rest.
            for (int tries = 0; tries < 250; ++tries) {
                QTest::qWait(20);
                faults = misplaced(dialog, points < 22);
                if (auto* scroll = dialog->findChild<QScrollArea*>(dialog->objectName() + "Scroll");
                    w.whole && scroll != nullptr && scroll->verticalScrollBar()->maximum() > 0)
                    faults << QStringLiteral("%1 scrolls down: %2 out of view")
                                  .arg(scroll->objectName())
                                  .arg(scroll->verticalScrollBar()->maximum());
                if (faults.isEmpty()) break;
            }
            dialog->reject();
        });
        w.open(*shell_);
        QTRY_VERIFY(seen);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
    }

    // The 16 columns do not fit beside each other: each grid scrolls sideways, the address
    // column stays, and the cursor's column comes into view in both grids at once.
    void theLastColumnsCanBeBroughtIntoView_data() {
        QTest::addColumn<int>("fontPixels");
        QTest::newRow("default cells") << kDefaultFontPixels;
        QTest::newRow("large cells") << 24;
    }

    void theLastColumnsCanBeBroughtIntoView() {
        QFETCH(int, fontPixels);
        start();
        THexEdit& edit = shell_->hexEdit();
        EditorAppearance look = edit.GetAppearance();
        look.FontPixels = fontPixels;
        edit.ApplyAppearance(look);
        shell_->ShowEditorExecute();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QVERIFY2(misplaced(&edit).isEmpty(), qPrintable(misplaced(&edit).join("\n")));
        DumpGrid* hex = edit.hexGrid();
        DumpGrid* chars = edit.charGrid();
        // At least one grid is too narrow for its 16 columns here; that one has a scroll bar.
        bool someCut = false;
        for (DumpGrid* grid : {hex, chars}) {
            const bool cut = grid->contentWidth() > grid->viewport()->width();
            someCut = someCut || cut;
            QCOMPARE(grid->horizontalScrollBar()->isVisible(), cut);
        }
        QVERIFY(someCut);

        // A status panel too narrow for its text tells it whole as its tool tip.
        int cutPanels = 0;
        for (QLabel* panel : edit.findChildren<QLabel*>()) {
            if (!panel->objectName().startsWith("StatusPanel") && panel->objectName() != "ChecksumPanel") continue;
            if (panel->fontMetrics().horizontalAdvance(panel->text()) <= panel->contentsRect().width()) continue;
            ++cutPanels;
            QCOMPARE(panel->toolTip(), panel->text().trimmed());
        }
        QVERIFY(cutPanels > 0);

        // By keys: End brings the last column into view in both grids.
        edit.GoToAddress(0x1230);
        QTest::keyClick(hex, Qt::Key_End);
        QCOMPARE(edit.editor().cursorAddress(), 0x123F);
        const int addressWidth = hex->cellRect(0, 0).left() + hex->horizontalScrollBar()->value();
        for (DumpGrid* grid : {hex, chars}) {
            const QRect last = grid->cellRect(0x123, 15);
            const int fixed = grid == hex ? addressWidth : 0;
            QVERIFY2(last.left() >= fixed && last.right() < grid->viewport()->width() &&
                         last.top() >= 0 && last.bottom() < grid->viewport()->height(),
                     qPrintable(grid->objectName() + ": " + describe(last)));
        }
        QCOMPARE(hex->topRow(), chars->topRow());
        // A click on the last cell there picks it.
        QTest::mouseClick(chars->viewport(), Qt::LeftButton, {}, chars->cellRect(0x124, 15).center());
        QCOMPARE(edit.editor().cursorAddress(), 0x124F);
        // Home brings the first column back, beside the address column.
        QTest::keyClick(hex, Qt::Key_Home);
        QCOMPARE(edit.editor().cursorAddress(), 0x1240);
        QCOMPARE(hex->cellRect(0x124, 0).left(), addressWidth);

        // By the scroll bar: at its end the last column is whole, and a click picks its cell;
        // the address column is not covered by the cells scrolled under it.
        for (DumpGrid* grid : {hex, chars}) {
            QScrollBar* bar = grid->horizontalScrollBar();
            bar->setValue(bar->maximum());
            const QRect last = grid->cellRect(grid->topRow(), 15);
            QVERIFY2(last.right() < grid->viewport()->width(), qPrintable(describe(last)));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, last.center());
            QCOMPARE(edit.editor().cursorAddress(), grid->topRow() * 16 + 15);
        }
        QCOMPARE(hex->topRow(), chars->topRow());
        QScrollBar* bar = hex->horizontalScrollBar();
        if (bar->maximum() > 0) {
            bar->setValue(bar->maximum());
            const int before = edit.editor().cursorAddress();
            QTest::mouseClick(hex->viewport(), Qt::LeftButton, {}, QPoint(addressWidth / 2, 2));
            QCOMPARE(edit.editor().cursorAddress(), before);
            const QImage shot = hex->viewport()->grab().toImage();
            // The address column's digits are drawn in the address colour, as before scrolling.
            bool addressDrawn = false;
            for (int x = 0; x < addressWidth && !addressDrawn; ++x)
                for (int y = 0; y < hex->rowHeight() && !addressDrawn; ++y)
                    addressDrawn = shot.pixelColor(x * shot.width() / hex->viewport()->width(),
                                                   y * shot.height() / hex->viewport()->height()) ==
                                   edit.addressColour();
            QVERIFY(addressDrawn);
        }
    }
};

// The platform's one screen is 1024x768 pixels, and everything is drawn at scale 2 (512x384 for
// the windows), or at the scale JQZ_SMALL_SCREEN_SCALE names (3: 341x256): the offscreen
// platform's, or the display under a window manager that frames every window.
int main(int argc, char** argv) {
    // In the working folder, named relative to it: the platform's arguments are separated by
    // colons, which a Windows drive letter would bring in.
    QTemporaryDir config(QDir::current().filePath("screen-XXXXXX"));
    if (!config.isValid()) return 2;
    const QString path = QDir::current().relativeFilePath(config.filePath("screen.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return 2;
    file.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1024, "height": 768,
                                "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    // Under a window manager (tests/ui/under_openbox.sh) the display is that size already.
    if (!qgetenv("QT_QPA_PLATFORM").startsWith("xcb"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + path.toLocal8Bit());
    qputenv("QT_SCALE_FACTOR", QByteArray::number(ScreenScale()));
    // A platform named on the command line (as the Windows runs name it) would override this one.
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::string_view(argv[i]) == "-platform" && i + 1 < argc) {
            ++i;
            continue;
        }
        args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    QApplication app(count, args.data());
    TestSmallScreen test;
    return QTest::qExec(&test, count, args.data());
}

#include "tst_small_screen.moc"
