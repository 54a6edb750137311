#pragma once
// The editor's range commands on the image: Fill, Swap and the search for a pattern, each
// edit recorded as one undo step.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/image/cell_range.h"

namespace jqz {

class MemoryImage;
class StackContainer;

// Fills the cells (a range or a selected rectangle) with the value.
void FillCells(MemoryImage& image, StackContainer& undo, const CellSet& cells, std::uint8_t value);

enum class SwapMode { Byte, Word, DoubleWord };

// Over the whole image: Byte reverses each byte's bit order, Word exchanges the bytes of each
// even address pair, DoubleWord reverses each group of four bytes from a multiple of 4. A
// cell the image refuses keeps its byte; a pair or group of four holding one is left whole.
void SwapImage(MemoryImage& image, StackContainer& undo, SwapMode mode);

enum class SearchType { Hex, Text };
enum class SearchDirection { Up, Down };

inline constexpr std::size_t kSearchTextLimit = 32;

struct SearchPattern {
    std::vector<std::uint8_t> bytes;
    bool caseBlind = false;  // image bytes "A"-"Z" compare as "a"-"z"
};

struct PatternResult {
    std::optional<SearchPattern> pattern;
    const char* error = nullptr;  // the message when the text is refused
};

// The pattern a search text stands for (8-bit text): in Hex mode pairs of hexadecimal digits
// of either case, in Text mode the text in lower case.
PatternResult MakeSearchPattern(std::string_view text, SearchType type);

// The first candidate start, start + step, ... within the image where the pattern matches
// (cells beyond the image read as 0x00); an empty pattern matches at the first candidate.
std::optional<int> FindPattern(const MemoryImage& image, const SearchPattern& pattern,
                               long long start, int step);

}  // namespace jqz
