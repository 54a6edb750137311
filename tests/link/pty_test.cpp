// The termios backend against the virtual programmer on a pseudo-terminal, and the program
// jqz6811-sim.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/link/connection.h"
#include "core/link/port_enumeration.h"
#include "core/link/posix_serial_port.h"
#include "link_fixture.h"
#include "sim/pty_server.h"

namespace jqz::test {
namespace {

class Pty : public ::testing::Test {
protected:
    void serve(sim::SimOptions options = {}) {
        vp_ = std::make_unique<sim::VirtualProgrammer>(std::move(options));
        server_ = std::make_unique<sim::PtyServer>(*vp_);
        std::string error;
        ASSERT_TRUE(server_->open(error)) << error;
        server_->start();
    }
    void TearDown() override { server_.reset(); }
    std::unique_ptr<sim::VirtualProgrammer> vp_;
    std::unique_ptr<sim::PtyServer> server_;
};

TEST_F(Pty, DetectionOverThePseudoTerminalAtTheWorkingRate) {
    serve();
    {
        COM com(server_->path(), 57600, OpenSystemPort);
        EXPECT_EQ(com.ResultText, "MC68HC(7)11 Programmer VER-1.1 detected !");
        EXPECT_TRUE(com.Connected);
        std::vector<std::pair<std::uint8_t, int>> fromPc;
        for (const auto& w : vp_->wire())
            if (w.fromPc) fromPc.emplace_back(w.value, w.rate);
        const std::vector<std::pair<std::uint8_t, int>> expected = {
            {0x06, 9600}, {0x05, 9600}, {0x04, 9600}, {0x10, 9600}, {0xEF, 9600}, {0x06, 57600}};
        EXPECT_EQ(fromPc, expected);
        vp_->clearWire();
    }
    // Freeing it powered the target off and let the port go.
    const Bytes sent = vp_->bytesFromPc();
    ASSERT_EQ(sent.size(), 12u);
    EXPECT_EQ(sent[0], 0x09);
    EXPECT_EQ(sent.back(), 0x02);
    EXPECT_EQ(vp_->bytesToPc(), (Bytes{0x00, 0xFF}));
    EXPECT_NE(PosixSerialPort::Open(server_->path()).port, nullptr);
}

TEST_F(Pty, ANewDetectionAfterAFastSessionFindsTheProgrammerAgain) {
    // Closing the port drops DTR, which restarts the programmer at 9600 baud.
    serve();
    auto com = std::make_unique<COM>(server_->path(), 57600, OpenSystemPort);
    ASSERT_TRUE(com->Connected);
    com->Connected = false;
    com->Detect();
    EXPECT_EQ(com->ResultText, "MC68HC(7)11 Programmer VER-1.1 detected !");
    com.reset();
    COM again(server_->path(), 38400, OpenSystemPort);
    EXPECT_TRUE(again.Connected);
}

TEST_F(Pty, APortInUseDoesNotOpenTwice) {
    serve();
    auto first = PosixSerialPort::Open(server_->path());
    ASSERT_NE(first.port, nullptr);
    EXPECT_TRUE(static_cast<PosixSerialPort&>(*first.port).isPseudoTerminal());
    const auto second = PosixSerialPort::Open(server_->path());
    EXPECT_EQ(second.port, nullptr);
    EXPECT_EQ(second.error, EBUSY);
    EXPECT_FALSE(PortOpens(server_->path()));
    first.port.reset();
    EXPECT_TRUE(PortOpens(server_->path()));
}

TEST_F(Pty, ClosingLeavesTheTerminalAsItWasFound) {
    serve();
    // A terminal in everyday use: line input with echo, 4800 baud.
    const int fd = ::open(server_->path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios found{};
    ASSERT_EQ(::tcgetattr(fd, &found), 0);
    found.c_lflag |= ICANON | ECHO | ISIG;
    found.c_iflag |= ICRNL;
    found.c_oflag |= OPOST | ONLCR;
    ::cfsetispeed(&found, B4800);
    ::cfsetospeed(&found, B4800);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &found), 0);
    ASSERT_EQ(::tcgetattr(fd, &found), 0);
    {
        COM com(server_->path(), 57600, OpenSystemPort);
        ASSERT_TRUE(com.Connected) << com.ResultText;
        termios during{};
        ASSERT_EQ(::tcgetattr(fd, &during), 0);
        EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
        EXPECT_EQ(::cfgetospeed(&during), static_cast<speed_t>(B57600));
    }
    termios after{};
    ASSERT_EQ(::tcgetattr(fd, &after), 0);
    ::close(fd);
    EXPECT_EQ(after.c_iflag, found.c_iflag);
    EXPECT_EQ(after.c_oflag, found.c_oflag);
    EXPECT_EQ(after.c_cflag, found.c_cflag);
    EXPECT_EQ(after.c_lflag, found.c_lflag);
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&found));
    EXPECT_EQ(::cfgetispeed(&after), ::cfgetispeed(&found));
    EXPECT_EQ(Bytes(std::begin(after.c_cc), std::end(after.c_cc)),
              Bytes(std::begin(found.c_cc), std::end(found.c_cc)));
}

