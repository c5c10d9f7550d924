#pragma once
// The meter's nine event journals, its clock-change history and its history
// of transformation-ratio changes, read into the statistics table and
// decoded into texts; journal and ratio rows are ordered by time. None of
// the three reads stops for "Отмена": each reads to its end or to its first
// failed request.
//
// Structures (read with GetStruct; little-endian; times packed as 32 bits,
// 0 = an empty entry):
//   11 journal header, index = journal 0..8, 5 bytes (only read first)
//   12 journal record, index = record number, 7 bytes: event code, time
//   17 clock-change history, 50 bytes: five entries of 9 bytes from offset 3:
//      operator code, time before the change, time set
//   30 ratio-change entry 0..15, 10 bytes: KI, KU (16 bits each), time
//   31 energies at that change 0..15, 18 bytes: T1..T4 (32 bits each)
// A reply shorter than its structure fails the read.

#include <array>
#include <cstdint>
#include <string>

#include "manager/core/Operation.h"
#include "manager/core/StatisticsTable.h"

namespace manager::core {

constexpr int kJournalCount = 9;
// The items of EventTypeComboBox; the index is the journal number.
extern const std::array<const char*, kJournalCount> kJournalNames;

// Records per journal: 50 on meters of version 100, 16 on every other.
int JournalRecords(std::uint16_t meterVersion);
// The text of an event code e in journal j (0..8).
std::string EventText(int journal, std::uint8_t code);
// A packed time as the table shows it: date and time (the time left out at
// midnight), emptyText for 0, "Неверная дата (0xXXXXXXXX)" for a value that
// is not a date; moment gets the date (empty unless it is one).
std::string PackedTimeText(std::uint32_t packed, const char* emptyText, const common::FormatSettings& formats,
                           common::DateTime& moment);

// "Прочитать события": the journal's R records, sorted by time (also after a
// failed record), StatusText "Выполнено!" when every record was read.
bool ReadEventJournal(OperationContext& ctx, StatisticsTable& table, int journal);
// "История изменения времени": five rows in the meter's order.
bool ReadTimeChangeHistory(OperationContext& ctx, StatisticsTable& table);
// "История изменения коэф. трансформации": sixteen entries, sorted by time.
bool ReadRatioChangeHistory(OperationContext& ctx, StatisticsTable& table);

}  // namespace manager::core
