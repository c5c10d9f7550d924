#include "ParameterJobs.h"

namespace manager::core {

namespace {

constexpr ParameterRowTexts kRows[kParameterRows] = {
    {"Параметры",
     {"Чтение области параметров...", "Прочитали область параметров", "Ошибка чтения области параметров"},
     {"Запись области параметров...", "Записали область параметров", "Ошибка записи области параметров"}},
    {"Дополнительные параметры",
     {"Чтение области дополнительных параметров...", "Прочитали область дополнительных параметров",
      "Ошибка чтения области дополнительных параметров"},
     {"Запись области дополнительных параметров...", "Записали область дополнительных параметров",
      "Ошибка записи области дополнительных параметров"}},
    {"Тарифное расписание",
     {"Чтение области тарифного расписания...", "Прочитали область тарифного расписания",
      "Ошибка чтения области тарифного расписания"},
     {"Запись области тарифного расписания...", "Записали область тарифного расписания",
      "Ошибка записи области тарифного расписания"}},
    {"Праздники",
     {"Чтение области праздников...", "Прочитали область праздников", "Ошибка чтения области праздников"},
     {"Запись области праздников...", "Записали область праздников", "Ошибка записи области праздников"}},
    {"Коэффициенты трансформации",
     {"Чтение коэффициентов трансформации...", "Прочитали коэффициенты трансформации",
      "Ошибка чтения коэффициентов трансформации"},
     {"Запись коэффициентов трансформации...", "Записали коэффициенты трансформации",
      "Ошибка записи коэффициентов трансформации"}},
    // The meter's second group fails with the same line as the first one.
    {"Параметры вторая группа",
     {"Чтение области параметров2...", "Прочитали область параметров2", "Ошибка чтения области параметров2"},
     {"Запись области параметров2...", "Записали область параметров2", "Ошибка записи области параметров"}},
};

enum class Direction { Read, Write };

bool RunBlocks(OperationContext& ctx, const ParameterBlocks& blocks, const ParameterTicks& ticks, Direction d) {
    for (int row = 0; row < kParameterRows; ++row) {
        // A cancel pressed during the previous block ends the job here; the
        // runner reports it, so StatusText stays as that block left it.
        if (ctx.Hooks.CancelRequested()) return false;
        if (!ticks[static_cast<std::size_t>(row)]) continue;
        const ParameterBlock& block = blocks[static_cast<std::size_t>(row)];
        const MeterOperation& op = d == Direction::Read ? block.read : block.write;
        if (!op) continue;  // the block has no operation (yet): nothing to do for this row
        const ParameterStepTexts& texts = d == Direction::Read ? kRows[row].read : kRows[row].write;
        ctx.Hooks.SetStep(texts.start);
        ctx.Hooks.ProcessEvents();
        if (!op(ctx)) {
            ctx.Hooks.SetStep(texts.error);
            return false;
        }
        ctx.Hooks.SetStep(texts.done);
    }
    return ctx.Succeed(d == Direction::Read ? "Чтение параметров выполнено" : "Запись параметров выполнена");
}

}  // namespace

std::span<const ParameterRowTexts, kParameterRows> ParameterRows() { return kRows; }

bool ReadParametersJob(OperationContext& ctx, const ParameterBlocks& blocks, const ParameterTicks& ticks) {
    return RunBlocks(ctx, blocks, ticks, Direction::Read);
}

bool WriteParameterBlocks(OperationContext& ctx, const ParameterBlocks& blocks, const ParameterTicks& ticks) {
    return RunBlocks(ctx, blocks, ticks, Direction::Write);
}

bool WriteParametersJob(OperationContext& ctx, const AccessValues& access, const ParameterBlocks& blocks,
                        const ParameterTicks& ticks) {
    return WithAccess(ctx, access, [&](OperationContext& c) { return WriteParameterBlocks(c, blocks, ticks); });
}

}  // namespace manager::core
