#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/link/posix_serial_port.h"

namespace jqz::sim {

namespace {
long long wireUs(int rate) { return rate > 0 ? 10'000'000LL / rate : 0; }
}  // namespace

PtyServer::~PtyServer() {
    stop();
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
}

bool openPseudoTerminal(int& master, int& slave, std::string& path, std::string& error) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) != 0) {
        error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    path = name;
    int packet = 1;
    if (::ioctl(master, TIOCPKT, &packet) != 0) {
        error = std::string("cannot use packet mode: ") + std::strerror(errno);
        return false;
    }
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = std::string("cannot open ") + name + ": " + std::strerror(errno);
        return false;
    }
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(slave, TCSANOW, &tio);
    return true;
}

bool PtyServer::open(std::string& error) { return openPseudoTerminal(master_, slave_, path_, error); }

int PtyServer::pcRate() {
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0) return 0;
    return BaudRateOfPosixSpeed(::cfgetospeed(&tio));
}

void PtyServer::start() {
    thread_ = std::thread([this] { serve(); });
}

void PtyServer::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void PtyServer::serve(const std::atomic<bool>* stopFlag) {
    std::uint8_t buffer[512];
    // Work the programmer took on (an EEPROM write, a link) delays its next answer.
    int busyMs = 0;
    while (!stop_ && !(stopFlag && *stopFlag)) {
        if (!programmer_.with([](ProgrammerModel& m) { return m.dsr(); })) {
            // The cable is pulled: the PC sees the line hang up.
            ::close(slave_);
            ::close(master_);
            slave_ = master_ = -1;
            hungUp_ = true;
            return;
        }
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) continue;
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) continue;
        if (buffer[0] != TIOCPKT_DATA) {
            if (buffer[0] & TIOCPKT_FLUSHREAD)
                programmer_.with([](ProgrammerModel& m) { m.reset(); return 0; });
            continue;
        }
        const int rate = pcRate();
        for (ssize_t i = 1; i < n; ++i) {
            bool timing = false;
            int replyRate = 0;
            const Output out = programmer_.with([&](ProgrammerModel& m) {
                timing = m.options().timing;
                Output o = m.receive(buffer[i], rate);
                replyRate = m.rate();
                return o;
            });
            busyMs += out.busyMs;
            if (out.bytes.empty()) continue;
            if (timing) {
                std::this_thread::sleep_for(std::chrono::milliseconds(std::exchange(busyMs, 0)) +
                                            std::chrono::microseconds(
                                                wireUs(replyRate) *
                                                static_cast<long long>(out.bytes.size())));
            }
            std::size_t done = 0;
            while (done < out.bytes.size()) {
                const ssize_t w = ::write(master_, out.bytes.data() + done, out.bytes.size() - done);
                if (w <= 0) break;
                done += static_cast<std::size_t>(w);
            }
        }
    }
}

}  // namespace jqz::sim
