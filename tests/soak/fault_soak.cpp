#include "soak/fault_soak.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "core/device/cable_operations.h"
#include "core/device/device_image_reset.h"
#include "core/device/device_read.h"
#include "core/device/device_write.h"
#include "core/device/sequence_link.h"
#include "link/recording_host.h"
#include "sim/hc11/virtual_hc11.h"
#include "sim/virtual_programmer.h"

namespace jqz::soak {

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// Every time-out of the in-process port is divided by this: 2 s become 20 ms, 30 s 300 ms.
constexpr int kTimeoutDivisor = 100;
// The longest a run may take: the fixed pauses of a new detection (200 ms before opening
// again, 200 ms after) and of a reset pulse (500 ms), a few waits for the longest time-out,
// and the work itself (a whole ROM in blocks of 128 bytes, with room for a sanitizer).
constexpr long long kRunBoundMs = 900 + 4 * 30000 / kTimeoutDivisor + 8000;

// Reply lengths by command byte, for faults that hit a byte that exists.
int replyLength(std::uint8_t command) {
    switch (command) {
        case 0x02: return 2;
        case 0x03: return 3;
        case 0x05: return 8;
        case 0x06: return 31;
        case 0x07: return 1;
        case 0x10: return 2;
        case 0x11: return 129;
        default: return 3;  // 0x15
    }
}

std::string hex(unsigned v) {
    std::ostringstream out;
    out << std::hex << std::uppercase << v;
    return out.str();
}

}  // namespace

struct FaultSoak::Impl {
    explicit Impl(std::uint64_t seed) : rng(seed) {
        vp.setTimeoutDivisor(kTimeoutDivisor);
        host.com = std::make_unique<COM>(kVirtualProgrammerPort, 57600, vp.opener());
    }
    ~Impl() {
        writer.Stop();
        reader.Stop();
        host.com.reset();
    }

    bool coin(double p = 0.5) { return std::bernoulli_distribution(p)(rng); }
    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    std::uint8_t byte() { return static_cast<std::uint8_t>(uniform(0, 255)); }

    std::string runOnce();
    sim::SimFaults drawFaults(std::string& text, long& stopAt);
    void setUpDevice(bool program, std::string& text);
    std::string check(bool program, int rc, bool stopRequested, std::size_t firstLine,
                      const Bytes& imageBefore, const Bytes& targetBefore);

    Bytes image() {
        Bytes d(0x10000);
        for (int a = 0; a <= 0xFFFF; ++a) d[a] = host.model.image.ReadData(a);
        return d;
    }
    Bytes target() {
        return vp.with([this](sim::ProgrammerModel& m) {
            sim::TargetMcu* t = m.target(host.deviceList.deviceType);
            return Bytes(t->memory.begin(), t->memory.end());
        });
    }

    std::mt19937_64 rng;
    sim::VirtualProgrammer vp;
    test::RecordingHost host;
    DeviceWrite writer{host};
    DeviceRead reader{host};
    SoakFigures figures;
};

