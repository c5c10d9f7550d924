// The statistics table of the window's page "Статистика" from a script:
// current values, state and status, event journals and change histories,
// as CSV text or the very file "Сохранить результаты" writes. The older
// single reads (state, status, phase-values) print the same table their way.
#include <algorithm>
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

// ---- table VIEW [ARGS] [--csv FILE] [--repeat N] ----

// One view of the statistics table, run on a table of its own.
using ViewRun = std::function<bool(OperationContext&, StatisticsTable&, RepeatValues&)>;

// A view of `table`: its name and usage, its arguments (checked before the
// port opens, Usage when wrong), and whether --repeat applies. More views
// (other groups of the page) are more rows here.
struct View {
    const char* name;
    const char* usage;  // "journal J (0..8)"
    int args;
    bool live;
    std::function<ViewRun(const Args& args)> prepare;
};

template <bool (*Read)(OperationContext&, StatisticsTable&, RepeatValues&)>
ViewRun Live(const Args&) {
    return [](OperationContext& c, StatisticsTable& t, RepeatValues& r) { return Read(c, t, r); };
}

template <bool (*Read)(OperationContext&, StatisticsTable&)>
ViewRun Once(const Args&) {
    return [](OperationContext& c, StatisticsTable& t, RepeatValues&) { return Read(c, t); };
}

ViewRun Journal(const Args& a) {
    const int j = static_cast<int>(Integer(a[0], "J", 0, manager::core::kJournalCount - 1));
    return [j](OperationContext& c, StatisticsTable& t, RepeatValues&) { return manager::core::ReadEventJournal(c, t, j); };
}

const std::vector<View>& Views() {
    static const std::vector<View> views = {
        {"current-values", "current-values", 0, true, Live<manager::core::ReadCurrentValues>},
        {"status", "status", 0, true, Live<manager::core::ReadStatus>},
        {"status2", "status2", 0, true, Live<manager::core::ReadStatus2>},
        {"journal", "journal J (0..8)", 1, false, Journal},
        {"time-history", "time-history", 0, false, Once<manager::core::ReadTimeChangeHistory>},
        {"ratio-history", "ratio-history", 0, false, Once<manager::core::ReadRatioChangeHistory>},
    };
    return views;
}

std::string ViewList(bool liveOnly) {
    std::string out;
    for (const View& v : Views())
        if (!liveOnly || v.live) out += (out.empty() ? "" : ", ") + std::string(v.usage);
    return out;
}

Action TableView(const Args& a) {
    const View* view = nullptr;
    for (const View& v : Views())
        if (a[0] == v.name) view = &v;
    if (!view) Bad("table: unknown view " + a[0] + " (" + ViewList(false) + ")");
    // The view's arguments, then the command's own options in pairs.
    std::size_t k = 1;
    while (k < a.size() && a[k].rfind("--", 0) != 0) ++k;
    const Args viewArgs(a.begin() + 1, a.begin() + static_cast<std::ptrdiff_t>(k));
    if (static_cast<int>(viewArgs.size()) != view->args) Bad(std::string("table ") + view->usage);
    std::string csv;
    int repeat = 0;
    for (; k + 1 < a.size(); k += 2) {
        if (a[k] == "--csv") {
            csv = a[k + 1];
            if (csv.empty()) Bad("--csv needs a file name");
        } else {
            if (!view->live) Bad("--repeat is for " + ViewList(true));
            repeat = static_cast<int>(Integer(a[k + 1], "--repeat", 1, 1000000000));
        }
    }
    const ViewRun run = view->prepare(viewArgs);
    return [run, csv, repeat](Session& s, Output& out) {
        StatisticsTable table;
        RepeatValues r;
        r.RepeatRequestCheckBox = repeat > 0;
        r.MaxRequests = repeat;
        const std::string status = s.Run([&](OperationContext& ctx) { return run(ctx, table, r); });
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
    int most = 0;
    for (const View& v : Views()) most = std::max(most, v.args);
    t.Add(Row("table").Takes(1, 1 + most).Owns({"--csv", "--repeat"})
              .Shown("table VIEW [ARGS] [--csv FILE] [--repeat N]",
                     "the statistics table as CSV; VIEW: " + ViewList(false) +
                         " (--csv: the window's file; --repeat: N requests)")
              .Does(TableView));
}

}  // namespace qcli
