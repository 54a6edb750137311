#pragma once
// Keeps the machine's real serial ports out of window tests: every system port is missing.
#include <cerrno>

#include "core/link/serial_port.h"

inline jqz::OpenedPort NoSystemPorts(const std::string&) { return {nullptr, ENOENT}; }
