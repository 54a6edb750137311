// The CRC-32 is the one zlib and the crc32 tool compute.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/image/checksum.h"

namespace jqz {
namespace {

std::uint32_t crcOf(const std::string& text) {
    return Crc32(std::vector<std::uint8_t>(text.begin(), text.end()));
}

TEST(Crc32, GivesTheValuesOfZlib) {
    EXPECT_EQ(crcOf(""), 0x00000000u);
    EXPECT_EQ(crcOf("123456789"), 0xCBF43926u);
    EXPECT_EQ(crcOf("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
    // A blank E9 EEPROM: 512 bytes of 0xFF.
    EXPECT_EQ(Crc32(std::vector<std::uint8_t>(512, 0xFF)), 0xBD7BC39Fu);
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(Crc32(all), 0x29058C73u);
}

}  // namespace
}  // namespace jqz
