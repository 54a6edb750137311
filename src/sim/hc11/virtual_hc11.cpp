#include "sim/hc11/virtual_hc11.h"

#include <cerrno>
#include <cmath>

#include "sim/hc11/machine.h"

namespace jqz::sim {

int Hc11Record::faultPulses() const {
    int count = 0;
    for (const EepromPulse& p : pulses)
        if (p.sameWrite || p.tooShort) ++count;
    return count;
}

struct VirtualHc11::State {
    explicit State(const Hc11Options& o) : options(o), machine(o) {}
    std::mutex mutex;
    Hc11Options options;
    hc11::Machine machine;
    bool portOpen = false;
    LineSettings settings;
    PortTimeouts timeouts;
};

namespace {

class Hc11Port : public SerialPort {
public:
    explicit Hc11Port(std::shared_ptr<VirtualHc11::State> state) : s_(std::move(state)) {}
    ~Hc11Port() override {
        std::lock_guard lock(s_->mutex);
        s_->portOpen = false;
    }

    bool getSettings(LineSettings& settings) override {
        std::lock_guard lock(s_->mutex);
        settings = s_->settings;
        return true;
    }

    bool setSettings(const LineSettings& settings) override {
        std::lock_guard lock(s_->mutex);
        if (settings.baudRate <= 0 || settings.dataBits != 8) {
            errno = EINVAL;
            return false;
        }
        if (settings.baudRate != s_->settings.baudRate && s_->options.faults.lostLastEcho)
            s_->machine.loseLastUnread();
        s_->settings = settings;
        s_->machine.setHostBaud(settings.baudRate);
        return true;
    }

    bool setTimeouts(const PortTimeouts& timeouts) override {
        std::lock_guard lock(s_->mutex);
        s_->timeouts = timeouts;
        return true;
    }

    std::size_t write(const std::uint8_t* data, std::size_t count) override {
        std::lock_guard lock(s_->mutex);
        s_->machine.hostWrite(data, count, s_->settings.baudRate);
        return count;
    }

    std::size_t read(std::uint8_t* data, std::size_t count) override {
        std::lock_guard lock(s_->mutex);
        hc11::Machine& m = s_->machine;
        const double bit = m.eHz() / std::max(1, s_->settings.baudRate);
        // A read without a time-out still lets the line move on by a bit time, so that a
        // host that polls sees time pass.
        const long long wait = s_->timeouts.readTotalMs > 0
                                   ? static_cast<long long>(s_->timeouts.readTotalMs * m.eHz() / 1000.0)
                                   : static_cast<long long>(std::ceil(bit));
        const long long deadline = m.cycle() + wait;
        std::size_t got = 0;
        for (;;) {
            auto& rx = m.hostReceived();
            while (got < count && !rx.empty()) {
                data[got++] = rx.front().value;
                rx.pop_front();
            }
            if (got == count || m.cycle() >= deadline) break;
            if (stopRequested()) break;
            const double next = m.nextHostByteAt();
            long long target = next >= 0 ? static_cast<long long>(std::ceil(next))
                                         : m.cycle() + static_cast<long long>(std::ceil(bit));
            target = std::min(std::max(target, m.cycle() + 1), deadline);
            m.runUntil(target);
        }
        return got;
    }

    bool purge(unsigned flags) override {
        std::lock_guard lock(s_->mutex);
        if (flags & (PURGE_RXABORT | PURGE_RXCLEAR)) s_->machine.hostReceived().clear();
        return true;
    }

    // A three-wire cable: no modem status lines.
    bool modemStatus(std::uint32_t& status) override {
        status = 0;
        return true;
    }

    bool setDtr(bool on) override { return resetLine(ResetWiring::Dtr, on); }
    bool setRts(bool on) override { return resetLine(ResetWiring::Rts, on); }

    bool setBreak(bool on) override {
        std::lock_guard lock(s_->mutex);
        s_->machine.hostBreak(on, s_->settings.baudRate);
        return true;
    }

private:
    // The line wired to RESET holds the part in reset while active; releasing it starts the
    // part in bootstrap mode. Lines not wired do nothing.
    bool resetLine(ResetWiring line, bool on) {
        std::lock_guard lock(s_->mutex);
        if (s_->options.reset == line) {
            s_->machine.holdReset(on);
            s_->machine.settle();
        }
        return true;
    }

    std::shared_ptr<VirtualHc11::State> s_;
};

}  // namespace

VirtualHc11::VirtualHc11(Hc11Options options)
    : state_(std::make_shared<State>(options)) {
    state_->settings.baudRate = 9600;
}

VirtualHc11::~VirtualHc11() = default;

OpenedPort VirtualHc11::open() {
    std::lock_guard lock(state_->mutex);
    if (state_->portOpen) return OpenedPort{nullptr, EBUSY};
    state_->portOpen = true;
    // The board is powered with the port: the part starts in bootstrap mode.
    state_->machine.powerUp();
    state_->machine.settle();
    return OpenedPort{std::make_unique<Hc11Port>(state_), 0};
}

PortOpener VirtualHc11::opener() {
    return [this](const std::string&) { return open(); };
}

Hc11Record VirtualHc11::record() {
    std::lock_guard lock(state_->mutex);
    return state_->machine.record();
}

long long VirtualHc11::modelMicroseconds() {
    std::lock_guard lock(state_->mutex);
    return state_->machine.microseconds();
}

void VirtualHc11::pressReset() {
    std::lock_guard lock(state_->mutex);
    state_->machine.reset();
    state_->machine.settle();
}

std::vector<std::uint8_t> VirtualHc11::eeprom() {
    std::lock_guard lock(state_->mutex);
    return state_->machine.eepromCells();
}

std::uint8_t VirtualHc11::config() {
    std::lock_guard lock(state_->mutex);
    return state_->machine.configCell();
}

std::mutex& VirtualHc11::mutex() { return state_->mutex; }
hc11::Machine& VirtualHc11::machine() { return state_->machine; }

}  // namespace jqz::sim
