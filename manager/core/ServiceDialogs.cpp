#include "ServiceDialogs.h"

#include <cstdint>

namespace manager::core {

namespace {

template <std::size_t N>
bool WriteStructure(OperationContext& ctx, std::uint8_t number, const std::array<std::uint8_t, N>& record,
                    const char* prefix) {
    return ctx.Meter().SetStruct(number, 0, record.data(), static_cast<int>(N)) || ctx.Fail(prefix);
}

std::string NotChosen(const char* label) { return std::string("не выбрано значение в поле «") + label + "»"; }
std::string BadValue(const char* label) { return std::string("неверное значение в поле «") + label + "»"; }

constexpr char kSpeedReadError[] = "Ошибка чтения скорости интерфейса: ";
constexpr char kSpeedWriteError[] = "Ошибка записи скорости интерфейса: ";
constexpr char kVoltageReadError[] = "Ошибка чтения структуры напряжений: ";
constexpr char kVoltageWriteError[] = "Ошибка записи структуры напряжений: ";
constexpr char kContactorReadError[] = "Ошибка чтения структуры управления контактором по тарифам: ";
constexpr char kContactorWriteError[] = "Ошибка записи структуры управления контактором по тарифам: ";
constexpr char kApnReadError[] = "Ошибка чтения структуры APN: ";
constexpr char kTcpReadError[] = "Ошибка чтения структуры TCP: ";
constexpr char kApnWriteError[] = "Ошибка записи структуры APN: ";
constexpr char kTcpWriteError[] = "Ошибка записи структуры TCP: ";
constexpr char kFunctionsReadError[] = "Ошибка чтения параметров дополнительных функций: ";
constexpr char kFunctionsWriteError[] = "Ошибка записи параметров дополнительных функций: ";
constexpr char kPulsesReadError[] = "Ошибка чтения числа поверочных импульсов: ";
constexpr char kPulsesWriteError[] = "Ошибка записи числа поверочных импульсов: ";
constexpr char kLoraReadError[] = "Ошибка чтения мощности LORA: ";
constexpr char kLoraWriteError[] = "Ошибка установки мощности LORA: ";
constexpr char kPasswordWriteError[] = "Ошибка записи пароля доступа: ";
constexpr char kKeysWriteError[] = "Ошибка записи ключей доступа: ";

// The Internet write: the APN that does not fit is refused before anything is sent.
std::string CheckInternet(const InternetValues& v) {
    return v.APNEdit.size() > static_cast<std::size_t>(InternetValues::kApnLength)
               ? "в поле «APN» больше " + std::to_string(InternetValues::kApnLength) + " символов"
               : std::string();
}

std::string CheckSpeed(const SpeedValues& v) {
    if (v.ChannelNumberComboBox < 0) return NotChosen("Номер канала");
    if (v.ChannelTypeComboBox < 0) return NotChosen("Тип");
    if (v.ChannelSpeedComboBox < 0) return NotChosen("Скорость (bps)");
    return {};
}

std::string CheckContactorTariffs(const ContactorTariffValues& v) {
    static constexpr const char* kLabels[] = {"Тарифа 1", "Тарифа 2", "Тарифа 3", "Тарифа 4"};
    const int boxes[] = {v.ComboBox1, v.ComboBox2, v.ComboBox3, v.ComboBox4};
    for (int t = 0; t < 4; ++t)
        if (boxes[t] < 0) return NotChosen(kLabels[t]);
    return {};
}

std::string CheckPulses(const PulsesValues& v) {
    return v.total_energy_pulse_thresholdComboBox < 0 ? NotChosen("Поверочных импульсов") : std::string();
}

std::string CheckLoraPower(const LoraPowerValues& v) {
    return v.LoraPowerComboBox < 0 ? NotChosen("Мощность mW") : std::string();
}

// A write of values that cannot be sent fails before its exchange (the
// dialogs check earlier still, before access is opened).
bool Refused(OperationContext& ctx, const char* prefix, const std::string& reason) {
    ctx.StatusText = prefix + reason;
    return false;
}

}  // namespace

bool ReadSpeed(OperationContext& ctx, SpeedValues& v) {
    if (v.ChannelNumberComboBox < 0) return Refused(ctx, kSpeedReadError, NotChosen("Номер канала"));
    std::uint8_t speed = 0, type = 0;
    if (!ctx.Meter().GetSpeed(static_cast<std::uint8_t>(v.ChannelNumberComboBox), speed, type))
        return ctx.Fail(kSpeedReadError);
    // A code the lists do not hold leaves its list without a choice.
    v.ChannelSpeedComboBox = speed < std::size(SpeedValues::kSpeedItems) ? speed : -1;
    v.ChannelTypeComboBox = type < std::size(SpeedValues::kTypeItems) ? type : -1;
    return ctx.Succeed("Скорость интерфейса прочитана");
}

bool WriteSpeed(OperationContext& ctx, const SpeedValues& v) {
    if (const std::string reason = CheckSpeed(v); !reason.empty()) return Refused(ctx, kSpeedWriteError, reason);
    if (!ctx.Meter().SetSpeed(static_cast<std::uint8_t>(v.ChannelNumberComboBox),
                              static_cast<std::uint8_t>(v.ChannelSpeedComboBox),
                              static_cast<std::uint8_t>(v.ChannelTypeComboBox)))
        return ctx.Fail(kSpeedWriteError);
    return ctx.Succeed("Скорость интерфейса записана");
}

bool ReadVoltage(OperationContext& ctx, VoltageValues& v) {
    std::uint8_t data[256];
    if (!ctx.ReadStructure(kVoltageStructure, 0, kVoltageSize, data, kVoltageReadError)) return false;
    DecodeVoltage(data, v);
    return ctx.Succeed("Структура напряжений прочитана");
}

bool WriteVoltage(OperationContext& ctx, const VoltageValues& v) {
    if (!WriteStructure(ctx, kVoltageStructure, EncodeVoltage(v), kVoltageWriteError)) return false;
    return ctx.Succeed("Структура напряжений записана");
}

bool ReadContactorTariffs(OperationContext& ctx, ContactorTariffValues& v) {
    std::uint8_t data[256];
    if (!ctx.ReadStructure(kContactorTariffStructure, 0, kContactorTariffSize, data, kContactorReadError)) return false;
    DecodeContactorTariffs(data, v);
    return ctx.Succeed("Структура управления контактором по тарифам прочитана");
}

bool WriteContactorTariffs(OperationContext& ctx, const ContactorTariffValues& v) {
    if (const std::string reason = CheckContactorTariffs(v); !reason.empty())
        return Refused(ctx, kContactorWriteError, reason);
    if (!WriteStructure(ctx, kContactorTariffStructure, EncodeContactorTariffs(v), kContactorWriteError)) return false;
    return ctx.Succeed("Структура управления контактором по тарифам записана");
}

bool ReadInternet(OperationContext& ctx, InternetValues& v) {
    std::uint8_t data[256];
    InternetValues read = v;
    if (!ctx.ReadStructure(kApnStructure, 0, kApnSize, data, kApnReadError)) return false;
    DecodeApn(data, read);
    ctx.StatusText = "Структура APN прочитана";
    ctx.Hooks.SetStep(ctx.StatusText);
    if (!ctx.ReadStructure(kTcpStructure, 0, kTcpSize, data, kTcpReadError)) return false;
    DecodeTcp(data, read);
    ctx.StatusText = "Структура TCP прочитана";
    ctx.Hooks.SetStep(ctx.StatusText);
    v = read;
    return ctx.Succeed("Параметры Internet подключения прочитаны");
}

bool WriteInternet(OperationContext& ctx, const InternetValues& v) {
    std::array<std::uint8_t, kApnSize> apn{};
    if (!EncodeApn(v, apn)) return Refused(ctx, kApnWriteError, CheckInternet(v));
    if (!WriteStructure(ctx, kApnStructure, apn, kApnWriteError)) return false;
    ctx.StatusText = "Структура APN записана";
    ctx.Hooks.SetStep(ctx.StatusText);
    // Written only after the APN was: a failure here leaves the new APN in the meter.
    if (!WriteStructure(ctx, kTcpStructure, EncodeTcp(v), kTcpWriteError)) return false;
    ctx.StatusText = "Структура TCP записана";
    ctx.Hooks.SetStep(ctx.StatusText);
    return ctx.Succeed("Параметры Internet подключения записаны");
}

bool ReadFunctions(OperationContext& ctx, FunctionsValues& v) {
    std::uint8_t data[256];
    if (!ctx.ReadStructure(kFunctionsStructure, 0, kFunctionsSize, data, kFunctionsReadError)) return false;
    DecodeFunctions(data, v);
    return ctx.Succeed("Параметры дополнительных функций прочитаны");
}

bool WriteFunctions(OperationContext& ctx, const FunctionsValues& v) {
    if (!WriteStructure(ctx, kFunctionsStructure, EncodeFunctions(v), kFunctionsWriteError)) return false;
    return ctx.Succeed("Параметры дополнительных функций записаны");
}

bool ReadPulses(OperationContext& ctx, PulsesValues& v) {
    std::uint8_t data[256];
    if (!ctx.ReadStructure(kPulsesStructure, 0, kPulsesSize, data, kPulsesReadError)) return false;
    DecodePulses(data, v);
    return ctx.Succeed("Число поверочных импульсов прочитано");
}

bool WritePulses(OperationContext& ctx, const PulsesValues& v) {
    if (const std::string reason = CheckPulses(v); !reason.empty()) return Refused(ctx, kPulsesWriteError, reason);
    if (!WriteStructure(ctx, kPulsesStructure, EncodePulses(v), kPulsesWriteError)) return false;
    return ctx.Succeed("Число поверочных импульсов записано");
}

bool ReadCalibration(OperationContext& ctx, CalibrationValues& v) {
    meter34::CalibrationCoefficients data{};
    if (!ctx.Meter().GetCalibrationCoeff(data)) return ctx.Fail("Ошибка чтения калибровочных коэффициентов: ");
    DecodeCalibration(data.data(), v);
    return ctx.Succeed({});
}

bool ReadLoraPower(OperationContext& ctx, LoraPowerValues& v) {
    std::uint8_t level = 0;
    if (!ctx.Meter().GetLoraPower(level)) return ctx.Fail(kLoraReadError);
    v.LoraPowerComboBox = level < std::size(LoraPowerValues::kPowerItems) ? level : -1;
    return ctx.Succeed("Мощность LORA прочитана");
}

bool WriteLoraPower(OperationContext& ctx, const LoraPowerValues& v) {
    if (const std::string reason = CheckLoraPower(v); !reason.empty()) return Refused(ctx, kLoraWriteError, reason);
    if (!ctx.Meter().SetLoraPower(static_cast<std::uint8_t>(v.LoraPowerComboBox))) return ctx.Fail(kLoraWriteError);
    return ctx.Succeed("Мощность LORA установлена");
}

std::string CheckUserPassword(const UserPasswordValues& v) {
    std::int32_t password = 0;
    if (v.PasswordLevelComboBox < 0 || !ParseNumber32(v.PasswordValueEdit, password))
        return BadValue("Уровень доступа/пароль");
    return {};
}

std::string CheckKeys(const KeysValues& v) {
    std::int32_t key = 0;
    if (!ParseNumber32(v.KeyAEdit, key)) return BadValue("Ключ А");
    if (!ParseNumber32(v.KeyBEdit, key)) return BadValue("Ключ Б");
    return {};
}

bool WriteUserPassword(OperationContext& ctx, const UserPasswordValues& v) {
    if (const std::string reason = CheckUserPassword(v); !reason.empty())
        return Refused(ctx, kPasswordWriteError, reason);
    std::int32_t password = 0;
    ParseNumber32(v.PasswordValueEdit, password);
    // The level is the number of the item chosen.
    if (!ctx.Meter().SetUserPassword(static_cast<std::uint8_t>(v.PasswordLevelComboBox + 1), password))
        return ctx.Fail(kPasswordWriteError);
    return ctx.Succeed("Пароль доступа записан");
}

bool WriteKeys(OperationContext& ctx, const KeysValues& v) {
    if (const std::string reason = CheckKeys(v); !reason.empty()) return Refused(ctx, kKeysWriteError, reason);
    std::int32_t a = 0, b = 0;
    ParseNumber32(v.KeyAEdit, a);
    ParseNumber32(v.KeyBEdit, b);
    if (!ctx.Meter().SetKeys(a, b)) return ctx.Fail(kKeysWriteError);
    return ctx.Succeed("Ключи доступа записаны");
}

const DialogCommand<UserPasswordValues> kUserPasswordDialog = {
    nullptr, nullptr, "Записываем пароли доступа...", true, true, WriteUserPassword, kPasswordWriteError,
    CheckUserPassword};
const DialogCommand<KeysValues> kKeysDialog = {
    nullptr, nullptr, "Записываем ключи доступа...", true, true, WriteKeys, kKeysWriteError, CheckKeys};
const DialogCommand<SpeedValues> kSpeedDialog = {
    "Читаем скорость интерфейса...", ReadSpeed, "Записываем скорость интерфейса...", true, true, WriteSpeed,
    kSpeedWriteError, CheckSpeed};
const DialogCommand<VoltageValues> kVoltageDialog = {
    "Читаем структуру напряжений...", ReadVoltage, "Записываем структуру напряжений...", true, true, WriteVoltage,
    kVoltageWriteError, nullptr};
const DialogCommand<ContactorTariffValues> kContactorTariffDialog = {
    "Читаем структуру управления контактором по тарифам...", ReadContactorTariffs,
    "Записываем структуру управления контактором по тарифам...", true, true, WriteContactorTariffs,
    kContactorWriteError, CheckContactorTariffs};
const DialogCommand<InternetValues> kInternetDialog = {
    "Читаем параметры Internet подключения...", ReadInternet, "Пишем параметры Internet подключения...", true, true,
    WriteInternet, kApnWriteError, CheckInternet};
const DialogCommand<FunctionsValues> kFunctionsDialog = {
    "Читаем параметры дополнительных функций...", ReadFunctions, "Записываем параметры дополнительных функций...",
    true, true, WriteFunctions, kFunctionsWriteError, nullptr};
const DialogCommand<PulsesValues> kPulsesDialog = {
    "Читаем коэффициенты...", ReadPulses, "Записываем коэффициенты...", true, true, WritePulses, kPulsesWriteError,
    CheckPulses};
// The meter layer has no write for the calibration coefficients.
const DialogCommand<CalibrationValues> kCalibrationDialog = {
    "Читаем калибровочные коэффициенты...", ReadCalibration, nullptr, false, false, nullptr, nullptr, nullptr};
const DialogCommand<LoraPowerValues> kLoraPowerDialog = {
    "Читаем мощность LORA...", ReadLoraPower, "Устанавливаем мощность LORA...", true, false, WriteLoraPower,
    kLoraWriteError, CheckLoraPower};

}  // namespace manager::core