sim::SimFaults FaultSoak::Impl::drawFaults(std::string& text, long& stopAt) {
    sim::SimFaults f;
    stopAt = -1;
    const int count = uniform(0, 2);
    for (int i = 0; i < count; ++i) {
        switch (uniform(0, 5)) {
            case 0: {
                static constexpr std::uint8_t kCommands[] = {0x02, 0x03, 0x05, 0x06,
                                                             0x07, 0x10, 0x11, 0x15};
                const std::uint8_t command = kCommands[uniform(0, 7)];
                const int occurrence = uniform(1, command == 0x11 ? 12 : command == 0x02 ? 10 : 2);
                const int index = uniform(0, replyLength(command) - 1);
                const auto kind = static_cast<sim::ReplyFault::Kind>(uniform(0, 2));
                f.replyFaults.push_back({command, occurrence, index, kind});
                static constexpr const char* kKinds[] = {"corrupt", "drop", "truncate"};
                text += std::string(" ") + kKinds[kind] + " " + hex(command) + ":" +
                        std::to_string(occurrence) + ":" + std::to_string(index);
                ++figures.faults[std::string("reply ") + kKinds[kind]];
                break;
            }
            case 1: {
                const int command = uniform(1, 16), code = uniform(1, 30);
                f.statusForCommand[command] = code;
                text += " status " + std::to_string(command) + "=" + std::to_string(code);
                ++figures.faults["status"];
                break;
            }
            case 2:
                f.dsrDropAfterBytes = uniform(0, 1500);
                text += " cable-pulled-after " + std::to_string(f.dsrDropAfterBytes);
                ++figures.faults["cable pulled"];
                break;
            case 3:
                f.pinReportData = byte();
                f.pinReportControl = byte();
                text += " pin-report " + hex(f.pinReportData) + "," + hex(f.pinReportControl);
                ++figures.faults["pin report"];
                break;
            case 4: {
                const long at = uniform(1, 1500);
                f.corruptReceived.insert(at);
                text += " corrupt-received " + std::to_string(at);
                ++figures.faults["byte from the PC corrupted"];
                break;
            }
            default:
                stopAt = uniform(0, 1500);
                text += " stop-after " + std::to_string(stopAt);
                ++figures.faults["stop"];
                break;
        }
    }
    if (count == 0) ++figures.faults["none"];
    return f;
}

void FaultSoak::Impl::setUpDevice(bool program, std::string& text) {
    const auto& catalogue = DeviceCatalogue();
    const DeviceEntry& entry = catalogue[static_cast<std::size_t>(uniform(0, static_cast<int>(catalogue.size()) - 1))];
    host.deviceList.selectDevice(entry.name);
    ResetImageForDevice(host.model, host.deviceList);
    text += std::string(entry.name) + (program ? ": program" : ": read");

    SequenceOptions& o = host.opts;
    for (auto* flag : {&o.EraseEepromOn, &o.ProgramEepromOn, &o.VerifyEepromOn, &o.ReadEepromOn,
                       &o.ReadFlashOn, &o.ReadRomOn, &o.ConfProgEnable, &o.PTErrorsOBP,
                       &o.PTErrorsICP, &o.SkipBlankBlocks})
        flag->store(coin());
    if (program) {
        o.ReadEepromOn = o.ReadFlashOn = o.ReadRomOn = false;
        if (!o.EraseEepromOn && !o.ProgramEepromOn && !o.VerifyEepromOn) o.ProgramEepromOn = true;
        text += std::string(o.EraseEepromOn ? " erase" : "") + (o.ProgramEepromOn ? " program" : "") +
                (o.VerifyEepromOn ? " verify" : "") + (o.ConfProgEnable ? " config" : "") +
                (o.SkipBlankBlocks ? " skip-blank" : "");
    } else {
        o.EraseEepromOn = o.ProgramEepromOn = o.VerifyEepromOn = false;
        if (!o.ReadEepromOn && !o.ReadFlashOn && !o.ReadRomOn) o.ReadEepromOn = true;
        text += std::string(o.ReadEepromOn ? " eeprom" : "") + (o.ReadFlashOn ? " rom" : "") +
                (o.ReadRomOn ? " boot-rom" : "");
    }

    // The image's EEPROM and CONFIG cells hold random bytes, some blocks of 128 all 0xFF (which
    // skip-blank leaves out); the target's EEPROM is erased or holds random bytes of its own.
    MemoryImage& image = host.model.image;
    image.BeginBulk();
    bool blankBlock = false;
    for (int a = entry.eepromStart; a <= entry.eepromEnd; ++a) {
        if ((a - entry.eepromStart) % 128 == 0) blankBlock = coin(0.4);
        image.WriteData(a, blankBlock ? 0xFF : byte());
    }
    image.WriteData(entry.configAddress, byte());
    image.EndBulk();
    const bool erased = coin(0.6);
    std::vector<std::uint8_t> eeprom;
    for (int a = entry.eepromStart; a <= entry.eepromEnd; ++a) eeprom.push_back(erased ? 0xFF : byte());
    const bool onBoard = coin(0.3), secured = onBoard && coin(0.3);
    vp.with([&](sim::ProgrammerModel& m) {
        sim::TargetMcu* t = m.target(entry.type);
        std::copy(eeprom.begin(), eeprom.end(), t->memory.begin() + entry.eepromStart);
        t->secured = secured;
        m.options().interface = onBoard ? sim::Interface::OnBoard : sim::Interface::InCircuit;
        return 0;
    });
    if (onBoard) text += secured ? " on-board secured" : " on-board";
}

