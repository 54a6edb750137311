#pragma once
// The built-in catalogue of the 31 supported microcontrollers, the selected device and its
// type code and memory map.
#include <cstdint>
#include <string>
#include <vector>

namespace jqz {

// One catalogue row. Addresses are inclusive; an absent ROM area has start and end 0.
struct DeviceEntry {
    const char* name;
    std::uint8_t type;
    int eepromStart, eepromEnd;
    int configAddress;
    int romArea1Start, romArea1End;
    int romArea2Start, romArea2End;
    int bootRomStart, bootRomEnd;
    const char* quickInfo;
    // Drawing file per package page, in page order PLCC 52, PLCC 68, PLCC84, QFP 64,
    // TQFP 80, SDIP 56, DIP 48; nullptr where the device has none.
    const char* drawings[7];
};

// The names sorted without regard to case, as the views show them.
std::vector<std::string> SortedIgnoringCase(std::vector<std::string> names);

// The catalogue in list order.
const std::vector<DeviceEntry>& DeviceCatalogue();

// The package pages in the order of the package drawing list (entries 1..7).
inline constexpr const char* kPackagePages[7] = {"PLCC 52", "PLCC 68", "PLCC84", "QFP 64",
                                                 "TQFP 80", "SDIP 56", "DIP 48"};

inline constexpr const char* kDemoMode = "Demo Mode";

class SupportedDeviceList {
public:
    // programFolder: the folder of the program file; "dhelp" is looked for inside it.
    explicit SupportedDeviceList(std::string programFolder);

    std::vector<std::string> deviceNames() const;
    void selectDevice(const std::string& name);
    std::string selectedDevice() const { return selectedName; }
    // Eight entries: the dhelp folder (ending with the separator, or empty when there is
    // nothing to show) and the seven drawing names by page.
    std::vector<std::string> packageDrawings() const;
    std::string quickInfoFile(const std::string& name) const;
    std::string dhelpFolder() const;

    std::string selectedName = kDemoMode;
    std::uint8_t deviceType = 0;
    int eepromStart = 0, eepromEnd = 0;
    int configAddress = 0;
    int romArea1Start = 0, romArea2Start = 0;
    int romArea1End = 0, romArea2End = 0;
    int bootRomStart = 0, bootRomEnd = 0;

private:
    static const DeviceEntry* find(const std::string& name);
    std::string programFolder_;
};

}  // namespace jqz
