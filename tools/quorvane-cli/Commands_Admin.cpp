// Administrative and service commands: the rows of the window's command
// table that have a command-line name (menu items without a dialog), and
// the password and key writes of its two dialogs without a read. Each
// prints the text the window's box would show ("result: ..."), or fails with
// the error text. The records of the other dialogs are records of get and set.
#include <algorithm>

#include "Cli.h"
#include "Records.h"
#include "manager/core/AdminCommands.h"
#include "manager/core/ServiceDialogs.h"

namespace qcli {

namespace {

namespace core = manager::core;

Action RunRow(const core::CommandRow& row) {
    return [&row](Session& s, Output& out) { out.Field("result", s.Run(row.operation, row.access)); };
}

std::string Join(const std::vector<std::string>& parts, const char* between) {
    std::string out;
    for (const auto& p : parts) out += (out.empty() ? "" : between) + p;
    return out;
}

// One command of the table: its rows by argument ("" for none).
struct TableCommand {
    std::string name;
    std::vector<std::string> args;
    std::vector<const core::CommandRow*> rows;
};

std::vector<TableCommand> TableCommands(const CommandTable& existing) {
    std::vector<TableCommand> out;
    for (const core::CommandRow& row : core::AdminCommandRows()) {
        if (!row.cliName || !row.operation) continue;
        const std::string full = row.cliName;
        const auto blank = full.find(' ');
        const std::string name = full.substr(0, blank);
        // The clock commands have rows of their own that also show the time.
        if (existing.Find(name)) continue;
        auto it = std::find_if(out.begin(), out.end(), [&](const TableCommand& c) { return c.name == name; });
        if (it == out.end()) it = out.insert(out.end(), TableCommand{name, {}, {}});
        it->args.push_back(blank == std::string::npos ? "" : full.substr(blank + 1));
        it->rows.push_back(&row);
    }
    return out;
}

template <class V>
Action WriteRecord(const core::DialogCommand<V>& command, V values) {
    if (const std::string reason = command.check(values); !reason.empty()) Bad(command.writeError + reason);
    return [&command, values](Session& s, Output& out) {
        out.Field("result",
                  s.Run([&](core::OperationContext& ctx) { return command.write(ctx, values); }, command.writeAccess));
    };
}

Action SetPassword(const Args& a) {
    core::UserPasswordValues v;
    v.PasswordLevelComboBox = static_cast<int>(Integer(a[0], "LEVEL", 1, 2)) - 1;
    v.PasswordValueEdit = a[1];
    return WriteRecord(core::kUserPasswordDialog, v);
}

Action SetKeys(const Args& a) { return WriteRecord(core::kKeysDialog, core::KeysValues{a[0], a[1]}); }

}  // namespace

void AddAdminCommands(CommandTable& t) {
    for (const TableCommand& c : TableCommands(t)) {
        const core::CommandRow& first = *c.rows.front();
        const std::string help = std::string(first.cliHelp ? first.cliHelp : "") + (first.access ? " (access)" : "");
        if (c.rows.size() == 1 && c.args.front().empty()) {
            t.Add(Row(c.name).Shown(c.name, help).Runs(RunRow(first)));
            continue;
        }
        t.Add(Row(c.name).Takes(1).Shown(c.name + " " + Join(c.args, "|"), help).Does([c](const Args& a) {
            for (std::size_t i = 0; i < c.args.size(); ++i)
                if (a[0] == c.args[i]) return RunRow(*c.rows[i]);
            Bad(c.name + " takes " + Join(c.args, " or "));
        }));
    }
    t.Add(Row("set-password").Takes(2)
              .Shown("set-password LEVEL PASSWORD", "write the password of access level 1 or 2 (access)")
              .Does(SetPassword));
    t.Add(Row("set-keys").Takes(2).Shown("set-keys A B", "write the access keys A and B (access)").Does(SetKeys));
}

void AddServiceRecords(RecordTable& t) {
    using namespace manager::core;
    t.Add(Record<VoltageValues>("voltage", "voltage thresholds of the contactor control, V (structure 23)", ReadVoltage,
                                WriteVoltage));
    t.Add(Record<ContactorTariffValues>("contactor-tariffs", "contactor per tariff: Включать/Отключать (structure 27)",
                                        ReadContactorTariffs, WriteContactorTariffs));
    t.Add(Record<InternetValues>("internet", "APN, server port, GPRS (structures 25, 26)", ReadInternet, WriteInternet)
              .ShownOnly({"IPEdit"}));
    t.Add(Record<FunctionsValues>("functions", "additional functions (structure 28)", ReadFunctions, WriteFunctions));
    t.Add(Record<PulsesValues>("pulses", "verification pulses per kW*h and their flags (structure 18)", ReadPulses,
                               WritePulses)
              .ShownOnly({"one_izm_elCheckBox"}));
    t.Add(Record<LoraPowerValues>("lora", "LoRa power, mW", ReadLoraPower, WriteLoraPower));
    t.Add(Record<SpeedValues>("speed", "speed and type of an interface channel", ReadSpeed, WriteSpeed)
              .Selects({"ChannelNumberComboBox"}));
    t.Add(Record<CalibrationValues>("calibration", "calibration coefficients of both channels", ReadCalibration,
                                    nullptr));
}

}  // namespace qcli
