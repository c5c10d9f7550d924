#pragma once
// Opening and setting up serial devices, for both programs' serial links.
//
// Port numbers map to devices by one rule: port n is /dev/ttyS<n-1> (COM1 is
// /dev/ttyS0). Any other device (a USB adapter, an emulator's pseudo-terminal)
// is named by its path instead.

#include <string>

namespace common {

// Device of a serial port number: /dev/ttyS<n-1>.
std::string SerialDevicePath(int portNumber);

// Puts an open terminal into raw 8N1 mode at baud bit/s, input and output
// speed alike, with reads that return at once (VMIN = VTIME = 0). Speeds
// without a B-constant (14400) are set through termios2. false with
// errorText on failure.
bool ConfigureSerialPort(int fd, int baud, std::string& errorText);

// Why OpenSerialDevice failed.
enum class SerialOpenFailure {
    None,
    Device,    // the device could not be opened: missing, busy, no access
    Settings,  // it opened but refused the line settings
};

// Opens path for this process alone (flock and TIOCEXCL, so another program
// or a second connection cannot open it meanwhile), with blocking writes and
// reads that return at once, sets the line up (ConfigureSerialPort), then
// clears DTR and sets RTS (devices without modem lines, such as
// pseudo-terminals, ignore that). Returns the descriptor, or -1 with the
// reason in errorText (without the path) and the kind of failure in *why;
// nothing stays open after a failure.
int OpenSerialDevice(const std::string& path, int baud, std::string& errorText, SerialOpenFailure* why = nullptr);

// Sets (true) or clears the DTR and RTS lines; false when the device
// refused (a device without modem lines refuses quietly: true).
enum class SerialLine { DTR, RTS };
bool SetSerialLine(int fd, SerialLine line, bool on);

// Releases the device: the exclusive flag (which outlives the descriptor on
// pseudo-terminals, so nobody could open it again), the lock, the descriptor.
void CloseSerialDevice(int fd);

// True for the speeds ConfigureSerialPort can set on real hardware.
bool IsStandardBaudRate(int baud);

}  // namespace common
