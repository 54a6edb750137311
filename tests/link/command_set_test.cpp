// The programmer's command set against the virtual programmer: bytes on the wire, checks,
// time-outs, status texts, the pin-tester report and the reply texts.
#include <algorithm>
#include <map>
#include <memory>

#include "link_fixture.h"

namespace jqz::test {
namespace {

using Commands = LinkTest;

const char* const kStatusTexts[] = {
    "",
    "Error: Power Supply voltage grater",
    "Error: Power Supply voltage lower",
    "Error: Overcurrent protection",
    "Error: WRONG SUBROUTINE CALL",
    "PC too Programmer Communication Error",
    "Error: WRONG DEVICE TYPE",
    "Error: No ECLK Pulse Detected. Check EXTAL Pin connection.",
    "Error: Wrong Adapter Selected",
    "Error: External Power Supply Present",
    "Unknoun Pin Tester Error",
    "Error: No Echo from MCU",
    "Error: Monitor Check sum Error",
    "Error: Programmer to MCU Communication error",
    "Error: Programming/Erasing Error",
    "Error: Device Still Secured",
    "Error: Reset Pin 'Low'",
    "Error: Reset Pin 'High'",
    "Error: External Reset Occurs",
    "Error: MODA Pin 'High'",
    "Error: MODB Pin 'High'",
    "Error: Pintester Error: RxD Pin",
    "Error: Pintester Error: TxD Pin",
    "Error: MCU Bus Frequency too Low",
    "Unknoun Error",
    "Unknoun Error",
};

TEST_F(Commands, EveryStatusCodeGivesItsText) {
    sim::SimOptions o;
    for (int code = 0; code <= 25; ++code) o.faults.statusForCommand[code + 1] = code;
    o.faults.statusForCommand[27] = 255;
    programmer(o);
    for (int code = 0; code <= 25; ++code) {
        channel().SetPinTesterOptions(0);
        EXPECT_EQ(channel().TakeLastError(), kStatusTexts[code]) << "code " << code;
    }
    channel().SetPinTesterOptions(0);
    EXPECT_EQ(channel().TakeLastError(), "Unknoun Error");
}

TEST_F(Commands, StatusRepliesAsOnTheWire) {
    // Status 3 with its check byte corrupted: 03 03 fails the check.
    sim::SimOptions o;
    o.faults.statusForCommand = {{1, 0}, {2, 14}, {3, 5}, {4, 24}, {5, 3}};
    o.faults.replyFaults.push_back({0x02, 5, 1, sim::ReplyFault::Corrupt});
    programmer(o);
    const std::pair<Bytes, const char*> expected[] = {
        {{0x00, 0xFF}, ""},
        {{0x0E, 0xF1}, "Error: Programming/Erasing Error"},
        {{0x05, 0xFA}, "PC too Programmer Communication Error"},
        {{0x18, 0xE7}, "Unknoun Error"},
        {{0x03, 0x03}, "PC too Programmer Communication Error."},
    };
    for (const auto& [reply, text] : expected) {
        programmer().clearWire();
        channel().SelectDeviceType(7);
        EXPECT_EQ(channel().TakeLastError(), text);
        EXPECT_EQ(fromPc(), (Bytes{0x01, 0x07, 0xF8, 0x02}));
        EXPECT_EQ(toPc(), reply);
    }
}

TEST_F(Commands, PinTesterReports) {
    struct Case {
        std::uint8_t d, c;
        const char* text;
    };
    const Case cases[] = {
        {0x09, 0x05,
         "Pure contact on pin(s) or pin(s) damaged: DATA0 DATA3 ECLK RESET "},
        {0x00, 0x80, "Pure contact on pin(s) or pin(s) damaged: EXTAL "},
        {0xFF, 0x7A,
         "Pure contact on pin(s) or pin(s) damaged: DATA0 DATA1 DATA2 DATA3 DATA4 DATA5 DATA6 "
         "DATA7 ADDR0 MODA MODB RxD TxD "},
    };
    for (const auto& c : cases) {
        sim::VirtualProgrammer vp([&] {
            sim::SimOptions o;
            o.faults.statusForCommand[1] = 10;
            o.faults.pinReportData = c.d;
            o.faults.pinReportControl = c.c;
            return o;
        }());
        vp.setTimeoutDivisor(kTimeoutDivisor);
        IO_DLL_R_W ch("Virtual Programmer", vp.opener());
        vp.clearWire();
        ch.SelectDeviceType(7);
        EXPECT_EQ(ch.TakeLastError(), c.text);
        EXPECT_EQ(vp.bytesFromPc(), (Bytes{0x01, 0x07, 0xF8, 0x02, 0x03}));
        EXPECT_EQ(vp.bytesToPc(), (Bytes{0x0A, 0xF5, c.d, c.c,
                                         static_cast<std::uint8_t>(~(c.d + c.c))}));
    }
}

TEST_F(Commands, PinTesterReportEdgeCases) {
    sim::SimOptions o;
    o.faults.statusForCommand = {{1, 10}, {2, 10}};
    o.faults.replyFaults.push_back({0x03, 2, 2, sim::ReplyFault::Corrupt});
    programmer(o);
    channel().SetPinTesterOptions(3);  // report 00 00 FF
    EXPECT_EQ(channel().TakeLastError(), "Unknoun Pin Tester Error");
    EXPECT_EQ(toPc(), (Bytes{0x0A, 0xF5, 0x00, 0x00, 0xFF}));
    channel().SetPinTesterOptions(3);  // report with a bad check
    EXPECT_EQ(channel().TakeLastError(), "PC too Programmer Communication Error.");
}

TEST_F(Commands, WorkedByteExamples) {
    sim::SimOptions o;
    programmer(o);
    std::uint8_t block[129];
    channel().ReadBlock(0x8000, block);
    const Bytes sent = fromPc();
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 4), (Bytes{0x11, 0x80, 0x00, 0x7F}));

