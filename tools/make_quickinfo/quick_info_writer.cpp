#include "quick_info_writer.h"

#include <cctype>
#include <cstdio>
#include <set>
#include <vector>

#include "core/device/supported_device_list.h"

namespace jqz::tools {

namespace {

// Escapes text for RTF; the texts here are ASCII. A control word written after a quote
// ends with its delimiting space, so callers add a blank of their own where one belongs.
std::string esc(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '{' || c == '}') out += '\\';
        out += c;
    }
    return out;
}

std::string hex4(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04X", v & 0xFFFF);
    return buf;
}

std::string range(int from, int to) { return hex4(from) + "\\endash " + hex4(to); }

std::string bytes(int from, int to) {
    const int n = to - from + 1;
    if (n % 1024 == 0) return std::to_string(n / 1024) + " KB";
    return std::to_string(n) + " bytes";
}

// The part of a device name before the mask set: "MC68HC711 E9 (5C47M)" -> "MC68HC711 E9".
std::string partName(const std::string& name) {
    std::string part = name.substr(0, name.find('('));
    std::string compact;
    for (char c : part)
        if (c != ' ' || (!compact.empty() && compact.back() != ' ')) compact += c;
    while (!compact.empty() && compact.back() == ' ') compact.pop_back();
    return compact;
}

// Visible width of RTF text: a control word or a \'hh counts as one character, a brace as none.
std::size_t visibleLength(const std::string& rtf) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        const char c = rtf[i];
        if (c == '{' || c == '}') continue;
        if (c == '\\' && i + 1 < rtf.size()) {
            ++n;
            if (rtf[i + 1] == '\'') {
                i += 3;
            } else if (std::isalpha(static_cast<unsigned char>(rtf[i + 1]))) {
                while (i + 1 < rtf.size() && std::isalnum(static_cast<unsigned char>(rtf[i + 1]))) ++i;
                if (i + 1 < rtf.size() && rtf[i + 1] == ' ') ++i;  // the delimiter
            } else {
                ++i;
            }
            continue;
        }
        ++n;
    }
    return n;
}

bool endsWithControlWord(const std::string& token) {
    std::size_t i = token.size();
    while (i > 0 && std::isdigit(static_cast<unsigned char>(token[i - 1]))) --i;
    if (i > 0 && token[i - 1] == '-') --i;
    const std::size_t lettersEnd = i;
    while (i > 0 && std::isalpha(static_cast<unsigned char>(token[i - 1]))) --i;
    return i < lettersEnd && i > 0 && token[i - 1] == '\\';
}

// Breaks running text into lines of at most `width` visible characters with \line: the
// quick-info pane does not wrap lines. A control word stays with the word after it.
std::string wrapLines(const std::string& rtf, std::size_t width = 72) {
    std::vector<std::string> words;
    std::string word;
    for (std::size_t i = 0; i <= rtf.size(); ++i) {
        if (i == rtf.size() || rtf[i] == ' ') {
            if (i < rtf.size() && endsWithControlWord(word)) {
                word += ' ';  // its delimiter: the next word belongs to it
                continue;
            }
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += rtf[i];
        }
    }
    std::string out;
    std::size_t line = 0;
    for (const std::string& w : words) {
        const std::size_t len = visibleLength(w);
        if (line > 0 && line + 1 + len > width) {
            out += "\\line ";
            line = 0;
        } else if (line > 0) {
            out += ' ';
            ++line;
        }
        out += w;
        line += len;
    }
    return out;
}

struct Map {
    int eepromStart, eepromEnd, config, rom1Start, rom1End, rom2Start, rom2End, bootStart, bootEnd;
    auto operator<=>(const Map&) const = default;
};

Map mapOf(const DeviceEntry& e) {
    return {e.eepromStart,   e.eepromEnd,   e.configAddress, e.romArea1Start, e.romArea1End,
            e.romArea2Start, e.romArea2End, e.bootRomStart,  e.bootRomEnd};
}

