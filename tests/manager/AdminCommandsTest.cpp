// The menus "Административные функции" and "Сервисные функции" of the main
// window against the emulated meter: their order, every item once with its
// runner line, access, box and status text, and the dialogs bound to their
// controls with the read-first rule.
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "WindowFixture.h"
#include "manager/ServiceDialog.h"
#include "sim/meter34/Emulator.h"

namespace {

// Every runner line and every service dialog that came on screen.
struct ShowLog : QObject {
    QStringList runs;
    QStringList dialogs;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show) {
            if (auto* r = qobject_cast<common::ui::TFrmOperationProgress*>(o)) runs << r->Label1->text();
            else if (qobject_cast<manager::TServiceDialog*>(o)) dialogs << QString::fromLatin1(o->metaObject()->className());
        }
        return false;
    }
};

struct AdminWindow : WindowFixture {
    std::unique_ptr<sim34::Emulator> emu;
    ShowLog shows;

    void SetUp() override {
        WindowFixture::SetUp();
        qApp->installEventFilter(&shows);
    }
    void TearDown() override {
        qApp->removeEventFilter(&shows);
        WindowFixture::TearDown();
        emu.reset();
    }
    void Start(sim34::Config cfg = {}) {
        emu = std::make_unique<sim34::Emulator>(cfg);
        ASSERT_TRUE(emu->startPty());
        Find<QSpinBox>("MaxTryCountEdit")->setValue(2);
        Find<QSpinBox>("MaxTimeoutEdit")->setValue(400);
        ASSERT_TRUE(ConnectSerial(emu->slavePath()));
        Find<QLineEdit>("MeterNumEdit")->setText("12345");
    }
    bool SessionSteps() const {
        for (const auto& r : emu->requests())
            if (r.size() > 9 && r[0] == 0x7E && (r[9] & 0x7F) == 1) return true;
        return false;
    }
    // The items of a menu, "-" for a separator line.
    QStringList Items(const char* menu) {
        QStringList out;
        for (QAction* a : Find<QMenu>(menu)->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    }
};

template <class T>
T* In(QWidget* d, const char* name) {
    T* c = d->findChild<T*>(QString::fromLatin1(name));
    if (!c) ADD_FAILURE() << "no " << name;
    return c;
}

void Click(QWidget* d, const char* button) { In<QPushButton>(d, button)->click(); }

}  // namespace

TEST_F(AdminWindow, BothMenusInTheirOrderAndOnlyWhileConnected) {
    EXPECT_EQ(Items("AdminMenu1"),
              (QStringList{"Чтение даты и времени", "Запись даты и времени", "Корректировка времени", "-",
                           "Контактор ВКЛ", "Контактор ОТКЛ", "-", "Управление паролями доступа...",
                           "Управление ключами доступа...", "-", "Управление скоростью обмена...", "-",
                           "Пороги напряжений управления контактором...", "Управление контактором по тарифам...", "-",
                           "Параметры Internet подключения...", "-", "Покинуть PLC-сеть", "-",
                           "Параметры дополнительных функций..."}));
    EXPECT_EQ(Items("ServiceMode1"),
              (QStringList{"Число поверочных импульсов...", "-", "Инициализация памяти", "Калибровка",
                           "Калибровочные коэффициенты...", "-", "Режим проверки времени", "Режим проверки индикатора",
                           "Отмена режимов проверки", "-", "Сброс индикации внешних воздействий", "-",
                           "Прозрачный режим", "Выход из прозрачного режима", "-", "Режим поверки А-", "-",
                           "Настройка мощности LoRa...", "-", "Включить подсветку индикатора",
                           "Отключить подсветку индикатора"}));
    auto enabled = [&](bool expected) {
        for (const char* menu : {"AdminMenu1", "ServiceMode1"})
            for (QAction* a : Find<QMenu>(menu)->actions())
                if (!a->isSeparator()) {
                    EXPECT_EQ(a->isEnabled(), expected) << a->text().toStdString();
                }
    };
    enabled(false);
    Start();
    enabled(true);
    Find<QAction>("CloseCommunication1")->trigger();
    enabled(false);
}

