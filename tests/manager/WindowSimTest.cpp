// The main window against the meter emulator: every connection type, the
// runner's outcomes, the access session and the clock commands.
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTest>
#include <chrono>
#include <thread>

#include "WindowFixture.h"
#include "sim/meter34/Emulator.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct WindowSim : WindowFixture {
    std::unique_ptr<sim34::Emulator> emu;

    void Start(sim34::Config cfg = {}, bool tcp = false) {
        cfg.modemGuardMs = 30;
        emu = std::make_unique<sim34::Emulator>(cfg);
        ASSERT_TRUE(tcp ? emu->startTcp() : emu->startPty());
    }
    void TearDown() override {
        WindowFixture::TearDown();
        emu.reset();
    }
    // Connects the window to the emulator with a connection type.
    bool Connect(int type, const QString& phone = {}, bool controller = false) {
        return ConnectWith([&](manager::TFrmOpenCommunication& d) {
            d.ConnectionTypeComboBox->setCurrentIndex(type);
            if (type >= 4) {
                d.COMPortEdit->setValue(emu->port());
                d.PhoneNumberEdit->setText(phone.isEmpty() ? "127.0.0.1" : phone);
            } else {
                d.COMDeviceEdit->setText(QString::fromStdString(emu->slavePath()));
                d.BaudRateComboBox->setCurrentText("9600");
                d.PhoneNumberEdit->setText(phone);
            }
            d.ControllerGSMCheckBox->setChecked(controller);
            d.ControllerPasswordEdit->setText("580274613");
        });
    }
    // Payload types of the meter frames the emulator received (offset 9).
    std::vector<int> RequestTypes() {
        std::vector<int> out;
        for (const auto& r : emu->requests())
            if (r.size() > 9 && r[0] == 0x7E) out.push_back(r[9]);
        return out;
    }
};

}  // namespace

TEST_F(WindowSim, EveryConnectionTypeReachesTheMeter) {
    struct Case { int type; sim34::Front front; bool tcp, modem, controller; QString addr; const char* panel0; };
    const Case cases[] = {
        {0, sim34::Front::Direct, false, false, false, "", "Подключены COM1 (9600 bps)"},
        {1, sim34::Front::Direct, false, true, false, "", "Подключены COM1 (9600 bps), тел. 123"},
        // A controller on a serial line is reached by a dial-up call.
        {2, sim34::Front::PLC, false, true, true, "300", "Подключены COM1 (9600 bps), тел. 1"},
        {3, sim34::Front::RF, false, false, false, "7", "Подключены COM1 (9600 bps)"},
        {4, sim34::Front::Direct, true, false, false, "", "Подключены TCP/IP: 127.0.0.1:"},
        {5, sim34::Front::PLC, true, false, true, "300", "Подключены TCP/IP: 127.0.0.1:"},
        {6, sim34::Front::RF, true, false, true, "7;8", "Подключены TCP/IP: 127.0.0.1:"},
    };
    for (const auto& c : cases) {
        sim34::Config cfg;
        cfg.front = c.front;
        cfg.modem = c.modem;
        cfg.controller = c.controller;
        Start(cfg, c.tcp);
        ASSERT_TRUE(Connect(c.type, c.tcp ? "" : c.controller ? "1" : c.modem ? "123" : "", c.controller))
            << c.type << " " << ui->Last().text.toStdString();
        EXPECT_TRUE(w->StatusPanelText(0).startsWith(c.panel0)) << w->StatusPanelText(0).toStdString();
        Find<QLineEdit>("MeterNumEdit")->setText("12345");
        Find<QLineEdit>("AddrParametersEdit")->setText(c.addr);
        ui->Clear();
        Find<QAction>("ReadDateTime1")->trigger();
        ASSERT_EQ(ui->boxes.size(), 1u) << c.type;
        EXPECT_TRUE(ui->Last().text.startsWith("Дата и время счетчика: ")) << c.type << ui->Last().text.toStdString();
        EXPECT_EQ(ui->Last().caption, "Информация");
        EXPECT_EQ(w->StatusPanelText(1), ui->Last().text);
        EXPECT_EQ(emu->counters().controllerLogins, c.controller ? 1u : 0u) << c.type;
        EXPECT_EQ(emu->counters().modemCalls, c.modem ? 1u : 0u) << c.type;
        Find<QAction>("CloseCommunication1")->trigger();
        EXPECT_FALSE(w->IsConnected());
        emu.reset();
    }
}

