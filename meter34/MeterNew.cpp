#include "MeterNew.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <utility>

#include "FCS16.h"
#include "Structures.h"
#include "common/core/Wait.h"

namespace meter34 {

namespace {

std::function<void(const std::string&)>& traceSink() {
    static std::function<void(const std::string&)> sink = [] {
        const char* env = std::getenv("QUORVANE_TRACE");
        std::function<void(const std::string&)> s;
        if (env != nullptr && *env != '\0' && std::strcmp(env, "0") != 0)
            s = [](const std::string& t) { std::cerr << "[meter] " << t << '\n'; };
        return s;
    }();
    return sink;
}

std::uint8_t ClampByte(int v) { return static_cast<std::uint8_t>(v & 0xFF); }

}  // namespace

void SetTraceSink(std::function<void(const std::string&)> sink) { traceSink() = std::move(sink); }

void TMeter::Trace(const std::string& text) {
    if (auto& s = traceSink()) s(text);
}

std::string TMeter::ResultText(std::uint8_t code) {
    switch (code) {
        case 0: return "Выполнено успешно";
        case 1: return "Ошибка доступа";
        case 2: return "Команда не поддерживается";
        case 3: return "Доступ заблокирован";
        case 4: return "Ошибка данных команды";
        case 5: return "Ошибка базы параметров";
        case 6: return "ID не поддерживается";
        case 7: return "Нет прав доступа";
        case 8: return "Ошибка  пользователя (не существует такого пользователя)";
        case 9: return "Неверные параметры";
        case 10: return "Ошибка номера структуры";
        case 11: return "Ошибка индекса";
        case 12: return "Ошибка доступа к структуре";
        case 13: return "Ошибка CRC блока данных";
        case 14: return "Ошибка устройства";
        case 15: return "Нет данных";
        case 250: return "Неверный тип пакета (ожидается ответ)";
        case 251: return "Неверный номер счетчика";
        case 252: return "Ошибка CRC данных";
        case 253: return "Неверный номер пакета";
        case 254: return "Ошибка CRC пакета";
        case 255: return "Устройство не ответило на запрос";
        default: return "Ошибка с кодом:" + std::to_string(code);
    }
}

void TMeter::GetResultText(std::uint8_t& code, std::string& text) const {
    code = ResultCode;
    text = ResultText(ResultCode);
}

int TMeter::BuildFrame(std::uint8_t type, bool encipher, const std::uint8_t* payload, int count, std::uint8_t* out) {
    PacketNumber = static_cast<std::uint8_t>((PacketNumber + 1) % 16);
    std::uint8_t body[256];
    std::memcpy(body, payload, static_cast<std::size_t>(count));
    if (encipher) Cipher(body, static_cast<std::size_t>(count), SessionKey);
    std::uint8_t frame[kMaxFrame];
    // Requests carry only the low byte of the version; offset 7 stays 0.
    const int n = BuildMeterFrame(MeterNumber, static_cast<std::uint16_t>(MeterVersion & 0xFF), PacketNumber,
                                  static_cast<std::uint8_t>(type | (encipher ? 0x80 : 0)), body, count, frame);
    return StuffFrame(frame, n, out);
}

bool TMeter::CheckReply(std::uint8_t* frame, int& length) {
    // A frame out of an envelope may be cut short; only L + 12 bytes are a frame.
    if (length < kFrameOverhead || length != frame[1] + kFrameOverhead) {
        ResultCode = kResultFrameCheck;
        return false;
    }
    const int L = frame[1];
    if (!CheckFcs16(frame, static_cast<std::size_t>(10 + L))) {
        ResultCode = kResultFrameCheck;
        return false;
    }
    if ((frame[8] & 0x0F) != PacketNumber) {
        ResultCode = kResultPacketNumber;
        return false;
    }
    if (!(frame[8] & 0x80)) {
        ResultCode = kResultNotReply;
        return false;
    }
    const std::uint32_t number = GetU32LE(frame + 2);
    if (MeterNumber != 0 && number != MeterNumber) {
        ResultCode = kResultWrongMeter;
        return false;
    }
    MeterNumber = number;
    MeterVersion = GetU16LE(frame + 6);
    const int n = length - kFrameOverhead;
    std::uint8_t* payload = frame + 10;
    // A reply holds at least its result code and its sum.
    if (n < 2) {
        ResultCode = kResultDataCheck;
        return false;
    }
    if (frame[9] & 0x80) Cipher(payload + 1, static_cast<std::size_t>(n - 1), SessionKey);
    if (Sum8(payload, static_cast<std::size_t>(n - 1)) != payload[n - 1]) {
        // The result code travels in clear. When the frame check held but the
        // deciphered sum does not, the keys differ; a refusal is still a
        // refusal, and its code is what the user needs to see.
        if ((frame[9] & 0x80) && payload[0] != 0) {
            ResultCode = payload[0];
            frame[0] = payload[0];
            length = 1;
            return true;
        }
        ResultCode = kResultDataCheck;
        return false;
    }
    std::memmove(frame, payload, static_cast<std::size_t>(n - 1));
    length = n - 1;
    ResultCode = frame[0];
    return true;
}

bool TMeter::SendFrame(const std::uint8_t* frame, int length) {
    return Exchange != nullptr && Exchange->SendFrame(frame, length);
}

bool TMeter::ReceiveFrame(std::uint8_t* buffer, int& length, common::Clock::time_point notAfter) {
    return Exchange != nullptr && Exchange->ReceiveFrame(buffer, length, notAfter);
}

bool TMeter::Request(std::uint8_t type, bool encipher, std::uint8_t* payload, int& length) {
    if (Exchange == nullptr || Exchange->Link == nullptr || length < 0 || length > 254) {
        length = 0;
        return false;
    }
    links::TCommunication& link = *Exchange->Link;
    const int count = length;
    std::uint8_t command[256];
    std::memcpy(command, payload, static_cast<std::size_t>(count));
    command[count] = Sum8(command, static_cast<std::size_t>(count));
    unsigned tries = link.TryCount & 0xFF;
    while (tries > 0 && link.Connected) {
        --tries;
        ResultCode = kResultNoAnswer;
        std::uint8_t out[kFrameBufferSize];
        const int n = BuildFrame(type, encipher, command, count + 1, out);
        SendFrame(out, n);
        const auto tryEnd = Exchange->TryEnd();
        for (;;) {
            std::uint8_t reply[kFrameBufferSize];
            int got = 0;
            if (!ReceiveFrame(reply, got, tryEnd)) break;  // this try has failed
            // A reply to an earlier try, another meter's frame or a damaged
            // one is skipped; the wait starts afresh.
            if (!CheckReply(reply, got)) continue;
            std::memcpy(payload, reply, static_cast<std::size_t>(got));
            length = got;
            return true;
        }
        if (tries > 0) common::SleepMs(link.RetryPause);
    }
    length = 0;
    return false;
}

bool TMeter::Command(std::uint8_t type, const std::uint8_t* args, int count, int minReply, const char* okText,
                     const char* errorText, std::uint8_t* reply, int& replyLength) {
    std::memcpy(reply, args, static_cast<std::size_t>(count));
    replyLength = count;
    if (!Request(type, SessionOpen, reply, replyLength)) {
        Trace(errorText);
        return false;
    }
    if (ResultCode != 0) {
        Trace(errorText);
        return false;
    }
    if (replyLength < minReply) {
        // Too short for the fields this command reads: nothing beyond the frame is read.
        ResultCode = kResultDataCheck;
        Trace(errorText);
        return false;
    }
    Trace(okText);
    return true;
}

bool TMeter::OpenSession(std::uint8_t level, std::int32_t password, std::int32_t keyA, std::int32_t keyB) {
    KeyA = Key4::FromNumber(static_cast<std::uint32_t>(keyA));
    KeyB = Key4::FromNumber(static_cast<std::uint32_t>(keyB));
    std::uint8_t buf[kFrameBufferSize];
    int len = 1;
    buf[0] = 0x00;
    if (!Request(kSessionStep, false, buf, len) || ResultCode != 0) {
        Trace("AUTH_0 Error");
        return false;
    }
    if (len != 6) {  // the challenge is four bytes
        ResultCode = kResultDataCheck;
        Trace("AUTH_0 Error");
        return false;
    }
    Trace("AUTH_0 OK");
    std::memcpy(SessionKey.b, buf + 2, 4);
    Cipher(SessionKey.b, 4, KeyA);
    Key4 response = SessionKey;
    Cipher(response.b, 4, KeyB);

    buf[0] = 0x01;
    std::memcpy(buf + 1, response.b, 4);
    len = 5;
    if (!Request(kSessionStep, false, buf, len) || ResultCode != 0) {
        Trace("AUTH_1 Error");
        return false;
    }
    Trace("AUTH_1 OK");
    SessionOpen = true;

    buf[0] = 0x02;
    buf[1] = level;
    PutU32LE(buf + 2, static_cast<std::uint32_t>(password));
    len = 6;
    if (!Request(kSessionStep, true, buf, len) || ResultCode != 0) {
        Trace("AUTH_2 Error");
        return false;
    }
    Trace("AUTH_2 OK");
    return true;
}

bool TMeter::CloseSession() {
    std::uint8_t buf[kFrameBufferSize];
    int len = 0;
    Trace(Request(kSessionClose, false, buf, len) && ResultCode == 0 ? "CloseSeanse OK" : "CloseSeanse Error");
    SessionOpen = false;
    return true;
}

bool TMeter::GetPhaseValues(std::uint8_t maskA, std::uint8_t maskB, std::uint8_t maskC, PhaseValues& values) {
    const std::uint8_t args[] = {0x03, maskA, maskB, maskC};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 4, 5, "Прочитать данные пофазно: OK", "Прочитать данные пофазно: Error!", r, n))
        return false;
    PhaseValues decoded;
    if (!DecodePhaseValues(r, n, decoded)) {
        ResultCode = kResultDataCheck;
        return false;
    }
    values = decoded;
    return true;
}

