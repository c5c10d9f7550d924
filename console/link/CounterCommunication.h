#pragma once
// Protocol of meters of versions 51..54 and the two links that carry it.
//
// TCounterCommunication frames a command, scrambles its data with the session
// key, exchanges the frame through its link (ExchangeFrame) and reads the
// reply. Every operation returns success; none shows a message. Errors of the
// serial port (ComPortError) pass through unchanged.
//
// Links:
//   TRS232Communication  - a meter on a serial port, two attempts per request.
//   TTCPIPCommunication  - the console listens as a TCP server (port 144 by
//                          default); the meter-side device connects in.
//
// Built with OSTRILON_SERIAL_ONLY (the serial-only program) there is no TCP
// link; the serial link opens its port in the constructor and closes it in
// the destructor, has no Connect/Disconnect/events, always waits for a reply
// (also to the end of a session, whose result stays true) and does not pause
// after sending.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "COMPort.h"
#include "FrameAssembly.h"
#include "Structures.h"
#include "common/core/DateTime.h"

namespace console {

// Numbers that select a memory area of the meter.
namespace Area {
constexpr std::uint8_t Passwords = 0;  // written only
constexpr std::uint8_t Identification = 3;
constexpr std::uint8_t EnergyByTariff = 4;  // energy by tariff and limit
constexpr std::uint8_t Parameters = 5;
constexpr std::uint8_t SeasonChange = 6;
constexpr std::uint8_t TimeZones = 7;
constexpr std::uint8_t LimitThresholds = 8;
constexpr std::uint8_t DataCounters = 9;
constexpr std::uint8_t Pointers = 10;
constexpr std::uint8_t LoadProfile = 11;
constexpr std::uint8_t Tariffs = 13;
constexpr std::uint8_t Debit = 14;
constexpr std::uint8_t Events = 16;
constexpr std::uint8_t LoadCards = 17;
constexpr std::uint8_t LoadsFromCards = 18;
constexpr std::uint8_t PowerMaxByTariff = 19;
constexpr std::uint8_t AdditionalParameters = 21;
constexpr std::uint8_t PowerExcessTime = 22;  // power excess time per tariff
constexpr std::uint8_t Holidays = 23;
constexpr std::uint8_t ExtraChannels = 26;  // extra channel control
constexpr std::uint8_t EnergyPerPeriod = 27;  // energy per billing period
constexpr std::uint8_t MoneyPerPeriod = 28;  // money per billing period
constexpr std::uint8_t BillingDay = 29;
constexpr std::uint8_t ContactorControl = 30;
constexpr std::uint8_t MoneySpent = 31;  // money spent by tariff and limit
constexpr std::uint8_t Parameters2 = 32;
constexpr std::uint8_t PeakTariff = 33;  // peak-consumption tariff
constexpr std::uint8_t PowerMaxPerPeriod = 34;  // power maximum per integration period
constexpr std::uint8_t TransformationRatio = 36;
}  // namespace Area

// Command codes (requests) and reply codes.
namespace Code {
constexpr std::uint8_t Accepted = 0;  // reply: write or one-byte command accepted
constexpr std::uint8_t Refused = 1;   // reply: refused, reason in data byte 0
constexpr std::uint8_t EndSession = 2;
constexpr std::uint8_t Authorize = 3;
constexpr std::uint8_t Authorized = 4;  // reply to Authorize
constexpr std::uint8_t ReadArea = 6;
constexpr std::uint8_t ReadDateTime = 7;
constexpr std::uint8_t WriteDateTime = 8;
constexpr std::uint8_t WriteArea = 9;
constexpr std::uint8_t OneByteCommand = 14;
constexpr std::uint8_t RangeMode = 17;
constexpr std::uint8_t Currency = 18;
}  // namespace Code

// Refusal reason of a range-mode change to the mode the meter already has.
constexpr int kReasonAlreadyInMode = 3;

enum class ContactorKind { On = 0, Off = 1, Release = 2 };
enum class ExtraChannelKind { Channel1On = 0, Channel1Off = 1, Channel2On = 2, Channel2Off = 3 };
enum class RangeKind { Rubles = 0, Kopecks = 1 };

class TCounterCommunication {
public:
    TCounterCommunication() = default;
    virtual ~TCounterCommunication() = default;
    TCounterCommunication(const TCounterCommunication&) = delete;
    TCounterCommunication& operator=(const TCounterCommunication&) = delete;

    // Set by a successful Authorize, cleared by the next one.
    std::uint8_t CounterVersion = 0;           // 51..54 are served
    std::array<std::uint8_t, 4> ScrambleKey{};  // zero: no scrambling
    bool RublesMode = true;                    // money in rubles (false: kopecks)
    // Data bytes of the last area read; the rest of the 256 bytes is zero.
    std::array<std::uint8_t, 256> AreaData{};
    int AreaDataLength = 0;

    // The reply code of the last exchange (-1: no valid reply) and the reason
    // of a refusal (-1: none), for messages.
    int LastReplyCode = -1;
    int LastRefusalReason = -1;

    // Sends code with the first length bytes of buffer (already scrambled) as
    // one frame; with replyWanted waits for one complete check-code-valid
    // reply and copies the whole frame into buffer (256 bytes), so that
    // buffer[1] is L, buffer[2] the reply code and buffer[3..] the data.
    virtual bool ExchangeFrame(std::uint8_t code, int length, std::uint8_t* buffer, bool replyWanted) = 0;

