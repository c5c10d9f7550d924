// Pages and command groups reach the window only through the host
// interface: here they are built with a host of the test's own, with no
// main window at all, and run their operations against the emulated meter.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "common/core/FormatSettings.h"
#include "manager/PageHost.h"
#include "manager/Unit1_Addressing.h"
#include "manager/TaskList.h"
#include "manager/Unit1_Commands.h"
#include "manager/Unit1_Parameters.h"
#include "manager/core/Access.h"
#include "sim/meter34/Emulator.h"
#include "tests/support/qt/WindowTestEnvironment.h"

namespace {

struct Run {
    QString title;
    bool showResult, withAccess, ok;
    std::string status;
};

class TestHost : public manager::TPageHost {
public:
    bool RunMeterOperation(const QString& title, bool showResult, bool withAccess,
                           const manager::core::MeterOperation& operation) override {
        manager::core::OperationContext ctx(connection, common::NoHooks(), common::Formats());
        std::string status;
        bool ok = manager::core::PrepareAddressing(connection, {"12345", 0, "300"}, status);
        if (ok) ok = withAccess ? manager::core::WithAccess(ctx, {}, operation) : operation(ctx);
        runs.push_back({title, showResult, withAccess, ok, ok || status.empty() ? ctx.StatusText : status});
        return ok;
    }
    bool LastOperationCompleted() const override { return !runs.empty() && runs.back().ok; }
    QString LastStatusText() const override { return runs.empty() ? QString() : QString::fromStdString(runs.back().status); }
    meter34::TMeterConnection& Connection() override { return connection; }
    bool IsConnected() const override { return connection.IsOpen(); }
    void SetStep(const QString&) override {}
    void AddLogLine(const QString& text) override { log << text; }
    QWidget* DialogParent() override { return nullptr; }
    void AddMenuItem(manager::MainMenu, int place, QAction* action) override { menu.emplace_back(place, action); }

    std::vector<std::pair<int, QAction*>> menu;

    meter34::TMeterConnection connection;
    std::vector<Run> runs;
    QStringList log;
};

struct PageHost : ::testing::Test, testsupport::WindowTestEnvironment {
    std::unique_ptr<sim34::Emulator> emu;
    TestHost host;

    void Start(sim34::Front front, int connectionType) {
        sim34::Config cfg;
        cfg.front = front;
        emu = std::make_unique<sim34::Emulator>(cfg);
        ASSERT_TRUE(emu->startPty());
        meter34::ConnectionSettings s;
        s.ConnectionType = connectionType;
        s.DevicePath = emu->slavePath();
        s.Timeout = 1000;
        ASSERT_TRUE(host.connection.Open(s)) << host.connection.ErrorText;
    }
};

}  // namespace

TEST_F(PageHost, TheCommandMenusRunTheirRowsThroughTheHost) {
    Start(sim34::Front::Direct, meter34::kSerial);
    manager::TAdminCommands commands(host);
    commands.SetConnected(true);
    auto* write = commands.findChild<QAction*>("WriteDateTime1");
    auto* read = commands.findChild<QAction*>("ReadDateTime1");
    ASSERT_EQ(host.menu.size(), 27u);  // the items of both menus
    EXPECT_EQ(host.menu[0].second, read);
    EXPECT_LT(host.menu[0].first, host.menu[1].first);
    ASSERT_TRUE(write && read);
    write->trigger();
    read->trigger();
    ASSERT_EQ(host.runs.size(), 2u);
    EXPECT_EQ(host.runs[0].title, "Записываем дату и время...");
    EXPECT_TRUE(host.runs[0].withAccess);
    EXPECT_TRUE(host.runs[0].showResult);
    EXPECT_EQ(host.runs[0].status, "Время установлено");
    EXPECT_EQ(host.runs[1].title, "Читаем дату и время...");
    EXPECT_FALSE(host.runs[1].withAccess);
    EXPECT_TRUE(host.runs[1].status.starts_with("Дата и время счетчика: ")) << host.runs[1].status;
    commands.SetConnected(false);
    EXPECT_FALSE(write->isEnabled());
}

