#include "core/link/boot_part.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace jqz {

std::optional<BootPart> BootPartOfDevice(const std::string& deviceName, std::string* whyNot) {
    // The type word after the prefix: "MC68HC11  E9 (D82R)" -> "E9".
    std::string model;
    const auto prefixEnd = deviceName.find("11");
    if (prefixEnd != std::string::npos) {
        std::size_t i = prefixEnd + 2;
        while (i < deviceName.size() && deviceName[i] == ' ') ++i;
        while (i < deviceName.size() && deviceName[i] != ' ' && deviceName[i] != '(')
            model += deviceName[i++];
    }
    BootPart part;
    part.secured = deviceName.rfind("MC68S711", 0) == 0;
    part.eprom = deviceName.find("711") != std::string::npos;
    if (model == "A8") {
        part.family = "A8";
        part.ramBytes = 256;
        part.fixedLengthDownload = true;
        part.hasBprot = false;
        return part;
    }
    if (model == "E9" || model == "EA9") {
        part.family = model;
        part.ramBytes = 512;
        return part;
    }
    if (model == "E20") {
        part.family = "E20";
        part.ramBytes = 768;
        return part;
    }
    if (model == "L6") {
        part.family = "L6";
        part.ramBytes = 512;
        return part;
    }
    if (whyNot) {
        *whyNot = model.empty() ? "The bootstrap cable does not serve this device."
                                : "The bootstrap cable does not serve the " + model +
                                      " family yet: its registers and SCI lie elsewhere.";
    }
    return std::nullopt;
}

int BootBaudRate(double xtalMHz, BootRate rate) {
    const double e = xtalMHz * 1e6 / 4.0;
    const double exact = e / (rate == BootRate::Fast ? 256.0 : 1664.0);
    static constexpr int kStandard[] = {1200, 2400, 4800, 9600, 19200, 38400};
    for (int s : kStandard)
        if (std::abs(exact - s) <= s * 0.01) return s;
    return static_cast<int>(exact);  // 7812.5 -> 7812
}

std::string CableAbilitiesText(const BootPart& part) {
    std::string what = "EEPROM and CONFIG: read, program, verify; ROM and boot ROM: read";
    if (part.eprom) what += "; EPROM: read only (programming needs the programmer's 12 V)";
    if (part.secured) what += "; secured: bootstrap mode erases its EEPROM";
    return what;
}

std::string XtalText(double xtalMHz) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", xtalMHz);
    return text;
}

std::string ConfigText(std::uint8_t config) {
    const auto bit = [config](std::uint8_t mask) { return (config & mask) ? "1" : "0"; };
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "CONFIG 0x";
    text += kHex[config >> 4];
    text += kHex[config & 0x0F];
    text += std::string(": NOSEC ") + bit(kConfigNosec) +
            ((config & kConfigNosec) ? " (not secured)" : " (secured)") + ", NOCOP " +
            bit(kConfigNocop) + ", ROMON " + bit(kConfigRomon) + ", EEON " + bit(kConfigEeon) +
            ((config & kConfigEeon) ? " (EEPROM on)" : " (EEPROM off)");
    return text;
}

long long CharacterMicroseconds(int baudRate) {
    return baudRate > 0 ? (10'000'000LL + baudRate - 1) / baudRate : 0;
}

std::uint16_t TalkerDelayCount(double xtalMHz) {
    const double e = xtalMHz * 1e6 / 4.0;
    const double seconds = e >= 2e6 ? 0.010 : 0.020;
    const double count = std::ceil(seconds * e * 1.02 / 7.0);
    return static_cast<std::uint16_t>(std::clamp(count, 1.0, 65535.0));
}

}  // namespace jqz