bool TMeter::SetKeys(std::int32_t keyA, std::int32_t keyB) {
    std::uint8_t args[10] = {0x04, 0x00};
    PutU32LE(args + 2, static_cast<std::uint32_t>(keyA));
    PutU32LE(args + 6, static_cast<std::uint32_t>(keyB));
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 10, 1, "Установить ключи: OK", "Установить ключи: Error!", r, n);
}

bool TMeter::SetUserPassword(std::uint8_t user, std::int32_t password) {
    std::uint8_t args[6] = {0x04, user};
    PutU32LE(args + 2, static_cast<std::uint32_t>(password));
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 6, 1, "Установить пароль: OK", "Установить пароль: Error!", r, n);
}

bool TMeter::SetContactor(std::uint8_t state) {
    const std::uint8_t args[] = {0x05, state};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 2, 1, "Установить состояние контактора: OK",
                   "Установить состояние контактора: Error!", r, n);
}

namespace {
template <std::size_t N>
bool CopyRecord(const std::uint8_t* reply, std::array<std::uint8_t, N>& record) {
    std::memcpy(record.data(), reply + 2, N);
    return true;
}
}  // namespace

bool TMeter::GetParameters(MainParameterRecord& record) {
    const std::uint8_t args[] = {0x06};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 1, 2 + 14, "Прочитать параметры: OK", "Прочитать параметры: Error!", r, n)) return false;
    return CopyRecord(r, record);
}

