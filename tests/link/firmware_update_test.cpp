// The firmware update against the virtual programmer's loader: the frames on the wire, the
// answers, the gauge, the log, and the stop when the dialog closes.
#include "core/link/firmware_image.h"
#include "sequence_fixture.h"

namespace jqz::test {
namespace {

class Update : public SequenceTest {
public:
    sim::SimOptions serviceMode(const std::string& version = "VER-1.0") {
        sim::SimOptions o;
        o.serviceMode = true;
        o.version = version;
        return o;
    }
    // Starts the update and lets it run to its end, as Start in the dialog does; the dialog
    // then closes (the run asked for that), which runs the stop-and-wait.
    int runUpdate() {
        update.Start();
        const int result = update.WaitFor();
        EXPECT_EQ(host.ended(SequenceKind::FirmwareUpdate), 1);
        update.Stop();
        return result;
    }
    int framesSent() {
        int frames = 0;
        const Bytes sent = fromPc();
        for (std::size_t i = 0; i < sent.size();) {
            if (sent[i] == kFirmwareFrameByte && i + kFirmwareFrameSize <= sent.size()) {
                ++frames;
                i += kFirmwareFrameSize;
            } else {
                ++i;
            }
        }
        return frames;
    }
    // How often the gauge moved forward (or stayed at its end) with the update's maximum.
    int gaugeAdvances() {
        int advances = 0;
        int last = 0;
        for (const auto& [m, p] : host.gaugeChanges()) {
            if (m != kFirmwareBlockCount) continue;
            if (p > last || (p == last && p == m)) ++advances;
            last = p;
        }
        return advances;
    }
    // The mode switch on the programmer: it is off the line for a moment and restarts.
    void switchMode(bool service) {
        programmer().setDsr(false);
        ASSERT_TRUE(eventually([&] { return !host.com->Connected; }));
        programmer().with([service](sim::ProgrammerModel& m) {
            m.options().serviceMode = service;
            m.reset();
            return 0;
        });
        programmer().setDsr(true);
    }
    std::string identification() {
        return programmer().with([](sim::ProgrammerModel& m) { return m.identification(); });
    }
};

TEST_F(Update, AllBlocksAcknowledged) {
    programmer(serviceMode());
    connect();
    EXPECT_EQ(runUpdate(), 0);
    EXPECT_EQ(log(), (Lines{infoLine(kUpdateInProgress), infoLine(kUpdateComplete)}));
    // The mode request, then 89 frames: D5 and the block as it stands in the image.
    Bytes expected{0x05};
    const auto& image = CurrentFirmwareImage();
    for (int n = 0; n < kFirmwareBlockCount; ++n) {
        expected.push_back(kFirmwareFrameByte);
        expected.insert(expected.end(), image.begin() + n * kFirmwareBlockSize,
                        image.begin() + (n + 1) * kFirmwareBlockSize);
    }
    EXPECT_EQ(fromPc(), expected);
    EXPECT_EQ(programmer().bytesToPc().size(), 8u + 89u);
    EXPECT_EQ(gaugeAdvances(), 89);
    EXPECT_EQ(host.gaugeModel.maximum(), 89);
    EXPECT_EQ(host.gaugeModel.position(), 0);
    EXPECT_TRUE(host.com->Idle);
    EXPECT_TRUE(host.com->Connected);
    EXPECT_EQ(identification(), "MC68HC(7)11 Programmer VER-1.1");
}

TEST_F(Update, AWrongAnswerSendsTheBlockAgain) {
    auto o = serviceMode();
    o.faults.wrongAcks[17] = 1;
    programmer(o);
    connect();
    EXPECT_EQ(runUpdate(), 0);
    EXPECT_EQ(framesSent(), 90);
    EXPECT_EQ(gaugeAdvances(), 90);  // retransmissions count; the display stops at its end
    EXPECT_EQ(log(), (Lines{infoLine(kUpdateInProgress), infoLine(kUpdateComplete)}));
    EXPECT_EQ(identification(), "MC68HC(7)11 Programmer VER-1.1");
}

struct UpdateFault {
    const char* name;
    std::function<void(sim::SimOptions&)> faults;
    bool dsrOff;  // the cable is pulled before the connection is made
    Lines lines;  // before "Firmware Update Interrupted."
    bool framesGoOut;
};

class UpdateFaults : public Update, public ::testing::WithParamInterface<UpdateFault> {};

TEST_P(UpdateFaults, EndWithTheDialogSayingInterrupted) {
    const UpdateFault& c = GetParam();
    auto o = serviceMode();
    c.faults(o);
    programmer(o);
    if (c.dsrOff) programmer().setDsr(false);
    connect();
    EXPECT_EQ(runUpdate(), 1);
    EXPECT_EQ(log(), (c.lines + Lines{infoLine(kUpdateInterrupted)}));
    EXPECT_EQ(framesSent() > 0, c.framesGoOut);
    EXPECT_FALSE(host.com->Connected);
    EXPECT_TRUE(host.com->Idle);
    EXPECT_EQ(host.gaugeModel.position(), 0);
    EXPECT_EQ(programmer().with([](sim::ProgrammerModel& m) { return m.version(); }), "VER-1.0");
}

INSTANTIATE_TEST_SUITE_P(
    Failures, UpdateFaults,
    ::testing::Values(
        UpdateFault{"WorkMode", [](sim::SimOptions& o) { o.serviceMode = false; }, false,
                    {errorLine("Programmer must be in Service mode ")}, false},
        UpdateFault{"NoProgrammer", [](sim::SimOptions&) {}, true,
                    {errorLine("MC68HC(7)11 Programmer not found.")}, false},
        UpdateFault{"ModeUnanswered",
                    [](sim::SimOptions& o) {
                        o.faults.replyFaults = {{0x05, 2, 3, sim::ReplyFault::Truncate}};
                    },
                    false,
                    {errorLine("Receiver TimeOut Error.")}, false},
        UpdateFault{"NoAnswerToAFrame",
                    [](sim::SimOptions& o) {
                        o.faults.replyFaults = {{kFirmwareFrameByte, 5, 0, sim::ReplyFault::Drop}};
                    },
                    false,
                    {infoLine(kUpdateInProgress), errorLine("Receiver TimeOut Error.")}, true},
        UpdateFault{"DsrLostInTheTransfer",
                    [](sim::SimOptions& o) { o.faults.dsrDropAfterBytes = 3 + 131 * 3; }, false,
                    {infoLine(kUpdateInProgress), errorLine("Receiver TimeOut Error.")}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Update, CancelDuringTheTransfer) {
    programmer(serviceMode());
    connect();
    // The request comes with the first byte of the tenth frame (after the mode request).
    stopAfter(Bytes(1 + 9 * kFirmwareFrameSize), [this] { update.RequestStop(); });
    update.Start();
    update.WaitFor();
    update.Stop();
    EXPECT_EQ(framesSent(), 10);  // the block in flight is finished
    EXPECT_EQ(log(), (Lines{infoLine(kUpdateInProgress), infoLine(kUpdateInterrupted)}));
    EXPECT_FALSE(host.com->Connected);
    EXPECT_TRUE(host.com->Idle);
}

// The whole story: old firmware is refused by the sequences, updated in Service mode, and
// identifies with the new version afterwards.
TEST_F(Update, OldFirmwareIsRefusedThenUpdated) {
    sim::SimOptions o;
    o.version = "VER-1.0";
    programmer(o);
    selectDevice(kE9);
    connect();
    EXPECT_EQ(runProgram(), 1);
    EXPECT_EQ(runRead(), 1);
    EXPECT_EQ(log(), (Lines{errorLine(kWrongFirmwareVersion), errorLine(kWrongFirmwareVersion)}));

    // The user switches the programmer into Service mode, which restarts it.
    switchMode(true);
    EXPECT_EQ(runUpdate(), 0);
    EXPECT_EQ(log().back(), infoLine(kUpdateComplete));

    // Back in WORK mode: the sequences go through.
    switchMode(false);
    programmer().clearWire();
    host.opts.ReadEepromOn = true;
    EXPECT_EQ(runRead(), 0);
    EXPECT_EQ(log().back(), infoLine(kReadCompleted));
    EXPECT_EQ(identification(), "MC68HC(7)11 Programmer VER-1.1");
}

}  // namespace
}  // namespace jqz::test
