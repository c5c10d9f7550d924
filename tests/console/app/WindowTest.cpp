// The window of Ostrilon: start, settings file and dialog, connecting and
// disconnecting over a pseudo-terminal and as a TCP server.
#include <QGroupBox>
#include <QStandardItemModel>
#include <QTimer>

#include "Fixture.h"
#include "common/core/IniFile.h"
#include "common/core/TextCodec.h"
#include "common/ui/AppPaths.h"
#include "console/app/Parameters.h"
#include "sim/counter5x/Emulator.h"
#include "tests/support/Loopback.h"

struct Window : OstrilonFixture {
    // Listens on a free port with meter connected as the meter side; the
    // port once the actions are enabled, 0 when they never were.
    int ServeMeter(sim5x::Emulator& meter) {
        const int port = testsupport::UnusedLoopbackPort();
        Listen(port);
        meter.startTcpClient("127.0.0.1", port);
        return WaitFor([&] { return Action("ReadDateTimeAction")->isEnabled(); }, 30000) ? port : 0;
    }
};

TEST_F(Window, StartsWithoutALinkAndKeepsTheSettingsAtExit) {
    EXPECT_EQ(w->windowTitle(), "Управление счетчиком версий 51...54");
    ASSERT_EQ(ConnectionTypeComboBox()->count(), 3);
    EXPECT_EQ(ConnectionTypeComboBox()->itemText(0), "RS-232");
    EXPECT_EQ(ConnectionTypeComboBox()->itemText(1), "Модем");
    EXPECT_EQ(ConnectionTypeComboBox()->itemText(2), "TCP-сервер");
    EXPECT_EQ(ConnectionTypeComboBox()->currentIndex(), 0);
    EXPECT_TRUE(ConnectionTypeComboBox()->isEnabled());
    auto* model = qobject_cast<QStandardItemModel*>(ConnectionTypeComboBox()->model());
    ASSERT_NE(model, nullptr);
    EXPECT_FALSE(model->item(1)->isEnabled());  // no dialing in this program
    EXPECT_TRUE(model->item(2)->isEnabled());
    EXPECT_TRUE(ConnectButton()->isEnabled());
    EXPECT_FALSE(DisconnectButton()->isEnabled());
    EXPECT_EQ(ConnectButton()->text(), "Подключиться");
    EXPECT_EQ(DisconnectButton()->text(), "Отключиться");
    EXPECT_EQ(CounterNumEdit()->maximum(), 9999999);
    EXPECT_EQ(CounterIdentEdit()->maximum(), 4294967295.0);
    EXPECT_FALSE(CurrentPasswordEdit()->isVisibleTo(w.get()));

    const char* names[] = {"ReadDateTimeAction",  "WriteDateTimeAction",  "CardModeOnAction",    "ContactorOnAction",
                           "ContactorOffAction",  "ContactorReleaseAction", "RangeMode100Action", "RangeMode1Action",
                           "ChangeCurrencyAction", "DopChannel1OnAction", "DopChannel2OnAction", "DopChannel1OffAction",
                           "DopChannel2OffAction"};
    ASSERT_EQ(w->MeterActions().size(), std::size(names));
    for (const char* n : names) {
        auto* a = w->findChild<QAction*>(n);
        ASSERT_NE(a, nullptr) << n;
        EXPECT_FALSE(a->isEnabled()) << n;
    }
    EXPECT_TRUE(Action("SettingsAction")->isEnabled());
    EXPECT_TRUE(Action("AboutAction")->isEnabled());

    EXPECT_EQ(w->Settings.ComPortNumber, 1);
    EXPECT_EQ(w->Settings.ComPortSpeed, 1200);
    EXPECT_EQ(w->Settings.ComPortDevice, "");
    EXPECT_EQ(w->Settings.TcpServerPort, 144);
    EXPECT_FALSE(QFile::exists(SettingsPath()));
    w->close();
    common::IniFile ini(SettingsPath().toStdString());
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadString("COMPORT", "NUM", "?"), "1");
    EXPECT_EQ(ini.ReadString("COMPORT", "SPEED", "?"), "1200");
    EXPECT_EQ(ini.ReadString("COMPORT", "TCPPORT", "?"), "144");
    std::string bytes, err;
    ASSERT_TRUE(common::ReadWholeFile(SettingsPath().toStdString(), bytes, err));
    EXPECT_EQ(bytes.rfind("[COMPORT]\r\n", 0), 0u) << bytes;
}