bool TMeter::SetParameters(const MainParameterRecord& record) {
    std::uint8_t args[15] = {0x06};
    std::memcpy(args + 1, record.data(), record.size());
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 15, 1, "Установить параметры: OK", "Установить параметры: Error!", r, n);
}

bool TMeter::ClearMagnetFlag() {
    const std::uint8_t args[] = {0x07};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 1, 1, "Снять признак воздействия МП: OK", "Снять признак воздействия МП: Error!", r, n);
}

bool TMeter::GetSpeed(std::uint8_t channel, std::uint8_t& speed, std::uint8_t& channelType) {
    speed = 0;
    channelType = 0;
    const std::uint8_t args[] = {0x08, channel};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 2, 5, "Прочитать скорость: OK", "Прочитать скорость: Error!", r, n)) return false;
    speed = r[3];
    channelType = r[4];
    return true;
}

bool TMeter::SetSpeed(std::uint8_t channel, std::uint8_t speed, std::uint8_t channelType) {
    const std::uint8_t args[] = {0x08, channel, speed, channelType};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 4, 1, "Установить скорость: OK", "Установить скорость: Error!", r, n);
}

bool TMeter::GetState(MeterState& state) {
    const std::uint8_t args[] = {0x09};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 1, 2 + 12, "Прочитать состояние: OK", "Прочитать состояние: Error!", r, n)) return false;
    CopyRecord(r, state);
    char line[64];
    const std::uint8_t* s = state.data();
    std::snprintf(line, sizeof line, "Субверсия: %u", s[0]);
    Trace(line);
    std::snprintf(line, sizeof line, "Контактор: %u", s[1]);
    Trace(line);
    std::snprintf(line, sizeof line, "Скорость инт1: %02X", s[2]);
    Trace(line);
    std::snprintf(line, sizeof line, "Скорость инт2: %02X", s[3]);
    Trace(line);
    std::snprintf(line, sizeof line, "LCD mode: %02X", GetU16LE(s + 4));
    Trace(line);
    std::snprintf(line, sizeof line, "Текущий тариф: %u", s[6] + 1u);
    Trace(line);
    std::snprintf(line, sizeof line, "Текущие ошибки: %02X", GetU16LE(s + 7));
    Trace(line);
    std::snprintf(line, sizeof line, "Всего тарифов: %u", s[9]);
    Trace(line);
    std::snprintf(line, sizeof line, "Типы энергий: %02X", GetU16LE(s + 10));
    Trace(line);
    return true;
}

