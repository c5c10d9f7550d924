#include "MeterReadings.h"

namespace meter34 {

ProfileDayResult ReadLoadProfileDay(TMeter& meter, std::uint8_t energyType, const DateTime& day,
                                    const std::function<void(const ProfileRow&)>& onRow) {
    std::uint16_t values[255];
    std::uint8_t count = 0, interval = 0;
    const DateTime date = day.dateOnly();
    if (!meter.GetPowerGrafic(energyType, 0, date, count, values, interval))
        return meter.ResultCode == 15 ? ProfileDayResult::NoData : ProfileDayResult::Failed;
    int p = interval;
    if (meter.MeterVersion < 100) p += 6;  // such meters report 0 for 30 minutes and 1 for an hour
    if (count == 0 || p > 7) return ProfileDayResult::BadData;
    const int period = kProfilePeriodMinutes[p];
    const int blocks = (24 * 60 / period) / count;
    DateTime t = date;
    for (int b = 0; b < blocks; ++b) {
        std::uint8_t c = 0, code = 0;
        if (!meter.GetPowerGrafic(energyType, static_cast<std::uint8_t>(b), date, c, values, code)) {
            if (meter.ResultCode != 15) return ProfileDayResult::Failed;
            t = t.addSecs(static_cast<std::int64_t>(count) * period * 60);
            continue;
        }
        for (int i = 0; i < c; ++i) {
            t = t.addSecs(static_cast<std::int64_t>(period) * 60);
            ProfileRow row;
            row.End = t;
            row.HasValue = values[i] != 0xFFFF;
            row.Value = static_cast<std::uint16_t>(values[i] & 0x7FFF);
            onRow(row);
        }
    }
    return ProfileDayResult::Ok;
}

}  // namespace meter34