TEST_F(Window, SettingsAreReadAndHandEditedValuesFallBack) {
    w.reset();
    common::IniFile ini(SettingsPath().toStdString());
    ini.WriteString("COMPORT", "NUM", "7");
    ini.WriteString("COMPORT", "SPEED", "fast");
    ini.WriteString("COMPORT", "DEVICE", "/dev/ttyUSB0");
    ini.WriteString("COMPORT", "TCPPORT", "99999");
    ini.WriteString("Прочее", "Ключ", "значение");
    ASSERT_TRUE(ini.Save());
    w = std::make_unique<console::TFrmMain>(SettingsPath());
    EXPECT_EQ(w->Settings.ComPortNumber, 7);
    EXPECT_EQ(w->Settings.ComPortSpeed, 1200);
    EXPECT_EQ(w->Settings.ComPortDevice, "/dev/ttyUSB0");
    EXPECT_EQ(w->Settings.TcpServerPort, 144);
    w->close();
    common::IniFile again(SettingsPath().toStdString());
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.ReadString("COMPORT", "NUM", ""), "7");
    EXPECT_EQ(again.ReadString("COMPORT", "SPEED", ""), "1200");
    EXPECT_EQ(again.ReadString("Прочее", "Ключ", ""), "значение");
    std::string bytes, err;
    ASSERT_TRUE(common::ReadWholeFile(SettingsPath().toStdString(), bytes, err));
    EXPECT_NE(bytes.find(common::Utf8ToCp1251("значение")), std::string::npos);
}

TEST_F(Window, SettingsFileIsNamedAfterTheProgram) {
    EXPECT_EQ(common::ui::SettingsFilePathFor(dir.filePath("Ostrilon")), dir.filePath("Ostrilon.INI"));
    EXPECT_EQ(common::ui::SettingsFilePathFor(dir.filePath("Ostrilon_serial")), dir.filePath("Ostrilon_serial.INI"));
}

TEST_F(Window, SettingsDialogStoresNumbersAndDefaultsForTheRest) {
    struct Case {
        const char *port, *speed, *device, *tcp;
        int wantPort, wantSpeed;
        const char* wantDevice;
        int wantTcp;
    } cases[] = {
        {"3", "9600", "", "5000", 3, 9600, "", 5000},
        {"x", "fast", " /dev/ttyUSB1 ", "y", 1, 1200, "/dev/ttyUSB1", 144},
        {" 12 ", "", "", "0", 12, 1200, "", 144},
        {"4", "19200", "", "70000", 4, 19200, "", 144},
    };
    for (const auto& c : cases) {
        w->Settings = console::PortSettings{};
        bool seen = false;
        testsupport::WhenDialogOpens("console::TFrmParameters", [&](QWidget* d) {
            auto& dlg = *static_cast<console::TFrmParameters*>(d);
            seen = true;
            EXPECT_EQ(dlg.windowTitle(), "Параметры");
            EXPECT_EQ(dlg.ComPortEdit->text(), "1");
            EXPECT_EQ(dlg.COMPortSpeedEdit->text(), "1200");
            EXPECT_EQ(dlg.TCPServerPortEdit->text(), "144");
            EXPECT_EQ(dlg.PhoneNumberEdit->text(), "atd");
            EXPECT_FALSE(dlg.PhoneNumberEdit->isEnabled());
            dlg.ComPortEdit->setText(c.port);
            dlg.COMPortSpeedEdit->setText(c.speed);
            dlg.COMDeviceEdit->setText(c.device);
            dlg.TCPServerPortEdit->setText(c.tcp);
            dlg.OKButton->click();
        });
        Action("SettingsAction")->trigger();
        ASSERT_TRUE(seen);
        EXPECT_EQ(w->Settings.ComPortNumber, c.wantPort) << c.port;
        EXPECT_EQ(w->Settings.ComPortSpeed, c.wantSpeed) << c.speed;
        EXPECT_EQ(w->Settings.ComPortDevice, c.wantDevice) << c.device;
        EXPECT_EQ(w->Settings.TcpServerPort, c.wantTcp) << c.tcp;
    }
    // Cancel keeps what was there.
    testsupport::WhenDialogOpens("console::TFrmParameters", [](QWidget* d) {
        auto& dlg = *static_cast<console::TFrmParameters*>(d);
        dlg.ComPortEdit->setText("9");
        dlg.CancelButton->click();
    });
    Action("SettingsAction")->trigger();
    EXPECT_EQ(w->Settings.ComPortNumber, 4);
}

TEST_F(Window, AboutShowsTheProgram) {
    bool seen = false;
    testsupport::WhenDialogOpens("console::TFrmAbout", [&](QWidget* d) {
        seen = true;
        auto* name = d->findChild<QLabel*>("ProductName");
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text(), "Ostrilon");
        static_cast<QDialog*>(d)->accept();
    });
    Action("AboutAction")->trigger();
    EXPECT_TRUE(seen);
}

