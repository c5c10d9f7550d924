// The main window without a meter: start, settings, the connection dialog,
// status line, menu enabling and addressing.
#include <QLabel>
#include <QPlainTextEdit>

#include "WindowFixture.h"
#include "common/core/IniFile.h"
#include "common/core/TextCodec.h"
#include "tests/support/Pty.h"

using Window = WindowFixture;

TEST_F(Window, FirstStartWithoutSettingsThenTheFileAtExit) {
    EXPECT_EQ(w->windowTitle(), "Quorvane");
    const auto& c = w->Settings.Connection;
    EXPECT_EQ(c.ConnectionType, 0);
    EXPECT_EQ(c.PortSetting, 1);
    EXPECT_EQ(c.BaudRateText, "1200");
    EXPECT_EQ(c.PhoneOrHost, "");
    EXPECT_EQ(w->StatusPanelText(0), "Подключение не установлено");
    EXPECT_TRUE(Find<QAction>("OpenCommunication1")->isEnabled());
    for (QAction* a : {Find<QAction>("CloseCommunication1"), Find<QAction>("ReadDateTime1"), Find<QAction>("WriteDateTime1"), Find<QAction>("CorrectDateTime1")})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    EXPECT_FALSE(Find<QLineEdit>("MeterNumEdit")->isEnabled());
    EXPECT_FALSE(QFile::exists(SettingsPath()));
    w->close();
    ASSERT_TRUE(QFile::exists(SettingsPath()));
    common::IniFile ini(SettingsPath().toStdString());
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadString("Connection", "Type", "?"), "0");
    EXPECT_EQ(ini.ReadString("Connection", "COMPort", "?"), "1");
    EXPECT_EQ(ini.ReadString("Connection", "BaudRate", "?"), "1200");
    EXPECT_EQ(ini.ReadString("Connection", "PhoneNumber", "?"), "");
    EXPECT_EQ(ini.ReadString("Parametrization", "Organization_NameEdit", "?"), "Составитель");
    EXPECT_EQ(ini.ReadString("Parametrization", "User_PositionEdit", "?"), "Должность");
    EXPECT_EQ(ini.ReadString("Parametrization", "User_FIOEdit", "?"), "ФИО");
    EXPECT_EQ(ini.ReadString("Parametrization", "Abonent_FIOEdit", "?"), "Потребитель");
    EXPECT_EQ(ini.ReadString("Parametrization", "Abonent_AddressEdit", "?"), "Место установки");
    EXPECT_EQ(ini.ReadString("Parametrization", "Meter_typeEdit", "?"), "Составитель");
    // Windows-1251 on disk.
    std::string bytes, err;
    ASSERT_TRUE(common::ReadWholeFile(SettingsPath().toStdString(), bytes, err));
    EXPECT_NE(bytes.find(common::Utf8ToCp1251("Место установки")), std::string::npos);
    EXPECT_NE(bytes.find("\r\n"), std::string::npos);
}

TEST_F(Window, SettingsAreReadAtStartAndKeptWithForeignKeys) {
    w.reset();
    common::IniFile ini(SettingsPath().toStdString());
    ini.WriteInteger("Connection", "Type", 5);
    ini.WriteInteger("Connection", "COMPort", 5000);
    ini.WriteString("Connection", "BaudRate", "9600");
    ini.WriteString("Connection", "PhoneNumber", "10.1.2.3");
    ini.WriteString("Parametrization", "User_FIOEdit", "Иванов И. И.");
    ini.WriteString("Other", "Keep", "me");
    ASSERT_TRUE(ini.Save());
    w = std::make_unique<manager::TFrmMain>(SettingsPath());
    EXPECT_EQ(w->Settings.Connection.ConnectionType, 5);
    EXPECT_EQ(w->Settings.Connection.PortSetting, 5000);
    EXPECT_EQ(w->Settings.User_FIO, "Иванов И. И.");
    EXPECT_FALSE(w->Settings.Connection.UseController);
    EXPECT_EQ(w->Settings.Connection.ControllerPassword, "580274613");
    w->close();
    common::IniFile again(SettingsPath().toStdString());
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.ReadString("Other", "Keep", ""), "me");
    EXPECT_EQ(again.ReadString("Connection", "PhoneNumber", ""), "10.1.2.3");
}

