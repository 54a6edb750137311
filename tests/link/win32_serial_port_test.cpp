// The Win32 backend against what Windows (or Wine) has without a programmer on a port: ports
// that are not there, files that are no ports, and the channel's words for them.
#include <algorithm>
#include <cerrno>

#include "core/platform/native_file.h"
#include "core/link/connection.h"
#include "core/link/port_enumeration.h"
#include "core/link/win32_serial_port.h"
#include "../core/test_support.h"
#include "link_fixture.h"
// Last: its macros would replace names of the headers above.
#include <windows.h>

namespace jqz::test {
namespace {

TEST(Win32SerialPort, APortThatIsNotThereIsUnpluggedOrRenumbered) {
    for (const char* name : {"COM249", "COM7x", "\\\\.\\COM250"}) {
        const OpenedPort opened = Win32SerialPort::Open(name);
        EXPECT_EQ(opened.port, nullptr) << name;
        EXPECT_EQ(opened.error, ENOENT) << name;
    }
    COM com("COM249", 9600, OpenSystemPort);
    EXPECT_EQ(com.ResultText, "Error opening port: COM249");
    EXPECT_NE(com.ResultAdvice.find("unplugged, or Windows gave it another number"),
              std::string::npos)
        << com.ResultAdvice;
    EXPECT_FALSE(com.Connected);
    EXPECT_EQ(com.channel(), nullptr);
}

// Names that open but are no serial port: a plain file, the null device. The user is told
// so, not given a device error.
TEST(Win32SerialPort, AFileOrNulIsNoSerialPort) {
    wchar_t folder[MAX_PATH];
    ASSERT_NE(::GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path = std::wstring(folder) + L"jqz-not-a-port-" +
                              std::to_wstring(::GetCurrentProcessId()) + L".txt";
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);
    const std::string plainFile = Utf8FromWide(path);
    for (const std::string& name : {plainFile, std::string("NUL"), std::string("nul")}) {
        const OpenedPort opened = Win32SerialPort::Open(name);
        EXPECT_EQ(opened.port, nullptr) << name;
        EXPECT_EQ(opened.error, ENOTTY) << name;
        EXPECT_FALSE(PortOpens(name)) << name;
        COM com(name, 9600, OpenSystemPort);
        EXPECT_EQ(com.ResultText, "Error opening port: " + name);
        EXPECT_EQ(com.ResultAdvice, "The port " + name + " is not a serial port.");
        EXPECT_FALSE(com.Connected);
    }
    ::DeleteFileW(path.c_str());
}

// The ports the test entry registered: those that open are offered, one that names no
// device is not.
TEST(Win32SerialPort, EnumerationOffersOnlyPortsThatOpen) {
    const auto ports = EnumeratePorts();
    ASSERT_FALSE(ports.empty());
    ASSERT_LE(ports.size(), 10u);
    const auto opening = test::PortsNamedIn("JQZ_OPENING_PORTS");
    const auto missing = test::PortsNamedIn("JQZ_MISSING_PORTS");
    ASSERT_FALSE(opening.empty() || missing.empty())
        << "run through ctest, whose entry registers the ports";
    for (const auto& port : opening)
        EXPECT_NE(std::find(ports.begin(), ports.end(), port), ports.end()) << port;
    for (const auto& port : missing) {
        EXPECT_EQ(std::find(ports.begin(), ports.end(), port), ports.end()) << port;
        EXPECT_FALSE(PortOpens(port)) << port;
    }
    if (ports.front() == kNoPortDetected) {
        EXPECT_EQ(ports.size(), 1u);
        return;
    }
    for (const auto& p : ports) {
        EXPECT_EQ(p.rfind("COM", 0), 0u) << p;
        EXPECT_TRUE(PortOpens(p)) << p;
    }
}

}  // namespace
}  // namespace jqz::test
