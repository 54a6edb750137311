#include "core/link/win32_serial_port.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <climits>
#include <cstdlib>

#ifdef _WIN32
#include "core/platform/native_file.h"
#endif

namespace jqz {

namespace {

// The number of a name "COMn" (n from 1), else 0.
int comNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    // Device names are the same in any case: "Com12" is COM12.
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M') return 0;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        n = n * 10 + (name[i] - '0');
    }
    return name[3] == '0' ? 0 : n;
}

}  // namespace

bool ModemStatusOfPort(bool callSucceeded, unsigned long error, std::uint32_t lines, bool hungUp,
                       std::uint32_t& status) {
    if (callSucceeded) {
        status = lines & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
        return true;
    }
    if (error != kWin32ErrorNotSupported) return false;
    status = hungUp ? 0 : (MS_DSR_ON | MS_CTS_ON);
    return true;
}

std::string Win32DeviceName(const std::string& portName) {
    if (comNumber(portName) > 0) return "\\\\.\\" + portName;
    return portName;
}

int ErrnoOfPortError(unsigned long error) {
    switch (error) {
        case 0: return 0;
        case 5:    // ERROR_ACCESS_DENIED: another program holds the port
        case 32:   // ERROR_SHARING_VIOLATION
        case 170:  // ERROR_BUSY
            return EBUSY;
        case 2:     // ERROR_FILE_NOT_FOUND
        case 3:     // ERROR_PATH_NOT_FOUND
        case 1168:  // ERROR_NOT_FOUND
            return ENOENT;
        case 21:   // ERROR_NOT_READY: a write after a hang-up (Wine)
        case 109:  // ERROR_BROKEN_PIPE: a read pending as the far end hung up (Wine)
        case 31:  // ERROR_GEN_FAILURE: a driver whose device is gone
        case 433:  // ERROR_NO_SUCH_DEVICE
            return ENODEV;
        case 87:   // ERROR_INVALID_PARAMETER
        case 123:  // ERROR_INVALID_NAME
            return EINVAL;
        case 1:   // ERROR_INVALID_FUNCTION: not a communications device
        case 50:  // ERROR_NOT_SUPPORTED
            return ENOTTY;
        default: return EIO;
    }
}

std::vector<std::string> ComPortsOf(const std::vector<std::string>& dosDeviceNames) {
    std::vector<std::pair<int, std::string>> ports;
    for (const auto& name : dosDeviceNames) {
        const int n = comNumber(name);
        if (n <= 0) continue;
        std::string upper = "COM" + name.substr(3);
        if (std::none_of(ports.begin(), ports.end(), [&](const auto& p) { return p.first == n; }))
            ports.emplace_back(n, std::move(upper));
    }
    std::sort(ports.begin(), ports.end());
    std::vector<std::string> result;
    for (auto& p : ports) result.push_back(std::move(p.second));
    return result;
}

#ifdef _WIN32

namespace {

// The call's deadline plus this much before a driver that keeps no time-out is stopped.
constexpr long long kDriverGraceMs = 500;
// How often a waiting call looks at DSR, the stop flag and the clock.
constexpr DWORD kSliceMs = 10;
// The longest wait for input the driver has reported as received.
constexpr int kQueuedReadMs = 50;

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

HANDLE h(void* handle) { return static_cast<HANDLE>(handle); }

// The ports open now, with the line settings they had when they were opened: put back as a
// port closes, or at once by RestoreOpenPortsNow. A slot is claimed, filled, then published
// by its handle; it is withdrawn before the handle is closed.
struct OpenPortSlot {
    std::atomic<bool> claimed{false};
    std::atomic<HANDLE> handle{nullptr};
    DCB found{};
};
OpenPortSlot gOpenPorts[16];

void registerOpenPort(HANDLE handle, const DCB& found) {
    for (auto& slot : gOpenPorts) {
        bool expected = false;
        if (!slot.claimed.compare_exchange_strong(expected, true)) continue;
        slot.found = found;
        slot.handle.store(handle);
        return;
    }
}

// Puts the settings found at opening back and withdraws the port.
void restoreAndWithdrawOpenPort(HANDLE handle) {
    for (auto& slot : gOpenPorts) {
        HANDLE expected = handle;
        if (slot.handle.compare_exchange_strong(expected, nullptr)) {
            DCB found = slot.found;
            (void)::SetCommState(handle, &found);
            slot.claimed.store(false);
            return;
        }
    }
}

}  // namespace

