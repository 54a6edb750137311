// The bootstrap cable's smart write: what each cell needs, and when a bulk erase pays.
#include <gtest/gtest.h>

#include <vector>

#include "core/device/smart_write.h"

namespace jqz {
namespace {

struct CellCase {
    std::uint8_t current, wanted;
    CellAction action;
};

TEST(SmartWrite, EachCellTakesTheLeastItNeeds) {
    const CellCase cases[] = {
        {0x5A, 0x5A, CellAction::Skip},          // equal
        {0xFF, 0xFF, CellAction::Skip},          // erased and to stay erased
        {0xFF, 0x12, CellAction::Program},       // from erased: bits cleared only
        {0xF0, 0x30, CellAction::Program},       // bits cleared only
        {0x0F, 0x00, CellAction::Program},
        {0x00, 0xFF, CellAction::Erase},         // back to erased: the erase alone
        {0x12, 0xFF, CellAction::Erase},
        {0x30, 0xF0, CellAction::EraseProgram},  // a 1 needed back
        {0x00, 0x01, CellAction::EraseProgram},
        {0x7F, 0x80, CellAction::EraseProgram},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CellActionFor(c.current, c.wanted), c.action)
            << std::hex << int(c.current) << " -> " << int(c.wanted);
}

struct PlanCase {
    const char* what;
    std::vector<std::uint8_t> current, wanted;
    bool wholeArray;
    bool bulk;
    int cycles;
};

TEST(SmartWrite, BulkEraseOnlyOverTheWholeArrayAndWhenQuicker) {
    const std::vector<std::uint8_t> zeros(8, 0x00), erased(8, 0xFF), ones(8, 0x01);
    const std::vector<std::uint8_t> mixed{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
    const PlanCase cases[] = {
        {"all equal", zeros, zeros, true, false, 0},
        {"from erased", erased, ones, true, false, 8},
        {"all need a 1 back", zeros, ones, true, true, 9},        // 16 by bytes, 1 + 8 bulk
        {"same, but part of the array", zeros, ones, false, false, 16},
        {"one needs a 1 back", zeros, mixed, true, false, 2},     // 2 by bytes, 1 + 1 bulk
        {"to erased", zeros, erased, true, true, 1},               // 8 byte erases or 1 bulk
        {"to erased, part of the array", zeros, erased, false, false, 8},
    };
    for (const auto& c : cases) {
        const WritePlan plan = PlanEepromWrite(c.current, c.wanted, c.wholeArray);
        EXPECT_EQ(plan.bulkErase, c.bulk) << c.what;
        EXPECT_EQ(plan.cycles, c.cycles) << c.what;
        ASSERT_EQ(plan.actions.size(), c.wanted.size()) << c.what;
        if (!plan.bulkErase) continue;
        for (std::size_t i = 0; i < c.wanted.size(); ++i) {
            EXPECT_EQ(plan.actions[i], c.wanted[i] == 0xFF ? CellAction::Skip : CellAction::Program)
                << c.what << " cell " << i;
        }
    }
}

}  // namespace
}  // namespace jqz
