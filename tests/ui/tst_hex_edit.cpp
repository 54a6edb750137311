// The hex editor window: typing, selection, the status bar, the actions and their enable rules,
// clipboard tracking, the shared top row, geometry, and Undo after each editing command.
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSplitter>
#include <QtTest>
#include <memory>

#include "core/device/device_image_reset.h"
#include "core/device/supported_device_list.h"
#include "hex_edit_test_support.h"
#include "ui/image/grid_font.h"
#include "shown_caption.h"
#include "ui/files/explaine.h"
#include "ui/image/dump_grid.h"
#include "ui/image/hex_edit.h"

using namespace jqz;

class TestHexEdit : public QObject {
    Q_OBJECT
    test::EditorUnderTest e_;

    MemoryImage& image() { return e_.model->image; }
    DumpGrid* hex() { return e_.edit->hexGrid(); }
    DumpGrid* chars() { return e_.edit->charGrid(); }
    int cursor() { return e_.edit->editor().cursorAddress(); }
    void fill(std::uint8_t v) {
        image().BeginBulk();
        for (int a = 0; a <= 0xFFFF; ++a) image().WriteData(a, v);
        image().EndBulk();
    }
    void showEditor() {
        e_.edit->show();
        e_.edit->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(e_.edit.get()));
    }
    QPoint cellCentre(DumpGrid* grid, int row, int column) {
        return grid->cellRect(row, column).center();
    }

