// Administrative commands.
#include "Cli.h"

namespace qcli {

namespace {

Action Contactor(const Args& a) {
    if (a[0] != "on" && a[0] != "off") Bad("contactor takes on or off");
    const bool on = a[0] == "on";
    return [on](Session& s, Output& out) {
        s.WithAccess([&] { return s.meter().SetContactor(on ? 1 : 0); },
                     on ? "Ошибка включения контактора: " : "Ошибка выключения контактора: ");
        out.Field("result", on ? "Контактор включен" : "Контактор выключен");
    };
}

}  // namespace

void AddAdminCommands(CommandTable& t) {
    t.Add(Row("contactor").Takes(1).Shown("contactor on|off", "switch the contactor (access)").Does(Contactor));
}

}  // namespace qcli
