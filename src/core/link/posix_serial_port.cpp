#ifndef _WIN32

#include "core/link/posix_serial_port.h"

#include "core/link/posix_any_rate.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>


namespace jqz {

namespace {

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int remainingMs(long long deadline) {
    return static_cast<int>(std::max(0LL, deadline - nowMs()));
}

void pauseMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A pseudo-terminal has no DTR line. The other side (in packet mode) sees an input flush,
// and the virtual programmer takes that for DTR going down, which restarts it. Purges of
// the input are therefore done without a flush on a pseudo-terminal (see clearInput).
void showDtrDropOnPseudoTerminal(int fd) { (void)::tcflush(fd, TCIFLUSH); }

// How long one wait may last before the modem lines are looked at again.
constexpr int kLineCheckMs = 10;

struct SpeedEntry {
    int rate;
    speed_t speed;
};
constexpr SpeedEntry kSpeeds[] = {
    {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
};

// The ports open now, with the settings they had when they were opened, for
// RestoreOpenPortsNow. A slot is claimed, filled, then published by its descriptor; it is
// withdrawn before the descriptor is closed.
struct OpenPortSlot {
    std::atomic<bool> claimed{false};
    std::atomic<int> fd{-1};
    termios found{};
};
OpenPortSlot gOpenPorts[16];

void registerOpenPort(int fd, const termios& found) {
    for (auto& slot : gOpenPorts) {
        bool expected = false;
        if (!slot.claimed.compare_exchange_strong(expected, true)) continue;
        slot.found = found;
        slot.fd.store(fd);
        return;
    }
}

void withdrawOpenPort(int fd) {
    for (auto& slot : gOpenPorts) {
        int expected = fd;
        if (slot.fd.compare_exchange_strong(expected, -1)) {
            slot.claimed.store(false);
            return;
        }
    }
}

void restoreSettings(int fd, const termios& found) {
    // At once: output that CTS holds back is not waited for.
    (void)::tcsetattr(fd, TCSANOW, &found);
    // The exclusive flag stays on the terminal while anyone else holds it open.
    (void)::ioctl(fd, TIOCNXCL);
}

}  // namespace

void RestoreOpenPortsNow() {
    for (auto& slot : gOpenPorts) {
        const int fd = slot.fd.load();
        if (fd >= 0) restoreSettings(fd, slot.found);
    }
}

unsigned PosixSpeedOf(int baudRate) {
    for (const auto& e : kSpeeds)
        if (e.rate == baudRate) return e.speed;
    return 0;
}

int BaudRateOfPosixSpeed(unsigned speed) {
    for (const auto& e : kSpeeds)
        if (e.speed == speed) return e.rate;
    return 0;
}

OpenedPort PosixSerialPort::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {nullptr, errno};
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        const int e = errno;
        ::close(fd);
        return {nullptr, e};
    }
    // flock also holds against root, whom TIOCEXCL does not stop.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return {nullptr, e};
    }
    (void)::ioctl(fd, TIOCEXCL);
    // Unix98 pseudo-terminal slaves have the majors 136..143.
    struct stat st {};
    const bool pseudo = ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
                        major(st.st_rdev) <= 143;
    // DTR comes up as the port opens, after being down while it was closed.
    if (pseudo) showDtrDropOnPseudoTerminal(fd);
    registerOpenPort(fd, tio);
    return {std::unique_ptr<SerialPort>(new PosixSerialPort(fd, pseudo, tio)), 0};
}

PosixSerialPort::~PosixSerialPort() {
    if (pseudo_) showDtrDropOnPseudoTerminal(fd_);  // DTR falls as the port closes
    withdrawOpenPort(fd_);
    restoreSettings(fd_, found_);
    ::close(fd_);
}

