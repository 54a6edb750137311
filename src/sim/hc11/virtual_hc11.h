#pragma once
// An MC68HC11 in bootstrap mode on a plain serial cable (TxD, RxD, ground): the part's CPU,
// SCI, EEPROM and boot ROM behaviour (hc11::Machine) behind a SerialPort, in virtual time.
//
// Virtual time: the model's clock is the E clock of the part. A write puts the host's bytes
// on the line, paced at the host's rate from the end of what is already on it, and returns at
// once; a read runs the model until the bytes asked for have arrived or the read's total
// time-out has passed on the model's clock. Tests therefore run much faster than the wire and
// give the same result every time.
//
// The line is a waveform both ways: the part's SCI samples the host's bits at its own rate,
// the host's receiver samples the part's TxD at the host's rate. A rate off by more than
// about 3 % garbles bytes; a 0xFF sent at 1200 baud arrives at 7812 baud as 0xE0 or 0xC0; a
// break (setBreak) arrives as 0x00 with a framing error (it lasts at least a character at
// the host's rate, however soon it is released).
//
// The port: 8 data bits, no parity, any rate above 0. Opening it powers the part up and runs
// the boot ROM's start (a secured part's erase included) until it listens for the first
// character, so a host may send the sync at once; the boot ROM's break is then still on its
// way and arrives first. A read that may not wait (time-out 0) still lets one bit time pass.
// A three-wire cable: modemStatus() reports no lines; DTR and RTS reset the part only as
// Hc11Options::reset wires them (the line on holds RESET low, off releases it: a reset into
// bootstrap mode). Purging the output does not call back what is already on the line.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/link/serial_port.h"

