#include "core/link/io_dll_r_w.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/link/port_enumeration.h"

namespace jqz {

namespace {
void pauseMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
}  // namespace

// --- watcher ---

Comm_EventTh::Comm_EventTh(SerialPort& port, std::atomic<bool>* connected)
    : port_(port), connected_(connected), thread_([this] { run(); }) {}

Comm_EventTh::~Comm_EventTh() {
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Comm_EventTh::run() {
    std::uint32_t status = 0;  // keeps its last value when a read fails
    std::unique_lock lock(mutex_);
    for (;;) {
        if (wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return terminated_; }))
            return;
        std::uint32_t now = 0;
        if (port_.modemStatus(now)) status = now;
        if (!(status & MS_DSR_ON) && connected_ != nullptr) connected_->store(false);
    }
}

// --- channel ---

IO_DLL_R_W::IO_DLL_R_W(const std::string& portName, const PortOpener& opener,
                       std::atomic<bool>* connected, const std::atomic<bool>* stopFlag) {
    lastError_.clear();
    OpenedPort opened = opener ? opener(portName) : OpenedPort{nullptr, ENODEV};
    if (!opened.port) {
        openError_ = opened.error != 0 ? opened.error : ENODEV;
        lastError_ = kErrorOpeningPort + portName;
        return;
    }
    port_ = std::move(opened.port);
    port_->setStopFlag(stopFlag);
    SetTimeouts(2);
    if (!lastError_.empty()) return;
    if (!port_->getSettings(settings_)) {
        openError_ = errno;
        lastError_ = kErrorOpeningPort + portName;
        return;
    }
    settings_.parityCheck = false;
    settings_.baudRate = 9600;
    settings_.dataBits = 8;
    settings_.stopBits = 1;
    settings_.parity = Parity::None;  // the port's own parity mode is not trusted
    settings_.outxCtsFlow = true;
    settings_.outxDsrFlow = true;
    settings_.dsrSensitivity = true;
    settings_.dtrEnable = true;
    settings_.rtsEnable = true;
    settings_.parityCheck = false;  // and once more after the other flags
    if (!port_->setSettings(settings_)) {
        openError_ = errno;
        lastError_ = kErrorOpeningPort + portName;
        return;
    }
    if (!port_->purge(PURGE_RXCLEAR) || !port_->purge(PURGE_TXCLEAR)) {
        lastError_ = kCommunicationError;
        return;
    }
    watcher_ = std::make_unique<Comm_EventTh>(*port_, connected);
    pauseMs(200);
}

IO_DLL_R_W::~IO_DLL_R_W() {
    watcher_.reset();
    if (port_) port_->purge(PURGE_RXABORT);
}

void IO_DLL_R_W::SetTimeouts(int seconds) {
    const PortTimeouts t{seconds * 1000, seconds * 1000};
    if (!port_ || !port_->setTimeouts(t)) {
        lastError_ = kErrorTimeOutConstant;
        return;
    }
    timeouts_ = t;
}

bool IO_DLL_R_W::WriteBytes(const std::uint8_t* buffer, std::size_t count) {
    const std::size_t written = port_ ? port_->write(buffer, count) : 0;
    if (written == count) return true;
    if (port_) {
        port_->purge(PURGE_TXABORT);
        port_->purge(PURGE_TXCLEAR);
    }
    lastError_ = kTransmitterTimeOut;
    return false;
}

bool IO_DLL_R_W::ReadBytes(std::uint8_t* buffer, std::size_t count) {
    const std::size_t got = port_ ? port_->read(buffer, count) : 0;
    if (got == count) return true;
    if (port_) {
        port_->purge(PURGE_TXABORT);
        port_->purge(PURGE_TXCLEAR);
    }
    lastError_ = kReceiverTimeOut;
    return false;
}

void IO_DLL_R_W::PurgeInput() {
    // A purge that fails leaves what is there; the reply checks still stand guard.
    if (port_) (void)port_->purge(PURGE_RXCLEAR);
}

void IO_DLL_R_W::DrainInput() {
    if (!port_) return;
    constexpr int kSilenceMs = 100;
    constexpr auto kLongest = std::chrono::seconds(3);
    if (!port_->setTimeouts({kSilenceMs, timeouts_.writeTotalMs})) return;
    const auto start = std::chrono::steady_clock::now();
    std::uint8_t sink[256];
    while (port_->read(sink, sizeof sink) > 0 && std::chrono::steady_clock::now() - start < kLongest) {
    }
    (void)port_->setTimeouts(timeouts_);
}

std::string IO_DLL_R_W::TakeLastError() {
    std::string copy = std::move(lastError_);
    lastError_.clear();
    return copy;
}

bool IO_DLL_R_W::ProgrammerPresent() {
    std::uint32_t status = 0;
    if (!port_ || !port_->modemStatus(status)) {
        lastError_ = kModemStatusError;
        return false;
    }
    if (status & MS_DSR_ON) {
        lastError_.clear();
        return true;
    }
    return false;
}

bool IO_DLL_R_W::ProgrammerLost() {
    std::uint32_t status = 0;
    return !port_ || !port_->modemStatus(status) || !(status & MS_DSR_ON);
}

void IO_DLL_R_W::ResetProgrammer() {
    if (!port_) return;
    port_->purge(PURGE_RXABORT);
    port_->purge(PURGE_TXABORT);
    port_->purge(PURGE_TXCLEAR);
    port_->purge(PURGE_RXCLEAR);
    port_->setDtr(false);
    pauseMs(500);
    port_->setDtr(true);
}

void IO_DLL_R_W::SetBaudRate(int rate) {
    LineSettings next = settings_;
    next.baudRate = rate;
    if (!port_ || !port_->setSettings(next)) {
        lastError_ = kErrorBaudRate;
        return;
    }
    settings_ = next;
}

// --- advice for a port that does not open ---

std::string PortOpenAdvice(const std::string& portName, int error) {
    switch (error) {
        case 0: return {};
        case EACCES:
        case EPERM:
            return "The port " + portName +
                   " may not be used by this user. Add the user to the group \"dialout\" "
                   "(sudo usermod -aG dialout $USER), then log out and in again.";
        case EBUSY:
        case EWOULDBLOCK:
            return "The port " + portName + PortInUseAdvice();
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "The port " + portName + PortMissingAdvice() + kChoosePortInWindow;
        case ENOTTY:
            return "The port " + portName + " is not a serial port.";
        case EINVAL:
            return "The port " + portName + " refuses the line settings (9600 baud, 8 data "
                                            "bits, 1 stop bit, hardware handshake).";
        default:
            return "The port " + portName + " cannot be used: " + std::strerror(error) + ".";
    }
}

}  // namespace jqz
