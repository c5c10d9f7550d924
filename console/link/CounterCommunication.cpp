#include "CounterCommunication.h"

#include <algorithm>
#include <cstring>

namespace console {

void TCounterCommunication::Scramble(std::uint8_t* data, int length) const {
    if (length > 0) console::Scramble(data, static_cast<std::size_t>(length), ScrambleKey);
}

void TCounterCommunication::ClearLastReply() {
    LastReplyCode = -1;
    LastRefusalReason = -1;
    LastExchangeFault = ExchangeFault::None;
}

bool TCounterCommunication::Request(std::uint8_t code, const std::uint8_t* data, int length, std::uint8_t* reply,
                                    bool unscramble) {
    ClearLastReply();
    if (length < 0 || length > kMaxFrameData) return false;
    if (length > 0) std::memcpy(reply, data, static_cast<std::size_t>(length));
    Scramble(reply, length);
    if (!ExchangeFrame(code, length, reply, true)) return false;
    // The link hands over only complete, check-code-valid frames of at most
    // 251 data bytes; the length is checked again before the data are touched.
    const int replyLength = reply[1];
    if (replyLength > kMaxFrameData) return false;
    if (unscramble) Scramble(reply + 3, replyLength);
    LastReplyCode = reply[2];
    if (unscramble && LastReplyCode == Code::Refused && replyLength >= 1) LastRefusalReason = reply[3];
    return true;
}

bool TCounterCommunication::AcceptedCommand(std::uint8_t code, const std::uint8_t* data, int length) {
    std::uint8_t buffer[kFrameBufferSize];
    return Request(code, data, length, buffer) && buffer[2] == Code::Accepted;
}

bool TCounterCommunication::EndSession() {
    // Leaves the last reply alone: it still explains the operation before it.
    const ExchangeFault fault = LastExchangeFault;
    std::uint8_t buffer[kFrameBufferSize] = {};
    ExchangeFrame(Code::EndSession, 0, buffer, false);
    LastExchangeFault = fault;
    return true;
}

bool TCounterCommunication::Authorize(std::uint32_t meterNumber, std::uint32_t identifier) {
    CounterVersion = 0;
    ScrambleKey = {};
    std::uint8_t request[8];
    PutUInt32BE(request, meterNumber);
    PutUInt32BE(request + 4, identifier);
    std::uint8_t buffer[kFrameBufferSize];
    // The key is zero here, so the request goes unscrambled.
    if (!Request(Code::Authorize, request, 8, buffer)) return false;
    if (buffer[2] != Code::Authorized || buffer[1] < 8) return false;
    const std::uint8_t* data = buffer + 3;
    CounterVersion = data[0];
    std::copy(data + 1, data + 5, ScrambleKey.begin());
    RublesMode = (data[7] & 0x02) == 0;
    return true;
}

bool TCounterCommunication::ReadArea(std::uint8_t area, std::uint16_t index) {
    std::uint8_t request[3] = {area, 0, 0};
    PutUInt16BE(request + 1, index);
    std::uint8_t buffer[kFrameBufferSize];
    if (!Request(Code::ReadArea, request, 3, buffer)) return false;
    // A refusal is a failure even when it carries data.
    if (buffer[2] != Code::ReadArea) return false;
    AreaDataLength = buffer[1];
    AreaData.fill(0);
    std::memcpy(AreaData.data(), buffer + 3, static_cast<std::size_t>(AreaDataLength));
    return true;
}

common::DateTime TCounterCommunication::ReadDateTime() {
    std::uint8_t buffer[kFrameBufferSize];
    if (!Request(Code::ReadDateTime, nullptr, 0, buffer)) return {};
    if (buffer[2] != Code::ReadDateTime || buffer[1] < 8) return {};
    // seconds, minutes, hours, (not interpreted), day, month, year in century, century
    const std::uint8_t* c = buffer + 3;
    return common::DateTime::makeOrEmpty(c[7] * 100 + c[6], c[5], c[4], c[2], c[1], c[0]);
}

bool TCounterCommunication::WriteDateTime(const common::DateTime& value) {
    if (value.isEmpty()) return false;
    // The fourth byte is not interpreted by the console; it carries the day
    // of the week (1 = Monday .. 7 = Sunday) as meter clocks keep it.
    const std::uint8_t clock[8] = {
        static_cast<std::uint8_t>(value.second()), static_cast<std::uint8_t>(value.minute()),
        static_cast<std::uint8_t>(value.hour()),   static_cast<std::uint8_t>(value.dayOfWeek()),
        static_cast<std::uint8_t>(value.day()),    static_cast<std::uint8_t>(value.month()),
        static_cast<std::uint8_t>(value.year() % 100), static_cast<std::uint8_t>(value.year() / 100),
    };
    std::uint8_t buffer[kFrameBufferSize];
    // Only the reply code is looked at: the reply data stay scrambled.
    return Request(Code::WriteDateTime, clock, 8, buffer, false) && buffer[2] == Code::Accepted;
}

bool TCounterCommunication::WriteArea(std::uint8_t area, std::uint16_t index, std::uint16_t password,
                                      const std::uint8_t* record, int length) {
    ClearLastReply();
    if (length < 0 || length > kMaxWriteRecord) return false;
    std::uint8_t request[kFrameBufferSize];
    request[0] = area;
    PutUInt16BE(request + 1, index);
    PutUInt16BE(request + 3, password);
    if (length > 0) std::memcpy(request + 5, record, static_cast<std::size_t>(length));
    return AcceptedCommand(Code::WriteArea, request, length + 5);
}

bool TCounterCommunication::SetCardMode() {
    const std::uint8_t c = 'D';
    return AcceptedCommand(Code::OneByteCommand, &c, 1);
}

bool TCounterCommunication::ContactorCommand(ContactorKind kind) {
    static constexpr std::uint8_t kLetters[] = {'1', '0', 'F'};
    return AcceptedCommand(Code::OneByteCommand, &kLetters[static_cast<int>(kind)], 1);
}

bool TCounterCommunication::ExtraChannelCommand(ExtraChannelKind kind) {
    static constexpr std::uint8_t kLetters[] = {'A', 'a', 'B', 'b'};
    return AcceptedCommand(Code::OneByteCommand, &kLetters[static_cast<int>(kind)], 1);
}

bool TCounterCommunication::SetRangeMode(RangeKind kind) {
    const std::uint8_t c = kind == RangeKind::Rubles ? 'D' : 'S';
    std::uint8_t buffer[kFrameBufferSize];
    if (!Request(Code::RangeMode, &c, 1, buffer)) return false;
    if (buffer[2] == Code::Accepted) return true;
    return buffer[2] == Code::Refused && buffer[1] >= 1 && buffer[3] == kReasonAlreadyInMode;
}

bool TCounterCommunication::SetCurrency(std::string_view code) {
    ClearLastReply();
    if (code.size() != 3) return false;
    return AcceptedCommand(Code::Currency, reinterpret_cast<const std::uint8_t*>(code.data()), 3);
}

std::string TCounterCommunication::LastFailureText() const {
    if (LastReplyCode < 0) {
        switch (LastExchangeFault) {
            case ExchangeFault::BadCheck: return "ответ счетчика с неверной контрольной суммой";
            case ExchangeFault::Damaged: return "искаженный ответ счетчика";
            case ExchangeFault::LinkLost: return "связь со счетчиком потеряна";
            case ExchangeFault::NotSent: return "сторона счетчика не принимает запрос";
            case ExchangeFault::None:
            case ExchangeFault::NoReply: break;
        }
        return "счетчик не ответил";
    }
    if (LastReplyCode == Code::Refused) {
        if (LastRefusalReason < 0) return "счетчик отказал в выполнении";
        return "счетчик отказал в выполнении (причина " + std::to_string(LastRefusalReason) + ")";
    }
    return "неожиданный ответ счетчика (код " + std::to_string(LastReplyCode) + ")";
}

}  // namespace console
