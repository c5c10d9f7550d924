#include "ServiceRecords.h"

#include <algorithm>
#include <cstring>

#include "common/core/IniFile.h"
#include "meter34/CRCUtils.h"
#include "meter34/Structures.h"

namespace manager::core {

using common::Field;
using meter34::GetU16LE;
using meter34::GetU32LE;
using meter34::PutU16LE;
using meter34::PutU32LE;

namespace {

// A flag byte or word of the meter: set only when it is exactly 1.
bool Flag(unsigned v) { return v == 1; }

// Text of a zero-terminated field (the whole field when there is no zero).
std::string FieldString(const std::uint8_t* p, std::size_t size) {
    const auto* end = std::find(p, p + size, std::uint8_t{0});
    return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
}

// text and its terminating zero over the field as last read; false when it
// does not fit.
bool PutString(std::uint8_t* field, std::size_t size, const std::string& text) {
    if (text.size() + 1 > size) return false;
    std::memcpy(field, text.data(), text.size());
    field[text.size()] = 0;
    return true;
}

template <std::size_t N>
std::array<std::uint8_t, N> Sealed(std::array<std::uint8_t, N> record) {
    meter34::PutCrc16Xmodem(record.data(), N - 2);
    return record;
}

}  // namespace

bool ParseNumber32(const std::string& text, std::int32_t& out) {
    long long v = 0;
    if (!common::ParseDecimal(text, v, -2147483648LL, 4294967295LL)) return false;
    out = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    return true;
}

common::Fields UserPasswordValues::Fields() {
    return {Field::Choice("PasswordLevelComboBox", PasswordLevelComboBox, kLevelItems),
            Field::Text("PasswordValueEdit", PasswordValueEdit)};
}

common::Fields KeysValues::Fields() { return {Field::Text("KeyAEdit", KeyAEdit), Field::Text("KeyBEdit", KeyBEdit)}; }

common::Fields SpeedValues::Fields() {
    return {Field::Choice("ChannelNumberComboBox", ChannelNumberComboBox, kChannelItems),
            Field::Choice("ChannelSpeedComboBox", ChannelSpeedComboBox, kSpeedItems),
            Field::Choice("ChannelTypeComboBox", ChannelTypeComboBox, kTypeItems)};
}

common::Fields VoltageValues::Fields() {
    return {Field::Integer("VoltageMinEdit", VoltageMinEdit, kMin, kMax),
            Field::Integer("VoltageMaxEdit", VoltageMaxEdit, kMin, kMax)};
}

void DecodeVoltage(const std::uint8_t* record, VoltageValues& v) {
    v.VoltageMinEdit = GetU16LE(record) / 100;
    v.VoltageMaxEdit = GetU16LE(record + 2) / 100;
}

std::array<std::uint8_t, kVoltageSize> EncodeVoltage(const VoltageValues& v) {
    std::array<std::uint8_t, kVoltageSize> r{};
    PutU16LE(r.data(), static_cast<std::uint16_t>(v.VoltageMinEdit * 100));
    PutU16LE(r.data() + 2, static_cast<std::uint16_t>(v.VoltageMaxEdit * 100));
    return Sealed(r);
}

common::Fields ContactorTariffValues::Fields() {
    return {Field::Choice("ComboBox1", ComboBox1, kActionItems), Field::Choice("ComboBox2", ComboBox2, kActionItems),
            Field::Choice("ComboBox3", ComboBox3, kActionItems), Field::Choice("ComboBox4", ComboBox4, kActionItems)};
}

void DecodeContactorTariffs(const std::uint8_t* record, ContactorTariffValues& v) {
    int* boxes[] = {&v.ComboBox1, &v.ComboBox2, &v.ComboBox3, &v.ComboBox4};
    for (int t = 0; t < 4; ++t) *boxes[t] = Flag(record[t]) ? 1 : 0;
}

std::array<std::uint8_t, kContactorTariffSize> EncodeContactorTariffs(const ContactorTariffValues& v) {
    return Sealed(std::array<std::uint8_t, kContactorTariffSize>{
        static_cast<std::uint8_t>(v.ComboBox1 == 1), static_cast<std::uint8_t>(v.ComboBox2 == 1),
        static_cast<std::uint8_t>(v.ComboBox3 == 1), static_cast<std::uint8_t>(v.ComboBox4 == 1), 0, 0});
}

common::Fields InternetValues::Fields() {
    return {Field::Text("APNEdit", APNEdit, kApnLength), Field::Integer("PortEdit", PortEdit, 0, 65535),
            Field::Text("IPEdit", IPEdit, 15), Field::Tick("EnableGPRSCheckBox", EnableGPRSCheckBox)};
}

void DecodeApn(const std::uint8_t* record, InternetValues& v) {
    std::memcpy(v.apnBytes.data(), record, v.apnBytes.size());
    v.APNEdit = FieldString(record, 30);
}

void DecodeTcp(const std::uint8_t* record, InternetValues& v) {
    std::memcpy(v.tcpBytes.data(), record, v.tcpBytes.size());
    v.IPEdit = FieldString(record, 16);
    long long port = 0;
    v.PortEdit = common::ParseDecimal(FieldString(record + 16, 6), port, 0, 65535) ? static_cast<int>(port) : 0;
    v.EnableGPRSCheckBox = Flag(GetU16LE(record + 22));
}

bool EncodeApn(const InternetValues& v, std::array<std::uint8_t, kApnSize>& record) {
    std::copy(v.apnBytes.begin(), v.apnBytes.end(), record.begin());
    if (!PutString(record.data(), 30, v.APNEdit)) return false;
    meter34::PutCrc16Xmodem(record.data(), 30);
    return true;
}

std::array<std::uint8_t, kTcpSize> EncodeTcp(const InternetValues& v) {
    std::array<std::uint8_t, kTcpSize> r{};
    std::copy(v.tcpBytes.begin(), v.tcpBytes.end(), r.begin());
    PutString(r.data(), 16, "0.0.0.0");
    PutString(r.data() + 16, 6, std::to_string(std::clamp(v.PortEdit, 0, 65535)));
    PutU16LE(r.data() + 22, v.EnableGPRSCheckBox ? 1 : 0);
    return Sealed(r);
}

common::Fields FunctionsValues::Fields() { return {Field::Tick("TimeCorrectionCheckBox", TimeCorrectionCheckBox)}; }

void DecodeFunctions(const std::uint8_t* record, FunctionsValues& v) {
    std::memcpy(v.bytes.data(), record, v.bytes.size());
    v.TimeCorrectionCheckBox = (GetU16LE(record) & 1) != 0;
}

std::array<std::uint8_t, kFunctionsSize> EncodeFunctions(const FunctionsValues& v) {
    std::array<std::uint8_t, kFunctionsSize> r{};
    std::copy(v.bytes.begin(), v.bytes.end(), r.begin());
    r[0] = static_cast<std::uint8_t>((r[0] & ~1u) | (v.TimeCorrectionCheckBox ? 1u : 0u));
    return Sealed(r);
}

common::Fields PulsesValues::Fields() {
    return {Field::Choice("total_energy_pulse_thresholdComboBox", total_energy_pulse_thresholdComboBox, kPulseItems),
            Field::Tick("act_onlyCheckBox", act_onlyCheckBox), Field::Tick("one_izm_elCheckBox", one_izm_elCheckBox)};
}

void DecodePulses(const std::uint8_t* record, PulsesValues& v) {
    std::memcpy(v.bytes.data(), record, v.bytes.size());
    const auto stored = static_cast<std::int32_t>(GetU32LE(record));
    const auto& table = PulsesValues::kStored;
    const auto* at = std::find(std::begin(table), std::end(table), stored);
    v.total_energy_pulse_thresholdComboBox = at == std::end(table) ? 7 : static_cast<int>(at - std::begin(table));
    v.act_onlyCheckBox = Flag(record[4]);
    v.one_izm_elCheckBox = Flag(record[5]);
}

std::array<std::uint8_t, kPulsesSize> EncodePulses(const PulsesValues& v) {
    std::array<std::uint8_t, kPulsesSize> r{};
    std::copy(v.bytes.begin(), v.bytes.end(), r.begin());
    const int item = std::clamp(v.total_energy_pulse_thresholdComboBox, 0, 7);
    PutU32LE(r.data(), static_cast<std::uint32_t>(PulsesValues::kStored[item]));
    r[4] = v.act_onlyCheckBox ? 1 : 0;
    return Sealed(r);
}

common::Fields CalibrationValues::Fields() {
    return {Field::Integer("Channel1CoeffIEdit", Channel1CoeffIEdit, -32768, 32767),
            Field::Integer("Channel1CoeffPEdit", Channel1CoeffPEdit, -32768, 32767),
            Field::Integer("Channel1CoeffVEdit", Channel1CoeffVEdit, -32768, 32767),
            Field::Integer("Channel2CoeffIEdit", Channel2CoeffIEdit, -32768, 32767),
            Field::Integer("Channel2CoeffPEdit", Channel2CoeffPEdit, -32768, 32767),
            Field::Integer("Channel2CoeffVEdit", Channel2CoeffVEdit, -32768, 32767)};
}

void DecodeCalibration(const std::uint8_t* record, CalibrationValues& v) {
    const auto at = [record](int channel, int offset) {
        return static_cast<int>(static_cast<std::int16_t>(GetU16LE(record + 20 * channel + offset)));
    };
    v.Channel1CoeffIEdit = at(0, 2);
    v.Channel1CoeffPEdit = at(0, 8);
    v.Channel1CoeffVEdit = at(0, 16);
    v.Channel2CoeffIEdit = at(1, 2);
    v.Channel2CoeffPEdit = at(1, 8);
    v.Channel2CoeffVEdit = at(1, 16);
}

common::Fields LoraPowerValues::Fields() { return {Field::Choice("LoraPowerComboBox", LoraPowerComboBox, kPowerItems)}; }

}  // namespace manager::core
