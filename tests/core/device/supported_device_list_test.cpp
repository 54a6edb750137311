#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <set>

#include "core/device/device_image_reset.h"
#include "core/device/supported_device_list.h"
#include "test_support.h"

namespace jqz {
namespace {

TEST(SupportedDeviceList, StartsInDemoModeWithAnEmptyMap) {
    test::TempDir dir;
    SupportedDeviceList list(dir.path());
    EXPECT_EQ(list.selectedDevice(), "Demo Mode");
    EXPECT_EQ(list.deviceType, 0);
    EXPECT_EQ(list.eepromStart + list.eepromEnd + list.configAddress + list.romArea1Start +
                  list.romArea1End + list.romArea2Start + list.romArea2End + list.bootRomStart +
                  list.bootRomEnd,
              0);
    const auto drawings = list.packageDrawings();
    ASSERT_EQ(drawings.size(), 8u);
    EXPECT_EQ(drawings[0], "");
    EXPECT_EQ(list.quickInfoFile("Demo Mode"), "");
}

TEST(SupportedDeviceList, NamesInTableOrderExactly) {
    const auto names = SupportedDeviceList("/").deviceNames();
    ASSERT_EQ(names.size(), 31u);
    EXPECT_EQ(names[0], "MC68HC11  EA9(2D47J)");
    EXPECT_EQ(names[7], "MC68HC11  E9 (D82R)");
    EXPECT_EQ(names[17], "MC68HC11  K4 (OE75J)");  // the letter O
    EXPECT_EQ(names[21], "XC68HC711 KS8(1H96P)");
    EXPECT_EQ(names[30], "MC68HC11  L6 (0F11N)");
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 31u);
    for (const auto& n : names) {
        // part number padded to 10 characters, then the variant and the mask set
        EXPECT_EQ(n[9], ' ') << n;
        EXPECT_NE(n.find('('), std::string::npos) << n;
        EXPECT_EQ(n.back(), ')') << n;
    }
}

// A self-check of the catalogue's invariants.
TEST(SupportedDeviceList, EveryRowHasEepromConfigAndBootRom) {
    for (const auto& e : DeviceCatalogue()) {
        SCOPED_TRACE(e.name);
        EXPECT_GT(e.type, 0);
        EXPECT_LT(e.eepromStart, e.eepromEnd);
        EXPECT_GT(e.configAddress, 0);
        EXPECT_LT(e.bootRomStart, e.bootRomEnd);
        EXPECT_EQ(e.romArea1Start == 0, e.romArea1End == 0);
        EXPECT_EQ(e.romArea2Start == 0, e.romArea2End == 0);
        if (e.romArea1Start == 0) {
            EXPECT_EQ(e.romArea2Start, 0);
        }
        int drawings = 0;
        for (const char* d : e.drawings) drawings += d != nullptr;
        EXPECT_GE(drawings, 1);
    }
}

TEST(SupportedDeviceList, SelectionTable) {
    struct Case {
        const char* name;
        int type, eeS, eeE, cfg, r1S, r1E, r2S, r2E, bS, bE;
    };
    const Case cases[] = {
        {"MC68HC711 E9 (5C47M)", 3, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0, 0, 0xBF00, 0xBFFF},
        {"MC68S711  E9 (5C47M)", 3, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0, 0, 0xBF00, 0xBFFF},
        {"MC68HC711 E20(1H19S)", 5, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0x9000, 0xAFFF, 0xBF00,
         0xBFFF},
        {"MC68HC11  K1 (2D58N)", 10, 0x0D80, 0x0FFF, 0x003F, 0, 0, 0, 0, 0xBE00, 0xBFFF},
        {"MC68HC11  F1 (2F37E)", 11, 0xFE00, 0xFFFF, 0x103F, 0, 0, 0, 0, 0xBF00, 0xBFFF},
        {"MC68HC11  F1 (E87J)", 11, 0xFE00, 0xFFFF, 0x103F, 0, 0, 0, 0, 0xBF00, 0xBFFF},
        {"MC68HC711 PH8(0H30R)", 15, 0x0D00, 0x0FFF, 0x003F, 0x4000, 0xBE3F, 0xC000, 0xFFFF, 0xBE40,
         0xBFFF},
        {"XC68HC711 KS8(1H96P)", 14, 0x0D80, 0x0FFF, 0x003F, 0x4000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00,
         0xBFFF},
        {"MC68HC11  L6 (0F11N)", 7, 0xB600, 0xB7FF, 0x103F, 0xC000, 0xFFFF, 0, 0, 0xBF40, 0xBFFF},
        {"MC68HC11  A8 (B95T)", 6, 0xB600, 0xB7FF, 0x103F, 0xE000, 0xFFFF, 0, 0, 0xBF40, 0xBFFF},
        {"MC68HC11  K4 (OE75J)", 12, 0x0D80, 0x0FFF, 0x003F, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00,
         0xBFFF},
        // no row: one space missing, the digit 0 for the letter O, another case
        {"MC68HC11 E9 (E28B)", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {"MC68HC11  K4 (0E75J)", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {"mc68hc11  E9 (E28B)", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SupportedDeviceList list("/nonexistent");
        list.selectDevice("MC68HC11  E9 (E28B)");  // a previous selection is fully replaced
        list.selectDevice(c.name);
        EXPECT_EQ(list.selectedDevice(), c.name);
        EXPECT_EQ(list.deviceType, c.type);
        EXPECT_EQ(list.eepromStart, c.eeS);
        EXPECT_EQ(list.eepromEnd, c.eeE);
        EXPECT_EQ(list.configAddress, c.cfg);
        EXPECT_EQ(list.romArea1Start, c.r1S);
        EXPECT_EQ(list.romArea1End, c.r1E);
        EXPECT_EQ(list.romArea2Start, c.r2S);
        EXPECT_EQ(list.romArea2End, c.r2E);
        EXPECT_EQ(list.bootRomStart, c.bS);
        EXPECT_EQ(list.bootRomEnd, c.bE);
    }
}

void touch(const std::string& path) { std::ofstream(path) << "x"; }

// The whole catalogue, row by row, against the device table and its file table: the list
// order, the type codes, the memory maps, the quick-info documents and the drawings by page
// (PLCC 52, PLCC 68, PLCC84, QFP 64, TQFP 80, SDIP 56, DIP 48). Both what selecting a name
// gives and the catalogue rows themselves (from which the simulator builds its parts).
TEST(SupportedDeviceList, EveryRowWithItsMapAndFiles) {
    struct Row {
        const char* name;
        int type, eeS, eeE, cfg, r1S, r1E, r2S, r2E, bS, bE;
        const char* document;
        std::array<const char*, 7> drawings;
    };
    const Row rows[] = {
        {"MC68HC11  EA9(2D47J)", 1, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0, 0, 0xBF00, 0xBFFF,
         "EA9.rtf", {"EA9_PLCC52.emf", "", "", "", "", "", ""}},
        {"MC68HC711 EA9(0D46J)", 2, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0, 0, 0xBF00, 0xBFFF,
         "EA9.rtf", {"EA9_PLCC52.emf", "", "", "", "", "", ""}},
        {"MC68S711  E9 (5C47M)", 3, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0, 0, 0xBF00, 0xBFFF,
         "E9.rtf", {"E_PLCC52.emf", "", "", "E_QFP64.emf", "", "E_SDIP56.emf", ""}},
        {"MC68HC711 E9 (4K81H)", 4, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0, 0, 0xBF00, 0xBFFF,
         "E9.rtf", {"E_PLCC52.emf", "", "", "E_QFP64.emf", "", "E_SDIP56.emf", ""}},
        {"MC68HC711 E9 (5C47M)", 3, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0, 0, 0xBF00, 0xBFFF,
         "E9.rtf", {"E_PLCC52.emf", "", "", "E_QFP64.emf", "", "E_SDIP56.emf", ""}},
        {"MC68HC711 E20(1H19S)", 5, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0x9000, 0xAFFF, 0xBF00, 0xBFFF,
         "E20.rtf", {"E_PLCC52.emf", "", "", "E_QFP64.emf", "", "E_SDIP56.emf", ""}},
        {"MC68HC11  A8 (AB95T)", 6, 0xB600, 0xB7FF, 0x103F, 0xE000, 0xFFFF, 0, 0, 0xBF40, 0xBFFF,
         "A8.rtf", {"A8_PLCC52.emf", "", "", "", "", "", ""}},
        {"MC68HC11  E9 (D82R)", 7, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0, 0, 0xBF00, 0xBFFF,
         "E9.rtf", {"E_PLCC52.emf", "", "", "E_QFP64.emf", "", "E_SDIP56.emf", ""}},
        {"MC68HC11  E9 (E28B)", 7, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0, 0, 0xBF00, 0xBFFF,
         "E9.rtf", {"E_PLCC52.emf", "", "", "E_QFP64.emf", "", "E_SDIP56.emf", ""}},
        {"MC68HC11  E9 (E22B)", 7, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0, 0, 0xBF00, 0xBFFF,
         "E9.rtf", {"E_PLCC52.emf", "", "", "E_QFP64.emf", "", "E_SDIP56.emf", ""}},
        {"MC68HC11  E9 (1B60R)", 7, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0, 0, 0xBF00, 0xBFFF,
         "E9.rtf", {"E_PLCC52.emf", "", "", "E_QFP64.emf", "", "E_SDIP56.emf", ""}},
        {"MC68HC11  A8 (C96N)", 6, 0xB600, 0xB7FF, 0x103F, 0xE000, 0xFFFF, 0, 0, 0xBF40, 0xBFFF,
         "A8.rtf", {"A8_PLCC52.emf", "", "", "", "", "", ""}},
        {"MC68HC11  A8 (D26E)", 6, 0xB600, 0xB7FF, 0x103F, 0xE000, 0xFFFF, 0, 0, 0xBF40, 0xBFFF,
         "A8.rtf", {"A8_PLCC52.emf", "", "", "", "", "", ""}},
        {"MC68HC711 K4 (K59D)", 8, 0x0D80, 0x0FFF, 0x003F, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF,
         "K4.rtf", {"", "", "K_PLCC84.emf", "", "K_QFP80.emf", "", ""}},
        {"MC68HC11  KA4(1E59B)", 9, 0x0D80, 0x0FFF, 0x003F, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF,
         "KA4.rtf", {"", "KA_PLCC68.emf", "", "", "", "", ""}},
        {"MC68HC11  K1 (2D58N)", 10, 0x0D80, 0x0FFF, 0x003F, 0, 0, 0, 0, 0xBE00, 0xBFFF,
         "K1.rtf", {"", "", "K_PLCC84.emf", "", "K_QFP80.emf", "", ""}},
        {"MC68HC11  F1 (2F37E)", 11, 0xFE00, 0xFFFF, 0x103F, 0, 0, 0, 0, 0xBF00, 0xBFFF,
         "F1.rtf", {"", "F1_PLCC68.emf", "", "", "", "", ""}},
        {"MC68HC11  K4 (OE75J)", 12, 0x0D80, 0x0FFF, 0x003F, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF,
         "K4.rtf", {"", "", "K_PLCC84.emf", "", "K_QFP80.emf", "", ""}},
        {"MC68HC11  K4 (1E62H)", 12, 0x0D80, 0x0FFF, 0x003F, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF,
         "K4.rtf", {"", "", "K_PLCC84.emf", "", "K_QFP80.emf", "", ""}},
        {"MC68HC11  E20(3E22B)", 13, 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF, 0x9000, 0xAFFF, 0xBF00, 0xBFFF,
         "E20.rtf", {"E_PLCC52.emf", "", "", "E_QFP64.emf", "", "E_SDIP56.emf", ""}},
        {"MC68HC11  KS4(0F60M)", 14, 0x0D80, 0x0FFF, 0x003F, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF,
         "KS4.rtf", {"", "KS_PLCC68.emf", "", "", "", "", ""}},
        {"XC68HC711 KS8(1H96P)", 14, 0x0D80, 0x0FFF, 0x003F, 0x4000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF,
         "KS8.rtf", {"", "KS_PLCC68.emf", "", "", "", "", ""}},
        {"MC68HC11  KS2(0H95B)", 14, 0x0D80, 0x0FFF, 0x003F, 0x8000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF,
         "KS2.rtf", {"", "KS_PLCC68.emf", "", "", "", "", ""}},
        {"MC68HC711 PH8(0H30R)", 15, 0x0D00, 0x0FFF, 0x003F, 0x4000, 0xBE3F, 0xC000, 0xFFFF, 0xBE40, 0xBFFF,
         "PH8.rtf", {"", "", "PH8_PLCC84.emf", "", "", "", ""}},
        {"MC68HC11  KS4(0E57S)", 14, 0x0D80, 0x0FFF, 0x003F, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF,
         "KS4.rtf", {"", "KS_PLCC68.emf", "", "", "", "", ""}},
        {"MC68HC11  F1 (E87J)", 11, 0xFE00, 0xFFFF, 0x103F, 0, 0, 0, 0, 0xBF00, 0xBFFF,
         "F1.rtf", {"", "F1_PLCC68.emf", "", "", "", "", ""}},
        {"MC68HC11  P2 (2E74J)", 16, 0x0D80, 0x0FFF, 0x003F, 0x8000, 0xBE3F, 0xC000, 0xFFFF, 0xBE40, 0xBFFF,
         "P2.rtf", {"", "", "P2_PLCC84.emf", "", "", "", ""}},
        {"XC68HC711 P2 (1E53M)", 16, 0x0D80, 0x0FFF, 0x003F, 0x8000, 0xBE3F, 0xC000, 0xFFFF, 0xBE40, 0xBFFF,
         "P2.rtf", {"", "", "P2_PLCC84.emf", "", "", "", ""}},
        {"MC68HC11  A8 (B95T)", 6, 0xB600, 0xB7FF, 0x103F, 0xE000, 0xFFFF, 0, 0, 0xBF40, 0xBFFF,
         "A8_48.rtf", {"A8_PLCC52.emf", "", "", "", "", "", "A8_DIP48.emf"}},
        {"MC68HC11  A8 (C11W)", 6, 0xB600, 0xB7FF, 0x103F, 0xE000, 0xFFFF, 0, 0, 0xBF40, 0xBFFF,
         "A8.rtf", {"A8_PLCC52.emf", "", "", "", "", "", ""}},
        {"MC68HC11  L6 (0F11N)", 7, 0xB600, 0xB7FF, 0x103F, 0xC000, 0xFFFF, 0, 0, 0xBF40, 0xBFFF,
         "L6.rtf", {"", "L6_PLCC68.emf", "", "", "", "", ""}},
    };
    ASSERT_EQ(std::size(rows), 31u);
    ASSERT_EQ(DeviceCatalogue().size(), 31u);
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("dhelp"));
    for (const Row& r : rows) {
        touch(dir.file(std::string("dhelp/") + r.document));
        for (const char* d : r.drawings)
            if (*d != '\0') touch(dir.file(std::string("dhelp/") + d));
    }
    const auto names = SupportedDeviceList("/").deviceNames();
    ASSERT_EQ(names.size(), 31u);
    for (std::size_t i = 0; i < 31; ++i) {
        const Row& r = rows[i];
        SCOPED_TRACE(r.name);
        EXPECT_EQ(names[i], r.name);
        const DeviceEntry& e = DeviceCatalogue()[i];
        EXPECT_STREQ(e.name, r.name);
        EXPECT_EQ(e.type, r.type);
        EXPECT_STREQ(e.quickInfo, r.document);
        for (std::size_t p = 0; p < 7; ++p)
            EXPECT_STREQ(e.drawings[p] ? e.drawings[p] : "", r.drawings[p]) << kPackagePages[p];

        SupportedDeviceList list(dir.path());
        list.selectDevice(r.name);
        EXPECT_EQ(list.deviceType, r.type);
        EXPECT_EQ(list.eepromStart, r.eeS);
        EXPECT_EQ(list.eepromEnd, r.eeE);
        EXPECT_EQ(list.configAddress, r.cfg);
        EXPECT_EQ(list.romArea1Start, r.r1S);
        EXPECT_EQ(list.romArea1End, r.r1E);
        EXPECT_EQ(list.romArea2Start, r.r2S);
        EXPECT_EQ(list.romArea2End, r.r2E);
        EXPECT_EQ(list.bootRomStart, r.bS);
        EXPECT_EQ(list.bootRomEnd, r.bE);
        EXPECT_EQ(list.quickInfoFile(r.name), dir.path() + "/dhelp/" + r.document);
        std::vector<std::string> drawings = {dir.path() + "/dhelp/"};
        drawings.insert(drawings.end(), r.drawings.begin(), r.drawings.end());
        EXPECT_EQ(list.packageDrawings(), drawings);
    }
}

TEST(SupportedDeviceList, PackageDrawingsNeedOneExistingFile) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("dhelp"));
    SupportedDeviceList list(dir.path());
    list.selectDevice("MC68HC11  E9 (E28B)");
    EXPECT_EQ(list.packageDrawings()[0], "") << "none of its drawings exists";

    touch(dir.file("dhelp/E_SDIP56.emf"));
    const auto d = list.packageDrawings();
    const std::vector<std::string> expected = {dir.path() + "/dhelp/", "E_PLCC52.emf", "", "",
                                               "E_QFP64.emf", "", "E_SDIP56.emf", ""};
    EXPECT_EQ(d, expected);

    list.selectDevice("MC68HC11  A8 (B95T)");
    touch(dir.file("dhelp/A8_DIP48.emf"));
    EXPECT_EQ(list.packageDrawings()[7], "A8_DIP48.emf");
    EXPECT_EQ(list.packageDrawings()[1], "A8_PLCC52.emf");
}

TEST(SupportedDeviceList, QuickInfoNeedsTheFileAndDoesNotSelect) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("dhelp"));
    SupportedDeviceList list(dir.path());
    EXPECT_EQ(list.quickInfoFile("MC68HC11  A8 (B95T)"), "");
    touch(dir.file("dhelp/A8_48.rtf"));
    EXPECT_EQ(list.quickInfoFile("MC68HC11  A8 (B95T)"), dir.path() + "/dhelp/A8_48.rtf");
    EXPECT_EQ(list.quickInfoFile("MC68HC11  A8 (C11W)"), "") << "A8.rtf is absent";
    EXPECT_EQ(list.quickInfoFile("no such device"), "");
    EXPECT_EQ(list.selectedDevice(), "Demo Mode");
}

