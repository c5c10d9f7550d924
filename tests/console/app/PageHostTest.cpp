// Pages and command groups reach the window only through the host
// interface: here they are built with a host of the test's own, with no main
// window at all, and run their operations against the emulated meter.
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>

#include "common/core/Timings.h"
#include "common/ui/FormatSettings.h"
#include "console/app/CurrencyEditor.h"
#include "console/app/Main_Commands.h"
#include "console/app/Main_TopPanel.h"
#include "console/app/MoneyLabels.h"
#include "console/app/PageHost.h"
#include "console/core/Session.h"
#include "console/link/RS232Communication.h"
#include "sim/counter5x/Emulator.h"
#include "tests/console/app/Fixture.h"


namespace {

struct Run {
    QString title;
    bool ok;
};

// Runs every operation in a session of its own on the emulator's line.
class TestHost : public console::TPageHost {
public:
    bool RunCounterOperation(const QString& title, const console::core::CounterOperation& operation) override {
        console::core::OperationContext ctx(link, common::NoHooks(), common::Formats());
        const auto outcome = console::core::WithSession(link, 1234567, 1, [&] {
            Q_EMIT MoneyModeChanged(link.RublesMode);
            return operation(ctx);
        });
        runs.push_back({title, outcome == console::core::SessionOutcome::Done});
        return runs.back().ok;
    }
    console::TCounterCommunication* CurrentLink() override { return &link; }
    void SetStep(const QString&) override {}
    QWidget* DialogParent() override { return nullptr; }
    bool MeterActionsEnabled() const override { return enabled; }
    void SetEnabled(bool on) {
        enabled = on;
        Q_EMIT MeterActionsEnabledChanged(on);
    }

    console::TRS232Communication link;
    std::vector<Run> runs;
    bool enabled = false;
};

struct PageHost : ::testing::Test, testsupport::WindowTestEnvironment {
    sim5x::Emulator meter;
    TestHost host;
    void SetUp() override {
        common::timings().consoleSendPauseMs = 2;
        common::timings().consolePollMs = 40;
        const std::string path = meter.startPty();
        ASSERT_TRUE(host.link.Connect(path, 9600)) << host.link.SerialPort.OpenError();
    }
    void TearDown() override {
        host.link.Disconnect();
        meter.stop();
    }
};

}  // namespace

TEST_F(PageHost, TheCommandMenuRunsItsRowsThroughTheHost) {
    QMenu menu;
    console::TMeterCommands commands(host, &menu);
    auto* contactorOff = menu.findChild<QAction*>("ContactorOffAction");
    auto* readClock = menu.findChild<QAction*>("ReadDateTimeAction");
    auto* currency = menu.findChild<QAction*>("ChangeCurrencyAction");
    ASSERT_TRUE(contactorOff && readClock && currency);
    auto* submenu = menu.findChild<QMenu*>("ContactorMenu");
    ASSERT_NE(submenu, nullptr);
    EXPECT_EQ(submenu->title(), "Управление контактором");
    EXPECT_TRUE(submenu->actions().contains(contactorOff));
    EXPECT_EQ(commands.Actions().size(), 13u);

    // The enabling follows the host.
    EXPECT_FALSE(contactorOff->isEnabled());
    host.SetEnabled(true);
    for (QAction* a : commands.Actions()) EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();

    meter.setClock(common::DateTime::makeOrEmpty(2024, 2, 29, 13, 5, 7));
    readClock->trigger();
    contactorOff->trigger();
    ASSERT_EQ(host.runs.size(), 2u);
    EXPECT_EQ(host.runs[0].title, "Чтение даты и времени счетчика");
    EXPECT_TRUE(host.runs[0].ok);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].kind, common::ui::BoxKind::Plain);
    EXPECT_TRUE(ui->boxes[0].text.startsWith("29.02.2024 13:05:")) << ui->boxes[0].text.toStdString();
    EXPECT_EQ(host.runs[1].title, "Выключение контактора");
    EXPECT_TRUE(host.runs[1].ok);
    EXPECT_EQ(meter.contactor(), sim5x::Contactor::Off);

    // Read, edit in the dialog, write: two runs.
    QString shown;
    AnswerCurrencyEditor(shown, "KZT");
    currency->trigger();
    EXPECT_EQ(shown, "RUB");
    ASSERT_EQ(host.runs.size(), 4u);
    EXPECT_EQ(host.runs[2].title, "Чтение идентификатора валюты");
    EXPECT_EQ(host.runs[3].title, "Запись идентификатора валюты");
    EXPECT_EQ(meter.currency(), "KZT");
    EXPECT_EQ(commands.CurrencyText, "KZT");

    host.SetEnabled(false);
    EXPECT_FALSE(readClock->isEnabled());
}

TEST_F(PageHost, MoneyLabelsOfAPageFollowTheLogin) {
    QWidget page;
    QLabel maxSum(&page), tariff(&page);
    console::TMoneyLabels money(host, &page);
    money.param2MAXSUMMLabel = &maxSum;
    money.TariffValueLabels[1][2] = &tariff;
    meter.setKopecks(true);
    EXPECT_TRUE(host.RunCounterOperation("x", [](console::core::OperationContext&) { return true; }));
    EXPECT_EQ(maxSum.text(), "Макс. сумма разовой загрузки (коп.)");
    EXPECT_EQ(tariff.text(), "Тариф 3 (коп./кВт)");
}

TEST_F(PageHost, TheTopPanelGivesItsValuesByTheControlsNames) {
    console::TTopPanel panel;
    EXPECT_EQ(panel.objectName(), "Panel1");
    const console::core::TopPanelValues start = panel.Values();
    EXPECT_EQ(start.CounterNumEdit, 0u);
    EXPECT_EQ(start.CounterIdentEdit, 0u);
    EXPECT_EQ(start.CurrentPasswordEdit, "0");
    panel.findChild<QSpinBox*>("CounterNumEdit")->setValue(9999999);
    panel.findChild<QDoubleSpinBox*>("CounterIdentEdit")->setValue(4294967295.0);
    panel.findChild<QLineEdit*>("CurrentPasswordEdit")->setText("1234");
    const console::core::TopPanelValues v = panel.Values();
    EXPECT_EQ(v.CounterNumEdit, 9999999u);
    EXPECT_EQ(v.CounterIdentEdit, 4294967295u);
    EXPECT_EQ(v.CurrentPasswordEdit, "1234");
}