TEST_F(Window, ConnectsAndDisconnectsOnTheSerialLink) {
    // A button of a page that needs a meter follows the actions.
    auto* statistics = new QPushButton(QStringLiteral("Статистика"), PageControl1());
    w->Host().FollowMeterActions(statistics);
    EXPECT_FALSE(statistics->isEnabled());

    sim5x::Emulator meter;
    const std::string tty = meter.startPty();
    ConnectSerial(tty);
    EXPECT_TRUE(statistics->isEnabled());
    EXPECT_TRUE(ui->boxes.empty()) << BoxTexts(*ui);
    ASSERT_NE(w->CurrentLink, nullptr);
    EXPECT_EQ(w->CurrentLink, w->SerialLink.get());
    for (QAction* a : w->MeterActions()) EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(ConnectButton()->isEnabled());
    EXPECT_TRUE(DisconnectButton()->isEnabled());
    EXPECT_FALSE(ConnectionTypeComboBox()->isEnabled());
    // The port is ours while connected.
    console::TComPort other;
    EXPECT_FALSE(other.OpenPort(tty, 1200));

    DisconnectButton()->click();
    EXPECT_FALSE(statistics->isEnabled());
    EXPECT_EQ(w->CurrentLink, nullptr);
    EXPECT_EQ(w->SerialLink, nullptr);
    for (QAction* a : w->MeterActions()) EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(ConnectButton()->isEnabled());
    EXPECT_FALSE(DisconnectButton()->isEnabled());
    EXPECT_TRUE(ConnectionTypeComboBox()->isEnabled());
    EXPECT_TRUE(other.OpenPort(tty, 1200)) << other.OpenError();
    EXPECT_TRUE(ui->boxes.empty()) << BoxTexts(*ui);
}

TEST_F(Window, AFailedSerialOpenSaysWhichPortAndWhy) {
    ConnectSerial("/dev/no-such-port-here");
    ASSERT_EQ(ui->boxes.size(), 1u) << BoxTexts(*ui);
    const auto box = ui->Last();
    EXPECT_EQ(box.kind, common::ui::BoxKind::Plain);
    EXPECT_EQ(box.caption, QApplication::applicationDisplayName());
    EXPECT_EQ(box.text, "Error\nНе удалось открыть Ком-порт: /dev/no-such-port-here\nNo such file or directory");
    EXPECT_EQ(w->CurrentLink, nullptr);
    for (QAction* a : w->MeterActions()) EXPECT_FALSE(a->isEnabled());
    // "Отключиться" stays until pressed, then the window is back at the start.
    EXPECT_FALSE(ConnectButton()->isEnabled());
    EXPECT_TRUE(DisconnectButton()->isEnabled());
    DisconnectButton()->click();
    EXPECT_EQ(w->SerialLink, nullptr);
    EXPECT_TRUE(ConnectButton()->isEnabled());
    EXPECT_FALSE(DisconnectButton()->isEnabled());

    // A port number past the devices there are: the same box names its device.
    ui->Clear();
    w->Settings.ComPortNumber = 300;
    ConnectSerial("");
    ASSERT_EQ(ui->boxes.size(), 1u) << BoxTexts(*ui);
    EXPECT_TRUE(ui->Last().text.startsWith("Error\nНе удалось открыть Ком-порт: /dev/ttyS299\n")) << BoxTexts(*ui);
    DisconnectButton()->click();
}

TEST_F(Window, TcpServerEnablesTheActionsOnlyOnceTheMeterSideConnects) {
    const int port = testsupport::UnusedLoopbackPort();
    Listen(port);
    EXPECT_TRUE(ui->boxes.empty()) << BoxTexts(*ui);
    ASSERT_NE(w->TcpLink, nullptr);
    EXPECT_EQ(w->CurrentLink, w->TcpLink.get());
    EXPECT_EQ(w->TcpLink->ListeningPort(), port);
    EXPECT_FALSE(ConnectButton()->isEnabled());
    EXPECT_TRUE(DisconnectButton()->isEnabled());
    for (QAction* a : w->MeterActions()) EXPECT_FALSE(a->isEnabled());

    sim5x::Emulator meter;
    meter.startTcpClient("127.0.0.1", port);
    ASSERT_TRUE(WaitFor([&] { return Action("ReadDateTimeAction")->isEnabled(); }, 30000));
    for (QAction* a : w->MeterActions()) EXPECT_TRUE(a->isEnabled());

    // An operation over the connection.
    AddressDefaultMeter();
    meter.setClock(common::DateTime::makeOrEmpty(2024, 2, 29, 13, 5, 7));
    Action("ReadDateTimeAction")->trigger();
    ASSERT_EQ(ui->boxes.size(), 2u) << BoxTexts(*ui);
    EXPECT_TRUE(ui->boxes[0].text.startsWith("29.02.2024 13:05:")) << BoxTexts(*ui);
    EXPECT_EQ(ui->boxes[1].text, "Выполнено успешно!");

    DisconnectButton()->click();
    EXPECT_EQ(w->TcpLink, nullptr);
    EXPECT_EQ(w->CurrentLink, nullptr);
    for (QAction* a : w->MeterActions()) EXPECT_FALSE(a->isEnabled());
    EXPECT_TRUE(ConnectButton()->isEnabled());
    EXPECT_FALSE(DisconnectButton()->isEnabled());
    // The server is gone: the port can be taken again at once.
    ui->Clear();
    Listen(port);
    EXPECT_TRUE(ui->boxes.empty()) << BoxTexts(*ui);
    ASSERT_TRUE(WaitFor([&] { return Action("ReadDateTimeAction")->isEnabled(); }, 30000));
    meter.stop();
    DisconnectButton()->click();
}

