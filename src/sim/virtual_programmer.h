#pragma once
// The virtual programmer as a device on a cable: one programmer model, guarded by a lock,
// reachable in-process as a SerialPort (open()) and, through PtyServer, on a pseudo-terminal.
// At most one port is open on it at a time, as on a real port.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/link/serial_port.h"
#include "sim/programmer_model.h"

namespace jqz::sim {

// Faults of the PC's port itself, for the channel's own error paths.
struct PortFaults {
    bool failGetSettings = false;
    bool failSetSettings = false;
    bool failPurge = false;
    bool failTimeouts = false;
    bool failModemStatus = false;
};

class VirtualProgrammer {
public:
    explicit VirtualProgrammer(SimOptions options = {});
    ~VirtualProgrammer();

    // The in-process port (EBUSY while one is already open).
    OpenedPort open();
    // A PortOpener that opens this programmer whatever the name.
    PortOpener opener();

    // Runs f with the model under the lock.
    template <typename F>
    auto with(F&& f) {
        std::lock_guard lock(state_->mutex);
        return f(state_->model);
    }
    // Pull or plug the cable: DSR off or on.
    void setDsr(bool on);
    std::vector<WireByte> wire();
    // Bytes from the PC in order, and bytes to the PC in order (lost ones left out).
    std::vector<std::uint8_t> bytesFromPc();
    std::vector<std::uint8_t> bytesToPc();
    void clearWire();

    // Time-outs of the in-process port are divided by this (tests keep waits short); the
    // port still reports the values the channel set.
    void setTimeoutDivisor(int divisor);
    void setPortFaults(const PortFaults& faults);
    // What the channel did to the port.
    PortTimeouts lastTimeouts();
    LineSettings lastSettings();
    std::vector<unsigned> purges();
    // DTR off periods in milliseconds, one per completed pulse.
    std::vector<long long> dtrPulses();
    bool portOpen();
    // With the timing model on: the time the model accounts for since the last reset, in
    // microseconds: every byte's time on the wire, both ways, and the programmer's own work
    // (EEPROM writes and erases, links).
    long long accountedMicroseconds();
    void resetAccountedTime();

    struct State {
        explicit State(SimOptions options) : model(std::move(options)) {}
        std::mutex mutex;
        std::condition_variable changed;
        ProgrammerModel model;
        bool portOpen = false;
        int timeoutDivisor = 1;
        PortFaults faults;
        PortTimeouts timeouts;
        LineSettings settings;
        std::vector<unsigned> purges;
        std::vector<long long> dtrPulses;
        std::deque<std::pair<long long, std::uint8_t>> toPc;  // (available from, byte)
        long long busyUntil = 0;    // the programmer works until then (timing model)
        long long lineFreeAt = 0;   // the PC's last byte is on the line until then
        long long accountedUs = 0;  // see accountedMicroseconds()
    };

private:
    std::shared_ptr<State> state_;
};

}  // namespace jqz::sim
