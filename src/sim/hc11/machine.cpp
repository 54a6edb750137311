#include "sim/hc11/machine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sim/hc11/opcodes.h"

namespace jqz::sim::hc11 {

namespace {

// SCCR2 bits.
constexpr std::uint8_t TIE = 0x80, TCIE = 0x40, RIE = 0x20, ILIE = 0x10, TE = 0x08, RE = 0x04,
                       SBK = 0x01;
// SCSR bits.
constexpr std::uint8_t TDRE = 0x80, TC = 0x40, RDRF = 0x20, IDLE = 0x10, OR = 0x08, NF = 0x04,
                       FE = 0x02;
constexpr std::uint8_t kRxFlags = RDRF | IDLE | OR | NF | FE;
// PPROG bits.
constexpr std::uint8_t BYTE = 0x10, ROW = 0x08, ERASE = 0x04, EELAT = 0x02, EEPGM = 0x01;
// HPRIO bits.
constexpr std::uint8_t RBOOT = 0x80, SMOD = 0x40, MDA = 0x20;
// CONFIG bits.
constexpr std::uint8_t NOSEC = 0x08, ROMON = 0x02, EEON = 0x01;
// Vector offsets from the base of the vector table (0xBFC0 or 0xFFC0).
constexpr int kVecSci = 0x16, kVecTof = 0x1E, kVecOc1 = 0x28, kVecSwi = 0x36,
              kVecIllegal = 0x38, kVecReset = 0x3E;

// The boot ROM's own work, in E cycles: from reset to its SCI set-up, between polls of the
// receiver, and from a received byte to the next poll (store, echo, count).
constexpr long long kBootInitCycles = 64;
constexpr long long kBootPollCycles = 8;
constexpr long long kBootByteCycles = 18;
constexpr long long kBootRamClearCyclesPerByte = 8;

constexpr double kNever = std::numeric_limits<double>::infinity();

const char kRomPattern[] = "HC11-ROM";
const char kBootPattern[] = "BOOT";

// The edge list as a line: level at time t (the last edge at or before t).
template <typename Edges>
bool levelAt(const Edges& edges, double t) {
    auto it = std::upper_bound(edges.begin(), edges.end(), t,
                               [](double v, const Edge& e) { return v < e.at; });
    if (it == edges.begin()) return true;
    return std::prev(it)->high;
}

// The first edge at or after t with the given level; kNever when there is none.
template <typename Edges>
double nextEdge(const Edges& edges, double t, bool high) {
    auto it = std::lower_bound(edges.begin(), edges.end(), t,
                               [](const Edge& e, double v) { return e.at < v; });
    for (; it != edges.end(); ++it)
        if (it->high == high) return it->at;
    return kNever;
}

template <typename Edges>
void pushEdge(Edges& edges, double at, bool high) {
    if (!edges.empty() && edges.back().high == high) return;
    if (edges.empty() && high) return;
    edges.push_back(Edge{at, high});
}

// The falling edge that starts the next frame a receiver sees from `from` (after a low stop
// bit the line must go high first, by `until`); kNever when none is on the line yet. Moves
// the search point past the wait for the line to go high.
template <typename Edges>
double nextStartEdge(const Edges& edges, double& from, bool& needsHigh, double until) {
    if (needsHigh) {
        const double up = nextEdge(edges, from, true);
        if (up == kNever || up > until) return kNever;
        from = up;
        needsHigh = false;
    }
    return nextEdge(edges, from, false);
}

// Forgets edges long before t, keeping the level.
template <typename Edges>
void pruneEdges(Edges& edges, double t) {
    while (edges.size() > 2 && edges[1].at < t) edges.pop_front();
}

}  // namespace

bool partMap(const std::string& name, PartMap& map) {
    map = PartMap{};
    map.name = name;
    if (name == "A8") {
        map.ramSize = 256;
        map.rom = {{0xE000, 0xFFFF}};
        map.hasBprot = false;
    } else if (name == "E9") {
        map.ramSize = 512;
        map.rom = {{0xD000, 0xFFFF}};
        map.hasBprot = true;
    } else if (name == "E20") {
        map.ramSize = 768;
        map.rom = {{0x9000, 0xAFFF}, {0xD000, 0xFFFF}};
        map.hasBprot = true;
    } else {
        return false;
    }
    return true;
}

Machine::Machine(const Hc11Options& options) : options_(options) {
    if (!partMap(options.part, map_)) partMap("E9", map_);
    const double xtal = options.faults.wrongXtalMHz > 0 ? options.faults.wrongXtalMHz
                                                         : options.xtalMHz;
    eHz_ = std::max(0.1, xtal) * 1e6 / 4.0;
    ram_.assign(map_.ramSize, 0x00);
    eeprom_.assign(kEepromSize, 0xFF);
    for (std::size_t i = 0; i < options.eeprom.size() && i < eeprom_.size(); ++i)
        eeprom_[i] = options.eeprom[i];
    configCell_ = options.config ? *options.config : 0xFF;
    if (options.secured || options.faults.secured) configCell_ &= static_cast<std::uint8_t>(~NOSEC);
    applyStuckCell();
    rom_.assign(0x10000, 0xFF);
    for (const PartMap::Range& range : map_.rom)
        for (unsigned a = range.first; a <= range.last; ++a)
            rom_[a] = static_cast<std::uint8_t>(kRomPattern[a % 8]);
    for (unsigned a = kBootRomStart; a < kBootVectors; ++a)
        rom_[a] = static_cast<std::uint8_t>(kBootPattern[a % 4]);
    // The boot ROM's vector table: reserved entries at 0xBFC0-0xBFD5 point nowhere (0x0000);
    // the SCI's to 0x00C4 and every next one three bytes further; reset to the program.
    for (unsigned off = 0; off < 0x40; off += 2) {
        unsigned target = 0;
        if (off >= kVecSci && off < kVecReset) target = kPseudoVectorSci + (off - kVecSci) / 2 * 3;
        if (off == kVecReset) target = kBootRomStart;
        rom_[kBootVectors + off] = static_cast<std::uint8_t>(target >> 8);
        rom_[kBootVectors + off + 1] = static_cast<std::uint8_t>(target);
    }
    hostRx_.clear();
    powerUp();
}

long long Machine::microseconds() const {
    return static_cast<long long>(static_cast<double>(cycle_) * 1e6 / eHz_);
}

void Machine::powerUp() {
    std::fill(ram_.begin(), ram_.end(), 0x00);
    reset();
}

void Machine::reset() {
    if (regs_[kPPROG] & EEPGM) endPulse();
    std::fill(std::begin(regs_), std::end(regs_), 0);
    regs_[kSCSR] = 0;
    regs_[kBPROT] = map_.hasBprot ? 0x1F : 0x00;
    regs_[kHPRIO] = RBOOT | SMOD | 0x10 | 0x06;
    regs_[kINIT] = 0x01;
    regs_[kOPTION] = 0x10;
    for (int off = 0x16; off <= 0x1F; ++off) regs_[off] = 0xFF;  // TOC1-TOC5
    config_ = configCell_ & map_.configMask;
    resetCycle_ = cycle_;
    r_ = Registers{};
    r_.ccr = CC_S | CC_X | CC_I;
    r_.pc = static_cast<std::uint16_t>(rom_[kBootVectors + kVecReset] << 8 |
                                       rom_[kBootVectors + kVecReset + 1]);
    waiting_ = waitStacked_ = stopped_ = false;
    // The SCI: receiver and transmitter off; what the part was sending is cut short.
    scsrReadFlags_ = scsrReadTdre_ = false;
    rdr_ = 0;
    rxSearchFrom_ = static_cast<double>(cycle_);
    rxNeedsHigh_ = false;
    idleArmed_ = false;
    tdrFull_ = txPreamblePending_ = txBreakQueued_ = false;
    while (!partEdges_.empty() && partEdges_.back().at > static_cast<double>(cycle_))
        partEdges_.pop_back();
    pushEdge(partEdges_, static_cast<double>(cycle_), true);
    txBusyUntil_ = static_cast<double>(cycle_);
    txFrameCount_ = 0;
    txFrameBit_ = 0;
    latched_ = false;
    timerBase_ = timerChecked_ = cycle_;
    boot_ = Boot::Start;
    bootWake_ = cycle_ + kBootInitCycles;
    bootLoaded_ = 0;
    BootEntry entry;
    entry.resetCycle = cycle_;
    record_.boots.push_back(entry);
}

void Machine::settle() {
    for (int i = 0; i < 4 && boot_ == Boot::Start && !resetHeld_ && inBootRom(); ++i)
        runUntil(std::max(bootWake_, cycle_ + 1));
}

void Machine::holdReset(bool low) {
    if (low == resetHeld_) return;
    resetHeld_ = low;
    if (!low) reset();
}

bool Machine::inBootRom() const {
    return (regs_[kHPRIO] & RBOOT) && r_.pc >= kBootRomStart && r_.pc < kBootVectors;
}

// ---------------------------------------------------------------------------------------
// Memory.

bool Machine::eepromMapped(std::uint16_t a) const {
    return (config_ & EEON) && a >= kEepromStart && a < kEepromStart + kEepromSize;
}

bool Machine::bootRomMapped(std::uint16_t a) const {
    return (regs_[kHPRIO] & RBOOT) && a >= kBootRomStart && a <= 0xBFFF;
}

bool Machine::romMapped(std::uint16_t a) const {
    if (!(config_ & ROMON)) return false;
    for (const PartMap::Range& range : map_.rom)
        if (a >= range.first && a <= range.last) return true;
    return false;
}

std::uint8_t Machine::peek(std::uint16_t a) const {
    if (a < map_.ramSize) return ram_[a];
    if (a >= kRegBase && a < kRegBase + 0x40) {
        if (a == kConfigAddress) return config_;
        if (a == kRegBase + kSCDR) return rdr_;
        return regs_[a - kRegBase];
    }
    if (eepromMapped(a)) return eeprom_[a - kEepromStart];
    if (bootRomMapped(a)) return rom_[a];
    if (romMapped(a)) return rom_[a];
    return 0xFF;
}

void Machine::poke(std::uint16_t a, std::uint8_t v) {
    if (a < map_.ramSize) ram_[a] = v;
    else if (a >= kEepromStart && a < kEepromStart + kEepromSize) eeprom_[a - kEepromStart] = v;
    else if (a == kConfigAddress) configCell_ = v;
    applyStuckCell();
}

void Machine::load(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        poke(static_cast<std::uint16_t>(address + i), bytes[i]);
}

std::uint8_t Machine::read8(std::uint16_t a) {
    if (a < map_.ramSize) return ram_[a];
    if (a >= kRegBase && a < kRegBase + 0x40) return readRegister(a - kRegBase);
    if (eepromMapped(a)) {
        // While EELAT is set the array is connected for programming and cannot be read.
        if (regs_[kPPROG] & EELAT) return 0xFF;
        return eeprom_[a - kEepromStart];
    }
    if (bootRomMapped(a)) return rom_[a];
    if (romMapped(a)) return rom_[a];
    return 0xFF;
}

void Machine::write8(std::uint16_t a, std::uint8_t v) {
    if (a < map_.ramSize) {
        ram_[a] = v;
        return;
    }
    const bool eepromCell = eepromMapped(a) || a == kConfigAddress;
    if (eepromCell && (regs_[kPPROG] & EELAT)) {
        // With EELAT set a write latches the address and data to program or erase.
        if (!(regs_[kPPROG] & EEPGM)) {
            latched_ = true;
            latchAddress_ = a;
            latchData_ = v;
        }
        return;
    }
    if (a >= kRegBase && a < kRegBase + 0x40) {
        writeRegister(a - kRegBase, v);
        return;
    }
    if (eepromMapped(a)) return;  // not latched: the array does not change
    if (romMapped(a) || (bootRomMapped(a))) ++record_.romWrites;
}

std::uint16_t Machine::read16(std::uint16_t a) {
    const std::uint8_t hi = read8(a);
    return static_cast<std::uint16_t>(hi << 8 | read8(static_cast<std::uint16_t>(a + 1)));
}

void Machine::write16(std::uint16_t a, std::uint16_t v) {
    write8(a, static_cast<std::uint8_t>(v >> 8));
    write8(static_cast<std::uint16_t>(a + 1), static_cast<std::uint8_t>(v));
}

void Machine::push8(std::uint8_t v) {
    write8(r_.sp, v);
    --r_.sp;
}

void Machine::push16(std::uint16_t v) {
    push8(static_cast<std::uint8_t>(v));
    push8(static_cast<std::uint8_t>(v >> 8));
}

std::uint8_t Machine::pull8() {
    ++r_.sp;
    return read8(r_.sp);
}

std::uint16_t Machine::pull16() {
    const std::uint8_t hi = pull8();
    return static_cast<std::uint16_t>(hi << 8 | pull8());
}

std::uint8_t Machine::readRegister(int off) {
    switch (off) {
    case kTCNT: return static_cast<std::uint8_t>(tcnt() >> 8);
    case kTCNT + 1: return static_cast<std::uint8_t>(tcnt());
    case kTFLG1:
    case kTFLG2: timerUpdate(); return regs_[off];
    case kSCSR: {
        sciUpdate();
        std::uint8_t v = regs_[kSCSR] & kRxFlags;
        if (!tdrFull_) v |= TDRE;
        if (!tdrFull_ && !txPreamblePending_ && !txBreakQueued_ &&
            txBusyUntil_ <= static_cast<double>(cycle_))
            v |= TC;
        if (v & kRxFlags) scsrReadFlags_ = true;
        if (v & TDRE) scsrReadTdre_ = true;
        return v;
    }
    case kSCDR: {
        sciUpdate();
        if (scsrReadFlags_) {
            regs_[kSCSR] &= static_cast<std::uint8_t>(~kRxFlags);
            scsrReadFlags_ = false;
        }
        return rdr_;
    }
    case kCONFIG: return config_;
    default: return regs_[off];
    }
}

void Machine::writeRegister(int off, std::uint8_t v) {
    switch (off) {
    case kTCNT:
    case kTCNT + 1:
    case kSCSR: return;
    case kTFLG1:
    case kTFLG2:
        timerUpdate();
        regs_[off] &= static_cast<std::uint8_t>(~v);
        return;
    case 0x16: case 0x17: case 0x18: case 0x19: case 0x1A:
    case 0x1B: case 0x1C: case 0x1D: case 0x1E: case 0x1F:
    case kTMSK1:
    case kTMSK2:
        timerUpdate();
        regs_[off] = v;
        return;
    case kBAUD:
        sciUpdate();
        regs_[kBAUD] = v;
        sciRetimeFrame();
        return;
    case kSCCR2: {
        sciUpdate();
        const std::uint8_t old = regs_[kSCCR2];
        regs_[kSCCR2] = v;
        if ((v & TE) && !(old & TE)) {
            txPreamblePending_ = true;
            teSetAt_ = static_cast<double>(cycle_);
        }
        if ((v & SBK) && !(old & SBK)) txBreakQueued_ = true;
        if ((v & RE) && !(old & RE)) {
            rxSearchFrom_ = static_cast<double>(cycle_);
            rxNeedsHigh_ = !hostLevelAt(rxSearchFrom_);
        }
        sciTransmitUpdate();
        return;
    }
    case kSCDR:
        sciUpdate();
        tdr_ = v;
        tdrFull_ = true;
        tdrWriteAt_ = static_cast<double>(cycle_);
        scsrReadTdre_ = false;
        sciTransmitUpdate();
        return;
    case kPPROG: writePprog(v); return;
    case kBPROT: {
        if (!map_.hasBprot) return;
        // Protection bits can always be set; cleared only in the first 64 E cycles after
        // reset, or at any time in a special mode (SMOD set).
        const bool mayClear = (regs_[kHPRIO] & SMOD) || cycle_ - resetCycle_ < 64;
        regs_[kBPROT] = static_cast<std::uint8_t>((mayClear ? v : (regs_[kBPROT] | v)) & 0x1F);
        return;
    }
    case kHPRIO: {
        std::uint8_t old = regs_[kHPRIO];
        std::uint8_t next = static_cast<std::uint8_t>((old & 0xF0) | (v & 0x0F));
        if (old & SMOD) {
            next = static_cast<std::uint8_t>((next & ~(RBOOT | MDA | 0x10)) | (v & (RBOOT | MDA | 0x10)));
            if (!(v & SMOD)) next &= static_cast<std::uint8_t>(~SMOD);
        }
        regs_[kHPRIO] = next;
        return;
    }
    case kCONFIG: return;  // an EEPROM cell: changed through PPROG only
    default: regs_[off] = v; return;
    }
}

// ---------------------------------------------------------------------------------------
// Timer: TCNT counts E cycles through the prescaler from reset; the output compare flags
// set when it passes TOC1-TOC5, TOF when it wraps.

std::uint16_t Machine::tcnt() const {
    static const int prescale[4] = {1, 4, 8, 16};
    return static_cast<std::uint16_t>((cycle_ - timerBase_) / prescale[regs_[kTMSK2] & 3]);
}

void Machine::timerUpdate() {
    static const int prescale[4] = {1, 4, 8, 16};
    const long long p = prescale[regs_[kTMSK2] & 3];
    const long long t0 = (timerChecked_ - timerBase_) / p;
    const long long t1 = (cycle_ - timerBase_) / p;
    timerChecked_ = cycle_;
    if (t1 <= t0) return;
    const long long count = t1 - t0;
    for (int i = 0; i < 5; ++i) {
        const int off = 0x16 + 2 * i;
        const long long toc = regs_[off] << 8 | regs_[off + 1];
        const long long d = ((toc - t0) % 65536 + 65536) % 65536;
        if (count >= 65536 || (d >= 1 && d <= count)) regs_[kTFLG1] |= static_cast<std::uint8_t>(0x80 >> i);
    }
    if (t1 / 65536 > t0 / 65536) regs_[kTFLG2] |= 0x80;
}

// ---------------------------------------------------------------------------------------
// SCI.

int Machine::sciBitCycles() const {
    static const int scp[4] = {1, 3, 4, 13};
    const std::uint8_t baud = regs_[kBAUD];
    return 16 * scp[(baud >> 4) & 3] * (1 << (baud & 7));
}

bool Machine::hostLevelAt(double t) { return levelAt(hostEdges_, t); }
bool Machine::partLevelAt(double t) { return levelAt(partEdges_, t); }

void Machine::sciUpdate() {
    sciTransmitUpdate();
    sciReceiveUpTo(static_cast<double>(cycle_));
    if (idleArmed_ && (regs_[kSCCR2] & RE)) {
        const double idleAt = lastFrameEnd_ + 10.0 * sciBitCycles();
        if (static_cast<double>(cycle_) >= idleAt && nextEdge(hostEdges_, lastFrameEnd_, false) > idleAt) {
            regs_[kSCSR] |= IDLE;
            idleArmed_ = false;
        }
    }
    pruneEdges(hostEdges_, std::min(rxSearchFrom_, lastFrameEnd_) - 1e6);
}

double Machine::nextPartByteAt() {
    if (!(regs_[kSCCR2] & RE)) return -1;
    double from = rxSearchFrom_;
    bool needsHigh = rxNeedsHigh_;
    const double tf = nextStartEdge(hostEdges_, from, needsHigh, kNever);
    if (tf == kNever) return -1;
    const double rt = sciBitCycles() / 16.0;
    return std::ceil(tf / rt) * rt + 153 * rt;
}

void Machine::sciReceiveUpTo(double until) {
    if (!(regs_[kSCCR2] & RE)) return;
    for (;;) {
        const double tf = nextStartEdge(hostEdges_, rxSearchFrom_, rxNeedsHigh_, until);
        if (tf == kNever) return;
        // Samples at the receiver's RT clock (16 per bit): RT1 is the first tick that sees
        // the start bit; RT3, RT5 and RT7 verify it; each bit is the majority of its RT8, RT9
        // and RT10 samples.
        const double rt = sciBitCycles() / 16.0;
        const double t1 = std::ceil(tf / rt) * rt;
        const double done = t1 + 153 * rt;
        if (done > until) return;
        auto sample = [&](int tick) { return hostLevelAt(t1 + tick * rt); };
        const int startHigh = sample(2) + sample(4) + sample(6);
        if (startHigh >= 2) {
            rxSearchFrom_ = t1 + 7 * rt;
            rxNeedsHigh_ = !hostLevelAt(rxSearchFrom_);
            continue;
        }
        bool noise = startHigh != 0;
        unsigned value = 0;
        bool stop = true;
        for (int k = 1; k <= 9; ++k) {
            const int ones = sample(16 * k + 7) + sample(16 * k + 8) + sample(16 * k + 9);
            if (ones != 0 && ones != 3) noise = true;
            const bool bit = ones >= 2;
            if (k <= 8) value |= (bit ? 1u : 0u) << (k - 1);
            else stop = bit;
        }
        if (regs_[kSCSR] & RDRF) {
            regs_[kSCSR] |= OR;
            ++record_.overruns;
        } else {
            rdr_ = static_cast<std::uint8_t>(value);
            regs_[kSCSR] = static_cast<std::uint8_t>((regs_[kSCSR] & ~(NF | FE)) | RDRF |
                                                     (noise ? NF : 0) | (stop ? 0 : FE));
            if (!stop) ++record_.framingErrors;
            if (noise) ++record_.noiseFlags;
        }
        lastFrameEnd_ = done;
        idleArmed_ = true;
        rxSearchFrom_ = done;
        rxNeedsHigh_ = !stop;
    }
}

void Machine::sciStartFrame(double at, std::uint16_t bits, int count) {
    const double bit = sciBitCycles();
    for (int i = 0; i < count; ++i) pushEdge(partEdges_, at + i * bit, (bits >> i) & 1);
    pushEdge(partEdges_, at + count * bit, true);
    txBusyUntil_ = at + count * bit;
    txFrameBits_ = bits;
    txFrameCount_ = count;
    txNextIndex_ = 0;
    txNextAt_ = at;
    txFrameBit_ = bit;
}

// The baud rate generator drives the shifter directly: a BAUD change while a frame goes out
// sends the rest of it at the new rate (the bit in progress ends in proportion).
void Machine::sciRetimeFrame() {
    const double now = static_cast<double>(cycle_);
    const double bit = sciBitCycles();
    if (txBusyUntil_ <= now || txFrameBit_ <= 0 || bit == txFrameBit_) return;
    int k = txNextIndex_ - 1;  // the bit in progress
    double endK = txNextAt_;
    if (now >= txNextAt_) {
        k = txNextIndex_ + static_cast<int>((now - txNextAt_) / txFrameBit_);
        endK = txNextAt_ + (k - txNextIndex_ + 1) * txFrameBit_;
    }
    if (k >= txFrameCount_) return;
    const double newEndK = now + (endK - now) / txFrameBit_ * bit;
    while (!partEdges_.empty() && partEdges_.back().at > now) partEdges_.pop_back();
    for (int i = k + 1; i < txFrameCount_; ++i)
        pushEdge(partEdges_, newEndK + (i - k - 1) * bit, (txFrameBits_ >> i) & 1);
    txBusyUntil_ = newEndK + (txFrameCount_ - k - 1) * bit;
    pushEdge(partEdges_, txBusyUntil_, true);
    txNextIndex_ = k + 1;
    txNextAt_ = newEndK;
    txFrameBit_ = bit;
}

void Machine::sciTransmitUpdate() {
    const double now = static_cast<double>(cycle_);
    while (txBusyUntil_ <= now) {
        if (!(regs_[kSCCR2] & TE)) {
            txPreamblePending_ = false;
            return;
        }
        if (txPreamblePending_) {
            // A preamble: one idle character (the line stays high).
            txPreamblePending_ = false;
            sciStartFrame(std::max(txBusyUntil_, teSetAt_), 0x3FF, 10);
            continue;
        }
        if (tdrFull_) {
            const double at = std::max(txBusyUntil_, tdrWriteAt_);
            tdrFull_ = false;
            sciStartFrame(at, static_cast<std::uint16_t>(0x200 | tdr_ << 1), 10);
            continue;
        }
        if (txBreakQueued_ || (regs_[kSCCR2] & SBK)) {
            txBreakQueued_ = false;
            const double at = std::max(txBusyUntil_, now);
            sciStartFrame(at, 0, 10);
            continue;
        }
        return;
    }
}

void Machine::hostDecodeUpTo(double until) {
    const double bit = eHz_ / std::max(1, hostBaud_);
    for (;;) {
        const double tf = nextStartEdge(partEdges_, hostRxSearchFrom_, hostRxNeedsHigh_, until);
        if (tf == kNever) return;
        const double done = tf + 9.5 * bit;
        if (done > until) return;
        if (partLevelAt(tf + 0.5 * bit)) {  // a glitch, not a start bit
            hostRxSearchFrom_ = tf + 0.5 * bit;
            continue;
        }
        unsigned value = 0;
        for (int k = 1; k <= 8; ++k)
            if (partLevelAt(tf + (k + 0.5) * bit)) value |= 1u << (k - 1);
        const bool stop = partLevelAt(done);
        hostRx_.push_back(HostByte{done, static_cast<std::uint8_t>(value), !stop});
        ++record_.bytesToHost;
        record_.toHost.push_back(static_cast<std::uint8_t>(value));
        if (!stop) ++record_.hostFramingErrors;
        hostRxSearchFrom_ = done;
        hostRxNeedsHigh_ = !stop;
    }
}

double Machine::nextHostByteAt() {
    sciTransmitUpdate();
    double from = hostRxSearchFrom_;
    bool needsHigh = hostRxNeedsHigh_;
    const double tf = nextStartEdge(partEdges_, from, needsHigh, kNever);
    if (tf == kNever) return -1;
    return tf + 9.5 * eHz_ / std::max(1, hostBaud_);
}

std::deque<HostByte>& Machine::hostReceived() {
    sciTransmitUpdate();
    hostDecodeUpTo(static_cast<double>(cycle_));
    pruneEdges(partEdges_, hostRxSearchFrom_ - 1e6);
    return hostRx_;
}

void Machine::loseLastUnread() {
    hostReceived();
    if (!hostRx_.empty()) hostRx_.pop_back();
}

void Machine::setHostBaud(int baud) {
    if (baud == hostBaud_) return;
    hostDecodeUpTo(static_cast<double>(cycle_));
    hostBaud_ = std::max(1, baud);
}

void Machine::hostWrite(const std::uint8_t* data, std::size_t count, int baud) {
    setHostBaud(baud);
    const double bit = eHz_ / std::max(1, baud);
    for (std::size_t i = 0; i < count; ++i) {
        ++hostBytesWritten_;
        ++record_.bytesFromHost;
        record_.fromHost.push_back(data[i]);
        const double at = std::max(static_cast<double>(cycle_), hostFreeAt_);
        hostFreeAt_ = at + 10 * bit;
        if (options_.faults.droppedByte > 0 && hostBytesWritten_ == options_.faults.droppedByte)
            continue;
        const unsigned frame = 0x200u | static_cast<unsigned>(data[i]) << 1;
        for (int b = 0; b < 10; ++b) pushEdge(hostEdges_, at + b * bit, (frame >> b) & 1);
        pushEdge(hostEdges_, at + 10 * bit, true);
    }
}

void Machine::hostBreak(bool on, int baud) {
    setHostBaud(baud);
    const double bit = eHz_ / std::max(1, baud);
    if (on) {
        if (hostBreakStart_ >= 0) return;
        hostBreakStart_ = std::max(static_cast<double>(cycle_), hostFreeAt_);
        pushEdge(hostEdges_, hostBreakStart_, false);
        hostFreeAt_ = hostBreakStart_;
    } else {
        if (hostBreakStart_ < 0) return;
        // A break lasts at least a character with its stop bit, whatever the host's timing.
        const double end = std::max(static_cast<double>(cycle_), hostBreakStart_ + 11 * bit);
        pushEdge(hostEdges_, end, true);
        hostFreeAt_ = end + bit;
        hostBreakStart_ = -1;
    }
}

// ---------------------------------------------------------------------------------------
// EEPROM.

void Machine::applyStuckCell() {
    if (!options_.faults.stuckEepromCell) return;
    const StuckCell& s = *options_.faults.stuckEepromCell;
    if (s.address >= kEepromStart && s.address < kEepromStart + kEepromSize)
        eeprom_[s.address - kEepromStart] = s.value;
    else if (s.address == kConfigAddress)
        configCell_ = s.value;
}

bool Machine::blockProtected(std::uint16_t a) const {
    if (!map_.hasBprot) return false;
    const std::uint8_t bprot = regs_[kBPROT];
    if (a == kConfigAddress) return bprot & 0x10;
    if (a < 0xB620) return bprot & 0x01;
    if (a < 0xB660) return bprot & 0x02;
    if (a < 0xB6E0) return bprot & 0x04;
    return bprot & 0x08;
}

void Machine::eraseEeprom(std::uint16_t from, int count) {
    for (int i = 0; i < count; ++i) {
        const auto a = static_cast<std::uint16_t>(from + i);
        if (blockProtected(a)) continue;
        eeprom_[a - kEepromStart] = 0xFF;
    }
}

void Machine::writePprog(std::uint8_t v) {
    const std::uint8_t old = regs_[kPPROG];
    if (old & EEPGM) {
        // While the pulse runs only EEPGM changes; clearing it ends the pulse (a write of 0
        // clears the rest with it).
        if (!(v & EEPGM)) {
            endPulse();
            regs_[kPPROG] = v;
            if (!(v & EELAT)) latched_ = false;
        }
        return;
    }
    if (v & EEPGM) {
        if (!(old & EELAT)) {
            // EEPGM needs EELAT set by an earlier write: the pulse does not start.
            EepromPulse pulse;
            pulse.startCycle = cycle_;
            pulse.pprog = v;
            pulse.sameWrite = (v & EELAT) != 0;
            pulse.address = latchAddress_;
            pulse.erase = (v & ERASE) != 0;
            record_.pulses.push_back(pulse);
            regs_[kPPROG] = static_cast<std::uint8_t>(v & ~EEPGM);
            latched_ = false;
            return;
        }
        pulseStart_ = cycle_;
        pulsePprog_ = static_cast<std::uint8_t>(v | EELAT);
        regs_[kPPROG] = pulsePprog_;
        return;
    }
    if ((v & EELAT) != (old & EELAT)) latched_ = false;
    regs_[kPPROG] = v;
}

void Machine::endPulse() {
    EepromPulse pulse;
    pulse.startCycle = pulseStart_;
    pulse.lengthCycles = cycle_ - pulseStart_;
    pulse.pprog = pulsePprog_;
    pulse.address = latchAddress_;
    pulse.data = latchData_;
    pulse.erase = (pulsePprog_ & ERASE) != 0;
    // The datasheet's time: 10 ms at E = 2 MHz and above, 20 ms below.
    const double needMs = eHz_ >= 2e6 - 1 ? 10.0 : 20.0;
    const auto needCycles = static_cast<long long>(std::ceil(needMs * eHz_ / 1000.0 - 1e-6));
    regs_[kPPROG] = static_cast<std::uint8_t>(regs_[kPPROG] & ~EEPGM);
    if (!latched_) {
        pulse.nothingLatched = true;
    } else if (pulse.lengthCycles < needCycles) {
        pulse.tooShort = true;
    } else if (latchAddress_ == kConfigAddress) {
        if (blockProtected(kConfigAddress)) {
            pulse.blocked = true;
            ++record_.protectedWrites;
        } else {
            configCell_ = pulse.erase ? 0xFF : static_cast<std::uint8_t>(configCell_ & latchData_);
            pulse.applied = true;
        }
    } else {
        const std::uint16_t a = latchAddress_;
        if (pulse.erase) {
            if (pulsePprog_ & BYTE) {
                pulse.blocked = blockProtected(a);
                if (!pulse.blocked) eraseEeprom(a, 1);
            } else if (pulsePprog_ & ROW) {
                pulse.blocked = blockProtected(a);
                if (!pulse.blocked) eraseEeprom(static_cast<std::uint16_t>(a & ~0x0F), 16);
            } else {
                eraseEeprom(kEepromStart, kEepromSize);  // bulk: the unprotected blocks
                for (std::uint16_t b : {0xB600, 0xB620, 0xB660, 0xB6E0})
                    if (blockProtected(b)) pulse.blocked = true;
            }
        } else {
            pulse.blocked = blockProtected(a);
            if (!pulse.blocked) eeprom_[a - kEepromStart] &= latchData_;
        }
        if (pulse.blocked) ++record_.protectedWrites;
        pulse.applied = !pulse.blocked || (pulse.erase && !(pulsePprog_ & (BYTE | ROW)));
    }
    applyStuckCell();
    record_.pulses.push_back(pulse);
}

// ---------------------------------------------------------------------------------------
// CPU.

std::uint16_t Machine::vector(int off) const {
    const unsigned base = (regs_[kHPRIO] & SMOD) ? kBootVectors : 0xFFC0;
    return static_cast<std::uint16_t>(peek(static_cast<std::uint16_t>(base + off)) << 8 |
                                      peek(static_cast<std::uint16_t>(base + off + 1)));
}

bool Machine::sciInterruptPending() {
    const std::uint8_t cr2 = regs_[kSCCR2];
    if (!(cr2 & (TIE | TCIE | RIE | ILIE))) return false;
    sciUpdate();
    const std::uint8_t sr = regs_[kSCSR];
    const bool tdre = !tdrFull_;
    const bool tc = tdre && !txPreamblePending_ && !txBreakQueued_ &&
                    txBusyUntil_ <= static_cast<double>(cycle_);
    return ((cr2 & TIE) && tdre) || ((cr2 & TCIE) && tc) || ((cr2 & RIE) && (sr & (RDRF | OR))) ||
           ((cr2 & ILIE) && (sr & IDLE));
}

void Machine::interrupt(std::uint16_t vectorOffset, int cycles, bool stack) {
    if (stack) {
        push16(r_.pc);
        push16(r_.y);
        push16(r_.x);
        push8(r_.a);
        push8(r_.b);
        push8(r_.ccr);
    }
    r_.ccr |= CC_I;
    r_.pc = vector(vectorOffset);
    cycle_ += cycles;
    waiting_ = waitStacked_ = false;
}

void Machine::step() {
    if (resetHeld_ || stopped_) {
        ++cycle_;
        return;
    }
    if (inBootRom()) {
        bootStep(cycle_ + 1);
        return;
    }
    if (takeInterrupt()) return;
    if (waiting_) {
        ++cycle_;
        return;
    }
    execute();
}

int Machine::pendingInterrupt() {
    if (r_.ccr & CC_I) return -1;
    // Highest priority first: the output compares (OC1 to OC5), the timer overflow, the SCI.
    const std::uint8_t tmsk1 = regs_[kTMSK1] & 0xF8, toi = regs_[kTMSK2] & 0x80;
    if (tmsk1 || toi) {
        timerUpdate();
        const std::uint8_t oc = regs_[kTFLG1] & tmsk1;
        for (int i = 0; i < 5; ++i)
            if (oc & (0x80 >> i)) return kVecOc1 - 2 * i;
        if (regs_[kTFLG2] & toi) return kVecTof;
    }
    if ((regs_[kSCCR2] & (TIE | TCIE | RIE | ILIE)) && sciInterruptPending()) return kVecSci;
    return -1;
}

bool Machine::takeInterrupt() {
    const int vector = pendingInterrupt();
    if (vector < 0) return false;
    // After WAI the registers are stacked already: only the vector is fetched.
    interrupt(static_cast<std::uint16_t>(vector), waitStacked_ ? 3 : 12, !waitStacked_);
    return true;
}

// The cycle at which the timer next sets an enabled interrupt flag; kNever when none is.
double Machine::nextTimerEvent() const {
    static const int prescale[4] = {1, 4, 8, 16};
    const long long p = prescale[regs_[kTMSK2] & 3];
    const long long count = tcnt();
    const std::uint8_t tmsk1 = regs_[kTMSK1] & 0xF8;
    long long ticks = std::numeric_limits<long long>::max();
    for (int i = 0; i < 5; ++i) {
        if (!(tmsk1 & (0x80 >> i))) continue;
        const int off = 0x16 + 2 * i;
        const long long toc = regs_[off] << 8 | regs_[off + 1];
        long long d = ((toc - count) % 65536 + 65536) % 65536;
        if (d == 0) d = 65536;
        ticks = std::min(ticks, d);
    }
    if (regs_[kTMSK2] & 0x80) ticks = std::min(ticks, 65536 - count);
    if (ticks == std::numeric_limits<long long>::max()) return kNever;
    return static_cast<double>(cycle_ + ticks * p);
}

void Machine::runUntil(long long until) {
    while (cycle_ < until) {
        if (resetHeld_ || stopped_) {
            cycle_ = until;
            break;
        }
        if (inBootRom()) {
            bootStep(until);
            continue;
        }
        if (!(r_.ccr & CC_I) && takeInterrupt()) continue;
        if (waiting_) {
            // Nothing to do until the SCI or the timer has news: the next received frame,
            // the end of the frame being sent, the next compare or overflow.
            double next = static_cast<double>(until);
            if (!(r_.ccr & CC_I)) {
                const double rx = nextPartByteAt();
                if (rx >= 0) next = std::min(next, rx);
                if (txBusyUntil_ > static_cast<double>(cycle_)) next = std::min(next, txBusyUntil_);
                next = std::min(next, nextTimerEvent());
            }
            cycle_ = std::max(cycle_ + 1, static_cast<long long>(std::ceil(next)));
            continue;
        }
        execute();
    }
    // What the SCI received by now is in its registers (and overruns on the record) even
    // when nothing reads them.
    sciUpdate();
}

namespace {

inline std::uint8_t nz8(std::uint8_t ccr, std::uint8_t v) {
    ccr &= static_cast<std::uint8_t>(~(CC_N | CC_Z));
    if (v & 0x80) ccr |= CC_N;
    if (v == 0) ccr |= CC_Z;
    return ccr;
}

inline std::uint8_t nz16(std::uint8_t ccr, std::uint16_t v) {
    ccr &= static_cast<std::uint8_t>(~(CC_N | CC_Z));
    if (v & 0x8000) ccr |= CC_N;
    if (v == 0) ccr |= CC_Z;
    return ccr;
}

inline std::uint8_t setIf(std::uint8_t ccr, std::uint8_t bit, bool on) {
    return on ? static_cast<std::uint8_t>(ccr | bit) : static_cast<std::uint8_t>(ccr & ~bit);
}

}  // namespace

void Machine::execute() {
    const std::uint16_t pc0 = r_.pc;
    std::uint8_t code = read8(pc0);
    int page = 0;
    std::uint16_t p = static_cast<std::uint16_t>(pc0 + 1);
    if (code == 0x18 || code == 0x1A || code == 0xCD) {
        page = pageIndex(code);
        code = read8(p);
        p = static_cast<std::uint16_t>(p + 1);
    }
    const OpInfo& in = opInfo(page, code);
    if (in.op == Op::Illegal || in.op == Op::TEST) {
        IllegalOpcode ill;
        ill.cycle = cycle_;
        ill.address = pc0;
        ill.prebyte = pagePrebyte(page);
        ill.opcode = code;
        record_.illegalOpcodes.push_back(ill);
        // The stacked return address is that of the opcode that trapped.
        interrupt(kVecIllegal, 14, true);
        return;
    }
    std::uint16_t ea = 0;
    std::uint8_t mask = 0;
    std::int8_t rel = 0;
    std::uint16_t imm = 0;
    switch (in.mode) {
    case Mode::Imm8: imm = read8(p); break;
    case Mode::Imm16: imm = read16(p); break;
    case Mode::Dir: ea = read8(p); break;
    case Mode::Ext: ea = read16(p); break;
    case Mode::IndX: ea = static_cast<std::uint16_t>(r_.x + read8(p)); break;
    case Mode::IndY: ea = static_cast<std::uint16_t>(r_.y + read8(p)); break;
    case Mode::Rel: rel = static_cast<std::int8_t>(read8(p)); break;
    case Mode::DirMask:
    case Mode::DirMaskRel: ea = read8(p); break;
    case Mode::IndXMask:
    case Mode::IndXMaskRel: ea = static_cast<std::uint16_t>(r_.x + read8(p)); break;
    case Mode::IndYMask:
    case Mode::IndYMaskRel: ea = static_cast<std::uint16_t>(r_.y + read8(p)); break;
    default: break;
    }
    if (in.mode >= Mode::DirMask) {
        mask = read8(static_cast<std::uint16_t>(p + 1));
        if (in.mode >= Mode::DirMaskRel) rel = static_cast<std::int8_t>(read8(static_cast<std::uint16_t>(p + 2)));
    }
    r_.pc = static_cast<std::uint16_t>(pc0 + in.length);
    cycle_ += in.cycles;

    const bool immediate = in.mode == Mode::Imm8 || in.mode == Mode::Imm16;
    auto m8 = [&]() -> std::uint8_t { return immediate ? static_cast<std::uint8_t>(imm) : read8(ea); };
    auto m16 = [&]() -> std::uint16_t { return immediate ? imm : read16(ea); };
    std::uint8_t& cc = r_.ccr;
    auto add8 = [&](std::uint8_t a, std::uint8_t b, int c) -> std::uint8_t {
        const unsigned r = a + b + c;
        const auto res = static_cast<std::uint8_t>(r);
        cc = nz8(cc, res);
        cc = setIf(cc, CC_H, ((a & 0xF) + (b & 0xF) + c) > 0xF);
        cc = setIf(cc, CC_V, ((a ^ res) & (b ^ res) & 0x80) != 0);
        cc = setIf(cc, CC_C, r > 0xFF);
        return res;
    };
    auto sub8 = [&](std::uint8_t a, std::uint8_t b, int c) -> std::uint8_t {
        const auto res = static_cast<std::uint8_t>(a - b - c);
        cc = nz8(cc, res);
        cc = setIf(cc, CC_V, ((a ^ b) & (a ^ res) & 0x80) != 0);
        cc = setIf(cc, CC_C, static_cast<unsigned>(b) + c > a);
        return res;
    };
    auto sub16 = [&](std::uint16_t a, std::uint16_t b) -> std::uint16_t {
        const auto res = static_cast<std::uint16_t>(a - b);
        cc = nz16(cc, res);
        cc = setIf(cc, CC_V, ((a ^ b) & (a ^ res) & 0x8000) != 0);
        cc = setIf(cc, CC_C, b > a);
        return res;
    };
    auto logic8 = [&](std::uint8_t v) -> std::uint8_t {
        cc = nz8(cc, v);
        cc &= static_cast<std::uint8_t>(~CC_V);
        return v;
    };
    auto logic16 = [&](std::uint16_t v) -> std::uint16_t {
        cc = nz16(cc, v);
        cc &= static_cast<std::uint8_t>(~CC_V);
        return v;
    };
    // Shifts and the other read-modify-write operations on a byte.
    auto shiftFlags = [&](std::uint8_t res, bool carry) {
        cc = nz8(cc, res);
        cc = setIf(cc, CC_C, carry);
        cc = setIf(cc, CC_V, ((cc & CC_N) != 0) != carry);
    };
    auto unary = [&](Op op, std::uint8_t m) -> std::uint8_t {
        const int c = cc & CC_C;
        switch (op) {
        case Op::NEG: case Op::NEGA: case Op::NEGB: {
            const auto r = static_cast<std::uint8_t>(0 - m);
            cc = nz8(cc, r);
            cc = setIf(cc, CC_V, r == 0x80);
            cc = setIf(cc, CC_C, r != 0);
            return r;
        }
        case Op::COM: case Op::COMA: case Op::COMB: {
            const auto r = static_cast<std::uint8_t>(~m);
            cc = nz8(cc, r);
            cc = static_cast<std::uint8_t>((cc & ~CC_V) | CC_C);
            return r;
        }
        case Op::LSR: case Op::LSRA: case Op::LSRB: {
            const auto r = static_cast<std::uint8_t>(m >> 1);
            shiftFlags(r, m & 1);
            return r;
        }
        case Op::ROR: case Op::RORA: case Op::RORB: {
            const auto r = static_cast<std::uint8_t>(m >> 1 | c << 7);
            shiftFlags(r, m & 1);
            return r;
        }
        case Op::ASR: case Op::ASRA: case Op::ASRB: {
            const auto r = static_cast<std::uint8_t>(m >> 1 | (m & 0x80));
            shiftFlags(r, m & 1);
            return r;
        }
        case Op::ASL: case Op::ASLA: case Op::ASLB: {
            const auto r = static_cast<std::uint8_t>(m << 1);
            shiftFlags(r, (m & 0x80) != 0);
            return r;
        }
        case Op::ROL: case Op::ROLA: case Op::ROLB: {
            const auto r = static_cast<std::uint8_t>(m << 1 | c);
            shiftFlags(r, (m & 0x80) != 0);
            return r;
        }
        case Op::DEC: case Op::DECA: case Op::DECB: {
            const auto r = static_cast<std::uint8_t>(m - 1);
            cc = nz8(cc, r);
            cc = setIf(cc, CC_V, m == 0x80);
            return r;
        }
        case Op::INC: case Op::INCA: case Op::INCB: {
            const auto r = static_cast<std::uint8_t>(m + 1);
            cc = nz8(cc, r);
            cc = setIf(cc, CC_V, m == 0x7F);
            return r;
        }
        case Op::TST: case Op::TSTA: case Op::TSTB:
            cc = nz8(cc, m);
            cc &= static_cast<std::uint8_t>(~(CC_V | CC_C));
            return m;
        case Op::CLR: case Op::CLRA: case Op::CLRB:
            cc = static_cast<std::uint8_t>((cc & ~(CC_N | CC_V | CC_C)) | CC_Z);
            return 0;
        default: return m;
        }
    };
    auto branch = [&](bool take) {
        if (take) r_.pc = static_cast<std::uint16_t>(r_.pc + rel);
    };
    const bool n = cc & CC_N, z = cc & CC_Z, v = cc & CC_V, c = cc & CC_C;

    switch (in.op) {
    case Op::NOP: break;
    case Op::IDIV: {
        const std::uint16_t d = r_.d();
        if (r_.x == 0) {
            r_.x = 0xFFFF;
            cc |= CC_C;
        } else {
            const std::uint16_t q = static_cast<std::uint16_t>(d / r_.x);
            r_.setD(static_cast<std::uint16_t>(d % r_.x));
            r_.x = q;
            cc &= static_cast<std::uint8_t>(~CC_C);
        }
        cc = setIf(cc, CC_Z, r_.x == 0);
        cc &= static_cast<std::uint8_t>(~CC_V);
        break;
    }
    case Op::FDIV: {
        const std::uint16_t d = r_.d();
        const std::uint16_t x = r_.x;
        cc = setIf(cc, CC_C, x == 0);
        cc = setIf(cc, CC_V, x <= d);
        if (x == 0 || x <= d) {
            r_.x = 0xFFFF;
        } else {
            const std::uint32_t num = static_cast<std::uint32_t>(d) << 16;
            r_.x = static_cast<std::uint16_t>(num / x);
            r_.setD(static_cast<std::uint16_t>(num % x));
        }
        cc = setIf(cc, CC_Z, r_.x == 0);
        break;
    }
    case Op::LSRD: {
        const std::uint16_t d = r_.d();
        const auto r = static_cast<std::uint16_t>(d >> 1);
        r_.setD(r);
        cc = nz16(cc, r);
        cc = setIf(cc, CC_C, d & 1);
        cc = setIf(cc, CC_V, d & 1);
        break;
    }
    case Op::ASLD: {
        const std::uint16_t d = r_.d();
        const auto r = static_cast<std::uint16_t>(d << 1);
        r_.setD(r);
        cc = nz16(cc, r);
        const bool carry = d & 0x8000;
        cc = setIf(cc, CC_C, carry);
        cc = setIf(cc, CC_V, ((r & 0x8000) != 0) != carry);
        break;
    }
    case Op::TAP: {
        // X can be cleared but not set by software.
        std::uint8_t next = r_.a;
        if (!(cc & CC_X)) next &= static_cast<std::uint8_t>(~CC_X);
        cc = next;
        break;
    }
    case Op::TPA: r_.a = cc; break;
    case Op::INX: r_.x++; cc = setIf(cc, CC_Z, r_.x == 0); break;
    case Op::DEX: r_.x--; cc = setIf(cc, CC_Z, r_.x == 0); break;
    case Op::INY: r_.y++; cc = setIf(cc, CC_Z, r_.y == 0); break;
    case Op::DEY: r_.y--; cc = setIf(cc, CC_Z, r_.y == 0); break;
    case Op::CLV: cc &= static_cast<std::uint8_t>(~CC_V); break;
    case Op::SEV: cc |= CC_V; break;
    case Op::CLC: cc &= static_cast<std::uint8_t>(~CC_C); break;
    case Op::SEC: cc |= CC_C; break;
    case Op::CLI: cc &= static_cast<std::uint8_t>(~CC_I); break;
    case Op::SEI: cc |= CC_I; break;
    case Op::SBA: r_.a = sub8(r_.a, r_.b, 0); break;
    case Op::CBA: sub8(r_.a, r_.b, 0); break;
    case Op::TAB: r_.b = logic8(r_.a); break;
    case Op::TBA: r_.a = logic8(r_.b); break;
    case Op::DAA: {
        const std::uint8_t a = r_.a;
        std::uint8_t corr = 0;
        bool carry = c;
        if ((cc & CC_H) || (a & 0x0F) > 9) corr |= 0x06;
        if (c || (a >> 4) > 9 || ((a >> 4) >= 9 && (a & 0x0F) > 9)) {
            corr |= 0x60;
            carry = true;
        }
        r_.a = static_cast<std::uint8_t>(a + corr);
        cc = nz8(cc, r_.a);
        cc = setIf(cc, CC_C, carry);
        break;
    }
    case Op::ABA: r_.a = add8(r_.a, r_.b, 0); break;
    case Op::ABX: r_.x = static_cast<std::uint16_t>(r_.x + r_.b); break;
    case Op::ABY: r_.y = static_cast<std::uint16_t>(r_.y + r_.b); break;
    case Op::TSX: r_.x = static_cast<std::uint16_t>(r_.sp + 1); break;
    case Op::TSY: r_.y = static_cast<std::uint16_t>(r_.sp + 1); break;
    case Op::TXS: r_.sp = static_cast<std::uint16_t>(r_.x - 1); break;
    case Op::TYS: r_.sp = static_cast<std::uint16_t>(r_.y - 1); break;
    case Op::INS: r_.sp++; break;
    case Op::DES: r_.sp--; break;
    case Op::PULA: r_.a = pull8(); break;
    case Op::PULB: r_.b = pull8(); break;
    case Op::PULX: r_.x = pull16(); break;
    case Op::PULY: r_.y = pull16(); break;
    case Op::PSHA: push8(r_.a); break;
    case Op::PSHB: push8(r_.b); break;
    case Op::PSHX: push16(r_.x); break;
    case Op::PSHY: push16(r_.y); break;
    case Op::RTS: r_.pc = pull16(); break;
    case Op::RTI: {
        std::uint8_t next = pull8();
        if (!(cc & CC_X)) next &= static_cast<std::uint8_t>(~CC_X);
        cc = next;
        r_.b = pull8();
        r_.a = pull8();
        r_.x = pull16();
        r_.y = pull16();
        r_.pc = pull16();
        break;
    }
    case Op::MUL: {
        const auto d = static_cast<std::uint16_t>(r_.a * r_.b);
        r_.setD(d);
        cc = setIf(cc, CC_C, d & 0x80);
        break;
    }
    case Op::WAI:
        push16(r_.pc);
        push16(r_.y);
        push16(r_.x);
        push8(r_.a);
        push8(r_.b);
        push8(r_.ccr);
        waiting_ = waitStacked_ = true;
        break;
    case Op::SWI:
        ++record_.swiCount;
        cycle_ -= in.cycles;
        interrupt(kVecSwi, in.cycles, true);
        break;
    case Op::XGDX: { const std::uint16_t t = r_.x; r_.x = r_.d(); r_.setD(t); break; }
    case Op::XGDY: { const std::uint16_t t = r_.y; r_.y = r_.d(); r_.setD(t); break; }
    case Op::STOP:
        // With S set, STOP is a NOP. Otherwise the clocks stop; only a reset (IRQ and XIRQ
        // are not wired here) starts the part again.
        if (!(cc & CC_S)) stopped_ = true;
        break;

    case Op::BRA: branch(true); break;
    case Op::BRN: branch(false); break;
    case Op::BHI: branch(!c && !z); break;
    case Op::BLS: branch(c || z); break;
    case Op::BCC: branch(!c); break;
    case Op::BCS: branch(c); break;
    case Op::BNE: branch(!z); break;
    case Op::BEQ: branch(z); break;
    case Op::BVC: branch(!v); break;
    case Op::BVS: branch(v); break;
    case Op::BPL: branch(!n); break;
    case Op::BMI: branch(n); break;
    case Op::BGE: branch(n == v); break;
    case Op::BLT: branch(n != v); break;
    case Op::BGT: branch(!z && n == v); break;
    case Op::BLE: branch(z || n != v); break;
    case Op::BSR: push16(r_.pc); branch(true); break;
    case Op::JSR: push16(r_.pc); r_.pc = ea; break;
    case Op::JMP: r_.pc = ea; break;

    case Op::BSET: write8(ea, logic8(static_cast<std::uint8_t>(read8(ea) | mask))); break;
    case Op::BCLR: write8(ea, logic8(static_cast<std::uint8_t>(read8(ea) & ~mask))); break;
    case Op::BRSET: branch((static_cast<std::uint8_t>(~read8(ea)) & mask) == 0); break;
    case Op::BRCLR: branch((read8(ea) & mask) == 0); break;

    case Op::NEGA: case Op::COMA: case Op::LSRA: case Op::RORA: case Op::ASRA: case Op::ASLA:
    case Op::ROLA: case Op::DECA: case Op::INCA: case Op::TSTA: case Op::CLRA:
        r_.a = unary(in.op, r_.a);
        break;
    case Op::NEGB: case Op::COMB: case Op::LSRB: case Op::RORB: case Op::ASRB: case Op::ASLB:
    case Op::ROLB: case Op::DECB: case Op::INCB: case Op::TSTB: case Op::CLRB:
        r_.b = unary(in.op, r_.b);
        break;
    case Op::TST: unary(in.op, read8(ea)); break;
    case Op::CLR: unary(in.op, 0); write8(ea, 0); break;
    case Op::NEG: case Op::COM: case Op::LSR: case Op::ROR: case Op::ASR: case Op::ASL:
    case Op::ROL: case Op::DEC: case Op::INC:
        write8(ea, unary(in.op, read8(ea)));
        break;

    case Op::SUBA: r_.a = sub8(r_.a, m8(), 0); break;
    case Op::SUBB: r_.b = sub8(r_.b, m8(), 0); break;
    case Op::CMPA: sub8(r_.a, m8(), 0); break;
    case Op::CMPB: sub8(r_.b, m8(), 0); break;
    case Op::SBCA: r_.a = sub8(r_.a, m8(), c); break;
    case Op::SBCB: r_.b = sub8(r_.b, m8(), c); break;
    case Op::ANDA: r_.a = logic8(r_.a & m8()); break;
    case Op::ANDB: r_.b = logic8(r_.b & m8()); break;
    case Op::BITA: logic8(r_.a & m8()); break;
    case Op::BITB: logic8(r_.b & m8()); break;
    case Op::LDAA: r_.a = logic8(m8()); break;
    case Op::LDAB: r_.b = logic8(m8()); break;
    case Op::STAA: write8(ea, logic8(r_.a)); break;
    case Op::STAB: write8(ea, logic8(r_.b)); break;
    case Op::EORA: r_.a = logic8(r_.a ^ m8()); break;
    case Op::EORB: r_.b = logic8(r_.b ^ m8()); break;
    case Op::ADCA: r_.a = add8(r_.a, m8(), c); break;
    case Op::ADCB: r_.b = add8(r_.b, m8(), c); break;
    case Op::ORAA: r_.a = logic8(r_.a | m8()); break;
    case Op::ORAB: r_.b = logic8(r_.b | m8()); break;
    case Op::ADDA: r_.a = add8(r_.a, m8(), 0); break;
    case Op::ADDB: r_.b = add8(r_.b, m8(), 0); break;

    case Op::SUBD: r_.setD(sub16(r_.d(), m16())); break;
    case Op::ADDD: {
        const std::uint16_t a = r_.d(), b = m16();
        const std::uint32_t r = static_cast<std::uint32_t>(a) + b;
        const auto res = static_cast<std::uint16_t>(r);
        cc = nz16(cc, res);
        cc = setIf(cc, CC_V, ((a ^ res) & (b ^ res) & 0x8000) != 0);
        cc = setIf(cc, CC_C, r > 0xFFFF);
        r_.setD(res);
        break;
    }
    case Op::CPD: sub16(r_.d(), m16()); break;
    case Op::CPX: sub16(r_.x, m16()); break;
    case Op::CPY: sub16(r_.y, m16()); break;
    case Op::LDD: r_.setD(logic16(m16())); break;
    case Op::LDS: r_.sp = logic16(m16()); break;
    case Op::LDX: r_.x = logic16(m16()); break;
    case Op::LDY: r_.y = logic16(m16()); break;
    case Op::STD: write16(ea, logic16(r_.d())); break;
    case Op::STS: write16(ea, logic16(r_.sp)); break;
    case Op::STX: write16(ea, logic16(r_.x)); break;
    case Op::STY: write16(ea, logic16(r_.y)); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------------------
// The boot ROM's program, as behaviour.

void Machine::bootJump(std::uint16_t to) {
    r_.pc = to;
    r_.x = kRegBase;
    r_.y = static_cast<std::uint16_t>(bootLoaded_);
    r_.sp = static_cast<std::uint16_t>(map_.ramSize - 1);
    boot_ = Boot::Done;
    if (!record_.boots.empty()) {
        BootEntry& e = record_.boots.back();
        e.jumped = true;
        e.jumpCycle = cycle_;
        e.bytesLoaded = bootLoaded_;
    }
}

void Machine::bootSecurityErase() {
    // A secured part loses its EEPROM, RAM and CONFIG before it loads anything: a bulk erase
    // of the array, RAM written over with $FF, CONFIG erased (which also unsecures it), in
    // that order (M68HC11 Reference Manual, 3.5.4.1).
    const auto eraseCycles = static_cast<long long>(std::ceil(0.010 * eHz_));
    std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
    std::fill(ram_.begin(), ram_.end(), 0xFF);
    configCell_ = 0xFF;
    applyStuckCell();
    ++record_.securityErases;
    if (!record_.boots.empty()) record_.boots.back().securityErase = true;
    bootWake_ = cycle_ + 2 * eraseCycles + kBootRamClearCyclesPerByte * map_.ramSize;
}

void Machine::bootEcho(std::uint8_t value) {
    ++bootEchoes_;
    if (options_.faults.lostEcho > 0 && bootEchoes_ == options_.faults.lostEcho) return;
    readRegister(kSCSR);
    writeRegister(kSCDR, value);
}

void Machine::bootStep(long long until) {
    if (boot_ == Boot::Done || boot_ == Boot::Off) {
        // The boot ROM entered from a program: it starts over.
        boot_ = Boot::Start;
        bootWake_ = cycle_ + kBootInitCycles;
        bootLoaded_ = 0;
    }
    if (cycle_ < bootWake_) {
        cycle_ = std::min(until, bootWake_);
        return;
    }
    switch (boot_) {
    case Boot::Start:
        // The SCI first, receiver and transmitter on at E/16/16; a secured part then sends
        // $FF and erases before its break (M68HC11 Reference Manual, 3.5.4.1).
        writeRegister(kBAUD, kBootBaudFast);
        writeRegister(kSCCR2, TE | RE);
        if (!(config_ & NOSEC) && !record_.boots.empty() && !record_.boots.back().securityErase) {
            readRegister(kSCSR);
            writeRegister(kSCDR, 0xFF);
            bootSecurityErase();
            return;
        }
        writeRegister(kSCCR2, TE | RE | SBK);  // one break character after the preamble
        writeRegister(kSCCR2, TE | RE);
        boot_ = Boot::WaitSync;
        bootWake_ = cycle_ + kBootPollCycles;
        return;
    case Boot::WaitSync:
    case Boot::Load: {
        sciUpdate();
        if (regs_[kSCSR] & RDRF) {
            readRegister(kSCSR);
            const std::uint8_t value = readRegister(kSCDR);
            BootEntry* entry = record_.boots.empty() ? nullptr : &record_.boots.back();
            if (boot_ == Boot::WaitSync) {
                if (entry) {
                    entry->syncReceived = true;
                    entry->sync = value;
                }
                if (value == 0x00) {
                    if (entry) entry->toEeprom = true;
                    bootJump(kEepromStart);
                    return;
                }
                if (value != 0xFF) writeRegister(kBAUD, kBootBaudSlow);
                if (entry) entry->loadBaud = regs_[kBAUD];
                boot_ = Boot::Load;
                bootEchoes_ = 0;
            } else {
                ram_[bootLoaded_++] = value;
                bootEcho(value);
                if (entry) entry->bytesLoaded = bootLoaded_;
                const bool full = bootLoaded_ >= (map_.name == "A8" ? 256 : map_.ramSize);
                if (full) {
                    cycle_ += kBootByteCycles;
                    bootJump(0x0000);
                    return;
                }
            }
            bootWake_ = cycle_ + kBootByteCycles;
            // The E family ends a download on a line idle for four characters.
            bootIdleLimit_ = cycle_ + 40LL * sciBitCycles();
            return;
        }
        if (boot_ == Boot::Load && map_.name != "A8" && cycle_ >= bootIdleLimit_) {
            if (!record_.boots.empty()) record_.boots.back().endedByIdle = true;
            bootJump(0x0000);
            return;
        }
        // Sleep until the receiver completes a frame (polled every few cycles), the idle
        // limit, or the caller's end.
        long long next = until;
        const double rx = nextPartByteAt();
        if (rx >= 0) {
            long long at = static_cast<long long>(std::ceil(rx));
            at = cycle_ + ((at - cycle_ + kBootPollCycles - 1) / kBootPollCycles) * kBootPollCycles;
            next = std::min(next, at);
        }
        if (boot_ == Boot::Load && map_.name != "A8") next = std::min(next, bootIdleLimit_);
        bootWake_ = std::max(next, cycle_ + 1);
        cycle_ = std::min(until, bootWake_);
        return;
    }
    default: return;
    }
}

}  // namespace jqz::sim::hc11