std::string FaultSoak::Impl::runOnce() {
    ++figures.runs;
    std::string text = "run " + std::to_string(figures.runs) + ": ";
    const bool program = coin();
    setUpDevice(program, text);
    long stopAt = -1;
    std::string faultText;
    sim::SimFaults faults = drawFaults(faultText, stopAt);
    text += faultText.empty() ? " no faults" : faultText;

    SequenceDriver& driver = program ? static_cast<SequenceDriver&>(writer) : reader;
    std::atomic<bool> stopRequested{false};
    vp.with([&](sim::ProgrammerModel& m) {
        m.setFaults(faults);
        m.onWire = nullptr;
        if (stopAt >= 0)
            m.onWire = [&driver, &stopRequested, stopAt, sent = 0L](const sim::WireByte& w) mutable {
                if (w.fromPc && sent++ == stopAt) {
                    stopRequested = true;
                    driver.RequestStop();
                }
            };
        return 0;
    });
    const Bytes imageBefore = image(), targetBefore = target();
    const SequenceKind kind = program ? SequenceKind::Program : SequenceKind::Read;
    const int endedBefore = host.ended(kind);
    const std::size_t firstLine = host.logModel.count();

    const auto start = Clock::now();
    driver.Start();
    while (driver.Running() && Clock::now() - start < std::chrono::milliseconds(kRunBoundMs))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const bool hung = driver.Running();
    const int rc = driver.WaitFor();
    if (stopRequested) driver.Stop();
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    figures.longestRunMs = std::max(figures.longestRunMs, ms);
    figures.totalRunMs += ms;
    vp.with([](sim::ProgrammerModel& m) {
        m.onWire = nullptr;
        return 0;
    });

    std::string problem;
    if (hung) problem = "did not end within " + std::to_string(kRunBoundMs) + " ms";
    if (problem.empty() && host.ended(kind) != endedBefore + 1)
        problem = "the start button was released " + std::to_string(host.ended(kind) - endedBefore) +
                  " times";
    if (problem.empty() && !host.com->Idle) problem = "the link is not idle";
    if (problem.empty() && host.gaugeModel.position() != 0) problem = "the gauge is not back at 0";
    if (problem.empty()) problem = check(program, rc, stopRequested, firstLine, imageBefore, targetBefore);

    // The cable goes back in; the programmer lost with it is found again by the next run.
    if (!vp.with([](sim::ProgrammerModel& m) { return m.dsr(); })) {
        const auto waitStart = Clock::now();
        while (host.com->Connected && Clock::now() - waitStart < std::chrono::seconds(2))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        vp.setDsr(true);
    }
    if (problem.empty()) return {};
    std::string lines;
    for (std::size_t i = firstLine; i < host.logModel.count(); ++i)
        lines += "\n  " + host.logModel.storedLine(i);
    return text + "\n" + problem + "; the run's log:" + lines;
}