TEST_F(PageHost, TheFirstPageListsThePlcMetersThroughTheHost) {
    Start(sim34::Front::PLC, meter34::kPlc);
    manager::TAddressingPage page(host);
    page.SetConnected(true, meter34::kPlc);
    auto* button = page.findChild<QPushButton*>("GetPLCBaseInfoButton");
    ASSERT_TRUE(button);
    EXPECT_TRUE(button->isVisibleTo(&page));
    QTest::mouseClick(button, Qt::LeftButton);
    // The page writes into its own memo; it never asks the host for the window.
    const QString memo = page.findChild<QPlainTextEdit*>("Memo1")->toPlainText();
    EXPECT_TRUE(memo.startsWith("Получаем список счетчиков, подключенных к базовой станции")) << memo.toStdString();
    EXPECT_TRUE(memo.contains("ID/ZNum: 300/12345")) << memo.toStdString();
    EXPECT_TRUE(memo.endsWith("Выполнено!"));
    // Values come from the controls by their names.
    page.findChild<QLineEdit*>("MeterNumEdit")->setText("777");
    EXPECT_EQ(page.Addressing().MeterNumEdit, "777");
    EXPECT_EQ(page.Access().StartSeanceKeyAEdit, "1");
    EXPECT_EQ(page.Exchange().MaxTimeoutEdit, 4000);
}

TEST_F(PageHost, TheParametersPageTakesTheTabsAndBlocksOfOtherParts) {
    Start(sim34::Front::Direct, meter34::kSerial);
    manager::TParametersPage page(host);
    page.SetConnected(true);
    ASSERT_EQ(host.menu.size(), 2u);
    EXPECT_EQ(host.menu[0].first, manager::ParametrizationItem::ReadParameters);
    EXPECT_EQ(host.menu[0].second->objectName(), "ReadMeterParameters1");
    EXPECT_EQ(host.menu[1].first, manager::ParametrizationItem::WriteParameters);

    // Tabs of other parts take their places whatever order they come in.
    page.AddTab(manager::ParametersTab::Protocol, new QWidget, "Протокол параметризации");
    page.AddTab(manager::ParametersTab::Tariffs, new QWidget, "Тарифы и праздники");
    auto* tabs = page.findChild<QTabWidget*>("ParametrizationPageControl");
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0), "Основные параметры");
    EXPECT_EQ(tabs->tabText(1), "Тарифы и праздники");
    EXPECT_EQ(tabs->tabText(2), "Протокол параметризации");
    EXPECT_EQ(tabs->tabText(3), "Параметры второй группы");

    // A block plugged into row 2 runs in its place between rows 1 and 4.
    std::vector<std::string> order;
    page.SetBlock(manager::core::TariffScheduleRow,
                  {[&order](manager::core::OperationContext&) {
                       order.push_back("tariffs");
                       return true;
                   },
                   {}});
    testsupport::WhenDialogOpens("manager::TFrmTaskList", [](QWidget* d) {
        auto* rows = d->findChild<QListWidget*>("CheckListBox1");
        for (int r : {1, 2, 4}) rows->item(r)->setCheckState(Qt::Checked);
        static_cast<QDialog*>(d)->accept();
    });
    page.findChild<QAction*>("ReadMeterParameters1")->trigger();
    ASSERT_EQ(host.runs.size(), 1u);
    EXPECT_EQ(host.runs[0].title, "Чтение параметров счетчика");
    EXPECT_FALSE(host.runs[0].withAccess);
    EXPECT_EQ(host.runs[0].status, "Чтение параметров выполнено");
    EXPECT_EQ(order, std::vector<std::string>{"tariffs"});
    // Row 1 was read as well: the period shows what the meter holds.
    EXPECT_EQ(page.AdditionalParameters().PeriodComboBox, 6);
}