const char* kHeader =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
    "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fmodern\\fprq1\\fcharset0 Courier New;}}"
    "{\\colortbl;\\red0\\green0\\blue128;\\red160\\green0\\blue0;}"
    "{\\info{\\title Quick info}{\\author JQZ 68(7)11 Programmer}}"
    "\\viewkind4\\f0\\fs20\n";

class Doc {
public:
    void heading(const std::string& text) {
        out_ += "\\pard\\sb60\\sa120\\cf1\\b\\fs28 " + esc(text) + "\\b0\\fs20\\cf0\\par\n";
    }
    void section(const std::string& text) {
        out_ += "\\pard\\sb180\\sa60\\cf1\\b\\fs22 " + esc(text) + "\\b0\\fs20\\cf0\\par\n";
    }
    // A row of cells at the given tab stops (twips); the first cell may be fixed-pitch.
    void row(const std::vector<std::string>& cells, const std::vector<int>& tabs,
             bool firstFixed = false, bool bold = false) {
        out_ += "\\pard\\li120";
        for (int t : tabs) out_ += "\\tx" + std::to_string(t);
        out_ += bold ? "\\b " : " ";
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i > 0) out_ += "\\tab ";
            if (i == 0 && firstFixed)
                out_ += "{\\f1 " + esc(cells[i]) + "}";
            else
                out_ += cells[i];  // cells may carry RTF (dashes)
        }
        out_ += bold ? "\\b0\\par\n" : "\\par\n";
    }
    void para(const std::string& rtf) {
        out_ += "\\pard\\sb80\\sa60 " + wrapLines(rtf) + "\\par\n";
    }
    void bullet(const std::string& rtf) {
        out_ += "\\pard\\li360\\fi-240\\sa60\\tx360 \\bullet\\tab " + wrapLines(rtf, 68) +
                "\\par\n";
    }
    std::string text() const { return std::string(kHeader) + out_ + "}\n"; }

private:
    std::string out_;
};

std::string quoted(const std::string& s) { return "\\ldblquote " + esc(s) + "\\rdblquote "; }

