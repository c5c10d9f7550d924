// The records of the administrative and service dialogs, both ways, against
// bytes written out by hand from the record layouts (little-endian fields,
// CRC-16/XMODEM of the bytes before it, low byte first).
#include <gtest/gtest.h>

#include <vector>

#include "manager/core/ServiceRecords.h"

using namespace manager::core;
using Bytes = std::vector<std::uint8_t>;

namespace {

template <std::size_t N>
Bytes B(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

}  // namespace

TEST(ServiceRecords, VoltageThresholdsInHundredthsOfAVolt) {
    // 17599 (175.99 V) and 26000: the hundredths are dropped.
    const std::uint8_t stored[] = {0xBF, 0x44, 0x90, 0x65, 0x00, 0x00};
    VoltageValues v;
    DecodeVoltage(stored, v);
    EXPECT_EQ(v.VoltageMinEdit, 175);
    EXPECT_EQ(v.VoltageMaxEdit, 260);
    // 180 and 260 V go out as 18000 and 26000 with their check.
    v.VoltageMinEdit = 180;
    EXPECT_EQ(B(EncodeVoltage(v)), (Bytes{0x50, 0x46, 0x90, 0x65, 0xDE, 0xFE}));
    // Nothing compares the two thresholds.
    VoltageValues reversed{275, 80};
    EXPECT_EQ(B(EncodeVoltage(reversed)).size(), 6u);
}

TEST(ServiceRecords, PulseConstantsByTheTable) {
    struct Row {
        const char* text;
        Bytes stored;  // 1 474 560 000 000 / pulses, little-endian
    } rows[] = {
        {"2000", {0x00, 0x00, 0xF2, 0x2B}},  {"2500", {0x00, 0x00, 0x28, 0x23}}, {"3200", {0x00, 0x40, 0x77, 0x1B}},
        {"5000", {0x00, 0x00, 0x94, 0x11}},  {"6400", {0x00, 0xA0, 0xBB, 0x0D}}, {"10000", {0x00, 0x00, 0xCA, 0x08}},
        {"12800", {0x00, 0xD0, 0xDD, 0x06}}, {"15000", {0x00, 0x00, 0xDC, 0x05}},
    };
    for (int i = 0; i < 8; ++i) {
        Bytes record = rows[i].stored;
        record.insert(record.end(), {1, 1, 0, 0});
        PulsesValues v;
        DecodePulses(record.data(), v);
        EXPECT_EQ(v.total_energy_pulse_thresholdComboBox, i) << rows[i].text;
        EXPECT_STREQ(PulsesValues::kPulseItems[i], rows[i].text);
        EXPECT_TRUE(v.act_onlyCheckBox);
        EXPECT_TRUE(v.one_izm_elCheckBox);
        const Bytes out = B(EncodePulses(v));
        EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), rows[i].stored) << rows[i].text;
    }
    // A constant outside the table reads as "15000".
    for (Bytes stored : {Bytes{0x39, 0x30, 0x00, 0x00}, Bytes{0xFF, 0xFF, 0xFF, 0xFF}}) {
        stored.insert(stored.end(), {0, 0, 0, 0});
        PulsesValues v;
        DecodePulses(stored.data(), v);
        EXPECT_EQ(v.total_energy_pulse_thresholdComboBox, 7);
    }
}

TEST(ServiceRecords, PulseFlagsAreTickedOnlyWhenExactlyOneAndTheShownFlagGoesBackAsRead) {
    const std::uint8_t stored[] = {0x00, 0x00, 0x28, 0x23, 0x02, 0x02, 0x00, 0x00};
    PulsesValues v;
    DecodePulses(stored, v);
    EXPECT_EQ(v.total_energy_pulse_thresholdComboBox, 1);
    EXPECT_FALSE(v.act_onlyCheckBox);
    EXPECT_FALSE(v.one_izm_elCheckBox);
    // "Только актив" as the box says; "Один измерительный элемент" is not editable.
    v.one_izm_elCheckBox = true;
    EXPECT_EQ(B(EncodePulses(v)), (Bytes{0x00, 0x00, 0x28, 0x23, 0x00, 0x02, 0x59, 0x4D}));
}