TEST(DeviceImageReset, DemoModeImplementsEveryCellWithFF) {
    HexEditModel m;
    SupportedDeviceList list("/");
    m.image.SetUnimplemented(0x20, true);
    m.description.putRow(0, ProjCell{0x30, 3, true, "old"});
    ResetImageForDevice(m, list);
    for (int a : {0, 0x20, 0x30, 0xFFFF}) {
        EXPECT_EQ(m.image.ReadData(a), 0xFF);
        EXPECT_FALSE(m.image.IsUnimplemented(a));
        EXPECT_EQ(m.image.CellColor(a), (Rgb{0, 0, 255}));
    }
    EXPECT_TRUE(m.description.isEmpty());
    EXPECT_TRUE(m.image.IsReadOnly(0x30)) << "read-only bits are not touched";
}

TEST(DeviceImageReset, DeviceImplementsExactlyItsMap) {
    HexEditModel m;
    SupportedDeviceList list("/");
    list.selectDevice("MC68HC711 E20(1H19S)");
    int shownAt = -1;
    ResetImageForDevice(m, list, [&](int a) { shownAt = a; });
    EXPECT_EQ(shownAt, 0xB600);
    int implemented = 0;
    for (int a = 0; a <= 0xFFFF; ++a) {
        EXPECT_EQ(m.image.ReadData(a), 0xFF);
        implemented += !m.image.IsUnimplemented(a);
    }
    EXPECT_EQ(implemented, 1 + 0x200 + 0x3000 + 0x2000 + 0x100);
    for (int a : {0x103F, 0xB600, 0xB7FF, 0x9000, 0xAFFF, 0xD000, 0xFFFF, 0xBF00, 0xBFFF})
        EXPECT_FALSE(m.image.IsUnimplemented(a)) << std::hex << a;
    for (int a : {0x103E, 0x1040, 0xB5FF, 0xB800, 0x8FFF, 0xB000, 0xBEFF, 0xCFFF})
        EXPECT_TRUE(m.image.IsUnimplemented(a)) << std::hex << a;
    EXPECT_EQ(m.image.CellColor(0xB600), (Rgb{0, 0, 255}));
    EXPECT_EQ(m.image.CellColor(0x0000), (Rgb{170, 170, 255}));
}

}  // namespace
}  // namespace jqz

