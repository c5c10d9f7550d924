#pragma once
// What a prepayment meter of versions 51..54 knows about its wire: frame
// layout, command and reply codes, refusal reasons and the table of memory
// areas with their record sizes.
//
// Frame (both directions): 7E, L (data bytes, at most 251), code, L data
// bytes, CRC-8/MAXIM over L, code and data. Inside a session every data byte
// is XOR-ed with the 4-byte session key (byte i with key byte i mod 4).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "console/link/Frame.h"

namespace sim5x {

// The frame and its scrambling are the shared codecs (console/link/Frame.h).
using console::BuildFrame;
using console::Scramble;
inline constexpr std::uint8_t kFrameStart = console::kFrameStart;
inline constexpr std::size_t kMaxData = console::kMaxFrameData;
inline constexpr std::size_t kMaxFrame = console::kMaxFrameLength;

// Request codes.
enum Command : std::uint8_t {
    kEndSession = 2,  // no reply
    kAuthorize = 3,   // meter number, identifier (both 32-bit), sent unscrambled
    kReadArea = 6,    // area code, index (16-bit)
    kReadClock = 7,
    kWriteClock = 8,  // 8 clock bytes
    kWriteArea = 9,   // area code, index, password (16-bit), record
    kOneByte = 14,    // "D" card mode, "1"/"0"/"F" contactor, "A"/"a"/"B"/"b" extra channels
    kRangeMode = 17,  // "D" rubles, "S" kopecks
    kCurrency = 18,   // three characters
};

// Reply codes. Reads answer with their own request code (6, 7).
enum ReplyCode : std::uint8_t {
    kAccepted = 0,
    kRefused = 1,  // first data byte: the reason
    kAuthorized = 4,
};

// Reasons of a refusal (first data byte of a reply with code 1).
enum Reason : std::uint8_t {
    kWrongPassword = 1,  // write with a password other than the current one
    kNoSuchThing = 2,    // unknown command, area, index or command letter
    kAlreadyInMode = 3,  // range mode: the meter already keeps money that way
    kNotAllowed = 4,     // write to a statistics area, read of the password area
    kBadRequest = 5,     // wrong data length, bad record seal, impossible clock, bad currency
};

// Bits of data byte 7 of the authorization reply.
enum AuthFlags : std::uint8_t {
    kFlagCardMode = 0x01,
    kFlagKopecks = 0x02,  // clear = money in rubles
    kFlagContactorOff = 0x04,
    kFlagChannel1On = 0x08,
    kFlagChannel2On = 0x10,
};

// Area codes.
enum Area : std::uint8_t {
    kAreaPasswords = 0,
    kAreaIdent = 3,
    kAreaEnergy = 4,
    kAreaParams = 5,
    kAreaSeason = 6,
    kAreaZones = 7,
    kAreaLimits = 8,
    kAreaCounters = 9,
    kAreaPointers = 10,
    kAreaProfile = 11,
    kAreaTariffs = 13,
    kAreaDebit = 14,
    kAreaEvents = 16,
    kAreaCards = 17,
    kAreaLoads = 18,
    kAreaPowerMax = 19,
    kAreaAddParams = 21,
    kAreaExcessTime = 22,
    kAreaHolidays = 23,
    kAreaChannels = 26,
    kAreaPeriodEnergy = 27,
    kAreaPeriodMoney = 28,
    kAreaBillingDay = 29,
    kAreaContactor = 30,
    kAreaMoneySpent = 31,
    kAreaParams2 = 32,
    kAreaPeakTariff = 33,
    kAreaPeriodPowerMax = 34,
    kAreaRatio = 36,
};
inline constexpr int kAreaCodeLimit = 37;  // codes are below this

enum class Access : std::uint8_t { ReadOnly, ReadWrite, WriteOnly };

// One memory area: `count` records of `size` bytes (the last two the
// AreaCRC16 seal, high byte first).
struct AreaSpec {
    std::uint8_t code = 0;
    std::uint16_t count = 0;
    std::uint8_t size = 0;
    Access access = Access::ReadOnly;
    const char* name = "";
};

// Record counts and sizes that the console leaves to the meter:
//   passwords      37 entries (33 on version 54), 4 bytes
//   load profile   one record per recorded point (profilePoints), 7 bytes
//                  (6 on version 54, whose power field is 16-bit)
// Version 54 has no peak tariff (33) and no transformation ratio (36), and its
// extra channel record drops the channel-2 tariff bytes (7 bytes, not 11).
std::vector<AreaSpec> AreaLayout(int version, int profilePoints);

inline constexpr int kPasswordEntries5153 = 37;
inline constexpr int kPasswordEntries54 = 33;

// Assembles request frames byte by byte, as the meter's receiver does:
// bytes before a start byte are skipped; a length above 251 or a wrong check
// code drops the frame. The caller resets it after a silence on the line.
class RequestAssembler {
public:
    enum class Result { NeedMore, Frame, Bad };

    Result push(std::uint8_t byte);
    void reset() { count_ = 0; }
    // True when no frame is partly received.
    bool idle() const { return count_ == 0; }

    // The last frame (Result::Frame) or the dropped bytes (Result::Bad).
    const std::uint8_t* bytes() const { return buf_; }
    std::size_t size() const { return last_; }
    std::uint8_t code() const { return buf_[2]; }
    const std::uint8_t* data() const { return buf_ + 3; }
    std::size_t dataLength() const { return buf_[1]; }

private:
    std::uint8_t buf_[kMaxFrame] = {};
    std::size_t count_ = 0;
    std::size_t last_ = 0;
};

}  // namespace sim5x