    // Closes a session (no reply); always true.
    bool EndSession();
    // Opens a session: on success CounterVersion, ScrambleKey and RublesMode
    // are those of the meter.
    bool Authorize(std::uint32_t meterNumber, std::uint32_t identifier);
    // Reads one area record into AreaData.
    bool ReadArea(std::uint8_t area, std::uint16_t index);
    // The meter's clock; empty on failure or an invalid clock.
    common::DateTime ReadDateTime();
    bool WriteDateTime(const common::DateTime& value);
    // Sends record (length bytes, at most 246, already sealed by the caller
    // with SealArea) to the area.
    bool WriteArea(std::uint8_t area, std::uint16_t index, std::uint16_t password, const std::uint8_t* record,
                   int length);
    bool SetCardMode();
    bool ContactorCommand(ContactorKind kind);
    bool ExtraChannelCommand(ExtraChannelKind kind);
    // A refusal because the meter already is in that mode counts as success.
    bool SetRangeMode(RangeKind kind);
    // code: the three characters of the currency identifier.
    bool SetCurrency(std::string_view code);

    static bool IsSupportedVersion(std::uint8_t version) { return version >= 51 && version <= 54; }
    // Combines data byte i with key byte i mod 4 (both ways).
    void Scramble(std::uint8_t* data, int length) const;
    // Why the last operation failed, in Russian, for messages and the CLI.
    std::string LastFailureText() const;

    static constexpr int kMaxWriteRecord = kMaxFrameData - 5;

private:
    // Scrambles the request, exchanges it, unscrambles the reply (unless
    // told not to) and notes the reply code; false without a valid reply.
    bool Request(std::uint8_t code, const std::uint8_t* data, int length, std::uint8_t* reply, bool unscramble = true);
    // Code 0 accepted; anything else a failure.
    bool AcceptedCommand(std::uint8_t code, const std::uint8_t* data, int length);
};

// The session the console runs around every user operation: end any open
// session, authorize, check the version, run the operation, end the session
// (also after a failed authorization or version check, and - as far as the
// port still works - after an error of the port, which is then re-raised).
enum class SessionOutcome {
    Done,                 // the operation returned true
    OperationFailed,      // the operation returned false
    AuthorizationFailed,  // the meter did not accept number and identifier
    UnsupportedVersion,   // CounterVersion outside 51..54
};
SessionOutcome WithSession(TCounterCommunication& link, std::uint32_t meterNumber, std::uint32_t identifier,
                           const std::function<bool()>& operation);

// Connection events of the links. The connected flag is handed by reference.
using ConnectedEvent = std::function<void(TCounterCommunication& sender, bool& connected)>;
using DisconnectedEvent = std::function<void(TCounterCommunication& sender)>;

class TRS232Communication : public TCounterCommunication {
public:
#ifdef OSTRILON_SERIAL_ONLY
    // Opens the port at once; whether that worked is for the caller to ask
    // (SerialPort.IsOpen(), SerialPort.OpenFailureMessage()). Requests on a
    // port that did not open raise "COM port not opened".
    TRS232Communication(std::uint8_t portNumber, int baudRate);
    TRS232Communication(const std::string& devicePath, int baudRate);
    ~TRS232Communication() override;
#else
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
#endif

    TComPort SerialPort;

    bool ExchangeFrame(std::uint8_t code, int length, std::uint8_t* buffer, bool replyWanted) override;

private:
#ifndef OSTRILON_SERIAL_ONLY
    bool FireConnected(bool result);
#endif
};

#ifndef OSTRILON_SERIAL_ONLY
// The console as a TCP server: one meter-side client at a time is served by a
// thread of its own, which assembles the replies; a second client connecting
// while one is served is closed at once. Replies go through one buffer for the
// whole program.
class TTCPIPCommunication : public TCounterCommunication {
public:
    // Runs a callable on the window's thread and returns once it has run
    // (Qt: QMetaObject::invokeMethod with Qt::BlockingQueuedConnection). The
    // callables it has queued must also run when the window's thread processes
    // its pending events through common::ProcessPendingEvents(): StopListening
    // does that while it waits for a client thread that is still inside the
    // dispatcher. Without a dispatcher OnConnected runs on the client thread.
    using Dispatcher = std::function<void(std::function<void()>)>;

    static constexpr std::uint16_t kDefaultPort = 144;

    explicit TTCPIPCommunication(Dispatcher runOnWindowThread = {});
    // Stops listening without firing OnDisconnected.
    ~TTCPIPCommunication() override;

    // Optional; fired on the window's thread when a client has connected.
    ConnectedEvent OnConnected;
    // Optional; fired after every StopListening. The handler may free the link.
    DisconnectedEvent OnDisconnected;

    // Listens on port (0: any free port, see ListeningPort) at address, an
    // IPv4 address in dotted form (empty: all addresses of the computer).
    // false with LastError() when the port is taken, needs privileges
    // (ports below 1024) or the address is wrong; no event is fired.
    bool StartListening(std::uint16_t port = kDefaultPort, const std::string& address = {});
    // Closes the listening socket and the client, waits for their threads,
    // then fires OnDisconnected; always true.
    bool StopListening();

    const std::string& LastError() const { return lastError_; }
    bool IsListening() const { return listenFd_ >= 0; }
    std::uint16_t ListeningPort() const { return port_; }
    bool HasClient() const;

    // Fails at once when no client is connected. Waits for the reply up to
    // timings().consoleTcpReplyMs while the window processes its events.
    bool ExchangeFrame(std::uint8_t code, int length, std::uint8_t* buffer, bool replyWanted) override;

private:
    void Shutdown();
    void AcceptLoop();
    void ServeClient(int fd);

    Dispatcher dispatch_;
    std::string lastError_;
    std::uint16_t port_ = 0;
    int listenFd_ = -1;
    int wakeFd_ = -1;  // readable once the server stops
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    std::thread clientThread_;
    std::atomic<bool> clientActive_{false};
    mutable std::mutex clientMutex_;
    int clientFd_ = -1;  // guarded by clientMutex_
};
#endif

}  // namespace console