TEST_F(Window, DialogShowsTheControlsOfEachType) {
    manager::TFrmOpenCommunication d;
    struct Row { int type; bool baud, phone, controller; const char* label1; const char* label16; } rows[] = {
        {0, true, false, false, "Номер и скорость COM", ""},
        {1, true, true, false, "Номер и скорость COM", "Номер телефона"},
        {2, true, true, true, "Номер и скорость COM", "Номер телефона"},
        {3, true, true, true, "Номер и скорость COM", "Номер телефона"},
        {4, false, true, false, "Номер порта", "IP адрес"},
        {5, false, true, true, "Номер порта", "IP адрес"},
        {6, false, true, true, "Номер порта", "IP адрес"},
    };
    EXPECT_EQ(d.windowTitle(), "Подключение к счетчику");
    for (const auto& r : rows) {
        d.ConnectionTypeComboBox->setCurrentIndex(r.type);
        EXPECT_EQ(d.BaudRateComboBox->isVisibleTo(&d), r.baud) << r.type;
        EXPECT_EQ(d.PhoneNumberEdit->isVisibleTo(&d), r.phone) << r.type;
        EXPECT_EQ(d.Label16->isVisibleTo(&d), r.phone) << r.type;
        EXPECT_EQ(d.ControllerGSMCheckBox->isVisibleTo(&d), r.controller) << r.type;
        EXPECT_EQ(d.ControllerPasswordEdit->isVisibleTo(&d), r.controller) << r.type;
        EXPECT_EQ(d.Label1->text(), r.label1) << r.type;
        if (r.phone) {
            EXPECT_EQ(d.Label16->text(), r.label16) << r.type;
        }
    }
    EXPECT_FALSE(d.ControllerPasswordEdit->isEnabled());
    d.ControllerGSMCheckBox->click();
    EXPECT_TRUE(d.ControllerPasswordEdit->isEnabled());
}

TEST_F(Window, DialogValidation) {
    struct Case { int type; QString phone; int port; bool controller; QString password; const char* text; } cases[] = {
        {-1, "", 1, false, "", "Укажите тип подключения"},
        {1, "", 1, false, "", "Укажите номер телефона"},
        {2, "", 1, true, "x", "Укажите номер телефона"},
        {4, "", 1, false, "", "Укажите IP-адрес"},
        {6, "", 1, false, "", "Укажите IP-адрес"},
        {0, "", 0, false, "", "Укажите номер порта"},
        {4, "10.0.0.1", 65535, false, "", "Укажите номер порта"},
        {5, "10.0.0.1", 144, true, "", "Укажите пароль доступа к контроллеру"},
        {2, "", 3, false, "", nullptr},  // PLC without phone and controller: a direct line
    };
    for (const auto& c : cases) {
        manager::TFrmOpenCommunication d;
        d.ConnectionTypeComboBox->setCurrentIndex(c.type);
        d.PhoneNumberEdit->setText(c.phone);
        d.COMPortEdit->setValue(c.port);
        d.ControllerGSMCheckBox->setChecked(c.controller);
        d.ControllerPasswordEdit->setText(c.password);
        ui->Clear();
        EXPECT_EQ(d.Validate(), c.text == nullptr) << c.type;
        if (c.text) {
            EXPECT_EQ(ui->Last().text, c.text);
            EXPECT_EQ(ui->Last().caption, "Ошибка");
        }
    }
}

