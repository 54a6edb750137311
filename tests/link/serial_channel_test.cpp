// The serial channel: opening with its configuration, the transfer calls and their
// time-outs, the DSR check and watcher, the reset pulse, the rate change, every message.
#include <array>
#include <cerrno>
#include <functional>
#include <thread>

#include "core/link/port_enumeration.h"
#include "core/link/posix_serial_port.h"
#include "link_fixture.h"

namespace jqz::test {
namespace {

using Channel = LinkTest;

TEST_F(Channel, OpeningConfiguresThePortAndClearsItsBuffers) {
    channel();
    const LineSettings s = programmer().lastSettings();
    EXPECT_EQ(s.baudRate, 9600);
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.stopBits, 1);
    EXPECT_EQ(s.parity, Parity::None);
    EXPECT_FALSE(s.parityCheck);
    EXPECT_TRUE(s.outxCtsFlow);
    EXPECT_TRUE(s.outxDsrFlow);
    EXPECT_TRUE(s.dsrSensitivity);
    EXPECT_TRUE(s.dtrEnable);
    EXPECT_TRUE(s.rtsEnable);
    EXPECT_EQ(programmer().lastTimeouts(), (PortTimeouts{2000, 2000}));
    EXPECT_EQ(programmer().purges(), (std::vector<unsigned>{PURGE_RXCLEAR, PURGE_TXCLEAR}));
    channel_.reset();
    EXPECT_EQ(programmer().purges().back(), PURGE_RXABORT);
    EXPECT_FALSE(programmer().portOpen());
}

TEST_F(Channel, EachFailingOpeningStepHasItsMessage) {
    struct Case {
        sim::PortFaults faults;
        const char* message;
        bool portStaysOpen;
    };
    const Case cases[] = {
        {{.failGetSettings = true}, "Error opening port: Virtual Programmer", true},
        {{.failSetSettings = true}, "Error opening port: Virtual Programmer", true},
        {{.failPurge = true}, "PC too Programmer Communication Error.", true},
        {{.failTimeouts = true}, "Error setup Time Out Constant", true},
    };
    for (const auto& c : cases) {
        sim::VirtualProgrammer vp;
        vp.setPortFaults(c.faults);
        IO_DLL_R_W ch("Virtual Programmer", vp.opener());
        EXPECT_EQ(ch.TakeLastError(), c.message);
        EXPECT_EQ(vp.portOpen(), c.portStaysOpen);
    }
}

TEST_F(Channel, PortsThatDoNotOpen) {
    IO_DLL_R_W none("NO port detected", OpenSystemPort);
    EXPECT_EQ(none.TakeLastError(), "Error opening port: NO port detected");
    EXPECT_FALSE(none.isOpen());
    EXPECT_EQ(none.openError(), ENOENT);

    channel();  // the virtual programmer's port is in use now
    IO_DLL_R_W second("Virtual Programmer", programmer().opener());
    EXPECT_EQ(second.TakeLastError(), "Error opening port: Virtual Programmer");
    EXPECT_EQ(second.openError(), EBUSY);
    // Operations on a channel without a port fail with the channel's own messages.
    second.SetTimeouts(2);
    EXPECT_EQ(second.TakeLastError(), "Error setup Time Out Constant");
    EXPECT_FALSE(second.ProgrammerPresent());
    EXPECT_EQ(second.TakeLastError(), "Message72");
}

TEST_F(Channel, AdviceSaysWhyAPortDidNotOpen) {
    EXPECT_NE(PortOpenAdvice("/dev/ttyUSB0", EACCES).find("dialout"), std::string::npos);
    EXPECT_NE(PortOpenAdvice("/dev/ttyUSB0", EBUSY).find("in use by another program"),
              std::string::npos);
    EXPECT_NE(PortOpenAdvice("/dev/ttyUSB0", ENOENT).find("does not exist"), std::string::npos);
    EXPECT_EQ(PortOpenAdvice("/dev/ttyUSB0", 0), "");
}

TEST_F(Channel, WriteWithDsrOffTimesOutAndReceivedBytesAreDropped) {
    channel();
    programmer().setDsr(false);
    const std::uint8_t request = 0x06;
    channel().WriteBytes(&request, 1);
    EXPECT_EQ(channel().TakeLastError(), "Transmitter TimeOut Error.");
    EXPECT_TRUE(fromPc().empty());
    EXPECT_EQ(programmer().purges().back(), PURGE_TXCLEAR);
}

TEST_F(Channel, AShortReadLeavesTheRestOfTheBufferAsItWas) {
    sim::SimOptions o;
    o.faults.replyFaults.push_back({0x15, 1, 2, sim::ReplyFault::Truncate});
    programmer(o);
    const std::uint8_t request = 0x15;
    channel().WriteBytes(&request, 1);
    std::uint8_t buffer[3] = {0x11, 0x22, 0x33};
    channel().ReadBytes(buffer, 3);
    EXPECT_EQ(channel().TakeLastError(), "Receiver TimeOut Error.");
    EXPECT_EQ(buffer[0], 0xFF);
    EXPECT_EQ(buffer[1], 0xFF);
    EXPECT_EQ(buffer[2], 0x33);
}

TEST_F(Channel, TakeLastErrorClearsAndALaterErrorReplacesAnEarlierOne) {
    channel();
    std::uint8_t b = 0;
    channel().ReadBytes(&b, 1);
    programmer().setDsr(false);
    channel().WriteBytes(&b, 1);
    EXPECT_EQ(channel().TakeLastError(), "Transmitter TimeOut Error.");
    EXPECT_EQ(channel().TakeLastError(), "");
}

TEST_F(Channel, ProgrammerPresentFollowsDsrAndClearsAnEarlierError) {
    channel();
    std::uint8_t b = 0;
    channel().ReadBytes(&b, 1);
    EXPECT_TRUE(channel().ProgrammerPresent());
    EXPECT_EQ(channel().TakeLastError(), "");

    channel().ReadBytes(&b, 1);
    programmer().setDsr(false);
    EXPECT_FALSE(channel().ProgrammerPresent());
    EXPECT_EQ(channel().TakeLastError(), "Receiver TimeOut Error.");  // untouched

    programmer().setPortFaults({.failModemStatus = true});
    EXPECT_FALSE(channel().ProgrammerPresent());
    EXPECT_EQ(channel().TakeLastError(), "Message72");
}

TEST_F(Channel, WatcherClearsConnectedSoonAfterDsrGoesOffAndLeavesThePortOpen) {
    channel();
    connected = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(connected);
    const auto pulled = std::chrono::steady_clock::now();
    programmer().setDsr(false);
    ASSERT_TRUE(eventually([&] { return !connected; }));
    EXPECT_LT(std::chrono::steady_clock::now() - pulled, std::chrono::milliseconds(400));
    EXPECT_TRUE(programmer().portOpen());
}

TEST_F(Channel, WatcherKeepsTheLastStatusWhenReadingItFails) {
    channel();
    connected = true;
    programmer().setPortFaults({.failModemStatus = true});
    programmer().setDsr(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_TRUE(connected);  // the last status read said DSR on
}

TEST_F(Channel, ResetPurgesInOrderAndPulsesDtrForHalfASecond) {
    channel();
    const auto before = programmer().purges().size();
    channel().ResetProgrammer();
    const auto purges = programmer().purges();
    EXPECT_EQ(std::vector<unsigned>(purges.begin() + static_cast<long>(before), purges.end()),
              (std::vector<unsigned>{PURGE_RXABORT, PURGE_TXABORT, PURGE_TXCLEAR, PURGE_RXCLEAR}));
    const auto pulses = programmer().dtrPulses();
    ASSERT_EQ(pulses.size(), 1u);
    EXPECT_GE(pulses[0], 500);
    EXPECT_LT(pulses[0], 1000);
}

TEST_F(Channel, RateChangeKeepsEverythingElseAndReportsARefusal) {
    channel();
    channel().SetBaudRate(38400);
    EXPECT_EQ(channel().TakeLastError(), "");
    LineSettings s = programmer().lastSettings();
    EXPECT_EQ(s.baudRate, 38400);
    s.baudRate = 9600;
    LineSettings expected = s;
    channel().SetBaudRate(12345);  // the port has no such rate
    EXPECT_EQ(channel().TakeLastError(), "Error setup Baud Rate");
    EXPECT_EQ(programmer().lastSettings().baudRate, 38400);
    s = programmer().lastSettings();
    s.baudRate = 9600;
    EXPECT_EQ(s, expected);
}

// Waits for a programmer that went away or for a stop: the channel with its real time-outs
// (30 s for a block), a reply that never comes, and what ends the wait.
class Waits : public LinkTest {
protected:
    using Clock = std::chrono::steady_clock;
    void SetUp() override {
        sim::SimOptions o;
        o.faults.replyFaults = {{0x11, 1, 0, sim::ReplyFault::Truncate}};
        programmer(o).setTimeoutDivisor(1);
    }
    IO_DLL_R_W& open() {
        channel_ = std::make_unique<IO_DLL_R_W>("Virtual Programmer", programmer().opener(),
                                                &connected, &stop);
        EXPECT_EQ(channel_->TakeLastError(), "");
        return *channel_;
    }
    // Runs action after ms on another thread while a block read waits for its reply; how
    // long the read took.
    Clock::duration blockReadWith(int ms, const std::function<void()>& action) {
        std::thread other([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            action();
        });
        std::array<std::uint8_t, 129> buffer{};
        const auto start = Clock::now();
        channel_->ReadBlock(0xB600, buffer);
        const auto took = Clock::now() - start;
        other.join();
        return took;
    }
    std::atomic<bool> stop{false};
};

TEST_F(Waits, APulledCableEndsAWaitAtOnce) {
    IO_DLL_R_W& ch = open();
    ASSERT_TRUE(ch.ProgrammerPresent());
    const auto took = blockReadWith(100, [&] { programmer().setDsr(false); });
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(ch.TakeLastError(), "Receiver TimeOut Error.");
    EXPECT_TRUE(ch.ProgrammerLost());
    // A request to a programmer that is gone does not wait for DSR either.
    const auto start = Clock::now();
    ch.SelectDeviceType(7);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(ch.TakeLastError(), "Transmitter TimeOut Error.");
}

TEST_F(Waits, AProgrammerThatHoldsDsrOffFromTheStartIsWaitedFor) {
    programmer().setTimeoutDivisor(20);  // 2 s become 100 ms
    programmer().setDsr(false);
    IO_DLL_R_W& ch = open();
    const auto start = Clock::now();
    ch.SelectDeviceType(7);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(95));
    EXPECT_EQ(ch.TakeLastError(), "Transmitter TimeOut Error.");
}

TEST_F(Waits, AStopEndsAWaitOnASilentLine) {
    IO_DLL_R_W& ch = open();
    const auto took = blockReadWith(100, [&] { stop = true; });
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(ch.TakeLastError(), "Receiver TimeOut Error.");
}

TEST_F(Waits, AStopDoesNotCutATransferThatFlows) {
    // At 9600 baud the block's 129 bytes take 134 ms, one byte a millisecond.
    programmer().with([](sim::ProgrammerModel& m) {
        m.options().timing = true;
        m.options().faults = {};
        m.target(7)->memory[0xB605] = 0x42;
        return 0;
    });
    IO_DLL_R_W& ch = open();
    ch.SelectDeviceType(7);
    ch.LinkDevice();
    ASSERT_EQ(ch.TakeLastError(), "");
    stop = true;
    std::array<std::uint8_t, 129> buffer{};
    ch.ReadBlock(0xB600, buffer);
    EXPECT_EQ(ch.TakeLastError(), "");
    EXPECT_EQ(buffer[5], 0x42);
}

}  // namespace
}  // namespace jqz::test
