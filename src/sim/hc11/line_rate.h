#pragma once
// The rate a terminal's output is set to, as any integer (termios2 on Linux), so that rates
// such as 7812 baud read back as set. 0 when it cannot be read.
namespace jqz::sim::hc11 {

int terminalOutputRate(int fd);

}  // namespace jqz::sim::hc11
