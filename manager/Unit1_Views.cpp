// The page "Статистика": the statistics table and the views of the meter's
// present state, its journals and histories, and the table saved as CSV.
#include "Unit1_Views.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QPalette>
#include <algorithm>

#include "PageHost.h"
#include "common/ui/UiServices.h"
#include "manager/core/Export.h"
#include "manager/core/Journals.h"
#include "ui_Unit1_Views.h"

namespace manager {

// ---- the model ----

TStatisticsModel::TStatisticsModel(core::StatisticsTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), rows_(std::max(table.RowCount() - 1, 0)), cols_(table.ColCount()) {
    table_.AddListener(this);
}

TStatisticsModel::~TStatisticsModel() { table_.RemoveListener(this); }

int TStatisticsModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TStatisticsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cols_; }

QVariant TStatisticsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(table_.Cell(index.column(), index.row() + 1));
        case Qt::BackgroundRole:
            // Column 0 holds the row captions, fixed like the header.
            if (index.column() == 0) return QApplication::palette().brush(QPalette::Button);
            return {};
        default:
            return {};
    }
}

QVariant TStatisticsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return QString::fromStdString(table_.Cell(section, 0));
    return section + 1;
}

void TStatisticsModel::TableReset() {
    beginResetModel();
    rows_ = std::max(table_.RowCount() - 1, 0);
    cols_ = table_.ColCount();
    endResetModel();
}

void TStatisticsModel::RowCountChanged() {
    const int rows = std::max(table_.RowCount() - 1, 0);
    if (rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    } else if (rows < rows_) {
        beginRemoveRows({}, rows, rows_ - 1);
        rows_ = rows;
        endRemoveRows();
    }
}

void TStatisticsModel::RowsChanged(int first, int last) {
    if (cols_ == 0) return;
    if (first == 0) Q_EMIT headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
    const int a = std::max(first, 1) - 1, b = std::min(last - 1, rows_ - 1);
    if (a <= b) Q_EMIT dataChanged(index(a, 0), index(b, cols_ - 1), {Qt::DisplayRole});
}

// ---- the page ----

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

