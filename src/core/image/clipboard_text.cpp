#include "core/image/clipboard_text.h"

#include "core/image/number_parsers.h"
#include "core/image/stack_container.h"

namespace jqz {

namespace {

// A pair of hexadecimal digits of either case.
HexPair pastedPair(char hi, char lo) {
    auto upper = [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; };
    return ParseHexPair(upper(hi), upper(lo));
}

void appendByte(std::string& out, std::uint8_t byte) {
    out.push_back(HexDigit(byte >> 4));
    out.push_back(HexDigit(byte));
}

}  // namespace

std::string SelectionText(const MemoryImage& image, const CellRect& rect) {
    std::string out;
    out.reserve(static_cast<std::size_t>(rect.count()) * 3 +
                static_cast<std::size_t>(rect.bottom - rect.top) * 2);
    for (int r = rect.top; r <= rect.bottom; ++r) {
        if (r != rect.top) out += "\r\n";
        for (int c = rect.left; c <= rect.right; ++c) {
            appendByte(out, image.ReadData(r * kGridColumns + c));
            out.push_back(' ');
        }
    }
    return out;
}

std::string ArrayText(const MemoryImage& image, int from, int to) {
    std::string out;
    if (to < from) return out;
    out.reserve(static_cast<std::size_t>(to - from + 1) * 3);
    for (int a = from; a <= to; ++a) {
        appendByte(out, image.ReadData(a));
        out.push_back(' ');
    }
    return out;
}

PasteResult PasteText(MemoryImage& image, StackContainer& undo, std::string_view text,
                      long long lineStart) {
    PasteResult result;
    if (text.size() > kPasteTextLimit) text = text.substr(0, kPasteTextLimit);
    if (text.size() < 2) return result;
    result.scanned = true;
    long long column = 0;
    undo.BeginGroup();
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ') {
            ++i;
            continue;
        }
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if ((c == '\r' && next == '\n') || c == '\n') {
            lineStart += kGridColumns;
            column = 0;
            i += c == '\n' ? 1 : 2;
            continue;
        }
        const HexPair pair = pastedPair(c, next);
        if (!pair.ok) break;
        const long long address = lineStart + column;
        if (address > MemoryImage::LastAddress()) break;
        undo.Push(address);
        image.WriteData(address, pair.value);
        ++result.cellsWritten;
        ++column;
        i += 2;
    }
    undo.EndGroup();
    result.nextAddress = lineStart + column;
    return result;
}

}  // namespace jqz
