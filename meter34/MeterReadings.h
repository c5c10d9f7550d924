#pragma once
// Reading stored energy data of one day: the load profile, block by block.

#include <cstdint>
#include <functional>

#include "MeterNew.h"

namespace meter34 {

struct ProfileRow {
    DateTime End;          // end of the interval
    bool HasValue = false; // false: the meter stored nothing (FFFFh)
    std::uint16_t Value = 0;  // bits 0..14 of the stored value
};

enum class ProfileDayResult {
    Ok,       // rows delivered
    NoData,   // the meter has no profile for that day (result 15)
    Failed,   // a request failed; the meter's ResultCode tells why
    BadData,  // the meter answered with a count of 0 or an unknown interval code
};

// Reads the load profile of energyType for the day of `day`, calling onRow for
// every interval in order. A block that answers "no data" still advances the
// time stamps by its intervals, so later blocks keep their true times.
ProfileDayResult ReadLoadProfileDay(TMeter& meter, std::uint8_t energyType, const DateTime& day,
                                    const std::function<void(const ProfileRow&)>& onRow);

}  // namespace meter34
