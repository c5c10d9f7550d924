#pragma once
// The live views of the page "Статистика": current values per phase
// ("Текущие значения"), the state record ("Статус") and the status record
// ("Статус 2"). Each reads without access and can repeat its request back to
// back ("Повторять попытки") until cancelled or a request fails, counting the
// requests that succeeded: a technician watches readings change, or tests
// how steady a link is.

#include <cstdint>

#include "manager/core/Operation.h"
#include "manager/core/StatisticsTable.h"
#include "meter34/MeterStructures.h"

namespace manager::core {

// How a live view repeats.
struct RepeatValues {
    // "Повторять попытки"; a failed request unticks it.
    bool RepeatRequestCheckBox = false;
    // 0: repeat until cancelled (the window); otherwise at most this many
    // requests in the run (the command-line tool).
    int MaxRequests = 0;
};

// The operations: the table after the last request, StatusText "Выполнено",
// "Ошибка: <reason>\r\nУспешных запросов: <n>" or "Прервано
// пользователем\r\nУспешных запросов: <n>". A cancelled run reports the
// outcome of its last request (failure when none was made).
bool ReadCurrentValues(OperationContext& ctx, StatisticsTable& table, RepeatValues& repeat);
bool ReadStatus(OperationContext& ctx, StatisticsTable& table, RepeatValues& repeat);
bool ReadStatus2(OperationContext& ctx, StatisticsTable& table, RepeatValues& repeat);

// The table of one reply, as the views show it (reset included).
void ShowPhaseValues(StatisticsTable& table, const meter34::PhaseValues& values, const common::FormatSettings& formats);
void ShowState(StatisticsTable& table, const meter34::MeterState& state, std::uint16_t meterVersion);
void ShowStatus(StatisticsTable& table, const meter34::MeterStatus& status);

}  // namespace manager::core
