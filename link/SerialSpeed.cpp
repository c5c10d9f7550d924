// Arbitrary line speeds (14400 has no Bxxx constant) need the termios2
// interface, whose header cannot be mixed with <termios.h>; hence this file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace links::detail {

bool SetCustomSpeed(int fd, int baud) {
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0) return false;
    t.c_cflag &= ~CBAUD;
    t.c_cflag |= BOTHER;
    t.c_ispeed = static_cast<speed_t>(baud);
    t.c_ospeed = static_cast<speed_t>(baud);
    return ::ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace links::detail
