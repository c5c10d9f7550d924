#include <gtest/gtest.h>

#include "common/core/Fields.h"

using common::Field;

namespace {

constexpr const char* kPeriods[] = {"1 минута", "30 минут", "60 минут"};

struct Values {
    int InfoTimeEdit = 5;
    bool ReinitCheckBox = false;
    int PeriodComboBox = 1;
    std::string APNEdit = "internet";
    bool LCDCheckListBox[3] = {true, false, true};

    common::Fields Fields() {
        common::Fields f = {Field::Integer("InfoTimeEdit", InfoTimeEdit, 0, 255),
                            Field::Tick("ReinitCheckBox", ReinitCheckBox),
                            Field::Choice("PeriodComboBox", PeriodComboBox, kPeriods),
                            Field::Text("APNEdit", APNEdit, 29)};
        common::AddTicks(f, "LCDCheckListBox", LCDCheckListBox, 3);
        return f;
    }
};

}  // namespace

TEST(Fields, TextOfEveryKind) {
    Values v;
    std::vector<std::string> lines;
    for (const auto& f : v.Fields()) lines.push_back(f.name + "=" + common::FieldText(f));
    EXPECT_EQ(lines, (std::vector<std::string>{"InfoTimeEdit=5", "ReinitCheckBox=0", "PeriodComboBox=30 минут",
                                               "APNEdit=internet", "LCDCheckListBox0=1", "LCDCheckListBox1=0",
                                               "LCDCheckListBox2=1"}));
    v.PeriodComboBox = -1;
    EXPECT_EQ(common::FieldText(v.Fields()[2]), "");
}

TEST(Fields, AssignmentsTakeWhatTheControlsCanTake) {
    struct Case {
        std::vector<std::string> assignments;
        bool ok;
        const char* error;
    } cases[] = {
        {{"InfoTimeEdit=255", "reinitcheckbox=1", "PeriodComboBox=60 МИНУТ", "LCDCheckListBox1=1"}, true, ""},
        {{"PeriodComboBox=0"}, true, ""},  // an item index
        {{"InfoTimeEdit=256"}, false, "«InfoTimeEdit»: 256 вне диапазона 0..255"},
        {{"InfoTimeEdit=5x"}, false, "«InfoTimeEdit»: не целое число: «5x»"},
        {{"ReinitCheckBox=2"}, false, "«ReinitCheckBox»: 0 или 1, а не «2»"},
        {{"PeriodComboBox=15 минут"}, false,
         "«PeriodComboBox»: нет пункта «15 минут» (есть «1 минута», «30 минут», «60 минут»)"},
        {{"APNEdit=" + std::string(30, 'a')}, false, "«APNEdit»: не длиннее 29 байт"},
        {{"NoSuchEdit=1"}, false, "нет поля «NoSuchEdit»"},
        {{"InfoTimeEdit"}, false, "«InfoTimeEdit»: нужно ИМЯ=ЗНАЧЕНИЕ"},
        // All or nothing: the first assignment is taken back when the second is refused.
        {{"InfoTimeEdit=7", "LCDCheckListBox9=1"}, false, "нет поля «LCDCheckListBox9»"},
    };
    for (const auto& c : cases) {
        Values v;
        auto fields = v.Fields();
        std::string error;
        EXPECT_EQ(common::ApplyAssignments(fields, c.assignments, error), c.ok) << c.assignments[0];
        EXPECT_EQ(error, c.error) << c.assignments[0];
        if (!c.ok) {
            Values untouched;
            EXPECT_EQ(v.InfoTimeEdit, untouched.InfoTimeEdit) << c.assignments[0];
            EXPECT_EQ(v.PeriodComboBox, untouched.PeriodComboBox) << c.assignments[0];
        }
    }
    Values v;
    auto fields = v.Fields();
    std::string error;
    ASSERT_TRUE(common::ApplyAssignments(fields, cases[0].assignments, error)) << error;
    EXPECT_EQ(v.InfoTimeEdit, 255);
    EXPECT_TRUE(v.ReinitCheckBox);
    EXPECT_EQ(v.PeriodComboBox, 2);
    EXPECT_TRUE(v.LCDCheckListBox[1]);
}

TEST(Fields, ClampPutsNumbersWithinTheirLimits) {
    Values v;
    common::Fields f = {Field::Integer("InfoTimeEdit", v.InfoTimeEdit, 3, 10),
                        Field::Choice("PeriodComboBox", v.PeriodComboBox, kPeriods)};
    for (const auto& [in, out] : {std::pair{0, 3}, {3, 3}, {7, 7}, {10, 10}, {11, 10}, {-50, 3}}) {
        v.InfoTimeEdit = in;
        v.PeriodComboBox = 9;  // only numbers are clamped
        common::ClampToLimits(f);
        EXPECT_EQ(v.InfoTimeEdit, out) << in;
        EXPECT_EQ(v.PeriodComboBox, 9);
    }
}
