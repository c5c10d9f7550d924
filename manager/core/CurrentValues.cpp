#include "CurrentValues.h"

#include <functional>

namespace manager::core {

namespace {

constexpr Column kPhaseColumns[] = {{"Параметр", 100}, {"Фаза A", 75}, {"Фаза B", 75}, {"Фаза C", 75}};
constexpr Column kStateColumns[] = {{"Параметр", 130}, {"Значение", 100}};
constexpr Column kStatusColumns[] = {{"Параметр", 150}, {"Значение", 100}};

// The rows of the per-phase view: raw value times scale, with its decimals.
struct Quantity {
    const char* caption;
    double scale;
    int decimals;
    double (*raw)(const meter34::PhaseBlock&);
};
constexpr Quantity kQuantities[] = {
    {"P (W)", 0.01, 2, [](const meter34::PhaseBlock& b) { return double(b.P); }},
    {"Q (Var)", 0.01, 2, [](const meter34::PhaseBlock& b) { return double(b.Q); }},
    {"U (V)", 0.01, 2, [](const meter34::PhaseBlock& b) { return double(b.U); }},
    {"I (A)", 0.001, 3, [](const meter34::PhaseBlock& b) { return double(b.I); }},
    {"F (Hz)", 0.01, 2, [](const meter34::PhaseBlock& b) { return double(b.F); }},
    {"K", 0.0001, 4, [](const meter34::PhaseBlock& b) { return double(b.K); }},
};

void FillPhases(StatisticsTable& table, const meter34::PhaseValues& values, const common::FormatSettings& formats) {
    table.SetRowCount(7);
    for (int q = 0; q < 6; ++q) {
        const Quantity& k = kQuantities[q];
        table.SetCell(0, q + 1, k.caption);
        for (int p = 0; p < 3; ++p) table.SetCell(p + 1, q + 1, formats.Fixed(k.raw(values.Phase[p]) * k.scale, k.decimals));
    }
}

// Caption and value rows; a value the record does not name (a contactor
// byte of 2, say) leaves its cell empty.
void FillRows(StatisticsTable& table, const meter34::CaptionRows& rows) {
    table.SetRowCount(static_cast<int>(rows.size()) + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int r = static_cast<int>(i) + 1;
        table.SetCell(0, r, rows[i].first);
        table.SetCell(1, r, rows[i].second);
    }
}

// The loop all three share: reset, request, fill, count, let "Отмена"
// arrive, and again while the box stays ticked.
bool Repeat(OperationContext& ctx, StatisticsTable& table, RepeatValues& repeat, std::span<const Column> columns,
            const std::function<bool()>& request, const std::function<void()>& fill) {
    const auto successes = [](int n) { return "\r\nУспешных запросов: " + std::to_string(n); };
    int counter = 0, made = 0;
    bool last = false;
    for (;;) {
        if (ctx.Hooks.CancelRequested()) {
            ctx.StatusText = "Прервано пользователем" + successes(counter);
            return made > 0 && last;
        }
        table.Reset(columns);
        ++made;
        last = request();
        if (!last) {
            ctx.Fail("Ошибка: ");
            ctx.StatusText += successes(counter);
            repeat.RepeatRequestCheckBox = false;
            break;
        }
        fill();
        ++counter;
        ctx.Hooks.ProcessEvents();
        if (!repeat.RepeatRequestCheckBox || (repeat.MaxRequests > 0 && made >= repeat.MaxRequests)) break;
    }
    if (last) ctx.StatusText = "Выполнено";
    return last;
}

}  // namespace

void ShowPhaseValues(StatisticsTable& table, const meter34::PhaseValues& values, const common::FormatSettings& formats) {
    table.Reset(kPhaseColumns);
    FillPhases(table, values, formats);
}

void ShowState(StatisticsTable& table, const meter34::MeterState& state, std::uint16_t meterVersion) {
    table.Reset(kStateColumns);
    FillRows(table, meter34::StateRows(state, meterVersion));
}

void ShowStatus(StatisticsTable& table, const meter34::MeterStatus& status) {
    table.Reset(kStatusColumns);
    FillRows(table, meter34::StatusRows(status));
}

bool ReadCurrentValues(OperationContext& ctx, StatisticsTable& table, RepeatValues& repeat) {
    meter34::PhaseValues values;
    return Repeat(
        ctx, table, repeat, kPhaseColumns, [&] { return ctx.Meter().GetPhaseValues(255, 255, 255, values); },
        [&] { FillPhases(table, values, ctx.Formats); });
}

bool ReadStatus(OperationContext& ctx, StatisticsTable& table, RepeatValues& repeat) {
    meter34::MeterState state{};
    return Repeat(
        ctx, table, repeat, kStateColumns, [&] { return ctx.Meter().GetState(state); },
        [&] { FillRows(table, meter34::StateRows(state, ctx.Meter().MeterVersion)); });
}

bool ReadStatus2(OperationContext& ctx, StatisticsTable& table, RepeatValues& repeat) {
    meter34::MeterStatus status{};
    return Repeat(
        ctx, table, repeat, kStatusColumns, [&] { return ctx.Meter().GetStatus(status); },
        [&] { FillRows(table, meter34::StatusRows(status)); });
}

}  // namespace manager::core
