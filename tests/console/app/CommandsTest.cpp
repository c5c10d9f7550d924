// The meter session around every operation, and every command of the menu
// "Команда", against the emulator on a pseudo-terminal.
#include <atomic>
#include <cstdlib>
#include <thread>

#include "Fixture.h"
#include "console/app/CurrencyEditor.h"
#include "console/app/MoneyLabels.h"
#include "sim/counter5x/Emulator.h"
#include "tests/console/link/Frames.h"
#include "tests/console/link/ScriptedMeter.h"

namespace {

using testsupport::RecordedBox;
using common::ui::BoxKind;

// Request codes the meter received, in order.
std::vector<int> RequestCodes(const sim5x::Emulator& meter) {
    std::vector<int> codes;
    for (const auto& e : meter.log())
        if (e.kind == sim5x::LogEntry::Kind::Request && e.bytes.size() > 2) codes.push_back(e.bytes[2]);
    return codes;
}

struct Session : OstrilonFixture {
    sim5x::Emulator meter;
    RunnerTitles titles;
    void SetUp() override {
        OstrilonFixture::SetUp();
        ConnectSerial(meter.startPty());
        ASSERT_NE(w->CurrentLink, nullptr) << BoxTexts(*ui);
        AddressDefaultMeter();
    }
    void TearDown() override {
        OstrilonFixture::TearDown();
        meter.stop();
    }
    // The common ending of a command: one information box.
    void ExpectSuccessOnly() {
        ASSERT_EQ(ui->boxes.size(), 1u) << BoxTexts(*ui);
        EXPECT_EQ(ui->Last().text, "Выполнено успешно!");
        EXPECT_EQ(ui->Last().caption, "Информация");
        EXPECT_EQ(ui->Last().kind, BoxKind::Information);
    }
    void ExpectFailure(std::initializer_list<QString> texts) {
        std::vector<QString> want(texts);
        want.push_back(QStringLiteral("Произошла ошибка!"));
        ASSERT_EQ(ui->boxes.size(), want.size()) << BoxTexts(*ui);
        for (std::size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(ui->boxes[i].text, want[i]);
            EXPECT_EQ(ui->boxes[i].caption, "Ошибка");
            EXPECT_EQ(ui->boxes[i].kind, BoxKind::Error);
        }
    }
};

}  // namespace

TEST_F(Session, MeterNumberZeroIsRefusedWithoutADialogOrTraffic) {
    CounterNumEdit()->setValue(0);
    EXPECT_FALSE(w->RunCounterOperation("x", [] { return true; }));
    Action("ContactorOffAction")->trigger();
    ASSERT_EQ(ui->boxes.size(), 2u) << BoxTexts(*ui);
    for (const auto& b : ui->boxes) {
        EXPECT_EQ(b.text, "Укажите номер счетчика!");
        EXPECT_EQ(b.caption, "Ошибка");
    }
    EXPECT_TRUE(titles.titles.isEmpty());
    QThread::msleep(200);
    EXPECT_EQ(meter.counters().requests, 0u);
    EXPECT_EQ(meter.contactor(), sim5x::Contactor::On);
}

TEST_F(Session, AWrongIdentifierIsNamedInTheMessage) {
    CounterIdentEdit()->setValue(4000000000.0);  // above the signed range: shown unsigned
    Action("ContactorOffAction")->trigger();
    ExpectFailure({"Ошибка подключения к счетчику зав.номер: 1234567; идентификатор: 4000000000"});
    EXPECT_EQ(meter.contactor(), sim5x::Contactor::On);
    // The session is ended before and after the attempt.
    EXPECT_TRUE(meter.waitUntil([](const sim5x::Counters& c) { return c.sessionsEnded >= 2; }, 10000));
    EXPECT_EQ(meter.counters().authorizations, 0u);
}

TEST_F(Session, AnUnsupportedVersionTouchesNoAreaAndStillEndsTheSession) {
    meter.updateFaults([](sim5x::Faults& f) { f.reportVersion = 55; });
    Action("ChangeCurrencyAction")->trigger();  // would read area 14
    ExpectFailure({"Текущая версия счетчика [v.55] не поддерживается программой"});
    ASSERT_TRUE(meter.waitUntil([](const sim5x::Counters& c) { return c.sessionsEnded >= 2; }, 10000));
    EXPECT_EQ(RequestCodes(meter), (std::vector<int>{2, 3, 2}));
}

