#include "core/app/settings_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <string_view>

#include "core/platform/folders.h"
#include "core/platform/native_file.h"

namespace jqz {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

NameValueList NameValueList::Parse(const std::string& bytes) {
    NameValueList list;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = bytes.size();
        const std::string_view line(bytes.data() + pos, end - pos);
        const auto eq = line.find('=');
        if (eq != std::string_view::npos && eq > 0)
            list.entries_.emplace_back(std::string(line.substr(0, eq)),
                                       std::string(line.substr(eq + 1)));
        pos = end;
        if (pos < bytes.size() && bytes[pos] == '\r') ++pos;
        if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
    }
    return list;
}

std::string NameValueList::value(const std::string& name) const {
    for (const auto& [n, v] : entries_)
        if (sameName(n, name)) return v;
    return {};
}

void NameValueList::set(const std::string& name, const std::string& value) {
    for (auto& [n, v] : entries_)
        if (sameName(n, name)) {
            v = value;
            return;
        }
    entries_.emplace_back(name, value);
}

std::string NameValueList::text() const {
    std::string out;
    for (const auto& [n, v] : entries_) out += n + "=" + v + "\r\n";
    return out;
}

std::optional<int> ParseDecimal(const std::string& text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return std::nullopt;
    return static_cast<int>(value);
}

namespace {

void readInt(const NameValueList& list, const char* key, int& field) {
    if (auto v = ParseDecimal(list.value(key))) field = *v;
}

void readFlag(const NameValueList& list, const char* key, bool& field) {
    if (auto v = ParseDecimal(list.value(key))) field = *v != 0;
}

void readColour(const NameValueList& list, const char* key, Rgb& field) {
    if (auto v = ParseDecimal(list.value(key))) field = ColorIndexToColor(*v & 0x3F);
}

void readText(const NameValueList& list, const char* key, std::string& field) {
    const std::string v = list.value(key);
    if (!v.empty()) field = v;
}

// A value among the names given (any case): its index; nullopt for anything else.
std::optional<int> readChoice(const NameValueList& list, const char* key,
                              std::initializer_list<const char*> names) {
    const std::string v = list.value(key);
    int i = 0;
    for (const char* name : names) {
        if (sameName(v, name)) return i;
        ++i;
    }
    return std::nullopt;
}

void readBoot(const NameValueList& list, LinkKind& link, BootLinkOptions& boot) {
    if (auto v = readChoice(list, "LINK", {"PROGRAMMER", "BOOTSTRAP"}))
        link = *v == 0 ? LinkKind::Programmer : LinkKind::BootstrapCable;
    const std::string xtal = list.value("BOOT_XTAL_MHZ");
    double mhz = 0;
    const auto [end, error] = std::from_chars(xtal.data(), xtal.data() + xtal.size(), mhz);
    if (error == std::errc() && end == xtal.data() + xtal.size() && mhz >= kMinXtalMHz &&
        mhz <= kMaxXtalMHz)
        boot.xtalMHz = mhz;
    if (auto v = readChoice(list, "BOOT_RESET", {"HAND", "DTR", "RTS"}))
        boot.reset = *v == 0 ? BootReset::None : *v == 1 ? BootReset::Dtr : BootReset::Rts;
    if (auto v = readChoice(list, "BOOT_RATE", {"FAST", "1200"}))
        boot.rate = *v == 0 ? BootRate::Fast : BootRate::Slow1200;
}

// An empty value is never written.
void put(NameValueList& list, const char* key, const std::string& value) {
    if (!value.empty()) list.set(key, value);
}

void put(NameValueList& list, const char* key, int value) { list.set(key, std::to_string(value)); }
void putFlag(NameValueList& list, const char* key, bool v) { list.set(key, v ? "1" : "0"); }
void putColour(NameValueList& list, const char* key, Rgb c) {
    list.set(key, std::to_string(ColorToColorIndex(c)));
}

}  // namespace

