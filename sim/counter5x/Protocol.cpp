#include "sim/counter5x/Protocol.h"

#include "console/link/Structures.h"

namespace sim5x {

std::vector<AreaSpec> AreaLayout(int version, int profilePoints) {
    const bool v54 = version == 54;
    const auto points = static_cast<std::uint16_t>(profilePoints < 0 ? 0 : profilePoints > 65535 ? 65535 : profilePoints);
    std::vector<AreaSpec> t = {
        {kAreaPasswords, static_cast<std::uint16_t>(v54 ? kPasswordEntries54 : kPasswordEntries5153), 4, Access::WriteOnly, "passwords"},
        {kAreaIdent, 1, 11, Access::ReadWrite, "identification"},
        {kAreaEnergy, 12, 14, Access::ReadOnly, "energy by tariff and limit"},
        {kAreaParams, 1, 9, Access::ReadWrite, "parameters"},
        {kAreaSeason, 1, 6, Access::ReadWrite, "season change date"},
        {kAreaZones, 12, 10, Access::ReadWrite, "time zones"},
        {kAreaLimits, 1, 18, Access::ReadWrite, "limit thresholds"},
        {kAreaCounters, 1, 10, Access::ReadOnly, "data counters"},
        {kAreaPointers, 1, 8, Access::ReadOnly, "pointers"},
        {kAreaProfile, points, static_cast<std::uint8_t>(v54 ? 6 : 7), Access::ReadOnly, "load profile"},
        {kAreaTariffs, 8, 14, Access::ReadWrite, "tariffs"},
        {kAreaDebit, 1, 16, Access::ReadOnly, "debit"},
        {kAreaEvents, 5, 10, Access::ReadOnly, "events"},
        {kAreaCards, 8, 20, Access::ReadOnly, "load cards"},
        {kAreaLoads, 8, 18, Access::ReadOnly, "loads from cards"},
        {kAreaPowerMax, 4, 6, Access::ReadWrite, "power maximum per tariff"},
        {kAreaAddParams, 1, 3, Access::ReadWrite, "additional parameters"},
        {kAreaExcessTime, 4, 3, Access::ReadWrite, "power excess time per tariff"},
        {kAreaHolidays, 20, 4, Access::ReadWrite, "holidays"},
        {kAreaChannels, 1, static_cast<std::uint8_t>(v54 ? 7 : 11), Access::ReadWrite, "extra channel control"},
        {kAreaPeriodEnergy, 13 * 12, 14, Access::ReadOnly, "energy per billing period"},
        {kAreaPeriodMoney, 13, 12, Access::ReadOnly, "money per billing period"},
        {kAreaBillingDay, 1, 3, Access::ReadWrite, "billing-period day"},
        {kAreaContactor, 1, 10, Access::ReadWrite, "contactor control"},
        {kAreaMoneySpent, 12, 14, Access::ReadOnly, "money spent by tariff and limit"},
        {kAreaParams2, 1, 18, Access::ReadWrite, "parameters 2"},
        {kAreaPeriodPowerMax, 13, 8, Access::ReadOnly, "power maximum per integration period"},
    };
    if (!v54) {
        t.push_back({kAreaPeakTariff, 1, 3, Access::ReadWrite, "peak-consumption tariff"});
        t.push_back({kAreaRatio, 1, 8, Access::ReadWrite, "transformation ratio"});
    }
    return t;
}

RequestAssembler::Result RequestAssembler::push(std::uint8_t byte) {
    if (count_ == 0 && byte != kFrameStart) return Result::NeedMore;  // hunting for a start byte
    buf_[count_++] = byte;
    if (count_ == 2 && byte > kMaxData) {
        last_ = count_;
        count_ = 0;
        return Result::Bad;
    }
    if (count_ < 4 || count_ < static_cast<std::size_t>(buf_[1]) + 4) return Result::NeedMore;
    last_ = count_;
    count_ = 0;
    const std::uint8_t crc = console::FrameCRC8(buf_ + 1, static_cast<std::size_t>(buf_[1]) + 2);
    return crc == buf_[last_ - 1] ? Result::Frame : Result::Bad;
}

}  // namespace sim5x
