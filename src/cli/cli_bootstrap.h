#pragma once
// The bootstrap cable on the command line (--link bootstrap): the device list, and the link
// that program, verify, read and checksum run their sequences over.
#include <memory>

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "core/device/supported_device_list.h"
#include "core/device/target_link.h"
#include "sim/hc11/virtual_hc11_ports.h"

namespace jqz::cli {

// `devices --link bootstrap`: each catalogue row with what the cable does with it.
int ListBootstrapDevices(const SupportedDeviceList& devices);

// The cable's link for the selected device, on --port (the in-process model through `ports`
// for "Virtual HC11 (bootstrap)"). Null, with rc set and the reason logged, for a device the
// cable does not serve, a missing --port, or a secured part without --secured-ok: refused
// before the port is opened.
std::unique_ptr<TargetLink> MakeCableLink(const Options& o, const SupportedDeviceList& devices,
                                          sim::VirtualHc11Ports& ports, CliOutput& out, int& rc);

}  // namespace jqz::cli
