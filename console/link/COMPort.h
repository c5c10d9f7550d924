#pragma once
// The console's own serial port: opens a port with fixed framing (8N1, raw,
// DTR cleared, RTS set), sends buffers, assembles one meter frame with its own
// time-outs, reads a modem answer line and hangs a modem up.
//
// Two ports share one base: TComPort, the port of the serial link of
// Ostrilon (Send discards pending input first; modem lines and hang-up), and
// TSerialOnlyComPort, the port of Ostrilon_serial (Send writes as it is; no
// purge, modem line or hang-up).
//
// Read and write failures, and any use of a closed port, raise ComPortError
// with an English text ("COM port not opened", "Error receive: <errno>",
// "Error send: <errno>"); it ends the running operation, which is then shown
// as failed with that text. A failed open raises nothing: OpenPort returns
// false and keeps the reason (OpenError, OpenFailureMessage).

#include <cstdint>
#include <stdexcept>
#include <string>

#include "FrameAssembly.h"

namespace console {

class ComPortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Waits ms milliseconds while the window keeps processing its events.
void Delay(long long ms);

// What both ports do: open and close, lines, reading, frame reception.
class TComPortBase {
public:
    TComPortBase(const TComPortBase&) = delete;
    TComPortBase& operator=(const TComPortBase&) = delete;

    // Port n (1..255) is the device common::SerialDevicePath(n).
    bool OpenPort(std::uint8_t portNumber, int baudRate);
    // Any device: a USB adapter, an emulator's pseudo-terminal.
    bool OpenPort(const std::string& devicePath, int baudRate);
    // Always true.
    bool ClosePort();

    bool IsOpen() const { return handle_ >= 0; }
    int PortHandle() const { return handle_; }
    // Device of the last OpenPort.
    const std::string& DevicePath() const { return device_; }
    // Why the last OpenPort failed (system text), empty after a success.
    const std::string& OpenError() const { return openError_; }
    // True when the last OpenPort failed because the device could not be
    // opened at all (missing, busy, no access), as opposed to refused settings.
    bool DeviceOpenFailed() const { return deviceOpenFailed_; }
    // "Не удалось открыть Ком-порт: <device>\r\n<reason>", the text the
    // window shows for a device that could not be opened.
    std::string OpenFailureMessage() const;

    void SetDTR(bool on);
    void SetRTS(bool on);

    // Reads up to count bytes that are already waiting; 0 when none.
    int ReadBytes(std::uint8_t* buffer, int count);
    // Bytes waiting in the driver's receive queue.
    int InQueue();

    // One complete frame (start byte to check code) into buffer (256 bytes),
    // its length into count; false with count 0 when none arrived in time.
    // The first byte must come within 10 polls, every further byte within
    // 610 polls of the previous one (a poll is timings().consolePollMs, and
    // the window processes its events at least once a poll); a wrong start
    // byte, a wrong check code or an impossible length ends it at once.
    bool ReadFrame(std::uint8_t* buffer, int& count);
    // Why the last ReadFrame returned false.
    ExchangeFault LastFrameFault() const { return frameFault_; }

protected:
    TComPortBase();
    ~TComPortBase();

    void CheckOpen() const;
    // Writes the whole buffer; returns count.
    int Write(const std::uint8_t* buffer, int count);
    void DiscardInput();

private:
    int handle_ = -1;
    std::string device_;
    std::string openError_;
    bool deviceOpenFailed_ = false;
    ExchangeFault frameFault_ = ExchangeFault::None;
};

// The port of the serial link of Ostrilon.
class TComPort : public TComPortBase {
public:
    TComPort() = default;

    // Discards the driver's receive queue.
    void PurgeReceive();
    // Writes the whole buffer after discarding pending input (a request
    // starts with an empty receive queue); returns count.
    int Send(const std::uint8_t* buffer, int count);

    // One modem answer line into buffer (256 bytes): everything drained up to
    // and including a carriage return that is not the line's first byte,
    // followed by a zero byte; count includes the zero. False with count 0
    // after 300 polls without a complete line, or when 255 bytes came without
    // one (the buffer would overflow). The wait is a plain sleep: the window
    // does not process its events meanwhile.
    bool ReadModemLine(std::uint8_t* buffer, int& count);
    // "+++" after a guard time, then "ATH"; true when the modem said OK.
    bool HangUp();

private:
    void SendText(const char* text);
};

// The port of Ostrilon_serial: Send writes without discarding pending input,
// and there is no purge, modem line or hang-up.
class TSerialOnlyComPort : public TComPortBase {
public:
    TSerialOnlyComPort() = default;

    // Writes the whole buffer as it is; returns count.
    int Send(const std::uint8_t* buffer, int count) { return Write(buffer, count); }
};

}  // namespace console
