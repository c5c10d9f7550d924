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

// The dialog a command opens (ServiceDialogs.h), or none.
enum class CommandDialog {
    None,
    UserPassword,      // TFrmSetUserPassword
    Keys,              // TFrmSetKeys
    Speed,             // TFrmSpeedEdit
    Voltage,           // TFrmVoltageStructEdit
    ContactorTariffs,  // TFrmContactorByTarifStructEdit
    Internet,          // TFrmInternetParametersEdit
    Functions,         // TFrmAdditionalFunctions
    Pulses,            // TFrmCoefficientEdit
    Calibration,       // TFrmCalibrationCoeff
    LoraPower,         // TFrmLoraPowerEdit
};

struct CommandRow {
    CommandMenu menu;
    const char* action;      // object name of the menu item ("ReadDateTime1")
    const char* caption;     // menu text ("Чтение даты и времени")
    const char* title;       // the runner's line while it runs ("Читаем дату и время..."); dialogs: theirs
    bool access;             // run inside an access session
    bool box;                // an information box with the result text after success
    bool separatorBefore;    // a separator line before the item in its menu
    // Command of quorvane-cli ("datetime"); nullptr: none. Rows that share
    // a first word are one command with an argument ("backlight on",
    // "backlight off": "backlight on|off").
    const char* cliName;
    const char* cliHelp;     // its line in quorvane-cli --help (of the first row of a shared command)
    bool (*operation)(OperationContext&);  // nullptr for a dialog
    CommandDialog dialog;
};

std::span<const CommandRow> AdminCommandRows();

// The clock commands of the table: "Чтение даты и времени", "Запись даты и
// времени" (the computer's current time, inside access), "Корректировка
// времени" (the same without access).
bool ReadDateTime(OperationContext& ctx);
bool WriteDateTime(OperationContext& ctx);
bool CorrectDateTime(OperationContext& ctx);

// The commands without a dialog, each with its success text and error
// prefix (AdminCommands.cpp lists them with their menu items).
bool ContactorOn(OperationContext& ctx);
bool ContactorOff(OperationContext& ctx);
bool LeavePlcNetwork(OperationContext& ctx);
bool InitMemory(OperationContext& ctx);
// One try with a 10000 ms time-out, then "Повторов" and "Таймаут, мс" of
// the exchange values back on the link, whatever happened.
bool Calibrate(OperationContext& ctx);
bool TimeCheckMode(OperationContext& ctx);
bool IndicatorCheckMode(OperationContext& ctx);
bool CancelCheckModes(OperationContext& ctx);
bool ClearTamper(OperationContext& ctx);
bool TransparentMode(OperationContext& ctx);
// Sends "*****" and waits for nothing.
bool ExitTransparent(OperationContext& ctx);
// The meter answers how many more times the mode may be set.
bool AMinusCheckMode(OperationContext& ctx);
bool BacklightOn(OperationContext& ctx);
bool BacklightOff(OperationContext& ctx);

// The same with the clock given or returned, for the command-line tool.
bool ReadClock(OperationContext& ctx, common::DateTime& clock);
bool WriteClock(OperationContext& ctx, const common::DateTime& clock);
bool CorrectClock(OperationContext& ctx, const common::DateTime& clock);

}  // namespace manager::core
