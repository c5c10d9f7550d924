#pragma once
// TFrmMain: the main window of Ostrilon, the program for prepayment meters of
// versions 51..54.
//
// The window keeps the program-wide state (the port settings, the link) and
// composes its pages and command groups, each a class of its own that
// reaches the window only through the host interface (PageHost.h):
//   Main.cpp             the window, its menus, the settings file and dialog
//   Main_Runner.cpp      the runner around every meter operation, the meter
//                        session, the host
//   Main_Connection.cpp  "Подключиться"/"Отключиться" and the links' events
//   Main_TopPanel.*      TTopPanel, meter number, identifier, connection controls
//   Main_Commands.*      TMeterCommands, the menu "Команда"
//   MoneyLabels.*        TMoneyLabels, the money unit on the labels of a page
//
// Built with OSTRILON_SERIAL_ONLY (the program Ostrilon_serial) the window has
// no connection selector and no connect buttons: every operation opens the
// serial port for its own session and closes it afterwards.

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "Main_TopPanel.h"
#include "PageHost.h"
#include "Parameters.h"
#include "console/link/CounterCommunication.h"
#include "console/link/RS232Communication.h"
#include "console/link/TCPIPCommunication.h"

class QAction;
class QMenu;
class QTabWidget;

namespace console {

class TMeterCommands;

// A message text of the link layer with its Windows line ends made plain.
QString LinkText(const std::string& text);

class TFrmMain : public QMainWindow {
    Q_OBJECT
public:
    // settingsPath: the settings file (empty: the program's own, see AppPaths).
    explicit TFrmMain(const QString& settingsPath = {}, QWidget* parent = nullptr);
    ~TFrmMain() override;

    // --- settings (Main.cpp) ---
    PortSettings Settings;
    QString SettingsPath;

    // --- runner and session (Main_Runner.cpp) ---
    // Checks the meter number, runs operation under the progress dialog
    // inside the meter session and reports the outcome; true on success and
    // after a cancel.
    bool RunCounterOperation(const QString& title, const core::CounterOperation& operation);
    // The same for an operation that takes the link from CurrentLink.
    bool RunCounterOperation(const QString& title, const std::function<bool()>& operation);
    // The interface the pages reach the window through.
    TPageHost& Host() { return *host_; }
    // The actions that need a meter: enabled only while a link is connected
    // (in the serial-only build always).
    std::vector<QAction*> MeterActions() const;

    // --- links (Main_Connection.cpp) ---
#ifndef OSTRILON_SERIAL_ONLY
    // Items of the connection selector.
    using ConnectionKind = TTopPanel::ConnectionKind;
    static constexpr ConnectionKind kRS232 = TTopPanel::kRS232;
    static constexpr ConnectionKind kModem = TTopPanel::kModem;
    static constexpr ConnectionKind kTcpServer = TTopPanel::kTcpServer;

    // The link opened by "Подключиться" (at most one of them exists).
    std::unique_ptr<TRS232Communication> SerialLink;
    std::unique_ptr<TTCPIPCommunication> TcpLink;
#endif
    // The link the operations use; set while a link is open (serial-only
    // build: during a session).
    TCounterCommunication* CurrentLink = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class PageHostImpl;
    std::unique_ptr<TPageHost> MakeHost();
    void BuildWindow();
    void BuildMenus();
    void LoadSettings();
    bool SaveSettings();
    void SettingsActionExecute();
    void AboutActionExecute();

    // End any session, log in with the number and identifier of the top
    // panel, check the version, report the money mode, run the operation,
    // end the session.
    bool WithMeterSession(const std::function<bool()>& operation);
    void SetMeterActionsEnabled(bool enabled);

#ifndef OSTRILON_SERIAL_ONLY
    void ConnectButtonClick();
    void DisconnectButtonClick();
    // Handlers of the links' connection events.
    void IsConnectedToCommunication(TCounterCommunication& sender, bool& connected);
    void IsDisConnectedToCommunication(TCounterCommunication& sender);
#endif

    std::unique_ptr<TPageHost> host_;
    TTopPanel* topPanel_ = nullptr;
    QTabWidget* PageControl1 = nullptr;
    TMeterCommands* commands_ = nullptr;
    QMenu* FileMenu = nullptr;
    QAction* ExitAction = nullptr;
    QMenu* CommandMenu = nullptr;
    QMenu* SettingsMenu = nullptr;
    QAction* SettingsAction = nullptr;
    QMenu* HelpMenu = nullptr;
    QAction* AboutAction = nullptr;

    bool settingsSaved_ = false;
    bool meterActionsEnabled_ = false;
    // Operations under the runner; a link that goes meanwhile (the window
    // closed during an exchange) is kept until the last one has ended.
    int operationsRunning_ = 0;
    std::vector<std::unique_ptr<TCounterCommunication>> retiredLinks_;
};

}  // namespace console
