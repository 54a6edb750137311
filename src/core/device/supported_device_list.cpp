#include "core/device/supported_device_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <utility>

namespace jqz {

namespace {

constexpr int kNone = 0;
// Shorthand for the rows: the E-series map, the A8 map, the K map.
#define E_MAP 0xB600, 0xB7FF, 0x103F, 0xD000, 0xFFFF
#define BOOT_E 0xBF00, 0xBFFF
#define A8_MAP 0xB600, 0xB7FF, 0x103F, 0xE000, 0xFFFF, kNone, kNone, 0xBF40, 0xBFFF
#define K_EE 0x0D80, 0x0FFF, 0x003F
#define E_DRAW {"E_PLCC52.emf", nullptr, nullptr, "E_QFP64.emf", nullptr, "E_SDIP56.emf", nullptr}
#define A8_DRAW {"A8_PLCC52.emf", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}
#define K_DRAW {nullptr, nullptr, "K_PLCC84.emf", nullptr, "K_QFP80.emf", nullptr, nullptr}
#define PLCC68(f) {nullptr, f, nullptr, nullptr, nullptr, nullptr, nullptr}
#define PLCC84(f) {nullptr, nullptr, f, nullptr, nullptr, nullptr, nullptr}

const std::vector<DeviceEntry> kCatalogue = {
    {"MC68HC11  EA9(2D47J)", 1, E_MAP, kNone, kNone, BOOT_E, "EA9.rtf",
     {"EA9_PLCC52.emf", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}},
    {"MC68HC711 EA9(0D46J)", 2, E_MAP, kNone, kNone, BOOT_E, "EA9.rtf",
     {"EA9_PLCC52.emf", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}},
    {"MC68S711  E9 (5C47M)", 3, E_MAP, kNone, kNone, BOOT_E, "E9.rtf", E_DRAW},
    {"MC68HC711 E9 (4K81H)", 4, E_MAP, kNone, kNone, BOOT_E, "E9.rtf", E_DRAW},
    {"MC68HC711 E9 (5C47M)", 3, E_MAP, kNone, kNone, BOOT_E, "E9.rtf", E_DRAW},
    {"MC68HC711 E20(1H19S)", 5, E_MAP, 0x9000, 0xAFFF, BOOT_E, "E20.rtf", E_DRAW},
    {"MC68HC11  A8 (AB95T)", 6, A8_MAP, "A8.rtf", A8_DRAW},
    {"MC68HC11  E9 (D82R)", 7, E_MAP, kNone, kNone, BOOT_E, "E9.rtf", E_DRAW},
    {"MC68HC11  E9 (E28B)", 7, E_MAP, kNone, kNone, BOOT_E, "E9.rtf", E_DRAW},
    {"MC68HC11  E9 (E22B)", 7, E_MAP, kNone, kNone, BOOT_E, "E9.rtf", E_DRAW},
    {"MC68HC11  E9 (1B60R)", 7, E_MAP, kNone, kNone, BOOT_E, "E9.rtf", E_DRAW},
    {"MC68HC11  A8 (C96N)", 6, A8_MAP, "A8.rtf", A8_DRAW},
    {"MC68HC11  A8 (D26E)", 6, A8_MAP, "A8.rtf", A8_DRAW},
    {"MC68HC711 K4 (K59D)", 8, K_EE, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF, "K4.rtf", K_DRAW},
    {"MC68HC11  KA4(1E59B)", 9, K_EE, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF, "KA4.rtf",
     PLCC68("KA_PLCC68.emf")},
    {"MC68HC11  K1 (2D58N)", 10, K_EE, kNone, kNone, kNone, kNone, 0xBE00, 0xBFFF, "K1.rtf", K_DRAW},
    {"MC68HC11  F1 (2F37E)", 11, 0xFE00, 0xFFFF, 0x103F, kNone, kNone, kNone, kNone, 0xBF00, 0xBFFF,
     "F1.rtf", PLCC68("F1_PLCC68.emf")},
    {"MC68HC11  K4 (OE75J)", 12, K_EE, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF, "K4.rtf", K_DRAW},
    {"MC68HC11  K4 (1E62H)", 12, K_EE, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF, "K4.rtf", K_DRAW},
    {"MC68HC11  E20(3E22B)", 13, E_MAP, 0x9000, 0xAFFF, BOOT_E, "E20.rtf", E_DRAW},
    {"MC68HC11  KS4(0F60M)", 14, K_EE, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF, "KS4.rtf",
     PLCC68("KS_PLCC68.emf")},
    {"XC68HC711 KS8(1H96P)", 14, K_EE, 0x4000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF, "KS8.rtf",
     PLCC68("KS_PLCC68.emf")},
    {"MC68HC11  KS2(0H95B)", 14, K_EE, 0x8000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF, "KS2.rtf",
     PLCC68("KS_PLCC68.emf")},
    {"MC68HC711 PH8(0H30R)", 15, 0x0D00, 0x0FFF, 0x003F, 0x4000, 0xBE3F, 0xC000, 0xFFFF, 0xBE40,
     0xBFFF, "PH8.rtf", PLCC84("PH8_PLCC84.emf")},
    {"MC68HC11  KS4(0E57S)", 14, K_EE, 0xA000, 0xBDFF, 0xC000, 0xFFFF, 0xBE00, 0xBFFF, "KS4.rtf",
     PLCC68("KS_PLCC68.emf")},
    {"MC68HC11  F1 (E87J)", 11, 0xFE00, 0xFFFF, 0x103F, kNone, kNone, kNone, kNone, 0xBF00, 0xBFFF,
     "F1.rtf", PLCC68("F1_PLCC68.emf")},
    {"MC68HC11  P2 (2E74J)", 16, K_EE, 0x8000, 0xBE3F, 0xC000, 0xFFFF, 0xBE40, 0xBFFF, "P2.rtf",
     PLCC84("P2_PLCC84.emf")},
    {"XC68HC711 P2 (1E53M)", 16, K_EE, 0x8000, 0xBE3F, 0xC000, 0xFFFF, 0xBE40, 0xBFFF, "P2.rtf",
     PLCC84("P2_PLCC84.emf")},
    {"MC68HC11  A8 (B95T)", 6, A8_MAP, "A8_48.rtf",
     {"A8_PLCC52.emf", nullptr, nullptr, nullptr, nullptr, nullptr, "A8_DIP48.emf"}},
    {"MC68HC11  A8 (C11W)", 6, A8_MAP, "A8.rtf", A8_DRAW},
    {"MC68HC11  L6 (0F11N)", 7, 0xB600, 0xB7FF, 0x103F, 0xC000, 0xFFFF, kNone, kNone, 0xBF40, 0xBFFF,
     "L6.rtf", PLCC68("L6_PLCC68.emf")},
};

#undef E_MAP
#undef BOOT_E
#undef A8_MAP
#undef K_EE
#undef E_DRAW
#undef A8_DRAW
#undef K_DRAW
#undef PLCC68
#undef PLCC84

bool fileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

const std::vector<DeviceEntry>& DeviceCatalogue() { return kCatalogue; }

std::vector<std::string> SortedIgnoringCase(std::vector<std::string> names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                return std::tolower(static_cast<unsigned char>(x)) <
                       std::tolower(static_cast<unsigned char>(y));
            });
    });
    return names;
}