void RestoreOpenPortsNow() {
    for (auto& slot : gOpenPorts) {
        const HANDLE handle = slot.handle.load();
        if (handle == nullptr) continue;
        DCB found = slot.found;
        (void)::SetCommState(handle, &found);
    }
}

OpenedPort Win32SerialPort::Open(const std::string& name) {
    const std::wstring device = WideFromUtf8(Win32DeviceName(name));
    // No sharing: a port in use must not open twice.
    const HANDLE handle = ::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {nullptr, ErrnoOfPortError(::GetLastError())};
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb)) {
        // Something opened that has no line settings: a file, NUL, a pipe. Only a device
        // gone meanwhile is told apart.
        const int error = ErrnoOfPortError(::GetLastError());
        ::CloseHandle(handle);
        return {nullptr, error == ENODEV ? ENODEV : ENOTTY};
    }
    DWORD lines = 0;
    const bool noModemLines = !::GetCommModemStatus(handle, &lines) &&
                              ::GetLastError() == kWin32ErrorNotSupported;
    // A port that other programs use too is left as it was found.
    registerOpenPort(handle, dcb);
    auto* port = new Win32SerialPort(handle, noModemLines);
    port->showDtrDrop();  // DTR comes up as the port opens, after being down while closed
    return {std::unique_ptr<SerialPort>(port), 0};
}

Win32SerialPort::~Win32SerialPort() {
    showDtrDrop();  // DTR falls as the port closes
    restoreAndWithdrawOpenPort(h(handle_));
    ::CloseHandle(h(handle_));
}

void Win32SerialPort::showDtrDrop() {
    if (noModemLines_) (void)::PurgeComm(h(handle_), PURGE_RXCLEAR);
}

bool Win32SerialPort::getSettings(LineSettings& settings) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h(handle_), &dcb)) {
        errno = ErrnoOfPortError(::GetLastError());
        return false;
    }
    settings.baudRate = static_cast<int>(dcb.BaudRate);
    settings.dataBits = dcb.ByteSize;
    settings.stopBits = dcb.StopBits == TWOSTOPBITS ? 2 : 1;
    settings.parity = dcb.Parity == ODDPARITY    ? Parity::Odd
                      : dcb.Parity == EVENPARITY ? Parity::Even
                                                 : Parity::None;
    settings.parityCheck = dcb.fParity != 0;
    settings.outxCtsFlow = dcb.fOutxCtsFlow != 0;
    settings.outxDsrFlow = dcb.fOutxDsrFlow != 0;
    settings.dsrSensitivity = dcb.fDsrSensitivity != 0;
    settings.dtrEnable = dcb.fDtrControl != DTR_CONTROL_DISABLE;
    settings.rtsEnable = dcb.fRtsControl != RTS_CONTROL_DISABLE;
    return true;
}

bool Win32SerialPort::setSettings(const LineSettings& settings) {
    if (settings.baudRate <= 0 || settings.dataBits < 5 || settings.dataBits > 8 ||
        (settings.stopBits != 1 && settings.stopBits != 2)) {
        errno = EINVAL;
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h(handle_), &dcb)) {
        errno = ErrnoOfPortError(::GetLastError());
        return false;
    }
    dcb.BaudRate = static_cast<DWORD>(settings.baudRate);
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    dcb.StopBits = settings.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.Parity = settings.parity == Parity::Odd    ? ODDPARITY
                 : settings.parity == Parity::Even ? EVENPARITY
                                                   : NOPARITY;
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parityCheck;
    dcb.fOutxCtsFlow = settings.outxCtsFlow;
    dcb.fOutxDsrFlow = settings.outxDsrFlow;
    dcb.fDsrSensitivity = settings.dsrSensitivity;
    dcb.fDtrControl = settings.dtrEnable ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = settings.rtsEnable ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(h(handle_), &dcb)) {
        const DWORD error = ::GetLastError();
        errno = error == ERROR_INVALID_PARAMETER ? EINVAL : ErrnoOfPortError(error);
        return false;
    }
    dsrSensitivity_ = settings.dsrSensitivity;
    return true;
}

