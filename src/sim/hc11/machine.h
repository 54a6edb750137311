#pragma once
// The MC68HC11 (A8, E9, E20) in bootstrap mode: CPU, memory map, SCI, EEPROM programming,
// BPROT and CONFIG, the free-running timer with its output compares and overflow (flags and
// interrupts), and the boot ROM's program as behaviour; with the
// serial line to the host as a waveform both ways. Time is counted in E cycles.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/hc11/virtual_hc11.h"

namespace jqz::sim::hc11 {

// Register offsets in the 64-byte block at 0x1000.
inline constexpr std::uint16_t kRegBase = 0x1000;
inline constexpr int kTCNT = 0x0E, kTOC1 = 0x16, kTMSK1 = 0x22, kTFLG1 = 0x23, kTMSK2 = 0x24,
                     kTFLG2 = 0x25,
                     kBAUD = 0x2B, kSCCR1 = 0x2C, kSCCR2 = 0x2D, kSCSR = 0x2E, kSCDR = 0x2F,
                     kBPROT = 0x35, kOPTION = 0x39, kPPROG = 0x3B, kHPRIO = 0x3C, kINIT = 0x3D,
                     kCONFIG = 0x3F;
inline constexpr std::uint16_t kEepromStart = 0xB600;
inline constexpr int kEepromSize = 512;
inline constexpr std::uint16_t kConfigAddress = 0x103F;
// The boot ROM (special modes): its program area, and its vector table at 0xBFC0-0xBFFF.
inline constexpr std::uint16_t kBootRomStart = 0xBF40;
inline constexpr std::uint16_t kBootVectors = 0xBFC0;
// The boot ROM's vectors point to three-byte jump slots in RAM (pseudo-vectors): the SCI's at
// 0x00C4, then one every three bytes in the order of the vector table, up to the clock
// monitor's at 0x00FD.
inline constexpr std::uint16_t kPseudoVectorSci = 0x00C4;
inline constexpr std::uint16_t kPseudoVectorSwi = 0x00F4;
inline constexpr std::uint16_t kPseudoVectorIllegal = 0x00F7;
// BAUD values the boot ROM uses: E/256 (7812.5 baud at E = 2 MHz) and E/1664 (1200 baud).
inline constexpr std::uint8_t kBootBaudFast = 0xA2;
inline constexpr std::uint8_t kBootBaudSlow = 0x33;

struct PartMap {
    std::string name;
    int ramSize = 0;
    struct Range {
        std::uint16_t first, last;
    };
    std::vector<Range> rom;
    bool hasBprot = false;
    std::uint8_t configMask = 0x0F;  // implemented CONFIG bits
};
// The map of "A8", "E9" or "E20"; false for another name.
bool partMap(const std::string& name, PartMap& map);

// The CPU's registers.
struct Registers {
    std::uint8_t a = 0, b = 0, ccr = 0xD0;
    std::uint16_t x = 0, y = 0, sp = 0, pc = 0;
    std::uint16_t d() const { return static_cast<std::uint16_t>(a << 8 | b); }
    void setD(std::uint16_t v) {
        a = static_cast<std::uint8_t>(v >> 8);
        b = static_cast<std::uint8_t>(v);
    }
};
inline constexpr std::uint8_t CC_C = 0x01, CC_V = 0x02, CC_Z = 0x04, CC_N = 0x08, CC_I = 0x10,
                              CC_H = 0x20, CC_X = 0x40, CC_S = 0x80;

// A level change on a line; the line is high (mark) before the first edge.
struct Edge {
    double at;  // E cycles
    bool high;
};

// A byte as the host's receiver decoded it.
struct HostByte {
    double at;  // E cycle its stop bit was sampled
    std::uint8_t value;
    bool framingError;
};

class Machine {
public:
    explicit Machine(const Hc11Options& options);

