// The sequences and the firmware update through the termios backend, against the virtual
// programmer on a pseudo-terminal.
#include "core/link/firmware_image.h"
#include "core/link/port_enumeration.h"
#include "core/link/posix_serial_port.h"
#include "sequence_fixture.h"
#include "sim/pty_server.h"

namespace jqz::test {
namespace {

constexpr int kEeprom = 0xB600;

class SequencePty : public SequenceTest {
public:
    void serve(sim::SimOptions options = {}) {
        programmer(std::move(options));
        server_ = std::make_unique<sim::PtyServer>(programmer());
        std::string error;
        ASSERT_TRUE(server_->open(error)) << error;
        server_->start();
    }
    void connectPty(int rate = 57600, PortOpener opener = OpenSystemPort) {
        host.com = std::make_unique<COM>(server_->path(), rate, opener);
        ASSERT_TRUE(host.com->Connected) << host.com->ResultText;
        programmer().clearWire();
    }
    void TearDown() override {
        SequenceTest::TearDown();
        server_.reset();
    }
    Bytes linkBytes() { return req::cat({req::checksAndLink(0, 7), req::interfaceAndId()}); }
    Bytes eepromBlocks(bool write) {
        Bytes all;
        for (int a = kEeprom; a <= 0xB7FF; a += 128) {
            std::uint8_t block[128];
            for (int i = 0; i < 128; ++i) block[i] = host.model.image.ReadData(a + i);
            all = req::cat({all, write ? req::writeBlock(a, block) : req::readBlock(a)});
        }
        return all;
    }
    std::unique_ptr<sim::PtyServer> server_;
};

TEST_F(SequencePty, ProgramAndVerify) {
    serve();
    selectDevice(kE9);
    for (int a = kEeprom; a <= 0xB7FF; ++a) host.model.image.WriteData(a, static_cast<std::uint8_t>(a ^ 0x5A));
    host.opts.ProgramEepromOn = true;
    host.opts.VerifyEepromOn = true;
    connectPty();
    EXPECT_EQ(runProgram(), 0);
    EXPECT_EQ(log(), (Lines{infoLine("Linking Device ..."), infoLine(kProgramInProgress),
                            infoLine("EEPROM  Program Verify selected."),
                            infoLine("In-Circuit Programming Interface. "),
                            infoLine("EEPROM 0xB600-0xB7FF: sum 0xFF00, CRC-32 0x681C25F8"),
                            infoLine(kProgramCompleted)}));
    EXPECT_EQ(fromPc(), req::cat({linkBytes(), eepromBlocks(true), eepromBlocks(false),
                                  req::powerOff()}));
    EXPECT_EQ(targetData(kEeprom, 0xB7FF), imageData(kEeprom, 0xB7FF));
    expectCommonEnd(SequenceKind::Program);
}

TEST_F(SequencePty, ReadEverythingOfAnE9) {
    serve();
    selectDevice(kE9);
    host.opts.ReadEepromOn = true;
    host.opts.ReadFlashOn = true;
    host.opts.ReadRomOn = true;
    connectPty();
    EXPECT_EQ(runRead(), 0);
    EXPECT_EQ(log().back(), infoLine(kReadCompleted));
    EXPECT_EQ(imageData(0xB600, 0xB7FF), targetData(0xB600, 0xB7FF));
    EXPECT_EQ(imageData(0xBF00, 0xFFFF), targetData(0xBF00, 0xFFFF));
    EXPECT_EQ(host.model.image.ReadData(0x103F), sim::kSimConfigDefault);
    expectCommonEnd(SequenceKind::Read);
}

TEST_F(SequencePty, AProgrammingErrorOnOneBlockIsPassedOver) {
    sim::SimOptions o;
    o.faults.statusForCommand = {{13, 14}};  // the second block write
    serve(o);
    selectDevice(kE9);
    host.opts.ProgramEepromOn = true;
    connectPty();
    EXPECT_EQ(runProgram(), 0);
    EXPECT_EQ(log().back(), errorLine(kProgrammingError));
    EXPECT_EQ(fromPc(), req::cat({linkBytes(), eepromBlocks(true), req::powerOff()}));
}

// Reply faults on the wire: the run ends with the line of the fault and the block that
// came short or spoiled never reaches the image. Block B680 carries block B600's check byte
// at 0x26, so with that byte lost the old check byte would pass what came.
struct PtyFault {
    const char* name;
    sim::ReplyFault fault;
    const char* line;
};

class SequencePtyFaults : public SequencePty, public ::testing::WithParamInterface<PtyFault> {};

TEST_P(SequencePtyFaults, BlockRepliesThatCameWrongNeverReachTheImage) {
    sim::SimOptions o;
    o.faults.replyFaults = {GetParam().fault};
    serve(o);
    selectDevice(kE9);
    host.opts.ReadEepromOn = true;
    programmer().with([](sim::ProgrammerModel& m) {
        sim::TargetMcu* t = m.target(7);
        unsigned sum = 0;
        for (int a = kEeprom; a < kEeprom + 128; ++a) sum += t->memory[a] = static_cast<std::uint8_t>(a * 3);
        for (int a = kEeprom + 128; a < kEeprom + 256; ++a) t->memory[a] = static_cast<std::uint8_t>(a * 11);
        t->memory[kEeprom + 128 + 0x26] = static_cast<std::uint8_t>(~sum);
        return 0;
    });
    const auto before = allData();
    connectPty(57600, quickTimeouts(OpenSystemPort, 15));
    EXPECT_EQ(runRead(), 1);
    EXPECT_EQ(log().back(), errorLine(GetParam().line));
    auto expected = before;
    const auto first = targetData(kEeprom, kEeprom + 127);
    std::copy(first.begin(), first.end(), expected.begin() + kEeprom);
    EXPECT_EQ(allData(), expected);
    EXPECT_EQ(fromPc(), req::cat({linkBytes(), req::readBlock(kEeprom),
                                  Bytes{0x11, 0xB6, 0x80, 0xC9}}));
    expectCommonEnd(SequenceKind::Read);
}

INSTANTIATE_TEST_SUITE_P(
    Wire, SequencePtyFaults,
    ::testing::Values(
        PtyFault{"LostTheByteThatMatchesTheOldCheck", {0x11, 2, 0x26, sim::ReplyFault::Drop},
                 "Receiver TimeOut Error."},
        PtyFault{"CutShort", {0x11, 2, 100, sim::ReplyFault::Truncate}, "Receiver TimeOut Error."},
        PtyFault{"CorruptedByte", {0x11, 2, 5, sim::ReplyFault::Corrupt},
                 "PC too Programmer Communication Error."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SequencePty, TheCablePulledDuringTheIdentification) {
    sim::SimOptions o;
    o.faults.dsrDropAfterBytes = 7;  // the detection's six bytes, then the identification request
    serve(o);
    selectDevice(kE9);
    host.opts.ProgramEepromOn = true;
    connectPty();
    EXPECT_EQ(runProgram(), 1);
    EXPECT_EQ(log(), (Lines{errorLine("Receiver TimeOut Error."), errorLine(kProgrammerLost)}));
    EXPECT_TRUE(eventually([&] { return !host.com->Connected; }));
    expectCommonEnd(SequenceKind::Program);
}

// With the port's real time-outs (30 s for a block): a pulled cable and a stop each end the
// wait for a block at once.
TEST_F(SequencePty, TheCablePulledInABlockReadEndsTheRunAtOnce) {
    sim::SimOptions o;
    // The detection's six bytes, the checks and linking, the first block, half the second.
    o.faults.dsrDropAfterBytes = 6 + static_cast<long>(linkBytes().size()) + 5 + 2;
    serve(o);
    selectDevice(kE9);
    host.opts.ReadEepromOn = true;
    connectPty();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runRead(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    const Lines lines = log();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(LogModel::KindOf(lines[lines.size() - 2]), int(LogError));
    EXPECT_EQ(lines.back(), errorLine(kProgrammerLost));
    expectCommonEnd(SequenceKind::Read);
}

TEST_F(SequencePty, AStopEndsTheWaitForABlockThatDoesNotCome) {
    sim::SimOptions o;
    o.faults.replyFaults = {{0x11, 2, 0, sim::ReplyFault::Truncate}};
    serve(o);
    selectDevice(kE9);
    host.opts.ReadEepromOn = true;
    connectPty();
    stopAfter(req::cat({linkBytes(), req::readBlock(kEeprom)}), [this] { reader.RequestStop(); });
    const auto start = std::chrono::steady_clock::now();
    reader.Start();
    reader.WaitFor();
    reader.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(log().back(), infoLine(kReadInterrupted));
    EXPECT_FALSE(host.com->Connected);
    expectCommonEnd(SequenceKind::Read);
}

TEST_F(SequencePty, AStopResetsTheProgrammerAndTheNextRunDetectsAgain) {
    serve();
    selectDevice(kE9);
    host.opts.ProgramEepromOn = true;
    connectPty();
    stopAfter(req::cat({linkBytes(), Bytes(132 + 2)}), [this] { writer.RequestStop(); });
    writer.Start();
    writer.WaitFor();
    writer.Stop();
    EXPECT_EQ(log().back(), infoLine(kProgramInterrupted));
    EXPECT_FALSE(host.com->Connected);
    programmer().with([](sim::ProgrammerModel& m) {
        m.onWire = nullptr;
        return 0;
    });
    EXPECT_EQ(runProgram(), 0);
    EXPECT_EQ(log().back(), infoLine(kProgramCompleted));
    EXPECT_TRUE(host.com->Connected);
}

TEST_F(SequencePty, FirmwareUpdate) {
    sim::SimOptions o;
    o.serviceMode = true;
    o.version = "VER-1.0";
    o.faults.wrongAcks[3] = 1;
    serve(o);
    connectPty();
    update.Start();
    EXPECT_EQ(update.WaitFor(), 0);
    update.Stop();
    EXPECT_EQ(log(), (Lines{infoLine(kUpdateInProgress), infoLine(kUpdateComplete)}));
    EXPECT_EQ(fromPc().size(), 1u + 90u * kFirmwareFrameSize);
    EXPECT_EQ(programmer().with([](sim::ProgrammerModel& m) { return m.version(); }), "VER-1.1");
}

}  // namespace
}  // namespace jqz::test
