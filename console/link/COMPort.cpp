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

#include "common/core/FrameReceive.h"
#include "common/core/SerialPort.h"
#include "common/core/Timings.h"
#include "common/core/Wait.h"

namespace console {

namespace {

constexpr char kNotOpened[] = "COM port not opened";

[[noreturn]] void RaiseReceive(int error) { throw ComPortError("Error receive: " + std::to_string(error)); }
[[noreturn]] void RaiseSend(int error) { throw ComPortError("Error send: " + std::to_string(error)); }

// Receive-time constants of the frame receiver, in polls: the first byte,
// then every further byte (each restarts the count).
constexpr long long kFirstBytePolls = 10;
constexpr long long kNextBytePolls = 610;
// Modem answer lines.
constexpr long long kModemLinePolls = 300;
constexpr int kLineBufferSize = 256;

}  // namespace

void Delay(long long ms) { common::SleepMs(ms); }

TComPortBase::TComPortBase() { ClosePort(); }

TComPortBase::~TComPortBase() { ClosePort(); }

bool TComPortBase::OpenPort(std::uint8_t portNumber, int baudRate) {
    if (portNumber == 0) {
        ClosePort();
        device_ = "порт 0";
        openError_ = "номера портов начинаются с 1";
        deviceOpenFailed_ = true;
        return false;
    }
    return OpenPort(common::SerialDevicePath(portNumber), baudRate);
}

bool TComPortBase::OpenPort(const std::string& devicePath, int baudRate) {
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

bool TComPortBase::ClosePort() {
    common::CloseSerialDevice(handle_);
    handle_ = -1;
    return true;
}

std::string TComPortBase::OpenFailureMessage() const {
    return "Не удалось открыть Ком-порт: " + device_ + "\r\n" + openError_;
}

void TComPortBase::CheckOpen() const {
    if (handle_ < 0) throw ComPortError(kNotOpened);
}

void TComPortBase::SetDTR(bool on) {
    CheckOpen();
    if (!common::SetSerialLine(handle_, common::SerialLine::DTR, on)) throw ComPortError(kNotOpened);
}

void TComPortBase::SetRTS(bool on) {
    CheckOpen();
    if (!common::SetSerialLine(handle_, common::SerialLine::RTS, on)) throw ComPortError(kNotOpened);
}

int TComPortBase::ReadBytes(std::uint8_t* buffer, int count) {
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

int TComPortBase::InQueue() {
    CheckOpen();
    int n = 0;
    if (::ioctl(handle_, FIONREAD, &n) != 0) RaiseReceive(errno);
    return n;
}

void TComPortBase::DiscardInput() {
    CheckOpen();
    ::tcflush(handle_, TCIFLUSH);
}

int TComPortBase::Write(const std::uint8_t* buffer, int count) {
    CheckOpen();
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

void TComPort::PurgeReceive() { DiscardInput(); }

int TComPort::Send(const std::uint8_t* buffer, int count) {
    PurgeReceive();
    return Write(buffer, count);
}

namespace {

// The port as the byte source of the shared receive loop. One wait is one
// poll of the receivers, at most pollMs long: the frame receiver lets the
// window process its events meanwhile, the modem line reader sleeps plainly.
// A wait wakes early when bytes arrive; a far end that hung up (poll keeps
// reporting it while no byte waits) is slept out instead of spun on.
struct PortSource {
    TComPortBase& port;
    long long pollMs;
    bool serviceWindow;

    bool Alive() const { return true; }  // a port that fails raises ComPortError instead
    int Take(std::uint8_t* out, int max) {
        const int waiting = port.InQueue();
        return waiting > 0 ? port.ReadBytes(out, std::min(waiting, max)) : 0;
    }
    void Wait(common::Clock::time_point until) {
        const auto end = std::min(until, common::DeadlineAfter(pollMs));
        const int fd = port.PortHandle();
        bool readable;
        if (serviceWindow) {
            common::ProcessPendingEvents();
            readable = common::WaitReadable(fd, end);
        } else {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - common::Clock::now()).count();
            pollfd p{fd, POLLIN, 0};
            readable = ::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0))) > 0;
        }
        int n = 0;
        if (readable && (::ioctl(fd, FIONREAD, &n) != 0 || n > 0)) return;
        if (serviceWindow) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - common::Clock::now()).count();
            if (left > 0) common::SleepMs(left);
        } else {
            std::this_thread::sleep_until(end);
        }
    }
};

// A modem answer line: complete at a carriage return that is not its first
// byte; the carriage return is part of the line. One byte of the 256-byte
// buffer stays free for the terminating zero.
class ModemLine {
public:
    explicit ModemLine(std::uint8_t* buffer) : buffer_(buffer) {}
    common::Push push(std::uint8_t b) {
        Store(b);
        if (b == 0x0D && count_ > 1) return common::Push::Frame;
        return Full() ? common::Push::Reset : common::Push::NeedMore;
    }
    void Store(std::uint8_t b) { buffer_[count_++] = b; }
    bool Full() const { return count_ >= kLineBufferSize - 1; }
    int Count() const { return count_; }

private:
    std::uint8_t* buffer_;
    int count_ = 0;
};

}  // namespace

bool TComPortBase::ReadFrame(std::uint8_t* buffer, int& count) {
    CheckOpen();
    count = 0;
    SerialFrameAssembler frame;
    const long long pollMs = common::timings().consolePollMs;
    PortSource source{*this, pollMs, true};
    const auto received = common::ReceiveFrame(source, frame, {kFirstBytePolls * pollMs, kNextBytePolls * pollMs, 0});
    frameFault_ = FaultOf(received, frame);
    if (received != common::Received::Frame) return false;
    count = frame.Count();
    std::memcpy(buffer, frame.Data(), static_cast<std::size_t>(count));
    return true;
}

bool TComPort::ReadModemLine(std::uint8_t* buffer, int& count) {
    CheckOpen();
    count = 0;
    ModemLine line(buffer);
    const long long pollMs = common::timings().consoleModemPollMs;
    PortSource source{*this, pollMs, false};
    const long long allMs = kModemLinePolls * pollMs;
    if (common::ReceiveFrame(source, line, {allMs, allMs, allMs}) != common::Received::Frame) return false;
    // The modem's answer goes on after the carriage return ("\r\nOK\r\n"):
    // what is queued already belongs to the line.
    while (!line.Full() && InQueue() > 0) {
        std::uint8_t b = 0;
        if (ReadBytes(&b, 1) != 1) break;
        line.Store(b);
    }
    line.Store(0);
    count = line.Count();
    return true;
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

}  // namespace console
