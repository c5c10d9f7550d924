#pragma once
// The formats of dates, times and decimal numbers (common/core/FormatSettings.h)
// as Qt strings, and the system locale's formats for the programs.

#include <QString>

#include "common/core/DateTime.h"
#include "common/core/FormatSettings.h"

namespace common::ui {

using common::FormatSettings;
using common::Formats;
using common::SetFormats;

// The system locale's formats; the Russian ones for a Russian or C locale.
FormatSettings FormatsOfSystem();

QString FormatDate(const DateTime& d);
QString FormatTime(const DateTime& t);
// Short date, a blank and the long time; the time is left out at exactly midnight.
QString FormatDateTime(const DateTime& t);
// A number with the given decimals and the locale's separator.
QString FormatFixed(double value, int decimals);
// The twelve long month names.
QStringList LongMonthNames();

}  // namespace common::ui