std::string FaultSoak::Impl::check(bool program, int rc, bool stopRequested, std::size_t firstLine,
                                   const Bytes& imageBefore, const Bytes& targetBefore) {
    std::vector<std::string> lines;
    for (std::size_t i = firstLine; i < host.logModel.count(); ++i)
        lines.push_back(host.logModel.storedLine(i));
    if (lines.empty()) return "the run left no line in the log";
    const std::string& last = lines.back();
    const auto info = [](const char* t) { return std::string("0") + t; };
    int errors = 0;
    int verifyErrors = 0;
    bool onlyPassable = true;
    bool completedLine = false;
    for (const auto& l : lines) {
        if (LogModel::KindOf(l) == LogError) {
            ++errors;
            const std::string t = l.substr(1);
            if (t.rfind(kVerifyErrorAt, 0) == 0)
                ++verifyErrors;
            else if (t != kProgrammingError && t != VerifySummaryLine(verifyErrors))
                onlyPassable = false;
        }
        if (l == info(program ? kProgramCompleted : kReadCompleted)) completedLine = true;
    }

    std::string ending;
    if (stopRequested && last == info(program ? kProgramInterrupted : kReadInterrupted))
        ending = "interrupted";
    else if (rc == 0 && completedLine && errors == 0 &&
             (program ? last == info(kProgramCompleted) : true))
        ending = "completed";
    else if (program && rc == 0 && !completedLine && errors > 0 && onlyPassable)
        ending = "passed over";
    else if (rc != 0 && !completedLine && LogModel::KindOf(last) == LogError)
        ending = "failed";
    if (ending.empty()) return "the run ended in none of the sequences' endings (returned " +
                               std::to_string(rc) + ")";
    ++figures.endings[ending];

    const Bytes imageAfter = image(), targetAfter = target();
    const DeviceMap d = DeviceMap::Of(host.deviceList);
    auto describe = [](const char* what, int a, unsigned got, unsigned wanted) {
        return std::string(what) + " at " + hex(static_cast<unsigned>(a)) + " holds " + hex(got) +
               ", expected " + hex(wanted);
    };
    if (!program) {
        const SequenceOptions& o = host.opts;
        std::vector<bool> read(0x10000, false);
        auto mark = [&](int from, int to) {
            if (from == 0) return;
            for (int a = from; a <= to; ++a) read[a] = true;
        };
        if (o.ReadEepromOn) {
            mark(d.eepromStart, d.eepromEnd);
            read[d.configAddress] = true;
        }
        if (o.ReadFlashOn) {
            mark(d.romArea1Start, d.romArea1End);
            mark(d.romArea2Start, d.romArea2End);
        }
        if (o.ReadRomOn) mark(d.bootRomStart, d.bootRomEnd);
        for (int a = 0; a <= 0xFFFF; ++a) {
            const bool fromTarget = imageAfter[a] == targetAfter[a];
            if (ending == "completed" && read[a] && !fromTarget)
                return describe("after a completed read the image", a, imageAfter[a], targetAfter[a]);
            if (imageAfter[a] != imageBefore[a] && !(read[a] && fromTarget))
                return describe("the image", a, imageAfter[a], imageBefore[a]) +
                       " (a byte that did not come from the target)";
        }
        return {};
    }
    for (int a = 0; a <= 0xFFFF; ++a) {
        const bool eeprom = a >= d.eepromStart && a <= d.eepromEnd;
        if (!eeprom && a != d.configAddress && targetAfter[a] != targetBefore[a])
            return describe("the target", a, targetAfter[a], targetBefore[a]) + " (written outside the EEPROM)";
    }
    if (ending != "completed") return {};
    const SequenceOptions& o = host.opts;
    for (int a = d.eepromStart; a <= d.eepromEnd; ++a) {
        if (o.ProgramEepromOn || (o.VerifyEepromOn && !o.EraseEepromOn)) {
            if (targetAfter[a] != imageAfter[a])
                return describe("after a completed run the target", a, targetAfter[a], imageAfter[a]);
        } else if (targetAfter[a] != 0xFF) {
            return describe("after a completed erase the target", a, targetAfter[a], 0xFF);
        }
    }
    if (o.ProgramEepromOn && o.ConfProgEnable && targetAfter[d.configAddress] != imageAfter[d.configAddress])
        return describe("after a completed run the CONFIG register", d.configAddress,
                        targetAfter[d.configAddress], imageAfter[d.configAddress]);
    return {};
}

