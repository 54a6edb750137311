#pragma once
// The MC68HC11 instruction set as a table: for each opcode of page 0 and of the prebyte pages
// 0x18, 0x1A and 0xCD, its operation, addressing mode, length in bytes (prebyte included) and
// cycle count, as the M68HC11 Reference Manual lists them.
#include <cstdint>

namespace jqz::sim::hc11 {

enum class Mode : std::uint8_t {
    None,     // not an opcode
    Inh,      // inherent
    Imm8,
    Imm16,
    Dir,
    Ext,
    IndX,
    IndY,
    Rel,
    DirMask,      // BSET/BCLR dd mm
    IndXMask,     // BSET/BCLR ff,X mm
    IndYMask,
    DirMaskRel,   // BRSET/BRCLR dd mm rr
    IndXMaskRel,
    IndYMaskRel,
};

enum class Op : std::uint8_t {
    Illegal,
    ABA, ABX, ABY, ADCA, ADCB, ADDA, ADDB, ADDD, ANDA, ANDB, ASL, ASLA, ASLB, ASLD, ASR, ASRA,
    ASRB, BCC, BCLR, BCS, BEQ, BGE, BGT, BHI, BITA, BITB, BLE, BLS, BLT, BMI, BNE, BPL, BRA,
    BRCLR, BRN, BRSET, BSET, BSR, BVC, BVS, CBA, CLC, CLI, CLR, CLRA, CLRB, CLV, CMPA, CMPB,
    COM, COMA, COMB, CPD, CPX, CPY, DAA, DEC, DECA, DECB, DES, DEX, DEY, EORA, EORB, FDIV, IDIV,
    INC, INCA, INCB, INS, INX, INY, JMP, JSR, LDAA, LDAB, LDD, LDS, LDX, LDY, LSR, LSRA, LSRB,
    LSRD, MUL, NEG, NEGA, NEGB, NOP, ORAA, ORAB, PSHA, PSHB, PSHX, PSHY, PULA, PULB, PULX, PULY,
    ROL, ROLA, ROLB, ROR, RORA, RORB, RTI, RTS, SBA, SBCA, SBCB, SEC, SEI, SEV, STAA, STAB, STD,
    STOP, STS, STX, STY, SUBA, SUBB, SUBD, SWI, TAB, TAP, TBA, TEST, TPA, TST, TSTA, TSTB, TSX,
    TSY, TXS, TYS, WAI, XGDX, XGDY,
};

struct OpInfo {
    Op op = Op::Illegal;
    Mode mode = Mode::None;
    std::uint8_t length = 0;  // bytes, prebyte included
    std::uint8_t cycles = 0;  // E cycles
    const char* mnemonic = nullptr;  // lower case, as the GNU assembler spells it
};

// Page index: 0 for page 0, 1 for 0x18, 2 for 0x1A, 3 for 0xCD.
int pageIndex(std::uint8_t prebyte);
std::uint8_t pagePrebyte(int page);
// The entry of an opcode on a page (a default OpInfo when it is not an opcode; the prebytes
// themselves are not opcodes on page 0).
const OpInfo& opInfo(int page, std::uint8_t opcode);
// How many opcodes the table holds (all pages).
int opcodeCount();

}  // namespace jqz::sim::hc11
