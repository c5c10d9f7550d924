// Stored energy: one energy value, the load profile of a day.
#include <cstdint>

#include "Cli.h"
#include "meter34/MeterReadings.h"

namespace qcli {

using namespace meter34;

namespace {

Action Energy(const Args& a) {
    const auto type = static_cast<std::uint8_t>(Integer(a[0], "TYPE", 0, 15));
    const auto tariff = static_cast<std::uint8_t>(Integer(a[1], "TARIFF", 0, 255));
    const DateTime day = Date(a[2]);
    const auto slice = static_cast<std::uint8_t>(Integer(a[3], "SLICE", 0, 6));
    return [=](Session& s, Output& out) {
        std::uint32_t v = 0;
        if (!s.meter().GetEnergy(type, tariff, day, slice, v)) s.Fail("Ошибка: ");
        out.Number("value_wh", v);
    };
}

Action Profile(const Args& a) {
    const auto type = static_cast<std::uint8_t>(Integer(a[0], "TYPE", 0, 15));
    const DateTime day = Date(a[1]);
    return [=](Session& s, Output& out) {
        Output::Rows rows;
        const auto r = ReadLoadProfileDay(s.meter(), type, day, [&](const ProfileRow& row) {
            rows.push_back({Text(row.End), row.HasValue ? std::to_string(row.Value) : "Нет данных"});
        });
        if (r == ProfileDayResult::Failed) s.Fail("Ошибка: ");
        if (r == ProfileDayResult::BadData) throw Failure{"Ошибка: счетчик сообщил недопустимый интервал графика"};
        out.Field("result", r == ProfileDayResult::NoData ? "Нет данных" : "Выполнено");
        out.Table("rows", rows);
    };
}

}  // namespace

void AddReadingCommands(CommandTable& t) {
    t.Add(Row("energy").Takes(4).Shown("energy TYPE TARIFF DATE SLICE", "one energy value (W*h)").Does(Energy));
    t.Add(Row("profile").Takes(2).Shown("profile TYPE DATE", "the load profile of one day").Does(Profile));
}

}  // namespace qcli