TEST_F(Window, ConnectsOverAPseudoTerminalAndShowsTheState) {
    testsupport::PtyPair pty;
    ASSERT_TRUE(ConnectSerial(pty.slavePath()));
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(w->StatusPanelText(0).toStdString(), "Подключены COM1 (9600 bps) — " + pty.slavePath());
    EXPECT_FALSE(Find<QAction>("OpenCommunication1")->isEnabled());
    for (QAction* a : {Find<QAction>("CloseCommunication1"), Find<QAction>("ReadDateTime1"), Find<QAction>("WriteDateTime1"), Find<QAction>("CorrectDateTime1")})
        EXPECT_TRUE(a->isEnabled());
    EXPECT_TRUE(Find<QLineEdit>("MeterNumEdit")->isEnabled());
    EXPECT_FALSE(Find<QLineEdit>("AddrParametersEdit")->isVisibleTo(w.get()));
    EXPECT_FALSE(Find<QPushButton>("GetPLCBaseInfoButton")->isVisibleTo(w.get()));

    // Meter number 0 on "RS485/ОПТО/RF": refused before any dialog or traffic.
    Find<QLineEdit>("MeterNumEdit")->setText("0");
    ui->Clear();
    Find<QAction>("ReadDateTime1")->trigger();
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->Last().text, "Не указан номер счетчика");
    EXPECT_EQ(w->StatusPanelText(1), "Не указан номер счетчика");
    EXPECT_TRUE(pty.read(100).empty());

    Find<QAction>("CloseCommunication1")->trigger();
    EXPECT_FALSE(w->IsConnected());
    EXPECT_EQ(w->StatusPanelText(0), "Подключение не установлено");
    EXPECT_TRUE(Find<QAction>("OpenCommunication1")->isEnabled());
}

TEST_F(Window, AddressingOfPlcAndRouteTypes) {
    testsupport::PtyPair pty;
    struct Case { int type; QString addr; QString number; const char* text; } cases[] = {
        {2, "", "0", "Укажите ID модема, к которому подключен прибор учета"},
        {2, "modem", "5", "Укажите ID модема, к которому подключен прибор учета"},
        {3, "12;;34", "5", "Укажите маршрут из адресов счетчиков-ретрансляторов через разделитель ;"},
        {3, "", "0", "Не указан номер счетчика"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(ConnectSerial(pty.slavePath(), c.type));
        EXPECT_TRUE(Find<QLineEdit>("AddrParametersEdit")->isVisibleTo(w.get()));
        EXPECT_EQ(Find<QPushButton>("GetPLCBaseInfoButton")->isVisibleTo(w.get()), c.type == 2);
        Find<QLineEdit>("MeterNumEdit")->setText(c.number);
        Find<QLineEdit>("AddrParametersEdit")->setText(c.addr);
        ui->Clear();
        Find<QAction>("ReadDateTime1")->trigger();
        ASSERT_EQ(ui->boxes.size(), 1u) << c.type;
        EXPECT_EQ(ui->Last().text, c.text);
        Find<QAction>("CloseCommunication1")->trigger();
    }
    EXPECT_TRUE(pty.read(100).empty());
}

TEST_F(Window, FailedConnectionsAreReported) {
    // A hand-edited speed, a missing device, a refused TCP port.
    w->Settings.Connection.BaudRateText = "fast";
    testsupport::WhenDialogOpens("manager::TFrmOpenCommunication", [](QWidget* d) {
        auto& dlg = *static_cast<manager::TFrmOpenCommunication*>(d);
        dlg.COMDeviceEdit->setText("/dev/null");
        dlg.Button1->click();
    });
    Find<QAction>("OpenCommunication1")->trigger();
    EXPECT_FALSE(w->IsConnected());
    EXPECT_TRUE(ui->Last().text.startsWith("Произошла ошибка! Проверьте параметры подключения"));
    // The list cannot show "fast": no speed is selected, and none is sent.
    EXPECT_TRUE(ui->Last().text.contains("Не указана скорость обмена")) << ui->Last().text.toStdString();

    EXPECT_FALSE(ConnectSerial("/dev/no-such-port-here"));
    EXPECT_TRUE(ui->Last().text.contains("/dev/no-such-port-here"));
    EXPECT_EQ(w->StatusPanelText(0), "Подключение не установлено");
    EXPECT_TRUE(Find<QAction>("OpenCommunication1")->isEnabled());

    EXPECT_FALSE(ConnectWith([](manager::TFrmOpenCommunication& d) {
        d.ConnectionTypeComboBox->setCurrentIndex(4);
        d.PhoneNumberEdit->setText("localhost");
        d.COMPortEdit->setValue(5000);
    }));
    EXPECT_TRUE(ui->Last().text.startsWith("Произошла ошибка! Проверьте параметры подключения"));
}
