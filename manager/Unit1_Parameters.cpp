// The page "Параметризация": the parameter tabs bound to the core's values,
// the two menu items of the parameter jobs and the task list.
#include "Unit1_Parameters.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>

#include "PageHost.h"
#include "TaskList.h"
#include "common/ui/FieldBinding.h"
#include "ui_Unit1_ParametersMain.h"
#include "ui_Unit1_ParametersSecond.h"

namespace manager {

namespace {

constexpr char kPlaceProperty[] = "parametersTabPlace";

// The rows of a check list from the core's texts, all unticked, all shown
// without a scroll bar.
void FillCheckList(QListWidget* list, std::span<const char* const> rows) {
    for (const char* text : rows) {
        auto* item = new QListWidgetItem(QString::fromUtf8(text), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
    list->setFixedHeight(list->sizeHintForRow(0) * list->count() + 2 * list->frameWidth() + 4);
    list->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() + 8);
}

// A block over the values of a group: a read shows the group's controls as
// soon as it has been read; a write takes them from the controls just
// before sending (false with writePrefix and the reason when a control
// holds what its field cannot take).
template <class V>
core::ParameterBlock BlockOver(QWidget* page, V& values, bool (*read)(core::OperationContext&, V&),
                               bool (*write)(core::OperationContext&, const V&), const char* writePrefix) {
    return {[page, &values, read](core::OperationContext& ctx) {
                if (!read(ctx, values)) return false;
                common::ui::ShowFields(page, values.Fields());
                return true;
            },
            [page, &values, write, writePrefix](core::OperationContext& ctx) {
                QString error;
                if (!common::ui::TakeFields(page, values.Fields(), error)) {
                    ctx.StatusText = writePrefix + error.toStdString();
                    return false;
                }
                return write(ctx, values);
            }};
}

}  // namespace

TParametersPage::TParametersPage(TPageHost& host, QWidget* parent)
    : QWidget(parent),
      host_(host),
      main_(std::make_unique<Ui::TMainParametersTab>()),
      second_(std::make_unique<Ui::TSecondGroupTab>()) {
    setObjectName(QStringLiteral("ParametrizationTabSheet"));
    auto* layout = new QVBoxLayout(this);
    ParametrizationPageControl = new QTabWidget(this);
    ParametrizationPageControl->setObjectName(QStringLiteral("ParametrizationPageControl"));
    layout->addWidget(ParametrizationPageControl);

    auto* mainTab = new QWidget;
    main_->setupUi(mainTab);
    auto* secondTab = new QWidget;
    second_->setupUi(secondTab);
    AddTab(ParametersTab::Main, mainTab, QStringLiteral("Основные параметры"));
    AddTab(ParametersTab::SecondGroup, secondTab, QStringLiteral("Параметры второй группы"));

    FillCheckList(main_->LCDCheckListBox, core::DisplayRowTexts());
    FillCheckList(main_->ContactorControlCheckListBox, core::ContactorRowTexts());
    FillCheckList(second_->LCD2CheckListBox, core::SecondDisplayRowTexts());
    FillCheckList(second_->ExternalContactorModeCheckListBox, core::ExternalContactorRowTexts());
    // Day and month: "dd.mm".
    const QRegularExpression dayMonth(QStringLiteral("\\d{1,2}\\.\\d{1,2}"));
    for (QLineEdit* e : {main_->SummerDateEdit, main_->WinterDateEdit}) {
        e->setValidator(new QRegularExpressionValidator(dayMonth, e));
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00.00")) + 24);
    }

    // Limits and items from the core, then its defaults.
    for (const common::Fields& f : {mainValues_.Fields(), additionalValues_.Fields(), ratioValues_.Fields(),
                                    secondValues_.Fields()}) {
        common::ui::PrepareControls(this, f);
        common::ui::ShowFields(this, f);
    }
    ShowRatioLabels();

    BuildPopupMenu();
    BuildBlocks();
    taskList_ = new TFrmTaskList(this);

    ReadMeterParameters1 = new QAction(QStringLiteral("Чтение параметров..."), this);
    ReadMeterParameters1->setObjectName(QStringLiteral("ReadMeterParameters1"));
    WriteMeterParameters1 = new QAction(QStringLiteral("Запись параметров..."), this);
    WriteMeterParameters1->setObjectName(QStringLiteral("WriteMeterParameters1"));
    host_.AddMenuItem(MainMenu::Parametrization, ParametrizationItem::ReadParameters, ReadMeterParameters1);
    host_.AddMenuItem(MainMenu::Parametrization, ParametrizationItem::WriteParameters, WriteMeterParameters1);
    connect(ReadMeterParameters1, &QAction::triggered, this, [this] { ReadSeanseButtonClick(); });
    connect(WriteMeterParameters1, &QAction::triggered, this, [this] { WriteSeanseButtonClick(); });
    SetConnected(false);
}

TParametersPage::~TParametersPage() = default;

void TParametersPage::AddTab(ParametersTab place, QWidget* tab, const QString& caption) {
    tab->setProperty(kPlaceProperty, static_cast<int>(place));
    int index = 0;
    while (index < ParametrizationPageControl->count() &&
           ParametrizationPageControl->widget(index)->property(kPlaceProperty).toInt() < static_cast<int>(place))
        ++index;
    ParametrizationPageControl->insertTab(index, tab, caption);
    ParametrizationPageControl->setCurrentIndex(0);
}

void TParametersPage::SetBlock(core::ParameterRow row, core::ParameterBlock block) {
    blocks_[static_cast<std::size_t>(row)] = std::move(block);
}

void TParametersPage::SetConnected(bool connected) {
    ReadMeterParameters1->setEnabled(connected);
    WriteMeterParameters1->setEnabled(connected);
}

void TParametersPage::ReadSeanseButtonClick() {
    RunJob(QStringLiteral("Файл задания - Чтение"), QStringLiteral("Чтение параметров счетчика"), false,
           core::ReadParametersJob);
}

void TParametersPage::WriteSeanseButtonClick() {
    // One access session around all blocks, closed whatever happens.
    RunJob(QStringLiteral("Файл задания - Запись"), QStringLiteral("Запись параметров счетчика"), true,
           core::WriteParameterBlocks);
}

void TParametersPage::RunJob(const QString& caption, const QString& title, bool withAccess,
                             bool (*job)(core::OperationContext&, const core::ParameterBlocks&,
                                         const core::ParameterTicks&)) {
    if (!host_.IsConnected()) return;
    taskList_->setWindowTitle(caption);
    if (taskList_->exec() != QDialog::Accepted) return;  // "Отмена" starts nothing
    const core::ParameterTicks ticks = taskList_->Ticks();
    host_.RunMeterOperation(title, true, withAccess,
                            [this, ticks, job](core::OperationContext& ctx) { return job(ctx, blocks_, ticks); });
}

void TParametersPage::BuildBlocks() {
    SetBlock(core::MainParametersRow, BlockOver(this, mainValues_, core::ReadMainParameters, core::WriteMainParameters,
                                                "Ошибка записи параметров: "));
    SetBlock(core::AdditionalParametersRow,
             BlockOver(this, additionalValues_, core::ReadAdditionalParameters, core::WriteAdditionalParameters,
                       "Ошибка записи дополнительных параметров: "));
    core::ParameterBlock ratios = BlockOver(this, ratioValues_, core::ReadTransformationRatios,
                                            core::WriteTransformationRatios, "Ошибка записи коэффициентов трансформации: ");
    // The two labels say "Нет данных" while the ratios are read, and after a
    // failed read.
    ratios.read = [this](core::OperationContext& ctx) {
        ratioValues_.CurrentVoltageRatioChangesCountLabel = "Нет данных";
        ratioValues_.CurrentVoltageRatioLastDateLabel = "Нет данных";
        ShowRatioLabels();
        const bool ok = core::ReadTransformationRatios(ctx, ratioValues_);
        ShowRatioLabels();
        if (ok) common::ui::ShowFields(this, ratioValues_.Fields());
        return ok;
    };
    SetBlock(core::TransformationRatiosRow, std::move(ratios));
    SetBlock(core::SecondGroupParametersRow,
             BlockOver(this, secondValues_, core::ReadSecondGroupParameters, core::WriteSecondGroupParameters,
                       "Ошибка записи параметров: "));
    // Rows 2 ("Тарифное расписание") and 3 ("Праздники") get their operations
    // from the tab "Тарифы и праздники" (SetBlock); until then a ticked row
    // of theirs is skipped by the jobs.
}

void TParametersPage::ShowRatioLabels() {
    main_->CurrentVoltageRatioChangesCountLabel->setText(
        QString::fromStdString(ratioValues_.CurrentVoltageRatioChangesCountLabel));
    main_->CurrentVoltageRatioLastDateLabel->setText(QString::fromStdString(ratioValues_.CurrentVoltageRatioLastDateLabel));
}

void TParametersPage::BuildPopupMenu() {
    CheckListPopupMenu = new QMenu(this);
    CheckListPopupMenu->setObjectName(QStringLiteral("CheckListPopupMenu"));
    struct Item {
        const char* name;
        const char* caption;
        Qt::CheckState (*state)(Qt::CheckState);
    };
    static constexpr Item kItems[] = {
        {"SelectAll1", "Выбрать все", [](Qt::CheckState) { return Qt::Checked; }},
        {"UnselectAll1", "Отменить выбранные", [](Qt::CheckState) { return Qt::Unchecked; }},
        {"InvertSelection1", "Инвертировать выбор",
         [](Qt::CheckState s) { return s == Qt::Checked ? Qt::Unchecked : Qt::Checked; }},
    };
    for (const Item& item : kItems) {
        QAction* a = CheckListPopupMenu->addAction(QString::fromUtf8(item.caption));
        a->setObjectName(QString::fromLatin1(item.name));
        auto state = item.state;
        connect(a, &QAction::triggered, this, [this, state] {
            // The list the menu was opened on; the contactor list unless that was the display list.
            QListWidget* list = popupList_ == main_->LCDCheckListBox ? main_->LCDCheckListBox
                                                                      : main_->ContactorControlCheckListBox;
            for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(state(list->item(i)->checkState()));
        });
    }
    for (QListWidget* list : {main_->LCDCheckListBox, main_->ContactorControlCheckListBox}) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QListWidget::customContextMenuRequested, this,
                [this, list](const QPoint& pos) { OnContextPopup(list, pos); });
    }
}

void TParametersPage::OnContextPopup(QListWidget* list, const QPoint& pos) {
    popupList_ = list;
    CheckListPopupMenu->popup(list->viewport()->mapToGlobal(pos));
}

core::MainParameterValues TParametersPage::MainParameters() {
    QString ignored;
    common::ui::TakeFields(this, mainValues_.Fields(), ignored);
    return mainValues_;
}

core::AdditionalParameterValues TParametersPage::AdditionalParameters() {
    QString ignored;
    common::ui::TakeFields(this, additionalValues_.Fields(), ignored);
    return additionalValues_;
}

void TParametersPage::ShowParameters(const core::MainParameterValues& main, const core::AdditionalParameterValues& additional) {
    mainValues_ = main;
    additionalValues_ = additional;
    common::ui::ShowFields(this, mainValues_.Fields());
    common::ui::ShowFields(this, additionalValues_.Fields());
}

}  // namespace manager