TEST(ServiceRecords, ApnTextWithItsZeroAndTheBytesAfterItAsLastRead) {
    InternetValues fresh;
    std::array<std::uint8_t, kApnSize> out{};
    ASSERT_TRUE(EncodeApn(fresh, out));
    EXPECT_EQ(B(out), (Bytes{0x69, 0x6E, 0x74, 0x65, 0x72, 0x6E, 0x65, 0x74, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                             0x0F, 0x42}));

    // Read "internet.beeline.ru", write "mts": the rest of the field stays.
    Bytes stored = {'i', 'n', 't', 'e', 'r', 'n', 'e', 't', '.', 'b', 'e', 'e', 'l', 'i', 'n', 'e', '.', 'r', 'u'};
    stored.resize(32, 0);
    InternetValues v;
    DecodeApn(stored.data(), v);
    EXPECT_EQ(v.APNEdit, "internet.beeline.ru");
    v.APNEdit = "mts";
    ASSERT_TRUE(EncodeApn(v, out));
    EXPECT_EQ(B(out), (Bytes{0x6D, 0x74, 0x73, 0x00, 0x72, 0x6E, 0x65, 0x74, 0x2E, 0x62, 0x65, 0x65, 0x6C, 0x69, 0x6E,
                             0x65, 0x2E, 0x72, 0x75, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                             0xC3, 0xA6}));

    // Thirty bytes without a zero: the whole field; 29 characters fit, 30 do not.
    Bytes full(30, 'a');
    full.resize(32, 0);
    DecodeApn(full.data(), v);
    EXPECT_EQ(v.APNEdit, std::string(30, 'a'));
    EXPECT_FALSE(EncodeApn(v, out));
    v.APNEdit = std::string(29, 'a');
    ASSERT_TRUE(EncodeApn(v, out));
    EXPECT_EQ(out[28], 'a');
    EXPECT_EQ(out[29], 0);
}

