#pragma once
// TParametersPage: the page "Параметризация" — its tabs, the parameter
// blocks bound to their controls, the menu items "Чтение параметров..." and
// "Запись параметров..." and the task list they open.
//
// Tabs are kept in their fixed order whatever order they are added in
// (ParametersTab); the job's rows take their operations from the block's
// owner (SetBlock), so another tab plugs its blocks in with a line each.

#include <QWidget>
#include <memory>

#include "manager/core/ParameterJobs.h"
#include "manager/core/Parameters.h"

class QAction;
class QListWidget;
class QMenu;
class QTabWidget;

namespace Ui {
class TMainParametersTab;
class TSecondGroupTab;
}  // namespace Ui

namespace manager {

class TPageHost;
class TFrmTaskList;

// Places of the tabs of the page, in their order.
enum class ParametersTab { Main = 0, Tariffs = 1, Protocol = 2, SecondGroup = 3 };

class TParametersPage : public QWidget {
    Q_OBJECT
public:
    explicit TParametersPage(TPageHost& host, QWidget* parent = nullptr);
    ~TParametersPage() override;

    // Puts a tab at its place among the tabs.
    void AddTab(ParametersTab place, QWidget* tab, const QString& caption);
    // The operations of a row of the task list (the tariff schedule and the
    // holidays bring theirs).
    void SetBlock(core::ParameterRow row, core::ParameterBlock block);

    // The menu items need a connection.
    void SetConnected(bool connected);

    // Menu handlers: the task list, then the job under the runner.
    void ReadSeanseButtonClick();
    void WriteSeanseButtonClick();

    // The values of "Основные параметры" as the controls hold them, and back
    // (the configuration file stores them by the same names).
    core::MainParameterValues MainParameters();
    core::AdditionalParameterValues AdditionalParameters();
    void ShowParameters(const core::MainParameterValues& main, const core::AdditionalParameterValues& additional);

    TFrmTaskList& TaskList() { return *taskList_; }

private:
    void BuildBlocks();
    // The task list with its caption; on "OK" the job under the runner.
    void RunJob(const QString& caption, const QString& title, bool withAccess,
                bool (*job)(core::OperationContext&, const core::ParameterBlocks&, const core::ParameterTicks&));
    void BuildPopupMenu();
    void OnContextPopup(QListWidget* list, const QPoint& pos);
    void ShowRatioLabels();

    TPageHost& host_;
    std::unique_ptr<Ui::TMainParametersTab> main_;
    std::unique_ptr<Ui::TSecondGroupTab> second_;
    QTabWidget* ParametrizationPageControl = nullptr;
    TFrmTaskList* taskList_ = nullptr;
    QAction* ReadMeterParameters1 = nullptr;
    QAction* WriteMeterParameters1 = nullptr;
    QMenu* CheckListPopupMenu = nullptr;
    QListWidget* popupList_ = nullptr;  // the list the popup menu was opened on

    // The values behind the controls: the controls are shown from them after
    // a read and taken into them before a write. The second group keeps the
    // bytes it does not show from its last read.
    core::MainParameterValues mainValues_;
    core::AdditionalParameterValues additionalValues_;
    core::TransformationRatioValues ratioValues_;
    core::SecondGroupParameterValues secondValues_;
    core::ParameterBlocks blocks_;
};

}  // namespace manager
