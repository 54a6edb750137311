#include "core/device/smart_write.h"

#include <algorithm>

namespace jqz {

CellAction CellActionFor(std::uint8_t current, std::uint8_t wanted) {
    if (current == wanted) return CellAction::Skip;
    if ((current & wanted) == wanted) return CellAction::Program;
    return wanted == 0xFF ? CellAction::Erase : CellAction::EraseProgram;
}

namespace {
int cyclesOf(CellAction a) {
    switch (a) {
        case CellAction::Skip: return 0;
        case CellAction::EraseProgram: return 2;
        default: return 1;
    }
}
}  // namespace

WritePlan PlanEepromWrite(std::span<const std::uint8_t> current,
                          std::span<const std::uint8_t> wanted, bool wholeArray) {
    WritePlan byBytes;
    const std::size_t n = std::min(current.size(), wanted.size());
    byBytes.actions.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        byBytes.actions.push_back(CellActionFor(current[i], wanted[i]));
        byBytes.cycles += cyclesOf(byBytes.actions.back());
    }
    if (!wholeArray) return byBytes;
    WritePlan bulk;
    bulk.bulkErase = true;
    bulk.cycles = 1;
    bulk.actions.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        bulk.actions.push_back(wanted[i] == 0xFF ? CellAction::Skip : CellAction::Program);
        bulk.cycles += cyclesOf(bulk.actions.back());
    }
    return bulk.cycles < byBytes.cycles ? bulk : byBytes;
}

}  // namespace jqz