TEST_F(Window, AServerThatCannotListenSaysWhichPortAndWhy) {
    testsupport::LoopbackServer occupant;
    Listen(occupant.port());
    ASSERT_EQ(ui->boxes.size(), 1u) << BoxTexts(*ui);
    EXPECT_EQ(ui->Last().caption, "Ошибка");
    EXPECT_EQ(ui->Last().text, QStringLiteral("Не удалось запустить TCP-сервер на порту %1:\nпорт %1 уже занят другой программой")
                                   .arg(occupant.port()));
    EXPECT_EQ(w->TcpLink, nullptr);
    EXPECT_EQ(w->CurrentLink, nullptr);
    EXPECT_TRUE(ConnectButton()->isEnabled());
    EXPECT_FALSE(DisconnectButton()->isEnabled());
    EXPECT_TRUE(ConnectionTypeComboBox()->isEnabled());
    for (QAction* a : w->MeterActions()) EXPECT_FALSE(a->isEnabled());
}

TEST_F(Window, ClosingWhileTheServerListensLeavesNothingBehind) {
    sim5x::Emulator meter;
    const int port = ServeMeter(meter);
    ASSERT_TRUE(port > 0);
    w->close();
    w.reset();  // joins the server's threads and closes its sockets
    meter.stop();
    console::TTCPIPCommunication again;
    EXPECT_TRUE(again.StartListening(static_cast<std::uint16_t>(port))) << again.LastError();
}

TEST_F(Window, AConnectedServerIsStoppedWithoutRunningEventsInTheDestructor) {
    struct Case {
        const char* what;
        bool closeFirst;
    };
    for (const Case c : {Case{"closed, then destroyed", true}, Case{"destroyed without a close", false}}) {
        if (!w) w = std::make_unique<console::TFrmMain>(SettingsPath());
        sim5x::Emulator meter;
        const int port = ServeMeter(meter);
        ASSERT_TRUE(port > 0) << c.what;
        QElapsedTimer took;
        took.start();
        if (c.closeFirst) {
            w->close();
            // Stopped by the close, while the window was whole: its event found the controls.
            EXPECT_EQ(w->TcpLink, nullptr) << c.what;
            EXPECT_FALSE(Action("ReadDateTimeAction")->isEnabled()) << c.what;
            EXPECT_TRUE(ConnectButton()->isEnabled()) << c.what;
        }
        // Queued now, it runs only if the destructor processes events.
        bool ran = false;
        QTimer::singleShot(0, qApp, [&ran] { ran = true; });
        w.reset();
        EXPECT_FALSE(ran) << c.what;
        EXPECT_LT(took.elapsed(), 10000) << c.what;
        QCoreApplication::processEvents();
        EXPECT_TRUE(ran) << c.what;
        meter.stop();
        console::TTCPIPCommunication again;
        EXPECT_TRUE(again.StartListening(static_cast<std::uint16_t>(port))) << c.what << ": " << again.LastError();
    }
}

TEST_F(Window, ClosingDuringAnExchangeOverTcpEndsTheOperation) {
    sim5x::Emulator meter;
    const int port = ServeMeter(meter);
    ASSERT_TRUE(port > 0);
    meter.updateFaults([](sim5x::Faults& f) { f.replyDelayMs = 3000; });
    AddressDefaultMeter();
    // The window is closed (a termination signal, say) while the
    // authorization waits for its reply.
    QTimer::singleShot(300, w.get(), [this] { w->close(); });
    Action("ReadDateTimeAction")->trigger();
    EXPECT_EQ(w->TcpLink, nullptr);
    EXPECT_EQ(w->CurrentLink, nullptr);
    ASSERT_FALSE(ui->boxes.empty());
    EXPECT_EQ(ui->Last().text, "Произошла ошибка!") << BoxTexts(*ui);
    meter.stop();
}