std::string document(const std::vector<const DeviceEntry*>& rows) {
    Doc d;
    std::vector<std::string> parts;
    for (const DeviceEntry* e : rows) {
        const std::string p = partName(e->name);
        bool seen = false;
        for (const auto& q : parts) seen |= q == p;
        if (!seen) parts.push_back(p);
    }
    std::string title;
    for (std::size_t i = 0; i < parts.size(); ++i) title += (i ? ", " : "") + parts[i];
    d.heading(title);
    d.para("Quick info for the device" + std::string(rows.size() > 1 ? "s" : "") +
           " below: memory map, packages and what to watch for when programming. "
           "The device data sheet has the full description.");

    d.section("Devices");
    const std::vector<int> deviceTabs = {3400};
    d.row({"Device", "Type code"}, deviceTabs, false, true);
    for (const DeviceEntry* e : rows) d.row({e->name, std::to_string(e->type)}, deviceTabs, true);
    std::set<int> types;
    for (const DeviceEntry* e : rows) types.insert(e->type);
    d.para("The type code is what the programmer receives when the device is selected; "
           "devices with the same code are handled alike by the programmer." +
           std::string(types.size() > 1 ? " The devices here use different codes: choose the "
                                          "entry that matches the mask set printed on the part."
                                        : ""));

    // One memory map per distinct map among the rows.
    std::map<Map, std::vector<const DeviceEntry*>> maps;
    for (const DeviceEntry* e : rows) maps[mapOf(*e)].push_back(e);
    for (const auto& [m, users] : maps) {
        std::string heading = "Memory map";
        if (maps.size() > 1) {
            heading += " of ";
            for (std::size_t i = 0; i < users.size(); ++i)
                heading += (i ? ", " : "") + partName(users[i]->name);
        }
        d.section(heading);
        const std::vector<int> tabs = {2200, 4300};
        d.row({"Area", "Addresses", "Size"}, tabs, false, true);
        d.row({"EEPROM", range(m.eepromStart, m.eepromEnd), bytes(m.eepromStart, m.eepromEnd)},
              tabs);
        d.row({"CONFIG register", hex4(m.config), "1 byte"}, tabs);
        if (m.rom1Start != 0)
            d.row({"EPROM/ROM area 1", range(m.rom1Start, m.rom1End), bytes(m.rom1Start, m.rom1End)},
                  tabs);
        if (m.rom2Start != 0)
            d.row({"EPROM/ROM area 2", range(m.rom2Start, m.rom2End), bytes(m.rom2Start, m.rom2End)},
                  tabs);
        if (m.rom1Start == 0) d.row({"EPROM/ROM", "none"}, tabs);
        d.row({"BOOT ROM", range(m.bootStart, m.bootEnd), bytes(m.bootStart, m.bootEnd)}, tabs);
        d.para("Selecting the device marks exactly these cells as implemented in the hex editor; "
               "all other addresses are shown as unimplemented and are neither programmed nor "
               "read.");
    }

    d.section("Packages");
    std::set<int> pages;
    for (const DeviceEntry* e : rows)
        for (int p = 0; p < 7; ++p)
            if (e->drawings[p] != nullptr) pages.insert(p);
    std::string list;
    for (int p : pages) list += std::string(list.empty() ? "" : ", ") + kPackagePages[p];
    d.para(esc(list) + ". Window \\u8250? Device Package shows the pin-out of each package "
                       "(top view, pin 1 marked).");

    d.section("Programming");
    const DeviceEntry& first = *rows.front();
    const int blocks = (first.eepromEnd - first.eepromStart) / 128 + 1;
    d.bullet("Program Sequence: EEPROM " + range(first.eepromStart, first.eepromEnd) + ", " +
             std::to_string(blocks) +
             " blocks of 128 bytes. Erase sets every byte to 0xFF; Program writes the blocks "
             "from the hex editor; Verify reads them back and compares (after an Erase "
             "without Program it compares with 0xFF).");
    d.bullet("CONFIG register " + hex4(first.configAddress) + ": written before the EEPROM "
             "blocks only when " + quoted("Enable Program of CONFIG Register") +
             " is checked on the Options page and EEPROM Program is selected. Changing it "
             "changes the device configuration: read the device first and change only the bits "
             "you mean to change.");
    bool anyRom = false;
    for (const DeviceEntry* e : rows) anyRom |= e->romArea1Start != 0;
    d.bullet(std::string("Read Sequence: EEPROM with the CONFIG register") +
             (anyRom ? ", EPROM/ROM" : "") + " and BOOT ROM can be read into the hex editor." +
             (anyRom ? " EPROM/ROM is read only; the programmer does not program it."
                     : " The device has no EPROM/ROM, so that choice is not offered."));
    d.bullet("Pin tester: the programmer checks the contacts of DATA0\\endash DATA7, ECLK, ADDR0, "
             "RESET, MODA, MODB, RxD, TxD and EXTAL. A bad contact is logged as " +
             quoted("Pure contact on pin(s) or pin(s) damaged: ") +
             " followed by the pins; check the socket or the in-circuit cable. Other pin "
             "messages name the pin directly, for example " +
             quoted("Error: Reset Pin 'Low'") + " or " +
             quoted("Error: No ECLK Pulse Detected. Check EXTAL Pin connection.") + ".");
    d.bullet("The Options page can ignore pin tester errors in OBP or ICP mode. {\\cf2\\b With a "
             "secured device this can lead to the whole EEPROM being erased.}");
    d.bullet("With the In-Circuit Programming Interface the programmer powers the target off at "
             "the end of each sequence.");
    return d.text();
}

}  // namespace

std::map<std::string, std::string> BuildQuickInfoDocuments() {
    std::map<std::string, std::vector<const DeviceEntry*>> byDocument;
    for (const DeviceEntry& e : DeviceCatalogue()) byDocument[e.quickInfo].push_back(&e);
    std::map<std::string, std::string> docs;
    for (const auto& [name, rows] : byDocument) docs[name] = document(rows);
    return docs;
}

}  // namespace jqz::tools
