#pragma once
// Serial port helpers shared by both programs' serial links.
//
// Port numbers map to devices by one rule: port n is /dev/ttyS<n-1> (COM1 is
// /dev/ttyS0). Any other device (a USB adapter, an emulator's pseudo-terminal)
// is named by its path instead.

#include <string>

namespace common {

// Device of a serial port number: /dev/ttyS<n-1>.
std::string SerialDevicePath(int portNumber);

// Puts an open terminal into raw 8N1 mode at baud bit/s with reads that
// return at once (VMIN = VTIME = 0). Speeds without a B-constant (14400)
// are set through termios2. false with errorText on failure.
bool ConfigureSerialPort(int fd, int baud, std::string& errorText);

// True for the speeds ConfigureSerialPort can set on real hardware.
bool IsStandardBaudRate(int baud);

}  // namespace common