TEST_F(Pty, TimeOutsAreOneDeadlinePerCall) {
    sim::SimOptions o;
    o.faults.replyFaults = {{0x15, 1, 2, sim::ReplyFault::Truncate}};
    serve(o);
    IO_DLL_R_W channel(server_->path(), OpenSystemPort);
    ASSERT_EQ(channel.TakeLastError(), "");
    // Straight on the port, with a short time-out: 2 of 3 bytes arrive.
    auto opened = PosixSerialPort::Open(server_->path());
    EXPECT_EQ(opened.port, nullptr);  // the channel holds it

    const std::uint8_t request = 0x15;
    channel.SetTimeouts(1);
    const auto start = std::chrono::steady_clock::now();
    channel.WriteBytes(&request, 1);
    std::uint8_t buffer[3] = {0x11, 0x22, 0x33};
    channel.ReadBytes(buffer, 3);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(channel.TakeLastError(), "Receiver TimeOut Error.");
    EXPECT_EQ(buffer[0], 0xFF);
    EXPECT_EQ(buffer[1], 0xFF);
    EXPECT_EQ(buffer[2], 0x33);
    EXPECT_GE(took, std::chrono::milliseconds(950));
    EXPECT_LT(took, std::chrono::milliseconds(1500));
}

TEST_F(Pty, HangingUpIsDsrOffForTheChannelAndTheWatcher) {
    serve();
    std::atomic<bool> connected{true};
    IO_DLL_R_W channel(server_->path(), OpenSystemPort, &connected);
    ASSERT_EQ(channel.TakeLastError(), "");
    EXPECT_TRUE(channel.ProgrammerPresent());
    EXPECT_EQ(channel.ReadIdentification(), "MC68HC(7)11 Programmer VER-1.1");
    vp_->setDsr(false);  // the cable is pulled: the server hangs up
    EXPECT_TRUE(eventually([&] { return !connected; }));
    EXPECT_FALSE(channel.ProgrammerPresent());
    EXPECT_EQ(channel.TakeLastError(), "");
}

// The cable pulled: the line hangs up, and a write or a read on it ends at once instead of
// waiting out its time-out.
TEST_F(Pty, WritesAndReadsOnAHungUpLineEndAtOnce) {
    serve();
    auto opened = PosixSerialPort::Open(server_->path());
    ASSERT_NE(opened.port, nullptr);
    SerialPort& port = *opened.port;
    LineSettings s;
    ASSERT_TRUE(port.getSettings(s));
    s.outxDsrFlow = true;
    s.dsrSensitivity = true;
    ASSERT_TRUE(port.setSettings(s));
    ASSERT_TRUE(port.setTimeouts({5000, 5000}));
    vp_->setDsr(false);
    ASSERT_TRUE(eventually([&] {
        std::uint32_t st = 0;
        return port.modemStatus(st) && !(st & MS_DSR_ON);
    }));
    const std::uint8_t b = 0x06;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.write(&b, 1), 0u);
    std::uint8_t in = 0;
    EXPECT_EQ(port.read(&in, 1), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

// Rates without a speed constant (an HC11 boot ROM's 7812 baud) go through termios2 and read
// back as set; a rate of 0 is none.
TEST_F(Pty, SettingsRoundTripAtAnyRateAndNoRateRefused) {
    serve();
    auto opened = PosixSerialPort::Open(server_->path());
    ASSERT_NE(opened.port, nullptr);
    LineSettings s;
    s.baudRate = 38400;
    s.outxCtsFlow = true;
    ASSERT_TRUE(opened.port->setSettings(s));
    LineSettings back;
    ASSERT_TRUE(opened.port->getSettings(back));
    EXPECT_EQ(back, s);
    for (int rate : {7812, 1202, 12345}) {
        s.baudRate = rate;
        ASSERT_TRUE(opened.port->setSettings(s)) << rate;
        ASSERT_TRUE(opened.port->getSettings(back));
        EXPECT_EQ(back, s) << rate;
    }
    s.baudRate = 0;
    EXPECT_FALSE(opened.port->setSettings(s));
    EXPECT_TRUE(opened.port->setDtr(false));  // no modem lines: nothing happens
    EXPECT_TRUE(opened.port->setDtr(true));
    EXPECT_TRUE(opened.port->purge(PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT));
}

#ifdef JQZ_SIM_PROGRAM
// The program: prints its path, serves it, writes the wire log, stops on SIGTERM.
TEST(SimProgram, ServesAPseudoTerminalAndLogsTheWire) {
    std::string folder = (std::filesystem::temp_directory_path() / "jqzsimXXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::string log = std::string(folder) + "/wire.log";
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string program = JQZ_SIM_PROGRAM;
    std::vector<std::string> args = {program, "--wire-log", log, "--firmware-version", "VER-1.0"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string path;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') path += c;
    ::close(out[0]);
    ASSERT_FALSE(path.empty());
    {
        COM com(path, 38400, OpenSystemPort);
        EXPECT_EQ(com.ResultText, "MC68HC(7)11 Programmer VER-1.0 detected !");
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::ifstream in(log);
    std::vector<std::string> fromPc;
    for (std::string line; std::getline(in, line);)
        if (line[0] == '>') fromPc.push_back(line);
    ASSERT_GE(fromPc.size(), 7u);
    EXPECT_EQ(fromPc[0], "> 06 9600");
    EXPECT_EQ(fromPc[1], "> 05 9600");
    EXPECT_EQ(fromPc[2], "> 04 9600");
    EXPECT_EQ(fromPc[3], "> 19 9600");
    EXPECT_EQ(fromPc[4], "> E6 9600");
    EXPECT_EQ(fromPc[5], "> 06 38400");
    EXPECT_EQ(fromPc[6], "> 09 38400");
    std::remove(log.c_str());
    ::rmdir(folder.c_str());
}
#endif

}  // namespace
}  // namespace jqz::test
