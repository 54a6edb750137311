#include "sim/hc11/opcodes.h"

#include <array>

namespace jqz::sim::hc11 {

namespace {

using Page = std::array<OpInfo, 256>;

struct Table {
    std::array<Page, 4> pages{};
    int count = 0;

    void set(int page, unsigned code, Op op, Mode mode, int length, int cycles, const char* name) {
        pages[page][code] = OpInfo{op, mode, static_cast<std::uint8_t>(length),
                                   static_cast<std::uint8_t>(cycles), name};
        ++count;
    }

    Table() {
        // Page 0: inherent.
        struct Inh {
            unsigned code;
            Op op;
            int cycles;
            const char* name;
        };
        static const Inh inherent[] = {
            {0x00, Op::TEST, 0, "test"}, {0x01, Op::NOP, 2, "nop"}, {0x02, Op::IDIV, 41, "idiv"},
            {0x03, Op::FDIV, 41, "fdiv"}, {0x04, Op::LSRD, 3, "lsrd"}, {0x05, Op::ASLD, 3, "asld"},
            {0x06, Op::TAP, 2, "tap"}, {0x07, Op::TPA, 2, "tpa"}, {0x08, Op::INX, 3, "inx"},
            {0x09, Op::DEX, 3, "dex"}, {0x0A, Op::CLV, 2, "clv"}, {0x0B, Op::SEV, 2, "sev"},
            {0x0C, Op::CLC, 2, "clc"}, {0x0D, Op::SEC, 2, "sec"}, {0x0E, Op::CLI, 2, "cli"},
            {0x0F, Op::SEI, 2, "sei"}, {0x10, Op::SBA, 2, "sba"}, {0x11, Op::CBA, 2, "cba"},
            {0x16, Op::TAB, 2, "tab"}, {0x17, Op::TBA, 2, "tba"}, {0x19, Op::DAA, 2, "daa"},
            {0x1B, Op::ABA, 2, "aba"}, {0x30, Op::TSX, 3, "tsx"}, {0x31, Op::INS, 3, "ins"},
            {0x32, Op::PULA, 4, "pula"}, {0x33, Op::PULB, 4, "pulb"}, {0x34, Op::DES, 3, "des"},
            {0x35, Op::TXS, 3, "txs"}, {0x36, Op::PSHA, 3, "psha"}, {0x37, Op::PSHB, 3, "pshb"},
            {0x38, Op::PULX, 5, "pulx"}, {0x39, Op::RTS, 5, "rts"}, {0x3A, Op::ABX, 3, "abx"},
            {0x3B, Op::RTI, 12, "rti"}, {0x3C, Op::PSHX, 4, "pshx"}, {0x3D, Op::MUL, 10, "mul"},
            {0x3E, Op::WAI, 14, "wai"}, {0x3F, Op::SWI, 14, "swi"}, {0x8F, Op::XGDX, 3, "xgdx"},
            {0xCF, Op::STOP, 2, "stop"},
        };
        for (const Inh& i : inherent) set(0, i.code, i.op, Mode::Inh, 1, i.cycles, i.name);
        // TEST runs only in test mode; elsewhere it traps. Its cycle count is that of the trap.
        pages[0][0x00].cycles = 0;

        // Branches.
        static const Op branches[16] = {Op::BRA, Op::BRN, Op::BHI, Op::BLS, Op::BCC, Op::BCS,
                                        Op::BNE, Op::BEQ, Op::BVC, Op::BVS, Op::BPL, Op::BMI,
                                        Op::BGE, Op::BLT, Op::BGT, Op::BLE};
        static const char* branchNames[16] = {"bra", "brn", "bhi", "bls", "bcc", "bcs",
                                               "bne", "beq", "bvc", "bvs", "bpl", "bmi",
                                               "bge", "blt", "bgt", "ble"};
        for (unsigned i = 0; i < 16; ++i)
            set(0, 0x20 + i, branches[i], Mode::Rel, 2, 3, branchNames[i]);
        set(0, 0x8D, Op::BSR, Mode::Rel, 2, 6, "bsr");

        // Bit manipulation.
        set(0, 0x12, Op::BRSET, Mode::DirMaskRel, 4, 6, "brset");
        set(0, 0x13, Op::BRCLR, Mode::DirMaskRel, 4, 6, "brclr");
        set(0, 0x14, Op::BSET, Mode::DirMask, 3, 6, "bset");
        set(0, 0x15, Op::BCLR, Mode::DirMask, 3, 6, "bclr");
        set(0, 0x1C, Op::BSET, Mode::IndXMask, 3, 7, "bset");
        set(0, 0x1D, Op::BCLR, Mode::IndXMask, 3, 7, "bclr");
        set(0, 0x1E, Op::BRSET, Mode::IndXMaskRel, 4, 7, "brset");
        set(0, 0x1F, Op::BRCLR, Mode::IndXMaskRel, 4, 7, "brclr");
        set(1, 0x1C, Op::BSET, Mode::IndYMask, 4, 8, "bset");
        set(1, 0x1D, Op::BCLR, Mode::IndYMask, 4, 8, "bclr");
        set(1, 0x1E, Op::BRSET, Mode::IndYMaskRel, 5, 8, "brset");
        set(1, 0x1F, Op::BRCLR, Mode::IndYMaskRel, 5, 8, "brclr");

        // Accumulator A and B operations on inherent (0x40/0x50), memory through X (0x60),
        // extended (0x70) and through Y (0x18 0x60).
        struct Unary {
            unsigned low;
            Op a, b, mem;
            const char* name;
        };
        static const Unary unary[] = {
            {0x0, Op::NEGA, Op::NEGB, Op::NEG, "neg"}, {0x3, Op::COMA, Op::COMB, Op::COM, "com"},
            {0x4, Op::LSRA, Op::LSRB, Op::LSR, "lsr"}, {0x6, Op::RORA, Op::RORB, Op::ROR, "ror"},
            {0x7, Op::ASRA, Op::ASRB, Op::ASR, "asr"}, {0x8, Op::ASLA, Op::ASLB, Op::ASL, "asl"},
            {0x9, Op::ROLA, Op::ROLB, Op::ROL, "rol"}, {0xA, Op::DECA, Op::DECB, Op::DEC, "dec"},
            {0xC, Op::INCA, Op::INCB, Op::INC, "inc"}, {0xD, Op::TSTA, Op::TSTB, Op::TST, "tst"},
            {0xF, Op::CLRA, Op::CLRB, Op::CLR, "clr"},
        };
        static const char* unaryA[] = {"nega", "", "", "coma", "lsra", "", "rora", "asra",
                                       "asla", "rola", "deca", "", "inca", "tsta", "", "clra"};
        static const char* unaryB[] = {"negb", "", "", "comb", "lsrb", "", "rorb", "asrb",
                                       "aslb", "rolb", "decb", "", "incb", "tstb", "", "clrb"};
        for (const Unary& u : unary) {
            set(0, 0x40 + u.low, u.a, Mode::Inh, 1, 2, unaryA[u.low]);
            set(0, 0x50 + u.low, u.b, Mode::Inh, 1, 2, unaryB[u.low]);
            set(0, 0x60 + u.low, u.mem, Mode::IndX, 2, 6, u.name);
            set(0, 0x70 + u.low, u.mem, Mode::Ext, 3, 6, u.name);
            set(1, 0x60 + u.low, u.mem, Mode::IndY, 3, 7, u.name);
        }
        set(0, 0x6E, Op::JMP, Mode::IndX, 2, 3, "jmp");
        set(0, 0x7E, Op::JMP, Mode::Ext, 3, 3, "jmp");
        set(1, 0x6E, Op::JMP, Mode::IndY, 3, 4, "jmp");

        // 8-bit accumulator operations with memory: immediate 0x80/0xC0, direct, indexed X,
        // extended; indexed Y on page 0x18.
        struct Alu {
            unsigned low;
            Op a, b;
            const char* nameA;
            const char* nameB;
        };
        static const Alu alu[] = {
            {0x0, Op::SUBA, Op::SUBB, "suba", "subb"}, {0x1, Op::CMPA, Op::CMPB, "cmpa", "cmpb"},
            {0x2, Op::SBCA, Op::SBCB, "sbca", "sbcb"}, {0x4, Op::ANDA, Op::ANDB, "anda", "andb"},
            {0x5, Op::BITA, Op::BITB, "bita", "bitb"}, {0x6, Op::LDAA, Op::LDAB, "ldaa", "ldab"},
            {0x7, Op::STAA, Op::STAB, "staa", "stab"}, {0x8, Op::EORA, Op::EORB, "eora", "eorb"},
            {0x9, Op::ADCA, Op::ADCB, "adca", "adcb"}, {0xA, Op::ORAA, Op::ORAB, "oraa", "orab"},
            {0xB, Op::ADDA, Op::ADDB, "adda", "addb"},
        };
        for (const Alu& x : alu) {
            const bool store = x.a == Op::STAA;
            if (!store) {
                set(0, 0x80 + x.low, x.a, Mode::Imm8, 2, 2, x.nameA);
                set(0, 0xC0 + x.low, x.b, Mode::Imm8, 2, 2, x.nameB);
            }
            set(0, 0x90 + x.low, x.a, Mode::Dir, 2, 3, x.nameA);
            set(0, 0xA0 + x.low, x.a, Mode::IndX, 2, 4, x.nameA);
            set(0, 0xB0 + x.low, x.a, Mode::Ext, 3, 4, x.nameA);
            set(1, 0xA0 + x.low, x.a, Mode::IndY, 3, 5, x.nameA);
            set(0, 0xD0 + x.low, x.b, Mode::Dir, 2, 3, x.nameB);
            set(0, 0xE0 + x.low, x.b, Mode::IndX, 2, 4, x.nameB);
            set(0, 0xF0 + x.low, x.b, Mode::Ext, 3, 4, x.nameB);
            set(1, 0xE0 + x.low, x.b, Mode::IndY, 3, 5, x.nameB);
        }

        // 16-bit operations. Cycles: immediate, direct, indexed X, extended, indexed Y.
        struct Wide {
            unsigned base;  // the immediate opcode (0x83, 0x8C, ...)
            Op op;
            const char* name;
            int imm, dir, idx, ext;
        };
        // Page 0 with X, page 0x18 with Y (one cycle more, one byte more).
        static const Wide wide[] = {
            {0x83, Op::SUBD, "subd", 4, 5, 6, 6}, {0xC3, Op::ADDD, "addd", 4, 5, 6, 6},
            {0x8E, Op::LDS, "lds", 3, 4, 5, 5},   {0xCC, Op::LDD, "ldd", 3, 4, 5, 5},
        };
        for (const Wide& w : wide) {
            set(0, w.base, w.op, Mode::Imm16, 3, w.imm, w.name);
            set(0, w.base + 0x10, w.op, Mode::Dir, 2, w.dir, w.name);
            set(0, w.base + 0x20, w.op, Mode::IndX, 2, w.idx, w.name);
            set(0, w.base + 0x30, w.op, Mode::Ext, 3, w.ext, w.name);
            set(1, w.base + 0x20, w.op, Mode::IndY, 3, w.idx + 1, w.name);
        }
        // Stores (no immediate).
        struct Store {
            unsigned dir;
            Op op;
            const char* name;
            int cycDir, cycIdx, cycExt;
        };
        static const Store stores[] = {{0x9F, Op::STS, "sts", 4, 5, 5}, {0xDD, Op::STD, "std", 4, 5, 5}};
        for (const Store& s : stores) {
            set(0, s.dir, s.op, Mode::Dir, 2, s.cycDir, s.name);
            set(0, s.dir + 0x10, s.op, Mode::IndX, 2, s.cycIdx, s.name);
            set(0, s.dir + 0x20, s.op, Mode::Ext, 3, s.cycExt, s.name);
            set(1, s.dir + 0x10, s.op, Mode::IndY, 3, s.cycIdx + 1, s.name);
        }
        // JSR.
        set(0, 0x9D, Op::JSR, Mode::Dir, 2, 5, "jsr");
        set(0, 0xAD, Op::JSR, Mode::IndX, 2, 6, "jsr");
        set(0, 0xBD, Op::JSR, Mode::Ext, 3, 6, "jsr");
        set(1, 0xAD, Op::JSR, Mode::IndY, 3, 7, "jsr");
        // The index registers: X on page 0, Y on page 0x18; the indexed forms through the
        // other register on pages 0x1A (X) and 0xCD (Y).
        set(0, 0x8C, Op::CPX, Mode::Imm16, 3, 4, "cpx");
        set(0, 0x9C, Op::CPX, Mode::Dir, 2, 5, "cpx");
        set(0, 0xAC, Op::CPX, Mode::IndX, 2, 6, "cpx");
        set(0, 0xBC, Op::CPX, Mode::Ext, 3, 6, "cpx");
        set(3, 0xAC, Op::CPX, Mode::IndY, 3, 7, "cpx");
        set(1, 0x8C, Op::CPY, Mode::Imm16, 4, 5, "cpy");
        set(1, 0x9C, Op::CPY, Mode::Dir, 3, 6, "cpy");
        set(2, 0xAC, Op::CPY, Mode::IndX, 3, 7, "cpy");
        set(1, 0xAC, Op::CPY, Mode::IndY, 3, 7, "cpy");
        set(1, 0xBC, Op::CPY, Mode::Ext, 4, 7, "cpy");
        set(0, 0xCE, Op::LDX, Mode::Imm16, 3, 3, "ldx");
        set(0, 0xDE, Op::LDX, Mode::Dir, 2, 4, "ldx");
        set(0, 0xEE, Op::LDX, Mode::IndX, 2, 5, "ldx");
        set(0, 0xFE, Op::LDX, Mode::Ext, 3, 5, "ldx");
        set(3, 0xEE, Op::LDX, Mode::IndY, 3, 6, "ldx");
        set(0, 0xDF, Op::STX, Mode::Dir, 2, 4, "stx");
        set(0, 0xEF, Op::STX, Mode::IndX, 2, 5, "stx");
        set(0, 0xFF, Op::STX, Mode::Ext, 3, 5, "stx");
        set(3, 0xEF, Op::STX, Mode::IndY, 3, 6, "stx");
        set(1, 0xCE, Op::LDY, Mode::Imm16, 4, 4, "ldy");
        set(1, 0xDE, Op::LDY, Mode::Dir, 3, 5, "ldy");
        set(2, 0xEE, Op::LDY, Mode::IndX, 3, 6, "ldy");
        set(1, 0xEE, Op::LDY, Mode::IndY, 3, 6, "ldy");
        set(1, 0xFE, Op::LDY, Mode::Ext, 4, 6, "ldy");
        set(1, 0xDF, Op::STY, Mode::Dir, 3, 5, "sty");
        set(2, 0xEF, Op::STY, Mode::IndX, 3, 6, "sty");
        set(1, 0xEF, Op::STY, Mode::IndY, 3, 6, "sty");
        set(1, 0xFF, Op::STY, Mode::Ext, 4, 6, "sty");
        set(2, 0x83, Op::CPD, Mode::Imm16, 4, 5, "cpd");
        set(2, 0x93, Op::CPD, Mode::Dir, 3, 6, "cpd");
        set(2, 0xA3, Op::CPD, Mode::IndX, 3, 7, "cpd");
        set(2, 0xB3, Op::CPD, Mode::Ext, 4, 7, "cpd");
        set(3, 0xA3, Op::CPD, Mode::IndY, 3, 7, "cpd");

        // Page 0x18: the Y forms of the inherent index instructions.
        set(1, 0x08, Op::INY, Mode::Inh, 2, 4, "iny");
        set(1, 0x09, Op::DEY, Mode::Inh, 2, 4, "dey");
        set(1, 0x30, Op::TSY, Mode::Inh, 2, 4, "tsy");
        set(1, 0x35, Op::TYS, Mode::Inh, 2, 4, "tys");
        set(1, 0x38, Op::PULY, Mode::Inh, 2, 6, "puly");
        set(1, 0x3A, Op::ABY, Mode::Inh, 2, 4, "aby");
        set(1, 0x3C, Op::PSHY, Mode::Inh, 2, 5, "pshy");
        set(1, 0x8F, Op::XGDY, Mode::Inh, 2, 4, "xgdy");
    }
};

const Table& table() {
    static const Table t;
    return t;
}

}  // namespace

int pageIndex(std::uint8_t prebyte) {
    switch (prebyte) {
    case 0x18: return 1;
    case 0x1A: return 2;
    case 0xCD: return 3;
    default: return 0;
    }
}

std::uint8_t pagePrebyte(int page) {
    static const std::uint8_t prebytes[4] = {0, 0x18, 0x1A, 0xCD};
    return prebytes[page & 3];
}

const OpInfo& opInfo(int page, std::uint8_t opcode) { return table().pages[page & 3][opcode]; }

int opcodeCount() { return table().count; }

}  // namespace jqz::sim::hc11
