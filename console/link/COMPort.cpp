#include "COMPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <thread>

#include "FrameAssembly.h"
#include "common/core/SerialPort.h"
#include "common/core/Timings.h"
#include "common/core/Wait.h"

namespace console {

namespace {

constexpr char kNotOpened[] = "COM port not opened";

[[noreturn]] void RaiseReceive(int error) { throw ComPortError("Error receive: " + std::to_string(error)); }
[[noreturn]] void RaiseSend(int error) { throw ComPortError("Error send: " + std::to_string(error)); }

// Receive-time constants of the frame receiver, in polls.
constexpr int kFirstBytePolls = 10;
constexpr int kNextBytePolls = 600;  // added once the start byte arrived
// Modem answer lines.
constexpr int kModemLinePolls = 300;
constexpr int kLineBufferSize = 256;

}  // namespace

void Delay(long long ms) { common::SleepMs(ms); }

TComPort::TComPort() { ClosePort(); }

TComPort::~TComPort() { ClosePort(); }

bool TComPort::OpenPort(std::uint8_t portNumber, int baudRate) {
    if (portNumber == 0) {
        ClosePort();
        device_ = "порт 0";
        openError_ = "номера портов начинаются с 1";
        deviceOpenFailed_ = true;
        return false;
    }
    return OpenPort(common::SerialDevicePath(portNumber), baudRate);
}

bool TComPort::OpenPort(const std::string& devicePath, int baudRate) {
    ClosePort();
    device_ = devicePath;
    openError_.clear();
    deviceOpenFailed_ = false;

    std::string error;
    common::SerialOpenFailure why = common::SerialOpenFailure::None;
    const int fd = common::OpenSerialDevice(devicePath, baudRate, error, &why);
    if (fd < 0) {
        openError_ = error;
        deviceOpenFailed_ = why == common::SerialOpenFailure::Device;
        return false;
    }
    handle_ = fd;
    return true;
}

bool TComPort::ClosePort() {
    common::CloseSerialDevice(handle_);
    handle_ = -1;
    return true;
}

std::string TComPort::OpenFailureMessage() const {
    return "Не удалось открыть Ком-порт: " + device_ + "\r\n" + openError_;
}

void TComPort::CheckOpen() const {
    if (handle_ < 0) throw ComPortError(kNotOpened);
}

void TComPort::SetDTR(bool on) {
    CheckOpen();
    if (!common::SetSerialLine(handle_, common::SerialLine::DTR, on)) throw ComPortError(kNotOpened);
}

void TComPort::SetRTS(bool on) {
    CheckOpen();
    if (!common::SetSerialLine(handle_, common::SerialLine::RTS, on)) throw ComPortError(kNotOpened);
}

int TComPort::ReadBytes(std::uint8_t* buffer, int count) {
    CheckOpen();
    if (count <= 0) return 0;
    for (;;) {
        const ssize_t n = ::read(handle_, buffer, static_cast<std::size_t>(count));
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN) return 0;
        RaiseReceive(errno);
    }
}

int TComPort::InQueue() {
    CheckOpen();
    int n = 0;
    if (::ioctl(handle_, FIONREAD, &n) != 0) RaiseReceive(errno);
    return n;
}

#ifndef OSTRILON_SERIAL_ONLY
void TComPort::PurgeReceive() {
    CheckOpen();
    ::tcflush(handle_, TCIFLUSH);
}
#endif

int TComPort::Send(const std::uint8_t* buffer, int count) {
    CheckOpen();
#ifndef OSTRILON_SERIAL_ONLY
    PurgeReceive();  // a request starts with an empty receive queue
#endif
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(handle_, buffer + done, static_cast<std::size_t>(count - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseSend(errno);
        }
        if (n == 0) RaiseSend(EIO);
        done += static_cast<int>(n);
    }
    return done;
}

