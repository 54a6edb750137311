#pragma once
// Linux only: rates that have no termios speed constant (7812 baud for an HC11's boot ROM),
// set and read with termios2 (TCSETS2 / TCGETS2 with BOTHER). Kept apart from
// posix_serial_port.cpp, since the kernel's termios2 header and the C library's termios.h
// cannot be included together.
namespace jqz {

// Sets both directions of an open terminal to this rate after its other settings have been
// applied; false (errno set) when the system has no termios2 or refuses the rate.
bool SetAnyPosixRate(int fd, int baudRate);
// The output rate the terminal holds; 0 when it cannot be read.
int AnyPosixRate(int fd);

}  // namespace jqz
