#include "AdminCommands.h"

namespace manager::core {

bool ReadDateTime(OperationContext& ctx) {
    common::DateTime t;
    if (!ctx.Meter().GetDateTime(t)) return ctx.Fail("Ошибка чтения даты и времени: ");
    return ctx.Succeed("Дата и время счетчика: " + ctx.Formats.Date(t) + " " + ctx.Formats.Time(t));
}

bool WriteDateTime(OperationContext& ctx) {
    // The computer's local time at the moment of sending.
    if (!ctx.Meter().SetDateTime(common::DateTime::now())) return ctx.Fail("Ошибка записи даты и времени: ");
    return ctx.Succeed("Время установлено");
}

bool CorrectDateTime(OperationContext& ctx) {
    // The correction goes out without access, whatever the access fields hold.
    if (!ctx.Meter().SetDateTime(common::DateTime::now())) return ctx.Fail("Ошибка корректировки даты и времени: ");
    return ctx.Succeed("Время установлено");
}

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
