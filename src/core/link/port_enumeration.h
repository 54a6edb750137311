#pragma once
// The operating system's serial ports: which exist, which the port dialog offers, and how a
// chosen name is opened. This is the one place that picks the backend (termios or Win32);
// nothing above the link layer knows which.
#include <functional>
#include <string>
#include <vector>

#include "core/link/serial_port.h"

namespace jqz {

inline constexpr const char* kNoPortDetected = "NO port detected";

#ifdef _WIN32
// The COM ports that exist ("COM1", "COM2", ...), in natural order.
std::vector<std::string> SerialPortCandidates();
// How a help text names a port on this system.
#define JQZ_PORT_HELP "COM port, e.g. COM3"
#else
#define JQZ_PORT_HELP "serial device path"
// The serial devices that exist: /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS*, in that order and in
// natural order within each.
std::vector<std::string> SerialPortCandidates(const std::string& devFolder = "/dev");
#endif

// Whether a port opens for exclusive use right now (it is closed again at once).
bool PortOpens(const std::string& name);

// At most ten candidates that open; the single entry "NO port detected" when none does.
std::vector<std::string> EnumeratePorts(
    const std::vector<std::string>& candidates = SerialPortCandidates(),
    const std::function<bool(const std::string&)>& opens = PortOpens);

// "COM1".."COM10" from an old settings file stand for /dev/ttyS0../dev/ttyS9; any other
// name is used as it is. On Windows every name is used as it is.
std::string LocalPortName(const std::string& name);

// What the user is told, after "The port NAME", of a port that another program holds open
// and of one that does not exist: in the words of the system's own tools.
std::string PortInUseAdvice();
std::string PortMissingAdvice();

// The program's own opener: the name through LocalPortName, then opened by the backend of
// the operating system (error: an errno value).
OpenedPort OpenSystemPort(const std::string& name);

}  // namespace jqz
