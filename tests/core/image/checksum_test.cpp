// The 16-bit sum and the CRC-32: known values, the figures of fixture files as zlib and the
// `crc32` program compute them, continuation over pieces, and the report of image cells.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/image/cell_range.h"
#include "core/image/checksum.h"
#include "core/image/memory_image.h"

namespace jqz {
namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> fixture(const std::string& name) {
    std::ifstream in(std::string(JQZ_TEST_DATA_DIR) + "/interop/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Checksums, KnownValues) {
    const struct {
        std::vector<std::uint8_t> bytes;
        std::uint16_t sum;
        std::uint32_t crc;
    } cases[] = {
        {{}, 0x0000, 0x00000000},
        {bytesOf("123456789"), 0x01DD, 0xCBF43926},  // the CRC-32 check value
        {bytesOf("a"), 0x0061, 0xE8B7BE43},
        {std::vector<std::uint8_t>(512, 0xFF), 0xFE00, 0xBD7BC39F},  // a blank E9 EEPROM
        {std::vector<std::uint8_t>(300, 0xFF), 0x2AD4, 0x1C0A1881},  // the sum wraps at 65536
    };
    for (const auto& c : cases) {
        const Checksums figures = ChecksumsOf(c.bytes);
        EXPECT_EQ(figures.sum, c.sum) << c.bytes.size();
        EXPECT_EQ(figures.crc32, c.crc) << c.bytes.size();
    }
}

// The figures zlib.crc32 and the crc32 program give for the files' bytes.
TEST(Checksums, MatchZlibOnFixtureFiles) {
    const struct {
        const char* name;
        std::size_t size;
        std::uint16_t sum;
        std::uint32_t crc;
    } cases[] = {
        {"data.bin", 3000, 0xE7C9, 0x3736FC1B},
        {"gnu_blink.bin", 8192, 0x2570, 0x8EE0D3C2},
        {"gnu_blink.s19", 316, 0x42EC, 0xBCFE5EA3},
    };
    for (const auto& c : cases) {
        const auto bytes = fixture(c.name);
        ASSERT_EQ(bytes.size(), c.size) << c.name;
        EXPECT_EQ(ChecksumsOf(bytes), (Checksums{c.sum, c.crc})) << c.name;
    }
}

TEST(Checksums, ContinueOverPieces) {
    const auto bytes = fixture("gnu_blink.bin");
    const std::span<const std::uint8_t> all(bytes);
    for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{127}, bytes.size()}) {
        const auto head = all.first(cut), tail = all.subspan(cut);
        EXPECT_EQ(Crc32(tail, Crc32(head)), Crc32(all)) << cut;
        EXPECT_EQ(Sum16(tail, Sum16(head)), Sum16(all)) << cut;
    }
}

TEST(Checksums, ImageRangesAndSelectionsInAddressOrder) {
    MemoryImage image;
    const std::string text = "123456789";
    for (int a = 0; a <= MemoryImage::LastAddress(); ++a) image.WriteData(a, 0xFF);
    for (std::size_t i = 0; i < text.size(); ++i)
        image.WriteData(0xB600 + static_cast<int>(i), static_cast<std::uint8_t>(text[i]));

    const ChecksumReport range = ImageChecksumReport("EEPROM", image, 0xB600, 0xB608);
    EXPECT_EQ(range.text(), "EEPROM 0xB600-0xB608: sum 0x01DD, CRC-32 0xCBF43926");

    // A selected rectangle of two rows by five columns: "12345", then "abcde" of the row
    // below; the cells right of the rectangle ("6789") are not in it.
    for (int i = 0; i < 5; ++i) image.WriteData(0xB610 + i, static_cast<std::uint8_t>('a' + i));
    const CellSet rect = CellSet::Selection(CellRect::Spanning(0xB60, 0, 0xB61, 4));
    EXPECT_EQ(ChecksumsOf(image, rect), (Checksums{0x02EE, 0x2400059D}));

    const ChecksumReport blank = ImageChecksumReport("EEPROM", image, 0xB700, 0xB7FF);
    EXPECT_EQ(blank.text(), "EEPROM 0xB700-0xB7FF: sum 0xFF00, CRC-32 0xFEA8A821");
}

}  // namespace
}  // namespace jqz