SupportedDeviceList::SupportedDeviceList(std::string programFolder)
    : programFolder_(std::move(programFolder)) {}

std::vector<std::string> SupportedDeviceList::deviceNames() const {
    std::vector<std::string> names;
    names.reserve(kCatalogue.size());
    for (const auto& e : kCatalogue) names.emplace_back(e.name);
    return names;
}

const DeviceEntry* SupportedDeviceList::find(const std::string& name) {
    for (const auto& e : kCatalogue)
        if (name == e.name) return &e;
    return nullptr;
}

void SupportedDeviceList::selectDevice(const std::string& name) {
    selectedName = name;
    deviceType = 0;
    eepromStart = eepromEnd = configAddress = 0;
    romArea1Start = romArea1End = romArea2Start = romArea2End = 0;
    bootRomStart = bootRomEnd = 0;
    const DeviceEntry* e = find(name);
    if (e == nullptr) return;
    deviceType = e->type;
    eepromStart = e->eepromStart;
    eepromEnd = e->eepromEnd;
    configAddress = e->configAddress;
    romArea1Start = e->romArea1Start;
    romArea1End = e->romArea1End;
    romArea2Start = e->romArea2Start;
    romArea2End = e->romArea2End;
    bootRomStart = e->bootRomStart;
    bootRomEnd = e->bootRomEnd;
}

std::string SupportedDeviceList::dhelpFolder() const {
    std::string folder = programFolder_;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + "dhelp/";
}

std::vector<std::string> SupportedDeviceList::packageDrawings() const {
    std::vector<std::string> list(8);
    list[0] = dhelpFolder();
    const DeviceEntry* e = find(selectedName);
    if (e == nullptr) {
        list[0].clear();
        return list;
    }
    for (int i = 0; i < 7; ++i)
        if (e->drawings[i] != nullptr) list[static_cast<std::size_t>(i) + 1] = e->drawings[i];
    for (int i = 1; i <= 7; ++i) {
        const auto& f = list[static_cast<std::size_t>(i)];
        if (!f.empty() && fileExists(list[0] + f)) return list;
    }
    list[0].clear();
    return list;
}

std::string SupportedDeviceList::quickInfoFile(const std::string& name) const {
    const DeviceEntry* e = find(name);
    if (e == nullptr) return {};
    const std::string path = dhelpFolder() + e->quickInfo;
    return fileExists(path) ? path : std::string{};
}

}  // namespace jqz
