#pragma once
// TFrmMain: the main window of the program for meters of versions 3 and 4.
//
// The window keeps the program-wide state (connection settings, the
// connection, StatusText, OperationCompleted) and composes its pages and
// command groups, each a class of its own that reaches the window only
// through the host interface (PageHost.h):
//   Unit1.cpp             the window, its menus and status bar
//   Unit1_Runner.cpp      the runner around meter and connect operations, the host
//   Unit1_Connection.cpp  connect and disconnect, settings, the connection line
//   Unit1_Addressing.*    TAddressingPage, "Адресация и параметры доступа"
//   Unit1_Access.*        TAccessGroup, "Параметры доступа"
//   Unit1_Parameters.*    TParametersPage, "Параметризация" and its parameter jobs
//   Unit1_Commands.*      TAdminCommands, the administrative and service menus
//   Unit1_Views.*         TStatisticsPage, "Статистика" (the statistics table)

#include <QMainWindow>
#include <QString>
#include <memory>

#include "PageHost.h"
#include "manager/core/StatisticsTable.h"
#include "meter34/MeterConnection.h"

class QAction;
class QLabel;
class QMenu;
class QTabWidget;

namespace manager {

class TAddressingPage;
class TAdminCommands;
class TParametersPage;
class TStatisticsPage;

// Connection settings kept between runs, and the protocol header texts.
struct ProgramSettings {
    meter34::ConnectionSettings Connection;
    QString Organization_Name = QStringLiteral("Составитель");
    QString User_Position = QStringLiteral("Должность");
    QString User_FIO = QStringLiteral("ФИО");
    QString Abonent_FIO = QStringLiteral("Потребитель");
    QString Abonent_Address = QStringLiteral("Место установки");
    QString Meter_type = QStringLiteral("Составитель");
};

class TFrmMain : public QMainWindow {
    Q_OBJECT
public:
    // settingsPath: the settings file (empty: the program's own, see AppPaths).
    explicit TFrmMain(const QString& settingsPath = {}, QWidget* parent = nullptr);
    ~TFrmMain() override;

    // --- runner (Unit1_Runner.cpp) ---
    bool RunConnectOperation(const QString& title, const std::function<bool()>& operation);
    bool RunMeterOperation(const QString& title, bool showResult, bool withAccess, const core::MeterOperation& operation);
    bool RunMeterOperation(const QString& title, bool showResult, const core::MeterOperation& operation) {
        return RunMeterOperation(title, showResult, false, operation);
    }

    QString StatusText;
    bool OperationCompleted = false;

    // --- connection (Unit1_Connection.cpp) ---
    void OpenCOMButtonClick();
    void CloseCOMButtonClick();
    bool OpenConnection();
    bool CloseConnection();
    void ShowConnectionState(bool connected);
    void LoadSettings();
    bool SaveSettings();
    bool IsConnected() const { return Connection.IsOpen(); }

    // The text of a status-bar panel (0: connection, 1: last operation).
    QString StatusPanelText(int panel) const;
    // The interface the pages reach the window through.
    TPageHost& Host() { return *host_; }

    // The main menu in its fixed order; a menu appears once something is put in it.
    QMenu* MenuOf(MainMenu which);
    // See TPageHost::AddMenuItem.
    void AddMenuItem(MainMenu menu, int place, QAction* action);

    meter34::TMeterConnection Connection;
    ProgramSettings Settings;
    QString SettingsPath;
    // StringGrid1 of the page "Статистика": kept until the next view or exit.
    core::StatisticsTable Statistics;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class PageHostImpl;
    std::unique_ptr<TPageHost> MakeHost();
    void BuildWindow();
    void BuildMenus();

    std::unique_ptr<TPageHost> host_;
    QTabWidget* PageControl1 = nullptr;
    TAddressingPage* addressingPage_ = nullptr;
    TParametersPage* parametersPage_ = nullptr;
    TAdminCommands* adminCommands_ = nullptr;
    TStatisticsPage* statisticsPage_ = nullptr;
    QAction* OpenCommunication1 = nullptr;
    QAction* CloseCommunication1 = nullptr;
    QLabel* statusPanel_[2] = {nullptr, nullptr};
    QMenu* menus_[4] = {nullptr, nullptr, nullptr, nullptr};
    bool closing_ = false;
};

}  // namespace manager
