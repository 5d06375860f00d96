// The kernel's own termios2 structure clashes with the C library's <termios.h>, so this file
// must never include it (nor any header that does).
#include "link/termios2_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>
#include <cerrno>

namespace veltrona {

int SetCustomBaudrate(int fd, int baudrate) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) return errno;
    tio.c_cflag &= ~CBAUD;
    tio.c_cflag |= BOTHER;
    tio.c_cflag &= ~(CBAUD << IBSHIFT);  // the input rate follows the output rate
    tio.c_ospeed = static_cast<speed_t>(baudrate);
    tio.c_ispeed = static_cast<speed_t>(baudrate);
    if (ioctl(fd, TCSETS2, &tio) != 0) return errno;
    return 0;
}

}  // namespace veltrona
