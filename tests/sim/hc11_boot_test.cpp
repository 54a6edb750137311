// The boot ROM's behaviour, the SCI's timing and the EEPROM rules, through the model's port
// in virtual time (what goes over the wire) and its record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "sim/hc11/machine.h"
#include "sim/hc11/virtual_hc11.h"

namespace jqz::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A host on the cable: opens the port at a rate, writes, reads with a time-out.
struct Host {
    explicit Host(VirtualHc11& part, int baud = 7812) {
        OpenedPort opened = part.open();
        port = std::move(opened.port);
        LineSettings s;
        s.baudRate = baud;
        port->setSettings(s);
        port->setTimeouts(PortTimeouts{200, 200});
    }
    // Discards what the part sent at reset (its break), as a host does before the sync.
    void skipBreak() { receive(4, 20); }
    void rate(int baud) {
        LineSettings s;
        port->getSettings(s);
        s.baudRate = baud;
        port->setSettings(s);
    }
    void send(const Bytes& bytes) { port->write(bytes.data(), bytes.size()); }
    Bytes receive(std::size_t count, int timeoutMs = 200) {
        port->setTimeouts(PortTimeouts{timeoutMs, 200});
        Bytes got(count);
        got.resize(port->read(got.data(), count));
        return got;
    }
    std::unique_ptr<SerialPort> port;
};

// The loaded program: a loop (BRA *) so that nothing else happens after the download.
Bytes idleProgram(std::size_t size) {
    Bytes p(size, 0x01);  // NOP
    p[0] = 0x20;          // BRA *
    p[1] = 0xFE;
    return p;
}

Bytes withSync(std::uint8_t sync, const Bytes& program) {
    Bytes b(program.size() + 1, sync);
    std::copy(program.begin(), program.end(), b.begin() + 1);
    return b;
}

Hc11Options partNamed(const char* name) {
    Hc11Options o;
    o.part = name;
    return o;
}

TEST(Hc11Boot, SendsBreakAfterResetThenLoadsAtTheFastRate) {
    VirtualHc11 part(partNamed("E9"));
    Host host(part);
    // The break arrives as 0x00 with a framing error.
    Bytes first = host.receive(1, 10);
    ASSERT_EQ(first, Bytes{0x00});
    EXPECT_EQ(part.record().hostFramingErrors, 1);
    const Bytes program = idleProgram(40);
    host.send(withSync(0xFF, program));
    EXPECT_EQ(host.receive(program.size()), program);  // every loaded byte echoed, not the sync
    host.receive(1, 20);                                // the idle end passes
    const Hc11Record r = part.record();
    ASSERT_EQ(r.boots.size(), 2u);  // power-up at construction, then at open
    const BootEntry& boot = r.boots.back();
    EXPECT_EQ(boot.sync, 0xFF);
    EXPECT_EQ(boot.loadBaud, hc11::kBootBaudFast);
    EXPECT_EQ(boot.bytesLoaded, 40);
    EXPECT_TRUE(boot.endedByIdle);
    EXPECT_TRUE(boot.jumped);
    EXPECT_EQ(r.overruns, 0);
    part.with([&](hc11::Machine& m) {
        EXPECT_EQ(m.peek(0x0000), 0x20);
        EXPECT_EQ(m.peek(0x0027), 0x01);
        EXPECT_LT(m.registers().pc, 0x0002);
    });
}

TEST(Hc11Boot, IdleEndTakesAboutFourCharacterTimes) {
    struct Case {
        int baud;
        std::uint8_t baudRegister;
    };
    for (const Case c : {Case{7812, hc11::kBootBaudFast}, Case{1200, hc11::kBootBaudSlow}}) {
        SCOPED_TRACE(c.baud);
        VirtualHc11 part;
        Host host(part, c.baud);
        host.skipBreak();
        const double sentAtUs = static_cast<double>(part.modelMicroseconds());
        host.send(withSync(0xFF, idleProgram(16)));
        host.receive(16, 2000);
        host.receive(1, 100);
        const BootEntry boot = part.record().boots.back();
        ASSERT_TRUE(boot.jumped);
        EXPECT_EQ(boot.loadBaud, c.baudRegister);
        EXPECT_TRUE(boot.endedByIdle);
        const double charUs = 10e6 / c.baud;
        // From the end of the last byte (sync and 16, back to back) to the jump: about four
        // character times.
        const double jumpUs = static_cast<double>(boot.jumpCycle) / 2.0;
        const double lastByteUs = sentAtUs + 17 * charUs;
        EXPECT_GT(jumpUs - lastByteUs, 3.5 * charUs);
        EXPECT_LT(jumpUs - lastByteUs, 5.5 * charUs);
    }
}

