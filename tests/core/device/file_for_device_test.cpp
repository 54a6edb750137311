// What a file holds for the selected device's EEPROM and CONFIG register.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/device/supported_device_list.h"
#include "core/device/file_for_device.h"
#include "core/files/records.h"
#include "file_test_support.h"
#include "test_support.h"

namespace jqz {
namespace {

std::string s19(std::uint32_t address, const std::vector<std::uint8_t>& data) {
    std::string text;
    AppendMotorolaRecord(text, '1', 2, address, data);
    AppendMotorolaRecord(text, '9', 2, 0, {});
    return text;
}

TEST(FileForDevice, CountsTheDeviceCellsTheFileWrites) {
    test::TempDir dir;
    SupportedDeviceList devices("/");
    devices.selectDevice("MC68HC11  E9 (E28B)");  // EEPROM 0xB600-0xB7FF, CONFIG 0x103F
    const std::vector<std::uint8_t> ff16(16, 0xFF);
    Placement movedUp;
    movedUp.offset = 0xB600;
    const struct {
        const char* name;
        std::string content;
        FileFormat format;
        Placement placement;
        FileForDevice expected;
    } cases[] = {
        // Erased bytes count as written: 0xFF in the file is data like any other.
        {"eeprom.s19", s19(0xB7F8, ff16), FileFormat::Motorola, {},
         {false, false, 2, 16, 0xB7F8, 0xB807, 8, false}},
        {"low.s19", s19(0x0000, {1, 2, 3}), FileFormat::Motorola, {},
         {false, false, 2, 3, 0, 2, 0, false}},
        {"moved.s19", s19(0x0000, {1, 2, 3}), FileFormat::Motorola, movedUp,
         {false, false, 2, 3, 0xB600, 0xB602, 3, false}},
        {"config.s19", s19(0x103F, {0x0F}), FileFormat::Motorola, {},
         {false, false, 2, 1, 0x103F, 0x103F, 0, true}},
        {"empty.s19", "", FileFormat::Motorola, {}, {true, false, 0, 0, -1, -1, 0, false}},
        {"junk.s19", "S1 not a record\r\n\r\nS9 nor this\r\n", FileFormat::Motorola, {},
         {false, false, 2, 0, -1, -1, 0, false}},
        {"app.hex", ":10B600000102030405060708090A0B0C0D0E0F1068\r\n:00000001FF\r\n",
         FileFormat::Binary, {}, {false, true, 0, 58, 0, 57, 0, false}},
        {"space.hex", "\r\n  :00000001FF\r\n", FileFormat::Binary, {},
         {false, true, 0, 17, 0, 16, 0, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        test::WriteText(path, c.content);
        FileForDevice got;
        got.lines = 99;
        ASSERT_EQ(ExamineFileForDevice(path, c.format, c.placement, devices, got), "");
        EXPECT_EQ(got.empty, c.expected.empty);
        EXPECT_EQ(got.intelHexLookAlike, c.expected.intelHexLookAlike);
        EXPECT_EQ(got.lines, c.expected.lines);
        EXPECT_EQ(got.cellsWritten, c.expected.cellsWritten);
        EXPECT_EQ(got.lowestWritten, c.expected.lowestWritten);
        EXPECT_EQ(got.highestWritten, c.expected.highestWritten);
        EXPECT_EQ(got.eepromCellsWritten, c.expected.eepromCellsWritten);
        EXPECT_EQ(got.configWritten, c.expected.configWritten);
    }
    FileForDevice got;
    EXPECT_EQ(ExamineFileForDevice(dir.file("missing.s19"), FileFormat::Motorola, {}, devices, got),
              "Cannot open file \"" + dir.file("missing.s19") + "\". No such file or directory");
}

TEST(FileForDevice, TheRuleAsksForEepromDataOrConfigWhenEachIsUsed) {
    FileForDevice eepromOnly;
    eepromOnly.eepromCellsWritten = 1;
    FileForDevice configOnly;
    configOnly.configWritten = true;
    const FileForDevice nothing;
    const struct {
        const FileForDevice& file;
        bool eeprom, config, holds;
    } cases[] = {
        {eepromOnly, true, false, true},  {eepromOnly, false, true, false},
        {configOnly, true, false, false}, {configOnly, true, true, true},
        {nothing, true, true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HoldsDataForDevice(c.file, c.eeprom, c.config), c.holds)
            << c.eeprom << c.config << c.file.eepromCellsWritten << c.file.configWritten;
}

TEST(FileForDevice, IntelHexLookAlikes) {
    const struct {
        const char* head;
        bool intel;
    } cases[] = {
        {":00000001FF", true},          {"\xEF\xBB\xBF:10B6000001", true},
        {"\r\n\t :020000040000FA", true}, {":0000", false},
        {"S1130000", false},            {"", false},
        {"x:00000001FF", false},
    };
    for (const auto& c : cases) EXPECT_EQ(LooksLikeIntelHex(c.head), c.intel) << c.head;
}

}  // namespace
}  // namespace jqz
