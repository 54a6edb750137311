#pragma once
// A serial port as the programmer link sees it: open by name elsewhere, then line settings,
// one total time-out per read or write call, purges, the modem status (DSR), DTR, RTS and
// breaks.
// Backends: POSIX termios (posix_serial_port.h), the in-process virtual programmer (src/sim),
// and Win32 (win32_serial_port.h); port_enumeration.h picks the one of the system. The
// channel (io_dll_r_w.h) is written once on top of this.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace jqz {

// Purge flags, combinable; the values the Win32 communications API uses.
inline constexpr unsigned PURGE_TXABORT = 1;
inline constexpr unsigned PURGE_RXABORT = 2;
inline constexpr unsigned PURGE_TXCLEAR = 4;
inline constexpr unsigned PURGE_RXCLEAR = 8;

// Modem status bits.
inline constexpr std::uint32_t MS_CTS_ON = 0x10;
inline constexpr std::uint32_t MS_DSR_ON = 0x20;
inline constexpr std::uint32_t MS_RING_ON = 0x40;
inline constexpr std::uint32_t MS_RLSD_ON = 0x80;

enum class Parity { None, Odd, Even };

// Rate, framing and handshake of a port.
struct LineSettings {
    int baudRate = 9600;
    int dataBits = 8;
    int stopBits = 1;
    Parity parity = Parity::None;
    bool parityCheck = false;     // fParity
    bool outxCtsFlow = false;     // bytes are sent only while CTS is on
    bool outxDsrFlow = false;     // bytes are sent only while DSR is on
    bool dsrSensitivity = false;  // received bytes are dropped while DSR is off
    bool dtrEnable = true;        // DTR on while the port is open
    bool rtsEnable = true;        // RTS on while the port is open
    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// Total time-outs of one read and one write call, in milliseconds (0: return at once with
// what is there).
struct PortTimeouts {
    int readTotalMs = 0;
    int writeTotalMs = 0;
    friend bool operator==(const PortTimeouts&, const PortTimeouts&) = default;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual bool getSettings(LineSettings& settings) = 0;
    virtual bool setSettings(const LineSettings& settings) = 0;
    virtual bool setTimeouts(const PortTimeouts& timeouts) = 0;

    // Blocking; return how many bytes went out / came in before the call's total time-out.
    // A call also ends early, with what it has:
    // - at once when the programmer is lost: DSR went off after having been seen on (by any
    //   call, modemStatus included), or the port reports a hang-up. A programmer that holds
    //   DSR off from the start is waited for as long as the time-out says;
    // - when a stop was requested (see setStopFlag) and the line has been silent (or the
    //   write held back) for 100 ms: a stop ends a wait, not a transfer that flows.
    virtual std::size_t write(const std::uint8_t* data, std::size_t count) = 0;
    virtual std::size_t read(std::uint8_t* data, std::size_t count) = 0;
    // The flag that requests a stop, polled during waits (null: none). Set before the port
    // is used; the flag outlives the port.
    virtual void setStopFlag(const std::atomic<bool>* flag) { stopFlag_ = flag; }

    virtual bool purge(unsigned flags) = 0;
    // May be called from another thread while a read or write blocks.
    virtual bool modemStatus(std::uint32_t& status) = 0;
    virtual bool setDtr(bool on) = 0;
    // The RTS line (a board may reset its part through it). False when the port has none.
    virtual bool setRts(bool on) {
        (void)on;
        return false;
    }
    // Holds TxD in the spacing state (a break) while on, or releases it. False when the port
    // cannot send a break.
    virtual bool setBreak(bool on) {
        (void)on;
        return false;
    }

protected:
    bool stopRequested() const { return stopFlag_ != nullptr && stopFlag_->load(); }

private:
    const std::atomic<bool>* stopFlag_ = nullptr;
};

// How long a wait may find the line silent after a stop request before it gives up.
inline constexpr int kStopSilenceMs = 100;

// A port that opened, or why it did not (an errno value; 0 when the port opened).
struct OpenedPort {
    std::unique_ptr<SerialPort> port;
    int error = 0;
};

// Opens a port by the name the user chose.
using PortOpener = std::function<OpenedPort(const std::string& name)>;

}  // namespace jqz
