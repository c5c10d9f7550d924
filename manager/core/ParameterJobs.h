#pragma once
// Reading and writing the parameter blocks as one job: the six rows of the
// task list, run in row order whatever order they were ticked in, each
// reporting its start, end or failure on the progress dialog's second line.
// The first block that fails ends the job; a cancel is honoured between
// blocks; the write job runs all its blocks inside one access session.
//
// The rows' texts are fixed here; their operations are supplied by whoever
// owns the block (ParameterBlocks), so each block's page plugs its read and
// write in with a line of its own.

#include <array>
#include <span>

#include "manager/core/Access.h"
#include "manager/core/Operation.h"

namespace manager::core {

// The rows of the task list, in job order.
enum ParameterRow {
    MainParametersRow = 0,         // "Параметры"
    AdditionalParametersRow = 1,   // "Дополнительные параметры"
    TariffScheduleRow = 2,         // "Тарифное расписание"
    HolidaysRow = 3,               // "Праздники"
    TransformationRatiosRow = 4,   // "Коэффициенты трансформации"
    SecondGroupParametersRow = 5,  // "Параметры вторая группа"
};
constexpr int kParameterRows = 6;

struct ParameterStepTexts {
    const char* start;
    const char* done;
    const char* error;
};

struct ParameterRowTexts {
    const char* task;  // the row of the task list
    ParameterStepTexts read, write;
};

std::span<const ParameterRowTexts, kParameterRows> ParameterRows();

// What a row does. A row whose block has no operation yet is skipped even
// when ticked, so the task list can show all six rows from the start.
struct ParameterBlock {
    MeterOperation read;
    MeterOperation write;
};
using ParameterBlocks = std::array<ParameterBlock, kParameterRows>;

// Which rows the user ticked.
using ParameterTicks = std::array<bool, kParameterRows>;

// "Чтение параметров выполнено" after the ticked rows; false at the first
// failing block (its text in StatusText) or at a cancel (StatusText as it was).
bool ReadParametersJob(OperationContext& ctx, const ParameterBlocks& blocks, const ParameterTicks& ticks);

// The blocks of the write job, for a caller that has opened access around
// them; "Запись параметров выполнена" or as above.
bool WriteParameterBlocks(OperationContext& ctx, const ParameterBlocks& blocks, const ParameterTicks& ticks);
// The write job: access opened, the blocks, access closed on every path
// (also when opening failed, a block failed, the user cancelled or a block
// threw).
bool WriteParametersJob(OperationContext& ctx, const AccessValues& access, const ParameterBlocks& blocks,
                        const ParameterTicks& ticks);

}  // namespace manager::core
