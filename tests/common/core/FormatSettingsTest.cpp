#include <gtest/gtest.h>

#include "common/core/FormatSettings.h"

using common::DateTime;
using common::FormatSettings;

TEST(FormatSettings, PatternsOfTheLocales) {
    const auto t = *DateTime::make(2024, 2, 9, 17, 5, 3, 40);
    const FormatSettings ru;
    struct Case {
        const char* pattern;
        const char* expected;
    } cases[] = {
        {"dd.MM.yyyy", "09.02.2024"},
        {"d.M.yy", "9.2.24"},
        {"H:mm:ss", "17:05:03"},
        {"HH:mm:ss.zzz", "17:05:03.040"},
        {"M/d/yy", "2/9/24"},
        {"h:mm:ss AP", "5:05:03 PM"},
        {"hh 'h' mm", "17 h 05"},  // 12-hour only beside AP
        {"d MMMM yyyy", "9 Февраль 2024"},
        {"'It''s' yyyy", "It's 2024"},
    };
    for (const auto& c : cases) EXPECT_EQ(ru.Format(t, c.pattern), c.expected) << c.pattern;
    EXPECT_EQ(ru.Format(DateTime{}, "dd.MM.yyyy"), "");
}

TEST(FormatSettings, RussianDateTimeDropsMidnightAndNumbersUseTheSeparator) {
    const FormatSettings ru = FormatSettings::Russian();
    EXPECT_EQ(ru.DateAndTime(*DateTime::make(2024, 2, 9, 7, 5, 3)), "09.02.2024 7:05:03");
    EXPECT_EQ(ru.DateAndTime(*DateTime::make(2024, 2, 9)), "09.02.2024");
    EXPECT_EQ(ru.DateAndTime(*DateTime::make(2024, 2, 9, 0, 0, 0, 1)), "09.02.2024 0:00:00");
    EXPECT_EQ(ru.Fixed(-2.5, 2), "-2,50");
    EXPECT_EQ(ru.Fixed(1234.567, 0), "1235");
    FormatSettings en = ru;
    en.DecimalSeparator = ".";
    EXPECT_EQ(en.Fixed(0.125, 3), "0.125");
}
