#pragma once
// The administrative and service commands of the main window as one table:
// the menus, their enabling and the command-line tool's commands all come
// from it.

#include <span>
#include <string>

#include "manager/core/Operation.h"

namespace manager::core {

// Which menu a command sits in.
enum class CommandMenu { Admin, Service };

struct CommandRow {
    CommandMenu menu;
    const char* action;      // object name of the menu item ("ReadDateTime1")
    const char* caption;     // menu text ("Чтение даты и времени")
    const char* title;       // the runner's line while it runs ("Читаем дату и время...")
    bool access;             // run inside an access session
    bool box;                // an information box with the result text after success
    bool separatorBefore;    // a separator line before the item in its menu
    const char* cliName;     // command of quorvane-cli ("datetime"); nullptr: none
    const char* cliHelp;     // its line in quorvane-cli --help
    bool (*operation)(OperationContext&);
};

std::span<const CommandRow> AdminCommandRows();

// The clock commands of the table: "Чтение даты и времени", "Запись даты и
// времени" (the computer's current time, inside access), "Корректировка
// времени" (the same without access).
bool ReadDateTime(OperationContext& ctx);
bool WriteDateTime(OperationContext& ctx);
bool CorrectDateTime(OperationContext& ctx);

// The same with the clock given or returned, for the command-line tool.
bool ReadClock(OperationContext& ctx, common::DateTime& clock);
bool WriteClock(OperationContext& ctx, const common::DateTime& clock);
bool CorrectClock(OperationContext& ctx, const common::DateTime& clock);

}  // namespace manager::core
