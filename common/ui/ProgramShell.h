#pragma once
// What both programs' main() do around their one main window.
//
// Window titles: the window system shows each window's caption exactly as
// the program sets it. Qt appends the application display name to every
// title when one is set ("Ошибка — Quorvane (v3-4)"), so the programs never
// set it; the program's own title (the caption of plain message boxes) is
// kept here instead.
//
// Termination: SIGTERM and SIGINT (a logout, `kill`, Ctrl+C in a terminal)
// close the main window the way "Выход" does, so a running operation is
// cancelled, the connection is closed and the settings are saved.

#include <QString>

class QWidget;

namespace common::ui {

// Sets the application name (used for settings paths), the program title
// and the formats of dates and numbers from the system locale.
void SetUpProgram(const QString& applicationName, const QString& programTitle);

// The caption of plain message boxes: the program title, or the
// application's display name when no program title was set.
QString ProgramTitle();

// From now on SIGTERM and SIGINT close window as the user would: any
// operation in progress is asked to cancel, open message boxes are
// dismissed, then the window is closed (its close handler disconnects and
// saves). Call once, after the window exists.
void CloseOnTerminationSignals(QWidget* window);

}  // namespace common::ui