TStatisticsPage::TStatisticsPage(TPageHost& host, core::StatisticsTable& table, QWidget* parent)
    : QWidget(parent),
      host_(host),
      table_(table),
      ui_(std::make_unique<Ui::TStatisticsPage>()),
      model_(new TStatisticsModel(table, this)) {
    ui_->setupUi(this);
    QTableView* grid = ui_->StringGrid1;
    grid->setModel(model_);
    // Rows of one height and no row numbers: appending stays cheap however
    // long the table grows.
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->horizontalHeader()->setHighlightSections(false);
    ApplyColumnWidths();
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { ApplyColumnWidths(); });

    for (const char* name : core::kJournalNames) ui_->EventTypeComboBox->addItem(QString::fromUtf8(name));
    ui_->EventTypeComboBox->setCurrentIndex(0);

    connect(ui_->GetCurrentValuesButton, &QPushButton::clicked, this, [this] { GetCurrentValuesButtonClick(); });
    connect(ui_->GetStatusButton, &QPushButton::clicked, this, [this] { GetStatusButtonClick(); });
    connect(ui_->Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
    connect(ui_->Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(ui_->Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(ui_->Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    connect(ui_->SaveResultsButton, &QPushButton::clicked, this, [this] { SaveResultsButtonClick(); });

    SaveCurrentValues1 = new QAction(QStringLiteral("Сохранить текущие параметры..."), this);
    SaveCurrentValues1->setObjectName(QStringLiteral("SaveCurrentValues1"));
    SaveCurrentValues1->setVisible(false);
    host_.AddMenuItem(MainMenu::Parametrization, ParametrizationItem::SaveCurrentValues, SaveCurrentValues1);
    SetConnected(false);
}

TStatisticsPage::~TStatisticsPage() = default;

void TStatisticsPage::SetConnected(bool connected) {
    for (QWidget* w : {static_cast<QWidget*>(ui_->GetCurrentValuesButton), static_cast<QWidget*>(ui_->GetStatusButton),
                       static_cast<QWidget*>(ui_->Button6), static_cast<QWidget*>(ui_->Button1),
                       static_cast<QWidget*>(ui_->Button4), static_cast<QWidget*>(ui_->Button5)})
        w->setEnabled(connected);
    SaveCurrentValues1->setEnabled(connected);
}

void TStatisticsPage::AddControlGroup(QWidget* group) {
    ui_->ControlsLayout->insertWidget(ui_->ControlsLayout->indexOf(ui_->ControlsSpacer), group);
}

QSplitter* TStatisticsPage::ResultsSplitter() const { return ui_->ResultsSplitter; }

bool TStatisticsPage::RunView(const QString& title, const core::MeterOperation& view) {
    const bool ok = host_.RunMeterOperation(title, false, false, view);
    FitColumns();
    return ok;
}

void TStatisticsPage::RunLiveView(const QString& title, LiveView view) {
    core::RepeatValues repeat;
    repeat.RepeatRequestCheckBox = ui_->RepeatRequestCheckBox->isChecked();
    RunView(title, [this, view, &repeat](core::OperationContext& ctx) { return view(ctx, table_, repeat); });
    ui_->RepeatRequestCheckBox->setChecked(repeat.RepeatRequestCheckBox);
}

void TStatisticsPage::GetCurrentValuesButtonClick() {
    RunLiveView(QStringLiteral("Чтение текущих измерений..."), core::ReadCurrentValues);
}

void TStatisticsPage::GetStatusButtonClick() { RunLiveView(QStringLiteral("Чтение текущего состояния..."), core::ReadStatus); }

void TStatisticsPage::Button6Click() { RunLiveView(QStringLiteral("Чтение текущего состояния 2..."), core::ReadStatus2); }

void TStatisticsPage::Button1Click() {
    const int journal = ui_->EventTypeComboBox->currentIndex();
    RunView(QStringLiteral("Чтение журнала событий счетчика..."),
            [this, journal](core::OperationContext& ctx) { return core::ReadEventJournal(ctx, table_, journal); });
}

void TStatisticsPage::Button4Click() {
    RunView(QStringLiteral("Чтение истории изменения времени..."),
            [this](core::OperationContext& ctx) { return core::ReadTimeChangeHistory(ctx, table_); });
}

void TStatisticsPage::Button5Click() {
    RunView(QStringLiteral("Чтение истории изменения коэф. трансформации..."),
            [this](core::OperationContext& ctx) { return core::ReadRatioChangeHistory(ctx, table_); });
}

void TStatisticsPage::SaveResultsButtonClick() {
    QWidget* owner = host_.DialogParent();
    QString path = common::ui::Ui().SaveFileName(owner, QStringLiteral("Сохранить как"), QString(),
                                                 QStringLiteral("Файл CSV (*.csv)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
    std::string error;
    if (!core::SaveTableCsv(table_, QFile::encodeName(path).toStdString(), error)) {
        common::ui::ErrorBox(owner, QStringLiteral("Не удалось сохранить результаты: ") + Q(error));
        return;
    }
    common::ui::InfoBox(owner, QStringLiteral("Результаты сохранены в файл"));
}

void TStatisticsPage::ApplyColumnWidths() {
    QHeaderView* header = ui_->StringGrid1->horizontalHeader();
    for (int c = 0; c < table_.ColCount(); ++c) header->resizeSection(c, std::max(table_.ColWidth(c), header->sectionSizeHint(c)));
}

void TStatisticsPage::FitColumns() {
    const QAbstractItemView* grid = ui_->StringGrid1;
    QHeaderView* header = ui_->StringGrid1->horizontalHeader();
    for (int c = 0; c < table_.ColCount(); ++c)
        header->resizeSection(c, std::max({table_.ColWidth(c), header->sectionSizeHint(c), grid->sizeHintForColumn(c)}));
}

}  // namespace manager
