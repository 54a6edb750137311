// The connection: detection step by step, the rate switch, the flags, and what freeing the
// connection sends.
#include "core/link/connection.h"
#include "core/link/port_enumeration.h"
#include "core/link/posix_serial_port.h"
#include "link_fixture.h"

namespace jqz::test {
namespace {

class Connection : public ::testing::Test {
protected:
    sim::VirtualProgrammer& programmer(sim::SimOptions options = {}) {
        vp_ = std::make_unique<sim::VirtualProgrammer>(std::move(options));
        vp_->setTimeoutDivisor(kTimeoutDivisor);
        return *vp_;
    }
    std::unique_ptr<COM> connect(int rate) {
        return std::make_unique<COM>("Virtual Programmer", rate, vp_->opener());
    }
    std::unique_ptr<sim::VirtualProgrammer> vp_;
};

const Bytes kIdRequest{0x06}, kModeRequest{0x05};

// The PC's bytes with the rate each went at.
std::vector<std::pair<std::uint8_t, int>> pcBytes(sim::VirtualProgrammer& vp) {
    std::vector<std::pair<std::uint8_t, int>> r;
    for (const auto& w : vp.wire())
        if (w.fromPc) r.emplace_back(w.value, w.rate);
    return r;
}

TEST_F(Connection, DetectionInWorkModeSwitchesToTheWorkingRate) {
    programmer();
    auto com = connect(57600);
    EXPECT_EQ(com->ResultText, "MC68HC(7)11 Programmer VER-1.1 detected !");
    EXPECT_TRUE(com->Connected);
    EXPECT_TRUE(com->Idle);
    const std::vector<std::pair<std::uint8_t, int>> expected = {
        {0x06, 9600}, {0x05, 9600}, {0x04, 9600}, {0x10, 9600}, {0xEF, 9600}, {0x06, 57600}};
    EXPECT_EQ(pcBytes(*vp_), expected);
    EXPECT_EQ(vp_->lastSettings().baudRate, 57600);
    ASSERT_NE(com->channel(), nullptr);
    EXPECT_EQ(com->channel()->ReadIdentification(), "MC68HC(7)11 Programmer VER-1.1");
}

TEST_F(Connection, ServiceModeStaysAtNineThousandSixHundred) {
    sim::SimOptions o;
    o.serviceMode = true;
    o.version = "VER-1.0";
    programmer(o);
    auto com = connect(57600);
    EXPECT_EQ(com->ResultText, "MC68HC(7)11 Programmer VER-1.0 detected !");
    EXPECT_TRUE(com->Connected);
    EXPECT_EQ(vp_->bytesFromPc(), (Bytes{0x06, 0x05}));
    EXPECT_EQ(vp_->lastSettings().baudRate, 9600);
}

TEST_F(Connection, RatesOtherThanTheFourSendNoRateCommand) {
    for (int rate : {9600, 12345}) {
        programmer();
        auto com = connect(rate);
        EXPECT_TRUE(com->Connected);
        EXPECT_EQ(vp_->bytesFromPc(), (Bytes{0x06, 0x05, 0x06}));
        EXPECT_EQ(vp_->lastSettings().baudRate, 9600);
        com.reset();
    }
}

TEST_F(Connection, ForeignDeviceIsNotConnectedAndThePortIsLetGo) {
    sim::SimOptions o;
    o.identification = "ACME EPROM Burner 2000";
    programmer(o);
    auto com = connect(9600);
    EXPECT_EQ(com->ResultText, "MC68HC(7)11 Programmer not found.");
    EXPECT_FALSE(com->Connected);
    EXPECT_TRUE(com->Idle);
    EXPECT_EQ(com->channel(), nullptr);
    EXPECT_FALSE(vp_->portOpen());
    // ... so that a new detection on the same port can open it.
    vp_->with([](sim::ProgrammerModel& m) { return m.options().identification = ""; });
    com->Detect();
    EXPECT_TRUE(com->Connected);
}

// A reply with the name further in is no identification (a late answer shifted it along):
// the question is asked once more, and a reply that still is not one is not connected.
TEST_F(Connection, OnlyAReplyThatStartsWithTheNameIdentifies) {
    sim::SimOptions o;
    o.identification = std::string("\x00\xFF", 2) + "MC68HC(7)11 Programmer VER-1.1";
    programmer(o);
    auto com = connect(9600);
    EXPECT_EQ(com->ResultText, "MC68HC(7)11 Programmer not found.");
    EXPECT_FALSE(com->Connected);
    EXPECT_EQ(vp_->bytesFromPc(), (Bytes{0x06, 0x06}));
}

// The cable pulled while the programmer is asked who it is: the failure, then plain words.
TEST_F(Connection, ACablePulledDuringDetectionIsSaidSo) {
    struct Case {
        long afterBytes;
        int rate;
        const char* text;
    };
    for (const Case& c : {Case{1, 9600, "Receiver TimeOut Error."},
                          Case{2, 9600, "Receiver TimeOut Error."},
                          Case{5, 19200, "Transmitter TimeOut Error."}}) {
        sim::SimOptions o;
        o.faults.dsrDropAfterBytes = c.afterBytes;
        programmer(o);
        auto com = connect(c.rate);
        EXPECT_EQ(com->ResultText, c.text) << c.afterBytes;
        EXPECT_EQ(com->ResultAdvice, kProgrammerLost) << c.afterBytes;
    }
}

TEST_F(Connection, NoDsrMeansNotFoundAndNoChannel) {
    programmer().setDsr(false);
    auto com = connect(9600);
    EXPECT_EQ(com->ResultText, "MC68HC(7)11 Programmer not found.");
    EXPECT_FALSE(com->Connected);
    EXPECT_EQ(com->channel(), nullptr);
    EXPECT_FALSE(vp_->portOpen());
    EXPECT_TRUE(vp_->bytesFromPc().empty());
}

TEST_F(Connection, APortThatDoesNotOpenLeavesNoChannelAndSaysWhy) {
    COM com("/dev/ttyUSB-no-such-port", 9600, OpenSystemPort);
    EXPECT_EQ(com.ResultText, "Error opening port: /dev/ttyUSB-no-such-port");
    EXPECT_NE(com.ResultAdvice.find("does not exist"), std::string::npos);
    EXPECT_FALSE(com.Connected);
    EXPECT_TRUE(com.Idle);
    EXPECT_EQ(com.channel(), nullptr);

    programmer();
    auto holder = vp_->open();  // another program holds the port
    auto busy = connect(9600);
    EXPECT_EQ(busy->ResultText, "Error opening port: Virtual Programmer");
    EXPECT_NE(busy->ResultAdvice.find("in use"), std::string::npos);
}

TEST_F(Connection, ErrorsBeforeAndAfterTheIdentification) {
    struct Case {
        sim::ReplyFault fault;
        const char* result;
        bool connected;
    };
    const Case cases[] = {
        // no identification at all
        {{0x06, 1, 0, sim::ReplyFault::Truncate}, "Receiver TimeOut Error.", false},
        // no mode: failure after the identification
        {{0x05, 1, 3, sim::ReplyFault::Truncate}, "Receiver TimeOut Error.", false},
        // the identification after the rate switch is short
        {{0x06, 2, 5, sim::ReplyFault::Truncate}, "Receiver TimeOut Error.", false},
        // ... or garbled: the connection stays marked connected
        {{0x06, 2, 0, sim::ReplyFault::Corrupt}, "Error setup Baud Rate", true},
    };
    for (const auto& c : cases) {
        sim::SimOptions o;
        o.faults.replyFaults = {c.fault};
        programmer(o);
        auto com = connect(19200);
        EXPECT_EQ(com->ResultText, c.result);
        EXPECT_EQ(com->Connected, c.connected);
        EXPECT_TRUE(com->Idle);
        EXPECT_EQ(com->channel() != nullptr, c.connected);
        com.reset();
    }
}

TEST_F(Connection, BytesAtTheWrongRateAreLost) {
    programmer();
    auto com = connect(38400);
    ASSERT_TRUE(com->Connected);
    com->channel()->SetBaudRate(9600);  // the PC back at 9600, the programmer at 38400
    EXPECT_EQ(com->channel()->ReadIdentification(), "");  // nothing came
    EXPECT_EQ(com->channel()->TakeLastError(), "Receiver TimeOut Error.");
    EXPECT_TRUE(vp_->wire().back().lost);
}

TEST_F(Connection, DetectDoesNothingWhileConnectedAndReopensOtherwise) {
    programmer();
    auto com = connect(9600);
    vp_->clearWire();
    com->Detect();
    EXPECT_TRUE(vp_->bytesFromPc().empty());
    com->Connected = false;  // e.g. the watcher saw DSR off
    const auto start = std::chrono::steady_clock::now();
    com->Detect();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    EXPECT_TRUE(com->Connected);
    EXPECT_EQ(vp_->bytesFromPc(), (Bytes{0x06, 0x05, 0x06}));
}

TEST_F(Connection, WatcherMarksTheConnectionLost) {
    programmer();
    auto com = connect(9600);
    vp_->setDsr(false);
    EXPECT_TRUE(eventually([&] { return !com->Connected; }));
    EXPECT_NE(com->channel(), nullptr);
}

TEST_F(Connection, FreeingAConnectedConnectionPowersTheTargetOff) {
    programmer();
    auto com = connect(57600);
    vp_->clearWire();
    com.reset();
    const std::string powerOff("\x09POWER OFF", 10);
    Bytes expected(powerOff.begin(), powerOff.end());
    expected.insert(expected.end(), {0x00, 0x02});
    EXPECT_EQ(vp_->bytesFromPc(), expected);
    EXPECT_EQ(vp_->bytesToPc(), (Bytes{0x00, 0xFF}));
    EXPECT_FALSE(vp_->portOpen());
}

TEST_F(Connection, FreeingWithoutProgrammerSendsNothing) {
    programmer();
    auto com = connect(9600);
    vp_->setDsr(false);
    ASSERT_TRUE(eventually([&] { return !com->Connected; }));
    vp_->clearWire();
    com.reset();
    EXPECT_TRUE(vp_->wire().empty());
    EXPECT_FALSE(vp_->portOpen());

    // Connected flag still set (no watcher tick yet) but DSR off: no PowerOff either.
    programmer();
    com = connect(9600);
    vp_->setDsr(false);
    vp_->clearWire();
    com.reset();
    EXPECT_TRUE(vp_->wire().empty());
}

TEST_F(Connection, DetectionFromAWorkerThread) {
    programmer();
    auto com = connect(9600);
    com->Connected = false;
    std::thread worker([&] { com->Detect(); });
    // The user-interface thread only reads the flags meanwhile.
    while (!com->Idle) std::this_thread::yield();
    worker.join();
    EXPECT_TRUE(com->Connected);
}

}  // namespace
}  // namespace jqz::test

