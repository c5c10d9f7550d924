#include "Parameters.h"

#include <cctype>
#include <cstdio>

#include "common/core/DateTime.h"
#include "meter34/Structures.h"

namespace manager::core {

using common::Field;
using meter34::GetU16LE;
using meter34::GetU32LE;
using meter34::PutU16LE;
using meter34::PutU32LE;

namespace {

constexpr const char* kDisplayRows[] = {"P",
                                        "U",
                                        "I",
                                        "A-",
                                        "F",
                                        "Зав. номер",
                                        "Время",
                                        "Дату",
                                        "Энергию на начало месяца",
                                        "Активный тариф",
                                        "Версию счетчика",
                                        "Энергию по Т1",
                                        "Энергию по Т2",
                                        "Энергию по Т3",
                                        "Энергию по Т4",
                                        "Нули",
                                        "Состояние контактора"};
constexpr const char* kContactorRows[] = {"По интерфейсу",
                                          "По превышению мощности А+",
                                          "По воздействию магнитного поля",
                                          "По воздействию радио поля",
                                          "По напряжению",
                                          "По тарифу",
                                          "С задержкой включения при управлении по интерфейсу",
                                          "Запретить автовключение после превышения мощности",
                                          "По превышению мощности А-",
                                          "По превышению тока"};
constexpr const char* kPeriodItems[] = {"1 минута", "2 минуты", "3 минуты", "5 минут",
                                        "10 минут", "15 минут", "30 минут", "1 час"};
constexpr const char* kTimeShiftItems[] = {"Нет", "По таблице", "Автоматически"};
constexpr const char* kSecondDisplayRows[] = {"3 знака после запятой в энергии", "Скорости интерфейсов",
                                              "Статус GPRS-соединения"};
constexpr const char* kExternalContactorRows[] = {"Включить по тарифу 1", "Включить по тарифу 2",
                                                  "Включить по тарифу 3", "Включить по тарифу 4",
                                                  "Управлять по тарифу",  "Управлять по интерфейсу"};

static_assert(std::size(kDisplayRows) == MainParameterValues::kDisplayRows);
static_assert(std::size(kContactorRows) == MainParameterValues::kContactorRows);
static_assert(std::size(kSecondDisplayRows) == SecondGroupParameterValues::kDisplayRows);
static_assert(std::size(kExternalContactorRows) == SecondGroupParameterValues::kExternalContactorRows);

// The record's 32-bit fields hold the value times the scale; the controls
// are limited so that every value fits (and the decoder's rounding cannot
// leave the range either).
constexpr long long kInt32Min = -2147483648LL, kInt32Max = 2147483647LL;
constexpr long long Scaled(long long limit, long long scale) { return limit / scale; }

// value / scale, rounded to the nearest whole number, halves away from zero.
long long RoundDiv(long long value, long long scale) {
    return value >= 0 ? (value + scale / 2) / scale : -((-value + scale / 2) / scale);
}

std::uint8_t Bits(const bool* rows, int count, int firstBit = 0) {
    unsigned v = 0;
    for (int i = 0; i < count; ++i)
        if (rows[i]) v |= 1u << (firstBit + i);
    return static_cast<std::uint8_t>(v);
}

void Ticks(unsigned bits, bool* rows, int count) {
    for (int i = 0; i < count; ++i) rows[i] = (bits >> i) & 1u;
}

// "dd.mm" (one or two digits each, blanks around allowed) of a day that
// exists in the year 2000, or false.
bool ParseDayMonth(const std::string& text, int& day, int& month) {
    std::size_t i = 0;
    auto blanks = [&] {
        while (i < text.size() && text[i] == ' ') ++i;
    };
    auto number = [&](int& out) {
        const std::size_t start = i;
        out = 0;
        while (i < text.size() && i - start < 2 && std::isdigit(static_cast<unsigned char>(text[i])))
            out = out * 10 + (text[i++] - '0');
        return i > start;
    };
    blanks();
    if (!number(day) || i >= text.size() || text[i++] != '.' || !number(month)) return false;
    blanks();
    return i == text.size() && common::DateTime::isValidDate(2000, month, day);
}

std::string TwoDigits(int a, int b) {
    char s[16];
    std::snprintf(s, sizeof s, "%02d.%02d", a, b);
    return s;
}

// A change moment packed as hour | day << 5 | month << 10.
bool PackChange(const std::string& date, int hour, std::uint16_t& word, std::string& reason) {
    int day = 0, month = 0;
    if (!ParseDayMonth(date, day, month)) {
        reason = "неверная дата перехода «" + date + "»";
        return false;
    }
    const auto moment = common::DateTime::make(2000, month, day, hour);
    if (!moment) {
        reason = "неверный час перехода " + std::to_string(hour);
        return false;
    }
    word = meter34::PackDayHour16(*moment);
    return true;
}

// The date text and hour a packed word stands for. The fields are shown as
// they came, also when they make no moment (day 0, month 13, hour 25...), so
// that a later write refuses them rather than sending something else; the
// hour passes the field's limits. A zero word is the calendar origin of the
// window's date type, 30 December, 0 h.
void UnpackChange(std::uint16_t word, std::string& date, int& hour) {
    if (word == 0) {
        date = TwoDigits(30, 12);
        hour = 0;
        return;
    }
    date = TwoDigits((word >> 5) & 0x1F, (word >> 10) & 0x0F);
    hour = word & 0x1F;
}

constexpr char kNoData[] = "Нет данных";

// One record read into the values, pending events let run once after the
// exchange; false with prefix and the meter's reason, the values untouched.
template <class Record, class Values>
bool ReadRecord(OperationContext& ctx, bool (meter34::TMeter::*get)(Record&),
                void (*decode)(const Record&, Values&), Values& v, const char* prefix) {
    Record r{};
    const bool ok = (ctx.Meter().*get)(r);
    ctx.Hooks.ProcessEvents();
    if (!ok) return ctx.Fail(prefix);
    decode(r, v);
    return true;
}

// One record written, pending events let run once after the exchange.
template <class Record>
bool WriteRecord(OperationContext& ctx, bool (meter34::TMeter::*set)(const Record&), const Record& r,
                 const char* prefix) {
    const bool ok = (ctx.Meter().*set)(r);
    ctx.Hooks.ProcessEvents();
    return ok || ctx.Fail(prefix);
}

}  // namespace

// ---- "Параметры" ----

std::span<const char* const> DisplayRowTexts() { return kDisplayRows; }
std::span<const char* const> ContactorRowTexts() { return kContactorRows; }

common::Fields MainParameterValues::Fields() {
    common::Fields f = {Field::Integer("InfoTimeEdit", InfoTimeEdit, 3, 10),
                        Field::Integer("MaxPowerEdit", MaxPowerEdit, 2, 25000),
                        Field::Integer("MaxPowerTimeEdit", MaxPowerTimeEdit, 0, 60)};
    common::AddTicks(f, "LCDCheckListBox", LCDCheckListBox, kDisplayRows);
    common::AddTicks(f, "ContactorControlCheckListBox", ContactorControlCheckListBox, kContactorRows);
    f.push_back(Field::Integer("ContactorOnTimeEdit", ContactorOnTimeEdit, 15, 300));
    f.push_back(Field::Tick("ReinitCheckBox", ReinitCheckBox));
    f.push_back(Field::Integer("ReinitTimeEdit", ReinitTimeEdit, 30, 10000));
    return f;
}

meter34::MainParameterRecord EncodeMainParameters(const MainParameterValues& values) {
    MainParameterValues v = values;
    common::ClampToLimits(v.Fields());
    meter34::MainParameterRecord r{};
    PutU16LE(r.data(), static_cast<std::uint16_t>(Bits(v.LCDCheckListBox, 8) | (Bits(v.LCDCheckListBox + 8, 8) << 8)));
    r[2] = static_cast<std::uint8_t>(v.InfoTimeEdit);
    PutU32LE(r.data() + 3, static_cast<std::uint32_t>(v.MaxPowerEdit * 100));
    r[7] = static_cast<std::uint8_t>(v.MaxPowerTimeEdit);
    PutU16LE(r.data() + 8, static_cast<std::uint16_t>(v.ContactorOnTimeEdit));
    // Rows 0-5 in bits 0-5, row 6 in bit 7; bit 6 stays 0.
    const bool* c = v.ContactorControlCheckListBox;
    r[10] = static_cast<std::uint8_t>(Bits(c, 6) | (c[6] ? 0x80 : 0));
    r[11] = static_cast<std::uint8_t>((v.ReinitCheckBox ? 0x01 : 0) | (v.LCDCheckListBox[16] ? 0x02 : 0) |
                                      Bits(c + 7, 3, 2));
    PutU16LE(r.data() + 12, static_cast<std::uint16_t>(v.ReinitTimeEdit));
    return r;
}

void DecodeMainParameters(const meter34::MainParameterRecord& r, MainParameterValues& v) {
    Ticks(GetU16LE(r.data()), v.LCDCheckListBox, 16);
    v.LCDCheckListBox[16] = r[11] & 0x02;
    bool* c = v.ContactorControlCheckListBox;
    Ticks(r[10], c, 6);
    c[6] = r[10] & 0x80;
    Ticks(r[11] >> 2, c + 7, 3);
    v.ReinitCheckBox = r[11] & 0x01;
    v.InfoTimeEdit = r[2];
    v.MaxPowerEdit = static_cast<int>(RoundDiv(static_cast<std::int32_t>(GetU32LE(r.data() + 3)), 100));
    v.MaxPowerTimeEdit = r[7];
    v.ContactorOnTimeEdit = GetU16LE(r.data() + 8);
    v.ReinitTimeEdit = GetU16LE(r.data() + 12);
    common::ClampToLimits(v.Fields());
}

bool ReadMainParameters(OperationContext& ctx, MainParameterValues& v) {
    return ReadRecord(ctx, &meter34::TMeter::GetParameters, DecodeMainParameters, v, "Ошибка чтения параметров: ") &&
           ctx.Succeed("Параметры прочитаны");
}

bool WriteMainParameters(OperationContext& ctx, const MainParameterValues& v) {
    return WriteRecord(ctx, &meter34::TMeter::SetParameters, EncodeMainParameters(v), "Ошибка записи параметров: ") &&
           ctx.Succeed("Параметры записаны");
}

// ---- "Дополнительные параметры" ----

std::span<const char* const> PeriodItems() { return kPeriodItems; }
std::span<const char* const> TimeShiftItems() { return kTimeShiftItems; }

common::Fields AdditionalParameterValues::Fields() {
    return {Field::Integer("SecAutoCorrectTimeEdit", SecAutoCorrectTimeEdit, -5, 5),
            Field::Choice("PeriodComboBox", PeriodComboBox, kPeriodItems),
            Field::Choice("TimeShiftComboBox", TimeShiftComboBox, kTimeShiftItems),
            Field::Text("SummerDateEdit", SummerDateEdit, 5),
            Field::Integer("SummerTimeEdit", SummerTimeEdit, 2, 22),
            Field::Integer("SummerShiftEdit", SummerShiftEdit, -1, 1),
            Field::Text("WinterDateEdit", WinterDateEdit, 5),
            Field::Integer("WinterTimeEdit", WinterTimeEdit, 2, 22),
            Field::Integer("WinterShiftEdit", WinterShiftEdit, -1, 1)};
}

bool EncodeAdditionalParameters(const AdditionalParameterValues& values, meter34::AdditionalParameterRecord& r,
                                std::string& reason) {
    AdditionalParameterValues v = values;
    common::ClampToLimits(v.Fields());
    if (v.PeriodComboBox < 0 || v.PeriodComboBox >= static_cast<int>(std::size(kPeriodItems))) {
        reason = "не выбран период интеграции";
        return false;
    }
    std::uint16_t summer = 0, winter = 0;
    if (!PackChange(v.SummerDateEdit, v.SummerTimeEdit, summer, reason) ||
        !PackChange(v.WinterDateEdit, v.WinterTimeEdit, winter, reason))
        return false;
    // "Нет" 0, "По таблице" 1, "Автоматически" 3; nothing chosen is "Нет".
    static constexpr std::uint8_t kShiftBits[] = {0, 1, 3};
    const int shift = v.TimeShiftComboBox;
    const std::uint8_t shiftBits = shift >= 0 && shift < 3 ? kShiftBits[shift] : 0;
    r = {};
    r[0] = static_cast<std::uint8_t>(static_cast<std::int8_t>(v.SecAutoCorrectTimeEdit));
    r[1] = static_cast<std::uint8_t>(shiftBits | (v.PeriodComboBox << 5));
    PutU16LE(r.data() + 2, summer);
    r[4] = static_cast<std::uint8_t>(static_cast<std::int8_t>(v.SummerShiftEdit));
    PutU16LE(r.data() + 5, winter);
    r[7] = static_cast<std::uint8_t>(static_cast<std::int8_t>(v.WinterShiftEdit));
    return true;
}

void DecodeAdditionalParameters(const meter34::AdditionalParameterRecord& r, AdditionalParameterValues& v) {
    v.SecAutoCorrectTimeEdit = static_cast<std::int8_t>(r[0]);
    // Bit 0 clear is "Нет" whatever bit 1 says.
    v.TimeShiftComboBox = !(r[1] & 0x01) ? 0 : !(r[1] & 0x02) ? 1 : 2;
    v.PeriodComboBox = r[1] >> 5;
    UnpackChange(GetU16LE(r.data() + 2), v.SummerDateEdit, v.SummerTimeEdit);
    v.SummerShiftEdit = static_cast<std::int8_t>(r[4]);
    UnpackChange(GetU16LE(r.data() + 5), v.WinterDateEdit, v.WinterTimeEdit);
    v.WinterShiftEdit = static_cast<std::int8_t>(r[7]);
    common::ClampToLimits(v.Fields());
}

bool ReadAdditionalParameters(OperationContext& ctx, AdditionalParameterValues& v) {
    return ReadRecord(ctx, &meter34::TMeter::GetAdditionalParameters, DecodeAdditionalParameters, v,
                      "Ошибка чтения дополнительных параметров: ") &&
           ctx.Succeed("Дополнительные параметры прочитаны");
}

bool WriteAdditionalParameters(OperationContext& ctx, const AdditionalParameterValues& v) {
    constexpr char kPrefix[] = "Ошибка записи дополнительных параметров: ";
    meter34::AdditionalParameterRecord r{};
    std::string reason;
    if (!EncodeAdditionalParameters(v, r, reason)) {
        ctx.StatusText = kPrefix + reason;
        return false;
    }
    return WriteRecord(ctx, &meter34::TMeter::SetAdditionalParameters, r, kPrefix) &&
           ctx.Succeed("Дополнительные параметры записаны");
}

// ---- "Коэффициенты" ----

common::Fields TransformationRatioValues::Fields() {
    return {Field::Integer("CurrentRatioEdit", CurrentRatioEdit, 0, 65535),
            Field::Integer("VoltageRatioEdit", VoltageRatioEdit, 0, 65535),
            Field::Text("CurrentVoltageRatioChangesCountLabel", CurrentVoltageRatioChangesCountLabel),
            Field::Text("CurrentVoltageRatioLastDateLabel", CurrentVoltageRatioLastDateLabel)};
}

bool ReadTransformationRatios(OperationContext& ctx, TransformationRatioValues& v) {
    v.CurrentVoltageRatioChangesCountLabel = kNoData;
    v.CurrentVoltageRatioLastDateLabel = kNoData;
    std::uint16_t current = 0, voltage = 0, changes = 0;
    common::DateTime last;
    if (!ctx.Meter().GetIUCoefficients(current, voltage, last, changes))
        return ctx.Fail("Ошибка чтения коэффициентов трансформации: ");
    v.CurrentRatioEdit = current;
    v.VoltageRatioEdit = voltage;
    v.CurrentVoltageRatioChangesCountLabel = "Изменений: " + std::to_string(changes);
    // A stamp that does not unpack to a moment is no date either.
    if (!last.isEmpty()) v.CurrentVoltageRatioLastDateLabel = "Последнее: " + ctx.Formats.DateAndTime(last);
    return ctx.Succeed("Коэффициентов трансформации прочитаны");
}

bool WriteTransformationRatios(OperationContext& ctx, const TransformationRatioValues& values) {
    TransformationRatioValues v = values;
    common::ClampToLimits(v.Fields());
    if (!ctx.Meter().SetIUCoefficients(static_cast<std::uint16_t>(v.CurrentRatioEdit),
                                       static_cast<std::uint16_t>(v.VoltageRatioEdit)))
        return ctx.Fail("Ошибка записи коэффициентов трансформации: ");
    return ctx.Succeed("Коэффициентов трансформации записаны");
}

// ---- "Параметры второй группы" ----

std::span<const char* const> SecondDisplayRowTexts() { return kSecondDisplayRows; }
std::span<const char* const> ExternalContactorRowTexts() { return kExternalContactorRows; }

common::Fields SecondGroupParameterValues::Fields() {
    common::Fields f;
    common::AddTicks(f, "LCD2CheckListBox", LCD2CheckListBox, kDisplayRows);
    f.push_back(Field::Integer("Max_AminusEdit", Max_AminusEdit, Scaled(kInt32Min, 100), Scaled(kInt32Max, 100)));
    f.push_back(Field::Integer("Max_IEdit", Max_IEdit, Scaled(kInt32Min, 1000), Scaled(kInt32Max, 1000)));
    f.push_back(Field::Integer("Max_AminusTimeEdit", Max_AminusTimeEdit, 0, 255));
    f.push_back(Field::Integer("Max_AminusOnTimeEdit", Max_AminusOnTimeEdit, 0, 65535));
    f.push_back(Field::Integer("Max_ITimeEdit", Max_ITimeEdit, 0, 255));
    f.push_back(Field::Integer("Max_IOnTimeEdit", Max_IOnTimeEdit, 0, 65535));
    f.push_back(Field::Integer("VoltageOnTimeEdit", VoltageOnTimeEdit, 0, 65535));
    common::AddTicks(f, "ExternalContactorModeCheckListBox", ExternalContactorModeCheckListBox,
                     kExternalContactorRows);
    return f;
}

meter34::SecondGroupParameterRecord EncodeSecondGroupParameters(const SecondGroupParameterValues& values) {
    SecondGroupParameterValues v = values;
    common::ClampToLimits(v.Fields());
    meter34::SecondGroupParameterRecord r{};
    PutU16LE(r.data(), Bits(v.LCD2CheckListBox, 3));
    PutU32LE(r.data() + 2, static_cast<std::uint32_t>(v.Max_AminusEdit * 100));
    PutU32LE(r.data() + 6, static_cast<std::uint32_t>(v.Max_IEdit * 1000));
    r[10] = static_cast<std::uint8_t>(v.Max_AminusTimeEdit);
    PutU16LE(r.data() + 11, static_cast<std::uint16_t>(v.Max_AminusOnTimeEdit));
    r[13] = static_cast<std::uint8_t>(v.Max_ITimeEdit);
    PutU16LE(r.data() + 14, static_cast<std::uint16_t>(v.Max_IOnTimeEdit));
    r[16] = v.Unshown[0];
    PutU16LE(r.data() + 17, static_cast<std::uint16_t>(v.VoltageOnTimeEdit));
    r[19] = Bits(v.ExternalContactorModeCheckListBox, 6);
    for (int i = 0; i < 6; ++i) r[static_cast<std::size_t>(20 + i)] = v.Unshown[static_cast<std::size_t>(1 + i)];
    return r;
}

void DecodeSecondGroupParameters(const meter34::SecondGroupParameterRecord& r, SecondGroupParameterValues& v) {
    Ticks(GetU16LE(r.data()), v.LCD2CheckListBox, 3);
    v.Max_AminusEdit = static_cast<int>(RoundDiv(static_cast<std::int32_t>(GetU32LE(r.data() + 2)), 100));
    v.Max_IEdit = static_cast<int>(RoundDiv(static_cast<std::int32_t>(GetU32LE(r.data() + 6)), 1000));
    v.Max_AminusTimeEdit = r[10];
    v.Max_AminusOnTimeEdit = GetU16LE(r.data() + 11);
    v.Max_ITimeEdit = r[13];
    v.Max_IOnTimeEdit = GetU16LE(r.data() + 14);
    v.VoltageOnTimeEdit = GetU16LE(r.data() + 17);
    Ticks(r[19], v.ExternalContactorModeCheckListBox, 6);
    v.Unshown[0] = r[16];
    for (int i = 0; i < 6; ++i) v.Unshown[static_cast<std::size_t>(1 + i)] = r[static_cast<std::size_t>(20 + i)];
    common::ClampToLimits(v.Fields());
}

bool ReadSecondGroupParameters(OperationContext& ctx, SecondGroupParameterValues& v) {
    // No text of its own on success.
    return ReadRecord(ctx, &meter34::TMeter::GetParameters2, DecodeSecondGroupParameters, v,
                      "Ошибка чтения параметров: ");
}

bool WriteSecondGroupParameters(OperationContext& ctx, const SecondGroupParameterValues& v) {
    return WriteRecord(ctx, &meter34::TMeter::SetParameters2, EncodeSecondGroupParameters(v),
                       "Ошибка записи параметров: ") &&
           ctx.Succeed("Параметры записаны");
}

}  // namespace manager::core
