#include "SerialPort.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

// termios2 (needed for speeds such as 14400) cannot be mixed with <termios.h>,
// so this file configures the line through the ioctls alone.

namespace common {

namespace {
unsigned StandardSpeed(int baud) {
    switch (baud) {
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return 0;
    }
}
}  // namespace

std::string SerialDevicePath(int portNumber) { return "/dev/ttyS" + std::to_string(portNumber - 1); }

bool IsStandardBaudRate(int baud) { return StandardSpeed(baud) != 0 || baud == 14400; }

bool ConfigureSerialPort(int fd, int baud, std::string& errorText) {
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0) {
        errorText = std::string("не удалось прочитать настройки порта: ") + std::strerror(errno);
        return false;
    }
    if (baud <= 0) {
        errorText = "недопустимая скорость " + std::to_string(baud) + " бит/с";
        return false;
    }
    // Raw: no line editing, no translation, no flow control; 8 data bits, no parity, 1 stop bit.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | CBAUD);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const unsigned sp = StandardSpeed(baud);
    if (sp != 0) {
        t.c_cflag |= sp;
        t.c_ispeed = t.c_ospeed = static_cast<speed_t>(baud);
    } else {
        t.c_cflag |= BOTHER;
        t.c_ispeed = t.c_ospeed = static_cast<speed_t>(baud);
    }
    if (::ioctl(fd, TCSETS2, &t) != 0) {
        errorText = "не удалось установить скорость " + std::to_string(baud) + " бит/с: " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace common