namespace jqz::test {
namespace {

TEST(ReplaceConnection, FreesTheOldOneThenDetectsOnTheChoice) {
    sim::VirtualProgrammer vp;
    vp.setTimeoutDivisor(kTimeoutDivisor);
    auto current = std::make_unique<COM>("Virtual Programmer", 9600, vp.opener());
    ASSERT_TRUE(current->Connected);
    vp.clearWire();
    ReplaceConnection(current, std::string("Virtual Programmer"), 38400, vp.opener());
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->BaudRate, 38400);
    EXPECT_EQ(current->ResultText, "MC68HC(7)11 Programmer VER-1.1 detected !");
    const Bytes sent = vp.bytesFromPc();
    ASSERT_GE(sent.size(), 12u);
    EXPECT_EQ(sent[0], 0x09);  // the old connection powered the target off first
    EXPECT_EQ(Bytes(sent.begin() + 12, sent.end()), (Bytes{0x06, 0x05, 0x04, 0x19, 0xE6, 0x06}));
}

TEST(ReplaceConnection, NothingChosenKeepsPortAndRate) {
    sim::VirtualProgrammer vp;
    vp.setTimeoutDivisor(kTimeoutDivisor);
    auto current = std::make_unique<COM>("Virtual Programmer", 19200, vp.opener());
    ReplaceConnection(current, std::nullopt, std::nullopt, vp.opener());
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->PortName, "Virtual Programmer");
    EXPECT_EQ(current->BaudRate, 19200);
    EXPECT_TRUE(current->Connected);
    ReplaceConnection(current, std::string("/dev/jqz-no-such-port"), std::nullopt, OpenSystemPort);
    EXPECT_EQ(current->ResultText, "Error opening port: /dev/jqz-no-such-port");
    EXPECT_EQ(current->BaudRate, 19200);
}

}  // namespace
}  // namespace jqz::test
