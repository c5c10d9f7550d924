#include "StatisticsTable.h"

#include <algorithm>

namespace manager::core {

namespace {
const std::string kEmpty;
// The width of a grid column nobody set.
constexpr int kDefaultWidth = 64;
}  // namespace

StatisticsTable::StatisticsTable() : widths_(2, kDefaultWidth), rows_(8, Row{{"", ""}, {}}), rowCount_(8) {}

void StatisticsTable::Reset(std::span<const Column> columns) {
    widths_.clear();
    for (const Column& c : columns) widths_.push_back(c.width);
    rows_.assign(2, Row{std::vector<std::string>(widths_.size()), {}});
    for (std::size_t c = 0; c < columns.size(); ++c) rows_[0].cells[c] = columns[c].header;
    rowCount_ = 2;
    for (Listener* l : listeners_) l->TableReset();
}

int StatisticsTable::ColWidth(int col) const {
    return col >= 0 && col < ColCount() ? widths_[static_cast<std::size_t>(col)] : 0;
}

const std::string& StatisticsTable::Cell(int col, int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || col < 0 || col >= ColCount()) return kEmpty;
    return rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(col)];
}

StatisticsTable::Row& StatisticsTable::RowAt(int row) {
    const auto n = static_cast<std::size_t>(row) + 1;
    if (rows_.size() < n) rows_.resize(n, Row{std::vector<std::string>(widths_.size()), {}});
    return rows_[static_cast<std::size_t>(row)];
}

void StatisticsTable::SetCell(int col, int row, std::string text, const common::DateTime& moment) {
    if (row < 0 || col < 0 || col >= ColCount()) return;
    Row& r = RowAt(row);
    r.cells[static_cast<std::size_t>(col)] = std::move(text);
    if (col == 0) r.moment = moment;
    if (row < rowCount_)
        for (Listener* l : listeners_) l->RowsChanged(row, row);
}

void StatisticsTable::SetRowCount(int rows) {
    rows = std::max(rows, 1);
    if (rows == rowCount_) return;
    if (rows < static_cast<int>(rows_.size()) && rows < rowCount_) rows_.resize(static_cast<std::size_t>(rows));
    else RowAt(rows - 1);
    rowCount_ = rows;
    for (Listener* l : listeners_) l->RowCountChanged();
}

void StatisticsTable::SortRowsByDate(const common::DateTime& now) {
    if (rowCount_ < 3) return;
    const common::DateTime tomorrow = now.dateOnly().addDays(1);
    const auto key = [&](const Row& r) { return r.moment.isEmpty() ? tomorrow : r.moment; };
    std::stable_sort(rows_.begin() + 1, rows_.begin() + rowCount_,
                     [&](const Row& a, const Row& b) { return key(a) < key(b); });
    for (Listener* l : listeners_) l->RowsChanged(1, rowCount_ - 1);
}

void StatisticsTable::AddListener(Listener* listener) {
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) listeners_.push_back(listener);
}

void StatisticsTable::RemoveListener(Listener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

}  // namespace manager::core