    programmer().clearWire();
    channel().WriteByte(0xB600, 0x55);
    EXPECT_EQ(fromPc(), (Bytes{0x12, 0xB6, 0x00, 0x55, 0xF4, 0x02}));
    channel().TakeLastError();  // nothing is linked: status 13

    programmer().clearWire();
    channel().SetProgrammerBaud(9600);
    channel().SetProgrammerBaud(115200);
    EXPECT_TRUE(fromPc().empty());
    EXPECT_EQ(programmer().lastSettings().baudRate, 9600);

    const auto start = std::chrono::steady_clock::now();
    channel().SetProgrammerBaud(57600);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
    EXPECT_EQ(channel().TakeLastError(), "");
    EXPECT_EQ(fromPc(), (Bytes{0x04, 0x10, 0xEF}));
    EXPECT_EQ(programmer().lastSettings().baudRate, 57600);
    EXPECT_EQ(programmer().with([](sim::ProgrammerModel& m) { return m.rate(); }), 57600);

    programmer().clearWire();
    channel().SetProgrammerBaud(19200);
    channel().SetProgrammerBaud(38400);
    EXPECT_EQ(fromPc(), (Bytes{0x04, 0x33, 0xCC, 0x04, 0x19, 0xE6}));

    programmer().clearWire();
    channel().PowerOff();
    channel().EraseEeprom();
    channel().LinkDevice();
    const std::string powerOff("\x09POWER OFF", 10), erase("\x14" "ERASE ENABLED", 14);
    Bytes expected(powerOff.begin(), powerOff.end());
    expected.insert(expected.end(), {0x00, 0x02});
    expected.insert(expected.end(), erase.begin(), erase.end());
    expected.insert(expected.end(), {0x00, 0x02, 0x16, 0xE9, 0x02});
    EXPECT_EQ(fromPc(), expected);
}

