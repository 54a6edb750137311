#pragma once
// The connection COM: the programmer on a given port at a given rate. It owns the program's
// one serial channel, detects the programmer on it, switches the link to the working rate,
// and carries the flags every programmer operation consults first.
#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "core/link/io_dll_r_w.h"

namespace jqz {

inline constexpr const char* kProgrammerNotFound = "MC68HC(7)11 Programmer not found.";
inline constexpr const char* kProgrammerName = "MC68HC(7)11 Programmer";
inline constexpr const char* kDetectedSuffix = " detected !";
// The port name of the built-in virtual programmer.
inline constexpr const char* kVirtualProgrammerPort = "Virtual Programmer";

// After a failed command, when the programmer no longer holds DSR on.
inline constexpr const char* kProgrammerLost =
    "The programmer was lost: its cable is out or it has no power. Check both, then start "
    "again.";

// Whether a reply to the identification request is our programmer's identification: the
// name from its first byte on. Bytes before it (a late answer to an earlier request) make it
// no identification, rather than one shifted along.
bool IsProgrammerIdentification(const std::string& reply);

class COM {
public:
    // Stores the fields and detects the programmer at once; read ResultText afterwards.
    COM(std::string portName, int baudRate, PortOpener opener);
    // When connected: PowerOff if the programmer is present; then the channel is closed.
    ~COM();
    COM(const COM&) = delete;
    COM& operator=(const COM&) = delete;

    void Detect();

    // The channel, or null when none is open. Used by one operation at a time (Idle).
    IO_DLL_R_W* channel() { return channel_.get(); }

    std::string PortName;
    int BaudRate;
    std::atomic<bool> Connected{false};
    std::atomic<bool> Idle{true};
    // A stop was requested: the channel's waits end once the line stays silent.
    std::atomic<bool> StopRequested{false};
    std::string ResultText;
    // Plain words on why the port did not open and what to do, or that the programmer was
    // lost during the detection (kProgrammerLost); empty otherwise.
    std::string ResultAdvice;

private:
    void closeChannel();
    PortOpener opener_;
    std::unique_ptr<IO_DLL_R_W> channel_;
};

// Confirming the port dialog: frees the current connection (powering the target off), waits
// 200 ms and creates a new one on the chosen port and rate, which detects. A port or rate
// that was not chosen keeps the current one, so there is always a working connection.
void ReplaceConnection(std::unique_ptr<COM>& current, const std::optional<std::string>& portName,
                       const std::optional<int>& baudRate, const PortOpener& opener);

}  // namespace jqz