bool PosixSerialPort::getSettings(LineSettings& settings) {
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return false;
    std::lock_guard lock(settingsMutex_);
    settings = flags_;
    settings.baudRate = BaudRateOfPosixSpeed(::cfgetospeed(&tio));
    if (settings.baudRate == 0) settings.baudRate = AnyPosixRate(fd_);  // a rate set with BOTHER
    switch (tio.c_cflag & CSIZE) {
        case CS5: settings.dataBits = 5; break;
        case CS6: settings.dataBits = 6; break;
        case CS7: settings.dataBits = 7; break;
        default: settings.dataBits = 8; break;
    }
    settings.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    settings.parity = !(tio.c_cflag & PARENB) ? Parity::None
                      : (tio.c_cflag & PARODD) ? Parity::Odd
                                               : Parity::Even;
    settings.parityCheck = (tio.c_iflag & INPCK) != 0;
    settings.outxCtsFlow = (tio.c_cflag & CRTSCTS) != 0;
    return true;
}

bool PosixSerialPort::setSettings(const LineSettings& settings) {
    // A rate without a speed constant (7812 baud) is set with termios2 once the rest is.
    const bool anyRate = PosixSpeedOf(settings.baudRate) == 0 && settings.baudRate > 0;
    const speed_t speed = anyRate ? B9600 : PosixSpeedOf(settings.baudRate);
    if (speed == 0 || settings.dataBits < 5 || settings.dataBits > 8) {
        errno = EINVAL;
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return false;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[settings.dataBits - 5];
    if (settings.stopBits == 2) tio.c_cflag |= CSTOPB;
    if (settings.parity != Parity::None) tio.c_cflag |= PARENB;
    if (settings.parity == Parity::Odd) tio.c_cflag |= PARODD;
    if (settings.parityCheck) tio.c_iflag |= INPCK;
    if (settings.outxCtsFlow) tio.c_cflag |= CRTSCTS;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return false;
    if (anyRate && !SetAnyPosixRate(fd_, settings.baudRate)) return false;
    if (!pseudo_) {
        int dtr = TIOCM_DTR, rts = TIOCM_RTS;
        (void)::ioctl(fd_, settings.dtrEnable ? TIOCMBIS : TIOCMBIC, &dtr);
        (void)::ioctl(fd_, settings.rtsEnable ? TIOCMBIS : TIOCMBIC, &rts);
    }
    std::lock_guard lock(settingsMutex_);
    flags_ = settings;
    outxDsrFlow_ = settings.outxDsrFlow;
    dsrSensitivity_ = settings.dsrSensitivity;
    return true;
}

bool PosixSerialPort::setTimeouts(const PortTimeouts& timeouts) {
    if (timeouts.readTotalMs < 0 || timeouts.writeTotalMs < 0) return false;
    readTotalMs_ = timeouts.readTotalMs;
    writeTotalMs_ = timeouts.writeTotalMs;
    return true;
}

bool PosixSerialPort::dsrOn() {
    std::uint32_t status = 0;
    return modemStatus(status) && (status & MS_DSR_ON) != 0;
}

bool PosixSerialPort::waitDrained(long long deadline) {
    for (;;) {
        int queued = 0;
        if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) return true;
        if (nowMs() >= deadline) return false;
        pauseMs(1);
    }
}

bool PosixSerialPort::programmerLost() {
    std::uint32_t status = 0;
    return modemStatus(status) && !(status & MS_DSR_ON) && dsrSeenOn_;
}

std::size_t PosixSerialPort::write(const std::uint8_t* data, std::size_t count) {
    const long long deadline = nowMs() + writeTotalMs_;
    long long movedAt = nowMs();
    std::size_t sent = 0;
    while (sent < count) {
        if (programmerLost()) break;
        if (stopRequested() && nowMs() - movedAt >= kStopSilenceMs) break;
        const int left = remainingMs(deadline);
        if (outxDsrFlow_ && !dsrOn()) {
            if (left == 0) break;
            pauseMs(std::min(left, kLineCheckMs));
            continue;
        }
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, std::min(left, kLineCheckMs));
        if (ready > 0 && (p.revents & POLLOUT)) {
            const ssize_t n = ::write(fd_, data + sent, count - sent);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                movedAt = nowMs();
            }
        } else if (ready > 0) {
            break;  // hung up: nothing can go out
        }
        if (sent < count && remainingMs(deadline) == 0) break;
    }
    // A call counts only the bytes that really left: what still waits in the driver at the
    // deadline (CTS held off) is thrown away and not counted.
    if (sent > 0 && !waitDrained(deadline)) {
        int queued = 0;
        if (::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0)
            sent -= std::min(sent, static_cast<std::size_t>(queued));
        ::tcflush(fd_, TCOFLUSH);
    }
    return sent;
}

