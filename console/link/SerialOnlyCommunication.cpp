#include "SerialOnlyCommunication.h"

#include "SerialExchange.h"

namespace console {

TSerialOnlyCommunication::TSerialOnlyCommunication(std::uint8_t portNumber, int baudRate) {
    SerialPort.OpenPort(portNumber, baudRate);
}

TSerialOnlyCommunication::TSerialOnlyCommunication(const std::string& devicePath, int baudRate) {
    SerialPort.OpenPort(devicePath, baudRate);
}

TSerialOnlyCommunication::~TSerialOnlyCommunication() { SerialPort.ClosePort(); }

bool TSerialOnlyCommunication::ExchangeFrame(std::uint8_t code, int length, std::uint8_t* buffer, bool replyWanted) {
    // This program waits for a reply to every request and does not pause.
    static constexpr serial_exchange::Rules kRules{.pauseAfterSend = false, .replyAlwaysAwaited = true};
    return serial_exchange::Exchange(SerialPort, kRules, LastExchangeFault, code, length, buffer, replyWanted);
}

}  // namespace console
