#pragma once
// Protocol of meters of versions 51..54.
//
// TCounterCommunication frames a command, scrambles its data with the session
// key, exchanges the frame through its link (ExchangeFrame) and reads the
// reply. Every operation returns success; none shows a message. Errors of the
// serial port (ComPortError) pass through unchanged.
//
// The links, each in a header of its own:
//   TRS232Communication      (RS232Communication.h)     - a meter on a serial
//                            port, two attempts per request.
//   TSerialOnlyCommunication (SerialOnlyCommunication.h) - the serial link of
//                            Ostrilon_serial, which opens its port for each session.
//   TTCPIPCommunication      (TCPIPCommunication.h)     - the console listens
//                            as a TCP server; the meter-side device connects in.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "Frame.h"
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

    // The reply code of the last exchange (-1: no valid reply), the reason
    // of a refusal (-1: none) and, without a valid reply, why none came; for
    // messages. The end of a session leaves them alone: they still explain
    // the operation before it.
    int LastReplyCode = -1;
    int LastRefusalReason = -1;
    ExchangeFault LastExchangeFault = ExchangeFault::None;

    // Sends code with the first length bytes of buffer (already scrambled) as
    // one frame; with replyWanted waits for one complete check-code-valid
    // reply and copies the whole frame into buffer (256 bytes), so that
    // buffer[1] is L, buffer[2] the reply code and buffer[3..] the data.
    // A link that returns false sets LastExchangeFault.
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
    void ClearLastReply();
    // Scrambles the request, exchanges it, unscrambles the reply (unless
    // told not to) and notes the reply code; false without a valid reply.
    bool Request(std::uint8_t code, const std::uint8_t* data, int length, std::uint8_t* reply, bool unscramble = true);
    // Code 0 accepted; anything else a failure.
    bool AcceptedCommand(std::uint8_t code, const std::uint8_t* data, int length);
};

// Connection events of the links. The connected flag is handed by reference.
using ConnectedEvent = std::function<void(TCounterCommunication& sender, bool& connected)>;
using DisconnectedEvent = std::function<void(TCounterCommunication& sender)>;

}  // namespace console
