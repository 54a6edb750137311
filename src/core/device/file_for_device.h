#pragma once
// Whether a file holds anything for the selected device: programming and verifying take the
// device's EEPROM (and its CONFIG register) from the image, so a file whose bytes land
// nowhere there would program nothing but the blank image. The file is loaded into two
// scratch images, one cleared to 0x00 and one to 0xFF; a cell that ends up equal in both was
// written by the file. The working image is never touched.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/files/image_files.h"

namespace jqz {

class SupportedDeviceList;

struct FileForDevice {
    bool empty = false;              // the file has no bytes at all
    bool intelHexLookAlike = false;  // its first line is an Intel HEX record
    long long lines = 0;             // text formats: the lines that are not blank
    long long cellsWritten = 0;      // image cells the load writes, whatever the device
    long long lowestWritten = -1;    // the first and last of them, -1 when none
    long long highestWritten = -1;
    long long eepromCellsWritten = 0;  // of the device's EEPROM cells
    bool configWritten = false;        // the device's CONFIG register
    bool hasDataRecord = false;        // the format finds a data record (HasDataRecord)
    // What the load found wrong with the file (its faults).
    std::array<FaultTally, kFileFaultKinds> faults{};
    std::optional<FileFault> firstFault = std::nullopt;
};

// Loads the file as `format` under `placement` into scratch images and says what it holds for
// the device. Empty on success, otherwise the message why the file could not be read.
std::string ExamineFileForDevice(const std::string& path, FileFormat format,
                                 const Placement& placement, const SupportedDeviceList& devices,
                                 FileForDevice& out);

// The same for a file already read whole: judges exactly these bytes.
void ExamineBytesForDevice(std::string_view bytes, FileFormat format, const Placement& placement,
                           const SupportedDeviceList& devices, FileForDevice& out);

// Whether a file's first line (after blanks and a byte order mark) is an Intel HEX record:
// ':' and at least ten hexadecimal digits.
bool LooksLikeIntelHex(std::string_view head);

// The rule for programming and verifying: something of the file lands in the EEPROM (when it
// is used) or in the CONFIG register (when it is used).
inline bool HoldsDataForDevice(const FileForDevice& file, bool usesEeprom, bool usesConfig) {
    return (usesEeprom && file.eepromCellsWritten > 0) || (usesConfig && file.configWritten);
}

// A file whose format was not recognised is taken as binary; an Intel HEX file taken so would
// program its text as data. Only a format the user chose makes that the intent.
inline bool IntelHexTakenAsBinary(const FileForDevice& file, FileFormat format,
                                  bool formatChosen) {
    return file.intelHexLookAlike && format == FileFormat::Binary && !formatChosen;
}

}  // namespace jqz
