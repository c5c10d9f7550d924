#pragma once
// The serial link of Ostrilon: a meter (or a modem in data mode) on a serial
// port. Connect opens the port and Disconnect closes it, each followed by
// its event; every request is sent after the receive queue was discarded,
// followed by a pause, and gets two attempts.

#include <cstdint>
#include <string>

#include "COMPort.h"
#include "CounterCommunication.h"

namespace console {

class TRS232Communication : public TCounterCommunication {
public:
    TRS232Communication() = default;
    ~TRS232Communication() override = default;

    // Optional; fired after every Connect with its result.
    ConnectedEvent OnConnected;
    // Optional; fired after every Disconnect. The handler may free the link.
    DisconnectedEvent OnDisconnected;

    bool Connect(std::uint8_t portNumber, int baudRate);
    bool Connect(const std::string& devicePath, int baudRate);
    bool Disconnect();
    // Hangs a modem up (SerialPort.HangUp), then Disconnect.
    bool HangUpAndDisconnect();

    TComPort SerialPort;

    bool ExchangeFrame(std::uint8_t code, int length, std::uint8_t* buffer, bool replyWanted) override;

private:
    bool FireConnected(bool result);
};

}  // namespace console
