// The rules of the Win32 serial backend that need no port: names, errors, and what DSR means
// on a port whose driver reports no modem lines.
#include <gtest/gtest.h>

#include <cerrno>

#include "core/link/io_dll_r_w.h"
#include "core/link/win32_serial_port.h"

namespace jqz {
namespace {

TEST(Win32Ports, ComNamesOpenThroughTheDevicePrefix) {
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "\\\\.\\COM1"},   {"COM9", "\\\\.\\COM9"},     {"COM10", "\\\\.\\COM10"},
        {"COM256", "\\\\.\\COM256"}, {"com3", "\\\\.\\com3"},   {"COM0", "COM0"},
        {"COM", "COM"},            {"COMX", "COMX"},           {"COM1a", "COM1a"},
        {"\\\\.\\COM12", "\\\\.\\COM12"}, {"Virtual Programmer", "Virtual Programmer"},
        {"Com12", "\\\\.\\Com12"},   {"cOM7", "\\\\.\\cOM7"},     {"CON", "CON"},
        {"NUL", "NUL"},            {"COMA", "COMA"},           {"C0M1", "C0M1"},
    };
    for (const auto& [name, device] : cases) EXPECT_EQ(Win32DeviceName(name), device) << name;
}

TEST(Win32Ports, DosDeviceListGivesComPortsInNaturalOrder) {
    const std::vector<std::string> dos = {"C:",   "COM10", "LPT1", "COM2", "NUL",  "COM1", "com3",
                                          "COMX", "COM0",  "COM2", "AUX",  "Com12", "CONIN$", "cOm2"};
    EXPECT_EQ(ComPortsOf(dos),
              (std::vector<std::string>{"COM1", "COM2", "COM3", "COM10", "COM12"}));
    EXPECT_TRUE(ComPortsOf({"C:", "NUL"}).empty());
}

TEST(Win32Ports, OpenErrorsMeanWhatTheAdviceSays) {
    const std::pair<unsigned long, int> cases[] = {
        {0, 0},        {5, EBUSY},   {32, EBUSY},   {170, EBUSY},  {2, ENOENT},
        {3, ENOENT},   {31, ENODEV}, {87, EINVAL},  {123, EINVAL}, {1, ENOTTY},
        {21, ENODEV},  {109, ENODEV},
        {50, ENOTTY},  {1117, EIO},
    };
    for (const auto& [win32, e] : cases) EXPECT_EQ(ErrnoOfPortError(win32), e) << win32;
    // Access denied is another program holding the port; not found is unplugged or renumbered.
    EXPECT_NE(PortOpenAdvice("COM3", ErrnoOfPortError(5)).find("in use by another program"),
              std::string::npos);
    EXPECT_NE(PortOpenAdvice("COM3", ErrnoOfPortError(2)).find("plugged"), std::string::npos);
}

// A port without modem lines (GetCommModemStatus fails with ERROR_NOT_SUPPORTED) counts DSR
// and CTS as on while it is open and the far end has not hung up; any other failure is an
// error; real lines are passed on as they are.
TEST(Win32Ports, DsrOnAPortWithoutModemLines) {
    struct Case {
        bool callSucceeded;
        unsigned long error;
        std::uint32_t lines;
        bool hungUp;
        bool ok;
        std::uint32_t status;
    };
    const Case cases[] = {
        {true, 0, MS_DSR_ON | MS_CTS_ON, false, true, MS_DSR_ON | MS_CTS_ON},
        {true, 0, 0, false, true, 0},
        {true, 0, MS_RLSD_ON | MS_RING_ON | 0x100, false, true, MS_RLSD_ON | MS_RING_ON},
        {true, 0, MS_DSR_ON, true, true, MS_DSR_ON},  // real lines win over a failed read
        {false, kWin32ErrorNotSupported, 0, false, true, MS_DSR_ON | MS_CTS_ON},
        {false, kWin32ErrorNotSupported, 0, true, true, 0},
        {false, 6, 0, false, false, 0xDEAD},   // ERROR_INVALID_HANDLE
        {false, 31, 0, false, false, 0xDEAD},  // ERROR_GEN_FAILURE
    };
    for (const auto& c : cases) {
        std::uint32_t status = 0xDEAD;
        EXPECT_EQ(ModemStatusOfPort(c.callSucceeded, c.error, c.lines, c.hungUp, status), c.ok)
            << c.error << " " << c.lines;
        EXPECT_EQ(status, c.status) << c.error << " " << c.lines << " " << c.hungUp;
    }
}

}  // namespace
}  // namespace jqz
