#include "link/CustomBaud.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace quenda {

bool SetCustomBaud(int fd, unsigned baud) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ospeed = baud;
    tio.c_ispeed = baud;
    return ioctl(fd, TCSETS2, &tio) == 0;
}

long CurrentBaud(int fd) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return -1;
    return static_cast<long>(tio.c_ospeed);
}

}  // namespace quenda
