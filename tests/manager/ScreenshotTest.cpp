// Pictures of the windows for a developer to look at: set
// QUORVANE_SCREENSHOT_DIR and run this test; it is skipped otherwise.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPixmap>
#include <QTabWidget>

#include "WindowFixture.h"
#include "manager/AdditionalFunctions.h"
#include "manager/CalibrationCoeff.h"
#include "manager/CoefficientEdit.h"
#include "manager/ContactorByTarifStructEdit.h"
#include "manager/InternetParametersEdit.h"
#include "manager/LoraPowerEdit.h"
#include "manager/SetKeys.h"
#include "manager/SetUserPassword.h"
#include "manager/SpeedEdit.h"
#include "manager/TaskList.h"
#include "manager/VoltageStructEdit.h"
#include "sim/meter34/Emulator.h"
#include "tests/support/Pty.h"

using Screenshots = WindowFixture;

TEST_F(Screenshots, MainWindowConnectionDialogAndRunner) {
    const QString out = qEnvironmentVariable("QUORVANE_SCREENSHOT_DIR");
    if (out.isEmpty()) GTEST_SKIP() << "QUORVANE_SCREENSHOT_DIR not set";
    QDir().mkpath(out);
    w->show();
    w->grab().save(out + "/quorvane-main.png");

    manager::TFrmOpenCommunication d(w.get());
    d.LoadFrom(w->Settings.Connection);
    d.ConnectionTypeComboBox->setCurrentIndex(5);
    d.PhoneNumberEdit->setText("192.168.0.10");
    d.show();
    d.grab().save(out + "/quorvane-connection-dialog.png");
    d.ConnectionTypeComboBox->setCurrentIndex(0);
    d.grab().save(out + "/quorvane-connection-dialog-serial.png");
    d.hide();

    testsupport::PtyPair pty;
    ASSERT_TRUE(ConnectSerial(pty.slavePath()));
    Find<QLineEdit>("MeterNumEdit")->setText("12345");
    w->RunMeterOperation("Читаем дату и время...", false, [](manager::core::OperationContext&) {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* r = qobject_cast<common::ui::TFrmOperationProgress*>(top); r && r->isVisible()) {
                common::ui::SetStep("Ожидание ответа счетчика");
                r->grab().save(qEnvironmentVariable("QUORVANE_SCREENSHOT_DIR") + "/quorvane-runner.png");
            }
        return true;
    });
    w->grab().save(out + "/quorvane-main-connected.png");
}

TEST_F(Screenshots, ParametrizationPageAfterARead) {
    const QString out = qEnvironmentVariable("QUORVANE_SCREENSHOT_DIR");
    if (out.isEmpty()) GTEST_SKIP() << "QUORVANE_SCREENSHOT_DIR not set";
    QDir().mkpath(out);
    sim34::Emulator emu;
    ASSERT_TRUE(emu.startPty());
    w->show();
    ASSERT_TRUE(ConnectSerial(emu.slavePath()));
    Find<QLineEdit>("MeterNumEdit")->setText("12345");
    Find<QTabWidget>("PageControl1")->setCurrentIndex(1);
    w->grab().save(out + "/quorvane-parameters-empty.png");
    testsupport::WhenDialogOpens("manager::TFrmTaskList", [out](QWidget* d) {
        auto& list = *static_cast<manager::TFrmTaskList*>(d);
        list.SpeedButton2Click(0);
        list.grab().save(out + "/quorvane-task-list.png");
        list.accept();
    });
    Find<QAction>("ReadMeterParameters1")->trigger();
    EXPECT_EQ(ui->Last().text, "Чтение параметров выполнено");
    w->grab().save(out + "/quorvane-parameters-main.png");
    auto* tabs = Find<QTabWidget>("ParametrizationPageControl");
    tabs->setCurrentIndex(1);
    w->grab().save(out + "/quorvane-parameters-second.png");
    tabs->setCurrentIndex(0);
    auto* contactor = Find<QListWidget>("ContactorControlCheckListBox");
    Q_EMIT contactor->customContextMenuRequested(QPoint(10, 10));
    auto* menu = Find<QMenu>("CheckListPopupMenu");
    ASSERT_TRUE(menu->isVisible());
    menu->grab().save(out + "/quorvane-parameters-popup.png");
    menu->hide();
}