void AppSettings::readFrom(const NameValueList& list) {
    readInt(list, "P_WIN_POS_LEFT", mainWindow.left);
    readInt(list, "P_WIN_POS_TOP", mainWindow.top);
    readInt(list, "P_WIN_POS_HEIGHT", mainWindow.height);
    readInt(list, "P_WIN_POS_WIDTH", mainWindow.width);

    readInt(list, "DPV_WIN_POS_LEFT", packageView.left);
    readInt(list, "DPV_WIN_POS_TOP", packageView.top);
    readInt(list, "DPV_WIN_POS_HEIGHT", packageView.height);
    readInt(list, "DPV_WIN_POS_WIDTH", packageView.width);
    readFlag(list, "DPV_WIN_VISIBLE", packageView.visible);

    readInt(list, "H_WIN_POS_LEFT", editor.EditorLeft);
    readInt(list, "H_WIN_POS_TOP", editor.EditorTop);
    readInt(list, "H_WIN_POS_HEIGHT", editor.EditorHeight);
    readInt(list, "H_WIN_POS_WIDTH", editor.EditorWidth);
    readInt(list, "H_SPLIT_POS_LEFT", editor.LeftGridWidth);
    readFlag(list, "H_WIN_VISIBLE", editor.EditorVisible);
    readInt(list, "E_WIN_POS_LEFT", editor.DescriptionLeft);
    readInt(list, "E_WIN_POS_TOP", editor.DescriptionTop);
    readInt(list, "E_WIN_POS_HEIGHT", editor.DescriptionHeight);
    readInt(list, "E_WIN_POS_WIDTH", editor.DescriptionWidth);
    readFlag(list, "E_WIN_VISIBLE", editor.DescriptionVisible);

    readText(list, "HE_LWIN_FONT", appearance.LeftFont);
    readText(list, "HE_RWIN_FONT", appearance.RightFont);
    readInt(list, "HE_FONT_SIZE", appearance.FontPixels);
    appearance.FontPixels = std::clamp(appearance.FontPixels, kMinFontPixels, kMaxFontPixels);
    readColour(list, "HE_BG_COLOR", appearance.BackgroundColor);
    readColour(list, "HE_FIX_COLOR", appearance.AddressColor);
    readColour(list, "HE_NOFIX_COLOR", appearance.WorkColor);
    readColour(list, "HE_EDIT_COLOR", appearance.EditedColor);
    readColour(list, "HE_UIN_COLOR", appearance.UnimplementedColor);

    readText(list, "COMM_PORT", portName);
    readInt(list, "COMM_SPEED", baudRate);
    readFlag(list, "SKIP_BLANK_BLOCKS", skipBlankBlocks);
    readText(list, "DEVICE", device);
    readBoot(list, link, boot);
    for (int i = 0; i <= 4; ++i) {
        const std::string v = list.value("LOF" + std::to_string(i));
        if (!v.empty()) recentFiles.push_back(v);
    }
}

NameValueList AppSettings::toList() const {
    NameValueList list;
    put(list, "P_WIN_POS_LEFT", mainWindow.left);
    put(list, "P_WIN_POS_TOP", mainWindow.top);
    put(list, "P_WIN_POS_HEIGHT", mainWindow.height);
    put(list, "P_WIN_POS_WIDTH", mainWindow.width);

    put(list, "DPV_WIN_POS_LEFT", packageView.left);
    put(list, "DPV_WIN_POS_TOP", packageView.top);
    put(list, "DPV_WIN_POS_HEIGHT", packageView.height);
    put(list, "DPV_WIN_POS_WIDTH", packageView.width);
    putFlag(list, "DPV_WIN_VISIBLE", packageView.visible);

    put(list, "H_WIN_POS_LEFT", editor.EditorLeft);
    put(list, "H_WIN_POS_TOP", editor.EditorTop);
    put(list, "H_WIN_POS_HEIGHT", editor.EditorHeight);
    put(list, "H_WIN_POS_WIDTH", editor.EditorWidth);
    putFlag(list, "H_WIN_VISIBLE", editor.EditorVisible);
    put(list, "H_SPLIT_POS_LEFT", editor.LeftGridWidth);
    put(list, "E_WIN_POS_LEFT", editor.DescriptionLeft);
    put(list, "E_WIN_POS_TOP", editor.DescriptionTop);
    put(list, "E_WIN_POS_HEIGHT", editor.DescriptionHeight);
    put(list, "E_WIN_POS_WIDTH", editor.DescriptionWidth);
    putFlag(list, "E_WIN_VISIBLE", editor.DescriptionVisible);

    put(list, "HE_LWIN_FONT", appearance.LeftFont);
    put(list, "HE_RWIN_FONT", appearance.RightFont);
    put(list, "HE_FONT_SIZE", appearance.FontPixels);
    putColour(list, "HE_BG_COLOR", appearance.BackgroundColor);
    putColour(list, "HE_FIX_COLOR", appearance.AddressColor);
    putColour(list, "HE_NOFIX_COLOR", appearance.WorkColor);
    putColour(list, "HE_EDIT_COLOR", appearance.EditedColor);
    putColour(list, "HE_UIN_COLOR", appearance.UnimplementedColor);

    put(list, "COMM_PORT", portName);
    put(list, "COMM_SPEED", baudRate);
    for (std::size_t i = 0; i < recentFiles.size() && i <= 4; ++i)
        if (recentFiles[i] != "0") put(list, ("LOF" + std::to_string(i)).c_str(), recentFiles[i]);
    // Written only when on, so that the file of a user who never chose it stays as it was.
    if (skipBlankBlocks) putFlag(list, "SKIP_BLANK_BLOCKS", true);
    put(list, "DEVICE", device);
    const BootLinkOptions defaults;
    if (link == LinkKind::BootstrapCable || boot.xtalMHz != defaults.xtalMHz ||
        boot.reset != defaults.reset || boot.rate != defaults.rate) {
        put(list, "LINK", link == LinkKind::BootstrapCable ? "BOOTSTRAP" : "PROGRAMMER");
        put(list, "BOOT_XTAL_MHZ", XtalText(boot.xtalMHz));
        put(list, "BOOT_RESET", boot.reset == BootReset::None  ? "HAND"
                                : boot.reset == BootReset::Dtr ? "DTR"
                                                               : "RTS");
        put(list, "BOOT_RATE", boot.rate == BootRate::Fast ? "FAST" : "1200");
    }
    return list;
}

std::string DefaultSettingsPath() { return SettingsFolder() + kFolderSeparator + "jqz6811.ini"; }

}  // namespace jqz
