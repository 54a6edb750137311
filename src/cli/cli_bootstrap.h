#pragma once
// program, verify and read over the bootstrap cable (--link bootstrap).
#include <atomic>
#include <optional>
#include <string>

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_production.h"
#include "core/device/supported_device_list.h"
#include "core/image/hex_edit_model.h"
#include "core/link/serial_port.h"

namespace jqz::cli {

// `devices --link bootstrap`: each catalogue row with what the cable does with it.
int ListBootstrapDevices(const SupportedDeviceList& devices);

// The command over the cable, on an image prepared for the device (and loaded from FILE for
// program and verify); program runs as a series when production is given. Returns the exit
// code.
int RunBootstrap(const Options& o, const SupportedDeviceList& devices, HexEditModel& model,
                 CliOutput& out, const std::atomic<bool>& stop, Production* production = nullptr);

// Defined with the other commands: saves the image as read saves it.
int SaveFrom(const Options& o, const std::optional<std::string>& format, const std::string& path,
             HexEditModel& model, CliOutput& out);

}  // namespace jqz::cli