FaultSoak::FaultSoak(std::uint64_t seed) : impl_(std::make_unique<Impl>(seed)) {}
FaultSoak::~FaultSoak() = default;
std::string FaultSoak::runOnce() { return impl_->runOnce(); }
const SoakFigures& FaultSoak::figures() const { return impl_->figures; }

struct CableSoak::Impl {
    explicit Impl(std::uint64_t seed) : rng(seed) {}

    bool coin(double p = 0.5) { return std::bernoulli_distribution(p)(rng); }
    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    std::uint8_t byte() { return static_cast<std::uint8_t>(uniform(0, 255)); }
    Bytes bytes(std::size_t n, double erased) {
        Bytes b(n);
        for (auto& v : b) v = coin(erased) ? 0xFF : byte();
        return b;
    }

    std::string runOnce();
    sim::Hc11Faults drawFaults(std::string& text);

    std::mt19937_64 rng;
    SoakFigures figures;
};

sim::Hc11Faults CableSoak::Impl::drawFaults(std::string& text) {
    sim::Hc11Faults f;
    const int count = uniform(0, 2);
    for (int i = 0; i < count; ++i) {
        switch (uniform(0, 4)) {
            case 0:
                // The boot ROM echoes the talker's bytes: up to about 500 of them.
                f.lostEcho = uniform(1, 520);
                text += " lost-echo " + std::to_string(f.lostEcho);
                ++figures.faults["echo lost"];
                break;
            case 1:
                f.lostLastEcho = true;
                text += " lost-last-echo";
                ++figures.faults["last echo lost on the rate change"];
                break;
            case 2:
                // The download, then the talker's commands.
                f.droppedByte = uniform(1, 1500);
                text += " dropped-byte " + std::to_string(f.droppedByte);
                ++figures.faults["byte from the host dropped"];
                break;
            case 3:
                f.stuckEepromCell = sim::StuckCell{static_cast<std::uint16_t>(0xB600 + uniform(0, 511)), byte()};
                text += " stuck " + hex(f.stuckEepromCell->address) + "=" + hex(f.stuckEepromCell->value);
                ++figures.faults["EEPROM cell stuck"];
                break;
            default: {
                static constexpr double kCrystals[] = {7.3728, 7.6, 8.4, 4.0, 12.0};
                f.wrongXtalMHz = kCrystals[uniform(0, 4)];
                text += " crystal " + std::to_string(f.wrongXtalMHz);
                ++figures.faults["another crystal"];
                break;
            }
        }
    }
    if (count == 0) ++figures.faults["none"];
    return f;
}

