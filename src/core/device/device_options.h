#pragma once
// Which sequence steps a device offers: the option buttons a device change enables.
#include <atomic>

namespace jqz {

class SupportedDeviceList;

struct OfferedOptions {
    bool EraseEepromOn = false, ProgramEepromOn = false, VerifyEepromOn = false;
    bool ReadEepromOn = false, ReadFlashOn = false, ReadRomOn = false;
    friend bool operator==(const OfferedOptions&, const OfferedOptions&) = default;
};

// EPROM erase, program and verify are never offered; EEPROM steps for every device, the
// EPROM/ROM read where the device has a ROM area, the BOOT ROM read where it has one.
OfferedOptions OptionsOffered(const SupportedDeviceList& devices);

// The down states of the option buttons and the option check boxes, as the sequences read
// them from their worker threads while the user may still change them.
struct SequenceOptions {
    std::atomic<bool> EraseEepromOn{false}, EraseFlashOn{false};
    std::atomic<bool> ProgramEepromOn{false}, ProgramFlashOn{false};
    std::atomic<bool> VerifyEepromOn{false}, VerifyFlashOn{false};
    std::atomic<bool> ReadEepromOn{false}, ReadFlashOn{false}, ReadRomOn{false};
    std::atomic<bool> PTErrorsOBP{false}, PTErrorsICP{false}, ConfProgEnable{false};
    // After an erase in the same run, a block whose image bytes are all 0xFF is not written.
    std::atomic<bool> SkipBlankBlocks{false};
};

}  // namespace jqz
