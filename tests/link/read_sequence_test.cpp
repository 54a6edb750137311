// The read sequence against the in-process virtual programmer: the ranges it asks for, what
// lands in the image (and what does not), the gauge, and how every run ends.
#include "sequence_fixture.h"

namespace jqz::test {
namespace {

Lines linked(const std::string& summary) {
    Lines lines = {infoLine("Linking Device ..."), infoLine(kReadInProgress)};
    if (!summary.empty()) lines.push_back(infoLine(summary));
    lines.push_back(infoLine("In-Circuit Programming Interface. "));
    return lines;
}

std::uint8_t pattern(int a) { return static_cast<std::uint8_t>(a * 5 + 1); }

// The figures, as zlib and a byte sum give them, of an EEPROM at 0xB600-0xB7FF that holds the
// pattern.
const std::string kPatternFigures = "EEPROM 0xB600-0xB7FF: sum 0xFF00, CRC-32 0xA57DDCF2";

Bytes readRange(int first, int last) {
    Bytes all;
    for (int a = first; a <= last; a += 128) all = req::cat({all, req::readBlock(a)});
    return all;
}

class ReadSequence : public SequenceTest {
public:
    void select(bool eeprom, bool flash, bool rom) {
        host.opts.ReadEepromOn = eeprom;
        host.opts.ReadFlashOn = flash;
        host.opts.ReadRomOn = rom;
    }
    // A target EEPROM that holds the pattern.
    void fillTargetEeprom() {
        programmer().with([this](sim::ProgrammerModel& m) {
            sim::TargetMcu* t = m.target(host.deviceList.deviceType);
            for (int a = t->entry().eepromStart; a <= t->entry().eepromEnd; ++a) t->memory[a] = pattern(a);
            return 0;
        });
    }
    Bytes linkBytes(std::uint8_t type) {
        return req::cat({req::checksAndLink(0, type), req::interfaceAndId()});
    }
    // The image with the cells from..to replaced by the target's contents.
    std::vector<std::uint8_t> withTarget(std::vector<std::uint8_t> image, int from, int to) {
        const auto t = targetData(from, to);
        std::copy(t.begin(), t.end(), image.begin() + from);
        return image;
    }
    void stopAfter(const Bytes& before) {
        SequenceTest::stopAfter(before, [this] { reader.RequestStop(); });
    }
};

TEST_F(ReadSequence, EepromOfAnE9WithItsConfigRegister) {
    selectDevice(kE9);
    select(true, false, false);
    connect();
    fillTargetEeprom();
    const auto before = allData();
    EXPECT_EQ(runRead(), 0);
    EXPECT_EQ(log(), (linked("EEPROM  selected.") +
                      Lines{infoLine(kPatternFigures), infoLine(kReadCompleted)}));
    EXPECT_EQ(fromPc(), req::cat({linkBytes(7), readRange(0xB600, 0xB7FF), req::readByte(0x103F),
                                  req::powerOff()}));
    auto expected = withTarget(before, 0xB600, 0xB7FF);
    expected[0x103F] = sim::kSimConfigDefault;
    EXPECT_EQ(allData(), expected);
    // The gauge counts stored bytes against a maximum of the last address minus the first.
    std::vector<int> gauge;
    for (int p = 0; p <= 511; ++p) gauge.push_back(p);
    gauge.push_back(0);
    EXPECT_EQ(gaugePositions(511), gauge);
    EXPECT_FALSE(host.model.image.IsBulk());
    expectCommonEnd(SequenceKind::Read);
}

struct RangeCase {
    const char* name;
    const char* device;
    std::uint8_t type;
    bool eeprom, flash, rom;
    std::vector<std::pair<int, int>> ranges;  // read in this order
    int gaugeMaximum;
    const char* summary;
};

class ReadRanges : public ReadSequence, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(ReadRanges, AreReadInOrderAndStoredWithinTheirBounds) {
    const RangeCase& c = GetParam();
    selectDevice(c.device);
    select(c.eeprom, c.flash, c.rom);
    // Cells just past the BOOT ROM made part of the image: a block reaching past its range
    // must still not store there.
    for (int a = 0xC000; a <= 0xC03F; ++a) {
        host.model.image.SetUnimplemented(a, false);
        host.model.image.WriteData(a, 0x11);
    }
    connect();
    const auto before = allData();
    EXPECT_EQ(runRead(), 0);
    Bytes wire = linkBytes(c.type);
    auto expected = before;
    for (const auto& [first, last] : c.ranges) {
        wire = req::cat({wire, readRange(first, last)});
        expected = withTarget(expected, first, last);
    }
    EXPECT_EQ(fromPc(), req::cat({wire, req::powerOff()}));
    EXPECT_EQ(allData(), expected);
    // Full from the last byte on, and back at 0.
    const std::vector<int> gauge = gaugePositions(c.gaugeMaximum);
    ASSERT_GE(gauge.size(), 2u);
    EXPECT_EQ(gauge[gauge.size() - 2], c.gaugeMaximum);
    EXPECT_EQ(gauge.back(), 0);
    EXPECT_EQ(log(), (linked(c.summary) + Lines{infoLine(kReadCompleted)}));
    expectCommonEnd(SequenceKind::Read);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, ReadRanges,
    ::testing::Values(
        RangeCase{"E20RomAreaOneBeforeAreaTwo", kE20, 5, false, true, false,
                  {{0xD000, 0xFFFF}, {0x9000, 0xAFFF}}, (0xFFFF - 0xD000) + (0xAFFF - 0x9000),
                  "EPROM/ROM  selected."},
        RangeCase{"E9RomHasOnlyAreaOne", kE9, 7, false, true, false, {{0xD000, 0xFFFF}},
                  0xFFFF - 0xD000, "EPROM/ROM  selected."},
        RangeCase{"A8BootRomEndsInsideItsSecondBlock", kA8, 6, false, false, true,
                  {{0xBF40, 0xBFFF}}, 0xBFFF - 0xBF40, "BOOT ROM  selected."},
        RangeCase{"K1BootRom", "MC68HC11  K1 (2D58N)", 10, false, false, true, {{0xBE00, 0xBFFF}},
                  0xBFFF - 0xBE00, "BOOT ROM  selected."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReadSequence, EverythingOfAnE20) {
    selectDevice(kE20);
    select(true, true, true);
    connect();
    fillTargetEeprom();
    EXPECT_EQ(runRead(), 0);
    EXPECT_EQ(log(), (linked("EEPROM  EPROM/ROM  BOOT ROM  selected.") +
                      Lines{infoLine(kPatternFigures), infoLine(kReadCompleted)}));
    EXPECT_EQ(fromPc(), req::cat({linkBytes(5), readRange(0xB600, 0xB7FF), req::readByte(0x103F),
                                  readRange(0xD000, 0xFFFF), readRange(0x9000, 0xAFFF),
                                  readRange(0xBF00, 0xBFFF), req::powerOff()}));
    EXPECT_EQ(imageData(0xB600, 0xB7FF), targetData(0xB600, 0xB7FF));
    EXPECT_EQ(imageData(0x9000, 0xAFFF), targetData(0x9000, 0xAFFF));
    EXPECT_EQ(imageData(0xBF00, 0xFFFF), targetData(0xBF00, 0xFFFF));
}

TEST_F(ReadSequence, NothingSelectedStillEndsTheBulkMode) {
    selectDevice(kE9);
    // An edit the user made: edited colour, one undo step.
    host.model.undo.BeginGroup();
    host.model.undo.Push(0xB610);
    host.model.image.WriteData(0xB610, 0x42);
    host.model.undo.EndGroup();
    ASSERT_FALSE(host.model.image.IsUndoEmpty());
    ASSERT_EQ(host.model.image.CellColor(0xB610), host.model.image.EditedColor());
    connect();
    const auto before = allData();
    EXPECT_EQ(runRead(), 0);
    EXPECT_EQ(log(), (linked("") + Lines{infoLine(kReadCompleted)}));
    EXPECT_EQ(fromPc(), req::cat({linkBytes(7), req::powerOff()}));
    EXPECT_EQ(allData(), before);
    EXPECT_TRUE(host.model.image.IsUndoEmpty());
    EXPECT_EQ(host.model.image.CellColor(0xB610), host.model.image.WorkColor());
}

TEST_F(ReadSequence, AnEarlyEndKeepsTheUndoHistoryButRecolours) {
    // No device: the run ends before the bulk mode began.
    host.model.undo.BeginGroup();
    host.model.undo.Push(0x0100);
    host.model.image.WriteData(0x0100, 0x42);
    host.model.undo.EndGroup();
    connect();
    const auto before = allData();
    EXPECT_EQ(runRead(), 1);
    EXPECT_EQ(log(), (Lines{errorLine("Select Device first")}));
    EXPECT_EQ(allData(), before);
    EXPECT_FALSE(host.model.image.IsUndoEmpty());
    EXPECT_EQ(host.model.image.CellColor(0x0100), host.model.image.WorkColor());
    expectCommonEnd(SequenceKind::Read);
}

TEST_F(ReadSequence, ReadOnlyCellsAreWrittenAndStayReadOnly) {
    selectDevice(kE9);
    select(true, false, false);
    host.model.image.SetReadOnly(0xB605, true);
    connect();
    fillTargetEeprom();
    EXPECT_EQ(runRead(), 0);
    EXPECT_EQ(host.model.image.ReadData(0xB605), pattern(0xB605));
    EXPECT_TRUE(host.model.image.IsReadOnly(0xB605));
}

// Runs that end on a fault: the lines, and an image that holds what was read so far and
// nothing else.
struct ReadFault {
    const char* name;
    std::function<void(sim::SimOptions&)> faults;
    Lines tail;         // after the lines of a linked run, or the whole log when not linked
    bool linked;
    int storedTo;       // the last EEPROM address stored, or 0 for none
    bool configStored;
};

class ReadFaults : public ReadSequence, public ::testing::WithParamInterface<ReadFault> {};

TEST_P(ReadFaults, EndTheRunAndLeaveTheRestOfTheImage) {
    const ReadFault& c = GetParam();
    sim::SimOptions o;
    c.faults(o);
    programmer(o);
    selectDevice(kE9);
    select(true, true, false);
    connect();
    fillTargetEeprom();
    const auto before = allData();
    EXPECT_EQ(runRead(), 1);
    EXPECT_EQ(log(), (c.linked ? linked("EEPROM  EPROM/ROM  selected.") + c.tail : c.tail));
    auto expected = before;
    if (c.storedTo != 0) expected = withTarget(expected, 0xB600, c.storedTo);
    if (c.configStored) expected[0x103F] = sim::kSimConfigDefault;
    EXPECT_EQ(allData(), expected);
    EXPECT_FALSE(host.model.image.IsBulk());
    expectCommonEnd(SequenceKind::Read);
}

// Commands after the detection: 5..11 checks and linking, 12..15 the EEPROM blocks, 16 the
// CONFIG byte, 17.. the ROM blocks.
INSTANTIATE_TEST_SUITE_P(
    Failures, ReadFaults,
    ::testing::Values(
        ReadFault{"OldFirmware", [](sim::SimOptions& o) { o.version = "VER-1.0"; },
                  {errorLine(kWrongFirmwareVersion)}, false, 0, false},
        ReadFault{"ServiceMode", [](sim::SimOptions& o) { o.serviceMode = true; },
                  {errorLine("Programmer must be in WORK mode.")}, false, 0, false},
        ReadFault{"SecuredDeviceStaysSecured",
                  [](sim::SimOptions& o) { o.faults.statusForCommand = {{9, 15}}; },
                  {infoLine("Linking Device ..."), errorLine("Error: Device Still Secured")}, false, 0, false},
        ReadFault{"BlockCorruptedMidRange",
                  [](sim::SimOptions& o) {
                      o.faults.replyFaults = {{0x11, 3, 40, sim::ReplyFault::Corrupt}};
                  },
                  {errorLine("PC too Programmer Communication Error.")}, true, 0xB6FF, false},
        ReadFault{"BlockStatusMidRange",
                  [](sim::SimOptions& o) { o.faults.statusForCommand = {{14, 13}}; },
                  {errorLine("Error: Programmer to MCU Communication error")}, true, 0xB6FF, false},
        ReadFault{"ConfigByteUnanswered",
                  [](sim::SimOptions& o) {
                      o.faults.replyFaults = {{0x10, 1, 1, sim::ReplyFault::Truncate}};
                  },
                  {errorLine("Receiver TimeOut Error.")}, true, 0xB7FF, false},
        ReadFault{"RomBlockTimesOut",
                  [](sim::SimOptions& o) {
                      o.faults.replyFaults = {{0x11, 5, 100, sim::ReplyFault::Truncate}};
                  },
                  {errorLine("Receiver TimeOut Error.")}, true, 0xB7FF, true},
        // The pattern puts block B680's check byte (BF) at B726: with that byte lost, the
        // bytes of block B700 that came, and the old check byte behind them, pass the sum
        // check.
        ReadFault{"BlockLostTheByteThatMatchesTheOldCheck",
                  [](sim::SimOptions& o) {
                      o.faults.replyFaults = {{0x11, 3, 0x26, sim::ReplyFault::Drop}};
                  },
                  {errorLine("Receiver TimeOut Error.")}, true, 0xB6FF, false},
        ReadFault{"DsrLostInTheEeprom",
                  [](sim::SimOptions& o) { o.faults.dsrDropAfterBytes = 30; },
                  {errorLine("Receiver TimeOut Error."), errorLine(kProgrammerLost)}, true, 0xB67F, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReadSequence, AStopInTheEepromStillReadsTheConfigRegister) {
    selectDevice(kE9);
    select(true, true, true);
    connect();
    fillTargetEeprom();
    const auto before = allData();
    stopAfter(req::cat({linkBytes(7), readRange(0xB600, 0xB67F)}));
    reader.Start();
    reader.WaitFor();
    reader.Stop();
    EXPECT_EQ(fromPc(), req::cat({linkBytes(7), readRange(0xB600, 0xB6FF), req::readByte(0x103F)}));
    EXPECT_EQ(log(), (linked("EEPROM  EPROM/ROM  BOOT ROM  selected.") + Lines{infoLine(kReadInterrupted)}));
    auto expected = withTarget(before, 0xB600, 0xB6FF);
    expected[0x103F] = sim::kSimConfigDefault;
    EXPECT_EQ(allData(), expected);
    EXPECT_EQ(programmer().dtrPulses().size(), 1u);
    EXPECT_FALSE(host.com->Connected);
    expectCommonEnd(SequenceKind::Read);
}

TEST_F(ReadSequence, AStopInTheRomLeavesTheBootRom) {
    selectDevice(kE9);
    select(false, true, true);
    connect();
    stopAfter(req::cat({linkBytes(7), readRange(0xD000, 0xD0FF)}));
    reader.Start();
    reader.WaitFor();
    reader.Stop();
    EXPECT_EQ(fromPc(), req::cat({linkBytes(7), readRange(0xD000, 0xD17F)}));
    EXPECT_EQ(log(), (linked("EPROM/ROM  BOOT ROM  selected.") + Lines{infoLine(kReadInterrupted)}));
    EXPECT_EQ(imageData(0xD000, 0xD17F), targetData(0xD000, 0xD17F));
    EXPECT_EQ(imageData(0xBF00, 0xBFFF), Bytes(256, 0xFF));
}

TEST_F(ReadSequence, AStopEndsTheWaitForABlockThatDoesNotCome) {
    sim::SimOptions o;
    o.faults.replyFaults = {{0x11, 2, 0, sim::ReplyFault::Truncate}};
    programmer(o);
    selectDevice(kE9);
    select(true, false, false);
    connect();
    fillTargetEeprom();
    const auto before = allData();
    programmer().setTimeoutDivisor(1);  // the block's real 30 s
    stopAfter(req::cat({linkBytes(7), readRange(0xB600, 0xB67F)}));
    const auto start = std::chrono::steady_clock::now();
    reader.Start();
    reader.WaitFor();
    reader.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // The failed wait is the stop's doing: no error line, only the interrupted one.
    EXPECT_EQ(log(), (linked("EEPROM  selected.") + Lines{infoLine(kReadInterrupted)}));
    EXPECT_EQ(allData(), withTarget(before, 0xB600, 0xB67F));
    expectCommonEnd(SequenceKind::Read);
}

}  // namespace
}  // namespace jqz::test