TEST(Hc11Boot, SyncAt1200SwitchesTheRateAndLoads) {
    VirtualHc11 part(partNamed("E9"));
    Host host(part, 1200);
    host.skipBreak();
    const Bytes program = idleProgram(8);
    host.send(withSync(0xFF, program));
    EXPECT_EQ(host.receive(program.size(), 2000), program);
    const BootEntry boot = part.record().boots.back();
    EXPECT_TRUE(boot.sync == 0xE0 || boot.sync == 0xC0) << int(boot.sync);
    EXPECT_EQ(boot.loadBaud, hc11::kBootBaudSlow);
}

TEST(Hc11Boot, ZeroJumpsToEeprom) {
    Hc11Options o;
    o.eeprom = {0x20, 0xFE};  // BRA * at 0xB600
    VirtualHc11 part(o);
    Host host(part);
    host.skipBreak();
    host.send({0x00});
    host.receive(4, 20);
    const BootEntry boot = part.record().boots.back();
    EXPECT_TRUE(boot.toEeprom);
    part.with([](hc11::Machine& m) { EXPECT_EQ(m.registers().pc, 0xB600); });
}

TEST(Hc11Boot, A8TakesExactly256BytesThenJumps) {
    VirtualHc11 part(partNamed("A8"));
    Host host(part);
    host.receive(1, 10);
    const Bytes program = idleProgram(256);
    host.send(withSync(0xFF, program));
    EXPECT_EQ(host.receive(256, 1000), program);
    const BootEntry boot = part.record().boots.back();
    EXPECT_EQ(boot.bytesLoaded, 256);
    EXPECT_FALSE(boot.endedByIdle);
    EXPECT_TRUE(boot.jumped);
    // A byte more goes to the loaded program, not to RAM.
    host.send({0x55});
    host.receive(1, 20);
    part.with([](hc11::Machine& m) { EXPECT_EQ(m.peek(0x0000), 0x20); });
}

TEST(Hc11Boot, E9StopsWhenRamIsFull) {
    VirtualHc11 part(partNamed("E9"));
    Host host(part);
    host.skipBreak();
    host.send(withSync(0xFF, idleProgram(512)));
    host.receive(512, 2000);
    const BootEntry boot = part.record().boots.back();
    EXPECT_EQ(boot.bytesLoaded, 512);
    EXPECT_FALSE(boot.endedByIdle);
    EXPECT_TRUE(boot.jumped);
}

TEST(Hc11Boot, SecuredPartErasesEepromConfigAndRamBeforeLoading) {
    Hc11Options o;
    o.secured = true;
    o.eeprom = Bytes(512, 0x12);
    VirtualHc11 part(o);
    Host host(part);
    // $FF before the erase, the break after it.
    EXPECT_EQ(host.receive(2, 100), (Bytes{0xFF, 0x00}));
    host.send(withSync(0xFF, idleProgram(4)));
    EXPECT_EQ(host.receive(4, 500), idleProgram(4));
    const Hc11Record r = part.record();
    EXPECT_GE(r.securityErases, 1);
    EXPECT_TRUE(r.boots.back().securityErase);
    EXPECT_EQ(part.eeprom(), Bytes(512, 0xFF));
    EXPECT_EQ(part.config(), 0xFF);
    part.with([](hc11::Machine& m) {
        EXPECT_EQ(m.peek(0x0004), 0xFF);  // RAM past the download written over
    });
}

TEST(Hc11Boot, HostRateOffByMoreThanAFewPercentGarbles) {
    struct Case {
        int hostBaud;
        bool clean;
    };
    for (const Case c : {Case{7812, true}, Case{7900, true}, Case{7650, true},
                         Case{8300, false}, Case{7300, false}}) {
        SCOPED_TRACE(c.hostBaud);
        VirtualHc11 part;
        Host host(part, c.hostBaud);
        host.skipBreak();
        Bytes program(32);
        for (std::size_t i = 0; i < program.size(); ++i) program[i] = static_cast<std::uint8_t>(0x55 + 37 * i);
        host.send(withSync(0xFF, program));
        const Bytes echoed = host.receive(program.size(), 200);
        EXPECT_EQ(echoed == program, c.clean);
    }
}

