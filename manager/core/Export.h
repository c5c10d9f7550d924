#pragma once
// "Сохранить результаты": the statistics table as a semicolon-separated text
// file, whatever view filled it.
//
// One line per row from the header row on; every cell of a line is followed
// by ";" (so every line ends in ";" and an empty cell leaves only its ";");
// nothing is quoted; lines end in CR LF; the file is Windows-1251 without a
// byte order mark and replaces any file of that name.

#include <string>

#include "manager/core/StatisticsTable.h"

namespace manager::core {

// The text of the file before its conversion to Windows-1251 (UTF-8).
std::string TableCsvText(const StatisticsTable& table);

// Writes the file whole or not at all; false with errorText.
bool SaveTableCsv(const StatisticsTable& table, const std::string& path, std::string& errorText);

}  // namespace manager::core
