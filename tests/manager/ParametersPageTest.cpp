// The page "Параметризация" in the real window against the emulated meter:
// controls bound to the core's values (limits, defaults, rows), the task
// list, the two menu items and the popup menu of the check lists.
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTabWidget>

#include "WindowFixture.h"
#include "manager/TaskList.h"
#include "sim/meter34/Emulator.h"

namespace {

struct ParametersPage : WindowFixture {
    std::unique_ptr<sim34::Emulator> emu;

    void SetUp() override {
        WindowFixture::SetUp();
        emu = std::make_unique<sim34::Emulator>();
        ASSERT_TRUE(emu->startPty());
    }
    void TearDown() override {
        WindowFixture::TearDown();
        emu.reset();
    }
    bool Connect() {
        if (!ConnectSerial(emu->slavePath())) return false;
        Find<QLineEdit>("MeterNumEdit")->setText("12345");
        return true;
    }
    // Runs a menu item of the jobs: the task list opens, gets the given rows
    // ticked (all others cleared) and is closed with "OK" or "Отмена".
    void RunJob(const char* action, std::vector<int> rows, bool ok = true) {
        testsupport::WhenDialogOpens("manager::TFrmTaskList", [this, rows, ok](QWidget* d) {
            auto& list = *static_cast<manager::TFrmTaskList*>(d);
            caption = list.windowTitle();
            list.SpeedButton2Click(1);
            auto* box = list.findChild<QListWidget*>("CheckListBox1");
            for (int r : rows) box->item(r)->setCheckState(Qt::Checked);
            ok ? list.accept() : list.reject();
        });
        Find<QAction>(action)->trigger();
    }
    QListWidget* List(const char* name) const { return Find<QListWidget>(name); }
    static bool Ticked(QListWidget* l, int row) { return l->item(row)->checkState() == Qt::Checked; }

    QString caption;
};

}  // namespace

TEST_F(ParametersPage, TabsControlsLimitsAndDefaults) {
    auto* pages = Find<QTabWidget>("PageControl1");
    ASSERT_GE(pages->count(), 2);
    EXPECT_EQ(pages->tabText(0), "Адресация и параметры доступа");
    EXPECT_EQ(pages->tabText(1), "Параметризация");
    auto* tabs = Find<QTabWidget>("ParametrizationPageControl");
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "Основные параметры");
    EXPECT_EQ(tabs->tabText(1), "Параметры второй группы");

    struct Spin { const char* name; int lo, hi, value; } spins[] = {
        {"InfoTimeEdit", 3, 10, 3},          {"MaxPowerEdit", 2, 25000, 2},
        {"MaxPowerTimeEdit", 0, 60, 0},      {"ContactorOnTimeEdit", 15, 300, 15},
        {"ReinitTimeEdit", 30, 10000, 30},   {"SecAutoCorrectTimeEdit", -5, 5, 0},
        {"SummerTimeEdit", 2, 22, 2},        {"WinterShiftEdit", -1, 1, 0},
        {"CurrentRatioEdit", 0, 65535, 1},   {"Max_AminusTimeEdit", 0, 255, 0},
        {"Max_IOnTimeEdit", 0, 65535, 0},    {"Max_IEdit", -2147483, 2147483, 2},
    };
    for (const auto& s : spins) {
        auto* spin = Find<QSpinBox>(s.name);
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(spin->minimum(), s.lo) << s.name;
        EXPECT_EQ(spin->maximum(), s.hi) << s.name;
        EXPECT_EQ(spin->value(), s.value) << s.name;
    }
    EXPECT_EQ(Find<QComboBox>("PeriodComboBox")->count(), 8);
    EXPECT_EQ(Find<QComboBox>("PeriodComboBox")->currentIndex(), -1);  // nothing until a read or a load
    EXPECT_EQ(Find<QComboBox>("TimeShiftComboBox")->currentText(), "Нет");
    EXPECT_EQ(Find<QLineEdit>("SummerDateEdit")->text(), "01.01");
    EXPECT_FALSE(Find<QCheckBox>("ReinitCheckBox")->isChecked());
    EXPECT_EQ(Find<QLabel>("CurrentVoltageRatioChangesCountLabel")->text(), "Изменений");
    EXPECT_EQ(Find<QLabel>("CurrentVoltageRatioLastDateLabel")->text(), "Дата изменения");
    struct Rows { const char* name; int count; const char* last; } lists[] = {
        {"LCDCheckListBox", 17, "Состояние контактора"},
        {"ContactorControlCheckListBox", 10, "По превышению тока"},
        {"LCD2CheckListBox", 3, "Статус GPRS-соединения"},
        {"ExternalContactorModeCheckListBox", 6, "Управлять по интерфейсу"},
    };
    for (const auto& l : lists) {
        auto* list = List(l.name);
        ASSERT_EQ(list->count(), l.count) << l.name;
        EXPECT_EQ(list->item(l.count - 1)->text(), l.last) << l.name;
        for (int i = 0; i < l.count; ++i) EXPECT_FALSE(Ticked(list, i)) << l.name << i;
    }
}