TEST_F(Session, AFailureAfterCancelIsReportedAsCancelledAndTrue) {
    meter.updateFaults([](sim5x::Faults& f) { f.refusals.push_back({14, '0', 2}); });
    const bool result = w->RunCounterOperation("Выключение контактора", [this] {
        // The user presses "Отмена" while the command is under way.
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* r = qobject_cast<common::ui::TFrmOperationProgress*>(top); r && r->isVisible()) r->Button1->click();
        return w->CurrentLink->ContactorCommand(console::ContactorKind::Off);
    });
    EXPECT_TRUE(result);
    ASSERT_EQ(ui->boxes.size(), 1u) << BoxTexts(*ui);
    EXPECT_EQ(ui->Last().text, "Отменено пользователем!");
    EXPECT_EQ(ui->Last().caption, "Информация");
    EXPECT_EQ(meter.counters().refusals, 1u);
}

TEST_F(Session, AnErrorOfThePortEndsTheOperationWithItsText) {
    meter.stop();  // the line goes away under the open port
    Action("ContactorOffAction")->trigger();
    ASSERT_EQ(ui->boxes.size(), 2u) << BoxTexts(*ui);
    EXPECT_TRUE(ui->boxes[0].text.startsWith("Error ")) << BoxTexts(*ui);
    EXPECT_EQ(ui->boxes[1].text, "Произошла ошибка!");
}

TEST_F(Session, EveryCommandReachesTheMeter) {
    using sim5x::Contactor;
    struct Row {
        const char* action;
        const char* title;
        std::function<void(sim5x::Emulator&)> before;
        std::function<bool(sim5x::Emulator&)> after;
    } rows[] = {
        {"WriteDateTimeAction", "Запись даты и времени счетчика",
         [](auto& m) { m.setClock(common::DateTime::makeOrEmpty(2001, 1, 1)); },
         [](auto& m) { return std::llabs(m.clockOffsetMs()) < 60000; }},
        {"CardModeOnAction", "Установка режима предоплаты",
         [](auto& m) { m.withMeter([](sim5x::MeterModel& mm) { mm.setCardMode(false); }); },
         [](auto& m) { return m.cardMode(); }},
        {"ContactorOffAction", "Выключение контактора", {},
         [](auto& m) { return m.contactor() == Contactor::Off; }},
        {"ContactorReleaseAction", "Освобождение контактора", {},
         [](auto& m) { return m.contactor() == Contactor::Released; }},
        {"ContactorOnAction", "Включение контактора", {},
         [](auto& m) { return m.contactor() == Contactor::On; }},
        {"RangeMode100Action", "Перевод в режим копеек", {}, [](auto& m) { return m.kopecks(); }},
        {"RangeMode1Action", "Перевод в режим рублей", {}, [](auto& m) { return !m.kopecks(); }},
        // Already in rubles: the meter refuses with reason 3, which counts as done.
        {"RangeMode1Action", "Перевод в режим рублей", {},
         [](auto& m) { return !m.kopecks() && m.counters().refusals == 1; }},
        {"DopChannel1OnAction", "Включение доп. канала", {}, [](auto& m) { return m.channel(1); }},
        {"DopChannel2OnAction", "Включение доп. канала", {}, [](auto& m) { return m.channel(2); }},
        {"DopChannel1OffAction", "Включение доп. канала", {},
         [](auto& m) { return !m.channel(1) && m.channel(2); }},
        {"DopChannel2OffAction", "Включение доп. канала", {}, [](auto& m) { return !m.channel(2); }},
    };
    for (const auto& r : rows) {
        QAction* a = Action(r.action);
        SCOPED_TRACE(a->objectName().toStdString());
        if (r.before) r.before(meter);
        ui->Clear();
        titles.titles.clear();
        a->trigger();
        EXPECT_EQ(titles.titles, QStringList{r.title});
        ExpectSuccessOnly();
        EXPECT_TRUE(r.after(meter));
    }
}

TEST_F(Session, TheClockIsShownInItsOwnBox) {
    meter.setClock(common::DateTime::makeOrEmpty(2024, 2, 29, 13, 5, 7));
    Action("ReadDateTimeAction")->trigger();
    EXPECT_EQ(titles.titles, QStringList{"Чтение даты и времени счетчика"});
    ASSERT_EQ(ui->boxes.size(), 2u) << BoxTexts(*ui);
    EXPECT_EQ(ui->boxes[0].kind, BoxKind::Plain);
    EXPECT_TRUE(ui->boxes[0].text.startsWith("29.02.2024 13:05:")) << BoxTexts(*ui);
    EXPECT_EQ(ui->boxes[1].text, "Выполнено успешно!");
}

TEST_F(Session, ARefusedCommandFailsThroughTheWrapper) {
    meter.updateFaults([](sim5x::Faults& f) {
        f.refusals.push_back({14, 'F', 2});
        f.refusals.push_back({17, 'S', 2});  // a refusal other than "already in that mode"
    });
    Action("ContactorReleaseAction")->trigger();
    ExpectFailure({});
    ui->Clear();
    Action("RangeMode100Action")->trigger();
    ExpectFailure({});
    EXPECT_EQ(meter.contactor(), sim5x::Contactor::On);
    EXPECT_FALSE(meter.kopecks());
}

