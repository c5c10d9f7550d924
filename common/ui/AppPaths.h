#pragma once
// Where a program keeps its settings file: beside the executable when that
// folder is writable, otherwise in $XDG_CONFIG_HOME/<program>/ (usually
// ~/.config/<program>/). The file is named after the program with the
// extension ".INI".

#include <QString>

namespace common::ui {

QString SettingsFilePath();
// The same rule for a given executable path (for tests).
QString SettingsFilePathFor(const QString& executablePath);

}  // namespace common::ui
