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

constexpr CommandRow kRows[] = {
    {CommandMenu::Admin, "ReadDateTime1", "Чтение даты и времени", "Читаем дату и время...", false, true, false,
     "datetime", "read the meter clock", ReadDateTime},
    {CommandMenu::Admin, "WriteDateTime1", "Запись даты и времени", "Записываем дату и время...", true, true, false,
     nullptr, nullptr, WriteDateTime},
    {CommandMenu::Admin, "CorrectDateTime1", "Корректировка времени", "Корректируем дату и время...", false, true,
     false, "correct-time", "set the clock to now without access", CorrectDateTime},
};

}  // namespace

std::span<const CommandRow> AdminCommandRows() { return kRows; }

}  // namespace manager::core
