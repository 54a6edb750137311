// The serial channel: opening with its configuration, the transfer calls and their
// time-outs, the DSR check and watcher, the reset pulse, the rate change, every message.
#include <cerrno>

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

}  // namespace
}  // namespace jqz::test
