// The memory maps of the A8, E9 and E20 as the CPU reads them in bootstrap mode: RAM, the
// registers, EEPROM, the ROM (a pattern, not the maker's bytes) and the boot ROM, whose only
// bytes are its vector table.
#include <gtest/gtest.h>

#include "sim/hc11/machine.h"

namespace jqz::sim::hc11 {
namespace {

Hc11Options part(const char* name) {
    Hc11Options o;
    o.part = name;
    o.eeprom = {0x5A};
    return o;
}

TEST(Hc11MemoryMap, PartsAsTheTechnicalDataMapThem) {
    struct Case {
        const char* part;
        std::uint16_t lastRam;
        std::vector<std::pair<std::uint16_t, bool>> rom;  // address, in ROM
    };
    const Case cases[] = {
        {"A8", 0x00FF, {{0xDFFF, false}, {0xE000, true}, {0xFFBF, true}, {0x9000, false}}},
        {"E9", 0x01FF, {{0xCFFF, false}, {0xD000, true}, {0xFFBF, true}, {0x9000, false}}},
        {"E20", 0x02FF, {{0x8FFF, false}, {0x9000, true}, {0xAFFF, true}, {0xB000, false},
                         {0xCFFF, false}, {0xD000, true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.part);
        Machine m(part(c.part));
        m.poke(c.lastRam, 0x77);
        m.poke(static_cast<std::uint16_t>(c.lastRam + 1), 0x77);
        EXPECT_EQ(m.peek(c.lastRam), 0x77);
        EXPECT_EQ(m.peek(static_cast<std::uint16_t>(c.lastRam + 1)), 0xFF);  // nothing there
        EXPECT_EQ(m.peek(0xB600), 0x5A);
        EXPECT_EQ(m.peek(0xB7FF), 0xFF);
        EXPECT_EQ(m.peek(0xB800), 0xFF);
        EXPECT_EQ(m.peek(0x103F), 0x0F);  // CONFIG: erased cell, the implemented bits
        for (const auto& [address, inRom] : c.rom) {
            SCOPED_TRACE(address);
            const std::uint8_t pattern = static_cast<std::uint8_t>("HC11-ROM"[address % 8]);
            if (inRom) EXPECT_EQ(m.peek(address), pattern);
            else EXPECT_EQ(m.peek(address), 0xFF);
        }
        // The boot ROM's vectors: reset to its program, SCI, SWI, illegal opcode to RAM.
        auto vec = [&](std::uint16_t a) { return m.peek(a) << 8 | m.peek(static_cast<std::uint16_t>(a + 1)); };
        EXPECT_EQ(vec(0xBFFE), 0xBF40);
        EXPECT_EQ(vec(0xBFD6), 0x00C4);
        EXPECT_EQ(vec(0xBFF6), 0x00F4);
        EXPECT_EQ(vec(0xBFF8), 0x00F7);
        EXPECT_EQ(vec(0xBFFC), 0x00FD);
        EXPECT_NE(m.peek(0xBF40), 0xFF);  // the program area reads as the pattern
    }
}

TEST(Hc11MemoryMap, RomIgnoresWritesAndTheBootRomLeavesWithRboot) {
    Machine m(part("E9"));
    // ldaa #1; staa $E000; clr HPRIO (RBOOT off); bra *
    m.load(0x0000, {0x86, 0x01, 0xB7, 0xE0, 0x00, 0x7F, 0x10, 0x3C, 0x20, 0xFE});
    m.registers().pc = 0;
    m.runUntil(m.cycle() + 50);
    EXPECT_EQ(m.peek(0xE000), static_cast<std::uint8_t>('H'));
    EXPECT_EQ(m.record().romWrites, 1);
    EXPECT_EQ(m.peek(0xBFFE), 0xFF);
}

}  // namespace
}  // namespace jqz::sim::hc11
