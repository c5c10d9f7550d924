#pragma once
// The values of the administrative and service dialogs, named after their
// controls, with their limits, items and defaults, and the codecs between
// them and the meter's records. Structures are read and written at index 0;
// multi-byte fields are little-endian; a structure written ends with the
// CRC-16/XMODEM of the bytes before it, low byte first (never checked when
// reading). Bytes a dialog does not show are kept as the meter last sent
// them and written back unchanged: every dialog reads before it can write.

#include <array>
#include <cstdint>
#include <string>

#include "common/core/Fields.h"

namespace manager::core {

// Numbers of the meter structures behind the dialogs.
enum ServiceStructure : std::uint8_t {
    kPulsesStructure = 18,            // verification pulse constant and flags
    kVoltageStructure = 23,           // contactor voltage thresholds
    kApnStructure = 25,               // access-point name
    kTcpStructure = 26,               // server address, port, GPRS flag
    kContactorTariffStructure = 27,   // contactor action per tariff
    kFunctionsStructure = 28,         // additional function flags
};

// Sizes of the structures with their check.
constexpr int kPulsesSize = 8, kVoltageSize = 6, kApnSize = 32, kTcpSize = 26, kContactorTariffSize = 6,
              kFunctionsSize = 6;

// A text field a password, level or key dialog takes as a 32-bit decimal
// whole number (typed signed or unsigned); false when it is not one.
bool ParseNumber32(const std::string& text, std::int32_t& out);

// ---- "Управление паролями доступа" ----
struct UserPasswordValues {
    static constexpr const char* kLevelItems[] = {"1", "2"};
    int PasswordLevelComboBox = 0;        // "Уровень доступа/пароль": the level is the item's number
    std::string PasswordValueEdit = "1";  // the password of that level
    common::Fields Fields();
};

// ---- "Управление ключами доступа" ----
struct KeysValues {
    std::string KeyAEdit = "1";  // "Ключ А"
    std::string KeyBEdit = "1";  // "Ключ Б"
    common::Fields Fields();
};

// ---- "Управление скоростью обмена модулей": the item indices are the codes exchanged ----
struct SpeedValues {
    static constexpr const char* kChannelItems[] = {"Первый", "Второй", "Третий"};
    static constexpr const char* kTypeItems[] = {"Универсальный", "PLC модуль", "GSM модль", "RF модуль", "RF route"};
    static constexpr const char* kSpeedItems[] = {"1200",  "2400",  "4800",  "9600", "14400",
                                                  "19200", "38400", "57600", "115200"};
    int ChannelNumberComboBox = 0;  // "Номер канала"
    int ChannelTypeComboBox = 0;    // "Тип"; -1 when the meter sent a code outside the items
    int ChannelSpeedComboBox = 0;   // "Скорость (bps)"; the same
    common::Fields Fields();
};

// ---- "Пороги напряжений" (structure 23: two thresholds in 0.01 V) ----
struct VoltageValues {
    static constexpr int kMin = 80, kMax = 275;
    int VoltageMinEdit = 175;  // "Минимальное напряжение, В"
    int VoltageMaxEdit = 175;  // "Максимальное напряжение, В"
    common::Fields Fields();
};
// Whole volts, the hundredths dropped.
void DecodeVoltage(const std::uint8_t* record, VoltageValues& v);
std::array<std::uint8_t, kVoltageSize> EncodeVoltage(const VoltageValues& v);

// ---- "Управление контактором по тарифам" (structure 27: a byte per tariff) ----
struct ContactorTariffValues {
    static constexpr const char* kActionItems[] = {"Включать", "Отключать"};
    int ComboBox1 = 0;  // "Тарифа 1": 0 switch on, 1 switch off
    int ComboBox2 = 0;
    int ComboBox3 = 0;
    int ComboBox4 = 0;
    common::Fields Fields();
};
// A byte reads as "Отключать" only when it is exactly 1.
void DecodeContactorTariffs(const std::uint8_t* record, ContactorTariffValues& v);
std::array<std::uint8_t, kContactorTariffSize> EncodeContactorTariffs(const ContactorTariffValues& v);

// ---- "Параметры Internet подключения" (structures 25 and 26) ----
struct InternetValues {
    static constexpr int kApnLength = 29;  // 30 bytes with the terminating zero
    std::string APNEdit = "internet";      // "APN"
    int PortEdit = 1234;                   // "Порт"
    std::string IPEdit;                    // "IP": the address read, never written
    bool EnableGPRSCheckBox = false;       // "Разрешить GPRS"
    // The text bytes as last read (the bytes after a terminating zero are
    // written back from here).
    std::array<std::uint8_t, 30> apnBytes{};
    std::array<std::uint8_t, 24> tcpBytes{};
    common::Fields Fields();
};
// The text up to the first zero byte (or the whole field).
void DecodeApn(const std::uint8_t* record, InternetValues& v);
// The port text as a number (0 when it is not a port number), the GPRS word
// ticked when it is 1, the address text.
void DecodeTcp(const std::uint8_t* record, InternetValues& v);
// false when the APN does not fit its field with the terminating zero.
bool EncodeApn(const InternetValues& v, std::array<std::uint8_t, kApnSize>& record);
// The address is always "0.0.0.0".
std::array<std::uint8_t, kTcpSize> EncodeTcp(const InternetValues& v);

// ---- "Дополнительные функции" (structure 28) ----
struct FunctionsValues {
    bool TimeCorrectionCheckBox = false;  // "Запрет корректировки времени": bit 0 of the flag word
    std::array<std::uint8_t, 4> bytes{};  // as last read: the other flag bits and the two bytes after them
    common::Fields Fields();
};
void DecodeFunctions(const std::uint8_t* record, FunctionsValues& v);
std::array<std::uint8_t, kFunctionsSize> EncodeFunctions(const FunctionsValues& v);

// ---- "Число поверочных импульсов" (structure 18) ----
struct PulsesValues {
    // Pulses per kW*h; the meter keeps 1 474 560 000 000 divided by them.
    static constexpr const char* kPulseItems[] = {"2000", "2500", "3200", "5000", "6400", "10000", "12800", "15000"};
    static constexpr std::int32_t kStored[] = {737280000, 589824000, 460800000, 294912000,
                                               230400000, 147456000, 115200000, 98304000};
    int total_energy_pulse_thresholdComboBox = 0;  // "Поверочных импульсов"
    bool act_onlyCheckBox = false;                 // "Только актив"
    bool one_izm_elCheckBox = false;               // "Один измерительный элемент": shown, never changed
    std::array<std::uint8_t, 6> bytes{};           // as last read
    common::Fields Fields();
};
// A stored constant outside the table reads as the last item; a flag byte is
// ticked only when it is exactly 1.
void DecodePulses(const std::uint8_t* record, PulsesValues& v);
// The byte of "Один измерительный элемент" goes back as it was read.
std::array<std::uint8_t, kPulsesSize> EncodePulses(const PulsesValues& v);

// ---- "Калибровочные коэффициенты" (42 bytes, two channels of 20) ----
struct CalibrationValues {
    int Channel1CoeffIEdit = 0;  // int16 at +2 of the channel
    int Channel1CoeffPEdit = 0;  // at +8
    int Channel1CoeffVEdit = 0;  // at +16
    int Channel2CoeffIEdit = 0;
    int Channel2CoeffPEdit = 0;
    int Channel2CoeffVEdit = 0;
    common::Fields Fields();
};
void DecodeCalibration(const std::uint8_t* record, CalibrationValues& v);

// ---- "Мощность LoRa": the item index is the level exchanged ----
struct LoraPowerValues {
    static constexpr const char* kPowerItems[] = {"100", "50", "25", "10"};
    int LoraPowerComboBox = 0;  // "Мощность mW"; -1 when the meter sent another level
    common::Fields Fields();
};

}  // namespace manager::core
