// The program sequence against the in-process virtual programmer: what goes over the wire,
// what the log says, what the gauge shows and how every run ends.
#include "sequence_fixture.h"

namespace jqz::test {
namespace {

constexpr int kEeprom = 0xB600;
constexpr int kEepromEnd = 0xB7FF;
constexpr int kConfig = 0x103F;

std::uint8_t pattern(int a) { return static_cast<std::uint8_t>(a * 7 + 3); }

// The figures of the E9's EEPROM as zlib and a byte sum give them: holding the pattern, and
// blank.
const std::string kPatternFigures = "EEPROM 0xB600-0xB7FF: sum 0xFF00, CRC-32 0x0F498B0E";
const std::string kBlankFigures = "EEPROM 0xB600-0xB7FF: sum 0xFE00, CRC-32 0xBD7BC39F";
// The same figures of a run that read nothing back: what was erased and written.
const std::string kPatternAsWritten =
    "EEPROM 0xB600-0xB7FF as written (not verified): sum 0xFF00, CRC-32 0x0F498B0E";
const std::string kBlankAsWritten =
    "EEPROM 0xB600-0xB7FF as written (not verified): sum 0xFE00, CRC-32 0xBD7BC39F";

// The lines of a run that got as far as the interface report.
Lines linked(const std::string& summary = "EEPROM  Program Verify selected.") {
    Lines lines = {infoLine("Linking Device ..."), infoLine(kProgramInProgress)};
    if (!summary.empty()) lines.push_back(infoLine(summary));
    lines.push_back(infoLine("In-Circuit Programming Interface. "));
    return lines;
}

enum class TargetEeprom { Erased, Zeros, Pattern };

class ProgramSequence : public SequenceTest {
public:
    // An E9 whose image EEPROM holds the pattern and whose CONFIG cell holds 0x0D.
    void setUpE9() {
        selectDevice(kE9);
        for (int a = kEeprom; a <= kEepromEnd; ++a) host.model.image.WriteData(a, pattern(a));
        host.model.image.WriteData(kConfig, 0x0D);
    }
    void select(bool erase, bool program, bool verify) {
        host.opts.EraseEepromOn = erase;
        host.opts.ProgramEepromOn = program;
        host.opts.VerifyEepromOn = verify;
    }
    void setTarget(TargetEeprom contents) {
        programmer().with([contents](sim::ProgrammerModel& m) {
            for (int a = kEeprom; a <= kEepromEnd; ++a)
                m.target(7)->memory[a] = contents == TargetEeprom::Erased ? 0xFF
                                         : contents == TargetEeprom::Zeros ? 0x00
                                                                           : pattern(a);
            return 0;
        });
    }
    Bytes writeBlocks(int count = 4, int first = kEeprom) {
        Bytes all;
        for (int a = first; a < first + 128 * count; a += 128) {
            std::uint8_t block[128];
            for (int i = 0; i < 128; ++i) block[i] = host.model.image.ReadData(a + i);
            all = req::cat({all, req::writeBlock(a, block)});
        }
        return all;
    }
    Bytes readBlocks(int count = 4) {
        Bytes all;
        for (int a = kEeprom; a < kEeprom + 128 * count; a += 128)
            all = req::cat({all, req::readBlock(a)});
        return all;
    }
    Bytes linkBytes(std::uint8_t flags = 0) {
        return req::cat({req::checksAndLink(flags, 7), req::interfaceAndId()});
    }
    void stopAfter(const Bytes& before) {
        SequenceTest::stopAfter(before, [this] { writer.RequestStop(); });
    }
};

TEST_F(ProgramSequence, ProgramAndVerifyAnE9) {
    setUpE9();
    select(false, true, true);
    connect();
    EXPECT_EQ(runProgram(), 0);
    EXPECT_EQ(log(), (linked() + Lines{infoLine(kPatternFigures), infoLine(kProgramCompleted)}));
    EXPECT_EQ(fromPc(), req::cat({linkBytes(), writeBlocks(), readBlocks(), req::powerOff()}));
    EXPECT_EQ(targetData(kEeprom, kEepromEnd), imageData(kEeprom, kEepromEnd));
    // The simulation crawled first and was back at 0 before the blocks were counted: twice
    // from 0 to 4.
    const auto changes = host.gaugeChanges();
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.front().first, 100);
    EXPECT_EQ(gaugePositions(4), (std::vector<int>{0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0}));
    expectCommonEnd(SequenceKind::Program);
    // Releasing the button after the end does nothing more.
    writer.Stop();
    EXPECT_EQ(log().size(), 6u);
    EXPECT_TRUE(programmer().dtrPulses().empty());
    EXPECT_TRUE(host.com->Connected);
}

TEST_F(ProgramSequence, BlocksFollowTheDevicesEeprom) {
    // PH8: 0x0D00-0x0FFF, six blocks; K-series: 0x0D80-0x0FFF, five.
    for (const auto& [name, type, first, blocks] :
         {std::tuple{"MC68HC711 PH8(0H30R)", 15, 0x0D00, 6},
          std::tuple{"MC68HC11  K1 (2D58N)", 10, 0x0D80, 5}}) {
        SCOPED_TRACE(name);
        host.com.reset();
        vp_.reset();
        selectDevice(name);
        select(false, true, false);
        connect();
        EXPECT_EQ(runProgram(), 0);
        EXPECT_EQ(fromPc(), req::cat({req::checksAndLink(0, static_cast<std::uint8_t>(type)),
                                      req::interfaceAndId(), writeBlocks(blocks, first),
                                      req::powerOff()}));
        std::vector<int> gauge;
        for (int p = 0; p <= blocks; ++p) gauge.push_back(p);
        gauge.push_back(0);
        EXPECT_EQ(gaugePositions(blocks), gauge);
    }
}

struct StepCase {
    const char* name;
    bool erase, program, verify, config;
    TargetEeprom before;
    const char* summary;
    // The figures line of the EEPROM the run leaves, if the run knows it.
    const std::string* figures;
};

class ProgramSteps : public ProgramSequence, public ::testing::WithParamInterface<StepCase> {};

TEST_P(ProgramSteps, RunInTheirOrder) {
    const StepCase& c = GetParam();
    setUpE9();
    select(c.erase, c.program, c.verify);
    host.opts.ConfProgEnable = c.config;
    connect();
    setTarget(c.before);
    EXPECT_EQ(runProgram(), 0);

    const bool configWritten = c.config && c.program;
    EXPECT_EQ(log(), (linked(c.summary) + (configWritten ? Lines{noticeLine(kConfigProgrammed)} : Lines{}) +
                      (c.figures ? Lines{infoLine(*c.figures)} : Lines{}) +
                      Lines{infoLine(kProgramCompleted)}));
    Bytes steps;
    if (c.erase) steps = req::erase();
    if (configWritten) steps = req::cat({steps, req::writeByte(kConfig, 0x0D)});
    if (c.program) steps = req::cat({steps, writeBlocks()});
    if (c.verify) steps = req::cat({steps, readBlocks()});
    EXPECT_EQ(fromPc(), req::cat({linkBytes(), steps, req::powerOff()}));

    EXPECT_EQ(targetData(kConfig, kConfig),
              Bytes{configWritten ? std::uint8_t{0x0D} : sim::kSimConfigDefault});
    if (c.program) {
        EXPECT_EQ(targetData(kEeprom, kEepromEnd), imageData(kEeprom, kEepromEnd));
    } else if (c.erase) {
        EXPECT_EQ(targetData(kEeprom, kEepromEnd), Bytes(512, 0xFF));
    }
    expectCommonEnd(SequenceKind::Program);
}

INSTANTIATE_TEST_SUITE_P(
    Selections, ProgramSteps,
    ::testing::Values(
        StepCase{"Nothing", false, false, false, false, TargetEeprom::Zeros, "", nullptr},
        StepCase{"Erase", true, false, false, false, TargetEeprom::Zeros, "EEPROM  Erase selected.",
                 &kBlankAsWritten},
        // The image holds the pattern, yet an erase without program is verified against 0xFF.
        StepCase{"EraseAndVerify", true, false, true, false, TargetEeprom::Zeros,
                 "EEPROM  Erase Verify selected.", &kBlankFigures},
        StepCase{"ProgramAfterConfig", false, true, false, true, TargetEeprom::Erased,
                 "EEPROM  Program selected.", &kPatternAsWritten},
        StepCase{"ConfigWithoutProgram", false, false, true, true, TargetEeprom::Pattern,
                 "EEPROM  Verify selected.", &kPatternFigures},
        StepCase{"AllThree", true, true, true, false, TargetEeprom::Zeros,
                 "EEPROM  Erase Program Verify selected.", &kPatternFigures}),
    [](const auto& info) { return std::string(info.param.name); });

// An image that fills one block of four (0xB700-0xB77F), the rest blank: which blocks go
// over the wire with blank blocks to be skipped, and that verify still reads all four.
struct SkipCase {
    const char* name;
    bool erase, skip;
    int eraseStatus;  // a status code for the erase, or 0
    std::vector<int> written;
    bool skippedLine, completed;
};

class SkipBlankBlocks : public ProgramSequence, public ::testing::WithParamInterface<SkipCase> {};

TEST_P(SkipBlankBlocks, OnlyAfterAnErrorFreeErase) {
    const SkipCase& c = GetParam();
    sim::SimOptions o;
    if (c.eraseStatus) o.faults.statusForCommand = {{12, c.eraseStatus}};
    programmer(o);
    selectDevice(kE9);
    for (int a = 0xB700; a < 0xB780; ++a) host.model.image.WriteData(a, pattern(a));
    select(c.erase, true, true);
    host.opts.SkipBlankBlocks = c.skip;
    connect();
    setTarget(TargetEeprom::Erased);
    EXPECT_EQ(runProgram(), 0);

    Lines tail;
    if (c.eraseStatus) tail.push_back(errorLine(kProgrammingError));
    if (c.skippedLine) tail.push_back(infoLine("Blank blocks not written: 3 of 4."));
    if (c.completed)
        tail = tail + Lines{infoLine("EEPROM 0xB600-0xB7FF: sum 0xBA40, CRC-32 0x810DBE00"),
                            infoLine(kProgramCompleted)};
    EXPECT_EQ(log(), linked(c.erase ? "EEPROM  Erase Program Verify selected."
                                    : "EEPROM  Program Verify selected.") +
                         tail);
    Bytes writes;
    for (int a : c.written) writes = req::cat({writes, writeBlocks(1, a)});
    EXPECT_EQ(fromPc(), req::cat({linkBytes(), c.erase ? req::erase() : Bytes{}, writes,
                                  readBlocks(), req::powerOff()}));
    EXPECT_EQ(targetData(kEeprom, kEepromEnd), imageData(kEeprom, kEepromEnd));
    // The gauge counts every block, written or not.
    EXPECT_EQ(gaugePositions(4), (std::vector<int>{0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0}));
    expectCommonEnd(SequenceKind::Program);
}

const std::vector<int> kAllBlocks = {0xB600, 0xB680, 0xB700, 0xB780};

INSTANTIATE_TEST_SUITE_P(
    Selections, SkipBlankBlocks,
    ::testing::Values(
        SkipCase{"EraseAndSkip", true, true, 0, {0xB700}, true, true},
        SkipCase{"EraseWithoutSkip", true, false, 0, kAllBlocks, false, true},
        // Without an erase in the run the device's blocks may hold anything: all are written.
        SkipCase{"SkipWithoutErase", false, true, 0, kAllBlocks, false, true},
        // An erase that reported an error may have left bytes behind: all are written.
        SkipCase{"SkipAfterFailedErase", true, true, 14, kAllBlocks, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramSequence, PinTesterFlagsComeFromTheCheckBoxes) {
    sim::SimOptions o;
    o.faults.pinReportData = 0x09;
    o.faults.pinReportControl = 0x05;
    programmer(o);
    setUpE9();
    // In-circuit: only the ICP box lets the link ignore the report.
    for (const auto& [obp, icp, flags] : {std::tuple{true, false, 0x01}, std::tuple{false, true, 0x02},
                                          std::tuple{true, true, 0x03}}) {
        host.opts.PTErrorsOBP = obp;
        host.opts.PTErrorsICP = icp;
        connect();
        const std::size_t before = log().size();
        const int result = runProgram();
        const Lines lines = log();
        const Lines run(lines.begin() + static_cast<long>(before), lines.end());
        if (icp) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(run, linked("") + Lines{infoLine(kProgramCompleted)});
            EXPECT_EQ(fromPc(), req::cat({linkBytes(static_cast<std::uint8_t>(flags)), req::powerOff()}));
        } else {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(run, (Lines{infoLine("Linking Device ..."),
                                 errorLine("Pure contact on pin(s) or pin(s) damaged: DATA0 DATA3 ECLK RESET ")}));
            EXPECT_EQ(fromPc(), req::cat({req::checksAndLink(static_cast<std::uint8_t>(flags), 7),
                                          Bytes{0x03}}));
        }
    }
}

// A run that ends on a fault: the lines it logs, and what a new run would find.
struct FaultCase {
    const char* name;
    std::function<void(ProgramSequence&, sim::SimOptions&)> before;  // before connecting
    std::function<void(ProgramSequence&)> after;                     // after connecting
    Lines lines;
    int result;
};

class ProgramFaults : public ProgramSequence, public ::testing::WithParamInterface<FaultCase> {};

// Commands after a detection at 57600 (identification, mode, rate, identification):
// 5 identification, 6 mode, 7 pin tester, 8 device type, 9 link, 10 interface, 11 device ID,
// 12..15 block writes, 16..19 block reads, 20 power off.
std::map<int, int> statusAt(int command, int code) { return {{command, code}}; }

TEST_P(ProgramFaults, EndAsTheyShould) {
    const FaultCase& c = GetParam();
    sim::SimOptions o;
    c.before(*this, o);
    programmer(o);
    setUpE9();
    select(false, true, true);
    const auto imageBefore = allData();
    connect();
    if (c.after) c.after(*this);
    EXPECT_EQ(runProgram(), c.result);
    EXPECT_EQ(log(), (c.lines));
    EXPECT_EQ(allData(), imageBefore);
    expectCommonEnd(SequenceKind::Program);
}

const Lines kLinkedRun = linked();

INSTANTIATE_TEST_SUITE_P(
    Failures, ProgramFaults,
    ::testing::Values(
        FaultCase{"NoProgrammer", [](ProgramSequence& t, sim::SimOptions&) {
                      t.programmer().setDsr(false);
                  },
                  {}, {errorLine("MC68HC(7)11 Programmer not found.")}, 1},
        FaultCase{"PortDoesNotOpen", [](ProgramSequence& t, sim::SimOptions&) {
                      sim::PortFaults f;
                      f.failGetSettings = true;
                      t.programmer().setPortFaults(f);
                  },
                  {}, {errorLine("Error opening port: Virtual Programmer")}, 1},
        FaultCase{"DsrOffAfterDetection", [](ProgramSequence&, sim::SimOptions&) {},
                  [](ProgramSequence& t) { t.programmer().setDsr(false); },
                  {errorLine("MC68HC(7)11 Programmer not found.")}, 1},
        FaultCase{"ForeignIdentification", [](ProgramSequence&, sim::SimOptions&) {},
                  [](ProgramSequence& t) {
                      t.programmer().with([](sim::ProgrammerModel& m) {
                          m.options().identification = "MODEM READY";
                          return 0;
                      });
                  },
                  {errorLine("MC68HC(7)11 Programmer not found.")}, 1},
        FaultCase{"OldFirmware", [](ProgramSequence&, sim::SimOptions& o) { o.version = "VER-1.0"; },
                  {}, {errorLine(kWrongFirmwareVersion)}, 1},
        FaultCase{"ServiceMode", [](ProgramSequence&, sim::SimOptions& o) { o.serviceMode = true; },
                  {}, {errorLine("Programmer must be in WORK mode.")}, 1},
        FaultCase{"PinTesterOptionsRefused",
                  [](ProgramSequence&, sim::SimOptions& o) { o.faults.statusForCommand = statusAt(7, 5); },
                  {}, {errorLine("PC too Programmer Communication Error")}, 1},
        FaultCase{"WrongDeviceType",
                  [](ProgramSequence&, sim::SimOptions& o) { o.faults.statusForCommand = statusAt(8, 6); },
                  {}, {errorLine("Error: WRONG DEVICE TYPE")}, 1},
        FaultCase{"NoEclk",
                  [](ProgramSequence&, sim::SimOptions& o) { o.faults.statusForCommand = statusAt(9, 7); },
                  {}, {infoLine("Linking Device ..."),
                       errorLine("Error: No ECLK Pulse Detected. Check EXTAL Pin connection.")}, 1},
        FaultCase{"UnknownLinkStatus",
                  [](ProgramSequence&, sim::SimOptions& o) { o.faults.statusForCommand = statusAt(9, 24); },
                  {}, {infoLine("Linking Device ..."), errorLine("Unknoun Error")}, 1},
        FaultCase{"IdentificationCut",
                  [](ProgramSequence&, sim::SimOptions& o) {
                      o.faults.replyFaults = {{0x06, 3, 10, sim::ReplyFault::Truncate}};
                  },
                  {}, {errorLine("Receiver TimeOut Error.")}, 1},
        FaultCase{"LinkStatusCut",
                  [](ProgramSequence&, sim::SimOptions& o) {
                      o.faults.replyFaults = {{0x02, 3, 1, sim::ReplyFault::Truncate}};
                  },
                  {}, {infoLine("Linking Device ..."), errorLine("Receiver TimeOut Error.")}, 1},
        FaultCase{"InterfaceUnanswered",
                  [](ProgramSequence&, sim::SimOptions& o) {
                      o.faults.replyFaults = {{0x07, 1, 0, sim::ReplyFault::Truncate}};
                  },
                  {}, {infoLine("Linking Device ..."), infoLine(kProgramInProgress),
                       infoLine("EEPROM  Program Verify selected."),
                       errorLine("Receiver TimeOut Error.")}, 1},
        FaultCase{"OvercurrentOnTheFirstBlock",
                  [](ProgramSequence&, sim::SimOptions& o) { o.faults.statusForCommand = statusAt(12, 3); },
                  {}, kLinkedRun + Lines{errorLine("Error: Overcurrent protection")}, 1},
        // Tolerated: the other blocks are written and verified; no success line.
        FaultCase{"ProgrammingErrorReportedOnOneBlock",
                  [](ProgramSequence&, sim::SimOptions& o) { o.faults.statusForCommand = statusAt(13, 14); },
                  {}, kLinkedRun + Lines{errorLine(kProgrammingError)}, 0},
        // A cell that cannot take its value: the block fails, verify finds the cell.
        FaultCase{"ProgrammingErrorOnOneCell", [](ProgramSequence&, sim::SimOptions&) {},
                  [](ProgramSequence& t) { t.programmer().with([](sim::ProgrammerModel& m) {
                      m.target(7)->memory[0xB6A5] = 0x00;
                      return 0;
                  }); },
                  kLinkedRun + Lines{errorLine(kProgrammingError), errorLine("Verify Error at Address : 0x0B6A5"),
                                     errorLine("Verify failed: 1 address differs")},
                  0},
        FaultCase{"VerifyReadFails",
                  [](ProgramSequence&, sim::SimOptions& o) { o.faults.statusForCommand = statusAt(18, 13); },
                  {}, kLinkedRun + Lines{errorLine("Error: Programmer to MCU Communication error")}, 1},
        FaultCase{"VerifyBlockCorrupted",
                  [](ProgramSequence&, sim::SimOptions& o) {
                      o.faults.replyFaults = {{0x11, 2, 5, sim::ReplyFault::Corrupt}};
                  },
                  {}, kLinkedRun + Lines{errorLine("PC too Programmer Communication Error.")}, 1},
        // The cable is pulled in the middle of the first block.
        FaultCase{"DsrLostMidBlock",
                  [](ProgramSequence&, sim::SimOptions& o) { o.faults.dsrDropAfterBytes = 100; },
                  {}, kLinkedRun + Lines{errorLine("Transmitter TimeOut Error."), errorLine(kProgrammerLost)}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramSequence, NoDeviceSelected) {
    connect();
    EXPECT_EQ(runProgram(), 1);
    EXPECT_EQ(log(), (Lines{errorLine("Select Device first")}));
    EXPECT_EQ(fromPc(), (Bytes{0x06, 0x05, 0x08, 0x00, 0xFF, 0x02}));
    expectCommonEnd(SequenceKind::Program);
}

TEST_F(ProgramSequence, VerifyReportsEveryDifferingByte) {
    setUpE9();
    select(false, false, true);
    connect();
    setTarget(TargetEeprom::Pattern);
    for (int a : {0xB600, 0xB6FF, 0xB7FF})
        programmer().with([a](sim::ProgrammerModel& m) {
            m.target(7)->memory[a] ^= 0x10;
            return 0;
        });
    EXPECT_EQ(runProgram(), 0);
    EXPECT_EQ(log(), (linked("EEPROM  Verify selected.") +
                      Lines{errorLine("Verify Error at Address : 0x0B600"),
                            errorLine("Verify Error at Address : 0x0B6FF"),
                            errorLine("Verify Error at Address : 0x0B7FF"),
                            errorLine("Verify failed: 3 addresses differ")}));
    // Completed, not interrupted: releasing the button adds nothing.
    writer.Stop();
    EXPECT_EQ(log().size(), 8u);
    expectCommonEnd(SequenceKind::Program);
}

TEST_F(ProgramSequence, ConfigWriteLetsOnlyTheProgrammingErrorPass) {
    for (const auto& [code, tail, result] :
         {std::tuple{14,
                     Lines{noticeLine(kConfigProgrammed), infoLine(kPatternAsWritten),
                           infoLine(kProgramCompleted)},
                     0},
          std::tuple{1, Lines{errorLine("Error: Power Supply voltage grater")}, 1}}) {
        SCOPED_TRACE(code);
        host.com.reset();
        vp_.reset();
        sim::SimOptions o;
        o.faults.statusForCommand = statusAt(12, code);  // the CONFIG write
        programmer(o);
        setUpE9();
        select(false, true, false);
        host.opts.ConfProgEnable = true;
        connect();
        const std::size_t before = log().size();
        EXPECT_EQ(runProgram(), result);
        const Lines lines = log();
        EXPECT_EQ(Lines(lines.begin() + static_cast<long>(before), lines.end()),
                  linked("EEPROM  Program selected.") + tail);
        EXPECT_EQ(fromPc(), req::cat({linkBytes(), req::writeByte(kConfig, 0x0D),
                                      result == 0 ? req::cat({writeBlocks(), req::powerOff()})
                                                  : Bytes{}}));
    }
}

TEST_F(ProgramSequence, ErasingErrorIsToleratedOthersEndTheRun) {
    for (const auto& [code, text, result] :
         {std::tuple{14, kProgrammingError, 0}, std::tuple{15, "Error: Device Still Secured", 1}}) {
        SCOPED_TRACE(code);
        host.com.reset();
        vp_.reset();
        sim::SimOptions o;
        o.faults.statusForCommand = statusAt(12, code);
        programmer(o);
        setUpE9();
        select(true, true, false);
        connect();
        const std::size_t before = log().size();
        EXPECT_EQ(runProgram(), result);
        const Lines lines = log();
        EXPECT_EQ(Lines(lines.begin() + static_cast<long>(before), lines.end()),
                  linked("EEPROM  Erase Program selected.") + Lines{errorLine(text)});
        EXPECT_EQ(fromPc(), req::cat({linkBytes(), req::erase(), result == 0 ? writeBlocks() : Bytes{},
                                      result == 0 ? req::powerOff() : Bytes{}}));
    }
}

// A stop at each stage: the request arrives with the first byte of a command; that command
// still runs, and the checks, the linking and the reports always run to their end.
struct StopCase {
    const char* name;
    std::function<Bytes(ProgramSequence&)> before;  // what went out before the stop
    std::function<Bytes(ProgramSequence&)> sent;    // what went out in all
};

class ProgramStops : public ProgramSequence, public ::testing::WithParamInterface<StopCase> {};

TEST_P(ProgramStops, LeaveTheProgrammerResetAndTheConnectionLost) {
    const StopCase& c = GetParam();
    setUpE9();
    select(true, true, true);
    connect();
    stopAfter(c.before(*this));
    writer.Start();
    writer.WaitFor();
    writer.Stop();
    EXPECT_EQ(fromPc(), c.sent(*this));
    EXPECT_EQ(log(), (linked("EEPROM  Erase Program Verify selected.") +
                      Lines{infoLine(kProgramInterrupted)}));
    EXPECT_EQ(programmer().dtrPulses().size(), 1u);
    EXPECT_FALSE(host.com->Connected);
    expectCommonEnd(SequenceKind::Program);
    EXPECT_EQ(writer.WaitFor(), -1);  // the stopped worker is gone
}

INSTANTIATE_TEST_SUITE_P(
    Stages, ProgramStops,
    ::testing::Values(
        StopCase{"WhileIdentifying", [](ProgramSequence&) { return Bytes{}; },
                 [](ProgramSequence& t) { return t.linkBytes(); }},
        StopCase{"WhileLinking",
                 [](ProgramSequence& t) {
                     const Bytes link = t.linkBytes();
                     return Bytes(link.begin(), link.begin() + 10);  // up to the link request
                 },
                 [](ProgramSequence& t) { return t.linkBytes(); }},
        StopCase{"WhileErasing", [](ProgramSequence& t) { return t.linkBytes(); },
                 [](ProgramSequence& t) { return req::cat({t.linkBytes(), req::erase()}); }},
        StopCase{"WhileProgrammingTheSecondBlock",
                 [](ProgramSequence& t) {
                     return req::cat({t.linkBytes(), req::erase(), t.writeBlocks(1)});
                 },
                 [](ProgramSequence& t) {
                     return req::cat({t.linkBytes(), req::erase(), t.writeBlocks(2)});
                 }},
        StopCase{"WhileVerifyingTheSecondBlock",
                 [](ProgramSequence& t) {
                     return req::cat({t.linkBytes(), req::erase(), t.writeBlocks(), t.readBlocks(1)});
                 },
                 [](ProgramSequence& t) {
                     return req::cat({t.linkBytes(), req::erase(), t.writeBlocks(), t.readBlocks(2)});
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramSequence, ANewRunAfterAStopDetectsAgain) {
    setUpE9();
    select(false, true, false);
    connect();
    stopAfter(Bytes(10));  // with the link request
    writer.Start();
    writer.WaitFor();
    writer.Stop();
    ASSERT_FALSE(host.com->Connected);
    programmer().with([](sim::ProgrammerModel& m) {
        m.onWire = nullptr;
        return 0;
    });
    programmer().clearWire();
    EXPECT_EQ(runProgram(), 0);
    // Detection at 9600 first (the reset left the programmer there), then the run.
    const Bytes sent = fromPc();
    ASSERT_GE(sent.size(), 6u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 6), (Bytes{0x06, 0x05, 0x04, 0x10, 0xEF, 0x06}));
    EXPECT_TRUE(host.com->Connected);
    EXPECT_EQ(log().back(), infoLine(kProgramCompleted));
}

}  // namespace
}  // namespace jqz::test
