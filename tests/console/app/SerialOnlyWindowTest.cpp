// The serial-only build of Ostrilon: no connection controls, the port is
// opened for every operation, the port error box, capitals in the currency
// editor. Against the emulator program on a pseudo-terminal.
#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include "Fixture.h"
#include "common/core/IniFile.h"
#include "console/app/CurrencyEditor.h"
#include "console/app/Parameters.h"
#include "tests/support/Child.h"

#ifndef OSTRILON_SERIAL_ONLY
#error "this test checks the serial-only build"
#endif

using SerialOnly = OstrilonFixture;

TEST_F(SerialOnly, NoConnectionControlsAndTheActionsFromTheStart) {
    EXPECT_EQ(w->windowTitle(), "Управление счетчиком версий 51...54");
    EXPECT_EQ(w->findChild<QComboBox*>("ConnectionTypeComboBox"), nullptr);
    EXPECT_EQ(w->findChild<QPushButton*>("ConnectButton"), nullptr);
    EXPECT_EQ(w->findChild<QPushButton*>("DisconnectButton"), nullptr);
    EXPECT_EQ(w->MeterActions().size(), 13u);
    for (QAction* a : w->MeterActions()) EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_EQ(w->CurrentLink, nullptr);

    console::TFrmParameters d;
    const auto groups = d.findChildren<QGroupBox*>();
    ASSERT_EQ(groups.size(), 1);
    EXPECT_EQ(groups[0]->title(), "Параметры подключения");
    QStringList labels;
    for (auto* l : d.findChildren<QLabel*>()) labels << l->text();
    EXPECT_TRUE(labels.contains("COM"));
    EXPECT_TRUE(labels.contains("Скорость"));
    EXPECT_EQ(d.findChild<QLineEdit*>("TCPServerPortEdit"), nullptr);
    EXPECT_EQ(d.findChild<QLineEdit*>("PhoneNumberEdit"), nullptr);

    // The settings have no server port.
    w->close();
    common::IniFile ini(SettingsPath().toStdString());
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadString("COMPORT", "NUM", "?"), "1");
    EXPECT_EQ(ini.ReadString("COMPORT", "SPEED", "?"), "1200");
    EXPECT_FALSE(ini.KeyExists("COMPORT", "TCPPORT"));
}

TEST_F(SerialOnly, ReadsTheClockThroughAPseudoTerminalAndFreesThePort) {
    common::timings().consolePollMs = 60;  // the emulator is another process: give it time
    testchild::Child sim({COUNTER5X_SIM, "--pty", "--meter", "555", "--ident", "7", "--version", "52"});
    const std::string tty = sim.ReadLine(20000);
    ASSERT_FALSE(tty.empty()) << sim.err;
    w->Settings.ComPortDevice = tty;
    w->Settings.ComPortSpeed = 9600;
    CounterNumEdit()->setValue(555);
    CounterIdentEdit()->setValue(7);
    RunnerTitles titles;
    Action("ReadDateTimeAction")->trigger();
    EXPECT_EQ(titles.titles, QStringList{"Чтение даты и времени счетчика"});
    ASSERT_EQ(ui->boxes.size(), 2u) << BoxTexts(*ui) << sim.err;
    EXPECT_EQ(ui->boxes[0].kind, common::ui::BoxKind::Plain);
    EXPECT_FALSE(ui->boxes[0].text.isEmpty());
    EXPECT_EQ(ui->boxes[1].text, "Выполнено успешно!");
    // The port was closed with the session: anyone may open it now.
    EXPECT_EQ(w->CurrentLink, nullptr);
    console::TComPort other;
    EXPECT_TRUE(other.OpenPort(tty, 9600)) << other.OpenError();
    other.ClosePort();

    // A second command opens it again.
    ui->Clear();
    Action("ContactorOffAction")->trigger();
    ASSERT_EQ(ui->boxes.size(), 1u) << BoxTexts(*ui);
    EXPECT_EQ(ui->Last().text, "Выполнено успешно!");
}

TEST_F(SerialOnly, AMissingDeviceGetsThePortErrorBox) {
    w->Settings.ComPortDevice = "/dev/no-such-port-here";
    AddressDefaultMeter();
    Action("ReadDateTimeAction")->trigger();
    ASSERT_EQ(ui->boxes.size(), 2u) << BoxTexts(*ui);
    EXPECT_EQ(ui->boxes[0].caption, "Ошибка");
    EXPECT_EQ(ui->boxes[0].kind, common::ui::BoxKind::Error);
    EXPECT_EQ(ui->boxes[0].text, "Не удалось открыть Ком-порт: /dev/no-such-port-here\nNo such file or directory");
    EXPECT_EQ(ui->boxes[1].text, "Произошла ошибка!");
    EXPECT_EQ(w->CurrentLink, nullptr);

    // By number: port n is /dev/ttyS<n-1>, 0 is no port at all.
    ui->Clear();
    w->Settings.ComPortDevice.clear();
    w->Settings.ComPortNumber = 0;
    Action("ReadDateTimeAction")->trigger();
    ASSERT_EQ(ui->boxes.size(), 2u) << BoxTexts(*ui);
    EXPECT_EQ(ui->boxes[0].text, "Не удалось открыть Ком-порт: порт 0\nномера портов начинаются с 1");
}

TEST_F(SerialOnly, CurrencyEditorTurnsSmallLettersIntoCapitals) {
    console::TFrmInputCurrency d;
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    d.CurrencyEdit->setFocus();
    QTest::keyClicks(d.CurrencyEdit, "k1Zt");
    EXPECT_EQ(d.CurrencyEdit->text(), "KZT");
    d.OKButton->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
}

// The programs start and keep running (they end with the test).
TEST(Programs, StartOnTheOffscreenPlatform) {
    for (const char* program : {OSTRILON_PROGRAM, OSTRILON_SERIAL_PROGRAM}) {
        QTemporaryDir home;
        testchild::Child p({"/usr/bin/env", "QT_QPA_PLATFORM=offscreen",
                            ("XDG_CONFIG_HOME=" + home.path().toStdString()), program});
        EXPECT_EQ(p.Wait(1500), testchild::Child::kStillRunning) << program << ": " << p.err;
    }
}
