// The meter clock: read, set inside an access session, correct without one.
#include "Cli.h"
#include "manager/core/AdminCommands.h"

namespace qcli {

namespace {

using manager::core::OperationContext;

void ReadClock(Session& s, Output& out) {
    DateTime clock;
    s.Run([&](OperationContext& ctx) { return manager::core::ReadClock(ctx, clock); });
    out.Field("datetime", Text(clock));
}

Action SetClock(const Args& a) {
    const bool given = !a.empty();
    const DateTime when = given ? Date(a[0]) : DateTime{};
    return [given, when](Session& s, Output& out) {
        const DateTime clock = given ? when : DateTime::now();
        const std::string result =
            s.Run([&](OperationContext& ctx) { return manager::core::WriteClock(ctx, clock); }, true);
        out.Field("datetime", Text(clock));
        out.Field("result", result);
    };
}

void CorrectClock(Session& s, Output& out) {
    const DateTime clock = DateTime::now();
    const std::string result = s.Run([&](OperationContext& ctx) { return manager::core::CorrectClock(ctx, clock); });
    out.Field("datetime", Text(clock));
    out.Field("result", result);
}

}  // namespace

void AddClockCommands(CommandTable& t) {
    t.Add(Row("datetime").Shown("datetime", "read the meter clock").Runs(ReadClock));
    t.Add(Row("set-datetime").Takes(0, 1)
              .Shown("set-datetime [YYYY-MM-DDTHH:MM:SS]", "set the clock (access; default: now)")
              .Does(SetClock));
    t.Add(Row("correct-time").Shown("correct-time", "set the clock to now without access").Runs(CorrectClock));
}

}  // namespace qcli
