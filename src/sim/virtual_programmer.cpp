#include "sim/virtual_programmer.h"

#include <cerrno>
#include <chrono>

namespace jqz::sim {

namespace {

using Clock = std::chrono::steady_clock;

long long nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               Clock::now().time_since_epoch())
        .count();
}

Clock::time_point atUs(long long us) {
    return Clock::time_point(std::chrono::duration_cast<Clock::duration>(
        std::chrono::microseconds(us)));
}

// One byte on the line: start bit, 8 data bits, stop bit.
long long wireUs(int rate) { return rate > 0 ? 10'000'000LL / rate : 0; }

bool knownRate(int rate) {
    for (int r : {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        if (r == rate) return true;
    return false;
}

class VirtualPort : public SerialPort {
public:
    explicit VirtualPort(std::shared_ptr<VirtualProgrammer::State> state)
        : s_(std::move(state)) {}

    // Closing the port drops DTR, which restarts the programmer.
    ~VirtualPort() override {
        std::lock_guard lock(s_->mutex);
        s_->portOpen = false;
        s_->toPc.clear();
        s_->model.reset();
    }

    bool getSettings(LineSettings& settings) override {
        std::lock_guard lock(s_->mutex);
        if (s_->faults.failGetSettings) return false;
        settings = s_->settings;
        return true;
    }

    bool setSettings(const LineSettings& settings) override {
        std::lock_guard lock(s_->mutex);
        if (s_->faults.failSetSettings || !knownRate(settings.baudRate)) {
            errno = EINVAL;
            return false;
        }
        s_->settings = settings;
        return true;
    }

    bool setTimeouts(const PortTimeouts& timeouts) override {
        std::lock_guard lock(s_->mutex);
        if (s_->faults.failTimeouts) return false;
        s_->timeouts = timeouts;
        return true;
    }

    std::size_t write(const std::uint8_t* data, std::size_t count) override {
        std::unique_lock lock(s_->mutex);
        const long long deadline = nowUs() + 1000LL * s_->timeouts.writeTotalMs / s_->timeoutDivisor;
        const bool timing = s_->model.options().timing;
        std::size_t sent = 0;
        for (; sent < count; ++sent) {
            if (s_->settings.outxDsrFlow && !waitForDsr(lock, deadline)) break;
            const int rate = s_->settings.baudRate;
            // Timing model: the port's buffer takes the byte at once and the line sends it as
            // soon as it is free, so bytes written one after the other go out back to back;
            // the programmer has it when its last bit is in.
            long long now = nowUs();
            if (timing) {
                now = std::max(now, s_->lineFreeAt) + wireUs(rate);
                s_->lineFreeAt = now;
                s_->accountedUs += wireUs(rate);
            }
            Output out = s_->model.receive(data[sent], rate);
            // The programmer answers nothing before the work it took on is done (an EEPROM
            // write, a link), whichever request the answer belongs to.
            if (out.busyMs > 0) {
                s_->busyUntil = std::max(now, s_->busyUntil) + 1000LL * out.busyMs;
                s_->accountedUs += 1000LL * out.busyMs;
            }
            long long at = std::max(now, s_->busyUntil);
            if (!s_->toPc.empty()) at = std::max(at, s_->toPc.back().first);
            for (std::uint8_t b : out.bytes) {
                if (timing) {
                    at += wireUs(s_->model.rate());
                    s_->accountedUs += wireUs(s_->model.rate());
                }
                s_->toPc.emplace_back(at, b);
            }
            s_->changed.notify_all();
        }
        return sent;
    }

    std::size_t read(std::uint8_t* data, std::size_t count) override {
        std::unique_lock lock(s_->mutex);
        const long long deadline = nowUs() + 1000LL * s_->timeouts.readTotalMs / s_->timeoutDivisor;
        std::size_t got = 0;
        long long cameAt = nowUs();
        for (;;) {
            const long long now = nowUs();
            while (got < count && !s_->toPc.empty() && s_->toPc.front().first <= now) {
                const std::uint8_t b = s_->toPc.front().second;
                s_->toPc.pop_front();
                if (s_->settings.dsrSensitivity && !s_->model.dsr()) continue;
                data[got++] = b;
                cameAt = now;
            }
            if (got == count || now >= deadline || lost()) break;
            if (stopRequested() && now - cameAt >= 1000LL * kStopSilenceMs) break;
            // Wake when the bytes still missing are all in (or the last one queued is), not
            // once per byte; while a stop flag is set, often enough to see it.
            long long wake = deadline;
            if (!s_->toPc.empty()) {
                const std::size_t missing = std::min(count - got, s_->toPc.size());
                wake = std::min(wake, s_->toPc[missing - 1].first);
            }
            if (stopFlagSet_) wake = std::min(wake, now + kStopPollUs);
            s_->changed.wait_until(lock, atUs(wake));
        }
        return got;
    }

    bool purge(unsigned flags) override {
        std::lock_guard lock(s_->mutex);
        if (s_->faults.failPurge) return false;
        s_->purges.push_back(flags);
        if (flags & (PURGE_RXABORT | PURGE_RXCLEAR)) s_->toPc.clear();
        return true;
    }

    bool modemStatus(std::uint32_t& status) override {
        std::lock_guard lock(s_->mutex);
        if (s_->faults.failModemStatus) return false;
        status = MS_CTS_ON | (s_->model.dsr() ? MS_DSR_ON : 0);
        if (s_->model.dsr()) dsrSeenOn_ = true;
        // DSR sensitivity: once DSR is seen off, what came in is dropped.
        if (!s_->model.dsr() && s_->settings.dsrSensitivity) s_->toPc.clear();
        return true;
    }

    bool setDtr(bool on) override {
        std::lock_guard lock(s_->mutex);
        const long long now = nowUs();
        if (!on) {
            if (dtrOffAt_ < 0) dtrOffAt_ = now;
        } else if (dtrOffAt_ >= 0) {
            s_->dtrPulses.push_back((now - dtrOffAt_) / 1000);
            dtrOffAt_ = -1;
            s_->model.reset();
            s_->toPc.clear();
            s_->busyUntil = 0;
            s_->lineFreeAt = 0;
        }
        return true;
    }

    void setStopFlag(const std::atomic<bool>* flag) override {
        SerialPort::setStopFlag(flag);
        stopFlagSet_ = flag != nullptr;
    }

private:
    static constexpr long long kStopPollUs = 10'000;

    // DSR is off after having been seen on: the programmer went away. Under the lock.
    bool lost() const { return !s_->model.dsr() && dsrSeenOn_; }

    // DSR output flow control: waits until DSR is on; false when the write is to end
    // instead (time-out, programmer lost, or a stop with the write held back too long).
    bool waitForDsr(std::unique_lock<std::mutex>& lock, long long deadline) {
        const long long since = nowUs();
        while (!s_->model.dsr()) {
            const long long now = nowUs();
            if (now >= deadline || lost()) return false;
            if (stopRequested() && now - since >= 1000LL * kStopSilenceMs) return false;
            long long wake = deadline;
            if (stopFlagSet_) wake = std::min(wake, now + kStopPollUs);
            s_->changed.wait_until(lock, atUs(wake));
        }
        return true;
    }

    std::shared_ptr<VirtualProgrammer::State> s_;
    long long dtrOffAt_ = -1;
    bool dsrSeenOn_ = false;    // under the lock
    bool stopFlagSet_ = false;  // set before the port is used
};

}  // namespace

VirtualProgrammer::VirtualProgrammer(SimOptions options)
    : state_(std::make_shared<State>(std::move(options))) {
    // The port's own settings before the channel configures it.
    state_->settings.baudRate = 4800;
    state_->settings.parity = Parity::Even;
    state_->settings.parityCheck = true;
    state_->settings.dtrEnable = false;
}

VirtualProgrammer::~VirtualProgrammer() = default;

OpenedPort VirtualProgrammer::open() {
    std::lock_guard lock(state_->mutex);
    if (state_->portOpen) return {nullptr, EBUSY};
    state_->portOpen = true;
    return {std::make_unique<VirtualPort>(state_), 0};
}

PortOpener VirtualProgrammer::opener() {
    return [this](const std::string&) { return open(); };
}

void VirtualProgrammer::setDsr(bool on) {
    std::lock_guard lock(state_->mutex);
    state_->model.setDsr(on);
    state_->changed.notify_all();
}

std::vector<WireByte> VirtualProgrammer::wire() {
    std::lock_guard lock(state_->mutex);
    return state_->model.wire();
}

std::vector<std::uint8_t> VirtualProgrammer::bytesFromPc() {
    std::vector<std::uint8_t> bytes;
    for (const auto& w : wire())
        if (w.fromPc && !w.lost) bytes.push_back(w.value);
    return bytes;
}

std::vector<std::uint8_t> VirtualProgrammer::bytesToPc() {
    std::vector<std::uint8_t> bytes;
    for (const auto& w : wire())
        if (!w.fromPc && !w.lost) bytes.push_back(w.value);
    return bytes;
}

void VirtualProgrammer::clearWire() {
    std::lock_guard lock(state_->mutex);
    state_->model.clearWire();
}

void VirtualProgrammer::setTimeoutDivisor(int divisor) {
    std::lock_guard lock(state_->mutex);
    state_->timeoutDivisor = std::max(1, divisor);
}

void VirtualProgrammer::setPortFaults(const PortFaults& faults) {
    std::lock_guard lock(state_->mutex);
    state_->faults = faults;
}

PortTimeouts VirtualProgrammer::lastTimeouts() {
    std::lock_guard lock(state_->mutex);
    return state_->timeouts;
}

LineSettings VirtualProgrammer::lastSettings() {
    std::lock_guard lock(state_->mutex);
    return state_->settings;
}

std::vector<unsigned> VirtualProgrammer::purges() {
    std::lock_guard lock(state_->mutex);
    return state_->purges;
}

std::vector<long long> VirtualProgrammer::dtrPulses() {
    std::lock_guard lock(state_->mutex);
    return state_->dtrPulses;
}

long long VirtualProgrammer::accountedMicroseconds() {
    std::lock_guard lock(state_->mutex);
    return state_->accountedUs;
}

void VirtualProgrammer::resetAccountedTime() {
    std::lock_guard lock(state_->mutex);
    state_->accountedUs = 0;
}

bool VirtualProgrammer::portOpen() {
    std::lock_guard lock(state_->mutex);
    return state_->portOpen;
}

}  // namespace jqz::sim
