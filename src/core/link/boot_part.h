#pragma once
// What the bootstrap cable needs to know of a part, its crystal and its wiring: the boot
// ROM's download (its length, its end), the rates, the programming delay.
#include <cstdint>
#include <optional>
#include <string>

namespace jqz {

// The crystals the cable takes, in MHz.
inline constexpr double kMinXtalMHz = 1.0;
inline constexpr double kMaxXtalMHz = 16.0;

enum class BootReset { None, Dtr, Rts };
enum class BootRate { Fast, Slow1200 };

struct BootPart {
    std::string family;            // "A8", "E9", "E20", "L6"
    int ramBytes = 256;            // the boot ROM loads at most this many bytes
    bool fixedLengthDownload = false;  // the A8 takes exactly ramBytes; others end on idle
    bool hasBprot = true;          // the E family's block protection register
    int eepromStart = 0xB600, eepromEnd = 0xB7FF;
    bool secured = false;          // the catalogue's secured part: bootstrap erases its EEPROM
    bool eprom = false;            // an MC68HC711: its EPROM needs the programmer's 12 V
};

// The part a catalogue row stands for over the cable; none (with the reason) for the rows the
// cable does not serve yet.
std::optional<BootPart> BootPartOfDevice(const std::string& deviceName, std::string* whyNot);

struct BootLinkOptions {
    double xtalMHz = 8.0;
    BootReset reset = BootReset::None;
    BootRate rate = BootRate::Fast;
    // With the reset by hand: how long to wait for the break the boot ROM sends as the user
    // resets the board, before sending the sync anyway (the board may have been reset
    // already).
    int breakWaitMs = 0;
};

// The boot ROM's rate for the crystal: E/256 (7812 at 8 MHz) or E/1664 (1200 at 8 MHz); a
// standard rate within 1 % is used as it is.
int BootBaudRate(double xtalMHz, BootRate rate);

// What the cable does with a part it serves, in a line: "EEPROM and CONFIG: read, program,
// verify; ROM and boot ROM: read", with the EPROM's and a secured part's notes (no option of
// a program's own).
std::string CableAbilitiesText(const BootPart& part);

// A crystal's frequency in MHz as the messages write it: "8", "4.9152".
std::string XtalText(double xtalMHz);

// CONFIG's bits of the A, E and L families.
inline constexpr std::uint8_t kConfigNosec = 0x08;  // 0 (programmed): the part is secured
inline constexpr std::uint8_t kConfigNocop = 0x04;
inline constexpr std::uint8_t kConfigRomon = 0x02;
inline constexpr std::uint8_t kConfigEeon = 0x01;  // 0: the EEPROM is out of the memory map
// "CONFIG 0x0F: NOSEC 1 (not secured), NOCOP 1, ROMON 1, EEON 1 (EEPROM on)"
std::string ConfigText(std::uint8_t config);
// The wait before the E family's boot ROM ends the download on an idle line (four character
// times) and the time of one character, in microseconds.
long long CharacterMicroseconds(int baudRate);
// Iterations of the talker's 7-cycle delay loop for one programming pulse: 10 ms at an E
// clock of 2 MHz and more, 20 ms below; 2 % over for the crystal's tolerance.
std::uint16_t TalkerDelayCount(double xtalMHz);

}  // namespace jqz
