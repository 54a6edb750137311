#pragma once
// The Win32 backend of SerialPort.
//
// The port is opened for overlapped I/O, so that the modem status can be read from another
// thread while a read or write waits (a handle without it serialises every call). The DCB
// does what termios lacks: DSR output flow control and DSR sensitivity are the driver's own.
// A read or write is a ReadFile/WriteFile whose total time-out (SetCommTimeouts) is what is
// left of the call's one deadline; it is waited for in short slices, so that it ends at once
// when the programmer is lost (DSR off after having been on, or a hang-up) and, after a stop
// request, once the line has been silent for kStopSilenceMs (the call is then cancelled and
// what came so far is counted; bytes that came meanwhile make it go on for the rest).
//
// Ports without modem lines: some drivers (Wine on a pseudo-terminal, some virtual and
// Bluetooth ports) fail GetCommModemStatus with ERROR_NOT_SUPPORTED. On such a port DSR and
// CTS count as on while the port is open and the far end has not hung up (a read or write
// that fails with a device error), as on a pseudo-terminal under POSIX. As there, DTR going
// down (opening, the reset pulse, closing) is shown as a purge of the input, and input purges
// read the input away instead, so that the far end sees a purge only for a DTR drop.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/link/serial_port.h"

namespace jqz {

// The error GetCommModemStatus and EscapeCommFunction give on a port without modem lines.
inline constexpr unsigned long kWin32ErrorNotSupported = 50;

// The modem status to report, given what GetCommModemStatus did: true with the status when
// the lines are known (or the port has none, by the rule above), false when the call failed.
bool ModemStatusOfPort(bool callSucceeded, unsigned long error, std::uint32_t lines,
                       bool hungUp, std::uint32_t& status);

// "COM1" .. "COM256" -> "\\.\COMn" (COM10 and above only open that way); other names as they
// are.
std::string Win32DeviceName(const std::string& portName);

// The errno value that stands for a Win32 error of CreateFile on a port. Access denied and
// sharing violations mean that another program holds the port (EBUSY); a name that is not
// there means the port is unplugged or has another number (ENOENT).
int ErrnoOfPortError(unsigned long error);

// "COMn" entries of a list of DOS device names (QueryDosDevice), in natural order.
std::vector<std::string> ComPortsOf(const std::vector<std::string>& dosDeviceNames);

#ifdef _WIN32

class Win32SerialPort : public SerialPort {
public:
    ~Win32SerialPort() override;

    // Opens the port ("COM3", "\\.\COM12", ...) for exclusive use; error holds an errno value
    // (ErrnoOfPortError) when it fails.
    static OpenedPort Open(const std::string& name);

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

private:
    Win32SerialPort(void* handle, bool noModemLines)
        : handle_(handle), noModemLines_(noModemLines) {}
    std::size_t transfer(bool reading, std::uint8_t* data, std::size_t count, int totalMs);
    bool applyTimeouts(int readTotalMs, int writeTotalMs);
    // DSR went off after having been seen on, or the far end hung up.
    bool programmerLost();
    // Reads what the driver reports as arrived, and throws it away.
    bool readInputAway();
    void showDtrDrop();

    void* handle_;
    const bool noModemLines_;
    std::atomic<int> readTotalMs_{0};
    std::atomic<int> writeTotalMs_{0};
    std::atomic<bool> hungUp_{false};
    std::atomic<bool> dsrSeenOn_{false};
    std::atomic<bool> dsrSensitivity_{false};
};

// The COM ports that exist, from QueryDosDevice.
std::vector<std::string> Win32PortCandidates();

// For a program that must end at once (a second stop request): puts the line settings found
// at opening back on every port still open. May be called from any thread while the ports
// are in use.
void RestoreOpenPortsNow();

#endif

}  // namespace jqz