TEST_F(WindowSim, ControllerLoginComesFirstAndTheMeterWaitsForIt) {
    common::timings().controllerLogoutPauseMs = 300;
    common::timings().controllerAfterLoginMs = 400;
    sim34::Config cfg;
    cfg.front = sim34::Front::PLC;
    cfg.controller = true;
    Start(cfg, true);
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(Connect(5, "127.0.0.1", true));
    Find<QLineEdit>("MeterNumEdit")->setText("12345");
    Find<QLineEdit>("AddrParametersEdit")->setText("300");
    Find<QAction>("ReadDateTime1")->trigger();
    // Logout line, then the login line with the password, then the meter.
    const auto raw = emu->rawInput();
    const std::string input(raw.begin(), raw.end());
    const auto logout = input.find("*****\r\n"), login = input.find("SETTRANSPARENTMODE;580274613\r\n");
    ASSERT_NE(logout, std::string::npos);
    ASSERT_NE(login, std::string::npos);
    EXPECT_LT(logout, login);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(700));
    EXPECT_EQ(ui->Last().caption, "Информация") << ui->Last().text.toStdString();
    // A refused login is said, and the connection goes on.
    Find<QAction>("CloseCommunication1")->trigger();
    ui->Clear();
    ASSERT_TRUE(ConnectWith([&](manager::TFrmOpenCommunication& d) {
        d.ConnectionTypeComboBox->setCurrentIndex(5);
        d.COMPortEdit->setValue(emu->port());
        d.PhoneNumberEdit->setText("127.0.0.1");
        d.ControllerGSMCheckBox->setChecked(true);
        d.ControllerPasswordEdit->setText("wrong");
    }));
    ASSERT_FALSE(ui->boxes.empty());
    EXPECT_EQ(ui->boxes[0].text, "Не удалось открыть прозрачный режим!");
}

TEST_F(WindowSim, AccessSessionAroundTheClockWrite) {
    Start();
    ASSERT_TRUE(Connect(0));
    Find<QLineEdit>("MeterNumEdit")->setText("12345");

    // Wrong key A: the access error, the closing packet, no clock command.
    Find<QLineEdit>("StartSeanceKeyAEdit")->setText("2");
    emu->clearLog();
    Find<QAction>("WriteDateTime1")->trigger();
    EXPECT_EQ(ui->Last().text, "Ошибка открытия доступа: Ошибка доступа");
    EXPECT_EQ(ui->Last().caption, "Ошибка");
    EXPECT_EQ(RequestTypes(), (std::vector<int>{1, 1, 2}));

    // A field that is not a number: nothing is sent at all.
    Find<QLineEdit>("StartSeanceKeyAEdit")->setText("ключ");
    emu->clearLog();
    Find<QAction>("WriteDateTime1")->trigger();
    EXPECT_TRUE(ui->Last().text.startsWith("Ошибка открытия доступа: ")) << ui->Last().text.toStdString();
    EXPECT_TRUE(ui->Last().text.contains("Ключ А"));
    EXPECT_TRUE(emu->requests().empty());

    // Right keys: AUTH_0..2, the enciphered clock write, the close.
    Find<QLineEdit>("StartSeanceKeyAEdit")->setText("1");
    emu->setMeterTime(*common::DateTime::make(2020, 1, 1));
    emu->clearLog();
    Find<QAction>("WriteDateTime1")->trigger();
    EXPECT_EQ(ui->Last().text, "Время установлено");
    EXPECT_EQ(RequestTypes(), (std::vector<int>{1, 1, 0x81, 0x84, 2}));
    EXPECT_LT(std::llabs(emu->meterTime().msecsTo(common::DateTime::now())), 5000);

    // The correction goes out in clear without access, whatever the fields hold.
    Find<QLineEdit>("StartSeanceKeyAEdit")->setText("99");
    emu->setMeterTime(*common::DateTime::make(2020, 1, 1));
    emu->clearLog();
    Find<QAction>("CorrectDateTime1")->trigger();
    EXPECT_EQ(ui->Last().text, "Время установлено");
    EXPECT_EQ(RequestTypes(), (std::vector<int>{4}));
    EXPECT_LT(std::llabs(emu->meterTime().msecsTo(common::DateTime::now())), 5000);
}

