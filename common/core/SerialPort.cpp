#include "SerialPort.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

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
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | CBAUD | CIBAUD);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    // The output speed in CBAUD, the input speed in CIBAUD: both are set,
    // so a driver that honours split speeds receives at the same rate.
    unsigned sp = StandardSpeed(baud);
    if (sp == 0) sp = BOTHER;
    t.c_cflag |= sp | (sp << IBSHIFT);
    t.c_ispeed = t.c_ospeed = static_cast<speed_t>(baud);
    if (::ioctl(fd, TCSETS2, &t) != 0) {
        errorText = "не удалось установить скорость " + std::to_string(baud) + " бит/с: " + std::strerror(errno);
        return false;
    }
    return true;
}

int OpenSerialDevice(const std::string& path, int baud, std::string& errorText, SerialOpenFailure* why) {
    auto fail = [&](SerialOpenFailure kind, std::string text) {
        errorText = std::move(text);
        if (why) *why = kind;
        return -1;
    };
    if (why) *why = SerialOpenFailure::None;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(SerialOpenFailure::Device, std::strerror(errno));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return fail(SerialOpenFailure::Device, "порт занят другой программой");
    }
    // TIOCEXCL keeps out programs that do not take the lock.
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        const int e = errno;
        ::flock(fd, LOCK_UN);
        ::close(fd);
        return fail(SerialOpenFailure::Device, std::strerror(e));
    }
    // Writes block until the driver took the bytes; reads return at once
    // (VMIN = VTIME = 0) and the receivers wait with poll().
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::string error;
    const bool configured = ConfigureSerialPort(fd, baud, error);
    // DTR cleared, RTS set, whether or not the line settings were taken.
    SetSerialLine(fd, SerialLine::DTR, false);
    SetSerialLine(fd, SerialLine::RTS, true);
    if (!configured) {
        CloseSerialDevice(fd);
        return fail(SerialOpenFailure::Settings, error);
    }
    return fd;
}

bool SetSerialLine(int fd, SerialLine line, bool on) {
    int bits = line == SerialLine::DTR ? TIOCM_DTR : TIOCM_RTS;
    if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0) return true;
    return errno == ENOTTY || errno == EINVAL;  // no modem lines (a pseudo-terminal)
}

void CloseSerialDevice(int fd) {
    if (fd < 0) return;
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

}  // namespace common