bool Win32SerialPort::applyTimeouts(int readTotalMs, int writeTotalMs) {
    COMMTIMEOUTS t{};
    if (readTotalMs == 0) {
        t.ReadIntervalTimeout = MAXDWORD;  // return at once with what is there
    } else {
        t.ReadTotalTimeoutConstant = static_cast<DWORD>(readTotalMs);
    }
    // A write time-out of 0 would mean none at all: the shortest one stands for it.
    t.WriteTotalTimeoutConstant = static_cast<DWORD>(std::max(1, writeTotalMs));
    return ::SetCommTimeouts(h(handle_), &t) != 0;
}

bool Win32SerialPort::setTimeouts(const PortTimeouts& timeouts) {
    if (timeouts.readTotalMs < 0 || timeouts.writeTotalMs < 0) return false;
    if (!applyTimeouts(timeouts.readTotalMs, timeouts.writeTotalMs)) return false;
    readTotalMs_ = timeouts.readTotalMs;
    writeTotalMs_ = timeouts.writeTotalMs;
    return true;
}

bool Win32SerialPort::readInputAway() {
    // Only the bytes the driver says are waiting are read: a read that finds nothing does not
    // return at once on every driver, whatever the time-outs say (Wine keeps it pending until
    // it is cancelled), so "read until nothing comes" would cost a wait on every purge.
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(h(handle_), &errors, &stat)) return true;  // hung up: nothing left
    std::size_t left = stat.cbInQue;
    std::uint8_t sink[256];
    while (left > 0) {
        const std::size_t want = std::min(left, sizeof sink);
        // The bytes are there; the time-out only guards against a driver that miscounts.
        const std::size_t got = transfer(true, sink, want, kQueuedReadMs);
        if (got < want) break;
        left -= got;
    }
    return true;
}

bool Win32SerialPort::programmerLost() {
    std::uint32_t status = 0;
    if (hungUp_) return true;
    return modemStatus(status) && dsrSeenOn_ && !(status & MS_DSR_ON);
}

std::size_t Win32SerialPort::transfer(bool reading, std::uint8_t* data, std::size_t count,
                                      int totalMs) {
    if (count == 0) return 0;
    OVERLAPPED io{};
    io.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (io.hEvent == nullptr) return 0;
    const long long deadline = nowMs() + totalMs;
    long long lastFlow = nowMs();
    std::size_t done = 0;
    while (done < count) {
        // One call for the rest, the driver keeping the time left as its time-out.
        const int left = static_cast<int>(std::max(0LL, deadline - nowMs()));
        if (!(reading ? applyTimeouts(left, writeTotalMs_) : applyTimeouts(readTotalMs_, left)))
            break;
        ::ResetEvent(io.hEvent);
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - done, INT_MAX));
        DWORD n = 0;
        BOOL ok = reading ? ::ReadFile(h(handle_), data + done, want, &n, &io)
                          : ::WriteFile(h(handle_), data + done, want, &n, &io);
        DWORD error = ok ? 0 : ::GetLastError();
        enum class End { Completed, Lost, Stopped, Overdue } end = End::Completed;
        if (!ok && error == ERROR_IO_PENDING) {
            while (::WaitForSingleObject(io.hEvent, kSliceMs) != WAIT_OBJECT_0) {
                const long long now = nowMs();
                if (programmerLost()) {
                    end = End::Lost;
                } else if (stopRequested() && now - lastFlow >= kStopSilenceMs) {
                    end = End::Stopped;  // whatever flowed meanwhile is counted below
                } else if (now > deadline + kDriverGraceMs) {
                    end = End::Overdue;  // a driver that keeps no time-out
                } else {
                    continue;
                }
                ::CancelIoEx(h(handle_), &io);
                break;
            }
            ok = ::GetOverlappedResult(h(handle_), &io, &n, TRUE);
            error = ok ? 0 : ::GetLastError();
        }
        done += std::min<std::size_t>(n, count - done);
        // A device error (not a time-out, not a cancelled wait) is the far end gone.
        if (!ok && error != ERROR_OPERATION_ABORTED && error != ERROR_SEM_TIMEOUT &&
            error != ERROR_TIMEOUT && error != ERROR_COUNTER_TIMEOUT) {
            hungUp_ = true;
            break;
        }
        if (n > 0) lastFlow = nowMs();
        // A stop ends a wait, not a transfer that flows: go on while bytes came meanwhile.
        if (end == End::Stopped && n > 0) continue;
        if (end != End::Completed || n == 0 || nowMs() >= deadline) break;
    }
    ::CloseHandle(io.hEvent);
    return done;
}