TEST(Hc11Boot, ScriptedFaultsOnTheWire) {
    const Bytes program = idleProgram(10);
    {
        Hc11Options o;
        o.faults.lostEcho = 3;
        VirtualHc11 part(o);
        Host host(part);
        host.skipBreak();
        host.send(withSync(0xFF, program));
        Bytes expect = program;
        expect = Bytes(program.begin(), program.begin() + 2);
        expect.insert(expect.end(), program.begin() + 3, program.end());
        EXPECT_EQ(host.receive(10, 100), expect);
    }
    {
        Hc11Options o;
        o.faults.droppedByte = 2;  // the first program byte
        VirtualHc11 part(o);
        Host host(part);
        host.skipBreak();
        host.send(withSync(0xFF, program));
        EXPECT_EQ(host.receive(10, 100), Bytes(program.begin() + 1, program.end()));
        EXPECT_EQ(part.record().boots.back().bytesLoaded, 9);
    }
    {
        Hc11Options o;
        o.faults.lostLastEcho = true;
        VirtualHc11 part(o);
        Host host(part);
        host.skipBreak();
        host.send(withSync(0xFF, program));
        host.receive(9, 100);
        host.port->setTimeouts(PortTimeouts{0, 0});
        host.rate(1200);  // the adapter loses what it held
        EXPECT_EQ(host.receive(1, 5), Bytes{});
    }
    {
        Hc11Options o;
        o.faults.wrongXtalMHz = 4.9152;  // the host still expects 7812 baud
        VirtualHc11 part(o);
        Host host(part);
        host.skipBreak();
        host.send(withSync(0xFF, program));
        EXPECT_NE(host.receive(10, 100), program);
    }
}

TEST(Hc11Boot, ResetThroughDtr) {
    Hc11Options o;
    o.reset = ResetWiring::Dtr;
    VirtualHc11 part(o);
    Host host(part);
    host.skipBreak();
    host.send(withSync(0xFF, idleProgram(4)));
    host.receive(4, 100);
    const std::size_t boots = part.record().boots.size();
    host.port->setDtr(true);
    host.port->setRts(true);  // not wired
    host.port->setDtr(false);
    EXPECT_EQ(part.record().boots.size(), boots + 1);
    // A break from the host right after reset is the 0x00 that runs the EEPROM.
    host.port->setBreak(true);
    host.port->setBreak(false);
    host.receive(3, 20);
    EXPECT_TRUE(part.record().boots.back().toEeprom);
}

TEST(Hc11Port, TimeOutsPassOnTheModelsClockAndThePortOpensOnce) {
    VirtualHc11 part;
    PortOpener opener = part.opener();
    OpenedPort first = opener("anything");
    ASSERT_NE(first.port, nullptr);
    EXPECT_EQ(part.open().error, EBUSY);
    first.port->setTimeouts(PortTimeouts{20, 20});
    std::uint8_t sink[16];
    while (first.port->read(sink, sizeof sink) > 0) {
    }
    // Nothing comes: a read waits its whole time-out, in the model's time.
    const long long before = part.modelMicroseconds();
    first.port->setTimeouts(PortTimeouts{250, 20});
    EXPECT_EQ(first.port->read(sink, 1), 0u);
    EXPECT_NEAR(static_cast<double>(part.modelMicroseconds() - before), 250000.0, 1000.0);
    // A read that returns at once still lets a bit time pass.
    first.port->setTimeouts(PortTimeouts{0, 0});
    const long long again = part.modelMicroseconds();
    EXPECT_EQ(first.port->read(sink, 1), 0u);
    EXPECT_GT(part.modelMicroseconds(), again);
    std::uint32_t status = 0xFF;
    EXPECT_TRUE(first.port->modemStatus(status));
    EXPECT_EQ(status, 0u);  // a three-wire cable
    first.port.reset();
    EXPECT_NE(part.open().port, nullptr);
}

}  // namespace
}  // namespace jqz::sim
