#include "RS232Communication.h"

#include "SerialExchange.h"

namespace console {

bool TRS232Communication::FireConnected(bool result) {
    bool connected = result;
    if (OnConnected) OnConnected(*this, connected);
    return result;
}

bool TRS232Communication::Connect(std::uint8_t portNumber, int baudRate) {
    return FireConnected(SerialPort.OpenPort(portNumber, baudRate));
}

bool TRS232Communication::Connect(const std::string& devicePath, int baudRate) {
    return FireConnected(SerialPort.OpenPort(devicePath, baudRate));
}

bool TRS232Communication::Disconnect() {
    SerialPort.ClosePort();
    // The handler may free this link: nothing of it is touched afterwards.
    if (auto handler = OnDisconnected) handler(*this);
    return true;
}

bool TRS232Communication::HangUpAndDisconnect() {
    SerialPort.HangUp();
    return Disconnect();
}

bool TRS232Communication::ExchangeFrame(std::uint8_t code, int length, std::uint8_t* buffer, bool replyWanted) {
    static constexpr serial_exchange::Rules kRules{.pauseAfterSend = true, .replyAlwaysAwaited = false};
    return serial_exchange::Exchange(SerialPort, kRules, LastExchangeFault, code, length, buffer, replyWanted);
}

}  // namespace console