std::size_t Win32SerialPort::write(const std::uint8_t* data, std::size_t count) {
    return transfer(false, const_cast<std::uint8_t*>(data), count, writeTotalMs_);
}

std::size_t Win32SerialPort::read(std::uint8_t* data, std::size_t count) {
    return transfer(true, data, count, readTotalMs_);
}

bool Win32SerialPort::purge(unsigned flags) {
    // The flags have the values of the Win32 API.
    if (!noModemLines_) return ::PurgeComm(h(handle_), flags) != 0;
    const unsigned input = PURGE_RXABORT | PURGE_RXCLEAR;
    bool ok = true;
    if (flags & ~input) ok = ::PurgeComm(h(handle_), flags & ~input) != 0;
    if (flags & input) ok = readInputAway() && ok;
    return ok;
}

bool Win32SerialPort::modemStatus(std::uint32_t& status) {
    DWORD lines = 0;
    const bool ok = ::GetCommModemStatus(h(handle_), &lines) != 0;
    if (!ModemStatusOfPort(ok, ok ? 0 : ::GetLastError(), lines, hungUp_, status)) return false;
    if (status & MS_DSR_ON) {
        dsrSeenOn_ = true;
    } else if (dsrSensitivity_ && !noModemLines_) {
        // What came in while DSR is off is dropped, whenever that is seen.
        (void)::PurgeComm(h(handle_), PURGE_RXCLEAR);
    }
    return true;
}

bool Win32SerialPort::setDtr(bool on) {
    if (noModemLines_) {
        if (!on) showDtrDrop();
        return true;
    }
    return ::EscapeCommFunction(h(handle_), on ? SETDTR : CLRDTR) != 0;
}

bool Win32SerialPort::setRts(bool on) {
    if (noModemLines_) return true;
    return ::EscapeCommFunction(h(handle_), on ? SETRTS : CLRRTS) != 0;
}

bool Win32SerialPort::setBreak(bool on) {
    return ::EscapeCommFunction(h(handle_), on ? SETBREAK : CLRBREAK) != 0;
}

std::vector<std::string> Win32PortCandidates() {
    // The whole list of DOS device names, each ended by a null, the list by another.
    std::vector<wchar_t> buffer(16384);
    for (;;) {
        const DWORD n = ::QueryDosDeviceW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n != 0) {
            buffer.resize(n);
            break;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() > (1u << 22)) return {};
        buffer.resize(buffer.size() * 2);
    }
    std::vector<std::string> names;
    for (std::size_t i = 0; i < buffer.size() && buffer[i] != L'\0';) {
        const std::wstring name(&buffer[i]);
        names.push_back(Utf8FromWide(name));
        i += name.size() + 1;
    }
    return ComPortsOf(names);
}

#endif

}  // namespace jqz
