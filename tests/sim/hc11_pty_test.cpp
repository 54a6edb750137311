// The HC11 model served in real time on a pseudo-terminal, through the project's POSIX port.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/link/posix_serial_port.h"
#include "sim/hc11/hc11_pty_server.h"

namespace jqz::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Hc11Pty, BootstrapDownloadOverThePseudoTerminal) {
    // A 9.8304 MHz crystal puts the boot ROM's fast rate (E/256) at the standard 9600 baud.
    Hc11Options o;
    o.part = "E9";
    o.xtalMHz = 9.8304;
    VirtualHc11 part(o);
    Hc11PtyServer server(part);
    std::string error;
    ASSERT_TRUE(server.open(error)) << error;
    std::atomic<bool> stop{false};
    std::thread serving([&] { server.serve(&stop); });

    OpenedPort opened = PosixSerialPort::Open(server.path());
    ASSERT_NE(opened.port, nullptr);
    SerialPort& port = *opened.port;
    LineSettings s;
    s.baudRate = 9600;
    ASSERT_TRUE(port.setSettings(s));
    ASSERT_TRUE(port.setTimeouts(PortTimeouts{300, 300}));
    // Opening reset the part: its break arrives first.
    Bytes got(1);
    ASSERT_EQ(port.read(got.data(), 1), 1u);
    EXPECT_EQ(got[0], 0x00);
    const Bytes program = {0x20, 0xFE, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    Bytes download{0xFF};
    download.insert(download.end(), program.begin(), program.end());
    ASSERT_EQ(port.write(download.data(), download.size()), download.size());
    Bytes echo(program.size());
    echo.resize(port.read(echo.data(), echo.size()));
    EXPECT_EQ(echo, program);
    opened.port.reset();
    stop = true;
    serving.join();
    const Hc11Record r = part.record();
    ASSERT_FALSE(r.boots.empty());
    bool loaded = false;
    for (const BootEntry& b : r.boots) loaded = loaded || b.bytesLoaded == 8;
    EXPECT_TRUE(loaded);
}

}  // namespace
}  // namespace jqz::sim