TEST_F(Commands, EachCommandSetsItsTimeOut) {
    programmer();
    std::uint8_t block[129] = {};
    const std::pair<std::function<void()>, int> cases[] = {
        {[&] { channel().SelectDeviceType(7); }, 2000},
        {[&] { channel().ReadMode(); }, 2000},
        {[&] { channel().ReadBlock(0xB600, block); }, 30000},
        {[&] { channel().ReadIdentification(); }, 2000},
        {[&] { channel().WriteBlock(0xB600, block); }, 30000},
        {[&] { channel().ReadInterface(); }, 2000},
        {[&] { channel().LinkDevice(); }, 30000},
        {[&] { channel().SetPinTesterOptions(0); }, 2000},
        {[&] { channel().PowerOff(); }, 2000},
        {[&] { channel().ReadByte(0xB600); }, 2000},
        {[&] { channel().WriteByte(0xB600, 1); }, 2000},
        {[&] { channel().EraseEeprom(); }, 2000},
        {[&] { channel().ReadDeviceId(); }, 2000},
        {[&] { channel().SetProgrammerBaud(19200); }, 2000},
    };
    for (const auto& [command, ms] : cases) {
        // A time-out that is neither command's, so that no row passes on what the one
        // before it left.
        channel().SetTimeouts(7);
        ASSERT_EQ(programmer().lastTimeouts(), (PortTimeouts{7000, 7000}));
        command();
        EXPECT_EQ(programmer().lastTimeouts(), (PortTimeouts{ms, ms}));
    }
}

TEST_F(Commands, ReplyTexts) {
    sim::SimOptions o;
    o.deviceIdA = 0x12;
    o.deviceIdB = 0x3C;
    programmer(o);
    EXPECT_EQ(channel().ReadMode(), "NORMAL ");
    EXPECT_EQ(channel().ReadIdentification(), "MC68HC(7)11 Programmer VER-1.1");
    EXPECT_EQ(channel().ReadInterface(), "In-Circuit Programming Interface. ");
    EXPECT_EQ(channel().ReadDeviceId(), "");  // not linked yet: FF FF
    channel().SelectDeviceType(7);
    channel().LinkDevice();
    EXPECT_EQ(channel().TakeLastError(), "");
    EXPECT_EQ(channel().ReadDeviceId(), "Device ID:$12 $3C");
    EXPECT_EQ(channel().TakeLastError(), "");

    sim::SimOptions service;
    service.serviceMode = true;
    service.version = "VER-1.0";
    service.interface = sim::Interface::OnBoard;
    sim::VirtualProgrammer vp(service);
    vp.setTimeoutDivisor(kTimeoutDivisor);
    IO_DLL_R_W ch("Virtual Programmer", vp.opener());
    EXPECT_EQ(ch.ReadMode(), "BOOT11N");
    EXPECT_EQ(ch.ReadIdentification(), "MC68HC(7)11 Programmer VER-1.0");
    EXPECT_EQ(ch.TakeLastError(), "");
    vp.with([](sim::ProgrammerModel& m) {
        m.options().serviceMode = false;
        m.options().secured = true;
        return 0;
    });
    EXPECT_EQ(ch.ReadInterface(), "On-Board Programming Interface. Device Secured.");
    vp.with([](sim::ProgrammerModel& m) { return m.options().secured = false; });
    EXPECT_EQ(ch.ReadInterface(), "On-Board Programming Interface. Device not Secured.");
}

TEST_F(Commands, ZeroBytesInModeAndIdentificationStayInTheText) {
    sim::SimOptions o;
    o.identification = std::string("MC68HC(7)11 Programmer\0VER", 26);
    programmer(o);
    const std::string id = channel().ReadIdentification();
    EXPECT_EQ(id.size(), 30u);
    EXPECT_EQ(id[22], '\0');
}

TEST_F(Commands, DeviceIdReplies) {
    struct Case {
        std::uint8_t a, b;
        const char* text;
    };
    for (const Case& c : {Case{0xFF, 0xFF, ""}, Case{0xFF, 0xFE, "Device ID:$FF $FE"},
                          Case{0x00, 0x0A, "Device ID:$00 $0A"}}) {
        sim::SimOptions o;
        o.deviceIdA = c.a;
        o.deviceIdB = c.b;
        sim::VirtualProgrammer vp(o);
        vp.setTimeoutDivisor(kTimeoutDivisor);
        IO_DLL_R_W ch("Virtual Programmer", vp.opener());
        ch.SelectDeviceType(7);
        ch.LinkDevice();
        EXPECT_EQ(ch.ReadDeviceId(), c.text);
        EXPECT_EQ(ch.TakeLastError(), "");
    }
}

