// The bootstrap cable through the project's POSIX port on a pseudo-terminal, with the HC11
// model served in real time behind it (the rate set with termios2): the talker started on
// each part at each boot ROM rate, a read and a smart write.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/device/cable_operations.h"
#include "core/link/bootstrap_link.h"
#include "core/link/posix_serial_port.h"
#include "sim/hc11/hc11_pty_server.h"

namespace jqz {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct PartRate {
    const char* device;
    const char* model;
    BootRate rate;
};

TEST(BootstrapPty, TalkerRunsOnEachPartAtEachRate) {
    const PartRate cases[] = {
        {"MC68HC11  A8 (AB95T)", "A8", BootRate::Fast},
        {"MC68HC11  A8 (AB95T)", "A8", BootRate::Slow1200},
        {"MC68HC11  E9 (E28B)", "E9", BootRate::Fast},
        {"MC68HC11  E9 (E28B)", "E9", BootRate::Slow1200},
        {"MC68HC11  E20(3E22B)", "E20", BootRate::Fast},
        {"MC68HC11  E20(3E22B)", "E20", BootRate::Slow1200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + (c.rate == BootRate::Fast ? " fast" : " 1200"));
        sim::Hc11Options o;
        o.part = c.model;
        o.eeprom = Bytes{0x11, 0x22, 0x33, 0x44};
        sim::VirtualHc11 part(o);
        sim::Hc11PtyServer server(part);
        std::string error;
        ASSERT_TRUE(server.open(error)) << error;
        std::atomic<bool> stop{false};
        std::thread serving([&] { server.serve(&stop); });
        {
            OpenedPort opened = PosixSerialPort::Open(server.path());
            ASSERT_NE(opened.port, nullptr);
            BootLinkOptions options;
            options.rate = c.rate;
            BootstrapLink cable(*opened.port, *BootPartOfDevice(c.device, nullptr), options);
            EXPECT_TRUE(cable.Start(false)) << cable.error();
            Bytes cells(4);
            EXPECT_TRUE(cable.Read(0xB600, cells)) << cable.error();
            EXPECT_EQ(cells, (Bytes{0x11, 0x22, 0x33, 0x44}));
            const Bytes wanted{0x11, 0x02, 0xFF, 0x45};  // skip, program, erase, both
            CableWriteReport report;
            EXPECT_TRUE(CableProgram(cable, 0xB600, wanted, false, report, error)) << error;
            EXPECT_EQ(report.text(),
                      "4 bytes: 1 already right, 1 programmed, 1 erased, 1 erased and programmed; "
                      "verified");
        }
        stop = true;
        serving.join();
        const Bytes now = part.eeprom();
        EXPECT_EQ(Bytes(now.begin(), now.begin() + 4), (Bytes{0x11, 0x02, 0xFF, 0x45}));
        const auto r = part.record();
        EXPECT_EQ(r.overruns, 0);
        EXPECT_EQ(r.faultPulses(), 0);
    }
}

}  // namespace
}  // namespace jqz
#endif
