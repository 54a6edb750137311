// The HC11 on a pseudo-terminal at the boot ROM's own rate, 7812 baud, set as any integer
// with termios2 (no <termios.h> here: its termios and the kernel's clash).
#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "sim/hc11/hc11_pty_server.h"

namespace jqz::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Reads up to `count` bytes, waiting at most `ms` for each.
Bytes readSome(int fd, std::size_t count, int ms) {
    Bytes got;
    while (got.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0) break;
        std::uint8_t b[64];
        const ssize_t n = ::read(fd, b, std::min(sizeof b, count - got.size()));
        if (n <= 0) break;
        got.insert(got.end(), b, b + n);
    }
    return got;
}

TEST(Hc11PtyRate, AnyIntegerRateSetWithTermios2) {
    VirtualHc11 part;  // E9, 8 MHz: the boot ROM listens at 7812.5 baud
    Hc11PtyServer server(part);
    std::string error;
    ASSERT_TRUE(server.open(error)) << error;
    std::atomic<bool> stop{false};
    std::thread serving([&] { server.serve(&stop); });

    const int fd = ::open(server.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    struct termios2 tio {};
    ASSERT_EQ(::ioctl(fd, TCGETS2, &tio), 0);
    tio.c_iflag = 0;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag = static_cast<tcflag_t>((tio.c_cflag & ~(CBAUD | CSIZE | PARENB | CSTOPB)) |
                                        BOTHER | CS8 | CREAD | CLOCAL);
    tio.c_ispeed = tio.c_ospeed = 7812;
    ASSERT_EQ(::ioctl(fd, TCSETS2, &tio), 0);
    ASSERT_EQ(::ioctl(fd, TCFLSH, TCIFLUSH), 0);  // what the port does to show DTR: a reset
    readSome(fd, 4, 50);                          // the break
    const Bytes download = {0xFF, 0x20, 0xFE, 0x11, 0x22};
    ASSERT_EQ(::write(fd, download.data(), download.size()), static_cast<ssize_t>(download.size()));
    EXPECT_EQ(readSome(fd, 4, 300), Bytes(download.begin() + 1, download.end()));
    ::close(fd);
    stop = true;
    serving.join();
    EXPECT_EQ(part.record().boots.back().loadBaud, 0xA2);
    EXPECT_EQ(part.record().boots.back().bytesLoaded, 4);
}

}  // namespace
}  // namespace jqz::sim
