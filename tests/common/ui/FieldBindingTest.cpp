// Values struct <-> controls of the same names.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QWidget>

#include "common/ui/FieldBinding.h"

using common::Field;

namespace {

constexpr const char* kShifts[] = {"Нет", "По таблице", "По правилу"};
constexpr const char* kLevels[] = {"1", "2"};

struct Values {
    int InfoTimeEdit = 5;
    long long CurrentRatioEdit = 1;
    bool ReinitCheckBox = false;
    int TimeShiftComboBox = 1;
    std::string APNEdit = "internet";
    int LevelComboBox = 0;  // items that are numbers
    bool LCDCheckListBox[3] = {true, false, true};
    common::Fields Fields() {
        common::Fields f = {Field::Integer("InfoTimeEdit", InfoTimeEdit, 0, 255),
                            Field::Integer("CurrentRatioEdit", CurrentRatioEdit, 1, 65535),
                            Field::Tick("ReinitCheckBox", ReinitCheckBox),
                            Field::Choice("TimeShiftComboBox", TimeShiftComboBox, kShifts),
                            Field::Text("APNEdit", APNEdit, 29), Field::Choice("LevelComboBox", LevelComboBox, kLevels)};
        common::AddTicks(f, "LCDCheckListBox", LCDCheckListBox, 3);
        return f;
    }
};

template <class T>
T* Add(QWidget& form, const char* name) {
    auto* w = new T(&form);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

}  // namespace

TEST(FieldBinding, ValuesToControlsAndBack) {
    QWidget form;
    auto* info = Add<QSpinBox>(form, "InfoTimeEdit");
    auto* ratio = Add<QLineEdit>(form, "CurrentRatioEdit");
    auto* reinit = Add<QCheckBox>(form, "ReinitCheckBox");
    auto* shift = Add<QComboBox>(form, "TimeShiftComboBox");
    auto* apn = Add<QLineEdit>(form, "APNEdit");
    auto* level = Add<QComboBox>(form, "LevelComboBox");
    auto* lcd = Add<QListWidget>(form, "LCDCheckListBox");
    for (const char* row : {"Тариф 1", "Тариф 2", "Тариф 3"}) {
        auto* item = new QListWidgetItem(QString::fromUtf8(row), lcd);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    Values v;
    auto fields = v.Fields();
    common::ui::PrepareControls(&form, fields);
    EXPECT_EQ(info->maximum(), 255);
    EXPECT_EQ(shift->count(), 3);
    EXPECT_EQ(shift->itemText(2), "По правилу");
    EXPECT_EQ(apn->maxLength(), 29);

    common::ui::ShowFields(&form, fields);
    EXPECT_EQ(info->value(), 5);
    EXPECT_EQ(ratio->text(), "1");
    EXPECT_FALSE(reinit->isChecked());
    EXPECT_EQ(shift->currentText(), "По таблице");
    EXPECT_EQ(apn->text(), "internet");
    EXPECT_EQ(lcd->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(lcd->item(1)->checkState(), Qt::Unchecked);

    info->setValue(200);
    ratio->setText("400");
    reinit->setChecked(true);
    shift->setCurrentIndex(2);
    apn->setText("m2m");
    level->setCurrentIndex(1);
    lcd->item(1)->setCheckState(Qt::Checked);
    QString error;
    ASSERT_TRUE(common::ui::TakeFields(&form, fields, error)) << error.toStdString();
    EXPECT_EQ(v.InfoTimeEdit, 200);
    EXPECT_EQ(v.CurrentRatioEdit, 400);
    EXPECT_TRUE(v.ReinitCheckBox);
    EXPECT_EQ(v.TimeShiftComboBox, 2);
    EXPECT_EQ(v.APNEdit, "m2m");
    EXPECT_EQ(v.LevelComboBox, 1);  // the item "2", not the item whose text is "1"
    EXPECT_TRUE(v.LCDCheckListBox[1]);

    ratio->setText("0");
    EXPECT_FALSE(common::ui::TakeFields(&form, fields, error));
    EXPECT_EQ(error, "«CurrentRatioEdit»: 0 вне диапазона 1..65535");
}
