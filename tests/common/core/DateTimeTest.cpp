#include <gtest/gtest.h>

#include "common/core/DateTime.h"

using common::DateTime;

TEST(DateTime, CalendarRejectsImpossibleFields) {
    struct Case { int y, mo, d, h, mi, s; bool valid; } cases[] = {
        {2024, 2, 29, 0, 0, 0, true},  {2023, 2, 29, 0, 0, 0, false}, {2000, 2, 29, 23, 59, 59, true},
        {1900, 2, 29, 0, 0, 0, false}, {2024, 13, 1, 0, 0, 0, false}, {2024, 0, 1, 0, 0, 0, false},
        {2024, 4, 31, 0, 0, 0, false}, {2024, 1, 0, 0, 0, 0, false},  {2024, 1, 1, 24, 0, 0, false},
        {2024, 1, 1, 0, 60, 0, false}, {2024, 1, 1, 0, 0, 60, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DateTime::make(c.y, c.mo, c.d, c.h, c.mi, c.s).has_value(), c.valid)
            << c.y << "-" << c.mo << "-" << c.d << " " << c.h << ":" << c.mi << ":" << c.s;
}

TEST(DateTime, FieldsSurviveArithmeticAcrossEpochAndLeapDays) {
    const auto t = *DateTime::make(2024, 2, 28, 23, 59, 58, 500);
    const auto u = t.addMSecs(2000);
    EXPECT_EQ(u.toIsoString(), "2024-02-29T00:00:00.500");
    EXPECT_EQ(DateTime::make(1899, 12, 30, 7, 5)->toIsoString(), "1899-12-30T07:05:00");
    EXPECT_EQ(DateTime::make(1899, 12, 30)->addDays(1).day(), 31);
    EXPECT_EQ(DateTime::make(2026, 12, 11)->dayOfWeek(), 5);  // a Friday
    EXPECT_EQ(DateTime::make(1969, 12, 31)->dayOfWeek(), 3);
    EXPECT_EQ(t.msecsTo(u), 2000);
}

TEST(DateTime, EmptyIsNoDate) {
    DateTime empty;
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(empty.toIsoString(), "");
    EXPECT_TRUE(empty < *DateTime::make(1, 1, 1));
    EXPECT_EQ(empty, DateTime::makeOrEmpty(2023, 2, 29));
}

TEST(DateTime, IsoParsing) {
    EXPECT_EQ(DateTime::fromIsoString("2024-02-29T13:05:07")->toIsoString(), "2024-02-29T13:05:07");
    EXPECT_EQ(DateTime::fromIsoString("2024-02-29 13:05")->toIsoString(), "2024-02-29T13:05:00");
    EXPECT_EQ(DateTime::fromIsoString("2024-02-29")->toIsoString(), "2024-02-29T00:00:00");
    for (const char* bad : {"2023-02-29T00:00:00", "2024-2-29", "2024-02-29T13:05:07x", "", "garbage",
                            "2024-02-29T25:00:00"})
        EXPECT_FALSE(DateTime::fromIsoString(bad).has_value()) << bad;
}
