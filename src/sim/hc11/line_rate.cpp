// Kept apart from <termios.h>: the kernel's termios2 and the C library's termios clash.
#include "sim/hc11/line_rate.h"

#include <sys/ioctl.h>

#if defined(__linux__)
#include <asm/termbits.h>
#endif

namespace jqz::sim::hc11 {

int terminalOutputRate(int fd) {
#if defined(__linux__) && defined(TCGETS2)
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0) return 0;
    return static_cast<int>(tio.c_ospeed);
#else
    (void)fd;
    return 0;
#endif
}

}  // namespace jqz::sim::hc11
