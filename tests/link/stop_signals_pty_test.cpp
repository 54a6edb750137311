// Stop signals in a program with a port open on a pseudo-terminal and a thread writing to it:
// the first signal only asks (the flag, the signal's number on the pipe), a second one puts
// the port back as it was found and ends the process at once.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "core/link/stop_signals.h"
#include "core/link/posix_serial_port.h"

namespace jqz::test {
namespace {

// The process the signals end: opens the terminal, moves it to 57600 baud in raw mode, keeps
// writing to it from a thread, and takes SIGTERM and then SIGINT. Ends with 130 from the
// second signal's handler, or with another code that tells what went wrong.
[[noreturn]] void signalledProcess(const std::string& terminal) {
    std::atomic<bool> stop{false};
    int notify[2];
    if (::pipe(notify) != 0) std::_Exit(10);
    CatchStopSignals(stop, notify[1]);
    OpenedPort opened = PosixSerialPort::Open(terminal);
    if (!opened.port) std::_Exit(11);
    LineSettings settings;
    settings.baudRate = 57600;
    if (!opened.port->setSettings(settings) || !opened.port->setTimeouts({10, 10}))
        std::_Exit(12);
    SerialPort* port = opened.port.get();
    std::thread writer([port] {
        const std::uint8_t block[64] = {};
        for (;;) (void)port->write(block, sizeof block);
    });
    writer.detach();
    (void)::raise(SIGTERM);
    unsigned char number = 0;
    if (!stop.load() || ::read(notify[0], &number, 1) != 1 || number != SIGTERM) std::_Exit(13);
    (void)::raise(SIGINT);
    std::_Exit(14);
}

TEST(StopSignals, FirstAsksSecondPutsThePortBackAndEndsAtOnce) {
    // Forked where the statement stands, so that the process shares this terminal.
    GTEST_FLAG_SET(death_test_style, "fast");
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    char name[128] = {};
    ASSERT_EQ(::ptsname_r(master, name, sizeof name), 0);
    // A terminal in everyday use: line input with echo, 4800 baud.
    const int terminal = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    termios found{};
    ASSERT_EQ(::tcgetattr(terminal, &found), 0);
    found.c_lflag |= ICANON | ECHO;
    ::cfsetispeed(&found, B4800);
    ::cfsetospeed(&found, B4800);
    ASSERT_EQ(::tcsetattr(terminal, TCSANOW, &found), 0);
    ASSERT_EQ(::tcgetattr(terminal, &found), 0);

    EXPECT_EXIT(signalledProcess(name), ::testing::ExitedWithCode(128 + SIGINT),
                "Stopped again: exiting at once.");

    termios after{};
    ASSERT_EQ(::tcgetattr(terminal, &after), 0);
    EXPECT_EQ(after.c_iflag, found.c_iflag);
    EXPECT_EQ(after.c_oflag, found.c_oflag);
    EXPECT_EQ(after.c_cflag, found.c_cflag);
    EXPECT_EQ(after.c_lflag, found.c_lflag);
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&found));
    // Its exclusive use let go.
    int exclusive = -1;
    ASSERT_EQ(::ioctl(terminal, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(terminal);
    ::close(master);
}

}  // namespace
}  // namespace jqz::test
