// Pictures of the windows for a developer to look at: set
// QUORVANE_SCREENSHOT_DIR and run this test; it is skipped otherwise.
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QTest>

#include "Fixture.h"
#include "console/app/About.h"
#include "console/app/CalendarEditor.h"
#include "console/app/CurrencyEditor.h"
#include "console/app/Parameters.h"
#include "sim/counter5x/Emulator.h"

using Screenshots = OstrilonFixture;

TEST_F(Screenshots, MainWindowAndDialogs) {
    const QString out = qEnvironmentVariable("QUORVANE_SCREENSHOT_DIR");
    if (out.isEmpty()) GTEST_SKIP() << "QUORVANE_SCREENSHOT_DIR not set";
    QDir().mkpath(out);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    w->grab().save(out + "/ostrilon-main.png");
    // The menu "Команда" open, and one of its submenus beside it.
    auto grabMenus = [&](const char* submenu, const QString& menuFile, const QString& submenuFile) {
        Menu("CommandMenu")->popup(w->mapToGlobal(QPoint(60, 20)));
        QTest::qWait(50);
        Menu("CommandMenu")->grab().save(out + menuFile);
        Menu(submenu)->popup(w->mapToGlobal(QPoint(300, 100)));
        QTest::qWait(50);
        Menu(submenu)->grab().save(out + submenuFile);
        Menu(submenu)->hide();
        Menu("CommandMenu")->hide();
    };
    grabMenus("ContactorMenu", "/ostrilon-menu-command.png", "/ostrilon-menu-contactor.png");

    console::TFrmParameters settings(w.get());
    settings.LoadFrom(w->Settings);
    settings.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
    settings.grab().save(out + "/ostrilon-settings.png");
    settings.hide();

    console::TFrmInputCurrency currency(w.get());
    currency.CurrencyEdit->setText("RUB");
    currency.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&currency));
    currency.grab().save(out + "/ostrilon-currency.png");
    currency.hide();

    console::TFrmCalendarEditor picker(w.get());
    picker.ComboBox1->setCurrentIndex(28);
    picker.ComboBox2->setCurrentIndex(1);
    picker.adjustSize();
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    picker.grab().save(out + "/ostrilon-daymonth.png");
    picker.hide();

    console::TFrmAbout about(w.get());
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    about.grab().save(out + "/ostrilon-about.png");
    about.hide();

    sim5x::Emulator meter;
    ConnectSerial(meter.startPty());
    AddressDefaultMeter();
    w->grab().save(out + "/ostrilon-main-connected.png");
    // The menus again, their items now enabled.
    grabMenus("DopChannel2Menu", "/ostrilon-menu-command-connected.png", "/ostrilon-menu-channel2-connected.png");
    w->RunCounterOperation("Чтение даты и времени счетчика", [] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* r = qobject_cast<common::ui::TFrmOperationProgress*>(top); r && r->isVisible())
                r->grab().save(qEnvironmentVariable("QUORVANE_SCREENSHOT_DIR") + "/ostrilon-runner.png");
        return true;
    });
}
