#pragma once
// What a change of device does to the image: every byte 0xFF, and only the cells that exist
// on the device implemented (every cell when there is no device).
#include <functional>

#include "core/image/hex_edit_model.h"

namespace jqz {

class SupportedDeviceList;

// Runs the image's part of a device change, bulk mode included. When a device is selected,
// showAddressAtTop is called with the start of its EEPROM before the bulk mode ends.
void ResetImageForDevice(HexEditModel& model, const SupportedDeviceList& devices,
                         const std::function<void(int)>& showAddressAtTop = {});

}  // namespace jqz
