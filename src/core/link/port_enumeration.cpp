#include "core/link/port_enumeration.h"

#include <algorithm>
#include <filesystem>

#ifdef _WIN32
#include "core/link/win32_serial_port.h"
#else
#include "core/link/posix_serial_port.h"
#endif

namespace jqz {

#ifndef _WIN32
namespace {

// "ttyS10" after "ttyS9": compare the numeric tails as numbers.
bool naturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        std::size_t i = s.size();
        while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9') --i;
        const std::string digits = s.substr(i);
        return std::pair{s.substr(0, i), digits.empty() ? -1L : std::stol(digits.substr(0, 9))};
    };
    return split(a) < split(b);
}

}  // namespace
#endif

#ifdef _WIN32

std::vector<std::string> SerialPortCandidates() { return Win32PortCandidates(); }

OpenedPort OpenSystemPort(const std::string& name) {
    return Win32SerialPort::Open(LocalPortName(name));
}

// Windows denies access to a port that another program holds open.
std::string PortInUseAdvice() {
    return " is in use by another program (Windows denies access to it): a terminal "
           "program (PuTTY, Tera Term), a modem or synchronisation tool, or another "
           "copy of this programmer software. Close that program and try again.";
}

std::string PortMissingAdvice() {
    return " does not exist: the USB serial adapter is unplugged, or Windows gave it "
           "another number (see the Device Manager, \"Ports (COM & LPT)\"). ";
}

#else

std::vector<std::string> SerialPortCandidates(const std::string& devFolder) {
    std::vector<std::string> result;
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        std::vector<std::string> group;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(devFolder, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) != 0) continue;
            const std::string tail = name.substr(std::char_traits<char>::length(prefix));
            if (tail.empty() || !std::all_of(tail.begin(), tail.end(), [](char c) {
                    return c >= '0' && c <= '9';
                }))
                continue;
            group.push_back(entry.path().string());
        }
        std::sort(group.begin(), group.end(), naturalLess);
        result.insert(result.end(), group.begin(), group.end());
    }
    return result;
}

OpenedPort OpenSystemPort(const std::string& name) {
    return PosixSerialPort::Open(LocalPortName(name));
}

std::string PortInUseAdvice() {
    return " is in use by another program: a terminal program (minicom, screen, "
           "putty), a modem manager, a serial console, or another copy of this "
           "programmer software. Close that program and try again.";
}

std::string PortMissingAdvice() {
    return " does not exist. Is the programmer's cable or USB serial adapter plugged "
           "in? ";
}

#endif

bool PortOpens(const std::string& name) { return OpenSystemPort(name).port != nullptr; }

std::vector<std::string> EnumeratePorts(const std::vector<std::string>& candidates,
                                        const std::function<bool(const std::string&)>& opens) {
    std::vector<std::string> ports;
    for (const auto& name : candidates) {
        if (ports.size() == 10) break;
        if (opens(name)) ports.push_back(name);
    }
    if (ports.empty()) ports.emplace_back(kNoPortDetected);
    return ports;
}

std::string LocalPortName(const std::string& name) {
#ifdef _WIN32
    return name;
#else
    if (name.size() >= 4 && name.size() <= 5 && name.rfind("COM", 0) == 0) {
        const std::string digits = name.substr(3);
        if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            const int n = std::stoi(digits);
            if (n >= 1 && n <= 10) return "/dev/ttyS" + std::to_string(n - 1);
        }
    }
    return name;
#endif
}

}  // namespace jqz