TEST_F(Commands, RepliesThatFailTheirCheckGiveTheCommunicationError) {
    sim::SimOptions o;
    o.interface = sim::Interface::OnBoard;
    o.faults.replyFaults = {
        {0x15, 1, 2, sim::ReplyFault::Corrupt},  // device ID check
        {0x07, 1, 0, sim::ReplyFault::Corrupt},  // interface AA -> 55
        {0x10, 1, 0, sim::ReplyFault::Corrupt},  // byte check
        {0x11, 1, 5, sim::ReplyFault::Corrupt},  // block checksum
    };
    programmer(o);
    EXPECT_EQ(channel().ReadDeviceId(), "");
    EXPECT_EQ(channel().TakeLastError(), "PC too Programmer Communication Error.");

    EXPECT_EQ(channel().ReadInterface(), "");
    EXPECT_EQ(channel().TakeLastError(), "PC too Programmer Communication Error.");

    programmer().clearWire();
    EXPECT_EQ(channel().ReadByte(0xB600), 0);
    EXPECT_EQ(channel().TakeLastError(), "PC too Programmer Communication Error.");
    EXPECT_EQ(fromPc(), (Bytes{0x10, 0xB6, 0x00, 0x49}));  // no status request

    programmer().clearWire();
    std::uint8_t block[129];
    channel().ReadBlock(0xB600, block);
    EXPECT_EQ(channel().TakeLastError(), "PC too Programmer Communication Error.");
    EXPECT_EQ(fromPc().size(), 4u);
}

TEST_F(Commands, ACorruptedInterfaceAnswerCanStillBeValid) {
    sim::SimOptions o;
    o.faults.replyFaults = {{0x07, 1, 0, sim::ReplyFault::Corrupt}};
    programmer(o);
    // A5 corrupted reads as 5A, which is a valid answer: the interface byte has no check.
    EXPECT_EQ(channel().ReadInterface(), "On-Board Programming Interface. Device Secured.");
    EXPECT_EQ(channel().TakeLastError(), "");
}

// Every reader against a reply that lost a byte or was cut short: the command ends with the
// receiver's time-out text, gives no result, and asks for no status afterwards (whose
// answer 00 FF would have cleared the text).
struct ShortReply {
    const char* name;
    sim::ReplyFault fault;
    std::map<int, int> statusForCommand;
    std::function<std::string(IO_DLL_R_W&)> command;  // its result as text
    Bytes sent;
};

class ShortReplies : public LinkTest, public ::testing::WithParamInterface<ShortReply> {};

TEST_P(ShortReplies, EndTheCommandWithTheReceiverTimeOut) {
    const ShortReply& c = GetParam();
    sim::SimOptions o;
    o.deviceIdA = 0x12;
    o.deviceIdB = 0x3C;
    o.faults.replyFaults = {c.fault};
    o.faults.statusForCommand = c.statusForCommand;
    programmer(o);
    channel().SelectDeviceType(7);
    channel().LinkDevice();
    ASSERT_EQ(channel().TakeLastError(), "");
    programmer().clearWire();
    EXPECT_EQ(c.command(channel()), "");
    EXPECT_EQ(channel().TakeLastError(), "Receiver TimeOut Error.");
    EXPECT_EQ(fromPc(), c.sent);
    // The next command is not disturbed by what is left of the reply.
    channel().SelectDeviceType(7);
    EXPECT_EQ(channel().TakeLastError(), "");
}

std::string text(std::uint8_t v) { return std::to_string(v); }
std::string blockText(IO_DLL_R_W& ch) {
    std::uint8_t block[129] = {};
    ch.ReadBlock(0xB600, block);
    return {};
}

