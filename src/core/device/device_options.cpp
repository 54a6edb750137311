#include "core/device/device_options.h"

#include "core/device/supported_device_list.h"

namespace jqz {

OfferedOptions OptionsOffered(const SupportedDeviceList& devices) {
    OfferedOptions o;
    if (devices.deviceType == 0) return o;
    o.EraseEepromOn = o.ProgramEepromOn = o.VerifyEepromOn = o.ReadEepromOn = true;
    o.ReadFlashOn = devices.romArea1Start != 0 || devices.romArea2Start != 0;
    o.ReadRomOn = devices.bootRomStart != 0;
    return o;
}

}  // namespace jqz