private slots:
    void init() {
        e_.make();
        QGuiApplication::clipboard()->clear();
    }
    void cleanup() {
        e_.reset();
    }

    void startsHiddenWithOnlyPropertyEnabled() {
        QVERIFY(!e_.edit->isVisible());
        QCOMPARE(e_.edit->windowTitle(), QString("HexEdit"));
        for (const char* name : {"EditUndo", "EditCopy", "EditPaste", "EditSelectAll", "EditFill",
                                 "EditCopyAs", "EditFind", "EditSearchAgain", "EditGoToAddr",
                                 "EditSwap"})
            QVERIFY2(!e_.edit->action(name)->isEnabled(), name);
        QVERIFY(e_.edit->action("EditProperty")->isEnabled());
    }

    // "System" and "Terminal" are drawn with a fixed-pitch family whatever the desktop's
    // "monospace" is; a cell is as wide as its characters advance, so every one of the 16
    // columns of both grids is in view at the editor's designed size.
    void defaultFontsAreFixedPitchAndAllColumnsShow() {
        // With the proportional "monospace" set-up, make sure it is in effect.
        const QString monospace = qEnvironmentVariable("JQZ_MONOSPACE_FAMILY");
        if (!monospace.isEmpty())
            QCOMPARE(QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family(), monospace);
        e_.edit->show();
        QVERIFY(QTest::qWaitForWindowExposed(e_.edit.get()));
        for (DumpGrid* grid : {hex(), chars()}) {
            const QFontInfo drawn(grid->font());
            QVERIFY2(drawn.fixedPitch(), qPrintable(drawn.family()));
            const QFontMetrics metrics(grid->font());
            const int advance = metrics.horizontalAdvance(QLatin1Char('0'));
            const QRect first = grid->cellRect(0, 0);
            const QRect last = grid->cellRect(0, 15);
            QVERIFY2(first.left() >= 0 && last.right() < grid->viewport()->width(),
                     qPrintable(QStringLiteral("%1: cells %2 wide, %3 px in view")
                                    .arg(grid->objectName())
                                    .arg(last.width())
                                    .arg(grid->viewport()->width())));
            // Each cell holds what it shows and no more than a small margin besides.
            const int shown = grid == hex() ? 2 * advance : advance;
            QVERIFY2(last.width() >= shown && last.width() <= shown + 4,
                     qPrintable(QStringLiteral("%1: cell %2, advance %3")
                                    .arg(grid->objectName()).arg(last.width()).arg(advance)));
        }
    }

    void actionsHaveTheirCaptionsShortcutsAndHints() {
        struct Row {
            const char* name;
            const char* caption;
            const char* shortcut;
            const char* hint;
        };
        const Row rows[] = {
            {"EditUndo", "Undo", "Alt+Backspace", "Undo the last action"},
            {"EditCopy", "Copy", "Ctrl+Ins", "Copy selected memory cells to clipboard"},
            {"EditPaste", "Paste", "Shift+Ins", "Paste contents of clipboard"},
            {"EditSelectAll", "Select All", "Ctrl+A", "Select all memory cell"},
            {"EditFill", "Fill", "", "Fill memory cells with the value"},
            {"EditCopyAs", "Copy As ...", "", "Copy selected memory cells to clipboard with conversion"},
            {"EditFind", "Find", "", "Find cell in memory dump"},
            {"EditSearchAgain", "Search Again", "Ctrl+L", "Search again cell in memory dump"},
            {"EditProperty", "Property", "", "Description window Show/Close"},
            {"EditGoToAddr", "Go To Address", "Ctrl+G", "Go to address in memory dump"},
            {"EditSwap", "Swap", "", "Swap memory cells"},
        };
        for (const Row& r : rows) {
            QAction* a = e_.edit->action(r.name);
            QVERIFY2(a != nullptr, r.name);
            QCOMPARE(test::ShownCaption(a), QString(r.caption));
            QCOMPARE(a->shortcut(), QKeySequence(r.shortcut));
            QCOMPARE(a->statusTip(), QString(r.hint));
            QVERIFY2(!a->icon().isNull(), r.name);
        }
        QCOMPARE(hex()->statusTip(), QString("Memory dump in Hexadecimal Format"));
        QCOMPARE(chars()->statusTip(), QString("Memory dump in Character Format"));
        auto* menu = e_.edit->findChild<QMenu*>("PopupMenu1");
        QStringList items;
        for (QAction* a : menu->actions())
            items << (a->isSeparator() ? "-" : test::ShownCaption(a) + (a->shortcut().isEmpty() ? "" : " " + a->shortcut().toString()));
        QCOMPARE(items, (QStringList{"Undo Alt+Backspace", "-", "Copy Ctrl+Ins", "Paste Shift+Ins",
                                     "Select All Ctrl+A", "-", "Find ...", "Search Again Ctrl+L", "-",
                                     "Go To Address Ctrl+G", "Copy As", "Fill Ctrl+F", "Swap"}));
    }

    void showAndCloseFollowTheEnableRules() {
        e_.model->description.setProjectName("Door");
        e_.model->description.setDeviceName("E9");
        showEditor();
        QCOMPARE(e_.edit->windowTitle(), QString("Door E9"));
        for (const char* name : {"EditCopy", "EditSelectAll", "EditFill", "EditCopyAs",
                                 "EditFind", "EditGoToAddr", "EditSwap"})
            QVERIFY2(e_.edit->action(name)->isEnabled(), name);
        QVERIFY(!e_.edit->action("EditUndo")->isEnabled());
        QVERIFY2(!e_.edit->action("EditPaste")->isEnabled(), "the clipboard is empty");
        QVERIFY2(!e_.edit->action("EditSearchAgain")->isEnabled(), "no search yet");
        e_.edit->close();
        QVERIFY(!e_.edit->isVisible());
        QVERIFY(!e_.edit->action("EditCopy")->isEnabled());
        QVERIFY(e_.edit->action("EditProperty")->isEnabled());
        // The clipboard is followed while the window is hidden, too.
        QGuiApplication::clipboard()->setText("12");
        QTRY_VERIFY(e_.edit->action("EditPaste")->isEnabled());
        QGuiApplication::clipboard()->setText("");
        QTRY_VERIFY(!e_.edit->action("EditPaste")->isEnabled());
        QGuiApplication::clipboard()->setText("AB");
        e_.edit->close();
        showEditor();
        QVERIFY(e_.edit->action("EditPaste")->isEnabled());
    }

    // The line under the status bar: the figures of the selection, else of the device's
    // EEPROM, else of the whole image; the values are those zlib and a byte sum give.
    void checksumLineFollowsSelectionAndDevice() {
        fill(0xFF);
        showEditor();
        QCOMPARE(e_.edit->checksumText(),
                 QString(" Image 0x0000-0xFFFF: sum 0x0000, CRC-32 0xDEAB7E4E"));

        // A rectangle of two rows by five cells: "12345" and "abcde".
        hex()->setFocus();
        for (char c : std::string("3132333435")) QTest::keyClick(hex(), c);
        QTest::mouseClick(hex()->viewport(), Qt::LeftButton, {}, cellCentre(hex(), 1, 0));
        for (char c : std::string("6162636465")) QTest::keyClick(hex(), c);
        QTest::mouseClick(hex()->viewport(), Qt::LeftButton, {}, cellCentre(hex(), 0, 0));
        QTest::mouseClick(hex()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          cellCentre(hex(), 1, 4));
        QCOMPARE(e_.edit->checksumText(),
                 QString(" Selection 0x0000-0x0014: sum 0x02EE, CRC-32 0x2400059D (10 cells)"));

        // A device: without a selection its EEPROM, here blank.
        SupportedDeviceList devices("");
        devices.selectDevice("MC68HC11  E9 (E28B)");
        ResetImageForDevice(*e_.model, devices);
        QTest::mouseClick(hex()->viewport(), Qt::LeftButton, {}, cellCentre(hex(), 0, 0));
        QCOMPARE(e_.edit->checksumText(),
                 QString(" EEPROM 0xB600-0xB7FF: sum 0xFE00, CRC-32 0xBD7BC39F"));
    }

    void typingDigitsMakesBytesStepByStep() {
        fill(0xFF);
        showEditor();
        hex()->setFocus();
        QTest::keyClick(hex(), '4');
        QCOMPARE(image().ReadData(0), 0x4F);
        QCOMPARE(cursor(), 0);
        QCOMPARE(e_.edit->statusText(1), QString("Dec: 79"));
        QTest::keyClick(hex(), '1');
        QCOMPARE(image().ReadData(0), 0x41);
        QCOMPARE(cursor(), 1);
        QCOMPARE(image().CellColor(0), (Rgb{255, 0, 0}));
        QVERIFY(e_.edit->action("EditUndo")->isEnabled());
        // An arrow key between digits: the next digit is a high nibble again.
        QTest::keyClick(hex(), '7');
        QTest::keyClick(hex(), Qt::Key_Right);
        QTest::keyClick(hex(), '3');
        QCOMPARE(image().ReadData(1), 0x7F);
        QCOMPARE(image().ReadData(2), 0x3F);
        // A key that is no hexadecimal digit changes nothing.
        const int steps = e_.model->undo.stepCount();
        QTest::keyClick(hex(), 'x');
        QCOMPARE(e_.model->undo.stepCount(), steps);
        // Each digit is one Undo.
        for (int i = 0; i < steps; ++i) e_.edit->action("EditUndo")->trigger();
        for (int a : {0, 1, 2}) QCOMPARE(image().ReadData(a), 0xFF);
        QVERIFY(!e_.edit->action("EditUndo")->isEnabled());
        QCOMPARE(cursor(), 0);
    }

    void typingCharactersAndTheLastCell() {
        showEditor();
        chars()->setFocus();
        e_.edit->GoToAddress(0x0F);
        QTest::keyClicks(chars(), "Ab");
        QCOMPARE(image().ReadData(0x0F), 'A');
        QCOMPARE(image().ReadData(0x10), 'b');
        QCOMPARE(cursor(), 0x11);
        QTest::keyClick(chars(), Qt::Key_Backspace);
        QCOMPARE(image().ReadData(0x11), 0x08);
        e_.edit->GoToAddress(0xFFFF);
        hex()->setFocus();
        QTest::keyClicks(hex(), "12");
        QCOMPARE(image().ReadData(0xFFFF), 0x12);
        QCOMPARE(cursor(), 0xFFFF);
        QCOMPARE(e_.edit->statusText(0), QString(" 0FFFF"));
        // Typing on a read-only cell leaves it and moves on.
        image().SetReadOnly(0x20, true);
        e_.edit->GoToAddress(0x20);
        QTest::keyClicks(hex(), "99");
        QCOMPARE(image().ReadData(0x20), 0x00);
        QCOMPARE(cursor(), 0x21);
    }

    void statusBarDescribesTheCursorCell() {
        fill(0xFF);
        showEditor();
        e_.edit->GoToAddress(0xB600);
        QCOMPARE(e_.edit->statusText(0), QString(" 0B600"));
        QCOMPARE(e_.edit->statusText(1), QString("Dec: 255"));
        QCOMPARE(e_.edit->statusText(2), QString("Bin: 11111111"));
        QCOMPARE(e_.edit->statusText(3), QString("Read/Write"));
        // The family the characters are drawn with, not the stored name ("Terminal").
        const auto drawn = [&] { return "Char Set: " + QFontInfo(chars()->font()).family(); };
        QCOMPARE(e_.edit->statusText(4), drawn());
        QCOMPARE(e_.edit->statusText(4), "Char Set: " + DefaultGridFamily());
        image().WriteData(0xB601, 0x05);
        image().SetReadOnly(0xB601, true);
        e_.edit->GoToAddress(0xB601);
        QCOMPARE(e_.edit->statusText(1), QString("Dec: 5"));
        QCOMPARE(e_.edit->statusText(2), QString("Bin: 00000101"));
        QCOMPARE(e_.edit->statusText(3), QString("Read Only"));
        image().SetUnimplemented(0xB601, true);
        e_.edit->RepaintView();
        QCOMPARE(e_.edit->statusText(3), QString("Unimplemented"));
        EditorAppearance p = e_.edit->GetAppearance();
        p.RightFont = "No Such Family";
        e_.edit->ApplyAppearance(p);
        QCOMPARE(e_.edit->statusText(4), "Char Set: " + DefaultGridFamily());
        p.RightFont = FixedPitchFamilies().back().toStdString();
        e_.edit->ApplyAppearance(p);
        QCOMPARE(e_.edit->statusText(4), drawn());
    }

    void selectionIsOneRectangleInBothGrids() {
        showEditor();
        QTest::mouseClick(hex()->viewport(), Qt::LeftButton, {}, cellCentre(hex(), 0, 2));
        QCOMPARE(cursor(), 2);
        QVERIFY(!e_.edit->HasRangeSelection());
        QTest::mouseClick(hex()->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellCentre(hex(), 1, 3));
        QVERIFY(e_.edit->HasRangeSelection());
        QCOMPARE(e_.edit->editor().selection().rect(), (CellRect{0, 2, 1, 3}));
        // The character grid paints the same cells selected: white turned (191, 191, 191).
        const QImage shot = chars()->viewport()->grab().toImage();
        auto corner = [&](int row, int column) {
            return QColor(shot.pixel(chars()->cellRect(row, column).topLeft() + QPoint(0, 1)));
        };
        QCOMPARE(corner(1, 3), QColor(191, 191, 191));
        QCOMPARE(corner(0, 2), QColor(191, 191, 191));
        QCOMPARE(corner(0, 1), QColor(255, 255, 255));
        QCOMPARE(corner(2, 3), QColor(255, 255, 255));
        // Shift and arrows in the character grid extend the same selection.
        chars()->setFocus();
        QTest::keyClick(chars(), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(e_.edit->editor().selection().rect(), (CellRect{0, 2, 2, 3}));
        QTest::keyClick(chars(), Qt::Key_Left);
        QVERIFY(!e_.edit->HasRangeSelection());
        e_.edit->action("EditSelectAll")->trigger();
        QCOMPARE(e_.edit->editor().selection().rect(), (CellRect{0, 0, 4095, 15}));
        QCOMPARE(cursor(), 0xFFFF);
    }

    void bothGridsShareTheTopRow() {
        showEditor();
        e_.edit->GoToAddress(0x1234);
        QCOMPARE(e_.edit->editor().selection().cursorRow(), 0x123);
        QCOMPARE(e_.edit->editor().selection().cursorColumn() + 1, 5);
        QCOMPARE(hex()->topRow(), chars()->topRow());
        QVERIFY(hex()->topRow() <= 0x123 && 0x123 < hex()->topRow() + hex()->visibleRows());
        chars()->verticalScrollBar()->setValue(77);
        QCOMPARE(hex()->topRow(), 77);
        hex()->verticalScrollBar()->setValue(500);
        QCOMPARE(chars()->topRow(), 500);
        e_.edit->ShowAddressAtTop(0xB600);
        QCOMPARE(hex()->topRow(), 0xB60);
        QCOMPARE(cursor(), 0xB600);
        e_.edit->ShowAddressAtTop(0xFFF0);
        // The last page stays whole.
        QCOMPARE(hex()->topRow(), 4096 - hex()->visibleRows());
        e_.edit->GoToAddress(0x20000);
        QCOMPARE(cursor(), 0xFFFF);
    }

    // Go To and Search bring the target row into view whole in both grids, whatever the
    // window's height, and Search marks every cell of the match.
    void goToAndSearchShowTheWholeRowAndMatch() {
        showEditor();
        for (int height : {301, 317, 333, 480}) {
            e_.edit->resize(e_.edit->width(), height);
            QTest::qWait(1);
            e_.edit->GoToAddress(0);
            e_.edit->GoToAddress(0x1234);
            const int row = 0x1234 / 16;
            for (DumpGrid* grid : {hex(), chars()}) {
                const QRect cell = grid->cellRect(row, 4);
                QVERIFY2(cell.top() >= 0 && cell.bottom() < grid->viewport()->height(),
                         qPrintable(QString("%1 grid, window %2: row %3..%4 of %5")
                                        .arg(grid->objectName()).arg(height).arg(cell.top())
                                        .arg(cell.bottom()).arg(grid->viewport()->height())));
            }
        }
        fill(0);
        image().WriteData(0x2FFE, 0xAB);
        image().WriteData(0x2FFF, 0xCD);
        image().WriteData(0x3000, 0xEF);
        e_.edit->GoToAddress(0);
        e_.edit->editor().search().text = "ABCDEF";
        QCOMPARE(e_.edit->editor().RunSearch(), SearchOutcome::Found);
        e_.edit->GoToAddress(cursor());
        const QImage shot = hex()->viewport()->grab().toImage();
        const QColor selected = e_.edit->selectedColour();
        for (int a : {0x2FFE, 0x2FFF, 0x3000}) {
            const QRect cell = hex()->cellRect(a / 16, a % 16);
            QVERIFY(cell.bottom() < hex()->viewport()->height());
            QCOMPARE(shot.pixelColor(cell.topLeft() + QPoint(1, 1)), selected);
        }
        const QRect after = hex()->cellRect(0x3001 / 16, 0x3001 % 16);
        QVERIFY(shot.pixelColor(after.topLeft() + QPoint(1, 1)) != selected);
    }

    void selectedCellsStayReadable() {
        struct Case {
            QColor text, fill, expected;
        };
        const QColor unimplemented(255, 170, 170);
        const QColor selection(191, 191, 191);
        const Case cases[] = {
            {Qt::black, Qt::white, Qt::black},
            {Qt::blue, selection, Qt::blue},
            {unimplemented, selection, Qt::black},
            {selection, selection, Qt::black},
            {QColor(200, 200, 200), QColor(20, 20, 20), QColor(200, 200, 200)},
            {QColor(40, 40, 40), QColor(20, 20, 20), Qt::white},
        };
        for (const Case& c : cases) QCOMPARE(ReadableOn(c.text, c.fill), c.expected);
    }

    void theFocusedGridTakesTheScrollBar() {
        showEditor();
        auto* splitter = e_.edit->findChild<QSplitter*>("Splitter1");
        hex()->setFocus();
        QTRY_VERIFY(hex()->hasFocus());
        QCOMPARE(hex()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        const QList<int> before = splitter->sizes();
        chars()->setFocus();
        QTRY_VERIFY(chars()->hasFocus());
        QCOMPARE(chars()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(hex()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        const QList<int> after = splitter->sizes();
        QVERIFY(after[1] > before[1]);
        QCOMPARE(after[0] + after[1], before[0] + before[1]);
    }

    void copyAndPasteThroughTheClipboard() {
        showEditor();
        image().WriteData(0x22, 1);
        image().WriteData(0x23, 2);
        image().WriteData(0x32, 3);
        image().WriteData(0x33, 4);
        e_.model->undo.Clear();
        e_.edit->editor().selection().moveTo(2, 2, false);
        e_.edit->editor().selection().moveTo(3, 3, true);
        e_.edit->action("EditCopy")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("01 02 \r\n03 04 "));
        QTRY_VERIFY(e_.edit->action("EditPaste")->isEnabled());
        e_.edit->GoToAddress(0x1005);
        e_.edit->action("EditPaste")->trigger();
        QCOMPARE(image().ReadData(0x1005), 1);
        QCOMPARE(image().ReadData(0x1016), 4);
        QCOMPARE(cursor(), 0x1017);
        e_.edit->action("EditUndo")->trigger();
        QCOMPARE(image().ReadData(0x1005), 0);
        QCOMPARE(image().ReadData(0x1016), 0);
        QCOMPARE(cursor(), 0x1005);
    }

    // Both key pairs copy and paste, in either grid: Ctrl+Ins / Shift+Ins and Ctrl+C / Ctrl+V.
    void copyAndPasteKeysInBothGrids() {
        struct Case {
            const char* grid;
            int copyKey;
            Qt::KeyboardModifier copyModifier;
            int pasteKey;
            Qt::KeyboardModifier pasteModifier;
        };
        const Case cases[] = {
            {"hex", Qt::Key_Insert, Qt::ControlModifier, Qt::Key_Insert, Qt::ShiftModifier},
            {"hex", Qt::Key_C, Qt::ControlModifier, Qt::Key_V, Qt::ControlModifier},
            {"chars", Qt::Key_Insert, Qt::ControlModifier, Qt::Key_Insert, Qt::ShiftModifier},
            {"chars", Qt::Key_C, Qt::ControlModifier, Qt::Key_V, Qt::ControlModifier},
        };
        showEditor();
        for (const Case& c : cases) {
            fill(0);
            image().WriteData(0x22, 0x41);
            image().WriteData(0x23, 0x42);
            e_.model->undo.Clear();
            QGuiApplication::clipboard()->clear();
            DumpGrid* grid = std::string(c.grid) == "hex" ? hex() : chars();
            grid->setFocus();
            QTRY_VERIFY(grid->hasFocus());
            e_.edit->editor().selection().moveTo(2, 2, false);
            e_.edit->editor().selection().moveTo(2, 3, true);
            QTest::keyClick(grid, static_cast<Qt::Key>(c.copyKey), c.copyModifier);
            QCOMPARE(QGuiApplication::clipboard()->text(), QString("41 42 "));
            QTRY_VERIFY(e_.edit->action("EditPaste")->isEnabled());
            e_.edit->GoToAddress(0x100);
            QTest::keyClick(grid, static_cast<Qt::Key>(c.pasteKey), c.pasteModifier);
            QCOMPARE(image().ReadData(0x100), 0x41);
            QCOMPARE(image().ReadData(0x101), 0x42);
            // The keys did not reach the grid as typed characters.
            QCOMPARE(image().ReadData(0x22), 0x41);
            QCOMPARE(image().ReadData(0x102), 0);
        }
    }

    // A key held with Ctrl or Alt writes nothing into either grid, whatever text the platform
    // gives it (X11 gives Ctrl+S the control byte 0x13); Ctrl+Z undoes as Alt+Backspace does.
    void controlKeysTypeNoBytesAndCtrlZUndoes() {
        struct Case {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            QString text;
        };
        const Case cases[] = {
            {Qt::Key_Z, Qt::ControlModifier, QString(QChar(0x1A))},
            {Qt::Key_S, Qt::ControlModifier, QString(QChar(0x13))},
            {Qt::Key_O, Qt::ControlModifier, QString(QChar(0x0F))},
            {Qt::Key_X, Qt::ControlModifier, QString(QChar(0x18))},
            {Qt::Key_W, Qt::ControlModifier, QString(QChar(0x17))},
            {Qt::Key_Q, Qt::ControlModifier, QString(QChar(0x11))},
            {Qt::Key_N, Qt::ControlModifier, QString(QChar(0x0E))},
            {Qt::Key_P, Qt::ControlModifier, QString(QChar(0x10))},
            {Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, "A"},
            {Qt::Key_B, Qt::AltModifier, "b"},
            {Qt::Key_1, Qt::AltModifier, "1"},
        };
        showEditor();
        for (DumpGrid* grid : {hex(), chars()}) {
            fill(0);
            e_.model->undo.Clear();
            grid->setFocus();
            QTRY_VERIFY(grid->hasFocus());
            for (const Case& c : cases) {
                e_.edit->GoToAddress(0x40);
                QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers, c.text);
                QCoreApplication::sendEvent(grid, &press);
                QCOMPARE(image().ReadData(0x40), 0);
                QCOMPARE(cursor(), 0x40);
            }
            QVERIFY(e_.model->undo.IsEmpty());
            QTest::keyClick(grid, '4');
            QCOMPARE(image().ReadData(0x40), grid == hex() ? 0x40 : '4');
            QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(image().ReadData(0x40), 0);
            QVERIFY(e_.model->undo.IsEmpty());
        }
    }

    void geometryRoundTrip() {
        EditorGeometry g;
        g.EditorLeft = 40;
        g.EditorTop = 30;
        g.EditorHeight = 500;
        g.EditorWidth = 560;
        g.LeftGridWidth = 300;
        g.EditorVisible = true;
        g.DescriptionLeft = 100;
        g.DescriptionTop = 120;
        g.DescriptionHeight = 300;
        g.DescriptionWidth = 400;
        g.DescriptionVisible = true;
        e_.edit->SetGeometry(g);
        QVERIFY(e_.edit->isVisible());
        QVERIFY(e_.edit->description()->isVisible());
        const EditorGeometry back = e_.edit->GetGeometry();
        QCOMPARE(back.EditorLeft, 40);
        QCOMPARE(back.EditorTop, 30);
        QCOMPARE(back.EditorHeight, 500);
        QCOMPARE(back.EditorWidth, 560);
        QCOMPARE(back.LeftGridWidth, 300);
        QCOMPARE(back.DescriptionWidth, 400);
        QVERIFY(back.DescriptionVisible);
        // The window keeps within its widths and the hex grid within its minimum.
        g.EditorWidth = 900;
        g.LeftGridWidth = 100;
        g.EditorVisible = false;
        g.DescriptionVisible = false;
        e_.edit->SetGeometry(g);
        const EditorGeometry narrow = e_.edit->GetGeometry();
        QCOMPARE(e_.edit->width(), 565);
        QCOMPARE(narrow.LeftGridWidth, 265);
        QVERIFY(!narrow.EditorVisible);
        QVERIFY(!narrow.DescriptionVisible);
    }

    void propertyTogglesTheDescriptionAndNamesSetCaptions() {
        showEditor();
        TExplaine* d = e_.edit->description();
        e_.edit->action("EditProperty")->trigger();
        QVERIFY(d->isVisible());
        e_.model->description.setProjectName("Lock");
        QCOMPARE(d->windowTitle(), QString("Lock Description"));
        QCOMPARE(e_.edit->windowTitle(), QString("Lock "));
        e_.model->description.setDeviceName("A1");
        QCOMPARE(e_.edit->windowTitle(), QString("Lock A1"));
        e_.edit->action("EditProperty")->trigger();
        QVERIFY(!d->isVisible());
    }

    void undoFollowsBulkOperations() {
        showEditor();
        hex()->setFocus();
        QTest::keyClick(hex(), '5');
        QVERIFY(e_.edit->action("EditUndo")->isEnabled());
        image().BeginBulk();
        image().EndBulk();
        QVERIFY(!e_.edit->action("EditUndo")->isEnabled());
    }
};

QTEST_MAIN(TestHexEdit)
#include "tst_hex_edit.moc"
