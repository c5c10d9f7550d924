#include "MeterCommands.h"

#include "Debit.h"

namespace console::core {

bool ReadClock(OperationContext& ctx, common::DateTime& clock) {
    clock = ctx.Link.ReadDateTime();
    return !clock.isEmpty();
}

bool WriteClock(OperationContext& ctx, const common::DateTime& when) { return ctx.Link.WriteDateTime(when); }

bool ReadCurrency(OperationContext& ctx, std::string& currency) {
    currency.clear();
    if (!ctx.Link.ReadArea(Area::Debit, 0)) return false;
    const auto code = CurrencyOfDebitRecord(
        std::span(ctx.Link.AreaData.data(), static_cast<std::size_t>(ctx.Link.AreaDataLength)));
    if (!code) return false;
    currency = *code;
    return true;
}

bool WriteCurrency(OperationContext& ctx, std::string_view code) { return ctx.Link.SetCurrency(code); }

namespace {

using Ctx = OperationContext;
using Res = CommandResult;
using R = CommandReply;

constexpr CommandSubmenu kSubmenus[] = {
    {"ContactorMenu", "Управление контактором"},
    {"RangeModeMenu", "Смена точности"},
    {"DopChannel1Menu", "Управление доп. каналом 1"},
    {"DopChannel2Menu", "Управление доп. каналом 2"},
};

// The four extra-channel commands share one runner title.
constexpr CommandRow kRows[] = {
    {nullptr, "ReadDateTimeAction", "Прочитать дату и время", "Чтение даты и времени счетчика", false, R::Clock,
     "datetime", "", "read the meter clock", [](Ctx& c, Res& r) { return ReadClock(c, r.Clock); }},
    {nullptr, "WriteDateTimeAction", "Записать дату и время", "Запись даты и времени счетчика", false, R::None,
     nullptr, "", nullptr, [](Ctx& c, Res&) { return WriteClock(c, common::DateTime::now()); }},
    {nullptr, "CardModeOnAction", "Перевести в карточный режим", "Установка режима предоплаты", true, R::None,
     "card-mode", "", "switch the meter to card mode", [](Ctx& c, Res&) { return c.Link.SetCardMode(); }},
    {"ContactorMenu", "ContactorOnAction", "Включить контактор", "Включение контактора", false, R::None, "contactor",
     "on", "switch the contactor on or off, or release it",
     [](Ctx& c, Res&) { return c.Link.ContactorCommand(ContactorKind::On); }},
    {"ContactorMenu", "ContactorOffAction", "Выключить контактор", "Выключение контактора", false, R::None,
     "contactor", "off", nullptr, [](Ctx& c, Res&) { return c.Link.ContactorCommand(ContactorKind::Off); }},
    {"ContactorMenu", "ContactorReleaseAction", "Освободить контактор", "Освобождение контактора", false, R::None,
     "contactor", "release", nullptr, [](Ctx& c, Res&) { return c.Link.ContactorCommand(ContactorKind::Release); }},
    {"RangeModeMenu", "RangeMode1Action", "Режим рублей", "Перевод в режим рублей", false, R::None, "range", "rubles",
     "keep money in rubles or in kopecks", [](Ctx& c, Res&) { return c.Link.SetRangeMode(RangeKind::Rubles); }},
    {"RangeModeMenu", "RangeMode100Action", "Режим копеек", "Перевод в режим копеек", false, R::None, "range",
     "kopecks", nullptr, [](Ctx& c, Res&) { return c.Link.SetRangeMode(RangeKind::Kopecks); }},
    {nullptr, "ChangeCurrencyAction", "Смена валюты", "Чтение идентификатора валюты", false, R::Currency, nullptr, "",
     nullptr, [](Ctx& c, Res& r) { return ReadCurrency(c, r.Currency); }},
    {"DopChannel1Menu", "DopChannel1OnAction", "Включить доп. канал 1", "Включение доп. канала", false, R::None,
     "channel", "1 on", "switch an extra output channel",
     [](Ctx& c, Res&) { return c.Link.ExtraChannelCommand(ExtraChannelKind::Channel1On); }},
    {"DopChannel1Menu", "DopChannel1OffAction", "Выключить доп. канал 1", "Включение доп. канала", false, R::None,
     "channel", "1 off", nullptr, [](Ctx& c, Res&) { return c.Link.ExtraChannelCommand(ExtraChannelKind::Channel1Off); }},
    {"DopChannel2Menu", "DopChannel2OnAction", "Включить доп. канал 2", "Включение доп. канала", false, R::None,
     "channel", "2 on", nullptr, [](Ctx& c, Res&) { return c.Link.ExtraChannelCommand(ExtraChannelKind::Channel2On); }},
    {"DopChannel2Menu", "DopChannel2OffAction", "Выключить доп. канал 2", "Включение доп. канала", false, R::None,
     "channel", "2 off", nullptr, [](Ctx& c, Res&) { return c.Link.ExtraChannelCommand(ExtraChannelKind::Channel2Off); }},
};

}  // namespace

std::span<const CommandSubmenu> CommandSubmenus() { return kSubmenus; }
std::span<const CommandRow> MeterCommandRows() { return kRows; }

}  // namespace console::core
