#ifndef _WIN32

#include "core/link/posix_any_rate.h"

#include <cerrno>

#ifdef __linux__
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace jqz {

#ifdef __linux__

bool SetAnyPosixRate(int fd, int baudRate) {
    if (baudRate <= 0) {
        errno = EINVAL;
        return false;
    }
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(baudRate);
    tio.c_ospeed = static_cast<speed_t>(baudRate);
    return ::ioctl(fd, TCSETS2, &tio) == 0;
}

int AnyPosixRate(int fd) {
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0) return 0;
    return static_cast<int>(tio.c_ospeed);
}

#else

bool SetAnyPosixRate(int, int) {
    errno = EINVAL;
    return false;
}

int AnyPosixRate(int) { return 0; }

#endif

}  // namespace jqz

#endif
