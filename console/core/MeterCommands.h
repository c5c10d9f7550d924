#pragma once
// The commands of the menu "Команда" as one table: the menu items, their
// enabling and the commands of ostrilon-cli that fit them all come from it.
// Each command is one protocol operation run inside the meter session.

#include <span>
#include <string>
#include <string_view>

#include "common/core/DateTime.h"
#include "console/core/Operation.h"

namespace console::core {

// A submenu of "Команда".
struct CommandSubmenu {
    const char* name;     // object name ("ContactorMenu")
    const char* caption;  // "Управление контактором"
};

// What a command brings back besides success.
enum class CommandReply {
    None,      // nothing: the outcome box says it all
    Clock,     // the meter clock (CommandResult::Clock), shown in a box of its own
    Currency,  // the currency identifier (CommandResult::Currency), for the user to change and write back
};

struct CommandResult {
    common::DateTime Clock;
    std::string Currency;
};

struct CommandRow {
    const char* submenu;   // object name of its submenu (CommandSubmenus); nullptr: "Команда" itself
    const char* action;    // object name of the action ("ContactorOnAction")
    const char* caption;   // menu text ("Включить контактор")
    const char* title;     // the runner's line while it runs ("Включение контактора")
    bool separatorBefore;  // a separator line before the item
    CommandReply reply;
    const char* cliName;   // command of ostrilon-cli ("contactor"); nullptr: none
    const char* cliWords;  // the words after cliName that choose this row ("on", "1 on"); "" for none
    const char* cliHelp;   // its line in ostrilon-cli --help (read from the first row of a command)
    bool (*operation)(OperationContext&, CommandResult&);
};

// The submenus, in the order they first appear in the menu.
std::span<const CommandSubmenu> CommandSubmenus();
// The commands in the order of the menu.
std::span<const CommandRow> MeterCommandRows();

// "Смена валюты" reads the identifier under its row's title, lets the user
// change it, then writes it under this one.
inline constexpr char kWriteCurrencyTitle[] = "Запись идентификатора валюты";

// The meter clock; false when it did not come or is no valid date.
bool ReadClock(OperationContext& ctx, common::DateTime& clock);
bool WriteClock(OperationContext& ctx, const common::DateTime& when);
// The currency identifier of the debit record.
bool ReadCurrency(OperationContext& ctx, std::string& currency);
// code: three characters.
bool WriteCurrency(OperationContext& ctx, std::string_view code);

}  // namespace console::core
