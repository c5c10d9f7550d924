// The parameter records as bytes both ways: the values the window shows for
// a record, and the record written from those values. Expected bytes are
// worked out from the record layouts by hand.
#include <gtest/gtest.h>

#include <map>

#include "manager/core/Parameters.h"

using namespace manager::core;

namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes AsBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}
template <std::size_t N>
std::array<std::uint8_t, N> Record(const Bytes& b) {
    std::array<std::uint8_t, N> r{};
    EXPECT_EQ(b.size(), N);
    std::copy_n(b.begin(), std::min(b.size(), N), r.begin());
    return r;
}

// The fields named in expected hold those texts.
template <class V>
void ExpectFields(V& v, const std::map<std::string, std::string>& expected, const char* name) {
    for (const auto& [field, text] : expected) {
        const common::Field* f = nullptr;
        const common::Fields fields = v.Fields();
        f = common::FindField(fields, field);
        ASSERT_NE(f, nullptr) << name << ": " << field;
        EXPECT_EQ(common::FieldText(*f), text) << name << ": " << field;
    }
}

}  // namespace

TEST(ParameterRecords, MainRecordBothWays) {
    struct Case {
        const char* name;
        Bytes in;
        std::map<std::string, std::string> shown;
        Bytes out;
    } cases[] = {
        {"flags byte 0x1F: restart, display row 16, contactor rows 7 to 9",
         {0x00, 0x00, 0x03, 0xC8, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x1F, 0x1E, 0x00},
         {{"ReinitCheckBox", "1"}, {"LCDCheckListBox16", "1"}, {"ContactorControlCheckListBox6", "0"},
          {"ContactorControlCheckListBox7", "1"}, {"ContactorControlCheckListBox8", "1"},
          {"ContactorControlCheckListBox9", "1"}, {"LCDCheckListBox15", "0"}, {"MaxPowerEdit", "2"}},
         {0x00, 0x00, 0x03, 0xC8, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x1F, 0x1E, 0x00}},
        {"1234.56 W shows as 1235 and goes back as 123500; bits 5-7 of the flags are dropped",
         {0x01, 0x80, 0x05, 0x40, 0xE2, 0x01, 0x00, 0x3C, 0x2C, 0x01, 0x00, 0xE0, 0x10, 0x27},
         {{"LCDCheckListBox0", "1"}, {"LCDCheckListBox1", "0"}, {"LCDCheckListBox15", "1"},
          {"InfoTimeEdit", "5"}, {"MaxPowerEdit", "1235"}, {"MaxPowerTimeEdit", "60"},
          {"ContactorOnTimeEdit", "300"}, {"ReinitCheckBox", "0"}, {"ReinitTimeEdit", "10000"}},
         {0x01, 0x80, 0x05, 0x6C, 0xE2, 0x01, 0x00, 0x3C, 0x2C, 0x01, 0x00, 0x00, 0x10, 0x27}},
        {"1 W (100) is below the field's 2 W; times outside their limits take the nearer one",
         {0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
         {{"MaxPowerEdit", "2"}, {"InfoTimeEdit", "3"}, {"MaxPowerTimeEdit", "60"},
          {"ContactorOnTimeEdit", "15"}, {"ReinitTimeEdit", "30"}},
         {0x00, 0x00, 0x03, 0xC8, 0x00, 0x00, 0x00, 0x3C, 0x0F, 0x00, 0x00, 0x00, 0x1E, 0x00}},
        {"contactor byte 0xFF: rows 0 to 6, bit 6 ignored and written as 0",
         {0x00, 0x00, 0x0A, 0x28, 0x23, 0x00, 0x00, 0x00, 0x0F, 0x00, 0xFF, 0x00, 0x1E, 0x00},
         {{"ContactorControlCheckListBox0", "1"}, {"ContactorControlCheckListBox5", "1"},
          {"ContactorControlCheckListBox6", "1"}, {"ContactorControlCheckListBox7", "0"},
          {"InfoTimeEdit", "10"}, {"MaxPowerEdit", "90"}},
         {0x00, 0x00, 0x0A, 0x28, 0x23, 0x00, 0x00, 0x00, 0x0F, 0x00, 0xBF, 0x00, 0x1E, 0x00}},
        {"a negative power is below the minimum; a huge one above the maximum",
         {0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x80, 0x00, 0x0F, 0x00, 0x00, 0x00, 0x1E, 0x00},
         {{"MaxPowerEdit", "2"}},
         {0x00, 0x00, 0x03, 0xC8, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x00, 0x1E, 0x00}},
        {"power 0x7FFFFFFF",
         {0x00, 0x00, 0x03, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x0F, 0x00, 0x00, 0x00, 0x1E, 0x00},
         {{"MaxPowerEdit", "25000"}},  // 2500000 = 0x002625A0
         {0x00, 0x00, 0x03, 0xA0, 0x25, 0x26, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x00, 0x1E, 0x00}},
    };
    for (const auto& c : cases) {
        MainParameterValues v;
        DecodeMainParameters(Record<14>(c.in), v);
        ExpectFields(v, c.shown, c.name);
        EXPECT_EQ(AsBytes(EncodeMainParameters(v)), c.out) << c.name;
    }
}

TEST(ParameterRecords, MainRecordFromTheDefaults) {
    // 3 s, 2 W = 200, 0 s, 15 s, 30 min, nothing ticked.
    EXPECT_EQ(AsBytes(EncodeMainParameters(MainParameterValues{})),
              (Bytes{0x00, 0x00, 0x03, 0xC8, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x00, 0x1E, 0x00}));
    MainParameterValues all;
    for (bool& t : all.LCDCheckListBox) t = true;
    for (bool& t : all.ContactorControlCheckListBox) t = true;
    all.ReinitCheckBox = true;
    // Mask 0xFFFF; contactor bits 0-5 and 7; flags bits 0-4.
    EXPECT_EQ(AsBytes(EncodeMainParameters(all)),
              (Bytes{0xFF, 0xFF, 0x03, 0xC8, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x00, 0xBF, 0x1F, 0x1E, 0x00}));
}

TEST(ParameterRecords, AdditionalRecordBothWays) {
    struct Case {
        const char* name;
        Bytes in;
        std::map<std::string, std::string> shown;
        Bytes out;
    } cases[] = {
        {"byte 1 = 0xC1: 30 minutes, by table; 29.02 3 h (3 | 29 << 5 | 2 << 10)",
         {0x00, 0xC1, 0xA3, 0x0B, 0x01, 0x63, 0x2B, 0xFF},
         {{"PeriodComboBox", "30 минут"}, {"TimeShiftComboBox", "По таблице"}, {"SummerDateEdit", "29.02"},
          {"SummerTimeEdit", "3"}, {"SummerShiftEdit", "1"}, {"WinterDateEdit", "27.10"},
          {"WinterTimeEdit", "3"}, {"WinterShiftEdit", "-1"}},
         {0x00, 0xC1, 0xA3, 0x0B, 0x01, 0x63, 0x2B, 0xFF}},
        {"mode bits 2 (bit 1 alone) read as none and go back as 0",
         {0x05, 0x02, 0xA3, 0x0B, 0x00, 0x63, 0x2B, 0x00},
         {{"TimeShiftComboBox", "Нет"}, {"PeriodComboBox", "1 минута"}, {"SecAutoCorrectTimeEdit", "5"}},
         {0x05, 0x00, 0xA3, 0x0B, 0x00, 0x63, 0x2B, 0x00}},
        {"mode bits 3: automatic; bits 2 to 4 are written as 0; 1 hour",
         {0xFB, 0xFF, 0xA3, 0x0B, 0x00, 0x63, 0x2B, 0x00},
         {{"TimeShiftComboBox", "Автоматически"}, {"PeriodComboBox", "1 час"}, {"SecAutoCorrectTimeEdit", "-5"}},
         {0xFB, 0xE3, 0xA3, 0x0B, 0x00, 0x63, 0x2B, 0x00}},
        {"a zero word is the calendar origin 30.12 0 h, and the hour field makes it 2 h",
         {0x00, 0x61, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
         {{"SummerDateEdit", "30.12"}, {"SummerTimeEdit", "2"}, {"WinterDateEdit", "30.12"},
          {"TimeShiftComboBox", "По таблице"}, {"PeriodComboBox", "5 минут"}},
         {0x00, 0x61, 0xC2, 0x33, 0x00, 0xC2, 0x33, 0x00}},
        {"corrections and shifts beyond their limits take the nearer one",
         {0x80, 0x01, 0xA3, 0x0B, 0x05, 0x63, 0x2B, 0x80},
         {{"SecAutoCorrectTimeEdit", "-5"}, {"SummerShiftEdit", "1"}, {"WinterShiftEdit", "-1"}},
         {0xFB, 0x01, 0xA3, 0x0B, 0x01, 0x63, 0x2B, 0xFF}},
        {"hours below 2 and above 22 take the nearer limit: 1.01 0 h, 31.12 23 h",
         {0x00, 0x01, 0x20, 0x04, 0x00, 0xF7, 0x33, 0x00},
         {{"SummerDateEdit", "01.01"}, {"SummerTimeEdit", "2"}, {"WinterDateEdit", "31.12"},
          {"WinterTimeEdit", "22"}},
         {0x00, 0x01, 0x22, 0x04, 0x00, 0xF6, 0x33, 0x00}},
    };
    for (const auto& c : cases) {
        AdditionalParameterValues v;
        DecodeAdditionalParameters(Record<8>(c.in), v);
        ExpectFields(v, c.shown, c.name);
        meter34::AdditionalParameterRecord out{};
        std::string reason;
        ASSERT_TRUE(EncodeAdditionalParameters(v, out, reason)) << c.name << ": " << reason;
        EXPECT_EQ(AsBytes(out), c.out) << c.name;
    }
}

TEST(ParameterRecords, AdditionalRecordRefusesWhatIsNoMoment) {
    struct Case {
        const char* name;
        std::vector<std::string> set;
        const char* reason;  // "" = accepted
        Bytes out;
    } cases[] = {
        {"no integration period chosen (the window's start)", {"PeriodComboBox="}, "не выбран период интеграции", {}},
        {"30 February", {"PeriodComboBox=0", "SummerDateEdit=30.02"}, "неверная дата перехода «30.02»", {}},
        {"winter date without a dot", {"PeriodComboBox=0", "WinterDateEdit=2710"}, "неверная дата перехода «2710»", {}},
        {"month 13", {"PeriodComboBox=0", "WinterDateEdit=01.13"}, "неверная дата перехода «01.13»", {}},
        {"empty", {"PeriodComboBox=0", "SummerDateEdit="}, "неверная дата перехода «»", {}},
        // 1.01 as the configuration file writes it; blanks around are no harm.
        {"one-digit day", {"PeriodComboBox=3", "SummerDateEdit=1.01", "WinterDateEdit= 5.3 "}, "",
         {0x00, 0x60, 0x22, 0x04, 0x00, 0xA2, 0x0C, 0x00}},
        {"29.02 3 h", {"PeriodComboBox=0", "SummerDateEdit=29.02", "SummerTimeEdit=3", "TimeShiftComboBox=2"}, "",
         {0x00, 0x03, 0xA3, 0x0B, 0x00, 0x22, 0x04, 0x00}},
    };
    for (const auto& c : cases) {
        AdditionalParameterValues v;
        std::string error;
        ASSERT_TRUE(common::ApplyAssignments(v.Fields(), c.set, error)) << c.name << ": " << error;
        meter34::AdditionalParameterRecord out{};
        std::string reason;
        const bool ok = EncodeAdditionalParameters(v, out, reason);
        EXPECT_EQ(ok, *c.reason == 0) << c.name;
        EXPECT_EQ(reason, c.reason) << c.name;
        if (ok) {
            EXPECT_EQ(AsBytes(out), c.out) << c.name;
        }
    }

    // A word whose day and month make no date shows them as they came, and
    // a write refuses it: day 0, month 13, hour 25.
    AdditionalParameterValues v;
    DecodeAdditionalParameters(Record<8>({0x00, 0x01, 0x19, 0x34, 0x00, 0xA3, 0x0B, 0x00}), v);
    EXPECT_EQ(v.SummerDateEdit, "00.13");
    EXPECT_EQ(v.SummerTimeEdit, 22);
    meter34::AdditionalParameterRecord out{};
    std::string reason;
    EXPECT_FALSE(EncodeAdditionalParameters(v, out, reason));
    EXPECT_EQ(reason, "неверная дата перехода «00.13»");
}

TEST(ParameterRecords, SecondGroupRecordBothWays) {
    struct Case {
        const char* name;
        Bytes in;
        std::map<std::string, std::string> shown;
        Bytes out;
    } cases[] = {
        {"every field; bytes 16 and 20 to 25 go back as they came",
         {0x07, 0x00, 0x40, 0xE2, 0x01, 0x00, 0xDC, 0x05, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
          0x01, 0x34, 0x12, 0xA5, 0x2C, 0x01, 0x3F, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66},
         {{"LCD2CheckListBox0", "1"}, {"LCD2CheckListBox2", "1"}, {"Max_AminusEdit", "1235"},
          {"Max_IEdit", "2"},  // 1500 mA = 1.5 A, halves away from zero
          {"Max_AminusTimeEdit", "255"}, {"Max_AminusOnTimeEdit", "65535"}, {"Max_ITimeEdit", "1"},
          {"Max_IOnTimeEdit", "4660"}, {"VoltageOnTimeEdit", "300"},
          {"ExternalContactorModeCheckListBox0", "1"}, {"ExternalContactorModeCheckListBox5", "1"}},
         {0x07, 0x00, 0x6C, 0xE2, 0x01, 0x00, 0xD0, 0x07, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
          0x01, 0x34, 0x12, 0xA5, 0x2C, 0x01, 0x3F, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}},
        {"masks beyond the rows are written as 0; the current at the edge of its 32 bits",
         {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
         {{"LCD2CheckListBox1", "1"}, {"Max_AminusEdit", "0"}, {"Max_IEdit", "2147483"},
          {"ExternalContactorModeCheckListBox4", "1"}},
         // 2147483 A = 2147483000 mA = 0x7FFFFD78
         {0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x78, 0xFD, 0xFF, 0x7F, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {"negative power and current as the meter holds them",
         {0x00, 0x00, 0x9C, 0xFF, 0xFF, 0xFF, 0x18, 0xFC, 0xFF, 0xFF, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
         {{"Max_AminusEdit", "-1"}, {"Max_IEdit", "-1"}},
         {0x00, 0x00, 0x9C, 0xFF, 0xFF, 0xFF, 0x18, 0xFC, 0xFF, 0xFF, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        SecondGroupParameterValues v;
        DecodeSecondGroupParameters(Record<26>(c.in), v);
        ExpectFields(v, c.shown, c.name);
        EXPECT_EQ(AsBytes(EncodeSecondGroupParameters(v)), c.out) << c.name;
    }
    // Before any read the bytes the window does not show are 0.
    EXPECT_EQ(AsBytes(EncodeSecondGroupParameters(SecondGroupParameterValues{})),
              (Bytes{0x00, 0x00, 0xC8, 0x00, 0x00, 0x00, 0xD0, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00,
                     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
}
