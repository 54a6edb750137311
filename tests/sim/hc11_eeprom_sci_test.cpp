// EEPROM programming through PPROG (its rules and faults, BPROT, CONFIG) and the SCI
// receiver's overrun and flag-clearing sequence, driven by small programs on the CPU.
#include <gtest/gtest.h>

#include <vector>

#include "sim/hc11/machine.h"

namespace jqz::sim::hc11 {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint16_t kCode = 0x0040;  // in the RAM of every part

// The steps of one EEPROM operation as a program ending in BRA *:
//   [CLR BPROT] LDAA #latch; STAA PPROG; LDAA #data; STAA address; LDAA #pgm; STAA PPROG;
//   a delay of `loops` times 7 cycles; CLR PPROG.
struct Operation {
    std::uint8_t latch = 0x02;  // EELAT (with BYTE, ROW, ERASE)
    std::uint8_t pgm = 0x03;    // the same with EEPGM
    std::uint16_t address = 0xB600;
    std::uint8_t data = 0xA5;
    unsigned loops = 2860;      // 20 020 cycles: 10 ms at E = 2 MHz
    bool clearBprot = true;
    bool skipLatchWrite = false;  // EELAT and EEPGM in one write
};

Bytes program(const Operation& op) {
    Bytes p;
    auto add = [&](std::initializer_list<std::uint8_t> b) { p.insert(p.end(), b); };
    if (op.clearBprot) add({0x7F, 0x10, 0x35});  // clr $1035
    if (!op.skipLatchWrite) add({0x86, op.latch, 0xB7, 0x10, 0x3B});
    add({0x86, op.data, 0xB7, static_cast<std::uint8_t>(op.address >> 8),
         static_cast<std::uint8_t>(op.address)});
    add({0x86, op.pgm, 0xB7, 0x10, 0x3B});
    add({0x18, 0xCE, static_cast<std::uint8_t>(op.loops >> 8), static_cast<std::uint8_t>(op.loops)});
    add({0x18, 0x09, 0x26, 0xFC});  // dey; bne
    add({0x7F, 0x10, 0x3B});        // clr PPROG
    add({0x20, 0xFE});
    return p;
}

struct Programmed {
    explicit Programmed(const Operation& op, Hc11Options options = {}) : m(options) {
        m.load(kCode, program(op));
        m.registers().pc = kCode;
        m.registers().sp = 0x00FF;
        m.runUntil(m.cycle() + 2LL * op.loops * 7 + 1000);
    }
    Machine m;
};

Hc11Options withEeprom(std::uint8_t fill, std::string part = "E9") {
    Hc11Options o;
    o.part = std::move(part);
    o.eeprom.assign(512, fill);
    return o;
}

TEST(Hc11Eeprom, ProgrammingRulesAndFaults) {
    struct Case {
        const char* what;
        Operation op;
        Hc11Options options;
        std::uint8_t want0, want1, want16;  // cells 0xB600, 0xB601, 0xB610 afterwards
        bool applied, sameWrite, tooShort, blocked;
    };
    Operation program10ms;
    Operation shortPulse;
    shortPulse.loops = 2000;  // 7 ms
    Operation oneWrite;
    oneWrite.skipLatchWrite = true;
    Operation protectedBlock;
    protectedBlock.clearBprot = false;
    Operation byteErase;
    byteErase.latch = 0x16;
    byteErase.pgm = 0x17;
    Operation rowErase;
    rowErase.latch = 0x0E;
    rowErase.pgm = 0x0F;
    rowErase.address = 0xB605;
    Operation bulkErase;
    bulkErase.latch = 0x06;
    bulkErase.pgm = 0x07;
    Operation clearsBitsOnly;
    clearsBitsOnly.data = 0xF0;
    Hc11Options slowClock = withEeprom(0xFF);
    slowClock.xtalMHz = 4.0;  // E = 1 MHz: 20 ms needed, 10 000 cycles is 10 ms
    Operation slow10ms;
    slow10ms.loops = 1430;
    Operation slow20ms;
    slow20ms.loops = 2860;
    const Case cases[] = {
        {"program 10 ms", program10ms, withEeprom(0xFF), 0xA5, 0xFF, 0xFF, true, false, false, false},
        {"program clears bits only", clearsBitsOnly, withEeprom(0x0F), 0x00, 0x0F, 0x0F, true, false, false, false},
        {"pulse too short", shortPulse, withEeprom(0xFF), 0xFF, 0xFF, 0xFF, false, false, true, false},
        {"EELAT and EEPGM in one write", oneWrite, withEeprom(0xFF), 0xFF, 0xFF, 0xFF, false, true, false, false},
        {"BPROT as after reset", protectedBlock, withEeprom(0xFF), 0xFF, 0xFF, 0xFF, false, false, false, true},
        {"byte erase", byteErase, withEeprom(0x00), 0xFF, 0x00, 0x00, true, false, false, false},
        {"row erase", rowErase, withEeprom(0x00), 0xFF, 0xFF, 0x00, true, false, false, false},
        {"bulk erase", bulkErase, withEeprom(0x00), 0xFF, 0xFF, 0xFF, true, false, false, false},
        {"A8 has no BPROT", protectedBlock, withEeprom(0xFF, "A8"), 0xA5, 0xFF, 0xFF, true, false, false, false},
        {"E = 1 MHz, 10 ms", slow10ms, slowClock, 0xFF, 0xFF, 0xFF, false, false, true, false},
        {"E = 1 MHz, 20 ms", slow20ms, slowClock, 0xA5, 0xFF, 0xFF, true, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Programmed run(c.op, c.options);
        const auto& cells = run.m.eepromCells();
        EXPECT_EQ(cells[0x00], c.want0);
        EXPECT_EQ(cells[0x01], c.want1);
        EXPECT_EQ(cells[0x10], c.want16);
        const auto& pulses = run.m.record().pulses;
        ASSERT_EQ(pulses.size(), 1u);
        EXPECT_EQ(pulses[0].applied, c.applied);
        EXPECT_EQ(pulses[0].sameWrite, c.sameWrite);
        EXPECT_EQ(pulses[0].tooShort, c.tooShort);
        EXPECT_EQ(pulses[0].blocked, c.blocked);
        EXPECT_EQ(run.m.record().faultPulses(), (c.sameWrite || c.tooShort) ? 1 : 0);
        EXPECT_EQ(run.m.reg(kPPROG), 0);
    }
}

TEST(Hc11Eeprom, WholeArrayByteByByteWithoutAFault) {
    // For each address from 0xB600: latch its low byte, a 10 ms pulse, next. 512 pulses,
    // over ten million E cycles.
    Machine m(withEeprom(0xFF));
    m.load(kCode, {0xCE, 0x10, 0x00, 0x6F, 0x35,    // ldx #$1000; clr BPROT,x
                   0x18, 0xCE, 0xB6, 0x00,          // ldy #$B600
                   0xC6, 0x02, 0xE7, 0x3B,          // ldab #EELAT; stab PPROG,x
                   0x18, 0x3C, 0x32, 0x33,          // pshy; pula; pulb (the low byte)
                   0x18, 0xE7, 0x00,                // stab 0,y
                   0xC6, 0x03, 0xE7, 0x3B,          // EEPGM
                   0x18, 0x3C, 0x18, 0xCE, 0x0B, 0x2C, 0x18, 0x09, 0x26, 0xFC, 0x18, 0x38,
                   0x6F, 0x3B, 0x18, 0x08,          // clr PPROG,x; iny
                   0x18, 0x8C, 0xB8, 0x00, 0x26, 0xDB, 0x20, 0xFE});
    m.registers().pc = kCode;
    m.registers().sp = 0x01FF;
    m.runUntil(m.cycle() + 512LL * 20100 + 10000);
    for (int i = 0; i < 512; ++i) ASSERT_EQ(m.eepromCells()[i], static_cast<std::uint8_t>(i)) << i;
    EXPECT_EQ(m.record().pulses.size(), 512u);
    EXPECT_EQ(m.record().faultPulses(), 0);
}

TEST(Hc11Eeprom, PulseLengthCountsRealCycles) {
    Programmed run(Operation{});
    const EepromPulse& p = run.m.record().pulses.at(0);
    // LDY (4) + 2860 x (DEY 4 + BNE 3) + the CLR's own cycles (6).
    EXPECT_EQ(p.lengthCycles, 4 + 2860 * 7 + 6);
    EXPECT_EQ(p.address, 0xB600);
    EXPECT_EQ(p.data, 0xA5);
}

TEST(Hc11Eeprom, ArrayReadsAsErasedWhileLatched) {
    Hc11Options o = withEeprom(0x12);
    Machine m(o);
    // clr bprot; ldaa #EELAT; staa PPROG; ldab $B600; clr PPROG; ldaa $B600; bra *
    m.load(kCode, {0x7F, 0x10, 0x35, 0x86, 0x02, 0xB7, 0x10, 0x3B, 0xF6, 0xB6, 0x00, 0x7F,
                   0x10, 0x3B, 0xB6, 0xB6, 0x00, 0x20, 0xFE});
    m.registers().pc = kCode;
    m.runUntil(m.cycle() + 100);
    EXPECT_EQ(m.registers().b, 0xFF);
    EXPECT_EQ(m.registers().a, 0x12);
}

TEST(Hc11Eeprom, ConfigIsAnEepromCellThatActsAtReset) {
    Operation op;
    op.address = kConfigAddress;
    op.data = 0x0D;  // ROMON off
    Programmed run(op, withEeprom(0xFF));
    EXPECT_EQ(run.m.configCell(), 0x0D);
    EXPECT_EQ(run.m.configActive(), 0x0F);
    EXPECT_EQ(run.m.peek(0xE000), static_cast<std::uint8_t>('H'));  // ROM still there
    run.m.reset();
    EXPECT_EQ(run.m.configActive(), 0x0D);
    EXPECT_EQ(run.m.peek(0xE000), 0xFF);  // ROM off
}

TEST(Hc11Eeprom, StuckCellKeepsItsValue) {
    Hc11Options o = withEeprom(0xFF);
    o.faults.stuckEepromCell = StuckCell{0xB600, 0xFF};
    Programmed run(Operation{}, o);
    EXPECT_EQ(run.m.eepromCells()[0], 0xFF);
    EXPECT_TRUE(run.m.record().pulses.at(0).applied);
}

TEST(Hc11Eeprom, BprotClearsOnlyEarlyOutsideSpecialModes) {
    // Clear SMOD (leave the special mode), then try to clear BPROT: refused after 64 cycles.
    Machine m(withEeprom(0xFF));
    // ldab #20; decb; bne (past the first 64 cycles); ldaa #RBOOT; staa HPRIO; clr BPROT
    m.load(kCode, {0xC6, 0x14, 0x5A, 0x26, 0xFD, 0x86, 0x80, 0xB7, 0x10, 0x3C, 0x7F, 0x10,
                   0x35, 0x20, 0xFE});
    m.registers().pc = kCode;
    m.runUntil(m.cycle() + 200);
    EXPECT_EQ(m.reg(kBPROT), 0x1F);
    Machine special(withEeprom(0xFF));
    special.load(kCode, {0x7F, 0x10, 0x35, 0x20, 0xFE});
    special.registers().pc = kCode;
    special.runUntil(special.cycle() + 200);
    EXPECT_EQ(special.reg(kBPROT), 0x00);
}

// The SCI on at 7812 baud, receiver only polled by the test.
Machine sciOn() {
    Machine m(Hc11Options{});
    m.load(kCode, {0xCE, 0x10, 0x00, 0x86, 0xA2, 0xA7, 0x2B, 0x86, 0x0C, 0xA7, 0x2D, 0x20, 0xFE});
    m.registers().pc = kCode;
    m.runUntil(m.cycle() + 100);
    return m;
}

TEST(Hc11Sci, UnreadByteIsOverrunByTheNext) {
    Machine m = sciOn();
    const std::uint8_t bytes[] = {0x11, 0x22, 0x33};
    m.hostWrite(bytes, 3, 7812);
    m.runUntil(m.cycle() + 3 * 2560 + 1000);
    EXPECT_EQ(m.record().overruns, 2);
    EXPECT_EQ(m.peek(0x102E) & 0x28, 0x28);  // RDRF and OR
    EXPECT_EQ(m.peek(0x102F), 0x11);         // the later bytes are lost
}

TEST(Hc11Sci, FlagsClearOnlyBySccsrThenScdr) {
    Machine m = sciOn();
    const std::uint8_t byte = 0x42;
    m.hostWrite(&byte, 1, 7812);
    m.runUntil(m.cycle() + 2560 + 200);
    // ldaa SCDR alone, then ldaa SCSR; ldab SCDR.
    m.load(0x0080, {0xB6, 0x10, 0x2F, 0xB6, 0x10, 0x2E, 0xF6, 0x10, 0x2F, 0x20, 0xFE});
    m.registers().pc = 0x0080;
    m.step();
    EXPECT_EQ(m.peek(0x102E) & 0x20, 0x20);
    m.step();
    EXPECT_EQ(m.registers().a & 0x20, 0x20);
    m.step();
    EXPECT_EQ(m.registers().b, 0x42);
    EXPECT_EQ(m.peek(0x102E) & 0x20, 0x00);
}

TEST(Hc11Sci, TransmitFlagsAndBaudRates) {
    struct Case {
        std::uint8_t baud;
        int hostBaud;
    };
    // SCP /1 SCR /1 (125 000), /3 /1 (41 667), /4 /4 (7812), /13 /8 (1200), /13 /1 (9615).
    for (const Case c : {Case{0x00, 125000}, Case{0x10, 41667}, Case{0x22, 7812},
                         Case{0x33, 1200}, Case{0x30, 9615}}) {
        SCOPED_TRACE(c.hostBaud);
        Machine m(Hc11Options{});
        // ldx #$1000; ldaa #baud; staa BAUD; ldaa #TE; staa SCCR2; ldaa SCSR; ldaa #$C3;
        // staa SCDR; brclr SCSR,x #TC *; bra *
        m.load(kCode, {0xCE, 0x10, 0x00, 0x86, c.baud, 0xA7, 0x2B, 0x86, 0x08, 0xA7, 0x2D,
                       0xA6, 0x2E, 0x86, 0xC3, 0xA7, 0x2F, 0x1F, 0x2E, 0x40, 0xFC, 0x20, 0xFE});
        m.registers().pc = kCode;
        m.setHostBaud(c.hostBaud);
        for (int i = 0; i < 8; ++i) m.step();
        EXPECT_EQ(m.peek(0x102E) & 0xC0, 0);  // nothing computed yet: raw flags
        m.runUntil(m.cycle() + 30 * 16 * 13 * 8);
        EXPECT_EQ(m.registers().pc, kCode + 0x15);  // TC seen
        auto& rx = m.hostReceived();
        ASSERT_EQ(rx.size(), 1u);
        EXPECT_EQ(rx.front().value, 0xC3);
        EXPECT_FALSE(rx.front().framingError);
    }
}

TEST(Hc11Sci, BaudChangeWhileSendingGarblesTheRestOfTheFrame) {
    // Send 0x0F at 7812 baud, then switch to 1200: at once (as a loaded program that changes
    // its rate first thing does to the boot ROM's last echo), or after TC.
    for (const bool waitForTc : {false, true}) {
        SCOPED_TRACE(waitForTc);
        Machine m(Hc11Options{});
        Bytes code = {0xCE, 0x10, 0x00, 0x86, 0xA2, 0xA7, 0x2B, 0x86, 0x08, 0xA7, 0x2D,
                      0x86, 0x0F, 0xA7, 0x2F};                    // ... staa SCDR,x
        if (waitForTc) code.insert(code.end(), {0x1F, 0x2E, 0x40, 0xFC});  // brclr SCSR,x #TC *
        code.insert(code.end(), {0x86, 0x33, 0xA7, 0x2B, 0x20, 0xFE});     // BAUD = 1200; bra *
        m.load(kCode, code);
        m.registers().pc = kCode;
        m.setHostBaud(7812);
        m.runUntil(m.cycle() + 60000);
        ASSERT_FALSE(m.hostReceived().empty());
        const HostByte b = m.hostReceived().front();
        EXPECT_EQ(b.value == 0x0F && !b.framingError, waitForTc) << std::hex << int(b.value);
    }
}

}  // namespace
}  // namespace jqz::sim::hc11
