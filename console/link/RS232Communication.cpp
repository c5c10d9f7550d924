#include <cstring>

#include "CounterCommunication.h"
#include "common/core/Timings.h"
#include "common/core/Wait.h"

namespace console {

namespace {
constexpr int kAttempts = 2;
}

#ifdef OSTRILON_SERIAL_ONLY

TRS232Communication::TRS232Communication(std::uint8_t portNumber, int baudRate) {
    SerialPort.OpenPort(portNumber, baudRate);
}

TRS232Communication::TRS232Communication(const std::string& devicePath, int baudRate) {
    SerialPort.OpenPort(devicePath, baudRate);
}

TRS232Communication::~TRS232Communication() { SerialPort.ClosePort(); }

#else

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

#endif

bool TRS232Communication::ExchangeFrame(std::uint8_t code, int length, std::uint8_t* buffer, bool replyWanted) {
    std::uint8_t frame[kFrameBufferSize];
    const int frameLength = BuildFrame(code, buffer, length, frame);
    if (frameLength == 0) return false;
    std::uint8_t reply[kFrameBufferSize];
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        SerialPort.Send(frame, frameLength);
#ifdef OSTRILON_SERIAL_ONLY
        // This build waits for a reply to every request and does not pause.
        (void)replyWanted;
#else
        common::SleepMs(common::timings().consoleSendPauseMs);
        if (!replyWanted) return true;
#endif
        int count = 0;
        if (SerialPort.ReadFrame(reply, count)) {
            std::memcpy(buffer, reply, static_cast<std::size_t>(count));
            return true;
        }
    }
    return false;
}

}  // namespace console