    const PartMap& map() const { return map_; }
    double eHz() const { return eHz_; }
    long long cycle() const { return cycle_; }
    long long microseconds() const;

    // Power-up (RAM cleared, the part reset) and a reset into bootstrap mode.
    void powerUp();
    void reset();
    // Runs the boot ROM's start (the security erase of a secured part, the SCI set-up) until
    // it listens for the first character: a reset some time before the host speaks.
    void settle();
    // RESET held low: the part does nothing until released (which resets it).
    void holdReset(bool low);
    bool inReset() const { return resetHeld_; }

    // Runs until the clock reaches `until` (an instruction may end a few cycles later).
    void runUntil(long long until);
    // Executes one instruction (or one step of the boot ROM, a wait or a stop); for tests.
    void step();

    // The host's side of the line. Rates are the host's baud rate.
    // Puts bytes on the line from the end of what is already on it (not before now).
    void hostWrite(const std::uint8_t* data, std::size_t count, int baud);
    void hostBreak(bool on, int baud);
    void setHostBaud(int baud);
    int hostBaud() const { return hostBaud_; }
    // The host's receiver: bytes decoded by now (decoding up to the current cycle first).
    std::deque<HostByte>& hostReceived();
    // The E cycle at which the host's line will be free (its last frame sent).
    double hostLineFreeAt() const { return hostFreeAt_; }
    // When the host's receiver next completes a byte from what the part has sent by now;
    // negative when nothing is on the way.
    double nextHostByteAt();
    // Drops the last byte the host has not read (the adapter fault on a rate change).
    void loseLastUnread();
    // When the part's receiver next completes a frame from what the host has put on the line;
    // negative when no start bit is on the way.
    double nextPartByteAt();

    // Memory as the CPU sees it, without side effects (for tests and inspection).
    std::uint8_t peek(std::uint16_t address) const;
    // Writes RAM, EEPROM cells or CONFIG's cell directly (for tests).
    void poke(std::uint16_t address, std::uint8_t value);
    // Loads bytes into memory through poke.
    void load(std::uint16_t address, const std::vector<std::uint8_t>& bytes);
    Registers& registers() { return r_; }
    std::uint8_t reg(int offset) const { return regs_[offset & 0x3F]; }
    const std::vector<std::uint8_t>& eepromCells() const { return eeprom_; }
    std::uint8_t configCell() const { return configCell_; }
    std::uint8_t configActive() const { return config_; }
    bool waiting() const { return waiting_; }
    bool stopped() const { return stopped_; }
    bool inBootRom() const;

    const Hc11Record& record() const { return record_; }
    Hc11Record& record() { return record_; }

private:
    // Bus.
    std::uint8_t read8(std::uint16_t address);
    void write8(std::uint16_t address, std::uint8_t value);
    std::uint16_t read16(std::uint16_t address);
    void write16(std::uint16_t address, std::uint16_t value);
    void push8(std::uint8_t v);
    void push16(std::uint16_t v);
    std::uint8_t pull8();
    std::uint16_t pull16();
    std::uint8_t readRegister(int offset);
    void writeRegister(int offset, std::uint8_t value);
    bool eepromMapped(std::uint16_t address) const;
    bool romMapped(std::uint16_t address) const;
    bool bootRomMapped(std::uint16_t address) const;

    // CPU.
    void execute();
    void interrupt(std::uint16_t vectorAddress, int cycles, bool stack);
    std::uint16_t vector(int offsetFromTop) const;  // 0: reset, 2: clock monitor, ...
    bool sciInterruptPending();
    int pendingInterrupt();  // vector offset of the interrupt to take, or -1
    bool takeInterrupt();
    double nextTimerEvent() const;

    // SCI.
    int sciBitCycles() const;
    void sciUpdate();
    void sciReceiveUpTo(double until);
    bool hostLevelAt(double t);
    void sciTransmitUpdate();
    void sciStartFrame(double at, std::uint16_t bits, int count);
    void sciRetimeFrame();
    void hostDecodeUpTo(double until);
    bool partLevelAt(double t);

