// The statistics table of the window's page "Статистика" from a script:
// current values, state and status, event journals and change histories,
// as CSV text or the very file "Сохранить результаты" writes. The older
// single reads (state, status, phase-values) print the same table their way.
#include <array>
#include <iostream>

#include "Cli.h"
#include "manager/core/CurrentValues.h"
#include "manager/core/Export.h"
#include "manager/core/Journals.h"

namespace qcli {

using namespace meter34;
using manager::core::OperationContext;
using manager::core::RepeatValues;
using manager::core::StatisticsTable;

namespace {

Output::Rows RowsOf(const StatisticsTable& table) {
    Output::Rows rows;
    for (int r = 0; r < table.RowCount(); ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < table.ColCount(); ++c) row.push_back(table.Cell(c, r));
        rows.push_back(std::move(row));
    }
    return rows;
}

// "Параметр: value" lines of the state or status view, and the raw record.
Action StateOrStatus(bool state) {
    return [state](Session& s, Output& out) {
        std::array<std::uint8_t, 12> rec{};
        TMeter& m = s.meter();
        if (!(state ? m.GetState(rec) : m.GetStatus(rec))) s.Fail("Ошибка: ");
        StatisticsTable table;
        if (state) manager::core::ShowState(table, rec, m.MeterVersion);
        else manager::core::ShowStatus(table, rec);
        for (int r = 1; r < table.RowCount(); ++r) out.Field(table.Cell(0, r), table.Cell(1, r));
        out.Field("raw", Hex(rec.data(), 12));
    };
}

// The per-phase view with a decimal point, as this command always printed it.
void PhaseValuesTable(Session& s, Output& out) {
    PhaseValues pv;
    if (!s.meter().GetPhaseValues(255, 255, 255, pv)) s.Fail("Ошибка: ");
    common::FormatSettings point;
    point.DecimalSeparator.assign(1, '.');
    StatisticsTable table;
    manager::core::ShowPhaseValues(table, pv, point);
    out.Table("table", RowsOf(table));
}

// ---- table VIEW [J] [--csv FILE] [--repeat N] ----

using ViewRun = std::function<bool(OperationContext&, StatisticsTable&, RepeatValues&, int journal)>;

struct View {
    const char* name;
    bool live;     // repeats with --repeat
    bool journal;  // takes the journal number
    ViewRun run;
};

const View kViews[] = {
    {"current-values", true, false,
     [](OperationContext& c, StatisticsTable& t, RepeatValues& r, int) { return manager::core::ReadCurrentValues(c, t, r); }},
    {"status", true, false,
     [](OperationContext& c, StatisticsTable& t, RepeatValues& r, int) { return manager::core::ReadStatus(c, t, r); }},
    {"status2", true, false,
     [](OperationContext& c, StatisticsTable& t, RepeatValues& r, int) { return manager::core::ReadStatus2(c, t, r); }},
    {"journal", false, true,
     [](OperationContext& c, StatisticsTable& t, RepeatValues&, int j) { return manager::core::ReadEventJournal(c, t, j); }},
    {"time-history", false, false,
     [](OperationContext& c, StatisticsTable& t, RepeatValues&, int) { return manager::core::ReadTimeChangeHistory(c, t); }},
    {"ratio-history", false, false,
     [](OperationContext& c, StatisticsTable& t, RepeatValues&, int) { return manager::core::ReadRatioChangeHistory(c, t); }},
};

Action TableView(const Args& a) {
    const View* view = nullptr;
    for (const View& v : kViews)
        if (a[0] == v.name) view = &v;
    if (!view)
        Bad("table: unknown view " + a[0] +
            " (current-values, status, status2, journal J, time-history, ratio-history)");
    std::size_t k = 1;
    int journal = 0;
    if (a.size() > 1 && a[1].rfind("--", 0) != 0) {
        if (!view->journal) Bad(std::string("table ") + view->name + " takes no argument");
        journal = static_cast<int>(Integer(a[1], "J", 0, manager::core::kJournalCount - 1));
        k = 2;
    } else if (view->journal) {
        Bad("table journal needs J (0..8)");
    }
    std::string csv;
    int repeat = 0;
    for (; k + 1 < a.size(); k += 2) {
        if (a[k] == "--csv") {
            csv = a[k + 1];
            if (csv.empty()) Bad("--csv needs a file name");
        } else {
            if (!view->live) Bad("--repeat is for current-values, status and status2");
            repeat = static_cast<int>(Integer(a[k + 1], "--repeat", 1, 1000000000));
        }
    }
    const ViewRun run = view->run;
    return [run, journal, csv, repeat](Session& s, Output& out) {
        StatisticsTable table;
        RepeatValues r;
        r.RepeatRequestCheckBox = repeat > 0;
        r.MaxRequests = repeat;
        const std::string status = s.Run([&](OperationContext& ctx) { return run(ctx, table, r, journal); });
        if (!csv.empty()) {
            std::string error;
            if (!manager::core::SaveTableCsv(table, csv, error)) throw Failure{"Не удалось сохранить результаты: " + error};
        }
        if (s.options().json) {
            out.Table("table", RowsOf(table));
            if (repeat > 0) out.Field("status", status);
            if (!csv.empty()) out.Field("file", csv);
            return;
        }
        if (csv.empty()) std::cout << manager::core::TableCsvText(table) << std::flush;
        if (repeat > 0) std::cerr << status << "\n";
    };
}

}  // namespace

void AddViewCommands(CommandTable& t) {
    t.Add(Row("state").Shown("state | status", "state and status records").Runs(StateOrStatus(true)));
    t.Add(Row("status").Runs(StateOrStatus(false)));
    t.Add(Row("phase-values").Shown("phase-values", "per-phase P, Q, U, I, F, K").Runs(PhaseValuesTable));
    t.Add(Row("table").Takes(1, 2).Owns({"--csv", "--repeat"})
              .Shown("table VIEW [J] [--csv FILE] [--repeat N]",
                     "the statistics table as CSV; VIEW: current-values, status, status2, journal J (0..8), "
                     "time-history, ratio-history; --csv writes the window's CSV file instead; --repeat makes "
                     "N requests of a live view and prints its final status")
              .Does(TableView));
}

}  // namespace qcli
