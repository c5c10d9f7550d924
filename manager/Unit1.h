#pragma once
// TFrmMain: the main window of the program for meters of versions 3 and 4.
// The class is split over several files by what it does: Unit1.cpp (window,
// menus, settings), Unit1_Runner.cpp (operation runner and addressing),
// Unit1_Connection.cpp (connect and disconnect), Unit1_Access.cpp (access
// session), Unit1_Commands.cpp (administrative and service commands).

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

#include "meter34/MeterConnection.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace manager {

class TFrmOpenCommunication;

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
    bool RunMeterOperation(const QString& title, bool showResult, const std::function<bool()>& operation);
    bool PrepareAddressing();

    QString StatusText;
    bool OperationCompleted = false;

    // --- connection (Unit1_Connection.cpp) ---
    void OpenCOMButtonClick();
    void CloseCOMButtonClick();
    bool OpenConnection();
    bool CloseConnection();
    void ShowConnectionState(bool connected);
    void GetPLCBaseInfoButtonClick();
    void LoadSettings();
    bool SaveSettings();
    bool IsConnected() const { return Connection.IsOpen(); }

    // --- access (Unit1_Access.cpp) ---
    bool BeginAccess();
    void EndAccess();
    // Runs op inside an access session: the session is always closed again.
    bool WithAccess(const std::function<bool()>& op);

    // --- commands (Unit1_Commands.cpp) ---
    void ReadDateTimeClick();
    void WriteDateTimeClick();
    void CorrectDateTimeClick();
    bool ReadDateTime();
    bool WriteDateTime();
    bool CorrectDateTime();

    void AddLogLine(const QString& text);
    // The text of a status-bar panel (0: connection, 1: last operation).
    QString StatusPanelText(int panel) const;

    meter34::TMeterConnection Connection;
    ProgramSettings Settings;
    QString SettingsPath;

    // Controls named as the program has always named them (they double as file keys).
    QTabWidget* PageControl1 = nullptr;
    QLineEdit* MeterNumEdit = nullptr;
    QSpinBox* MeterVersionEdit = nullptr;
    QLabel* AddrParametersLabel = nullptr;
    QLineEdit* AddrParametersEdit = nullptr;
    QComboBox* StartSeanseLevelComboBox = nullptr;
    QLineEdit* StartSeansePasswordEdit = nullptr;
    QLineEdit* StartSeanceKeyAEdit = nullptr;
    QLineEdit* StartSeanceKeyBEdit = nullptr;
    QSpinBox* MaxTryCountEdit = nullptr;
    QSpinBox* MaxTimeoutEdit = nullptr;
    QSpinBox* RetryIntervalEdit = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* GetPLCBaseInfoButton = nullptr;

    QMenu* ConnectionMenu1 = nullptr;
    QAction* OpenCommunication1 = nullptr;
    QAction* CloseCommunication1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* AdminMenu1 = nullptr;
    QAction* ReadDateTime1 = nullptr;
    QAction* WriteDateTime1 = nullptr;
    QAction* CorrectDateTime1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildWindow();
    void BuildMenus();
    QLabel* statusPanel_[2] = {nullptr, nullptr};
    bool closing_ = false;
    bool accessAttempted_ = false;  // BeginAccess sent its first packet
};

}  // namespace manager