bool TMeter::GetPowerGrafic(std::uint8_t energyType, std::uint8_t block, const DateTime& date, std::uint8_t& count,
                            std::uint16_t* values, std::uint8_t& interval) {
    std::uint8_t args[5] = {0x0A};
    PutU16LE(args + 1, PackDate16(date));
    args[3] = energyType;
    args[4] = block;
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 5, 5, "GetPowerGrafic OK", "GetPowerGrafic Error", r, n)) return false;
    const int c = r[2];
    if (n < 5 + 2 * c) {
        ResultCode = kResultDataCheck;
        return false;
    }
    count = static_cast<std::uint8_t>(c);
    interval = r[4];
    for (int i = 0; i < c; ++i) values[i] = GetU16LE(r + 5 + 2 * i);
    return true;
}

bool TMeter::GetDateTime(DateTime& dateTime) {
    const std::uint8_t args[] = {0x0B};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 1, 10, "GetDateTime OK", "GetDateTime Error", r, n)) return false;
    const auto t = DateTime::make(r[9] * 100 + r[8], r[7], r[6], r[2], r[3], r[4]);
    if (!t) {
        // The meter's clock bytes do not form a date: report it as bad data.
        ResultCode = kResultDataCheck;
        return false;
    }
    dateTime = *t;
    return true;
}

bool TMeter::SetDateTime(const DateTime& t) {
    const std::uint8_t args[] = {0x0B,
                                 ClampByte(t.hour()),
                                 ClampByte(t.minute()),
                                 ClampByte(t.second()),
                                 0x00,
                                 ClampByte(t.day()),
                                 ClampByte(t.month()),
                                 ClampByte(t.year() % 100),
                                 ClampByte(t.year() / 100)};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 9, 1, "SetDateTime OK", "SetDateTime Error", r, n);
}

bool TMeter::GetEnergy(std::uint8_t energyType, std::uint8_t tariff, const DateTime& date, std::uint8_t sliceType,
                       std::uint32_t& value) {
    value = 0;
    std::uint8_t args[6] = {0x0C};
    PutU16LE(args + 1, PackDate16(date));
    args[3] = energyType;
    args[4] = tariff;
    args[5] = sliceType;
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 6, 6, "Получить энергии счётчика: OK", "Получить энергии счётчика: Error!", r, n))
        return false;
    value = GetU32LE(r + 2);
    char line[64];
    std::snprintf(line, sizeof line, "Energy: %.3u W*h", value);
    Trace(line);
    return true;
}

bool TMeter::GetAdditionalParameters(AdditionalParameterRecord& record) {
    const std::uint8_t args[] = {0x0D};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 1, 2 + 8, "Прочитать доп. параметры: OK", "Прочитать доп. параметры: Error!", r, n))
        return false;
    return CopyRecord(r, record);
}

bool TMeter::SetAdditionalParameters(const AdditionalParameterRecord& record) {
    std::uint8_t args[9] = {0x0D};
    std::memcpy(args + 1, record.data(), record.size());
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 9, 1, "Установить доп. параметры: OK", "Установить доп. параметры: Error!", r, n);
}

bool TMeter::GetParameters2(SecondGroupParameterRecord& record) {
    const std::uint8_t args[] = {0x0E};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 1, 2 + 26, "Прочитать параметры: OK", "Прочитать параметры: Error!", r, n)) return false;
    return CopyRecord(r, record);
}

bool TMeter::SetParameters2(const SecondGroupParameterRecord& record) {
    std::uint8_t args[27] = {0x0E};
    std::memcpy(args + 1, record.data(), record.size());
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 27, 1, "Установить параметры: OK", "Установить параметры: Error!", r, n);
}

