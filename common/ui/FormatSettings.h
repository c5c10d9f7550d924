#pragma once
// How dates, times and decimal numbers are written for the user: taken from
// the system locale in the programs, pinned to the Russian one in tests.

#include <QString>
#include <QStringList>

#include "common/core/DateTime.h"

namespace common::ui {

struct FormatSettings {
    QString ShortDateFormat = QStringLiteral("dd.MM.yyyy");
    QString LongTimeFormat = QStringLiteral("H:mm:ss");
    QChar DecimalSeparator = QLatin1Char(',');
    QStringList LongMonthNames;  // "Январь" .. "Декабрь"

    static FormatSettings Russian();
    static FormatSettings FromSystem();
};

// The settings in use (the system's unless a test set others).
const FormatSettings& Formats();
void SetFormats(const FormatSettings& f);

QString FormatDate(const DateTime& d);
QString FormatTime(const DateTime& t);
// Short date, a blank and the long time; the time is left out at exactly midnight.
QString FormatDateTime(const DateTime& t);
// A number with the given decimals and the locale's separator.
QString FormatFixed(double value, int decimals);

}  // namespace common::ui
