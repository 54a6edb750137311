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
#include "bootstrap_cases.h"

namespace jqz {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The model served on its own thread for as long as this lives.
class Served {
public:
    explicit Served(sim::VirtualHc11& part) : server_(part) {
        std::string error;
        opened_ = server_.open(error);
        EXPECT_TRUE(opened_) << error;
        if (opened_) thread_ = std::thread([this] { server_.serve(&stop_); });
    }
    ~Served() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    OpenedPort open() { return opened_ ? PosixSerialPort::Open(server_.path()) : OpenedPort{}; }

private:
    sim::Hc11PtyServer server_;
    bool opened_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST(BootstrapPty, TalkerRunsOnEachPartAtEachRate) {
    for (const auto& c : kPartsAndRates) {
        SCOPED_TRACE(std::string(c.model) + (c.rate == BootRate::Fast ? " fast" : " 1200"));
        sim::Hc11Options o;
        o.part = c.model;
        o.eeprom = Bytes{0x11, 0x22, 0x33, 0x44};
        sim::VirtualHc11 part(o);
        {
            Served served(part);
            OpenedPort opened = served.open();
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
            std::string error;
            EXPECT_TRUE(CableProgram(cable, 0xB600, wanted, false, report, error)) << error;
            EXPECT_EQ(report.text(),
                      "4 bytes: 1 already right, 1 programmed, 1 erased, 1 erased and programmed; "
                      "verified");
        }
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