std::size_t PosixSerialPort::read(std::uint8_t* data, std::size_t count) {
    const long long deadline = nowMs() + readTotalMs_;
    long long cameAt = nowMs();
    std::size_t got = 0;
    std::vector<std::uint8_t> chunk(count);
    while (got < count) {
        if (programmerLost()) break;
        if (stopRequested() && nowMs() - cameAt >= kStopSilenceMs) break;
        const int left = remainingMs(deadline);
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, std::min(left, 5 * kLineCheckMs));
        if (ready > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(fd_, chunk.data(), count - got);
            if (n > 0 && !(dsrSensitivity_ && !dsrOn())) {
                std::memcpy(data + got, chunk.data(), static_cast<std::size_t>(n));
                got += static_cast<std::size_t>(n);
                cameAt = nowMs();
            } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                break;  // the line is gone (EIO once the other side hung up)
            }
        } else if (ready > 0) {
            break;  // hung up: nothing will come
        }
        if (got < count && remainingMs(deadline) == 0) break;
    }
    return got;
}

bool PosixSerialPort::clearInput() {
    if (!pseudo_) return ::tcflush(fd_, TCIFLUSH) == 0;
    std::uint8_t sink[256];
    for (;;) {
        const ssize_t n = ::read(fd_, sink, sizeof sink);
        if (n > 0) continue;
        // Nothing more (EAGAIN), or the other side hung up (EIO): nothing is left either way.
        return n == 0 || errno == EAGAIN || errno == EWOULDBLOCK || errno == EIO;
    }
}

bool PosixSerialPort::purge(unsigned flags) {
    bool ok = true;
    if (flags & (PURGE_RXABORT | PURGE_RXCLEAR)) ok = clearInput() && ok;
    if (flags & (PURGE_TXABORT | PURGE_TXCLEAR)) ok = ::tcflush(fd_, TCOFLUSH) == 0 && ok;
    return ok;
}

bool PosixSerialPort::modemStatus(std::uint32_t& status) {
    if (!readLines(status)) return false;
    // DSR sensitivity: what came in while DSR is off is dropped, whenever that is seen, so
    // that it is not read once DSR is back.
    if (!(status & MS_DSR_ON) && dsrSensitivity_) (void)clearInput();
    return true;
}

bool PosixSerialPort::readLines(std::uint32_t& status) {
    if (pseudo_) {
        pollfd p{fd_, 0, 0};
        if (::poll(&p, 1, 0) < 0) return false;
        status = (p.revents & POLLHUP) ? 0 : (MS_DSR_ON | MS_CTS_ON);
    } else {
        int lines = 0;
        if (::ioctl(fd_, TIOCMGET, &lines) != 0) return false;
        status = 0;
        if (lines & TIOCM_CTS) status |= MS_CTS_ON;
        if (lines & TIOCM_DSR) status |= MS_DSR_ON;
        if (lines & TIOCM_RI) status |= MS_RING_ON;
        if (lines & TIOCM_CD) status |= MS_RLSD_ON;
    }
    if (status & MS_DSR_ON) dsrSeenOn_ = true;
    return true;
}

bool PosixSerialPort::setRts(bool on) {
    if (pseudo_) return true;  // no modem lines
    int rts = TIOCM_RTS;
    return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &rts) == 0;
}

bool PosixSerialPort::setBreak(bool on) { return ::ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) == 0; }

bool PosixSerialPort::setDtr(bool on) {
    if (pseudo_) {
        if (!on) showDtrDropOnPseudoTerminal(fd_);
        return true;
    }
    int dtr = TIOCM_DTR;
    return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &dtr) == 0;
}

}  // namespace jqz

#endif