std::string CableSoak::Impl::runOnce() {
    struct PartRow {
        const char* device;
        const char* model;
    };
    static constexpr PartRow kParts[] = {{"MC68HC11  A8 (AB95T)", "A8"},
                                         {"MC68HC11  E9 (E28B)", "E9"},
                                         {"MC68HC11  E20(3E22B)", "E20"}};
    ++figures.runs;
    const PartRow& row = kParts[uniform(0, 2)];
    BootLinkOptions link;
    link.rate = coin(0.8) ? BootRate::Fast : BootRate::Slow1200;
    sim::Hc11Options model;
    model.part = row.model;
    model.eeprom = bytes(512, 0.5);
    std::string text = "run " + std::to_string(figures.runs) + ": " + row.model +
                       (link.rate == BootRate::Fast ? " fast" : " 1200");
    model.faults = drawFaults(text);
    if (model.faults.stuckEepromCell)  // the cell holds its value from the start
        model.eeprom[model.faults.stuckEepromCell->address - 0xB600] = model.faults.stuckEepromCell->value;
    const Bytes before = model.eeprom;

    // What the run does: write a range (or the whole array), verify the whole array, or read it.
    const int what = uniform(0, 2);
    const int from = what == 0 && coin() ? uniform(0, 511) : 0;
    const int length = what == 0 && from != 0 ? uniform(1, 512 - from) : 512;
    Bytes wanted = bytes(512, 0.3);
    if (what == 1 && coin()) wanted = before;  // a verify that should pass
    static constexpr const char* kWhat[] = {": program", ": verify", ": read"};
    text += kWhat[what] + std::string(" ") + hex(0xB600u + static_cast<unsigned>(from)) + "+" +
            std::to_string(length);

    sim::VirtualHc11 hc11(model);
    OpenedPort opened = hc11.open();
    if (!opened.port) return text + "\nthe model's port did not open";
    BootstrapLink cable(*opened.port, *BootPartOfDevice(row.device, nullptr), link);
    const auto start = Clock::now();
    std::string error;
    Bytes got(512);
    bool ok = cable.Start(false);
    if (!ok) error = cable.error();
    if (ok && what == 0) {
        CableWriteReport report;
        ok = CableProgram(cable, static_cast<std::uint16_t>(0xB600 + from),
                          std::span(wanted).subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(length)),
                          length == 512, report, error);
    } else if (ok && what == 1) {
        ok = CableVerify(cable, 0xB600, wanted, error);
    } else if (ok) {
        ok = cable.Read(0xB600, got);
        if (!ok) error = cable.error();
    }
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    figures.longestRunMs = std::max(figures.longestRunMs, ms);
    figures.totalRunMs += ms;
    ++figures.endings[ok ? "completed" : "failed"];

    // Bounds far above the longest run without faults: every byte at 1200 baud, each cell
    // programmed after an erase (2 x 10 ms), and the time-outs of a few commands.
    constexpr long long kModelBoundUs = 120'000'000, kWallBoundMs = 60'000;
    const long long modelUs = hc11.modelMicroseconds();
    const Bytes after = hc11.eeprom();
    std::string problem;
    if (modelUs > kModelBoundUs || ms > kWallBoundMs)
        problem = "took " + std::to_string(modelUs / 1000) + " ms of the part's time, " +
                  std::to_string(ms) + " ms of the wall clock";
    else if (!ok && error.empty())
        problem = "failed without saying why";
    for (int a = 0; a < 512 && problem.empty(); ++a) {
        const bool inRange = what == 0 && a >= from && a < from + length;
        const std::string at = " at " + hex(0xB600u + static_cast<unsigned>(a)) + " ";
        if (!inRange && after[a] != before[a])
            problem = "the part's cell" + at + "changed from " + hex(before[a]) + " to " +
                      hex(after[a]) + ", outside the range written";
        else if (ok && what != 2 && (what == 1 || inRange) && after[a] != wanted[a])
            problem = "after a " + std::string(what == 0 ? "program" : "verify") +
                      " that succeeded the part's cell" + at + "holds " + hex(after[a]) +
                      ", wanted " + hex(wanted[a]);
        else if (ok && what == 2 && got[a] != after[a])
            problem = "a read that succeeded gave " + hex(got[a]) + at + ", the part holds " +
                      hex(after[a]);
    }
    if (problem.empty()) return {};
    return text + "\n" + problem + (error.empty() ? "" : "; the run's error: " + error);
}

CableSoak::CableSoak(std::uint64_t seed) : impl_(std::make_unique<Impl>(seed)) {}
CableSoak::~CableSoak() = default;
std::string CableSoak::runOnce() { return impl_->runOnce(); }
const SoakFigures& CableSoak::figures() const { return impl_->figures; }

std::uint64_t SoakSeed() {
    if (const char* text = std::getenv("JQZ_SOAK_SEED"); text != nullptr && *text != '\0')
        return std::strtoull(text, nullptr, 0);
    return std::random_device{}() ^
           static_cast<std::uint64_t>(Clock::now().time_since_epoch().count());
}

int SoakRuns(int otherwise) {
    if (const char* text = std::getenv("JQZ_SOAK_RUNS"); text != nullptr && *text != '\0')
        return std::max(1, std::atoi(text));
    return otherwise;
}

}  // namespace jqz::soak
