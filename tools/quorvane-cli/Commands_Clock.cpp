// The meter clock: read, set inside an access session, correct without one.
#include "Cli.h"

namespace qcli {

namespace {

void ReadClock(Session& s, Output& out) {
    DateTime now;
    if (!s.meter().GetDateTime(now)) s.Fail("Ошибка чтения даты и времени: ");
    out.Field("datetime", Text(now));
}

Action SetClock(const Args& a) {
    const bool given = !a.empty();
    const DateTime when = given ? Date(a[0]) : DateTime{};
    return [given, when](Session& s, Output& out) {
        const DateTime clock = given ? when : DateTime::now();
        s.WithAccess([&] { return s.meter().SetDateTime(clock); }, "Ошибка записи даты и времени: ");
        out.Field("datetime", Text(clock));
        out.Field("result", "Время установлено");
    };
}

void CorrectClock(Session& s, Output& out) {
    const DateTime now = DateTime::now();
    if (!s.meter().SetDateTime(now)) s.Fail("Ошибка корректировки даты и времени: ");
    out.Field("datetime", Text(now));
    out.Field("result", "Время установлено");
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