TEST_F(Screenshots, StatisticsPageAfterEachView) {
    const QString out = qEnvironmentVariable("QUORVANE_SCREENSHOT_DIR");
    if (out.isEmpty()) GTEST_SKIP() << "QUORVANE_SCREENSHOT_DIR not set";
    QDir().mkpath(out);
    sim34::Emulator emu;
    ASSERT_TRUE(emu.startPty());
    ASSERT_TRUE(ConnectSerial(emu.slavePath()));
    Find<QLineEdit>("MeterNumEdit")->setText("12345");
    auto* pages = Find<QTabWidget>("PageControl1");
    pages->setCurrentWidget(Find<QWidget>("StatisticsPage"));
    w->resize(1000, 620);
    w->show();
    w->grab().save(out + "/quorvane-statistics-empty.png");
    const struct {
        const char* button;
        int journal;
        const char* file;
    } views[] = {
        {"GetCurrentValuesButton", 0, "current-values"}, {"GetStatusButton", 0, "status"},
        {"Button6", 0, "status2"},                       {"Button1", 0, "journal-power"},
        {"Button1", 1, "journal-voltage"},               {"Button1", 6, "journal-access"},
        {"Button4", 0, "time-history"},                  {"Button5", 0, "ratio-history"},
    };
    for (const auto& v : views) {
        Find<QComboBox>("EventTypeComboBox")->setCurrentIndex(v.journal);
        Find<QPushButton>(v.button)->click();
        w->grab().save(out + "/quorvane-statistics-" + v.file + ".png");
    }
}

// The dialogs of the administrative and service menus, each after its first
// read from the emulated meter (the password and key dialogs read nothing).
TEST_F(Screenshots, ServiceDialogsAfterTheirFirstRead) {
    const QString out = qEnvironmentVariable("QUORVANE_SCREENSHOT_DIR");
    if (out.isEmpty()) GTEST_SKIP() << "QUORVANE_SCREENSHOT_DIR not set";
    QDir().mkpath(out);
    sim34::Emulator emu;
    ASSERT_TRUE(emu.startPty());
    ASSERT_TRUE(ConnectSerial(emu.slavePath()));
    Find<QLineEdit>("MeterNumEdit")->setText("12345");
    w->show();
    manager::TPageHost& host = w->Host();
    auto shoot = [&](manager::TServiceDialog&& d, const char* file) {
        if (d.findChild<QPushButton*>("OKButton") == nullptr) {
            EXPECT_TRUE(d.ReadFromMeter()) << file;
        }
        d.show();
        d.grab().save(out + "/" + file);
    };
    shoot(manager::TFrmSetUserPassword(host, w.get()), "quorvane-set-user-password.png");
    shoot(manager::TFrmSetKeys(host, w.get()), "quorvane-set-keys.png");
    shoot(manager::TFrmSpeedEdit(host, w.get()), "quorvane-speed-edit.png");
    shoot(manager::TFrmVoltageStructEdit(host, w.get()), "quorvane-voltage-struct-edit.png");
    shoot(manager::TFrmContactorByTarifStructEdit(host, w.get()), "quorvane-contactor-by-tarif.png");
    shoot(manager::TFrmInternetParametersEdit(host, w.get()), "quorvane-internet-parameters.png");
    shoot(manager::TFrmAdditionalFunctions(host, w.get()), "quorvane-additional-functions.png");
    shoot(manager::TFrmCoefficientEdit(host, w.get()), "quorvane-coefficient-edit.png");
    shoot(manager::TFrmCalibrationCoeff(host, w.get()), "quorvane-calibration-coeff.png");
    shoot(manager::TFrmLoraPowerEdit(host, w.get()), "quorvane-lora-power-edit.png");
    // The menus as they open.
    for (const char* menu : {"AdminMenu1", "ServiceMode1"}) {
        auto* m = Find<QMenu>(menu);
        m->popup(w->mapToGlobal(QPoint(0, 0)));
        m->grab().save(out + "/quorvane-" + QString::fromLatin1(menu) + ".png");
        m->hide();
    }
}
