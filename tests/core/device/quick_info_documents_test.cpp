// The generated "dhelp" folder: every document and drawing the catalogue names is there, and
// every quick-info document reads through our RTF reader with the facts of its devices.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "core/platform/atomic_file.h"
#include "core/device/rtf_reader.h"
#include "core/device/supported_device_list.h"

namespace jqz {
namespace {

const std::string kDhelp = JQZ_DHELP_DIR;

std::string hex4(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

TEST(DhelpFolder, HoldsEveryFileTheCatalogueNames) {
    for (const auto& e : DeviceCatalogue()) {
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(ReadWholeFile(kDhelp + "/" + e.quickInfo).has_value()) << e.quickInfo;
        for (const char* d : e.drawings)
            if (d != nullptr) {
                EXPECT_TRUE(ReadWholeFile(kDhelp + "/" + d).has_value()) << d;
            }
    }
    // Found through the device list the way the program looks them up.
    SupportedDeviceList list(std::string(JQZ_DHELP_DIR) + "/..");
    EXPECT_NE(list.quickInfoFile("MC68HC11  A8 (B95T)").find("A8_48.rtf"), std::string::npos);
}

TEST(QuickInfoDocuments, ReadWithTheFactsOfTheirDevices) {
    for (const auto& e : DeviceCatalogue()) {
        SCOPED_TRACE(e.name);
        const auto bytes = ReadWholeFile(kDhelp + "/" + e.quickInfo);
        ASSERT_TRUE(bytes.has_value());
        ASSERT_EQ(bytes->rfind("{\\rtf1", 0), 0u) << "not an RTF document";
        const RtfDocument doc = ParseRtf(*bytes);
        const std::string text = doc.plainText();
        // The prose is broken into short lines; read it as running text.
        std::string flat = text;
        for (char& c : flat)
            if (c == '\n') c = ' ';
        // the device row: its name and type code
        const auto row = text.find(std::string(e.name) + "\t" + std::to_string(e.type) + "\n");
        EXPECT_NE(row, std::string::npos);
        // memory map and the programming notes
        EXPECT_NE(text.find("EEPROM\t" + hex4(e.eepromStart) + "\xE2\x80\x93" + hex4(e.eepromEnd)),
                  std::string::npos);
        EXPECT_NE(text.find("CONFIG register\t" + hex4(e.configAddress)), std::string::npos);
        EXPECT_NE(text.find("BOOT ROM\t" + hex4(e.bootRomStart) + "\xE2\x80\x93" +
                            hex4(e.bootRomEnd)),
                  std::string::npos);
        if (e.romArea1Start != 0) {
            EXPECT_NE(text.find("EPROM/ROM area 1\t" + hex4(e.romArea1Start)), std::string::npos);
        } else {
            EXPECT_NE(text.find("EPROM/ROM\tnone"), std::string::npos);
        }
        if (e.romArea2Start != 0) {
            EXPECT_NE(text.find("EPROM/ROM area 2\t" + hex4(e.romArea2Start)), std::string::npos);
        }
        const int blocks = (e.eepromEnd - e.eepromStart) / 128 + 1;
        EXPECT_NE(flat.find(std::to_string(blocks) + " blocks of 128 bytes"), std::string::npos);
        EXPECT_NE(flat.find("DATA0\xE2\x80\x93" "DATA7, ECLK, ADDR0, RESET, MODA, MODB, RxD, TxD "
                            "and EXTAL"),
                  std::string::npos);
        for (int p = 0; p < 7; ++p)
            if (e.drawings[p] != nullptr) {
                EXPECT_NE(flat.find(kPackagePages[p]), std::string::npos) << kPackagePages[p];
            }
        // no line is wider than the quick-info pane shows without scrolling
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i <= text.size(); ++i)
            if (i == text.size() || text[i] == '\n') {
                EXPECT_LE(i - lineStart, 90u) << text.substr(lineStart, i - lineStart);
                lineStart = i + 1;
            }
        // styled: a bold heading and the fixed-pitch device names
        ASSERT_FALSE(doc.paragraphs.empty());
        EXPECT_TRUE(doc.paragraphs[0].runs.at(0).format.bold);
        ASSERT_NE(doc.font(1), nullptr);
        EXPECT_TRUE(doc.font(1)->fixedPitch);
    }
}

}  // namespace
}  // namespace jqz
