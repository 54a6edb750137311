#include "core/device/device_image_reset.h"

#include "core/device/supported_device_list.h"

namespace jqz {

void ResetImageForDevice(HexEditModel& model, const SupportedDeviceList& devices,
                         const std::function<void(int)>& showAddressAtTop) {
    MemoryImage& image = model.image;
    model.description.clear();
    image.BeginBulk();
    const bool device = devices.deviceType != 0;
    model.mapDevice = device ? devices.selectedDevice() : std::string();
    for (int a = 0; a <= MemoryImage::LastAddress(); ++a) {
        image.SetUnimplemented(a, false);
        image.WriteData(a, 0xFF);
        if (device) image.SetUnimplemented(a, true);
    }
    if (!device) {
        image.EndBulk();
        return;
    }
    auto implement = [&image](int from, int to) {
        for (int a = from; a <= to; ++a) image.SetUnimplemented(a, false);
    };
    image.SetUnimplemented(devices.configAddress, false);
    implement(devices.eepromStart, devices.eepromEnd);
    if (devices.romArea1Start != 0) implement(devices.romArea1Start, devices.romArea1End);
    if (devices.romArea2Start != 0) implement(devices.romArea2Start, devices.romArea2End);
    if (devices.bootRomStart != 0) implement(devices.bootRomStart, devices.bootRomEnd);
    if (showAddressAtTop) showAddressAtTop(devices.eepromStart);
    image.EndBulk();
}

}  // namespace jqz