namespace jqz::sim {

namespace hc11 {
class Machine;
}

// Which of the host's modem lines drives the part's RESET pin (the line active holds the
// part in reset; releasing it starts the part in bootstrap mode). None: the part is reset at
// power-up, when the port opens, and by VirtualHc11::pressReset().
enum class ResetWiring { None, Dtr, Rts };

// An EEPROM cell (or CONFIG, 0x103F) that keeps one value whatever is written or erased.
struct StuckCell {
    std::uint16_t address = 0xB600;
    std::uint8_t value = 0x00;
};

// Scripted faults of the part, the cable or the host's adapter.
struct Hc11Faults {
    // The echo of the k-th byte the boot ROM loads (1: the first byte after the sync) is not
    // sent. 0: none.
    int lostEcho = 0;
    // The host's adapter loses the last byte the part sent before the host changes its rate
    // (setSettings with another baud rate), when the host has not read it yet.
    bool lostLastEcho = false;
    // The k-th byte the host writes after the port opened (1: the first, the sync) never
    // reaches the part: the line stays idle for its frame. 0: none.
    int droppedByte = 0;
    std::optional<StuckCell> stuckEepromCell;
    // NOSEC programmed in CONFIG at power-up (as Hc11Options::secured).
    bool secured = false;
    // The crystal actually fitted, in MHz; 0: the one Hc11Options::xtalMHz names.
    double wrongXtalMHz = 0.0;
};

struct Hc11Options {
    std::string part = "E9";  // "A8", "E9", "E20"
    double xtalMHz = 8.0;     // E = crystal / 4
    bool secured = false;     // NOSEC programmed in CONFIG at power-up
    // The EEPROM at power-up (from 0xB600; shorter: the rest erased). Empty: all erased (0xFF).
    std::vector<std::uint8_t> eeprom;
    // CONFIG at power-up; unset: the part's erased-state default with NOSEC as `secured` says.
    std::optional<std::uint8_t> config;
    ResetWiring reset = ResetWiring::None;
    Hc11Faults faults;
};

// One EEPGM pulse: from the write that set EEPGM to the write that cleared it (or to a reset).
struct EepromPulse {
    long long startCycle = 0;    // E cycle of the write that set EEPGM
    long long lengthCycles = 0;  // E cycles until EEPGM was cleared
    std::uint8_t pprog = 0;      // PPROG while the pulse ran (ERASE, ROW, BYTE, EELAT, EEPGM)
    std::uint16_t address = 0;   // the latched address (the first data write after EELAT)
    std::uint8_t data = 0;       // the latched data
    bool sameWrite = false;      // EELAT and EEPGM were set in one write: a fault, no change
    bool tooShort = false;       // shorter than the datasheet's time at this E: a fault, no change
    bool nothingLatched = false; // no data write to the array before EEPGM: no change
    bool blocked = false;        // BPROT protected the address: no change (a bulk erase
                                 // erases the blocks not protected)
    bool applied = false;        // the array changed as the pulse asked
    bool erase = false;          // ERASE was set (byte, row or bulk as BYTE and ROW say)
};

// An opcode the CPU does not know: the illegal-opcode trap was taken.
struct IllegalOpcode {
    long long cycle = 0;
    std::uint16_t address = 0;  // address of the opcode (of its prebyte where there is one)
    std::uint8_t prebyte = 0;   // 0x18, 0x1A, 0xCD, or 0 on page 0
    std::uint8_t opcode = 0;
};

// One entry into bootstrap mode (a reset with MODA = MODB = 0).
struct BootEntry {
    long long resetCycle = 0;
    bool securityErase = false;  // NOSEC was programmed: EEPROM, CONFIG and RAM were erased
    bool syncReceived = false;
    std::uint8_t sync = 0;       // the first character as the SCI received it
    bool toEeprom = false;       // 0x00: jumped to 0xB600
    std::uint8_t loadBaud = 0;   // the BAUD register value the download ran at
    int bytesLoaded = 0;
    bool endedByIdle = false;    // the E family's end of download: the line idle
    bool jumped = false;         // the loaded program was started at 0x0000
    long long jumpCycle = 0;
};

// What happened on the part and on the line since the model was made.
struct Hc11Record {
    int overruns = 0;         // bytes the SCI lost for RDRF not read in time (OR set)
    int framingErrors = 0;    // frames the SCI received with a low stop bit (FE set)
    int noiseFlags = 0;       // frames with disagreeing samples (NF set)
    int hostFramingErrors = 0;// frames the host's receiver got with a low stop bit
    long long bytesFromHost = 0;  // bytes the host wrote (dropped ones included)
    long long bytesToHost = 0;    // frames the host's receiver decoded (lost ones excluded)
    std::vector<std::uint8_t> fromHost;  // the host's bytes in order
    std::vector<std::uint8_t> toHost;    // what the host's receiver decoded, in order
    std::vector<EepromPulse> pulses;
    std::vector<IllegalOpcode> illegalOpcodes;
    std::vector<BootEntry> boots;
    int securityErases = 0;
    int protectedWrites = 0;  // EEPROM/CONFIG pulses BPROT refused
    int romWrites = 0;        // writes to ROM or the boot ROM's vectors (ignored)
    int swiCount = 0;

    int faultPulses() const;  // pulses with sameWrite or tooShort
};

class VirtualHc11 {
public:
    explicit VirtualHc11(Hc11Options options = {});
    ~VirtualHc11();
    VirtualHc11(const VirtualHc11&) = delete;
    VirtualHc11& operator=(const VirtualHc11&) = delete;

    // The in-process port (EBUSY while one is already open). Opening powers the part up.
    OpenedPort open();
    // A PortOpener that opens this part whatever the name.
    PortOpener opener();

    // Runs f(hc11::Machine&) with the model under its lock.
    template <typename F>
    auto with(F&& f) {
        std::lock_guard lock(mutex());
        return f(machine());
    }

    Hc11Record record();
    // The model's clock since power-up, in microseconds.
    long long modelMicroseconds();
    // The user's reset button: resets the part into bootstrap mode.
    void pressReset();
    // The EEPROM array (0xB600 up) and CONFIG as the cells hold them now.
    std::vector<std::uint8_t> eeprom();
    std::uint8_t config();

    struct State;

private:
    std::mutex& mutex();
    hc11::Machine& machine();
    std::shared_ptr<State> state_;
};

}  // namespace jqz::sim
