#include "sim/programmer_model.h"

#include <cstring>

#include "core/link/firmware_image.h"

namespace jqz::sim {

namespace {

constexpr std::uint8_t inv(unsigned x) { return static_cast<std::uint8_t>(~x & 0xFF); }

int rateOfCode(std::uint8_t k) {
    switch (k) {
        case 103: return 9600;
        case 51: return 19200;
        case 25: return 38400;
        case 16: return 57600;
        default: return 0;
    }
}

// EEPROM programming time of one byte, and the time a link takes.
constexpr int kByteProgramMs = 10;
constexpr int kEraseMs = 20;
constexpr int kLinkMs = 250;

}  // namespace

std::size_t FrameLength(std::uint8_t command, bool serviceMode) {
    switch (command) {
        case 0x01: case 0x04: case 0x08: return 3;
        case 0x09: return 11;
        case 0x10: case 0x11: return 4;
        case 0x12: return 5;
        case 0x13: return 132;
        case 0x14: return 15;
        case 0x16: return 2;
        case kFirmwareFrameByte: return serviceMode ? kFirmwareFrameSize : 1;
        default: return 1;
    }
}

std::uint8_t SimRomByte(int address) {
    const unsigned a = static_cast<unsigned>(address);
    return static_cast<std::uint8_t>((a * 13u) ^ (a >> 8) ^ 0x5Au);
}

std::uint8_t SimBootRomByte(int address) {
    const unsigned a = static_cast<unsigned>(address);
    return static_cast<std::uint8_t>((a * 7u) ^ (a >> 8) ^ 0xB0u);
}

TargetMcu::TargetMcu(const DeviceEntry& entry, bool securedAtStart)
    : secured(securedAtStart), entry_(&entry) {
    memory.fill(0xFF);
    auto fill = [this](int start, int end, std::uint8_t (*byte)(int)) {
        if (start == 0) return;
        for (int a = start; a <= end && a <= 0xFFFF; ++a) memory[a] = byte(a);
    };
    fill(entry.romArea1Start, entry.romArea1End, SimRomByte);
    fill(entry.romArea2Start, entry.romArea2End, SimRomByte);
    fill(entry.bootRomStart, entry.bootRomEnd, SimBootRomByte);
    memory[entry.configAddress & 0xFFFF] = kSimConfigDefault;
}

std::uint8_t TargetMcu::read(int address) const { return memory[address & 0xFFFF]; }

bool TargetMcu::inEeprom(int address) const {
    return address >= entry_->eepromStart && address <= entry_->eepromEnd;
}

bool TargetMcu::program(int address, std::uint8_t value) {
    address &= 0xFFFF;
    if (inEeprom(address)) {
        memory[address] &= value;  // programming only clears bits
        return memory[address] == value;
    }
    if (address == entry_->configAddress) {
        memory[address] = value;
        return true;
    }
    return false;
}

void TargetMcu::eraseEeprom() {
    for (int a = entry_->eepromStart; a <= entry_->eepromEnd; ++a) memory[a] = 0xFF;
}

ProgrammerModel::ProgrammerModel(SimOptions options)
    : options_(std::move(options)), version_(options_.version) {
    wrongAcksLeft_ = options_.faults.wrongAcks;
}

void ProgrammerModel::setFaults(SimFaults faults) {
    options_.faults = std::move(faults);
    wrongAcksLeft_ = options_.faults.wrongAcks;
    commandCount_ = 0;
    occurrences_.clear();
    received_ = 0;
}

std::string ProgrammerModel::identification() const {
    std::string text = options_.identification.empty()
                           ? std::string("MC68HC(7)11 Programmer ") + version_
                           : options_.identification;
    text.resize(30, ' ');
    return text;
}

TargetMcu* ProgrammerModel::target(std::uint8_t type) {
    if (type == 0) return nullptr;
    if (auto it = targets_.find(type); it != targets_.end()) return &it->second;
    for (const auto& entry : DeviceCatalogue()) {
        if (entry.type == type)
            return &targets_.emplace(type, TargetMcu(entry, options_.secured)).first->second;
    }
    return nullptr;
}

bool ProgrammerModel::securedNow() {
    TargetMcu* t = target(selectedType_);
    return t ? t->secured : options_.secured;
}

void ProgrammerModel::reset() {
    rate_ = 9600;
    frame_.clear();
    status_ = 0;
    linked_ = false;
    nextBlock_ = 0;
    loaded_.clear();
}

void ProgrammerModel::recordWire(bool fromPc, std::uint8_t value, int rate, bool lost) {
    wire_.push_back({fromPc, value, rate, lost});
    if (onWire) onWire(wire_.back());
}

Output ProgrammerModel::receive(std::uint8_t byte, int pcRate) {
    Output out;
    const bool lost = !dsr_ || pcRate != rate_;
    if (!lost && options_.faults.corruptReceived.count(received_ + 1) != 0)
        byte = static_cast<std::uint8_t>(~byte);
    recordWire(true, byte, pcRate, lost);
    if (lost) return out;
    ++received_;
    if (frame_.empty()) expected_ = FrameLength(byte, options_.serviceMode);
    frame_.push_back(byte);
    if (frame_.size() == expected_) {
        execute(out);
        frame_.clear();
    }
    if (options_.faults.dsrDropAfterBytes >= 0 && received_ >= options_.faults.dsrDropAfterBytes)
        dsr_ = false;
    std::vector<std::uint8_t> delivered;
    for (std::uint8_t b : out.bytes) {
        const bool replyLost = !dsr_ || pcRate != rate_;
        recordWire(false, b, rate_, replyLost);
        if (!replyLost) delivered.push_back(b);
    }
    out.bytes = std::move(delivered);
    if (!options_.timing) out.busyMs = 0;
    return out;
}

void ProgrammerModel::reply(Output& out, const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> r = bytes;
    for (const auto& f : options_.faults.replyFaults) {
        if (f.command != command_ || (f.occurrence != 0 && f.occurrence != occurrence_)) continue;
        if (f.byteIndex < 0 || f.byteIndex >= static_cast<int>(r.size())) continue;
        switch (f.kind) {
            case ReplyFault::Corrupt: r[f.byteIndex] ^= 0xFF; break;
            case ReplyFault::Drop: r.erase(r.begin() + f.byteIndex); break;
            case ReplyFault::Truncate: r.resize(f.byteIndex); break;
        }
    }
    out.bytes.insert(out.bytes.end(), r.begin(), r.end());
}

void ProgrammerModel::reply(Output& out, std::initializer_list<std::uint8_t> bytes) {
    reply(out, std::vector<std::uint8_t>(bytes));
}

void ProgrammerModel::finishStatus(int code) { status_ = static_cast<std::uint8_t>(code); }

void ProgrammerModel::execute(Output& out) {
    const std::vector<std::uint8_t>& f = frame_;
    command_ = f[0];
    occurrence_ = ++occurrences_[command_];
    const bool counted = command_ != 0x02 && command_ != 0x03;
    if (counted) ++commandCount_;

    const bool service = options_.serviceMode;
    const bool serviceCommand = command_ == 0x02 || command_ == 0x05 || command_ == 0x06 ||
                                command_ == kFirmwareFrameByte;
    auto addressOf = [&] { return (f[1] << 8) | f[2]; };
    TargetMcu* t = target(selectedType_);

    if (service && !serviceCommand) {
        finishStatus(4);
    } else {
        switch (command_) {
            case 0x01:
                if (f[2] != inv(f[1])) {
                    finishStatus(5);
                } else if (target(f[1]) == nullptr) {
                    finishStatus(6);
                } else {
                    selectedType_ = f[1];
                    linked_ = false;
                    finishStatus(0);
                }
                break;
            case 0x02: reply(out, {status_, inv(status_)}); break;
            case 0x03: {
                const std::uint8_t d = options_.faults.pinReportData;
                const std::uint8_t c = options_.faults.pinReportControl;
                reply(out, {d, c, inv(d + c)});
                break;
            }
            case 0x04: {
                const int rate = rateOfCode(f[1]);
                if (f[2] != inv(f[1]) || rate == 0) {
                    finishStatus(5);
                } else {
                    rate_ = rate;
                    finishStatus(0);
                }
                break;
            }
            case 0x05: {
                const std::string m = mode();
                std::vector<std::uint8_t> r(m.begin(), m.end());
                r.push_back(0);
                reply(out, r);
                break;
            }
            case 0x06: {
                const std::string id = identification();
                std::vector<std::uint8_t> r(id.begin(), id.end());
                r.push_back(0);
                reply(out, r);
                break;
            }
            case 0x07:
                reply(out, {options_.interface == Interface::InCircuit ? std::uint8_t{0xA5}
                            : securedNow()                             ? std::uint8_t{0x5A}
                                                                       : std::uint8_t{0xAA}});
                break;
            case 0x08:
                if (f[2] != inv(f[1])) {
                    finishStatus(5);
                } else {
                    pinOptions_ = f[1];
                    finishStatus(0);
                }
                break;
            case 0x09:
                if (std::memcmp(f.data() + 1, "POWER OFF", 10) != 0) {
                    finishStatus(5);
                } else {
                    linked_ = false;
                    finishStatus(0);
                }
                break;
            case 0x10:
            case 0x11: {
                if (f[3] != inv(f[1] + f[2])) {
                    finishStatus(5);
                    break;
                }
                const int count = command_ == 0x10 ? 1 : 128;
                std::vector<std::uint8_t> data;
                unsigned sum = 0;
                for (int i = 0; i < count; ++i) {
                    const std::uint8_t v = linked_ && t ? t->read(addressOf() + i) : 0xFF;
                    data.push_back(v);
                    sum += v;
                }
                data.push_back(count == 1 ? inv(data[0]) : inv(sum));
                reply(out, data);
                finishStatus(linked_ ? 0 : 13);
                break;
            }
            case 0x12:
            case 0x13: {
                const int count = command_ == 0x12 ? 1 : 128;
                unsigned sum = 0;
                for (std::size_t i = 1; i + 1 < f.size(); ++i) sum += f[i];
                if (f.back() != inv(sum)) {
                    finishStatus(5);
                } else if (!linked_ || !t) {
                    finishStatus(13);
                } else {
                    bool ok = true;
                    for (int i = 0; i < count; ++i) ok = t->program(addressOf() + i, f[3 + i]) && ok;
                    out.busyMs += count * kByteProgramMs;
                    finishStatus(ok ? 0 : 14);
                }
                break;
            }
            case 0x14:
                if (std::memcmp(f.data() + 1, "ERASE ENABLED", 14) != 0) {
                    finishStatus(5);
                } else if (!linked_ || !t) {
                    finishStatus(13);
                } else {
                    t->eraseEeprom();
                    out.busyMs += kEraseMs;
                    finishStatus(0);
                }
                break;
            case 0x15:
                if (linked_)
                    reply(out, {options_.deviceIdA, options_.deviceIdB,
                                inv(options_.deviceIdA + options_.deviceIdB)});
                else
                    reply(out, {0xFF, 0xFF, 0x01});
                break;
            case 0x16: {
                out.busyMs += kLinkMs;
                linked_ = false;
                const std::uint8_t ignoreBit =
                    options_.interface == Interface::OnBoard ? 0x01 : 0x02;
                const bool pinFault =
                    options_.faults.pinReportData != 0 || options_.faults.pinReportControl != 0;
                if (f[1] != 0xE9) {
                    finishStatus(5);
                } else if (!t) {
                    finishStatus(6);
                } else if (options_.targetType != 0 && options_.targetType != selectedType_) {
                    finishStatus(11);
                } else if (pinFault && !(pinOptions_ & ignoreBit)) {
                    finishStatus(10);
                } else if (options_.interface == Interface::OnBoard && t->secured &&
                           options_.faults.stillSecured) {
                    finishStatus(15);
                } else {
                    if (options_.interface == Interface::OnBoard && t->secured) {
                        // A secured part lets itself be linked only after its EEPROM is erased.
                        t->eraseEeprom();
                        t->secured = false;
                    }
                    linked_ = true;
                    finishStatus(0);
                }
                break;
            }
            case kFirmwareFrameByte: {
                if (!service) {  // no command in WORK mode
                    finishStatus(4);
                    break;
                }
                const std::uint8_t* block = f.data() + 1;
                const int index = block[0];
                bool ok = FirmwareBlockValid(block, index) && (index == nextBlock_ || index == 0);
                if (ok && wrongAcksLeft_[index] > 0) {
                    --wrongAcksLeft_[index];
                    ok = false;
                }
                const std::uint8_t check = block[kFirmwareBlockSize - 1];
                if (!ok) {
                    reply(out, {inv(check)});
                    break;
                }
                if (index == 0) loaded_.clear();
                loaded_.insert(loaded_.end(), block, block + kFirmwareBlockSize);
                nextBlock_ = index + 1;
                reply(out, {check});
                if (nextBlock_ == kFirmwareBlockCount) {
                    if (auto v = FirmwareImageVersion(loaded_)) {
                        version_ = *v;
                        ++firmwareLoads_;
                    }
                    nextBlock_ = 0;
                    loaded_.clear();
                }
                break;
            }
            default: finishStatus(4); break;
        }
    }
    if (counted) {
        if (auto it = options_.faults.statusForCommand.find(commandCount_);
            it != options_.faults.statusForCommand.end())
            finishStatus(it->second);
    }
}

}  // namespace jqz::sim