#include "core/device/device_options.h"

namespace jqz {
namespace {

TEST(DeviceOptions, OfferedStepsFollowTheMemoryMap) {
    SupportedDeviceList list("/");
    EXPECT_EQ(OptionsOffered(list), OfferedOptions{}) << "Demo Mode offers nothing";
    list.selectDevice("MC68HC11  K1 (2D58N)");
    EXPECT_EQ(OptionsOffered(list), (OfferedOptions{true, true, true, true, false, true}));
    list.selectDevice("MC68HC11  E9 (E28B)");
    EXPECT_EQ(OptionsOffered(list), (OfferedOptions{true, true, true, true, true, true}));
}

}  // namespace
}  // namespace jqz

namespace jqz {
namespace {

TEST(SupportedDeviceList, SortedIgnoringCaseForTheViews) {
    const auto sorted = SortedIgnoringCase(SupportedDeviceList("/").deviceNames());
    ASSERT_EQ(sorted.size(), 31u);
    const auto pos = [&](const std::string& n) {
        return std::find(sorted.begin(), sorted.end(), n) - sorted.begin();
    };
    EXPECT_LT(pos("MC68HC11  A8 (AB95T)"), pos("MC68HC11  E9 (D82R)"));
    EXPECT_NE(sorted[28].rfind("XC68HC711", 0), 0u);
    EXPECT_EQ(sorted[29].rfind("XC68HC711", 0), 0u);
    EXPECT_EQ(sorted[30].rfind("XC68HC711", 0), 0u);
    EXPECT_EQ(SortedIgnoringCase({"b", "A", "a", "B"}),
              (std::vector<std::string>{"A", "a", "b", "B"}));
}

}  // namespace
}  // namespace jqz
