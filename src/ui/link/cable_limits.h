#pragma once
// What the link in use cannot do, shown on the main window's controls: an option button the
// link cannot do for the selected device is disabled with the link's reason as its tool tip
// (the bootstrap cable's "EPROM programming needs the programmer's 12 V supply"), as are the
// programmer's own check boxes with the cable.
#include <string>

#include "core/device/device_linking.h"
#include "core/device/target_link.h"

class QWidget;

namespace jqz {

class SupportedDeviceList;

// Whether the option button may be enabled for the selected device on the link (null: the
// programmer, which does everything the catalogue offers).
bool LinkAllows(const TargetLink* link, const SupportedDeviceList& devices, OptionButton button);

// Applies the link's limits to the window's option buttons and check boxes: with a limit,
// disabled and released with the reason as the tool tip; without, the control's own tool tip
// back, and enabled where the catalogue offers it for the device.
void ShowLinkLimits(QWidget* window, const TargetLink* link, const SupportedDeviceList& devices);

// Why the link does not serve the catalogue's row; empty when it does.
std::string LinkRefusesDevice(const TargetLink& link, const std::string& deviceName);

}  // namespace jqz
