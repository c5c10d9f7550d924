#pragma once
// TStatisticsPage: the page "Статистика" — the statistics table StringGrid1,
// the views that fill it (current values, state and status, which can repeat;
// event journals; clock and ratio histories) and "Сохранить результаты".
// The table itself is the window's (program-wide state); the page shows it
// through TStatisticsModel and runs the views of the core on it
// (manager/core/CurrentValues.h, Journals.h, Export.h).

#include <QAbstractTableModel>
#include <QWidget>
#include <memory>

#include "manager/core/CurrentValues.h"
#include "manager/core/StatisticsTable.h"

class QAction;
class QSplitter;

namespace Ui {
class TStatisticsPage;
}

namespace manager {

class TPageHost;

// The statistics table as a Qt model: the table's row 0 is the horizontal
// header, its rows 1.. are the model's rows 0..; rows are announced as the
// table gets them, so a view shows them while a long read runs.
class TStatisticsModel : public QAbstractTableModel, private core::StatisticsTable::Listener {
    Q_OBJECT
public:
    explicit TStatisticsModel(core::StatisticsTable& table, QObject* parent = nullptr);
    ~TStatisticsModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    core::StatisticsTable& Table() { return table_; }

private:
    void TableReset() override;
    void RowCountChanged() override;
    void RowsChanged(int first, int last) override;

    core::StatisticsTable& table_;
    // The shape the views were told of.
    int rows_ = 0;
    int cols_ = 0;
};

class TStatisticsPage : public QWidget {
    Q_OBJECT
public:
    TStatisticsPage(TPageHost& host, core::StatisticsTable& table, QWidget* parent = nullptr);
    ~TStatisticsPage() override;

    // The views need a connection; the table can always be saved.
    void SetConnected(bool connected);

    // Runs a view that writes into the table under the runner (no box on
    // success) and then widens the columns whose texts do not fit. The
    // views of other groups of this page run through it too.
    bool RunView(const QString& title, const core::MeterOperation& view);

    // Where more groups of controls join the page (below the histories) and
    // where a chart joins the table (a vertical splitter below it).
    void AddControlGroup(QWidget* group);
    QSplitter* ResultsSplitter() const;
    TStatisticsModel& Model() { return *model_; }

    // "Сохранить текущие параметры..." of the menu "Параметризация": hidden
    // as designed; enabled while connected.
    QAction* SaveCurrentValues1 = nullptr;

private:
    void GetCurrentValuesButtonClick();
    void GetStatusButtonClick();
    void Button6Click();
    void Button1Click();
    void Button4Click();
    void Button5Click();
    void SaveResultsButtonClick();
    // A live view with the tick of "Повторять попытки" (a failure unticks it).
    using LiveView = bool (*)(core::OperationContext&, core::StatisticsTable&, core::RepeatValues&);
    void RunLiveView(const QString& title, LiveView view);
    void ApplyColumnWidths();
    void FitColumns();

    TPageHost& host_;
    core::StatisticsTable& table_;
    std::unique_ptr<Ui::TStatisticsPage> ui_;
    TStatisticsModel* model_;
};

}  // namespace manager
