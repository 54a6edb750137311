#include "pin_tables.h"

#include <set>

namespace jqz::tools {

namespace {

std::vector<std::string> numbered(const std::string& prefix, int first, int last,
                                  const std::string& suffix = "", int suffixFirst = -1) {
    std::vector<std::string> out;
    const int step = first <= last ? 1 : -1;
    int s = suffixFirst;
    for (int i = first;; i += step) {
        std::string name = prefix + std::to_string(i);
        if (!suffix.empty()) {
            name += suffix + std::to_string(s);
            s += step;
        }
        out.push_back(name);
        if (i == last) break;
    }
    return out;
}

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

// E series (MC68HC11E9, MC68HC711E9, MC68HC11E20, MC68HC711E20), 52-pin PLCC.
// Source: Motorola M68HC11E Family Data Sheet (M68HC11E/D), pin assignments of the 52-pin
// PLCC. Checked against KiCad's symbol library MCU_NXP_HC11 (KiCad/kicad-symbols,
// MC68HC11A8CC: the A8 and the E series share this pin-out, every pin number carries the same
// port bit or supply) and against a published design note for an MC68HC11E1 in this package.
const PinTable& ESeriesPlcc52() {
    static const PinTable t{
        "E_PLCC52",
        52,
        join({{"VSS", "MODB/VSTBY", "MODA/LIR", "STRA/AS", "E", "STRB/R/W", "EXTAL", "XTAL"},
              {"PC0/ADDR0/DATA0", "PC1/ADDR1/DATA1", "PC2/ADDR2/DATA2", "PC3/ADDR3/DATA3",
               "PC4/ADDR4/DATA4", "PC5/ADDR5/DATA5", "PC6/ADDR6/DATA6", "PC7/ADDR7/DATA7"},
              {"RESET", "XIRQ/VPPE", "IRQ", "PD0/RxD", "PD1/TxD", "PD2/MISO", "PD3/MOSI",
               "PD4/SCK", "PD5/SS", "VDD"},
              {"PA7/PAI/OC1", "PA6/OC2/OC1", "PA5/OC3/OC1", "PA4/OC4/OC1", "PA3/OC5/IC4/OC1",
               "PA2/IC1", "PA1/IC2", "PA0/IC3"},
              {"PB7/ADDR15", "PB6/ADDR14", "PB5/ADDR13", "PB4/ADDR12", "PB3/ADDR11",
               "PB2/ADDR10", "PB1/ADDR9", "PB0/ADDR8"},
              {"PE0/AN0", "PE4/AN4", "PE1/AN1", "PE5/AN5", "PE2/AN2", "PE6/AN6", "PE3/AN3",
               "PE7/AN7", "VRL", "VRH"}}),
        "Pin names after the M68HC11E Family Data Sheet, 52-pin PLCC",
        "VPPE (EPROM programming voltage) on MC68HC711 parts only",
    };
    return t;
}

// MC68HC11A8, 52-pin PLCC.
// Source: KiCad's symbol library MCU_NXP_HC11 (KiCad/kicad-symbols, file MCU_NXP_HC11.lib,
// symbol MC68HC11A8CC), taken pin by pin; the symbol's abbreviations "MIS" and "MOS" are
// written out as MISO and MOSI, and its active-low marks are left out.
const PinTable& A8Plcc52() {
    static const PinTable t{
        "A8_PLCC52",
        52,
        join({{"VSS", "MODB", "MODA", "AS", "E", "R/W", "EXTAL", "XTAL"},
              numbered("AD", 0, 7, "/PC", 0),
              {"RESET", "XIRQ", "IRQ", "RXD/PD0", "TXD/PD1", "MISO/PD2", "MOSI/PD3", "SCK/PD4",
               "SS/PD5", "VDD"},
              numbered("PA", 7, 0),
              numbered("A", 15, 8, "/PB", 7),
              {"PE0", "PE4", "PE1", "PE5", "PE2", "PE6", "PE3", "PE7", "VRL", "VRH"}}),
        "Pin names after KiCad's MCU_NXP_HC11 library, symbol MC68HC11A8CC",
        "",
    };
    return t;
}

// MC68HC11A8, 48-pin DIP.
// Source: KiCad's symbol library MCU_NXP_HC11 (KiCad/kicad-symbols, file MCU_NXP_HC11.lib,
// symbol 68HC11, alias 68HC11A8), taken pin by pin; its GND and VCC are written as the data
// sheet's VSS and VDD, its active-low mark "SS-" as SS.
const PinTable& A8Dip48() {
    static const PinTable t{
        "A8_DIP48",
        48,
        join({{"PAI/PA7", "OC2/PA6", "OC3/PA5", "OC4/PA4", "OC5/PA3", "IC1/PA2", "IC2/PA1",
               "IC3/PA0"},
              {"A15/PB7", "PB6", "PB5", "PB4", "PB3", "PB2", "PB1", "A8/PB0"},
              {"PE0", "PE1", "PE2", "PE3", "VRL", "VRH", "VSS", "MODB", "MODA", "AS", "E", "R/W",
               "EXTAL", "XTAL"},
              {"AD0/PC0", "PC1", "PC2", "PC3", "PC4", "PC5", "PC6", "AD7/PC7"},
              {"RESET", "XIRQ", "IRQ", "PD0/RX", "PD1/TX", "PD2/MISO", "PD3/MOSI", "PD4/SCLK",
               "PD5/SS", "VDD"}}),
        "Pin names after KiCad's MCU_NXP_HC11 library, symbol 68HC11 (68HC11A8)",
        "",
    };
    return t;
}

// MC68HC11F1, 68-pin PLCC.
// Source: KiCad's symbol library MCU_NXP_HC11 (KiCad/kicad-symbols, file MCU_NXP_HC11.lib,
// symbol MC68HC11F1CC), taken pin by pin; the library's second F1 symbol (68HC11F1) gives the
// same numbers for every pin. Active-low marks left out.
const PinTable& F1Plcc68() {
    static const PinTable t{
        "F1_PLCC68",
        68,
        join({{"VSS", "MODB", "MODA", "E", "R/W", "EXTAL", "XTAL", "4XOUT"},
              numbered("D", 0, 7, "/PC", 0),
              {"RESET", "XIRQ", "IRQ", "CSPROG/PG7", "CSGEN/PG6", "CSIO1/PG5", "CSIO2/PG4", "PG3",
               "PG2", "PG1", "PG0"},
              {"RXD/PD0", "TXD/PD1", "MISO/PD2", "MOSI/PD3", "SCK/PD4", "SS/PD5", "VDD"},
              numbered("PA", 7, 0),
              numbered("A", 15, 8, "/PB", 7),
              numbered("A", 7, 0, "/PF", 7),
              {"PE0", "PE4", "PE1", "PE5", "PE2", "PE6", "PE3", "PE7", "VRL", "VRH"}}),
        "Pin names after KiCad's MCU_NXP_HC11 library, symbol MC68HC11F1CC",
        "",
    };
    return t;
}

const std::vector<const PinTable*>& AllPinTables() {
    static const std::vector<const PinTable*> all = {&ESeriesPlcc52(), &A8Plcc52(), &A8Dip48(),
                                                     &F1Plcc68()};
    return all;
}

std::string CheckPinTable(const PinTable& t) {
    const std::string id = t.id;
    if (static_cast<int>(t.names.size()) != t.pinCount)
        return id + ": " + std::to_string(t.names.size()) + " names for " +
               std::to_string(t.pinCount) + " pins";
    std::set<std::string> seen;
    for (std::size_t i = 0; i < t.names.size(); ++i) {
        const std::string& n = t.names[i];
        if (n.empty()) return id + ": pin " + std::to_string(i + 1) + " has no name";
        if (!seen.insert(n).second) return id + ": name " + n + " given twice";
    }
    for (const char* required : {"VSS", "VDD", "RESET", "EXTAL", "XTAL"}) {
        bool found = false;
        for (const auto& n : t.names)
            if (n == required || n.rfind(std::string(required) + "/", 0) == 0) found = true;
        if (!found) return id + ": no " + required + " pin";
    }
    if (t.source == nullptr || *t.source == '\0') return id + ": no source named";
    return {};
}

}  // namespace jqz::tools