TEST_F(Session, CurrencyIsReadEditedAndWritten) {
    QString shown;
    AnswerCurrencyEditor(shown, "KZT");
    Action("ChangeCurrencyAction")->trigger();
    EXPECT_EQ(shown, "RUB");
    EXPECT_EQ(titles.titles, (QStringList{"Чтение идентификатора валюты", "Запись идентификатора валюты"}));
    ASSERT_EQ(ui->boxes.size(), 2u) << BoxTexts(*ui);
    EXPECT_EQ(ui->boxes[0].text, "Выполнено успешно!");
    EXPECT_EQ(ui->boxes[1].text, "Выполнено успешно!");
    EXPECT_EQ(meter.currency(), "KZT");
    EXPECT_EQ(Commands().CurrencyText, "KZT");
}

TEST_F(Session, CancellingTheCurrencyDialogWritesNothing) {
    testsupport::WhenDialogOpens("console::TFrmInputCurrency", [](QWidget* d) {
        auto& dlg = *static_cast<console::TFrmInputCurrency*>(d);
        dlg.CurrencyEdit->setText("USD");
        dlg.CancelButton->click();
    });
    Action("ChangeCurrencyAction")->trigger();
    EXPECT_EQ(titles.titles, QStringList{"Чтение идентификатора валюты"});
    EXPECT_EQ(ui->boxes.size(), 1u) << BoxTexts(*ui);
    EXPECT_EQ(Commands().CurrencyText, "");
    EXPECT_EQ(meter.currency(), "RUB");
    EXPECT_EQ(meter.counters().authorizations, 1u);
}

TEST_F(Session, AFailedCurrencyReadOpensNoEditor) {
    meter.updateFaults([](sim5x::Faults& f) { f.refusals.push_back({6, 14, 2}); });
    bool opened = false;
    testsupport::WhenDialogOpens(
        "console::TFrmInputCurrency", [&](QWidget* d) {
            opened = true;
            static_cast<QDialog*>(d)->reject();
        },
        300);
    Action("ChangeCurrencyAction")->trigger();
    ExpectFailure({});
    WaitFor([&] { return opened; }, 400);
    EXPECT_FALSE(opened);
}

TEST_F(Session, MoneyLabelsFollowTheMeterMode) {
    // A page that owns money labels, as the parameter and tariff pages do.
    auto* page = new QWidget(PageControl1());
    QLabel maxSum, alarm, off, tariff[2][4];
    auto* money = new console::TMoneyLabels(w->Host(), page);
    money->param2MAXSUMMLabel = &maxSum;
    money->param2AlarmValueLabel = &alarm;
    money->param2OffValueLabel = &off;
    for (int g = 0; g < 2; ++g)
        for (int t = 0; t < 4; ++t) money->TariffValueLabels[g][t] = &tariff[g][t];
    meter.setKopecks(true);
    Action("ContactorOnAction")->trigger();
    EXPECT_EQ(maxSum.text(), "Макс. сумма разовой загрузки (коп.)");
    EXPECT_EQ(alarm.text(), "Дебет предупреждения (коп.)");
    EXPECT_EQ(off.text(), "Дебет отключения (коп.)");
    EXPECT_EQ(tariff[1][3].text(), "Тариф 4 (коп./кВт)");
    meter.setKopecks(false);
    Action("ContactorOnAction")->trigger();
    EXPECT_EQ(maxSum.text(), "Макс. сумма разовой загрузки (руб.)");
    EXPECT_EQ(tariff[0][0].text(), "Тариф 1 (руб./кВт)");
    EXPECT_EQ(tariff[1][2].text(), "Тариф 3 (руб./кВт)");
    delete page;
}

TEST_F(OstrilonFixture, AClockThatIsNoDateGivesNoClockBox) {
    testmeter::ScriptedMeter meter([](std::uint8_t code) -> testmeter::ScriptedMeter::Bytes {
        if (code == console::Code::Authorize) return testframes::Frame(4, {53, 0, 0, 0, 0, 1, 0, 0});
        // 31st of month 13
        if (code == console::Code::ReadDateTime) return testframes::Frame(7, {7, 5, 13, 4, 31, 13, 24, 20});
        return {};
    });
    ConnectSerial(meter.path());
    ASSERT_NE(w->CurrentLink, nullptr) << BoxTexts(*ui);
    AddressDefaultMeter();
    Action("ReadDateTimeAction")->trigger();
    ASSERT_EQ(ui->boxes.size(), 1u) << BoxTexts(*ui);
    EXPECT_EQ(ui->Last().text, "Произошла ошибка!");
    DisconnectButton()->click();
}
