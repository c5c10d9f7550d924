// The statistics table with a grid attached: 100,000 rows added one at a
// time (each announced to the grid, the grid laid out and painted every
// thousand rows), then the table written as a CSV file. Appending must cost
// the same at the end of the table as at its start.
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QTableView>
#include <chrono>
#include <cstdio>
#include <string>

#include "manager/Unit1_Views.h"
#include "manager/core/Export.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kRows = 100000, kSlice = 10000;

    manager::core::StatisticsTable table;
    manager::TStatisticsModel model(table);
    QTableView view;
    view.setModel(&model);
    view.verticalHeader()->setVisible(false);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.resize(640, 480);
    view.show();
    QApplication::processEvents();

    constexpr manager::core::Column columns[] = {{"Дата и время", 130}, {"Тип события", 150}};
    table.Reset(columns);
    const auto t0 = Clock::now();
    auto slice = t0;
    double first = 0, last = 0;
    for (int r = 1; r <= kRows; ++r) {
        table.SetCell(0, r, "01.02.2025 10:" + std::to_string(r % 60) + ":00");
        table.SetCell(1, r, "Фаза B: Повышенное");
        table.SetRowCount(r + 1);
        if (r % 1000 == 0) QApplication::processEvents();
        if (r % kSlice == 0) {
            const double s = Seconds(slice);
            if (r == kSlice) first = s;
            last = s;
            slice = Clock::now();
        }
    }
    const double adding = Seconds(t0);

    const std::string path = QDir::temp().filePath("bench_statistics_table.csv").toStdString();
    const auto t1 = Clock::now();
    std::string error;
    if (!manager::core::SaveTableCsv(table, path, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const double csv = Seconds(t1);
    std::remove(path.c_str());

    std::printf("%d rows added to the table and its grid: %.3f s (first %d: %.3f s, last %d: %.3f s)\n", kRows, adding,
                kSlice, first, kSlice, last);
    std::printf("the same table written as CSV: %.3f s\n", csv);
    return adding < 1.0 && csv < 1.0 ? 0 : 1;
}