TEST_F(ParametersPage, MenuItemsFollowTheConnection) {
    auto* read = Find<QAction>("ReadMeterParameters1");
    auto* write = Find<QAction>("WriteMeterParameters1");
    auto* menu = Find<QMenu>("Meter1");
    ASSERT_GE(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0], read);
    EXPECT_EQ(menu->actions()[1], write);
    EXPECT_EQ(read->text(), "Чтение параметров...");
    EXPECT_EQ(write->text(), "Запись параметров...");
    EXPECT_FALSE(read->isEnabled());
    EXPECT_FALSE(write->isEnabled());
    ASSERT_TRUE(Connect());
    EXPECT_TRUE(read->isEnabled());
    EXPECT_TRUE(write->isEnabled());
    Find<QAction>("CloseCommunication1")->trigger();
    EXPECT_FALSE(read->isEnabled());
}

TEST_F(ParametersPage, ReadChangeWriteAndReadAgain) {
    ASSERT_TRUE(Connect());
    RunJob("ReadMeterParameters1", {0, 1, 4, 5});
    EXPECT_EQ(caption, "Файл задания - Чтение");
    EXPECT_EQ(ui->Last().text, "Чтение параметров выполнено");
    EXPECT_EQ(ui->Last().caption, "Информация");
    EXPECT_EQ(Find<QSpinBox>("InfoTimeEdit")->value(), 5);
    EXPECT_EQ(Find<QSpinBox>("MaxPowerEdit")->value(), 15000);
    EXPECT_TRUE(Ticked(List("LCDCheckListBox"), 0));
    EXPECT_TRUE(Ticked(List("ContactorControlCheckListBox"), 1));
    EXPECT_EQ(Find<QComboBox>("PeriodComboBox")->currentText(), "30 минут");
    EXPECT_EQ(Find<QComboBox>("TimeShiftComboBox")->currentText(), "По таблице");
    EXPECT_EQ(Find<QLineEdit>("WinterDateEdit")->text(), "27.10");
    EXPECT_EQ(Find<QSpinBox>("WinterShiftEdit")->value(), -1);
    EXPECT_EQ(Find<QLabel>("CurrentVoltageRatioChangesCountLabel")->text(), "Изменений: 1");
    EXPECT_TRUE(Find<QLabel>("CurrentVoltageRatioLastDateLabel")->text().startsWith("Последнее: "));
    EXPECT_EQ(Find<QSpinBox>("Max_IEdit")->value(), 60);
    EXPECT_TRUE(Ticked(List("LCD2CheckListBox"), 0));

    Find<QSpinBox>("InfoTimeEdit")->setValue(8);
    List("LCDCheckListBox")->item(16)->setCheckState(Qt::Checked);
    Find<QComboBox>("PeriodComboBox")->setCurrentText("1 час");
    Find<QLineEdit>("SummerDateEdit")->setText("29.02");
    Find<QSpinBox>("SummerTimeEdit")->setValue(3);
    Find<QSpinBox>("VoltageRatioEdit")->setValue(20);
    Find<QSpinBox>("Max_ITimeEdit")->setValue(45);
    List("ExternalContactorModeCheckListBox")->item(2)->setCheckState(Qt::Checked);
    RunJob("WriteMeterParameters1", {0, 1, 4, 5});
    EXPECT_EQ(caption, "Файл задания - Запись");
    EXPECT_EQ(ui->Last().text, "Запись параметров выполнена");
    emu->withMeter([](sim34::MeterModel& m) {
        const auto& s = m.state();
        EXPECT_EQ(s.main[2], 8);
        EXPECT_EQ(s.main[11], 0x02);                  // display row 16
        EXPECT_EQ(s.additional[1], 0xE1);             // 1 hour, by table
        EXPECT_EQ(s.additional[2], 0xA3);             // 29.02 3 h
        EXPECT_EQ(s.additional[3], 0x0B);
        EXPECT_EQ(s.ratioU, 20);
        EXPECT_EQ(s.second[13], 45);
        EXPECT_EQ(s.second[19], 0x04);
        EXPECT_FALSE(m.sessionOpen());
    });

    // Another value in the window, then a read: the meter's values come back.
    Find<QSpinBox>("InfoTimeEdit")->setValue(3);
    Find<QSpinBox>("VoltageRatioEdit")->setValue(1);
    RunJob("ReadMeterParameters1", {0, 4});
    EXPECT_EQ(Find<QSpinBox>("InfoTimeEdit")->value(), 8);
    EXPECT_EQ(Find<QSpinBox>("VoltageRatioEdit")->value(), 20);
    EXPECT_EQ(Find<QLabel>("CurrentVoltageRatioChangesCountLabel")->text(), "Изменений: 2");
}

