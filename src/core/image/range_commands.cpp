#include "core/image/range_commands.h"

#include <array>

#include "core/image/editor_messages.h"
#include "core/image/memory_image.h"
#include "core/image/stack_container.h"

namespace jqz {

void FillCells(MemoryImage& image, StackContainer& undo, const CellSet& cells, std::uint8_t value) {
    undo.BeginGroup();
    cells.forEach([&](int a) {
        undo.Push(a);
        image.WriteData(a, value);
    });
    undo.EndGroup();
}

namespace {

constexpr std::uint8_t reverseBits(std::uint8_t v) {
    std::uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
        if ((v >> i) & 1) r = static_cast<std::uint8_t>(r | (0x80 >> i));
    return r;
}

constexpr std::array<std::uint8_t, 256> kReversed = [] {
    std::array<std::uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = reverseBits(static_cast<std::uint8_t>(i));
    return t;
}();

// Latin-1 lower case, the code page of the image's text.
constexpr std::uint8_t lowerLatin1(std::uint8_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<std::uint8_t>(c + 0x20);
    return c;
}

int hexDigitAnyCase(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void SwapImage(MemoryImage& image, StackContainer& undo, SwapMode mode) {
    const int group = mode == SwapMode::Byte ? 1 : (mode == SwapMode::Word ? 2 : 4);
    undo.BeginGroup();
    std::array<std::uint8_t, 4> old{};
    for (int base = 0; base <= MemoryImage::LastAddress(); base += group) {
        // A word or double word with a cell the image refuses is left whole: its writable
        // cells would otherwise take the refused cell's value and lose their own.
        bool whole = true;
        for (int i = 0; i < group; ++i) whole = whole && image.Accepts(base + i);
        if (group > 1 && !whole) continue;
        // Every value of the group is read before any of its cells is written.
        for (int i = 0; i < group; ++i) old[static_cast<std::size_t>(i)] = image.ReadData(base + i);
        for (int i = 0; i < group; ++i) {
            const std::uint8_t value = group == 1 ? kReversed[old[0]]
                                                  : old[static_cast<std::size_t>(group - 1 - i)];
            undo.Push(base + i);
            image.WriteData(base + i, value);
        }
    }
    undo.EndGroup();
}

PatternResult MakeSearchPattern(std::string_view text, SearchType type) {
    PatternResult result;
    if (text.size() > kSearchTextLimit) {
        result.error = kSearchTooLongMessage;
        return result;
    }
    SearchPattern pattern;
    if (type == SearchType::Text) {
        pattern.caseBlind = true;
        for (char c : text) pattern.bytes.push_back(lowerLatin1(static_cast<std::uint8_t>(c)));
    } else {
        if (text.size() % 2 != 0) {
            result.error = kOddHexStringMessage;
            return result;
        }
        for (std::size_t i = 0; i < text.size(); i += 2) {
            const int hi = hexDigitAnyCase(text[i]);
            const int lo = hexDigitAnyCase(text[i + 1]);
            if (hi < 0 || lo < 0) {
                result.error = kBadHexPairMessage;
                return result;
            }
            pattern.bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        }
    }
    result.pattern = std::move(pattern);
    return result;
}

std::optional<int> FindPattern(const MemoryImage& image, const SearchPattern& pattern,
                               long long start, int step) {
    if (step == 0) return std::nullopt;
    const std::size_t length = pattern.bytes.size();
    // The image as it is now, followed by zeros for the cells beyond its end.
    std::vector<std::uint8_t> cells(static_cast<std::size_t>(MemoryImage::kCellCount) + length, 0);
    for (int a = 0; a <= MemoryImage::LastAddress(); ++a) {
        const std::uint8_t v = image.ReadData(a);
        cells[static_cast<std::size_t>(a)] =
            pattern.caseBlind && v >= 'A' && v <= 'Z' ? static_cast<std::uint8_t>(v + 0x20) : v;
    }
    for (long long a = start; a >= 0 && a <= MemoryImage::LastAddress(); a += step) {
        const std::uint8_t* at = cells.data() + a;
        std::size_t i = 0;
        while (i < length && at[i] == pattern.bytes[i]) ++i;
        if (i == length) return static_cast<int>(a);
    }
    return std::nullopt;
}

}  // namespace jqz
