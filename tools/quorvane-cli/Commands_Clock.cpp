// The meter clock: read, set inside an access session, correct without one.
#include "Cli.h"

namespace qcli {

void AddClockCommands(CommandTable& t) {
    t.Add(NoArgs("datetime", "datetime", "read the meter clock", [](Session& s, Output& out) {
        DateTime now;
        if (!s.meter().GetDateTime(now)) s.Fail("Ошибка чтения даты и времени: ");
        out.Field("datetime", Text(now));
    }));

    CommandRow set;
    set.name = "set-datetime";
    set.maxArgs = 1;
    set.usage = "set-datetime [YYYY-MM-DDTHH:MM:SS]";
    set.help = "set the clock (access; default: now)";
    set.prepare = [](const Args& a) -> Action {
        const bool given = !a.empty();
        const DateTime when = given ? Date(a[0]) : DateTime{};
        return [given, when](Session& s, Output& out) {
            const DateTime clock = given ? when : DateTime::now();
            s.WithAccess([&] { return s.meter().SetDateTime(clock); }, "Ошибка записи даты и времени: ");
            out.Field("datetime", Text(clock));
            out.Field("result", "Время установлено");
        };
    };
    t.Add(set);

    t.Add(NoArgs("correct-time", "correct-time", "set the clock to now without access", [](Session& s, Output& out) {
        const DateTime now = DateTime::now();
        if (!s.meter().SetDateTime(now)) s.Fail("Ошибка корректировки даты и времени: ");
        out.Field("datetime", Text(now));
        out.Field("result", "Время установлено");
    }));
}

}  // namespace qcli
