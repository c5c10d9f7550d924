#pragma once
// How dates, times and decimal numbers are written for the user.
//
// The programs take these from the system locale at start (common/ui fills
// them from QLocale); the command-line tools and the tests use the Russian
// ones, which are also the defaults. Patterns use the letters of Qt's date
// and time formats: d dd M MM MMMM yy yyyy h hh H HH m mm s ss zzz AP ap,
// and 'quoted' literal text.

#include <array>
#include <string>

#include "DateTime.h"

namespace common {

struct FormatSettings {
    std::string ShortDateFormat = "dd.MM.yyyy";
    std::string LongTimeFormat = "H:mm:ss";
    std::string DecimalSeparator = ",";
    std::array<std::string, 12> LongMonthNames = {"Январь", "Февраль", "Март",     "Апрель",  "Май",    "Июнь",
                                                  "Июль",   "Август",  "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};

    static FormatSettings Russian() { return {}; }

    // Empty text for no date.
    std::string Date(const DateTime& d) const;
    std::string Time(const DateTime& t) const;
    // Short date, a blank and the long time; the time is left out when it is
    // exactly midnight (a day rather than a moment).
    std::string DateAndTime(const DateTime& t) const;
    // value with decimals digits after the locale's separator.
    std::string Fixed(double value, int decimals) const;
    // Any pattern of the letters above.
    std::string Format(const DateTime& t, const std::string& pattern) const;
};

// The settings in use: the Russian ones until a program sets the system's.
const FormatSettings& Formats();
void SetFormats(const FormatSettings& f);

}  // namespace common
