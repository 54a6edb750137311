#pragma once
// The hex editor window: the hex grid and the character grid over the memory image, the
// status bar that describes the cell under the cursor, and the editing actions that the main
// window's Edit menu and tool bar share. Created hidden with the image; closing only hides it.
#include <QAction>
#include <QColor>
#include <QFont>
#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/app/settings_file.h"
#include "core/image/editor_appearance.h"
#include "core/image/hex_editor.h"

class QLabel;
class QMenu;
class QSplitter;
class QStatusBar;

namespace jqz {

class Clipboard;
class DumpGrid;
class MessageSink;
class TExplaine;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;

class THexEdit : public QWidget {
    Q_OBJECT
public:
    // The clipboard defaults to the system's.
    THexEdit(HexEditModel& model, MessageSink& sink, Clipboard* clipboard = nullptr,
             QWidget* parent = nullptr);
    ~THexEdit() override;

    HexEditModel& model() { return model_; }
    HexEditor& editor() { return editor_; }
    MessageSink& messages() { return sink_; }
    TExplaine* description() const { return explaine_; }

    // View operations other windows use.
    void GoToAddress(long long a);
    void ShowAddressAtTop(long long a);
    bool HasRangeSelection() const { return editor_.HasRangeSelection(); }
    Q_INVOKABLE void RepaintView();
    EditorGeometry GetGeometry() const;
    void SetGeometry(const EditorGeometry& g);
    EditorAppearance GetAppearance() const;
    void ApplyAppearance(const EditorAppearance& p);
    // The options dialog's Apply: refused with the busy message while a device read holds the
    // image.
    bool ApplyOptions(const EditorAppearance& p);
    std::string DumpText(long long from, long long to, int bytesPerLine) const {
        return model_.DumpText(from, to, bytesPerLine);
    }

    // The actions by name (EditUndo, EditCopy, ...), and in the order of the Edit menu
    // (nullptr for a separator) and of the tool bar.
    QAction* action(const char* name) const;
    std::vector<QAction*> editMenuActions() const;
    std::vector<QAction*> toolBarActions() const;

    // Action handlers.
    void EditUndoExecute();
    void EditCopyExecute();
    void EditPasteExecute();
    void EditSelectAllExecute();
    void EditFillExecute();
    void EditCopyAsExecute();
    void EditFindExecute();
    void EditSearchAgainExecute();
    void EditPropertyExecute();
    void EditGoToAddrExecute();
    void EditSwapExecute();

    // What the grids ask of the window.
    DumpGrid* hexGrid() const { return hexGrid_; }
    DumpGrid* charGrid() const { return charGrid_; }
    const QColor& paletteColour(int index) const { return palette_[static_cast<std::size_t>(index & 63)]; }
    QColor addressColour() const { return addressColour_; }
    QColor backgroundColour() const { return backgroundColour_; }
    QColor selectedColour() const { return selectedColour_; }
    // A cursor move made by the user in a grid (click or key).
    void userMovedCursor(DumpGrid* grid);
    // Characters typed into a grid.
    void typed(DumpGrid* grid, const QString& text);
    void gridFocused(DumpGrid* grid);
    void topRowChanged(DumpGrid* grid, int row);
    void showPopup(const QPoint& globalPos);
    // The status bar panel's text (0..4).
    QString statusText(int panel) const;
    // The line below the status bar: the 16-bit sum and the CRC-32 of the selected cells, or
    // without a selection of the device's EEPROM (of the whole image without a device).
    QString checksumText() const;
    // The description window's grid repaints whenever the status bar changes.
    void updateStatus();

signals:
    // The undo history or the description changed: HexEditModel::IsModified may differ.
    void modifiedChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void createActions();
    void createPopupMenu();
    void afterCommand();
    void showCursorInBothGrids();
    void clipboardChanged();
    void namesChanged();
    void showCaption();
    // Takes the fonts and colours the image holds now (after any ApplyAppearance).
    void refreshAppearance();
    QString checksumLine() const;
    void giveScrollBarTo(DumpGrid* grid);
    bool searchCreated() const { return form7_ != nullptr; }

    HexEditModel& model_;
    MessageSink& sink_;
    std::unique_ptr<Clipboard> ownClipboard_;
    Clipboard& clipboard_;
    HexEditor editor_;

    std::map<std::string, QAction*> actions_;
    QAction* popupFill_ = nullptr;
    QMenu* popupMenu1_ = nullptr;
    QSplitter* splitter1_ = nullptr;
    DumpGrid* hexGrid_ = nullptr;
    DumpGrid* charGrid_ = nullptr;
    DumpGrid* scrollBarOwner_ = nullptr;
    QStatusBar* statusBar1_ = nullptr;
    std::array<QLabel*, 5> panels_{};
    QStatusBar* statusBar2_ = nullptr;
    QLabel* checksumPanel_ = nullptr;
    TExplaine* explaine_ = nullptr;

    TForm2* form2_ = nullptr;
    TForm3* form3_ = nullptr;
    TForm4* form4_ = nullptr;
    TForm5* form5_ = nullptr;
    TForm6* form6_ = nullptr;
    TForm7* form7_ = nullptr;

    std::array<QColor, 64> palette_;
    QColor addressColour_;
    QColor backgroundColour_;
    QColor selectedColour_;
    QString rightFontName_;
};

}  // namespace jqz
