#pragma once
// One sequence run's use of the programmer link: the checks and the linking that the program
// and read sequences both begin with, the interface report, and the error check after each
// command (collect the channel's error; log it as an error line).
#include <cstdint>
#include <string>

#include "core/messages/log_model.h"
#include "core/device/device_options.h"
#include "core/link/connection.h"

namespace jqz {

class COM;
class IO_DLL_R_W;

inline constexpr const char* kWrongFirmwareVersion =
    "Wrong Firmware Version. Please Update Firmware to current software version";
inline constexpr const char* kNotInWorkMode = "Programmer must be in WORK mode.";
inline constexpr const char* kSelectDeviceFirst = "Select Device first";
inline constexpr const char* kLinkingDevice = "Linking Device ...";
// The one error a program sequence lets pass.
inline constexpr const char* kProgrammingError = "Error: Programming/Erasing Error";

class SequenceLink {
public:
    SequenceLink(COM* com, LogSink& log) : com_(com), log_(log) {}

    // Detects the programmer when the connection is not connected, marks the link busy,
    // checks presence, identification, firmware version and WORK mode, sends the pin-tester
    // options, selects the device type and links the device. False when the run is to end;
    // the reason has been logged.
    bool ConnectAndLink(const SequenceOptions& options, std::uint8_t deviceType);
    // Reads and logs the interface and the device ID. False on an error (logged).
    bool ReportInterface();

    bool inCircuit() const { return inCircuit_; }
    // The channel; valid once ConnectAndLink has succeeded.
    IO_DLL_R_W& channel() { return *channel_; }
    // Collects the channel's error and logs it as an error line, followed by a line in plain
    // words when the programmer has gone away (nothing once a stop was requested); true when
    // there was no error.
    bool Check();
    // Logs a collected error as Check does.
    void logError(const std::string& error);
    void log(const std::string& text, int kind) { log_.AddLogLine(text, kind); }

private:
    bool fail(const char* text);

    COM* com_;
    LogSink& log_;
    IO_DLL_R_W* channel_ = nullptr;
    bool inCircuit_ = false;
};

}  // namespace jqz
