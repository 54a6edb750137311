#pragma once
// The serial ports the port dialog offers.
#include <functional>
#include <string>
#include <vector>

namespace jqz {

inline constexpr const char* kNoPortDetected = "NO port detected";

// The serial devices that exist: /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS*, in that order and in
// natural order within each.
std::vector<std::string> SerialPortCandidates(const std::string& devFolder = "/dev");

// Whether a port opens for exclusive use right now (it is closed again at once).
bool PortOpens(const std::string& name);

// At most ten candidates that open; the single entry "NO port detected" when none does.
std::vector<std::string> EnumeratePorts(
    const std::vector<std::string>& candidates = SerialPortCandidates(),
    const std::function<bool(const std::string&)>& opens = PortOpens);

// "COM1".."COM10" from an old settings file stand for /dev/ttyS0../dev/ttyS9; any other
// name is used as it is.
std::string LocalPortName(const std::string& name);

}  // namespace jqz
