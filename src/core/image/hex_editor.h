#pragma once
// The hex editor's behaviour behind its window: the shared cursor and selection, typing, and
// every editing command with its dialog's checks. The window and its dialogs forward the
// user's actions here and repaint from the state they find.
#include <cstdint>
#include <optional>
#include <string>

#include "core/image/copy_as.h"
#include "core/image/grid_selection.h"
#include "core/image/hex_edit_model.h"
#include "core/image/range_commands.h"

namespace jqz {

class Clipboard;
class MessageSink;

// What the Search dialog keeps between uses.
struct SearchState {
    std::string text;  // 8-bit text as typed
    SearchType type = SearchType::Hex;
    SearchDirection direction = SearchDirection::Down;
    int lastMatchLength = 0;
};

enum class SearchOutcome {
    Refused,   // the text was refused with a message; nothing else happened
    NotFound,  // "Search String not found" was shown
    Found,     // the cursor is on the match
};

struct AddressRange {
    int from = 0;
    int to = 0;
};

// Two address fields as every range dialog reads them: ParseNumber on each (both are read,
// each with its own message, before a refusal stops), the ends swapped when reversed,
// "Too big Address value" above the image.
std::optional<AddressRange> ParseAddressRange(const std::string& fromText,
                                              const std::string& toText, MessageSink& sink);

class HexEditor {
public:
    HexEditor(HexEditModel& model, MessageSink& sink, Clipboard& clipboard);

    HexEditModel& model() { return model_; }
    const HexEditModel& model() const { return model_; }
    GridSelection& selection() { return selection_; }
    const GridSelection& selection() const { return selection_; }
    int cursorAddress() const { return selection_.cursorAddress(); }
    bool HasRangeSelection() const { return selection_.HasRangeSelection(); }
    void GoToAddress(long long a) { selection_.GoToAddress(a); }

    // Set after the first of a byte's two digits.
    bool nibble() const { return nibble_; }
    void clearNibble() { nibble_ = false; }

    // A character typed in the hex grid (its low eight bits); false when it is no
    // hexadecimal digit, which changes nothing.
    bool TypeHexKey(std::uint8_t ch);
    // A character typed in the character grid: its code goes into the cell. Both refuse
    // (false, after showing the busy message) while a device read holds the image.
    bool TypeCharKey(std::uint8_t ch);

    // Every command below that changes the image is refused the same way while a device read
    // holds it.
    // Undo: takes back the newest step and puts the cursor on its first cell.
    void EditUndo();
    // Copy: true when a selection of several cells went to the clipboard; false when only one
    // cell is selected and the Copy Array dialog is to be opened instead.
    bool EditCopy();
    void EditPaste();
    void EditSelectAll() { selection_.SelectAll(); }

    // The OK steps of the dialogs. Each reads its fields with ParseNumber, shows its message
    // through the sink and returns false when the dialog is to stay open.
    bool FillOk(const std::string& value, const std::string& from, const std::string& to,
                bool onSelection);
    void SwapOk(SwapMode mode);
    bool GoToOk(const std::string& address);
    bool CopyArrayOk(const std::string& from, const std::string& to);
    bool CopyAsOk(CopyAsFormat format, const std::string& from, const std::string& to,
                  bool onSelection);
    // The Search dialog's OK and Search Again, with the text, type and direction in search().
    SearchOutcome RunSearch();
    SearchState& search() { return search_; }
    const SearchState& search() const { return search_; }
    // The cells of the last match, shown as found while the cursor stays on its first cell
    // (and nothing else is selected); nothing otherwise.
    std::optional<AddressRange> shownMatch() const;

    // ParseNumber of both ends, exchanged when reversed, the larger end at most 0xFFFF.
    std::optional<AddressRange> ParseAddressRange(const std::string& from, const std::string& to);

private:
    // True (after saying so) while a device read holds the image: the check before a dialog's
    // fields are read. The change itself is made under the image's edit lock.
    bool refuseWhileBusy();
    void moveAfter(int address);
    void putText(const std::string& text);

    HexEditModel& model_;
    MessageSink& sink_;
    Clipboard& clipboard_;
    GridSelection selection_;
    bool nibble_ = false;
    SearchState search_;
    int matchAddress_ = -1;
};

}  // namespace jqz