TEST_F(ParametersPage, TheTaskListKeepsItsTicksAndCancelStartsNothing) {
    ASSERT_TRUE(Connect());
    emu->clearLog();
    RunJob("ReadMeterParameters1", {1, 3}, false);
    EXPECT_TRUE(emu->requests().empty());
    EXPECT_TRUE(ui->boxes.empty());
    // The same dialog, its ticks as left.
    auto* list = w->findChild<manager::TFrmTaskList*>();
    ASSERT_NE(list, nullptr);
    const auto ticks = list->Ticks();
    EXPECT_EQ(ticks, (manager::core::ParameterTicks{false, true, false, true, false, false}));
    list->SpeedButton2Click(0);
    EXPECT_EQ(list->Ticks(), (manager::core::ParameterTicks{true, true, true, true, true, true}));
    list->SpeedButton2Click(1);
    EXPECT_EQ(list->Ticks(), manager::core::ParameterTicks{});
    auto* rows = list->findChild<QListWidget*>("CheckListBox1");
    ASSERT_EQ(rows->count(), 6);
    EXPECT_EQ(rows->item(5)->text(), "Параметры вторая группа");
}

TEST_F(ParametersPage, AWriteThatCannotBeBuiltShowsWhyAndSendsNoBlock) {
    ASSERT_TRUE(Connect());
    // No integration period chosen yet (nothing read): the block is refused.
    emu->clearLog();
    RunJob("WriteMeterParameters1", {1});
    EXPECT_EQ(ui->Last().text, "Ошибка записи дополнительных параметров: не выбран период интеграции");
    EXPECT_EQ(ui->Last().caption, "Ошибка");
    Find<QComboBox>("PeriodComboBox")->setCurrentIndex(0);
    Find<QLineEdit>("WinterDateEdit")->setText("31.04");
    RunJob("WriteMeterParameters1", {1});
    EXPECT_EQ(ui->Last().text, "Ошибка записи дополнительных параметров: неверная дата перехода «31.04»");
    emu->withMeter([](sim34::MeterModel& m) {
        EXPECT_EQ(m.state().additional[1], 0xC1);  // as it was
        EXPECT_FALSE(m.sessionOpen());
    });
}

TEST_F(ParametersPage, ThePopupMenuActsOnTheListItWasOpenedOn) {
    auto* display = List("LCDCheckListBox");
    auto* contactor = List("ContactorControlCheckListBox");
    display->item(0)->setCheckState(Qt::Checked);
    contactor->item(3)->setCheckState(Qt::Checked);
    auto* menu = Find<QMenu>("CheckListPopupMenu");
    auto item = [&](const char* name) { return menu->findChild<QAction*>(name); };
    ASSERT_NE(item("InvertSelection1"), nullptr);
    EXPECT_EQ(item("SelectAll1")->text(), "Выбрать все");
    EXPECT_EQ(item("UnselectAll1")->text(), "Отменить выбранные");
    EXPECT_EQ(item("InvertSelection1")->text(), "Инвертировать выбор");

    Q_EMIT contactor->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(menu->isVisible());
    item("InvertSelection1")->trigger();
    menu->hide();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Ticked(contactor, i), i != 3) << i;
    EXPECT_TRUE(Ticked(display, 0));
    for (int i = 1; i < 17; ++i) EXPECT_FALSE(Ticked(display, i)) << i;

    Q_EMIT display->customContextMenuRequested(QPoint(5, 5));
    item("SelectAll1")->trigger();
    menu->hide();
    for (int i = 0; i < 17; ++i) EXPECT_TRUE(Ticked(display, i)) << i;
    EXPECT_FALSE(Ticked(contactor, 3));
    Q_EMIT display->customContextMenuRequested(QPoint(5, 5));
    item("UnselectAll1")->trigger();
    menu->hide();
    for (int i = 0; i < 17; ++i) EXPECT_FALSE(Ticked(display, i)) << i;
    EXPECT_TRUE(Ticked(contactor, 0));
}
