#pragma once
// StringGrid1: the statistics table of the page "Статистика", a grid of text
// cells that every view of the page fills and "Сохранить результаты" writes.
//
// Cells are addressed (column, row), both from 0; row 0 holds the column
// headers and column 0 the row captions. Only the cells of rows
// 0..RowCount()-1 are shown and saved. A view starts with Reset, writes the
// cells of a row and then raises the row count, so that rows appear while a
// long read is still running. Whoever shows the table listens to it.

#include <span>
#include <string>
#include <vector>

#include "common/core/DateTime.h"

namespace manager::core {

// One column of a view: its header and its width in pixels.
struct Column {
    const char* header;
    int width;
};

class StatisticsTable {
public:
    // What a window showing the table is told, after each change.
    class Listener {
    public:
        virtual ~Listener() = default;
        // Columns, widths, headers and every cell may have changed.
        virtual void TableReset() = 0;
        // RowCount() changed (rows appended or dropped at the end).
        virtual void RowCountChanged() = 0;
        // Cells of rows first..last (all below RowCount()) changed.
        virtual void RowsChanged(int first, int last) = 0;
    };

    // The form's shape before any view ran: 2 columns by 8 rows, all empty.
    StatisticsTable();
    StatisticsTable(const StatisticsTable&) = delete;
    StatisticsTable& operator=(const StatisticsTable&) = delete;

    // How every view starts: the view's columns, their headers in row 0,
    // row count 2, every other cell empty.
    void Reset(std::span<const Column> columns);

    int ColCount() const { return static_cast<int>(widths_.size()); }
    int RowCount() const { return rowCount_; }
    int ColWidth(int col) const;
    // Empty text outside the table.
    const std::string& Cell(int col, int row) const;

    // Writes one cell; rows at or beyond RowCount() are kept until the row
    // count covers them. A cell of column 0 may carry the moment it shows,
    // which SortRowsByDate orders by (empty: the cell is not a date).
    // Cells outside the columns are ignored.
    void SetCell(int col, int row, std::string text, const common::DateTime& moment = {});
    // At least 1 (the header row). Cells of rows dropped are gone.
    void SetRowCount(int rows);

    // Orders the data rows (1..RowCount()-1) by the moment of their column 0;
    // a row without one ("Нет данных", "Отсутствует") counts as the start of
    // the day after now. Rows with equal keys keep their order.
    void SortRowsByDate(const common::DateTime& now = common::DateTime::now());

    void AddListener(Listener* listener);
    void RemoveListener(Listener* listener);

private:
    struct Row {
        std::vector<std::string> cells;
        common::DateTime moment;
    };
    Row& RowAt(int row);

    std::vector<int> widths_;
    std::vector<Row> rows_;  // at least rowCount_ rows, each of ColCount() cells
    int rowCount_ = 0;
    std::vector<Listener*> listeners_;
};

}  // namespace manager::core
