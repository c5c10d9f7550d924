#include "AdminCommands.h"

namespace manager::core {

bool ReadClock(OperationContext& ctx, common::DateTime& clock) {
    if (!ctx.Meter().GetDateTime(clock)) return ctx.Fail("Ошибка чтения даты и времени: ");
    return ctx.Succeed("Дата и время счетчика: " + ctx.Formats.Date(clock) + " " + ctx.Formats.Time(clock));
}

bool WriteClock(OperationContext& ctx, const common::DateTime& clock) {
    if (!ctx.Meter().SetDateTime(clock)) return ctx.Fail("Ошибка записи даты и времени: ");
    return ctx.Succeed("Время установлено");
}

bool CorrectClock(OperationContext& ctx, const common::DateTime& clock) {
    if (!ctx.Meter().SetDateTime(clock)) return ctx.Fail("Ошибка корректировки даты и времени: ");
    return ctx.Succeed("Время установлено");
}

bool ReadDateTime(OperationContext& ctx) {
    common::DateTime clock;
    return ReadClock(ctx, clock);
}

// Both send the computer's local time at the moment of sending; the
// correction goes out without access, whatever the access fields hold.
bool WriteDateTime(OperationContext& ctx) { return WriteClock(ctx, common::DateTime::now()); }
bool CorrectDateTime(OperationContext& ctx) { return CorrectClock(ctx, common::DateTime::now()); }

namespace {

bool Service(OperationContext& ctx, std::uint8_t function, const char* success, const char* prefix) {
    if (!ctx.Meter().ServiceFunction(function)) return ctx.Fail(prefix);
    return ctx.Succeed(success);
}

}  // namespace

bool ContactorOn(OperationContext& ctx) {
    if (!ctx.Meter().SetContactor(1)) return ctx.Fail("Ошибка включения контактора: ");
    return ctx.Succeed("Контактор включен");
}

bool ContactorOff(OperationContext& ctx) {
    if (!ctx.Meter().SetContactor(0)) return ctx.Fail("Ошибка выключения контактора: ");
    return ctx.Succeed("Контактор выключен");
}

bool LeavePlcNetwork(OperationContext& ctx) {
    if (!ctx.Meter().LeavePLCNetwork()) return ctx.Fail("Ошибка выполнения команды покинуть PLC-сеть: ");
    return ctx.Succeed("Команда покинуть PLC-сеть выполнена");
}

bool InitMemory(OperationContext& ctx) {
    return Service(ctx, 0, "Инициализация памяти выполнена", "Ошибка инициализация памяти: ");
}

bool Calibrate(OperationContext& ctx) {
    // The meter answers only once it has calibrated: one long try instead of
    // repeating a command it is still busy with.
    struct Restore {
        OperationContext& ctx;
        ~Restore() {
            ctx.Link().TryCount = static_cast<std::uint32_t>(ctx.Exchange.MaxTryCountEdit);
            ctx.Link().Timeout = ctx.Exchange.MaxTimeoutEdit;
        }
    } restore{ctx};
    ctx.Link().TryCount = 1;
    ctx.Link().Timeout = 10000;
    return Service(ctx, 1, "Калибровка выполнена", "Ошибка выполнения калибровки: ");
}

bool TimeCheckMode(OperationContext& ctx) {
    return Service(ctx, 4, "Режим проверки времени активен", "Ошибка перехода в режим проверки времени: ");
}

bool IndicatorCheckMode(OperationContext& ctx) {
    return Service(ctx, 5, "Режим проверки индикатора активен", "Ошибка перехода в режим проверки индикатора: ");
}

bool CancelCheckModes(OperationContext& ctx) {
    return Service(ctx, 6, "Выход из режимов проверки выполнен", "Ошибка выхода из режимов проверки: ");
}

bool ClearTamper(OperationContext& ctx) {
    if (!ctx.Meter().ClearMagnetFlag()) return ctx.Fail("Ошибка сброса индикации внешних воздействий: ");
    return ctx.Succeed("Сброс индикации внешних воздействий выполнен");
}

bool TransparentMode(OperationContext& ctx) {
    return Service(ctx, 7, "Переход в прозрачный режим выполнен", "Ошибка перехода в прозрачный режим: ");
}

bool ExitTransparent(OperationContext& ctx) {
    // A meter in transparent mode does not answer: the result is whether the
    // five bytes went out.
    if (ctx.Meter().ExitTransparentMode()) return ctx.Succeed("Выход из прозрачного режима выполнен");
    ctx.StatusText = "Ошибка выхода из прозрачного режима: команда не отправлена";
    return false;
}

bool AMinusCheckMode(OperationContext& ctx) {
    std::uint8_t allowance = 0;
    if (!ctx.Meter().SetAMinusCheckMode(allowance)) return ctx.Fail("Ошибка установки режима поверки А-: ");
    if (allowance == 0) return ctx.Succeed("Превышен лимит установки режима поверки А-");
    return ctx.Succeed("Команда установки режима поверки А- выполнена! Длительность сессии 1 час.\r\nОсталось " +
                       std::to_string(allowance - 1) + " команд");
}

bool BacklightOn(OperationContext& ctx) {
    return Service(ctx, 10, "Смена режима подсветки выполнена", "Ошибка смены режима подсветки: ");
}

bool BacklightOff(OperationContext& ctx) {
    return Service(ctx, 9, "Смена режима подсветки выполнена", "Ошибка смены режима подсветки: ");
}

namespace {

constexpr auto A = CommandMenu::Admin, S = CommandMenu::Service;
constexpr auto None = CommandDialog::None;

// Both menus in their order. Dialog rows carry no operation and no title of
// their own: their dialog reads and writes with its own (ServiceDialogs.h).
constexpr CommandRow kRows[] = {
    // menu, action, caption, runner title, access, box, separator before, CLI name and help, operation, dialog
    {A, "ReadDateTime1", "Чтение даты и времени", "Читаем дату и время...", false, true, false, "datetime",
     "read the meter clock", ReadDateTime, None},
    {A, "WriteDateTime1", "Запись даты и времени", "Записываем дату и время...", true, true, false, nullptr, nullptr,
     WriteDateTime, None},
    {A, "CorrectDateTime1", "Корректировка времени", "Корректируем дату и время...", false, true, false,
     "correct-time", "set the clock to now without access", CorrectDateTime, None},
    {A, "ContactorOn1", "Контактор ВКЛ", "Включаем контактор...", true, true, true, "contactor on",
     "switch the contactor", ContactorOn, None},
    {A, "ContactorOff1", "Контактор ОТКЛ", "Выключаем контактор...", true, true, false, "contactor off", nullptr,
     ContactorOff, None},
    {A, "SetUserPassword1", "Управление паролями доступа...", nullptr, true, true, true, nullptr, nullptr, nullptr,
     CommandDialog::UserPassword},
    {A, "SetKeys1", "Управление ключами доступа...", nullptr, true, true, false, nullptr, nullptr, nullptr,
     CommandDialog::Keys},
    {A, "SpeedEdit1", "Управление скоростью обмена...", nullptr, true, true, true, nullptr, nullptr, nullptr,
     CommandDialog::Speed},
    {A, "VoltageStructEdit1", "Пороги напряжений управления контактором...", nullptr, true, true, true, nullptr,
     nullptr, nullptr, CommandDialog::Voltage},
    {A, "ContactorByTarifStructEdit1", "Управление контактором по тарифам...", nullptr, true, true, false, nullptr,
     nullptr, nullptr, CommandDialog::ContactorTariffs},
    {A, "InternetParametersEdit1", "Параметры Internet подключения...", nullptr, true, true, true, nullptr, nullptr,
     nullptr, CommandDialog::Internet},
    {A, "LeavePLCNetwork1", "Покинуть PLC-сеть", "Покинуть PLC сеть...", true, true, true, "leave-plc",
     "leave the PLC network", LeavePlcNetwork, None},
    {A, "AdditionalFunctions1", "Параметры дополнительных функций...", nullptr, true, true, true, nullptr, nullptr,
     nullptr, CommandDialog::Functions},

    {S, "CoefficientEdit1", "Число поверочных импульсов...", nullptr, true, true, false, nullptr, nullptr, nullptr,
     CommandDialog::Pulses},
    {S, "InitMemory1", "Инициализация памяти", "Инициализация памяти...", false, true, true, "init-memory",
     "initialise the meter's memory", InitMemory, None},
    {S, "Calibration1", "Калибровка", "Калибровка...", false, true, false, "calibrate",
     "calibrate (one try, 10000 ms)", Calibrate, None},
    {S, "CalibrationCoeff1", "Калибровочные коэффициенты...", nullptr, false, false, false, nullptr, nullptr,
     nullptr, CommandDialog::Calibration},
    {S, "TimeCheckMode1", "Режим проверки времени", "Режим проверки времени...", true, true, true, "time-check",
     "time-check mode", TimeCheckMode, None},
    {S, "IndicatorCheckMode1", "Режим проверки индикатора", "Режим проверки индикатора...", true, true, false,
     "indicator-check", "indicator-check mode", IndicatorCheckMode, None},
    {S, "CancelCheckModes1", "Отмена режимов проверки", "Выход из режимов проверки...", true, true, false,
     "checks-off", "leave the check modes", CancelCheckModes, None},
    {S, "ClearMagnetFlag1", "Сброс индикации внешних воздействий", "Сброс индикации внешних воздействий...", true,
     true, true, "clear-tamper", "clear the tamper indication", ClearTamper, None},
    {S, "TransparentMode1", "Прозрачный режим", "Прозрачный режим...", true, true, true, "transparent",
     "enter transparent mode", TransparentMode, None},
    {S, "ExitTransparentMode1", "Выход из прозрачного режима", "Выход из прозрачного режима...", false, true, false,
     "exit-transparent", "leave transparent mode (\"*****\", no answer awaited)", ExitTransparent, None},
    {S, "AMinusCheckMode1", "Режим поверки А-", "Установка режима поверки А-...", true, true, true, "a-minus-check",
     "A- verification mode for an hour", AMinusCheckMode, None},
    {S, "LoraPowerEdit1", "Настройка мощности LoRa...", nullptr, true, false, true, nullptr, nullptr, nullptr,
     CommandDialog::LoraPower},
    {S, "BacklightOn1", "Включить подсветку индикатора", "Включение подсветки индикатора...", true, false, true,
     "backlight on", "switch the indicator backlight", BacklightOn, None},
    {S, "BacklightOff1", "Отключить подсветку индикатора", "Отключение подсветки индикатора...", true, false, false,
     "backlight off", nullptr, BacklightOff, None},
};

}  // namespace

std::span<const CommandRow> AdminCommandRows() { return kRows; }

}  // namespace manager::core
