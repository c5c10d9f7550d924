#pragma once
// The serial link of Ostrilon_serial, which opens the port for each session:
// the constructor opens it, the destructor closes it. It has no Connect,
// Disconnect or events; every request waits for a reply (also the end of a
// session, whose result stays true), without a pause after sending and
// without discarding pending input first, and gets two attempts.

#include <cstdint>
#include <string>

#include "COMPort.h"
#include "CounterCommunication.h"

namespace console {

class TSerialOnlyCommunication : public TCounterCommunication {
public:
    // Opens the port at once; whether that worked is for the caller to ask
    // (SerialPort.IsOpen(), SerialPort.OpenFailureMessage()). Requests on a
    // port that did not open raise "COM port not opened".
    TSerialOnlyCommunication(std::uint8_t portNumber, int baudRate);
    TSerialOnlyCommunication(const std::string& devicePath, int baudRate);
    ~TSerialOnlyCommunication() override;

    TSerialOnlyComPort SerialPort;

    bool ExchangeFrame(std::uint8_t code, int length, std::uint8_t* buffer, bool replyWanted) override;
};

}  // namespace console
