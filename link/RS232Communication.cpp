#include "RS232Communication.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/core/SerialPort.h"
#include "common/core/Timings.h"

namespace links {

namespace {
constexpr char kNoCarrier[] = "NO CARRIER";
constexpr int kNoCarrierLength = 10;
}  // namespace

TRS232_Communication::~TRS232_Communication() { Close(); }

bool TRS232_Communication::Open() {
    lastError_.clear();
    const std::string path = Device();
    std::string error;
    const int fd = common::OpenSerialDevice(path, BaudRate, error);
    if (fd < 0) {
        lastError_ = path + ": " + error;
        return false;
    }
    Handle = fd;
    Opened = true;

    Connected = true;
    bool result = true;
    if (!PhoneNumber.empty()) {
        ExtraTimeout += 20000;
        const auto& t = common::timings();
        common::SleepMs(t.modemSettleMs);
        PurgeInput();
        // Hang up a call an earlier connection may have left open.
        if (ModemCommand(*this, "+++", "OK", t.modemCommandMs)) {
            ModemCommand(*this, "ATH\r\n", "OK", t.modemCommandMs);
            common::SleepMs(t.modemAfterHangupMs);
        }
        // Without an answer to AT or ATE0 the call is abandoned here; Connected
        // stays true so that Close still sends the hang-up sequence.
        if (!ModemCommand(*this, "AT\r\n", "OK", t.modemCommandMs)) {
            lastError_ = "модем не ответил на AT";
            return false;
        }
        if (!ModemCommand(*this, "ATE0\r\n", "OK", t.modemCommandMs)) {
            lastError_ = "модем не ответил на ATE0";
            return false;
        }
        result = ModemCommand(*this, "ATD" + PhoneNumber + "\r\n", "CONNECT", t.modemConnectMs);
        if (!result) lastError_ = "нет соединения с номером " + PhoneNumber;
    }
    Connected = result;
    WatchCount = 0;
    WatchArmed = true;
    return result;
}

bool TRS232_Communication::Close() {
    if (Connected && !PhoneNumber.empty()) {
        const auto& t = common::timings();
        common::SleepMs(t.modemCloseGuardMs);
        ModemCommand(*this, "+++", "OK", t.modemCommandMs);
        ModemCommand(*this, "ATH\r\n", "OK", t.modemCommandMs);
    }
    if (Opened && Handle >= 0) {
        common::SetSerialLine(Handle, common::SerialLine::DTR, false);
        common::SetSerialLine(Handle, common::SerialLine::RTS, false);
        common::CloseSerialDevice(Handle);
    }
    Handle = -1;
    Connected = false;
    Opened = false;
    return true;
}

bool TRS232_Communication::Write(const std::uint8_t* data, int count) {
    if (Handle < 0) return false;
    PurgeInput();  // every request starts with an empty receive buffer
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(Handle, data + done, static_cast<std::size_t>(count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<int>(n);
    }
    return true;
}

void TRS232_Communication::Watch(std::uint8_t b) {
    if (WatchCount >= kNoCarrierLength) {
        Connected = false;  // fires on the read after the tenth matching byte
    } else if (b == static_cast<std::uint8_t>(kNoCarrier[WatchCount])) {
        ++WatchCount;
    } else {
        // A mismatch may itself start the pattern ("NNO CARRIER").
        WatchCount = b == static_cast<std::uint8_t>(kNoCarrier[0]) ? 1 : 0;
    }
}

bool TRS232_Communication::Read(std::uint8_t* buffer, int& count) {
    if (Handle < 0) return false;
    ssize_t n;
    do {
        n = ::read(Handle, buffer, static_cast<std::size_t>(count));
    } while (n < 0 && errno == EINTR);
    if (n < 0) return false;
    if (WatchArmed && n > 0) Watch(buffer[0]);
    return n == count;
}

std::int32_t TRS232_Communication::InQueue() {
    if (Handle < 0) return 0;
    int n = 0;
    if (::ioctl(Handle, FIONREAD, &n) != 0) return 0;
    return n;
}

void TRS232_Communication::PurgeInput() {
    if (Handle >= 0) ::tcflush(Handle, TCIFLUSH);
}

long long TRS232_Communication::LineTimeMs(int count) const {
    if (BaudRate <= 0 || count <= 0) return 0;
    return (10000LL * count + BaudRate - 1) / BaudRate;
}

void TRS232_Communication::WaitReadable(common::Clock::time_point deadline) {
    if (Handle < 0) {
        TCommunication::WaitReadable(deadline);
        return;
    }
    common::WaitReadable(Handle, deadline);
}

}  // namespace links