bool TMeter::GetStatus(MeterStatus& status) {
    const std::uint8_t args[] = {0x0F};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 1, 2 + 12, "Прочитать состояние: OK", "Прочитать состояние: Error!", r, n)) return false;
    return CopyRecord(r, status);
}

bool TMeter::GetStruct(std::uint8_t structure, std::uint16_t index, int& length, std::uint8_t* data) {
    std::uint8_t args[4] = {0x14, structure};
    PutU16LE(args + 2, index);
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 4, 5, "GetStruct OK", "GetStruct Error", r, n)) return false;
    length = n - 5;
    std::memcpy(data, r + 5, static_cast<std::size_t>(length));
    return true;
}

bool TMeter::SetStruct(std::uint8_t structure, std::uint16_t index, const std::uint8_t* data, int length) {
    if (length < 0 || length > 250) {  // command, structure and index share the 254-byte payload
        ResultCode = 9;
        return false;
    }
    std::uint8_t args[256] = {0x14, structure};
    PutU16LE(args + 2, index);
    std::memcpy(args + 4, data, static_cast<std::size_t>(length));
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 4 + length, 1, "SetStruct OK", "SetStruct Error", r, n);
}

bool TMeter::GetIUCoefficients(std::uint16_t& currentRatio, std::uint16_t& voltageRatio, DateTime& lastChange,
                               std::uint16_t& changeCount) {
    currentRatio = voltageRatio = changeCount = 0;
    lastChange = DateTime{};
    const std::uint8_t args[] = {0x1F};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 1, 12, "Прочитать коэффициенты IU: OK", "Прочитать коэффициенты IU: Error!", r, n))
        return false;
    currentRatio = GetU16LE(r + 2);
    voltageRatio = GetU16LE(r + 4);
    lastChange = UnpackDateTime32(GetU32LE(r + 6));
    changeCount = GetU16LE(r + 10);
    return true;
}

bool TMeter::SetIUCoefficients(std::uint16_t currentRatio, std::uint16_t voltageRatio) {
    std::uint8_t args[5] = {0x1F};
    PutU16LE(args + 1, currentRatio);
    PutU16LE(args + 3, voltageRatio);
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 5, 1, "Установить коэффициенты IU: OK", "Установить коэффициенты IU: Error!", r, n);
}

bool TMeter::GetLoraPower(std::uint8_t& level) {
    level = 0;
    const std::uint8_t args[] = {0x29};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 1, 3, "Прочитать мощность LORA: OK", "Прочитать мощность LORA: Error!", r, n))
        return false;
    level = r[2];
    return true;
}

bool TMeter::SetLoraPower(std::uint8_t level) {
    const std::uint8_t args[] = {0x29, level};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 2, 1, "Установить мощность LORA: OK", "Установить мощность LORA: Error!", r, n);
}

bool TMeter::ServiceFunction(std::uint8_t function) {
    const std::uint8_t args[] = {0x00, function};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 2, 1, "ServiceFunction OK", "ServiceFunction Error", r, n);
}

bool TMeter::GetCalibrationCoeff(CalibrationCoefficients& data) {
    const std::uint8_t args[] = {0x00, 0x02};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kRead, args, 2, 45, "GetCalibrationCoeff OK", "GetCalibrationCoeff Error", r, n)) return false;
    std::memcpy(data.data(), r + 3, data.size());
    return true;
}

bool TMeter::LeavePLCNetwork() {
    const std::uint8_t args[] = {0x00, 0x03};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    return Command(kWrite, args, 2, 1, "LeavePLCNetwork OK", "LeavePLCNetwork Error", r, n);
}

bool TMeter::SetAMinusCheckMode(std::uint8_t& allowance) {
    allowance = 0;
    const std::uint8_t args[] = {0x00, 0x08};
    std::uint8_t r[kFrameBufferSize];
    int n = 0;
    if (!Command(kWrite, args, 2, 4, "ServiceFunction OK", "ServiceFunction Error", r, n)) return false;
    allowance = r[3];
    return true;
}

bool TMeter::ExitTransparentMode() {
    static constexpr std::uint8_t kStars[5] = {0x2A, 0x2A, 0x2A, 0x2A, 0x2A};
    return SendFrame(kStars, 5);
}

}  // namespace meter34
