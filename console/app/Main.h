#pragma once
// TFrmMain: the main window of Ostrilon, the program for prepayment meters of
// versions 51..54. The class is split over several files by what it does:
// Main.cpp (window, menus, settings), Main_Connection.cpp (links, the
// operation wrapper and the meter session, money captions), Main_Commands.cpp
// (clock, card mode, contactor, money range, currency, extra channels).
//
// Built with OSTRILON_SERIAL_ONLY (the program Ostrilon_serial) the window has
// no connection selector and no connect buttons: every operation opens the
// serial port for its own session and closes it afterwards.

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Parameters.h"
#include "console/link/CounterCommunication.h"
#include "console/link/RS232Communication.h"
#include "console/link/TCPIPCommunication.h"

class QAction;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace console {

// The money unit of the labels that name amounts and prices. Prepayment
// amounts and tariff prices are kept by the meter in rubles or in kopecks
// (the money mode reported at login); the labels say which.
struct MoneyCaptionTexts {
    QString MaxSum;      // maximum single load sum
    QString AlarmDebit;  // warning debit
    QString OffDebit;    // disconnection debit
    QStringList Tariffs; // "Тариф 1 (...)" .. "Тариф 4 (...)", the rows of both tariff groups
};
MoneyCaptionTexts MoneyCaptions(bool rubles);

class TFrmMain : public QMainWindow {
    Q_OBJECT
public:
    // settingsPath: the settings file (empty: the program's own, see AppPaths).
    explicit TFrmMain(const QString& settingsPath = {}, QWidget* parent = nullptr);
    ~TFrmMain() override;

    // --- settings (Main.cpp) ---
    void LoadSettings();
    bool SaveSettings();
    void SettingsActionExecute();
    void AboutActionExecute();
    PortSettings Settings;
    QString SettingsPath;

    // --- links, wrapper and session (Main_Connection.cpp) ---
    // Checks the meter number, runs operation under the progress dialog
    // inside the meter session and reports the outcome; true on success and
    // after a cancel.
    bool RunCounterOperation(const QString& title, const std::function<bool()>& operation);
    // End any session, log in with the number and identifier of the top
    // panel, check the version, set the money captions, run the operation,
    // end the session.
    bool WithMeterSession(const std::function<bool()>& operation);
    // Enables or disables the actions (and buttons) that need a meter.
    void SetMeterActionsEnabled(bool enabled);
    // A button of a page that needs a meter: it follows the actions from now on.
    void AddMeterButton(QWidget* button);
    // Puts the money unit of the meter's money mode on the labels that have it.
    void ApplyMoneyCaptions(bool rubles);

#ifndef OSTRILON_SERIAL_ONLY
    void ConnectButtonClick();
    void DisconnectButtonClick();
    // Handlers of the links' connection events.
    void IsConnectedToCommunication(TCounterCommunication& sender, bool& connected);
    void IsDisConnectedToCommunication(TCounterCommunication& sender);

    // Items of the connection selector.
    enum ConnectionKind { kRS232 = 0, kModem = 1, kTcpServer = 2 };

    // The link opened by "Подключиться" (at most one of them exists).
    std::unique_ptr<TRS232Communication> SerialLink;
    std::unique_ptr<TTCPIPCommunication> TcpLink;
#endif
    // The link the operations use; set while a link is open (serial-only
    // build: during a session).
    TCounterCommunication* CurrentLink = nullptr;

    // --- commands (Main_Commands.cpp) ---
    void ReadDateTimeActionExecute();
    void WriteDateTimeActionExecute();
    void CardModeOnActionExecute();
    void ContactorOnActionExecute();
    void ContactorOffActionExecute();
    void ContactorReleaseActionExecute();
    void RangeMode1ActionExecute();
    void RangeMode100ActionExecute();
    void ChangeCurrencyActionExecute();
    void DopChannel1OnActionExecute();
    void DopChannel1OffActionExecute();
    void DopChannel2OnActionExecute();
    void DopChannel2OffActionExecute();
    // The currency identifier last read from the meter or typed by the user.
    QString CurrencyText;

    // The day-month picker for a date-like edit: opens below the edit and
    // puts the chosen day and month into it (unchanged when cancelled).
    void listhappydayMD0EditClick(QLineEdit* edit);
    // Makes a click on edit open the day-month picker.
    void InstallDayMonthPicker(QLineEdit* edit);

    // Controls named as the program has always named them (they double as
    // the keys of profile files).
    QWidget* Panel1 = nullptr;
    QSpinBox* CounterNumEdit = nullptr;
    QDoubleSpinBox* CounterIdentEdit = nullptr;  // 32 bits unsigned, whole numbers only
    QLineEdit* CurrentPasswordEdit = nullptr;     // hidden: the write password
#ifndef OSTRILON_SERIAL_ONLY
    QComboBox* ConnectionTypeComboBox = nullptr;
    QPushButton* ConnectButton = nullptr;
    QPushButton* DisconnectButton = nullptr;
#endif
    QTabWidget* PageControl1 = nullptr;

    // Labels that carry the money unit; the pages that own them set these.
    QLabel* param2MAXSUMMLabel = nullptr;
    QLabel* param2AlarmValueLabel = nullptr;
    QLabel* param2OffValueLabel = nullptr;
    // [tariff group: 0 current, 1 future][tariff 0..3]
    std::array<std::array<QLabel*, 4>, 2> TariffValueLabels{};

    QMenu* FileMenu = nullptr;
    QAction* ExitAction = nullptr;
    QMenu* CommandMenu = nullptr;
    QAction* ReadDateTimeAction = nullptr;
    QAction* WriteDateTimeAction = nullptr;
    QAction* CardModeOnAction = nullptr;
    QMenu* ContactorMenu = nullptr;
    QAction* ContactorOnAction = nullptr;
    QAction* ContactorOffAction = nullptr;
    QAction* ContactorReleaseAction = nullptr;
    QMenu* RangeModeMenu = nullptr;
    QAction* RangeMode1Action = nullptr;
    QAction* RangeMode100Action = nullptr;
    QAction* ChangeCurrencyAction = nullptr;
    QMenu* DopChannel1Menu = nullptr;
    QAction* DopChannel1OnAction = nullptr;
    QAction* DopChannel1OffAction = nullptr;
    QMenu* DopChannel2Menu = nullptr;
    QAction* DopChannel2OnAction = nullptr;
    QAction* DopChannel2OffAction = nullptr;
    QMenu* SettingsMenu = nullptr;
    QAction* SettingsAction = nullptr;
    QMenu* HelpMenu = nullptr;
    QAction* AboutAction = nullptr;

    // The actions that need a meter, and buttons of the pages that do too.
    std::vector<QAction*> MeterActions;
    std::vector<QWidget*> MeterButtons;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWindow();
    void BuildMenus();
    QAction* AddAction(QMenu* menu, const char* name, const QString& caption, void (TFrmMain::*handler)(),
                       bool needsMeter = true);
    // Runs one command of the link under the wrapper.
    void RunCommand(const QString& title, const std::function<bool(TCounterCommunication&)>& command);
    bool settingsSaved_ = false;
    bool meterActionsEnabled_ = false;
    // Operations under the runner; a link that goes meanwhile (the window
    // closed during an exchange) is kept until the last one has ended.
    int operationsRunning_ = 0;
    std::vector<std::unique_ptr<TCounterCommunication>> retiredLinks_;
};

}  // namespace console