// One poll of a receiver: waits up to ms for bytes. With serviceWindow the
// window processes its events meanwhile (the frame receiver); without, the
// wait is a plain sleep (the modem line reader). Wakes early when bytes
// arrive; a far end that hung up (poll keeps reporting it while no byte
// waits) is slept out instead of spun on.
bool TComPort::WaitPoll(long long ms, bool serviceWindow) {
    const auto deadline = common::DeadlineAfter(ms);
    if (serviceWindow) common::ProcessPendingEvents();
    bool readable;
    if (serviceWindow) {
        readable = common::WaitReadable(handle_, deadline);
    } else {
        pollfd p{handle_, POLLIN, 0};
        readable = ::poll(&p, 1, static_cast<int>(std::max<long long>(ms, 0))) > 0;
    }
    if (readable) {
        int n = 0;
        if (::ioctl(handle_, FIONREAD, &n) != 0 || n > 0) return true;
    }
    const auto now = common::Clock::now();
    if (now < deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        if (serviceWindow) common::SleepMs(left);
        else std::this_thread::sleep_until(deadline);
    }
    return false;
}

bool TComPort::ReadFrame(std::uint8_t* buffer, int& count) {
    CheckOpen();
    count = 0;
    SerialFrameAssembler frame;
    const long long pollMs = common::timings().consolePollMs;
    int poll = 0;
    int limit = kFirstBytePolls;
    std::uint8_t chunk[kFrameBufferSize];
    while (poll < limit) {
        int waiting = InQueue();
        while (waiting > 0) {
            // Take no more than the frame still needs: bytes after it stay queued.
            const int want = frame.Count() < 2 ? 1 : std::min(waiting, frame.Missing());
            const int n = ReadBytes(chunk, want);
            if (n <= 0) break;
            waiting -= n;
            for (int i = 0; i < n; ++i) {
                const auto step = frame.Push(chunk[i]);
                poll = 0;
                if (step == SerialFrameAssembler::Step::Reject) return false;
                if (frame.Count() == 1) limit += kNextBytePolls;
                if (step == SerialFrameAssembler::Step::Frame) {
                    count = frame.Count();
                    std::memcpy(buffer, frame.Data(), static_cast<std::size_t>(count));
                    return true;
                }
            }
        }
        ++poll;
        WaitPoll(pollMs, true);
    }
    return false;
}

#ifndef OSTRILON_SERIAL_ONLY
bool TComPort::ReadModemLine(std::uint8_t* buffer, int& count) {
    CheckOpen();
    count = 0;
    bool complete = false;
    const long long pollMs = common::timings().consoleModemPollMs;
    for (int poll = 0; poll < kModemLinePolls; ++poll) {
        // One byte of the buffer stays free for the terminating zero.
        while (count < kLineBufferSize - 1 && InQueue() > 0) {
            std::uint8_t b = 0;
            if (ReadBytes(&b, 1) != 1) break;
            buffer[count++] = b;
            if (b == 0x0D && count > 1) complete = true;
        }
        if (complete) {
            buffer[count++] = 0;
            return true;
        }
        if (count >= kLineBufferSize - 1) break;  // no carriage return in a full buffer
        WaitPoll(pollMs, false);
    }
    count = 0;
    return false;
}

void TComPort::SendText(const char* text) {
    Send(reinterpret_cast<const std::uint8_t*>(text), static_cast<int>(std::strlen(text)));
}

namespace {
bool ContainsOK(const std::uint8_t* line, int count) {
    std::string text(reinterpret_cast<const char*>(line), static_cast<std::size_t>(count));
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text.find("OK") != std::string::npos;
}
}  // namespace

bool TComPort::HangUp() {
    std::uint8_t line[kLineBufferSize];
    int count = 0;
    // The modem takes "+++" as an escape only after a stretch of silence.
    common::SleepMs(common::timings().consoleHangupGuardMs);
    SendText("+++");
    const bool escaped = ReadModemLine(line, count) && ContainsOK(line, count);
    SendText("ATH\r\n");
    if (ReadModemLine(line, count)) return ContainsOK(line, count);
    return escaped;
}
#endif

}  // namespace console
