// The CPU: results and condition codes of instructions, cycle counts, interrupts through the
// boot ROM's RAM pseudo-vectors, and the illegal-opcode trap.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "sim/hc11/machine.h"

namespace jqz::sim::hc11 {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kCode = 0x0100;
constexpr std::uint16_t kData = 0x0080;

Hc11Options e9() {
    Hc11Options o;
    o.part = "E9";
    return o;
}

// A machine with `code` at 0x0100 about to run it.
struct Cpu {
    explicit Cpu(const Bytes& code, Hc11Options options = e9()) : m(options) {
        m.load(kCode, code);
        m.registers().pc = kCode;
        m.registers().sp = 0x01FF;
    }
    // Runs one instruction; returns its cycles.
    long long step() {
        const long long before = m.cycle();
        m.step();
        return m.cycle() - before;
    }
    Machine m;
};

struct Case {
    const char* what;
    Bytes code;
    std::uint8_t a, b;
    std::uint16_t x;
    std::uint8_t ccr;   // before
    std::uint8_t data;  // at 0x0080 before
    std::uint8_t wantA, wantB;
    std::uint16_t wantX;
    std::uint8_t wantCcr;
    std::uint8_t wantData;
    std::uint16_t wantPc;  // 0: the next instruction
};

TEST(Hc11Cpu, InstructionResultsAndConditionCodes) {
    // CCR bits: S X H I N Z V C = 80 40 20 10 08 04 02 01.
    const Case cases[] = {
        {"adda # half carry, overflow", {0x8B, 0x7F}, 0x01, 0, 0, 0x00, 0, 0x80, 0, 0, 0x2A, 0, 0},
        {"adda # carry to zero", {0x8B, 0x01}, 0xFF, 0, 0, 0x00, 0, 0x00, 0, 0, 0x25, 0, 0},
        {"adca # with carry", {0x89, 0x10}, 0x10, 0, 0, 0x01, 0, 0x21, 0, 0, 0x00, 0, 0},
        {"suba # borrow", {0x80, 0x01}, 0x00, 0, 0, 0x00, 0, 0xFF, 0, 0, 0x09, 0, 0},
        {"suba # overflow", {0x80, 0x01}, 0x80, 0, 0, 0x00, 0, 0x7F, 0, 0, 0x02, 0, 0},
        {"sbca # with borrow", {0x82, 0x00}, 0x00, 0, 0, 0x01, 0, 0xFF, 0, 0, 0x09, 0, 0},
        {"cmpa # equal, H kept", {0x81, 0x42}, 0x42, 0, 0, 0x20, 0, 0x42, 0, 0, 0x24, 0, 0},
        {"aba", {0x1B}, 0x0F, 0x01, 0, 0x00, 0, 0x10, 0x01, 0, 0x20, 0, 0},
        {"sba", {0x10}, 0x01, 0x02, 0, 0x00, 0, 0xFF, 0x02, 0, 0x09, 0, 0},
        {"daa after 15+27", {0x19}, 0x3C, 0, 0, 0x00, 0, 0x42, 0, 0, 0x00, 0, 0},
        {"daa after 99+01", {0x19}, 0x9A, 0, 0, 0x00, 0, 0x00, 0, 0, 0x05, 0, 0},
        {"daa half carry 09+07", {0x19}, 0x10, 0, 0, 0x20, 0, 0x16, 0, 0, 0x20, 0, 0},
        {"daa carry kept 80+90", {0x19}, 0x10, 0, 0, 0x01, 0, 0x70, 0, 0, 0x01, 0, 0},
        {"mul carry is bit 7 of B", {0x3D}, 0x0C, 0x0B, 0, 0x00, 0, 0x00, 0x84, 0, 0x01, 0, 0},
        {"mul ff*ff", {0x3D}, 0xFF, 0xFF, 0, 0x00, 0, 0xFE, 0x01, 0, 0x00, 0, 0},
        {"idiv 100/7", {0x02}, 0x00, 100, 7, 0x00, 0, 0x00, 0x02, 14, 0x00, 0, 0},
        {"idiv by zero", {0x02}, 0x12, 0x34, 0, 0x00, 0, 0x12, 0x34, 0xFFFF, 0x01, 0, 0},
        {"idiv zero quotient", {0x02}, 0x00, 0x03, 7, 0x00, 0, 0x00, 0x03, 0, 0x04, 0, 0},
        {"fdiv 1/2", {0x03}, 0x00, 0x01, 2, 0x00, 0, 0x00, 0x00, 0x8000, 0x00, 0, 0},
        {"fdiv overflow", {0x03}, 0x00, 0x02, 1, 0x00, 0, 0x00, 0x02, 0xFFFF, 0x02, 0, 0},
        {"fdiv by zero", {0x03}, 0x00, 0x00, 0, 0x00, 0, 0x00, 0x00, 0xFFFF, 0x03, 0, 0},
        {"asla", {0x48}, 0x81, 0, 0, 0x00, 0, 0x02, 0, 0, 0x03, 0, 0},
        {"asra", {0x47}, 0x81, 0, 0, 0x00, 0, 0xC0, 0, 0, 0x09, 0, 0},
        {"lsra", {0x44}, 0x01, 0, 0, 0x00, 0, 0x00, 0, 0, 0x07, 0, 0},
        {"rola with carry", {0x49}, 0x80, 0, 0, 0x01, 0, 0x01, 0, 0, 0x03, 0, 0},
        {"rora with carry", {0x46}, 0x01, 0, 0, 0x01, 0, 0x80, 0, 0, 0x09, 0, 0},
        {"nega 80", {0x40}, 0x80, 0, 0, 0x00, 0, 0x80, 0, 0, 0x0B, 0, 0},
        {"nega 00", {0x40}, 0x00, 0, 0, 0x01, 0, 0x00, 0, 0, 0x04, 0, 0},
        {"coma", {0x43}, 0x0F, 0, 0, 0x02, 0, 0xF0, 0, 0, 0x09, 0, 0},
        {"inca overflow", {0x4C}, 0x7F, 0, 0, 0x01, 0, 0x80, 0, 0, 0x0B, 0, 0},
        {"deca overflow", {0x4A}, 0x80, 0, 0, 0x00, 0, 0x7F, 0, 0, 0x02, 0, 0},
        {"tsta clears V and C", {0x4D}, 0x00, 0, 0, 0x03, 0, 0x00, 0, 0, 0x04, 0, 0},
        {"clrb", {0x5F}, 0, 0x55, 0, 0x0B, 0, 0, 0x00, 0, 0x04, 0, 0},
        {"tab", {0x16}, 0x80, 0, 0, 0x02, 0, 0x80, 0x80, 0, 0x08, 0, 0},
        {"bset dir", {0x14, 0x80, 0x0F}, 0, 0, 0, 0x02, 0xF0, 0, 0, 0, 0x08, 0xFF, 0},
        {"bclr dir", {0x15, 0x80, 0x81}, 0, 0, 0, 0x00, 0xFF, 0, 0, 0, 0x00, 0x7E, 0},
        {"bset ,x", {0x1C, 0x00, 0x01}, 0, 0, kData, 0x00, 0x00, 0, 0, kData, 0x00, 0x01, 0},
        {"brclr taken", {0x13, 0x80, 0x01, 0x10}, 0, 0, 0, 0x00, 0xFE, 0, 0, 0, 0x00, 0xFE, 0x0114},
        {"brclr not taken", {0x13, 0x80, 0x01, 0x10}, 0, 0, 0, 0x00, 0x01, 0, 0, 0, 0x00, 0x01, 0},
        {"brset taken ,x", {0x1E, 0x00, 0x81, 0xFC}, 0, 0, kData, 0x00, 0x81, 0, 0, kData, 0x00, 0x81, 0x0100},
        {"brset not taken", {0x12, 0x80, 0x01, 0x10}, 0, 0, 0, 0x00, 0xFE, 0, 0, 0, 0x00, 0xFE, 0},
        {"inc ext to zero", {0x7C, 0x00, 0x80}, 0, 0, 0, 0x00, 0xFF, 0, 0, 0, 0x04, 0x00, 0},
        {"neg ,x", {0x60, 0x00}, 0, 0, kData, 0x00, 0x01, 0, 0, kData, 0x09, 0xFF, 0},
        {"ror ext", {0x76, 0x00, 0x80}, 0, 0, 0, 0x00, 0x03, 0, 0, 0, 0x03, 0x01, 0},
        {"addd # carry and overflow", {0xC3, 0x80, 0x00}, 0x80, 0x00, 0, 0x00, 0, 0x00, 0x00, 0, 0x07, 0, 0},
        {"subd # borrow", {0x83, 0x00, 0x01}, 0x00, 0x00, 0, 0x00, 0, 0xFF, 0xFF, 0, 0x09, 0, 0},
        {"cpx # equal", {0x8C, 0x12, 0x34}, 0, 0, 0x1234, 0x00, 0, 0, 0, 0x1234, 0x04, 0, 0},
        {"cpd # less", {0x1A, 0x83, 0x00, 0x02}, 0x00, 0x01, 0, 0x00, 0, 0x00, 0x01, 0, 0x09, 0, 0},
        {"asld", {0x05}, 0x80, 0x01, 0, 0x00, 0, 0x00, 0x02, 0, 0x03, 0, 0},
        {"lsrd", {0x04}, 0x00, 0x01, 0, 0x08, 0, 0x00, 0x00, 0, 0x07, 0, 0},
        {"abx unsigned", {0x3A}, 0, 0xFF, 0x0001, 0x00, 0, 0, 0xFF, 0x0100, 0x00, 0, 0},
        {"inx to zero", {0x08}, 0, 0, 0xFFFF, 0x00, 0, 0, 0, 0x0000, 0x04, 0, 0},
        {"ldx ,x", {0xEE, 0x00}, 0, 0, kData, 0x01, 0x80, 0, 0, 0x8000, 0x09, 0x80, 0},
        {"xgdx", {0x8F}, 0x12, 0x34, 0x5678, 0x00, 0, 0x56, 0x78, 0x1234, 0x00, 0, 0},
        {"tap cannot set X", {0x06}, 0xFF, 0, 0, 0x00, 0, 0xFF, 0, 0, 0xBF, 0, 0},
        {"tpa", {0x07}, 0x00, 0, 0, 0xD5, 0, 0xD5, 0, 0, 0xD5, 0, 0},
        {"staa dir", {0x97, 0x80}, 0x80, 0, 0, 0x02, 0x00, 0x80, 0, 0, 0x08, 0x80, 0},
        {"bhi not taken on carry", {0x22, 0x10}, 0, 0, 0, 0x01, 0, 0, 0, 0, 0x01, 0, 0},
        {"bge taken N and V", {0x2C, 0x10}, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x0A, 0, 0x0112},
        {"ble taken on Z", {0x2F, 0xFE}, 0, 0, 0, 0x04, 0, 0, 0, 0, 0x04, 0, 0x0100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Cpu cpu(c.code);
        Registers& r = cpu.m.registers();
        r.a = c.a;
        r.b = c.b;
        r.x = c.x;
        r.ccr = c.ccr;
        cpu.m.poke(kData, c.data);
        cpu.step();
        EXPECT_EQ(r.a, c.wantA);
        EXPECT_EQ(r.b, c.wantB);
        EXPECT_EQ(r.x, c.wantX);
        EXPECT_EQ(r.ccr, c.wantCcr) << std::hex << int(r.ccr);
        EXPECT_EQ(cpu.m.peek(kData), c.wantData);
        const std::uint16_t next = static_cast<std::uint16_t>(kCode + c.code.size());
        EXPECT_EQ(r.pc, c.wantPc ? c.wantPc : next);
    }
}

TEST(Hc11Cpu, YIndexedFormsUseY) {
    Cpu cpu({0x18, 0xA6, 0x02, 0x18, 0xEE, 0x00, 0x1A, 0xEE, 0x00, 0xCD, 0xEF, 0x04});
    cpu.m.load(kData, {0x11, 0x22, 0x33, 0x44});
    Registers& r = cpu.m.registers();
    r.y = kData;
    r.x = kData + 2;
    cpu.step();  // ldaa 2,y
    EXPECT_EQ(r.a, 0x33);
    cpu.step();  // ldy 0,y
    EXPECT_EQ(r.y, 0x1122);
    cpu.step();  // ldy 0,x
    EXPECT_EQ(r.y, 0x3344);
    r.y = kData;
    r.x = 0xBEEF;
    cpu.step();  // stx 4,y
    EXPECT_EQ(cpu.m.peek(kData + 4), 0xBE);
    EXPECT_EQ(cpu.m.peek(kData + 5), 0xEF);
}

TEST(Hc11Cpu, CycleCounts) {
    struct Cycles {
        const char* what;
        Bytes code;
        long long cycles;
    };
    const Cycles cases[] = {
        {"nop", {0x01}, 2},
        {"ldaa #", {0x86, 0x00}, 2},
        {"ldaa dir", {0x96, 0x80}, 3},
        {"ldaa ,x", {0xA6, 0x00}, 4},
        {"ldaa ext", {0xB6, 0x00, 0x80}, 4},
        {"ldaa ,y", {0x18, 0xA6, 0x00}, 5},
        {"staa ,y", {0x18, 0xA7, 0x00}, 5},
        {"ldd #", {0xCC, 0x00, 0x00}, 3},
        {"ldd ,y", {0x18, 0xEC, 0x00}, 6},
        {"std ext", {0xFD, 0x00, 0x80}, 5},
        {"ldy #", {0x18, 0xCE, 0x00, 0x00}, 4},
        {"ldy ,x", {0x1A, 0xEE, 0x00}, 6},
        {"sty ext", {0x18, 0xFF, 0x00, 0x80}, 6},
        {"addd dir", {0xD3, 0x80}, 5},
        {"subd ,y", {0x18, 0xA3, 0x00}, 7},
        {"cpd #", {0x1A, 0x83, 0x00, 0x00}, 5},
        {"cpd ,y", {0xCD, 0xA3, 0x00}, 7},
        {"cpx ,y", {0xCD, 0xAC, 0x00}, 7},
        {"cpy ext", {0x18, 0xBC, 0x00, 0x80}, 7},
        {"inc ext", {0x7C, 0x00, 0x80}, 6},
        {"inc ,y", {0x18, 0x6C, 0x00}, 7},
        {"jmp ,x", {0x6E, 0x00}, 3},
        {"jmp ext", {0x7E, 0x01, 0x00}, 3},
        {"bra", {0x20, 0x00}, 3},
        {"beq not taken", {0x27, 0x10}, 3},
        {"bsr", {0x8D, 0x00}, 6},
        {"jsr dir", {0x9D, 0x80}, 5},
        {"jsr ext", {0xBD, 0x00, 0x80}, 6},
        {"jsr ,y", {0x18, 0xAD, 0x00}, 7},
        {"bset dir", {0x14, 0x80, 0x01}, 6},
        {"bclr ,x", {0x1D, 0x00, 0x01}, 7},
        {"bset ,y", {0x18, 0x1C, 0x00, 0x01}, 8},
        {"brset dir", {0x12, 0x80, 0x00, 0x00}, 6},
        {"brclr ,x", {0x1F, 0x00, 0x00, 0x00}, 7},
        {"brset ,y", {0x18, 0x1E, 0x00, 0x00, 0x00}, 8},
        {"psha", {0x36}, 3},
        {"pula", {0x32}, 4},
        {"pshx", {0x3C}, 4},
        {"pulx", {0x38}, 5},
        {"pshy", {0x18, 0x3C}, 5},
        {"puly", {0x18, 0x38}, 6},
        {"inx", {0x08}, 3},
        {"iny", {0x18, 0x08}, 4},
        {"abx", {0x3A}, 3},
        {"aby", {0x18, 0x3A}, 4},
        {"xgdx", {0x8F}, 3},
        {"xgdy", {0x18, 0x8F}, 4},
        {"tsx", {0x30}, 3},
        {"tys", {0x18, 0x35}, 4},
        {"mul", {0x3D}, 10},
        {"idiv", {0x02}, 41},
        {"fdiv", {0x03}, 41},
        {"lsrd", {0x04}, 3},
        {"daa", {0x19}, 2},
        {"swi", {0x3F}, 14},
        {"wai", {0x3E}, 14},
        {"rts", {0x39}, 5},
        {"rti", {0x3B}, 12},
        {"illegal opcode trap", {0x41}, 14},
    };
    for (const Cycles& c : cases) {
        SCOPED_TRACE(c.what);
        Cpu cpu(c.code);
        cpu.m.registers().x = kData;
        cpu.m.registers().y = kData;
        EXPECT_EQ(cpu.step(), c.cycles);
    }
}

TEST(Hc11Cpu, SwiAndIllegalOpcodeGoThroughTheRamPseudoVectors) {
    // SWI at 0x0100; its pseudo-vector jumps to 0x0180, which returns with RTI.
    Cpu cpu({0x3F, 0x01, 0x41});
    cpu.m.load(kPseudoVectorSwi, {0x7E, 0x01, 0x80});
    cpu.m.load(kPseudoVectorIllegal, {0x7E, 0x01, 0x90});
    cpu.m.load(0x0180, {0x3B});
    cpu.m.load(0x0190, {0x20, 0xFE});
    Registers& r = cpu.m.registers();
    r.a = 0x12;
    r.ccr = 0x00;
    cpu.step();
    EXPECT_EQ(r.pc, kPseudoVectorSwi);
    EXPECT_EQ(r.ccr & CC_I, CC_I);
    EXPECT_EQ(r.sp, 0x01FF - 9);
    cpu.step();  // jmp
    EXPECT_EQ(cpu.step(), 12);  // rti
    EXPECT_EQ(r.pc, 0x0101);
    EXPECT_EQ(r.ccr, 0x00);
    EXPECT_EQ(r.a, 0x12);
    cpu.step();  // nop
    cpu.step();  // 0x41: not an opcode
    EXPECT_EQ(r.pc, kPseudoVectorIllegal);
    ASSERT_EQ(cpu.m.record().illegalOpcodes.size(), 1u);
    EXPECT_EQ(cpu.m.record().illegalOpcodes[0].address, 0x0102);
    EXPECT_EQ(cpu.m.record().illegalOpcodes[0].opcode, 0x41);
    EXPECT_EQ(cpu.m.record().swiCount, 1);
}

TEST(Hc11Cpu, IllegalOpcodesOnPrebytePages) {
    Cpu cpu({0x18, 0x01, 0x1A, 0x86, 0xCD, 0x08});
    cpu.m.load(kPseudoVectorIllegal, {0x7E, 0x01, 0x02, 0x00});
    cpu.step();
    cpu.step();
    cpu.step();
    cpu.m.load(kPseudoVectorIllegal, {0x7E, 0x01, 0x04});
    cpu.step();
    const auto& ill = cpu.m.record().illegalOpcodes;
    ASSERT_EQ(ill.size(), 2u);
    EXPECT_EQ(ill[0].prebyte, 0x18);
    EXPECT_EQ(ill[0].opcode, 0x01);
    EXPECT_EQ(ill[1].prebyte, 0x1A);
    EXPECT_EQ(ill[1].opcode, 0x86);
}

TEST(Hc11Cpu, WaiThenSciReceiveInterruptThroughItsPseudoVector) {
    // Set the SCI to 7812 baud with the receive interrupt, wait; the handler stores the
    // byte at 0x0090 and returns to the loop after WAI.
    Cpu cpu({0xCE, 0x10, 0x00,   // ldx #$1000
             0x86, 0xA2,         // ldaa #$A2
             0xA7, 0x2B,         // staa BAUD,x
             0x86, 0x2C,         // ldaa #RIE|TE|RE
             0xA7, 0x2D,         // staa SCCR2,x
             0x0E,               // cli
             0x3E,               // wai
             0x20, 0xFE});       // bra *
    cpu.m.load(kPseudoVectorSci, {0x7E, 0x01, 0x80});
    cpu.m.load(0x0180, {0xA6, 0x2E, 0xA6, 0x2F, 0x97, 0x90, 0x3B});
    cpu.m.runUntil(cpu.m.cycle() + 200);
    EXPECT_TRUE(cpu.m.waiting());
    const std::uint8_t byte = 0x5A;
    cpu.m.hostWrite(&byte, 1, 7812);
    cpu.m.runUntil(cpu.m.cycle() + 4000);
    EXPECT_EQ(cpu.m.peek(0x0090), 0x5A);
    EXPECT_FALSE(cpu.m.waiting());
    EXPECT_EQ(cpu.m.registers().pc, 0x010D);  // back in the loop
    EXPECT_EQ(cpu.m.peek(0x102E) & 0x20, 0);  // RDRF cleared by the SCSR, SCDR reads
}

// TOC1 = TCNT + ticks and OC1F cleared (14 bytes, 4 instructions), then `rest`.
Bytes compareAfter(std::uint16_t ticks, const Bytes& rest) {
    const std::uint8_t prelude[] = {
        0xCE, 0x10, 0x00,  // ldx #$1000
        0xEC, 0x0E,        // ldd TCNT,x
        0xC3, static_cast<std::uint8_t>(ticks >> 8), static_cast<std::uint8_t>(ticks),
        0xED, 0x16,        // std TOC1,x
        0x86, 0x80, 0xA7, 0x23};
    Bytes code(sizeof prelude + rest.size());
    std::copy(std::begin(prelude), std::end(prelude), code.begin());
    std::copy(rest.begin(), rest.end(), code.begin() + sizeof prelude);
    return code;
}

TEST(Hc11Cpu, FreeRunningTimerAndOutputCompareFlag) {
    // Wait for OC1F, 1000 ticks on.
    Cpu cpu(compareAfter(1000, {0x1F, 0x23, 0x80, 0xFC,    // brclr TFLG1,x #$80 *
                                0x20, 0xFE}));
    for (int i = 0; i < 6; ++i) cpu.step();
    const long long start = cpu.m.cycle();
    while (cpu.m.registers().pc != 0x0112 && cpu.m.cycle() - start < 5000) cpu.step();
    EXPECT_EQ(cpu.m.registers().pc, 0x0112);
    EXPECT_NEAR(static_cast<double>(cpu.m.cycle() - start), 1000.0 - 16, 20.0);
}

TEST(Hc11Cpu, OutputCompareInterruptWakesWaiThroughItsPseudoVector) {
    Cpu cpu(compareAfter(500, {0xA7, 0x22,     // OC1I
                               0x0E, 0x3E,     // cli; wai
                               0x20, 0xFE}));  // bra *
    cpu.m.load(0x00DF, {0x7E, 0x01, 0x80});  // TOC1's pseudo-vector
    cpu.m.load(0x0180, {0x86, 0x80, 0xA7, 0x23, 0x7C, 0x00, 0x90, 0x3B});
    for (int i = 0; i < 4; ++i) cpu.step();
    const long long compareAt = cpu.m.cycle() + 500 - 7;  // TCNT was read 7 cycles ago
    cpu.m.runUntil(cpu.m.cycle() + 400);
    EXPECT_TRUE(cpu.m.waiting());
    EXPECT_EQ(cpu.m.peek(0x0090), 0);
    cpu.m.runUntil(compareAt + 40);
    EXPECT_EQ(cpu.m.peek(0x0090), 1);
    EXPECT_EQ(cpu.m.registers().pc, 0x0112);
}

}  // namespace
}  // namespace jqz::sim::hc11
