// The program and read sequences over the bootstrap cable, against the HC11 model in-process
// as the port "Virtual HC11 (bootstrap)": what the log says, what the part holds afterwards,
// and what the model's record shows of the EEPROM's handling.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/device/device_read.h"
#include "core/device/device_write.h"
#include "core/device/target_link.h"
#include "core/image/checksum.h"
#include "core/link/connection.h"
#include "core/link/talker_protocol.h"
#include "sequence_fixture.h"
#include "sim/hc11/machine.h"
#include "sim/hc11/virtual_hc11_ports.h"

namespace jqz::test {
namespace {

constexpr const char* kE20Rom = "MC68HC11  E20(3E22B)";
constexpr const char* kSecuredE9 = "MC68S711  E9 (5C47M)";
constexpr const char* kTalkerLine =
    "Bootstrap cable on Virtual HC11 (bootstrap), 7812 baud (8 MHz crystal): talker \"JQZ TALK "
    "1.2\" running on the ";

Bytes pattern(int seed, std::size_t size = 512) {
    Bytes b(size);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return b;
}

bool has(const Lines& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

// A USB adapter pulled out after some bytes: from then on nothing goes out or comes in.
class PulledPort : public SerialPort {
public:
    PulledPort(std::unique_ptr<SerialPort> inner, std::size_t pullAfter)
        : inner_(std::move(inner)), left_(pullAfter) {}
    bool getSettings(LineSettings& s) override { return inner_->getSettings(s); }
    bool setSettings(const LineSettings& s) override { return inner_->setSettings(s); }
    bool setTimeouts(const PortTimeouts& t) override { return inner_->setTimeouts(t); }
    std::size_t write(const std::uint8_t* data, std::size_t count) override {
        if (left_ < count) {
            left_ = 0;
            return 0;
        }
        left_ -= count;
        return inner_->write(data, count);
    }
    std::size_t read(std::uint8_t* data, std::size_t count) override {
        return left_ == 0 ? 0 : inner_->read(data, count);
    }
    void setStopFlag(const std::atomic<bool>* flag) override { inner_->setStopFlag(flag); }
    bool purge(unsigned flags) override { return inner_->purge(flags); }
    bool modemStatus(std::uint32_t& status) override { return inner_->modemStatus(status); }
    bool setDtr(bool on) override { return inner_->setDtr(on); }

private:
    std::unique_ptr<SerialPort> inner_;
    std::size_t left_;
};

class CableSequence : public SequenceTest {
protected:
    // The cable on the in-process model (its EEPROM at power-up: `eeprom`).
    void useCable(const std::string& device, Bytes eeprom = {}, sim::Hc11Faults faults = {}) {
        sim::Hc11Options base;
        base.eeprom = std::move(eeprom);
        base.faults = faults;
        ports = std::make_unique<sim::VirtualHc11Ports>(base);
        LinkChoice choice;
        choice.kind = LinkKind::BootstrapCable;
        choice.port = kVirtualHc11Port;
        choice.resetPrompt = [this](bool waiting) {
            std::lock_guard lock(promptMutex);
            prompts.push_back(waiting);
        };
        CablePortOpener opener = ports->opener(8.0);
        if (pullAfter > 0)
            opener = [this, opener](const std::string& name, const BootPart& part) {
                OpenedPort p = opener(name, part);
                if (p.port) p.port = std::make_unique<PulledPort>(std::move(p.port), pullAfter);
                return p;
            };
        host.link = MakeTargetLink(choice, {}, opener);
        selectDevice(device);
    }
    void setImage(int first, const Bytes& bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            host.model.image.WriteData(first + static_cast<int>(i), bytes[i]);
    }
    Bytes partData(int first, int last) {
        return ports->model()->with([&](sim::hc11::Machine& m) {
            Bytes d;
            for (int a = first; a <= last; ++a) d.push_back(m.peek(static_cast<std::uint16_t>(a)));
            return d;
        });
    }
    // CONFIG as the part reads it: latched at its last reset.
    std::uint8_t activeConfig() {
        return ports->model()->with([](sim::hc11::Machine& m) { return m.configActive(); });
    }
    void expectCleanRecord() {
        const auto r = ports->model()->record();
        EXPECT_EQ(r.overruns, 0);
        EXPECT_EQ(r.faultPulses(), 0);
        EXPECT_TRUE(r.illegalOpcodes.empty());
    }

    std::size_t pullAfter = 0;
    std::unique_ptr<sim::VirtualHc11Ports> ports;
    std::mutex promptMutex;
    std::vector<bool> prompts;
};

TEST_F(CableSequence, ProgramGivesTheSmartWritesAccountAndTheSequencesLines) {
    Bytes before = pattern(2);
    before[0x40] = 0x00;  // needs a 1 back: erased and programmed
    before[0x41] = 0xFF;  // reachable by clearing bits
    useCable(kE9, before);
    setImage(0xB600, pattern(2));
    host.opts.ProgramEepromOn = true;
    host.opts.VerifyEepromOn = true;
    EXPECT_EQ(runProgram(), 0);
    const std::string config = ConfigText(activeConfig());
    const Lines expected = {
        "0Linking Device ...",
        "0Program Sequence in Progress ...",
        "0EEPROM  Program Verify selected.",
        std::string("0") + kTalkerLine + "E9",
        "0" + config,
        "0What the cable does with the E9: EEPROM and CONFIG: read, program, verify; ROM and "
        "boot ROM: read",
        "0512 bytes: 510 already right, 1 programmed, 1 erased and programmed; verified",
        "0EEPROM 0xB600-0xB7FF: sum ",
        "0Program Sequence completed successful",
    };
    const Lines lines = log();
    ASSERT_EQ(lines.size(), expected.size()) << ::testing::PrintToString(lines);
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind(expected[i], 0), 0u) << lines[i];
    EXPECT_EQ(ports->model()->eeprom(), pattern(2));
    EXPECT_EQ(prompts, (std::vector<bool>{true, false}));
    EXPECT_TRUE(host.link->Idle());
    expectCleanRecord();
}

TEST_F(CableSequence, EraseThenProgramAndConfigBehindItsBox) {
    useCable(kE9, pattern(9));
    Bytes wanted(512, 0xFF);
    wanted[3] = 0x12;
    setImage(0xB600, wanted);
    host.model.image.WriteData(0x103F, 0x0D);
    host.opts.EraseEepromOn = true;
    host.opts.ProgramEepromOn = true;
    host.opts.ConfProgEnable = true;
    EXPECT_EQ(runProgram(), 0);
    const Lines lines = log();
    EXPECT_TRUE(has(lines, "1CONFIG Register programmed.")) << ::testing::PrintToString(lines);
    EXPECT_TRUE(has(lines, "0CONFIG 0x0D written; it takes effect, and reads back, at the next reset."));
    EXPECT_TRUE(has(lines, "0512 bytes: 511 already right, 1 programmed; verified"));
    // The smart write verified what it wrote: the figures are not marked as unverified.
    EXPECT_FALSE(has(lines, kAsWrittenNotVerified));
    EXPECT_EQ(ports->model()->eeprom(), wanted);
    EXPECT_EQ(ports->model()->config(), 0x0D);
    expectCleanRecord();
}

// The CONFIG the runs saw, which the window asks by before the next run: read with the part's
// identity, then as a program wrote it, with a warning when NOSEC is programmed in it.
TEST_F(CableSequence, TheConfigSeenByTheRuns) {
    useCable(kE9, pattern(5));
    EXPECT_EQ(host.link->ConfigSeen(), std::nullopt);
    host.opts.ReadEepromOn = true;
    EXPECT_EQ(runRead(), 0);
    EXPECT_EQ(host.link->ConfigSeen(), std::optional<std::uint8_t>(0x0F));

    host.opts.ReadEepromOn = false;
    setImage(0xB600, pattern(5));
    host.model.image.WriteData(0x103F, 0x05);
    host.opts.ProgramEepromOn = true;
    host.opts.ConfProgEnable = true;
    EXPECT_EQ(runProgram(), 0);
    const Lines lines = log();
    EXPECT_TRUE(has(lines, "1NOSEC is programmed: the next entry into bootstrap mode erases the "
                           "EEPROM and CONFIG."))
        << ::testing::PrintToString(lines);
    EXPECT_EQ(ports->model()->config(), 0x05);
    EXPECT_EQ(host.link->ConfigSeen(), std::optional<std::uint8_t>(0x05));
    host.link->ForgetConfigSeen();
    EXPECT_EQ(host.link->ConfigSeen(), std::nullopt);
}

TEST_F(CableSequence, VerifyNamesEachAddressThatDiffers) {
    Bytes part = pattern(4);
    part[0x40] ^= 0x01;
    part[0x1FF] ^= 0x80;
    useCable(kE9, part);
    setImage(0xB600, pattern(4));
    host.opts.VerifyEepromOn = true;
    EXPECT_EQ(runProgram(), 0);  // a run that reached its end, failed
    const Lines lines = log();
    EXPECT_TRUE(has(lines, "2Verify Error at Address : 0x0B640"));
    EXPECT_TRUE(has(lines, "2Verify Error at Address : 0x0B7FF"));
    EXPECT_TRUE(has(lines, "2Verify failed: 2 addresses differ"));
    EXPECT_FALSE(has(lines, kProgramCompleted));
    EXPECT_TRUE(ports->model()->record().pulses.empty());
}

struct ReadCase {
    const char* device;
    int romFirst, romLast;  // an area of the part's ROM
    int bootFirst, bootLast;
};

TEST_F(CableSequence, ReadsEepromRomAndBootRomOfEachPart) {
    const ReadCase cases[] = {
        {kA8, 0xE000, 0xFFFF, 0xBF40, 0xBFFF},
        {kE9, 0xD000, 0xFFFF, 0xBF00, 0xBFFF},
        {kE20Rom, 0x9000, 0xAFFF, 0xBF00, 0xBFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        host.logModel.clear();
        useCable(c.device, pattern(3));
        host.opts.ReadEepromOn = true;
        host.opts.ReadFlashOn = true;
        host.opts.ReadRomOn = true;
        EXPECT_EQ(runRead(), 0);
        const Lines lines = log();
        EXPECT_TRUE(has(lines, "0EEPROM  EPROM/ROM  BOOT ROM  selected."));
        EXPECT_TRUE(has(lines, kReadCompleted)) << ::testing::PrintToString(lines);
        EXPECT_EQ(imageData(0xB600, 0xB7FF), pattern(3));
        EXPECT_EQ(host.model.image.ReadData(0x103F), activeConfig());
        EXPECT_EQ(imageData(c.romFirst, c.romLast), partData(c.romFirst, c.romLast));
        EXPECT_EQ(imageData(c.bootFirst, c.bootLast), partData(c.bootFirst, c.bootLast));
        EXPECT_NE(imageData(c.romFirst, c.romLast), Bytes(static_cast<std::size_t>(c.romLast - c.romFirst + 1), 0xFF));
        reader.Stop();
    }
}

TEST_F(CableSequence, AStopBetweenCellsEndsTheRunWithNothingReportedWritten) {
    useCable(kE9);
    setImage(0xB600, pattern(6));
    host.opts.ProgramEepromOn = true;
    // The user's stop as the tenth cell is done.
    host.gaugeModel.setChangeHandler([this](int maximum, int position) {
        if (maximum == 512 && position == 10) writer.RequestStop();
    });
    writer.Start();
    EXPECT_EQ(writer.WaitFor(), 1);
    writer.Stop();
    const Lines lines = log();
    EXPECT_EQ(lines.back(), std::string("0") + kProgramInterrupted);
    EXPECT_FALSE(has(lines, "verified"));
    EXPECT_FALSE(has(lines, kProgramCompleted));
    for (const auto& l : lines) EXPECT_NE(l[0], '2') << l;
    const auto pulses = ports->model()->record().pulses.size();
    EXPECT_GE(pulses, 10u);
    EXPECT_LT(pulses, 20u);
    EXPECT_TRUE(host.link->Idle());
    EXPECT_FALSE(host.link->StopRequested());
    expectCleanRecord();
}

TEST_F(CableSequence, APulledCableEndsTheRunWithWhatToCheck) {
    pullAfter = 1500;  // the talker is in and running; the cable goes while writing
    useCable(kE9);
    setImage(0xB600, pattern(7));
    host.opts.ProgramEepromOn = true;
    host.opts.VerifyEepromOn = true;
    EXPECT_EQ(runProgram(), 1);
    const Lines lines = log();
    EXPECT_TRUE(has(lines, "Check the cable")) << ::testing::PrintToString(lines);
    EXPECT_TRUE(has(lines, "; not verified)"));
    EXPECT_FALSE(has(lines, kProgramCompleted));
    EXPECT_FALSE(has(lines, "; verified"));
    EXPECT_LT(ports->model()->modelMicroseconds(), 20'000'000);
}

TEST_F(CableSequence, ASecuredPartIsRefusedBeforeAnythingIsSentUnlessConfirmed) {
    useCable(kSecuredE9, pattern(8));
    EXPECT_EQ(host.link->QuestionBeforeRun(kSecuredE9), kSecuredQuestion);
    EXPECT_EQ(host.link->QuestionBeforeRun(kE9), "");
    host.opts.ReadEepromOn = true;
    EXPECT_EQ(runRead(), 1);
    Lines lines = log();
    EXPECT_EQ(lines.back(), std::string("2") + kSecuredE9 +
                                " is secured: entering bootstrap mode erases its EEPROM and "
                                "CONFIG. Nothing was sent.");
    EXPECT_EQ(ports->model(), nullptr);  // the port was never opened

    host.link->SetConfirmed(true);
    EXPECT_EQ(runRead(), 0);
    EXPECT_EQ(ports->model()->record().securityErases, 1);
    EXPECT_EQ(imageData(0xB600, 0xB7FF), Bytes(512, 0xFF));
}

// Identify Part logs what a sequence logs as it starts, and nothing else; the link is free
// afterwards.
TEST_F(CableSequence, IdentifyPartOverTheCable) {
    useCable("MC68HC711 E9 (4K81H)");
    EXPECT_TRUE(IdentifyPart(*host.link, DeviceMap::Of(host.deviceList), host.opts, host.logModel));
    const Lines expected = {
        "0Linking Device ...",
        std::string("0") + kTalkerLine + "E9",
        "0" + ConfigText(activeConfig()),
        "0What the cable does with the E9: EEPROM and CONFIG: read, program, verify; ROM and "
        "boot ROM: read; EPROM: read only (programming needs the programmer's 12 V)",
    };
    EXPECT_EQ(log(), expected);
    EXPECT_TRUE(host.link->Idle());
    EXPECT_TRUE(ports->model()->record().pulses.empty());
}

TEST_F(SequenceTest, IdentifyPartWithTheProgrammer) {
    connect();
    selectDevice(kE9);
    const auto link = MakeProgrammerLink(host.com.get());
    EXPECT_TRUE(IdentifyPart(*link, DeviceMap::Of(host.deviceList), host.opts, host.logModel));
    const Lines lines = log();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "0Linking Device ...");
    EXPECT_TRUE(has(lines, std::string("0") + kInCircuitInterface));
    // Checks, linking, interface and device ID, then the in-circuit target powered off, as a
    // sequence's end leaves it.
    EXPECT_EQ(fromPc(), req::cat({req::checksAndLink(0x00, host.deviceList.deviceType),
                                  req::interfaceAndId(), req::powerOff()}));
    EXPECT_TRUE(host.com->Idle);
}

TEST(TargetLinkAbility, WhatEachLinkCanDoAndWhy) {
    const auto cable = MakeTargetLink({LinkKind::BootstrapCable, "COM3", 9600, {}, {}}, {}, {});
    const auto programmer = MakeProgrammerLink(nullptr);
    struct Case {
        TargetAction action;
        const char* device;
        bool cable;
        const char* why;  // a part of the cable's reason
    } cases[] = {
        {TargetAction::ProgramEeprom, "MC68HC11  E9 (E28B)", true, ""},
        {TargetAction::ReadBootRom, "MC68HC11  A8 (AB95T)", true, ""},
        {TargetAction::ProgramConfig, "MC68HC11  E20(3E22B)", true, ""},
        {TargetAction::ProgramEprom, "MC68HC711 E9 (4K81H)", false, kEpromNeeds12V},
        {TargetAction::EraseEprom, "MC68HC711 E20(1H19S)", false, kEpromNeeds12V},
        {TargetAction::FirmwareUpdate, "MC68HC11  E9 (E28B)", false, "no firmware"},
        {TargetAction::ReadEeprom, "MC68HC11  K4 (OE75J)", false, "K4 family"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        const LinkAbility a = cable->Can(c.action, c.device);
        EXPECT_EQ(a.can, c.cable);
        EXPECT_NE(a.why.find(c.why), std::string::npos) << a.why;
        EXPECT_TRUE(programmer->Can(c.action, c.device));
    }
    EXPECT_EQ(cable->logLine(), "Bootstrap cable on COM3, 7812 baud (8 MHz crystal)");
    EXPECT_EQ(cable->statusLine(), "Bootstrap cable: COM3, 7812 baud, 8 MHz");
    EXPECT_EQ(cable->programmer(), nullptr);
}

}  // namespace
}  // namespace jqz::test
