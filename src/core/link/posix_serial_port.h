#pragma once
// POSIX only; Windows has win32_serial_port.h.
#ifndef _WIN32
// The termios backend of SerialPort.
//
// What termios lacks is emulated: DSR output flow control (a write waits for DSR within its
// time-out), DSR sensitivity (bytes received while DSR is off are dropped), one total
// time-out per call (a poll loop against one deadline), exclusive use (TIOCEXCL and flock).
// A call ends early as SerialPort says: the programmer lost, or a stop with a silent line.
// Pseudo-terminals have no modem lines: on one, DSR counts as on while the other side holds
// it open, and DTR going down (also at opening and closing) is shown to the other side as an
// input flush, so input purges there read the input away instead of flushing it.
#include <termios.h>

#include <atomic>
#include <mutex>
#include <string>

#include "core/link/serial_port.h"

namespace jqz {

class PosixSerialPort : public SerialPort {
public:
    // Puts the settings found at opening back, then closes.
    ~PosixSerialPort() override;

    // Opens the device at this path for exclusive use; error holds the errno when it fails
    // (EBUSY when another program holds it).
    static OpenedPort Open(const std::string& path);

    bool getSettings(LineSettings& settings) override;
    bool setSettings(const LineSettings& settings) override;
    bool setTimeouts(const PortTimeouts& timeouts) override;
    std::size_t write(const std::uint8_t* data, std::size_t count) override;
    std::size_t read(std::uint8_t* data, std::size_t count) override;
    bool purge(unsigned flags) override;
    bool modemStatus(std::uint32_t& status) override;
    bool setDtr(bool on) override;
    bool setRts(bool on) override;
    bool setBreak(bool on) override;

    bool isPseudoTerminal() const { return pseudo_; }

private:
    PosixSerialPort(int fd, bool pseudo, const termios& found)
        : fd_(fd), pseudo_(pseudo), found_(found) {}
    bool dsrOn();
    // The modem lines as they are, without the DSR sensitivity's purge.
    bool readLines(std::uint32_t& status);
    bool clearInput();
    // DSR is off after having been seen on: the programmer went away.
    bool programmerLost();
    bool waitDrained(long long deadlineMs);

    int fd_;
    bool pseudo_;
    // The terminal settings the port had when it was opened, put back when it closes: a
    // terminal or a port that other programs share is left as it was found.
    termios found_;
    std::mutex settingsMutex_;
    LineSettings flags_;  // the emulated flags and the settings last applied
    std::atomic<int> readTotalMs_{0};
    std::atomic<int> writeTotalMs_{0};
    std::atomic<bool> outxDsrFlow_{false};
    std::atomic<bool> dsrSensitivity_{false};
    std::atomic<bool> dsrSeenOn_{false};
};

// For a program that must end at once (a second stop request, a fatal signal): puts the
// settings found at opening back on every port still open and lets go of its exclusive use.
// Only system calls that a signal handler may make.
void RestoreOpenPortsNow();

// Baud rate to termios speed constant; 0 when the rate has none.
unsigned PosixSpeedOf(int baudRate);
// termios speed constant to baud rate; 0 when unknown.
int BaudRateOfPosixSpeed(unsigned speed);

}  // namespace jqz

#endif