TEST(ServiceRecords, TcpRecordAlwaysWithTheAddressZero) {
    struct Case {
        const char* name;
        Bytes stored;  // 24 bytes without the check
        const char* ip;
        int port;
        bool gprs;
    } cases[] = {
        {"as the meter leaves the factory", {'1', '0', '.', '1', '.', '2', '.', '3', 0, 0, 0, 0, 0, 0, 0, 0,  //
                                             '5', '0', '0', '0', 0, 0, 1, 0},
         "10.1.2.3", 5000, true},
        {"port text not a number, GPRS word 2", {'1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                                  'a', 'b', 0, 0, 0, 0, 2, 0},
         "1", 0, false},
        {"port above 65535, fields without zeros", {'1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '1', '2', '3', '4',
                                                     '5', '6', '9', '9', '9', '9', '9', '9', 1, 1},
         "1234567890123456", 0, false},
    };
    for (const auto& c : cases) {
        InternetValues v;
        DecodeTcp(c.stored.data(), v);
        EXPECT_EQ(v.IPEdit, c.ip) << c.name;
        EXPECT_EQ(v.PortEdit, c.port) << c.name;
        EXPECT_EQ(v.EnableGPRSCheckBox, c.gprs) << c.name;
    }

    InternetValues fresh;
    fresh.EnableGPRSCheckBox = true;
    EXPECT_EQ(B(EncodeTcp(fresh)), (Bytes{0x30, 0x2E, 0x30, 0x2E, 0x30, 0x2E, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0x00, 0x00, 0x00, 0x31, 0x32, 0x33, 0x34, 0x00, 0x00, 0x01, 0x00, 0xEC, 0xFE}));

    // Read "192.168.100.200" and port "12345"; write port 80 without GPRS.
    Bytes stored = {'1', '9', '2', '.', '1', '6', '8', '.', '1', '0', '0', '.', '2', '0', '0', 0,
                    '1', '2', '3', '4', '5', 0,   1,   0};
    InternetValues v;
    DecodeTcp(stored.data(), v);
    EXPECT_EQ(v.IPEdit, "192.168.100.200");
    EXPECT_EQ(v.PortEdit, 12345);
    v.PortEdit = 80;
    v.EnableGPRSCheckBox = false;
    EXPECT_EQ(B(EncodeTcp(v)), (Bytes{0x30, 0x2E, 0x30, 0x2E, 0x30, 0x2E, 0x30, 0x00, 0x31, 0x30, 0x30, 0x2E, 0x32,
                                     0x30, 0x30, 0x00, 0x38, 0x30, 0x00, 0x34, 0x35, 0x00, 0x00, 0x00, 0xF4, 0x64}));
}

TEST(ServiceRecords, ContactorActionPerTariff) {
    const std::uint8_t stored[] = {0x00, 0x01, 0x02, 0x01, 0x00, 0x00};
    ContactorTariffValues v;
    DecodeContactorTariffs(stored, v);
    // 1 is "Отключать"; anything else reads as "Включать".
    EXPECT_EQ(v.ComboBox1, 0);
    EXPECT_EQ(v.ComboBox2, 1);
    EXPECT_EQ(v.ComboBox3, 0);
    EXPECT_EQ(v.ComboBox4, 1);
    v.ComboBox3 = 1;
    v.ComboBox4 = 0;
    EXPECT_EQ(B(EncodeContactorTariffs(v)), (Bytes{0x00, 0x01, 0x01, 0x00, 0x01, 0x04}));
}

TEST(ServiceRecords, AdditionalFunctionsKeepTheirUnshownBytes) {
    const std::uint8_t stored[] = {0x03, 0x80, 0xAA, 0x55, 0x12, 0x34};
    FunctionsValues v;
    DecodeFunctions(stored, v);
    EXPECT_TRUE(v.TimeCorrectionCheckBox);
    v.TimeCorrectionCheckBox = false;
    EXPECT_EQ(B(EncodeFunctions(v)), (Bytes{0x02, 0x80, 0xAA, 0x55, 0xD7, 0x2E}));
    v.TimeCorrectionCheckBox = true;
    const Bytes ticked = B(EncodeFunctions(v));
    EXPECT_EQ(ticked[0], 0x03);
    EXPECT_EQ(ticked[3], 0x55);
}

TEST(ServiceRecords, CalibrationCoefficientsOfBothChannels) {
    std::uint8_t record[42] = {};
    // Channel 1: I at 2, P at 8, V at 16; channel 2 the same 20 bytes on.
    record[2] = 0x10, record[3] = 0x27;    // 10000
    record[8] = 0xFF, record[9] = 0xFF;    // -1
    record[16] = 0x00, record[17] = 0x80;  // -32768
    record[22] = 0x01, record[23] = 0x00;  // 1
    record[28] = 0xFF, record[29] = 0x7F;  // 32767
    record[36] = 0x34, record[37] = 0x12;  // 4660
    record[0] = record[20] = record[40] = 0xEE;  // not shown
    CalibrationValues v;
    DecodeCalibration(record, v);
    EXPECT_EQ(v.Channel1CoeffIEdit, 10000);
    EXPECT_EQ(v.Channel1CoeffPEdit, -1);
    EXPECT_EQ(v.Channel1CoeffVEdit, -32768);
    EXPECT_EQ(v.Channel2CoeffIEdit, 1);
    EXPECT_EQ(v.Channel2CoeffPEdit, 32767);
    EXPECT_EQ(v.Channel2CoeffVEdit, 4660);
}

TEST(ServiceRecords, PasswordsAndKeysAre32BitDecimalNumbers) {
    struct Case {
        const char* text;
        bool ok;
        std::int32_t value;
    } cases[] = {{"0", true, 0},          {"4294967295", true, -1}, {"-2147483648", true, INT32_MIN},
                 {"4294967296", false, 0}, {"12a", false, 0},       {"", false, 0},
                 {"-2147483649", false, 0}};
    for (const auto& c : cases) {
        std::int32_t v = 0;
        EXPECT_EQ(ParseNumber32(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}