TEST_F(AdminWindow, EveryItemOnceAgainstTheMeter) {
    sim34::Config cfg;
    cfg.calibrationMs = 50;
    Start(cfg);
    emu->withMeter([](sim34::MeterModel& m) { m.state().aMinusAllowance = 3; });
    using Dialog = std::function<void(QWidget*)>;
    struct Case {
        const char* action;
        QStringList runs;       // runner lines, in order
        bool access;            // access session steps reached the meter
        QStringList boxes;      // "caption: text" (the start of it)
        QString status;         // the second status-bar panel afterwards
        Dialog inDialog;        // what the user does in the dialog before closing it
    };
    const QString info = QStringLiteral("Информация: ");
    const Case cases[] = {
        {"ReadDateTime1", {"Читаем дату и время..."}, false, {info + "Дата и время счетчика: "}, "Дата и время счетчика: ",
         {}},
        {"WriteDateTime1", {"Записываем дату и время..."}, true, {info + "Время установлено"}, "Время установлено", {}},
        {"CorrectDateTime1", {"Корректируем дату и время..."}, false, {info + "Время установлено"}, "Время установлено", {}},
        {"ContactorOn1", {"Включаем контактор..."}, true, {info + "Контактор включен"}, "Контактор включен", {}},
        {"ContactorOff1", {"Выключаем контактор..."}, true, {info + "Контактор выключен"}, "Контактор выключен", {}},
        {"SetUserPassword1", {"Записываем пароли доступа..."}, true, {info + "Пароль доступа записан"},
         "Пароль доступа записан",
         [](QWidget* d) {
             EXPECT_EQ(d->windowTitle(), "Управление паролями доступа");
             EXPECT_EQ(In<QComboBox>(d, "PasswordLevelComboBox")->count(), 2);
             In<QComboBox>(d, "PasswordLevelComboBox")->setCurrentIndex(1);
             In<QLineEdit>(d, "PasswordValueEdit")->setText("2");
             Click(d, "OKButton");
         }},
        {"SetKeys1", {"Записываем ключи доступа..."}, true, {info + "Ключи доступа записаны"}, "Ключи доступа записаны",
         [](QWidget* d) {
             EXPECT_EQ(In<QLineEdit>(d, "KeyAEdit")->text(), "1");
             Click(d, "OKButton");
         }},
        {"SpeedEdit1", {"Читаем скорость интерфейса...", "Читаем скорость интерфейса...", "Записываем скорость интерфейса..."},
         true, {info + "Скорость интерфейса записана"}, "Скорость интерфейса записана",
         [](QWidget* d) {
             EXPECT_EQ(In<QComboBox>(d, "ChannelSpeedComboBox")->currentText(), "9600");
             EXPECT_EQ(In<QComboBox>(d, "ChannelTypeComboBox")->currentText(), "Универсальный");
             In<QComboBox>(d, "ChannelNumberComboBox")->setCurrentIndex(2);
             Click(d, "GetSpeedButton");
             EXPECT_EQ(In<QComboBox>(d, "ChannelSpeedComboBox")->currentText(), "19200");
             EXPECT_EQ(In<QComboBox>(d, "ChannelTypeComboBox")->currentText(), "GSM модль");
             In<QComboBox>(d, "ChannelSpeedComboBox")->setCurrentText("115200");
             Click(d, "SetSpeedButton");
         }},
        {"VoltageStructEdit1", {"Читаем структуру напряжений...", "Записываем структуру напряжений..."}, true,
         {info + "Структура напряжений записана"}, "Структура напряжений записана",
         [](QWidget* d) {
             EXPECT_EQ(In<QSpinBox>(d, "VoltageMinEdit")->value(), 175);
             EXPECT_EQ(In<QSpinBox>(d, "VoltageMaxEdit")->value(), 265);
             EXPECT_EQ(In<QSpinBox>(d, "VoltageMaxEdit")->maximum(), 275);
             In<QSpinBox>(d, "VoltageMinEdit")->setValue(180);
             In<QSpinBox>(d, "VoltageMaxEdit")->setValue(260);
             Click(d, "WriteButton");
         }},
        {"ContactorByTarifStructEdit1",
         {"Читаем структуру управления контактором по тарифам...",
          "Записываем структуру управления контактором по тарифам..."},
         true, {info + "Структура управления контактором по тарифам записана"},
         "Структура управления контактором по тарифам записана",
         [](QWidget* d) {
             EXPECT_EQ(In<QComboBox>(d, "ComboBox4")->currentText(), "Включать");
             In<QComboBox>(d, "ComboBox2")->setCurrentIndex(1);
             Click(d, "WriteButton");
         }},
        {"InternetParametersEdit1",
         {"Читаем параметры Internet подключения...", "Пишем параметры Internet подключения..."}, true,
         {info + "Параметры Internet подключения записаны"}, "Параметры Internet подключения записаны",
         [](QWidget* d) {
             EXPECT_EQ(In<QLineEdit>(d, "APNEdit")->text(), "internet");
             EXPECT_EQ(In<QLineEdit>(d, "APNEdit")->maxLength(), 29);
             EXPECT_EQ(In<QSpinBox>(d, "PortEdit")->value(), 1234);
             EXPECT_EQ(In<QLineEdit>(d, "IPEdit")->text(), "0.0.0.0");
             EXPECT_FALSE(In<QLineEdit>(d, "IPEdit")->isEnabled());
             In<QLineEdit>(d, "APNEdit")->setText("m2m.example");
             // Enter in a field neither reads over what was typed nor closes the dialog.
             QTest::keyClick(In<QLineEdit>(d, "APNEdit"), Qt::Key_Return);
             EXPECT_TRUE(d->isVisible());
             EXPECT_EQ(In<QLineEdit>(d, "APNEdit")->text(), "m2m.example");
             In<QCheckBox>(d, "EnableGPRSCheckBox")->setChecked(true);
             Click(d, "WriteButton");
         }},
        {"LeavePLCNetwork1", {"Покинуть PLC сеть..."}, true, {info + "Команда покинуть PLC-сеть выполнена"},
         "Команда покинуть PLC-сеть выполнена", {}},
        {"AdditionalFunctions1",
         {"Читаем параметры дополнительных функций...", "Записываем параметры дополнительных функций..."}, true,
         {info + "Параметры дополнительных функций записаны"}, "Параметры дополнительных функций записаны",
         [](QWidget* d) {
             EXPECT_FALSE(In<QCheckBox>(d, "TimeCorrectionCheckBox")->isChecked());
             In<QCheckBox>(d, "TimeCorrectionCheckBox")->setChecked(true);
             Click(d, "WriteButton");
         }},
        {"CoefficientEdit1", {"Читаем коэффициенты...", "Записываем коэффициенты..."}, true,
         {info + "Число поверочных импульсов записано"}, "Число поверочных импульсов записано",
         [](QWidget* d) {
             EXPECT_EQ(In<QComboBox>(d, "total_energy_pulse_thresholdComboBox")->currentText(), "2000");
             EXPECT_EQ(In<QComboBox>(d, "total_energy_pulse_thresholdComboBox")->count(), 8);
             EXPECT_FALSE(In<QCheckBox>(d, "one_izm_elCheckBox")->isEnabled());
             In<QComboBox>(d, "total_energy_pulse_thresholdComboBox")->setCurrentText("6400");
             Click(d, "WriteButton");
         }},
        {"InitMemory1", {"Инициализация памяти..."}, false, {info + "Инициализация памяти выполнена"},
         "Инициализация памяти выполнена", {}},
        {"Calibration1", {"Калибровка..."}, false, {info + "Калибровка выполнена"}, "Калибровка выполнена", {}},
        {"CalibrationCoeff1", {"Читаем калибровочные коэффициенты..."}, false, {}, "",
         [](QWidget* d) {
             auto* write = In<QPushButton>(d, "WriteButton");
             EXPECT_FALSE(write->isEnabled());
             EXPECT_EQ(write->toolTip(), "Запись калибровочных коэффициентов не поддерживается счетчиком");
             EXPECT_NE(In<QSpinBox>(d, "Channel1CoeffIEdit")->value(), 0);
             static_cast<QDialog*>(d)->reject();
         }},
        {"TimeCheckMode1", {"Режим проверки времени..."}, true, {info + "Режим проверки времени активен"},
         "Режим проверки времени активен", {}},
        {"IndicatorCheckMode1", {"Режим проверки индикатора..."}, true, {info + "Режим проверки индикатора активен"},
         "Режим проверки индикатора активен", {}},
        {"CancelCheckModes1", {"Выход из режимов проверки..."}, true, {info + "Выход из режимов проверки выполнен"},
         "Выход из режимов проверки выполнен", {}},
        {"ClearMagnetFlag1", {"Сброс индикации внешних воздействий..."}, true,
         {info + "Сброс индикации внешних воздействий выполнен"}, "Сброс индикации внешних воздействий выполнен", {}},
        {"TransparentMode1", {"Прозрачный режим..."}, true, {info + "Переход в прозрачный режим выполнен"},
         "Переход в прозрачный режим выполнен", {}},
        {"ExitTransparentMode1", {"Выход из прозрачного режима..."}, false,
         {info + "Выход из прозрачного режима выполнен"}, "Выход из прозрачного режима выполнен", {}},
        {"AMinusCheckMode1", {"Установка режима поверки А-..."}, true,
         {info + "Команда установки режима поверки А- выполнена! Длительность сессии 1 час.\r\nОсталось 2 команд"},
         "Команда установки режима поверки А- выполнена! Длительность сессии 1 час.\r\nОсталось 2 команд", {}},
        {"LoraPowerEdit1", {"Читаем мощность LORA...", "Устанавливаем мощность LORA..."}, true, {},
         "Мощность LORA установлена",
         [](QWidget* d) {
             EXPECT_EQ(In<QComboBox>(d, "LoraPowerComboBox")->currentText(), "100");
             In<QComboBox>(d, "LoraPowerComboBox")->setCurrentText("25");
             Click(d, "WriteButton");
         }},
        {"BacklightOn1", {"Включение подсветки индикатора..."}, true, {}, "Смена режима подсветки выполнена", {}},
        {"BacklightOff1", {"Отключение подсветки индикатора..."}, true, {}, "Смена режима подсветки выполнена", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        if (std::string(c.action) == "ExitTransparentMode1") {
            // Wait until the meter has taken its reply off the line before leaving transparent mode.
            for (int i = 0; i < 100 && !emu->transparentMode(); ++i) QTest::qWait(10);
        }
        emu->clearLog();
        ui->Clear();
        shows.runs.clear();
        if (c.inDialog) {
            const Dialog step = c.inDialog;
            testsupport::WhenDialogOpens("manager::TServiceDialog", [step](QWidget* d) {
                step(d);
                if (d->isVisible()) static_cast<QDialog*>(d)->reject();
            });
        }
        Find<QAction>(c.action)->trigger();
        EXPECT_EQ(shows.runs, c.runs);
        EXPECT_EQ(SessionSteps(), c.access);
        ASSERT_EQ(ui->boxes.size(), static_cast<std::size_t>(c.boxes.size()));
        for (int i = 0; i < c.boxes.size(); ++i) {
            const QString box = ui->boxes[static_cast<std::size_t>(i)].caption + ": " + ui->boxes[static_cast<std::size_t>(i)].text;
            EXPECT_TRUE(box.startsWith(c.boxes[i])) << box.toStdString();
        }
        EXPECT_TRUE(w->StatusPanelText(1).startsWith(c.status)) << w->StatusPanelText(1).toStdString();
        EXPECT_FALSE(emu->sessionOpen());
    }
    // What the dialogs wrote is in the meter.
    emu->withMeter([](sim34::MeterModel& m) {
        const auto& s = m.state();
        EXPECT_EQ(s.password[1], 2u);
        EXPECT_EQ(s.speeds[2].code, 8);
        EXPECT_EQ(s.voltage[0], 0x50);  // 18000
        EXPECT_EQ(s.contactorByTariff[1], 1);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.apn.data())), "m2m.example");
        EXPECT_EQ(s.tcp[22], 1);
        EXPECT_EQ(s.functions[0] & 1, 1);
        EXPECT_EQ(s.pulses[2], 0xBB);  // 230400000: 6400 pulses
        EXPECT_EQ(s.loraPower, 2);
        EXPECT_EQ(s.aMinusAllowance, 2);
        EXPECT_EQ(s.backlight, 0);
    });
    // The calibration's single long try is over: the window's values are on the link again.
    EXPECT_EQ(w->Connection.Link->TryCount, 2u);
    EXPECT_EQ(w->Connection.Link->Timeout, 400);
}