INSTANTIATE_TEST_SUITE_P(
    EveryReader, ShortReplies,
    ::testing::Values(
        ShortReply{"StatusWithoutItsCheck", {0x02, 3, 1, sim::ReplyFault::Truncate}, {},
                   [](IO_DLL_R_W& ch) { ch.SetPinTesterOptions(0); return std::string(); },
                   {0x08, 0x00, 0xFF, 0x02}},
        ShortReply{"StatusLostItsCode", {0x02, 3, 0, sim::ReplyFault::Drop}, {},
                   [](IO_DLL_R_W& ch) { ch.SetPinTesterOptions(0); return std::string(); },
                   {0x08, 0x00, 0xFF, 0x02}},
        ShortReply{"PinReportLostAByte", {0x03, 1, 1, sim::ReplyFault::Drop}, {{3, 10}},
                   [](IO_DLL_R_W& ch) { ch.SetPinTesterOptions(0); return std::string(); },
                   {0x08, 0x00, 0xFF, 0x02, 0x03}},
        ShortReply{"ByteLostItsCheck", {0x10, 1, 1, sim::ReplyFault::Drop}, {},
                   [](IO_DLL_R_W& ch) {
                       const std::uint8_t v = ch.ReadByte(0x103F);
                       return v == 0 ? std::string() : text(v);
                   },
                   {0x10, 0x10, 0x3F, 0xB0}},
        ShortReply{"BlockLostOneByte", {0x11, 1, 77, sim::ReplyFault::Drop}, {}, blockText,
                   {0x11, 0xB6, 0x00, 0x49}},
        ShortReply{"BlockCutInTheMiddle", {0x11, 1, 64, sim::ReplyFault::Truncate}, {}, blockText,
                   {0x11, 0xB6, 0x00, 0x49}},
        ShortReply{"BlockUnanswered", {0x11, 1, 0, sim::ReplyFault::Truncate}, {}, blockText,
                   {0x11, 0xB6, 0x00, 0x49}},
        ShortReply{"DeviceIdLostAByte", {0x15, 1, 0, sim::ReplyFault::Drop}, {},
                   [](IO_DLL_R_W& ch) { return ch.ReadDeviceId(); }, {0x15}},
        ShortReply{"InterfaceUnanswered", {0x07, 1, 0, sim::ReplyFault::Truncate}, {},
                   [](IO_DLL_R_W& ch) { return ch.ReadInterface(); }, {0x07}},
        ShortReply{"ModeCut", {0x05, 1, 3, sim::ReplyFault::Truncate}, {},
                   [](IO_DLL_R_W& ch) { return ch.ReadMode(); }, {0x05}},
        ShortReply{"IdentificationLostItsLastByte", {0x06, 1, 30, sim::ReplyFault::Drop}, {},
                   [](IO_DLL_R_W& ch) { return ch.ReadIdentification(); }, {0x06}}),
    [](const auto& info) { return std::string(info.param.name); });

// A block reply that lost one byte, where what is left in the buffer would pass the old
// check: the check byte the block before left at the end of the buffer equals the sum check
// of the bytes that did arrive. Either a data byte equal to that old check byte is lost, or
// the check byte itself when both blocks carry the same data.
class StaleCheckByte : public LinkTest,
                       public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(StaleCheckByte, NeverPassesTheBlock) {
    const bool dataByte = GetParam().second;
    constexpr int kLost = 37;
    sim::SimOptions o;
    o.faults.replyFaults = {{0x11, 2, dataByte ? kLost : 128, sim::ReplyFault::Drop}};
    programmer(o);
    channel().SelectDeviceType(7);
    channel().LinkDevice();
    ASSERT_EQ(channel().TakeLastError(), "");
    std::uint8_t check = 0;
    programmer().with([&](sim::ProgrammerModel& m) {
        sim::TargetMcu* t = m.target(7);
        unsigned sum = 0;
        for (int i = 0; i < 128; ++i) {
            t->memory[0xB600 + i] = static_cast<std::uint8_t>(i * 7 + 3);
            sum += t->memory[0xB600 + i];
        }
        check = static_cast<std::uint8_t>(~sum);
        for (int i = 0; i < 128; ++i) t->memory[0xB680 + i] = t->memory[0xB600 + i];
        if (dataByte) t->memory[0xB680 + kLost] = check;
        return 0;
    });
    std::array<std::uint8_t, 129> buffer{};
    channel().ReadBlock(0xB600, buffer);
    ASSERT_EQ(channel().TakeLastError(), "");
    ASSERT_EQ(buffer[128], check);

    programmer().clearWire();
    channel().ReadBlock(0xB680, buffer);
    EXPECT_EQ(channel().TakeLastError(), "Receiver TimeOut Error.");
    EXPECT_EQ(fromPc(), (Bytes{0x11, 0xB6, 0x80, 0xC9}));
    // What is in the buffer passes the sum check: only the missing byte tells.
    unsigned sum = 0;
    for (int i = 0; i < 128; ++i) sum += buffer[i];
    EXPECT_EQ(buffer[128], static_cast<std::uint8_t>(~sum));
}

