// Administrative commands.
#include "Cli.h"

namespace qcli {

void AddAdminCommands(CommandTable& t) {
    CommandRow contactor;
    contactor.name = "contactor";
    contactor.minArgs = contactor.maxArgs = 1;
    contactor.usage = "contactor on|off";
    contactor.help = "switch the contactor (access)";
    contactor.prepare = [](const Args& a) -> Action {
        if (a[0] != "on" && a[0] != "off") Bad("contactor takes on or off");
        const bool on = a[0] == "on";
        return [on](Session& s, Output& out) {
            s.WithAccess([&] { return s.meter().SetContactor(on ? 1 : 0); },
                         on ? "Ошибка включения контактора: " : "Ошибка выключения контактора: ");
            out.Field("result", on ? "Контактор включен" : "Контактор выключен");
        };
    };
    t.Add(contactor);
}

}  // namespace qcli
