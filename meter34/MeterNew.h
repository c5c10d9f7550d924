#pragma once
// TMeter: the one object through which the program talks to a meter of
// versions 3 and 4. It builds request frames, sends them through the
// connection's exchange, validates replies, retries, numbers packets, runs the
// three-step access session whose key enciphers commands, and turns result
// codes into Russian texts.

#include <cstdint>
#include <functional>
#include <string>

#include "CRCUtils.h"
#include "MeterExchange.h"
#include "MeterStructures.h"
#include "common/core/DateTime.h"

namespace meter34 {

using common::DateTime;

// Packet types (frame offset 9, bits 0-6).
enum PacketType : std::uint8_t { kSessionStep = 1, kSessionClose = 2, kRead = 3, kWrite = 4 };

// Local result codes, set by this layer rather than by the meter.
enum LocalResult : std::uint8_t {
    kResultNotReply = 250,
    kResultWrongMeter = 251,
    kResultDataCheck = 252,
    kResultPacketNumber = 253,
    kResultFrameCheck = 254,
    kResultNoAnswer = 255,
};

// Where trace texts go. Silent by default; QUORVANE_TRACE=1 in the
// environment sends them to stderr; a program may install its own sink.
void SetTraceSink(std::function<void(const std::string&)> sink);

class TMeter {
public:
    explicit TMeter(TMeterExchange* exchange = nullptr) : Exchange(exchange) {}
    virtual ~TMeter() = default;
    TMeter(const TMeter&) = delete;
    TMeter& operator=(const TMeter&) = delete;

    std::uint8_t PacketNumber = 0;
    Key4 SessionKey;
    Key4 KeyA;
    Key4 KeyB;
    std::uint8_t ResultCode = 0;
    TMeterExchange* Exchange;  // not owned
    bool SessionOpen = false;
    std::uint32_t MeterNumber = 0;  // 0 accepts a reply from any meter
    std::uint16_t MeterVersion = 0;

    // Frame of payload (command bytes and sum); returns the stuffed length.
    virtual int BuildFrame(std::uint8_t type, bool encipher, const std::uint8_t* payload, int count,
                           std::uint8_t* out);
    // Validates a received (unstuffed) frame; on success frame[0..length)
    // holds the reply payload without its sum and ResultCode its result code.
    virtual bool CheckReply(std::uint8_t* frame, int& length);
    virtual bool SendFrame(const std::uint8_t* frame, int length);
    // One reply frame through the exchange, unstuffed; ends by notAfter.
    virtual bool ReceiveFrame(std::uint8_t* buffer, int& length, common::Clock::time_point notAfter);

    // One request with tries. payload: command bytes (count) on entry; the
    // reply payload without sum on success (length). Buffer: kFrameBufferSize.
    // Each try waits for a valid reply (rejected frames are skipped, each
    // with a fresh time-out) until the exchange's try bound has passed.
    bool Request(std::uint8_t type, bool encipher, std::uint8_t* payload, int& length);

    bool OpenSession(std::uint8_t level, std::int32_t password, std::int32_t keyA, std::int32_t keyB);
    bool CloseSession();

    bool GetPhaseValues(std::uint8_t maskA, std::uint8_t maskB, std::uint8_t maskC, PhaseValues& values);
    bool SetKeys(std::int32_t keyA, std::int32_t keyB);
    bool SetUserPassword(std::uint8_t user, std::int32_t password);
    bool SetContactor(std::uint8_t state);
    bool GetParameters(MainParameterRecord& record);
    bool SetParameters(const MainParameterRecord& record);
    bool ClearMagnetFlag();
    bool GetSpeed(std::uint8_t channel, std::uint8_t& speed, std::uint8_t& channelType);
    bool SetSpeed(std::uint8_t channel, std::uint8_t speed, std::uint8_t channelType);
    bool GetState(MeterState& state);
    // values must hold 255 entries.
    bool GetPowerGrafic(std::uint8_t energyType, std::uint8_t block, const DateTime& date, std::uint8_t& count,
                        std::uint16_t* values, std::uint8_t& interval);
    bool GetDateTime(DateTime& dateTime);
    bool SetDateTime(const DateTime& dateTime);
    bool GetEnergy(std::uint8_t energyType, std::uint8_t tariff, const DateTime& date, std::uint8_t sliceType,
                   std::uint32_t& value);
    bool GetAdditionalParameters(AdditionalParameterRecord& record);
    bool SetAdditionalParameters(const AdditionalParameterRecord& record);
    bool GetParameters2(SecondGroupParameterRecord& record);
    bool SetParameters2(const SecondGroupParameterRecord& record);
    bool GetStatus(MeterStatus& status);
    // data must hold 255 bytes; length = bytes delivered.
    bool GetStruct(std::uint8_t structure, std::uint16_t index, int& length, std::uint8_t* data);
    bool SetStruct(std::uint8_t structure, std::uint16_t index, const std::uint8_t* data, int length);
    bool GetIUCoefficients(std::uint16_t& currentRatio, std::uint16_t& voltageRatio, DateTime& lastChange,
                           std::uint16_t& changeCount);
    bool SetIUCoefficients(std::uint16_t currentRatio, std::uint16_t voltageRatio);
    bool GetLoraPower(std::uint8_t& level);
    bool SetLoraPower(std::uint8_t level);
    bool ServiceFunction(std::uint8_t function);
    bool GetCalibrationCoeff(CalibrationCoefficients& data);
    bool LeavePLCNetwork();
    bool SetAMinusCheckMode(std::uint8_t& allowance);
    // Sends "*****" through the exchange (wrapped like a frame); waits for nothing.
    bool ExitTransparentMode();

    void GetResultText(std::uint8_t& code, std::string& text) const;
    static std::string ResultText(std::uint8_t code);

    virtual void Trace(const std::string& text);

private:
    // Runs one command: Request, result code check, minimum reply length.
    // On success reply[0..replyLength) is the reply payload without sum.
    bool Command(std::uint8_t type, const std::uint8_t* args, int count, int minReply, const char* okText,
                 const char* errorText, std::uint8_t* reply, int& replyLength);
};

}  // namespace meter34
