#pragma once
// The bootstrap cable's EEPROM write, decided byte by byte from what the cells hold and what
// they are to hold: EEPROM programming only clears bits, an erase sets a byte (or the whole
// array) to 0xFF. A pure function, so that each decision can be shown as a table.
#include <cstdint>
#include <span>
#include <vector>

namespace jqz {

enum class CellAction {
    Skip,          // the cell already holds the value
    Program,       // reachable by clearing bits: one programming pulse
    Erase,         // the value is 0xFF: one byte erase
    EraseProgram,  // a bit must go back to 1: byte erase, then program
};

CellAction CellActionFor(std::uint8_t current, std::uint8_t wanted);

struct WritePlan {
    bool bulkErase = false;           // the whole array first; then only Program or Skip
    std::vector<CellAction> actions;  // one per cell, in order
    int cycles = 0;                   // EEPROM cycles in all, the bulk erase included
};

// wholeArray: the cells are the whole EEPROM, so that a bulk erase loses nothing else. A bulk
// erase is chosen when it takes fewer cycles than the bytes' own erases.
WritePlan PlanEepromWrite(std::span<const std::uint8_t> current,
                          std::span<const std::uint8_t> wanted, bool wholeArray);

}  // namespace jqz
