#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "core/link/port_enumeration.h"
#include "test_support.h"

namespace jqz {
namespace {

#ifndef _WIN32
TEST(EnumeratePorts, CandidatesInGroupAndNaturalOrder) {
    test::TempDir dev;
    for (const char* n : {"ttyS10", "ttyS2", "ttyUSB1", "ttyACM0", "ttyUSB0", "ttyS0", "tty0",
                          "ttySX", "ttyprintk", "null"})
        std::ofstream(dev.file(n));
    const auto c = SerialPortCandidates(dev.path());
    const std::vector<std::string> expected = {dev.file("ttyUSB0"), dev.file("ttyUSB1"),
                                               dev.file("ttyACM0"), dev.file("ttyS0"),
                                               dev.file("ttyS2"),   dev.file("ttyS10")};
    EXPECT_EQ(c, expected);
}
#endif

TEST(EnumeratePorts, AtMostTenThatOpenElseNoPortDetected) {
    std::vector<std::string> candidates;
    for (int i = 0; i < 14; ++i) candidates.push_back("/dev/ttyS" + std::to_string(i));
    const auto all = EnumeratePorts(candidates, [](const std::string&) { return true; });
    ASSERT_EQ(all.size(), 10u);
    EXPECT_EQ(all.back(), "/dev/ttyS9");
    const auto odd = EnumeratePorts(candidates, [](const std::string& n) {
        return (n.back() - '0') % 2 == 1;
    });
    EXPECT_EQ(odd.front(), "/dev/ttyS1");
    EXPECT_EQ(EnumeratePorts(candidates, [](const std::string&) { return false; }),
              std::vector<std::string>{"NO port detected"});
    EXPECT_EQ(EnumeratePorts({}, PortOpens), std::vector<std::string>{"NO port detected"});
}

TEST(EnumeratePorts, PlainFilesAndMissingDevicesDoNotOpen) {
    test::TempDir dir;
    std::ofstream(dir.file("ttyS0")) << "not a terminal";
    EXPECT_FALSE(PortOpens(dir.file("ttyS0")));
    EXPECT_FALSE(PortOpens("/dev/nonexistent-port"));
}

#ifdef _WIN32
TEST(EnumeratePorts, ComNamesAreUsedAsTheyAre) {
    for (const char* name : {"COM1", "COM10", "COM11", "\\\\.\\COM12", "Virtual Programmer"})
        EXPECT_EQ(LocalPortName(name), name);
}

// Every COM port the system knows, opening or not, in natural order (COM12 after COM7).
TEST(EnumeratePorts, CandidatesAreComPortsInNaturalOrder) {
    const auto c = SerialPortCandidates();
    for (std::size_t i = 0; i < c.size(); ++i) {
        ASSERT_EQ(c[i].rfind("COM", 0), 0u) << c[i];
        if (i > 0) {
            EXPECT_LT(std::stoi(c[i - 1].substr(3)), std::stoi(c[i].substr(3)));
        }
    }
    auto registered = test::PortsNamedIn("JQZ_OPENING_PORTS");
    const auto missing = test::PortsNamedIn("JQZ_MISSING_PORTS");
    registered.insert(registered.end(), missing.begin(), missing.end());
    ASSERT_FALSE(registered.empty()) << "run through ctest, whose entry registers the ports";
    for (const auto& port : registered)
        EXPECT_NE(std::find(c.begin(), c.end(), port), c.end()) << port;
}
#else
TEST(EnumeratePorts, OldComNamesMapToSerialDevices) {
    EXPECT_EQ(LocalPortName("COM1"), "/dev/ttyS0");
    EXPECT_EQ(LocalPortName("COM10"), "/dev/ttyS9");
    EXPECT_EQ(LocalPortName("COM11"), "COM11");
    EXPECT_EQ(LocalPortName("COM0"), "COM0");
    EXPECT_EQ(LocalPortName("/dev/ttyUSB3"), "/dev/ttyUSB3");
    EXPECT_EQ(LocalPortName("Virtual Programmer"), "Virtual Programmer");
}
#endif

}  // namespace
}  // namespace jqz
