// The money unit of the captions follows the meter's money mode.
#include "SimMeter.h"
#include "console/core/MoneyMode.h"
#include "console/core/Session.h"

TEST(MoneyCaptions, RublesAndKopecks) {
    struct Row {
        bool rubles;
        const char *maxSum, *alarm, *off, *tariff1, *tariff4;
    } rows[] = {
        {true, "Макс. сумма разовой загрузки (руб.)", "Дебет предупреждения (руб.)", "Дебет отключения (руб.)",
         "Тариф 1 (руб./кВт)", "Тариф 4 (руб./кВт)"},
        {false, "Макс. сумма разовой загрузки (коп.)", "Дебет предупреждения (коп.)", "Дебет отключения (коп.)",
         "Тариф 1 (коп./кВт)", "Тариф 4 (коп./кВт)"},
    };
    for (const auto& r : rows) {
        const auto t = console::core::MoneyCaptions(r.rubles);
        EXPECT_EQ(t.MaxSum, r.maxSum);
        EXPECT_EQ(t.AlarmDebit, r.alarm);
        EXPECT_EQ(t.OffDebit, r.off);
        ASSERT_EQ(t.Tariffs.size(), 4u);
        EXPECT_EQ(t.Tariffs[0], r.tariff1);
        EXPECT_EQ(t.Tariffs[3], r.tariff4);
    }
}

using MoneyMode = testcore::SimMeter;

TEST_F(MoneyMode, TheLoginGivesTheUnit) {
    for (const bool kopecks : {true, false}) {
        meter.setKopecks(kopecks);
        std::string maxSum;
        EXPECT_EQ(console::core::WithSession(link, testcore::kMeter, testcore::kIdent,
                                             [&] {
                                                 maxSum = console::core::MoneyCaptions(link.RublesMode).MaxSum;
                                                 return true;
                                             }),
                  console::core::SessionOutcome::Done);
        EXPECT_EQ(maxSum, kopecks ? "Макс. сумма разовой загрузки (коп.)" : "Макс. сумма разовой загрузки (руб.)");
    }
}