TEST_F(WindowSim, RunnerOutcomesAndTheStatusLine) {
    Start();
    ASSERT_TRUE(Connect(0));
    Find<QLineEdit>("MeterNumEdit")->setText("12345");

    // Success without a box unless asked for.
    ui->Clear();
    EXPECT_TRUE(w->RunMeterOperation("t", false, manager::core::ReadDateTime));
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_TRUE(w->OperationCompleted);
    EXPECT_TRUE(w->StatusPanelText(1).startsWith("Дата и время счетчика: "));

    // Failure: the operation's text in an error box and on the status line.
    emu->setSilence(100);
    Find<QSpinBox>("MaxTimeoutEdit")->setValue(300);
    w->Connection.Link->Timeout = 300;
    w->Connection.Link->ExtraTimeout = 0;
    EXPECT_FALSE(w->RunMeterOperation("t", true, manager::core::ReadDateTime));
    EXPECT_EQ(ui->Last().text, "Ошибка чтения даты и времени: Устройство не ответило на запрос");
    EXPECT_EQ(ui->Last().caption, "Ошибка");
    EXPECT_EQ(w->StatusPanelText(1), ui->Last().text);
    EXPECT_FALSE(w->OperationCompleted);

    // Cancel during a long operation: "Отмена" is noticed between exchanges.
    ui->Clear();
    int exchanges = 0;
    EXPECT_TRUE(w->RunMeterOperation("t", true, [&](manager::core::OperationContext& ctx) {
        for (;;) {
            if (common::ui::CancelRequested()) {
                ctx.StatusText = "Прервано пользователем";
                return false;
            }
            common::DateTime t;
            w->Connection.Meter->GetDateTime(t);
            ++exchanges;
            if (exchanges == 2)
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (auto* r = qobject_cast<common::ui::TFrmOperationProgress*>(top); r && r->isVisible())
                        QTest::mouseClick(r->Button1, Qt::LeftButton);
            common::ProcessPendingEvents();
        }
    }));
    EXPECT_EQ(exchanges, 2);
    EXPECT_FALSE(w->OperationCompleted);
    EXPECT_EQ(ui->Last().text, "Отменено пользователем!");
    EXPECT_EQ(ui->Last().caption, "Информация");
    EXPECT_EQ(w->StatusPanelText(1), "Прервано пользователем");
}

TEST_F(WindowSim, LostLinkIsReportedAsSuch) {
    sim34::Config cfg;
    cfg.modem = true;
    Start(cfg);
    ASSERT_TRUE(Connect(1, "5"));
    Find<QLineEdit>("MeterNumEdit")->setText("12345");
    w->Connection.Link->ExtraTimeout = 0;
    emu->setSilence(1);
    std::thread drop([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        emu->dropCarrier();
    });
    Find<QAction>("ReadDateTime1")->trigger();
    drop.join();
    EXPECT_EQ(ui->Last().text, "Потеряно подключение! Необходимо переподключиться");
    EXPECT_EQ(ui->Last().caption, "Ошибка");
    EXPECT_TRUE(w->IsConnected());  // stays until the user disconnects
    Find<QAction>("CloseCommunication1")->trigger();
    EXPECT_FALSE(w->IsConnected());
}

// The PLC meter list runs in the button's event without the runner; while it
// runs the window takes no input: no second list, no disconnect, no close.
TEST_F(WindowSim, PlcMeterListTakesNoInputUntilItHasFinished) {
    sim34::Config cfg;
    cfg.front = sim34::Front::PLC;
    cfg.plcSlots = {{true, 300, 12345}, {true, 301, 777}};
    Start(cfg);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    ASSERT_TRUE(Connect(2));
    ASSERT_TRUE(Find<QPushButton>("GetPLCBaseInfoButton")->isVisible());
    // Slow answers keep the list waiting long enough for the input below.
    emu->setReplyDelayMs(300);

    bool poked = false;
    QTimer::singleShot(150, w.get(), [&] {
        poked = true;
        QTest::mouseClick(Find<QPushButton>("GetPLCBaseInfoButton"), Qt::LeftButton);  // a second list
        QTest::keyClick(w.get(), Qt::Key_Escape);
        w->close();  // the window's close box, or "Выход"
    });
    QTest::mouseClick(Find<QPushButton>("GetPLCBaseInfoButton"), Qt::LeftButton);
    EXPECT_TRUE(poked);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->IsConnected());
    EXPECT_FALSE(QFile::exists(SettingsPath()));  // the close did not run
    const QStringList lines = Find<QPlainTextEdit>("Memo1")->toPlainText().split('\n');
    EXPECT_EQ(lines.count(QStringLiteral("Выполнено!")), 1) << Find<QPlainTextEdit>("Memo1")->toPlainText().toStdString();
    // Afterwards the window reacts again.
    Find<QAction>("CloseCommunication1")->trigger();
    EXPECT_FALSE(w->IsConnected());
}