    // EEPROM.
    void writePprog(std::uint8_t value);
    void endPulse();
    bool blockProtected(std::uint16_t address) const;
    void applyStuckCell();
    void eraseEeprom(std::uint16_t from, int count);

    // Timer.
    std::uint16_t tcnt() const;
    void timerUpdate();

    // Boot ROM behaviour.
    void bootStep(long long until);
    void bootJump(std::uint16_t to);
    void bootSecurityErase();
    void bootEcho(std::uint8_t value);

    Hc11Options options_;
    Hc11Record record_;
    PartMap map_;
    double eHz_ = 2e6;
    long long cycle_ = 0;
    Registers r_;
    std::vector<std::uint8_t> ram_;
    std::vector<std::uint8_t> eeprom_;
    std::vector<std::uint8_t> rom_;  // 64 KiB image for the ROM ranges and the boot ROM
    std::uint8_t regs_[64] = {};
    std::uint8_t configCell_ = 0xFF;
    std::uint8_t config_ = 0x0F;  // CONFIG as latched at reset
    bool resetHeld_ = false;
    bool waiting_ = false;
    bool waitStacked_ = false;
    bool stopped_ = false;
    long long resetCycle_ = 0;

    // SCI state.
    bool scsrReadFlags_ = false;    // SCSR read with a receive flag set (first half of the clear)
    bool scsrReadTdre_ = false;     // SCSR read with TDRE set
    std::uint8_t rdr_ = 0;          // the receive data register
    double rxSearchFrom_ = 0;       // the receiver looks for a start bit from here
    bool rxNeedsHigh_ = false;      // after a low stop bit, the line must go high first
    double lastFrameEnd_ = -1;      // end of the last received frame (for IDLE)
    bool idleArmed_ = false;
    std::deque<Edge> hostEdges_;    // host -> part
    std::size_t hostEdgeCursor_ = 0;
    double hostFreeAt_ = 0;
    double hostBreakStart_ = -1;
    int hostBaud_ = 9600;
    long long hostBytesWritten_ = 0;
    // Transmitter.
    bool tdrFull_ = false;
    std::uint8_t tdr_ = 0;
    double txBusyUntil_ = 0;        // the shifter sends until then
    bool txPreamblePending_ = false;
    bool txBreakQueued_ = false;
    double tdrWriteAt_ = 0;
    double teSetAt_ = 0;
    // The frame in the shifter: its bits (start bit first), and from bit txNextIndex_ on, one
    // bit every txFrameBit_ cycles from txNextAt_ (a BAUD change retimes the rest).
    std::uint16_t txFrameBits_ = 0x3FF;
    int txFrameCount_ = 0;
    int txNextIndex_ = 0;
    double txNextAt_ = 0;
    double txFrameBit_ = 0;
    std::deque<Edge> partEdges_;    // part -> host
    bool partLineHigh_ = true;      // level after the last part edge
    double hostRxSearchFrom_ = 0;
    bool hostRxNeedsHigh_ = false;
    std::deque<HostByte> hostRx_;

    // EEPROM programming state.
    bool latched_ = false;
    std::uint16_t latchAddress_ = 0;
    std::uint8_t latchData_ = 0;
    long long pulseStart_ = 0;
    std::uint8_t pulsePprog_ = 0;

    // Timer.
    long long timerBase_ = 0;
    long long timerChecked_ = 0;  // timer flags brought up to this cycle

    // Boot ROM.
    enum class Boot { Off, Start, WaitSync, Load, Done };
    Boot boot_ = Boot::Off;
    long long bootWake_ = 0;      // the boot ROM's next step
    long long bootIdleLimit_ = 0; // idle end of the download (E family)
    int bootLoaded_ = 0;
    int bootEchoes_ = 0;
};

}  // namespace jqz::sim::hc11
