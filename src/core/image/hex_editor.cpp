#include "core/image/hex_editor.h"

#include <new>

#include "core/messages/message_sink.h"
#include "core/image/clipboard.h"
#include "core/image/clipboard_text.h"
#include "core/image/editor_messages.h"
#include "core/image/image_edit.h"
#include "core/image/number_parsers.h"

namespace jqz {

HexEditor::HexEditor(HexEditModel& model, MessageSink& sink, Clipboard& clipboard)
    : model_(model), sink_(sink), clipboard_(clipboard) {}

void HexEditor::moveAfter(int address) {
    // The cursor stays on the very last cell.
    if (address < MemoryImage::LastAddress()) selection_.GoToAddress(address + 1);
    else selection_.GoToAddress(address);
}

bool HexEditor::refuseWhileBusy() { return RefuseWhileRead(model_.image, sink_); }

bool HexEditor::TypeHexKey(std::uint8_t ch) {
    int digit;
    if (ch >= '0' && ch <= '9') digit = ch - '0';
    else if (ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
    else if (ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
    else return false;
    return EditUnlessRead(model_.image, sink_, [&] {
        nibble_ = !nibble_;
        const int a = selection_.cursorAddress();
        model_.undo.BeginGroup();
        model_.undo.Push(a);
        model_.undo.EndGroup();
        const std::uint8_t old = model_.image.ReadData(a);
        const auto value = nibble_ ? static_cast<std::uint8_t>(digit * 16 + (old & 0x0F))
                                   : static_cast<std::uint8_t>((old & 0xF0) + digit);
        model_.image.WriteData(a, value);
        if (!nibble_) moveAfter(a);
    });
}

bool HexEditor::TypeCharKey(std::uint8_t ch) {
    return EditUnlessRead(model_.image, sink_, [&] {
        const int a = selection_.cursorAddress();
        model_.undo.BeginGroup();
        model_.undo.Push(a);
        model_.undo.EndGroup();
        model_.image.WriteData(a, ch);
        moveAfter(a);
    });
}

void HexEditor::EditUndo() {
    int a = -1;
    EditUnlessRead(model_.image, sink_, [&] { a = model_.undo.Undo(); });
    if (a >= 0) selection_.GoToAddress(a);
}

void HexEditor::putText(const std::string& text) { clipboard_.putText(text); }

bool HexEditor::EditCopy() {
    if (!selection_.HasRangeSelection()) return false;
    std::string text;
    try {
        text = SelectionText(model_.image, selection_.rect());
    } catch (const std::bad_alloc&) {
        sink_.showError(kNotEnoughMemoryMessage);
        return true;
    }
    putText(text);
    return true;
}

void HexEditor::EditPaste() {
    if (refuseWhileBusy()) return;
    std::string text;
    try {
        text = clipboard_.getText();
        if (text.size() > kPasteTextLimit) text.resize(kPasteTextLimit);
    } catch (const std::bad_alloc&) {
        sink_.showError(kNotEnoughMemoryMessage);
        return;
    }
    PasteResult result;
    EditUnlessRead(model_.image, sink_, [&] {
        result = PasteText(model_.image, model_.undo, text, selection_.cursorAddress());
    });
    if (result.scanned) selection_.GoToAddress(result.nextAddress);
    if (result.cellsWritten == 0) sink_.showError(kNothingPastedMessage);
}

namespace {

// Two ends that were read: in order, and refused when the larger is beyond the image.
std::optional<AddressRange> orderedRange(int from, int to, MessageSink& sink) {
    AddressRange range{std::min(from, to), std::max(from, to)};
    if (range.to > MemoryImage::LastAddress()) {
        sink.showError(kTooBigAddressMessage);
        return std::nullopt;
    }
    return range;
}

}  // namespace

std::optional<AddressRange> ParseAddressRange(const std::string& fromText,
                                              const std::string& toText, MessageSink& sink) {
    // Both fields are read, each with its own message, before a refusal stops.
    const int from = ParseNumber(fromText, sink);
    const int to = ParseNumber(toText, sink);
    if (from < 0 || to < 0) return std::nullopt;
    return orderedRange(from, to, sink);
}

std::optional<AddressRange> HexEditor::ParseAddressRange(const std::string& fromText,
                                                         const std::string& toText) {
    return jqz::ParseAddressRange(fromText, toText, sink_);
}

bool HexEditor::FillOk(const std::string& valueText, const std::string& fromText,
                       const std::string& toText, bool onSelection) {
    if (refuseWhileBusy()) return false;
    // Every field is read, each with its own message, before a refusal stops.
    const int value = ParseNumber(valueText, sink_);
    const int from = ParseNumber(fromText, sink_);
    const int to = ParseNumber(toText, sink_);
    if (value < 0 || from < 0 || to < 0) return false;
    const auto range = orderedRange(from, to, sink_);
    if (!range) return false;
    const CellSet cells = onSelection ? CellSet::Selection(selection_.rect())
                                      : CellSet::Range(range->from, range->to);
    if (!EditUnlessRead(model_.image, sink_, [&] {
            FillCells(model_.image, model_.undo, cells, static_cast<std::uint8_t>(value & 0xFF));
        }))
        return false;
    selection_.GoToAddress(cells.last());
    return true;
}

void HexEditor::SwapOk(SwapMode mode) {
    if (refuseWhileBusy()) return;
    EditUnlessRead(model_.image, sink_, [&] { SwapImage(model_.image, model_.undo, mode); });
}

bool HexEditor::GoToOk(const std::string& text) {
    const int a = ParseNumber(text, sink_);
    if (a < 0) return false;
    if (a > MemoryImage::LastAddress()) {
        sink_.showError(kTooBigAddressMessage);
        return false;
    }
    selection_.GoToAddress(a);
    return true;
}

bool HexEditor::CopyArrayOk(const std::string& fromText, const std::string& toText) {
    const auto range = ParseAddressRange(fromText, toText);
    if (!range) return false;
    std::string text;
    try {
        text = ArrayText(model_.image, range->from, range->to);
    } catch (const std::bad_alloc&) {
        sink_.showError(kNotEnoughMemoryMessage);
        return false;
    }
    putText(text);
    return true;
}

bool HexEditor::CopyAsOk(CopyAsFormat format, const std::string& fromText,
                         const std::string& toText, bool onSelection) {
    CellSet cells = CellSet::Selection(selection_.rect());
    if (!onSelection) {
        const auto range = ParseAddressRange(fromText, toText);
        if (!range) return false;
        cells = CellSet::Range(range->from, range->to);
    }
    std::string text;
    try {
        text = CopyAsText(model_.image, cells, format, model_.Caption());
    } catch (const std::bad_alloc&) {
        sink_.showError(kNotEnoughMemoryMessage);
        text.clear();
    }
    putText(text);
    return true;
}

SearchOutcome HexEditor::RunSearch() {
    const PatternResult parsed = MakeSearchPattern(search_.text, search_.type);
    if (!parsed.pattern) {
        sink_.showError(parsed.error);
        return SearchOutcome::Refused;
    }
    const int step = search_.direction == SearchDirection::Down ? 1 : -1;
    const long long start =
        static_cast<long long>(selection_.cursorAddress()) + step * search_.lastMatchLength;
    const auto found = FindPattern(model_.image, *parsed.pattern, start, step);
    if (!found) {
        sink_.showConfirmation(kSearchNotFoundMessage);
        return SearchOutcome::NotFound;
    }
    selection_.GoToAddress(*found);
    search_.lastMatchLength = static_cast<int>(parsed.pattern->bytes.size());
    matchAddress_ = static_cast<int>(*found);
    return SearchOutcome::Found;
}

std::optional<AddressRange> HexEditor::shownMatch() const {
    if (matchAddress_ < 0 || search_.lastMatchLength < 1 || selection_.HasRangeSelection() ||
        cursorAddress() != matchAddress_)
        return std::nullopt;
    return AddressRange{matchAddress_, std::min(MemoryImage::LastAddress(),
                                                matchAddress_ + search_.lastMatchLength - 1)};
}

}  // namespace jqz