INSTANTIATE_TEST_SUITE_P(Lost, StaleCheckByte,
                         ::testing::Values(std::pair{"DataByte", true},
                                           std::pair{"CheckByte", false}),
                         [](const auto& info) { return std::string(info.param.first); });

TEST_F(Commands, InterfaceAnswerOfAnyOtherValueIsAnError) {
    sim::SimOptions o;
    o.interface = sim::Interface::OnBoard;
    o.faults.replyFaults = {{0x07, 1, 0, sim::ReplyFault::Truncate}};
    programmer(o);
    // No reply at all: the command ends on the time-out.
    EXPECT_EQ(channel().ReadInterface(), "");
    EXPECT_EQ(channel().TakeLastError(), "Receiver TimeOut Error.");
    // AA corrupted reads as 55, which is no interface.
    programmer().with([](sim::ProgrammerModel& m) {
        m.options().faults.replyFaults = {{0x07, 2, 0, sim::ReplyFault::Corrupt}};
        return 0;
    });
    EXPECT_EQ(channel().ReadInterface(), "");
    EXPECT_EQ(channel().TakeLastError(), "PC too Programmer Communication Error.");
}

TEST_F(Commands, ShortRepliesEndWithinTheTimeOut) {
    sim::SimOptions o;
    o.faults.replyFaults = {{0x06, 1, 10, sim::ReplyFault::Truncate},
                            {0x05, 1, 0, sim::ReplyFault::Truncate},
                            {0x02, 1, 1, sim::ReplyFault::Truncate}};
    programmer(o);
    channel().ReadIdentification();
    EXPECT_EQ(channel().TakeLastError(), "Receiver TimeOut Error.");
    channel().ReadMode();
    EXPECT_EQ(channel().TakeLastError(), "Receiver TimeOut Error.");
    const auto start = std::chrono::steady_clock::now();
    channel().SelectDeviceType(7);  // status reply 00 without its check byte
    EXPECT_EQ(channel().TakeLastError(), "Receiver TimeOut Error.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

// A port whose next write sends only its first `keep` bytes, as a line held back in the
// middle of a request would; the writes after it go out whole.
class CutWritePort final : public SerialPort {
public:
    CutWritePort(std::unique_ptr<SerialPort> port, std::shared_ptr<std::atomic<int>> keep)
        : port_(std::move(port)), keep_(std::move(keep)) {}
    bool getSettings(LineSettings& s) override { return port_->getSettings(s); }
    bool setSettings(const LineSettings& s) override { return port_->setSettings(s); }
    bool setTimeouts(const PortTimeouts& t) override { return port_->setTimeouts(t); }
    std::size_t write(const std::uint8_t* d, std::size_t n) override {
        const int keep = keep_->exchange(-1);
        if (keep < 0) return port_->write(d, n);
        return port_->write(d, std::min(n, static_cast<std::size_t>(keep)));
    }
    std::size_t read(std::uint8_t* d, std::size_t n) override { return port_->read(d, n); }
    bool purge(unsigned flags) override { return port_->purge(flags); }
    bool modemStatus(std::uint32_t& status) override { return port_->modemStatus(status); }
    bool setDtr(bool on) override { return port_->setDtr(on); }
    void setStopFlag(const std::atomic<bool>* flag) override { port_->setStopFlag(flag); }

private:
    std::unique_ptr<SerialPort> port_;
    std::shared_ptr<std::atomic<int>> keep_;
};

TEST_F(Commands, ARequestThatDidNotGoOutAsksForNoStatus) {
    programmer();
    channel();
    programmer().setDsr(false);
    channel().SelectDeviceType(7);
    EXPECT_EQ(channel().TakeLastError(), "Transmitter TimeOut Error.");
    programmer().setDsr(true);
    EXPECT_TRUE(fromPc().empty());
    EXPECT_EQ(programmer().lastTimeouts(), (PortTimeouts{2000, 2000}));

    // Cut after its first byte, while the line would take a status request: none is sent,
    // since the programmer would take it for the rest of the request.
    channel_.reset();  // the programmer has one port
    auto keep = std::make_shared<std::atomic<int>>(-1);
    const PortOpener opener = programmer().opener();
    IO_DLL_R_W cut("Virtual Programmer", [&](const std::string& name) {
        OpenedPort opened = opener(name);
        if (opened.port) opened.port = std::make_unique<CutWritePort>(std::move(opened.port), keep);
        return opened;
    });
    ASSERT_EQ(cut.TakeLastError(), "");
    programmer().clearWire();
    keep->store(1);
    cut.SelectDeviceType(7);
    EXPECT_EQ(cut.TakeLastError(), "Transmitter TimeOut Error.");
    EXPECT_EQ(fromPc(), (Bytes{0x01}));
}

TEST_F(Commands, ALateAnswerIsNotTakenForTheNextCommandsAnswer) {
    sim::SimOptions o;
    o.faults.statusForCommand = {{1, 14}, {3, 14}};  // 2 is the device ID request
    programmer(o);
    channel();
    // A status answer 00 FF that came after its command had given up waits in the input.
    const std::uint8_t statusRequest = 0x02;
    ASSERT_TRUE(channel().WriteBytes(&statusRequest, 1));
    ASSERT_TRUE(eventually([&] { return toPc().size() == 2; }));
    channel().SelectDeviceType(7);
    EXPECT_EQ(channel().TakeLastError(), "Error: Programming/Erasing Error");
    // The same for a reply with data: the late bytes do not shift the block.
    const std::uint8_t idRequest = 0x15;
    ASSERT_TRUE(channel().WriteBytes(&idRequest, 1));
    channel().WriteByte(0xB600, 0x55);
    EXPECT_EQ(channel().TakeLastError(), "Error: Programming/Erasing Error");
    EXPECT_EQ(fromPc(), (Bytes{0x02, 0x01, 0x07, 0xF8, 0x02, 0x15, 0x12, 0xB6, 0x00, 0x55, 0xF4, 0x02}));
}

TEST_F(Commands, DsrLostInTheMiddleOfABlockWriteEndsAfterOneTimeOut) {
    sim::SimOptions o;
    o.faults.dsrDropAfterBytes = 10;
    programmer(o).setTimeoutDivisor(200);
    std::uint8_t data[128] = {};
    const auto start = std::chrono::steady_clock::now();
    channel().WriteBlock(0xB600, data);
    const auto took = std::chrono::steady_clock::now() - start;
    // The write of byte 11 waits out the 30 s time-out (150 ms here); the rest of the
    // request is not sent and no status is asked for (and not 118 more time-outs for the
    // bytes that could not go).
    EXPECT_LT(took, std::chrono::milliseconds(3 * 150));
    EXPECT_EQ(channel().TakeLastError(), "Transmitter TimeOut Error.");
    EXPECT_EQ(fromPc().size(), 10u);
}

TEST_F(Commands, RequestsWithBadChecksReportStatusFive) {
    programmer();
    // The programmer checks what it receives: a WriteByte with a wrong check byte.
    const std::uint8_t bad[5] = {0x12, 0xB6, 0x00, 0x55, 0x00};
    channel().WriteBytes(bad, 5);
    channel().ReadStatus();
    EXPECT_EQ(channel().TakeLastError(), "PC too Programmer Communication Error");
}

}  // namespace
}  // namespace jqz::test
