// Current values: state and status records, per-phase measurements.
#include <array>
#include <cstdio>

#include "Cli.h"

namespace qcli {

using namespace meter34;

namespace {

Action StateOrStatus(bool state) {
    return [state](Session& s, Output& out) {
        std::array<std::uint8_t, 12> rec{};
        TMeter& m = s.meter();
        if (!(state ? m.GetState(rec) : m.GetStatus(rec))) s.Fail("Ошибка: ");
        for (const auto& [k, v] : state ? StateRows(rec, m.MeterVersion) : StatusRows(rec)) out.Field(k, v);
        out.Field("raw", Hex(rec.data(), 12));
    };
}

void PhaseValuesTable(Session& s, Output& out) {
    PhaseValues pv;
    if (!s.meter().GetPhaseValues(255, 255, 255, pv)) s.Fail("Ошибка: ");
    Output::Rows rows = {{"Параметр", "Фаза A", "Фаза B", "Фаза C"}};
    const char* names[6] = {"P (W)", "Q (Var)", "U (V)", "I (A)", "F (Hz)", "K"};
    for (int q = 0; q < 6; ++q) {
        std::vector<std::string> row = {names[q]};
        for (const auto& ph : pv.Phase) {
            char b[32];
            switch (q) {
                case 0: std::snprintf(b, sizeof b, "%.2f", ph.P * 0.01); break;
                case 1: std::snprintf(b, sizeof b, "%.2f", ph.Q * 0.01); break;
                case 2: std::snprintf(b, sizeof b, "%.2f", ph.U * 0.01); break;
                case 3: std::snprintf(b, sizeof b, "%.3f", ph.I * 0.001); break;
                case 4: std::snprintf(b, sizeof b, "%.2f", ph.F * 0.01); break;
                default: std::snprintf(b, sizeof b, "%.4f", ph.K * 0.0001); break;
            }
            row.push_back(b);
        }
        rows.push_back(row);
    }
    out.Table("table", rows);
}

}  // namespace

void AddViewCommands(CommandTable& t) {
    t.Add(Row("state").Shown("state | status", "state and status records").Runs(StateOrStatus(true)));
    t.Add(Row("status").Runs(StateOrStatus(false)));
    t.Add(Row("phase-values").Shown("phase-values", "per-phase P, Q, U, I, F, K").Runs(PhaseValuesTable));
}

}  // namespace qcli