TEST_F(AdminWindow, AFailedFirstReadShowsOnlyTheErrorBox) {
    Start();
    emu->forceResult(0x14, 12);
    for (const char* action : {"VoltageStructEdit1", "InternetParametersEdit1", "CoefficientEdit1"}) {
        ui->Clear();
        shows.dialogs.clear();
        Find<QAction>(action)->trigger();
        ASSERT_EQ(ui->boxes.size(), 1u) << action;
        EXPECT_EQ(ui->Last().caption, "Ошибка");
        EXPECT_TRUE(ui->Last().text.endsWith(": Ошибка доступа к структуре")) << ui->Last().text.toStdString();
        EXPECT_TRUE(shows.dialogs.isEmpty()) << action;
    }
    // Once the meter answers, the dialog comes.
    emu->clearForcedResults();
    ui->Clear();
    testsupport::WhenDialogOpens("manager::TServiceDialog", [](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
    Find<QAction>("VoltageStructEdit1")->trigger();
    EXPECT_EQ(shows.dialogs, QStringList{"manager::TFrmVoltageStructEdit"});
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(w->StatusPanelText(1), "Структура напряжений прочитана");
}

TEST_F(AdminWindow, AWriteThatCannotBeSentFailsBeforeAccess) {
    Start();
    struct Case {
        const char* action;
        std::function<void(QWidget*)> fill;
        const char* error;
    } cases[] = {
        {"SetUserPassword1", [](QWidget* d) { In<QLineEdit>(d, "PasswordValueEdit")->setText("пароль"); },
         "Ошибка записи пароля доступа: неверное значение в поле «Уровень доступа/пароль»"},
        {"SetKeys1", [](QWidget* d) { In<QLineEdit>(d, "KeyBEdit")->setText("4294967296"); },
         "Ошибка записи ключей доступа: неверное значение в поле «Ключ Б»"},
    };
    for (const auto& c : cases) {
        emu->clearLog();
        ui->Clear();
        const auto fill = c.fill;
        testsupport::WhenDialogOpens("manager::TServiceDialog", [fill](QWidget* d) {
            fill(d);
            Click(d, "OKButton");
        });
        Find<QAction>(c.action)->trigger();
        ASSERT_EQ(ui->boxes.size(), 1u) << c.action;
        EXPECT_EQ(ui->Last().caption, "Ошибка");
        EXPECT_EQ(ui->Last().text, c.error);
        EXPECT_EQ(w->StatusPanelText(1), c.error);
        EXPECT_TRUE(emu->requests().empty()) << c.action;
    }
    // "Отмена" writes nothing.
    emu->clearLog();
    testsupport::WhenDialogOpens("manager::TServiceDialog", [](QWidget* d) { Click(d, "CancelButton"); });
    Find<QAction>("SetKeys1")->trigger();
    EXPECT_TRUE(emu->requests().empty());
}
