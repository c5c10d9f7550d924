#include "Main.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "About.h"
#include "Main_Commands.h"
#include "Main_TopPanel.h"
#include "Parameters.h"
#include "common/core/IniFile.h"
#include "common/ui/AppPaths.h"
#include "common/ui/UiServices.h"

namespace console {

namespace {
constexpr char kSection[] = "COMPORT";
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

TFrmMain::TFrmMain(const QString& settingsPath, QWidget* parent)
    : QMainWindow(parent),
      SettingsPath(settingsPath.isEmpty() ? common::ui::SettingsFilePath() : settingsPath),
      host_(MakeHost()) {
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(QStringLiteral("Управление счетчиком версий 51...54"));
    BuildWindow();
    BuildMenus();
    // FormCreate: the meter actions wait for a link, then the settings.
#ifdef OSTRILON_SERIAL_ONLY
    // Every operation opens the port itself: the actions are there from the start.
    SetMeterActionsEnabled(true);
#else
    SetMeterActionsEnabled(false);
#endif
    LoadSettings();
}

TFrmMain::~TFrmMain() {
    if (!settingsSaved_) SaveSettings();
#ifndef OSTRILON_SERIAL_ONLY
    // Freed without their events: nothing of the window is touched any more.
    CurrentLink = nullptr;
    TcpLink.reset();
    SerialLink.reset();
#endif
}

void TFrmMain::BuildWindow() {
    topPanel_ = new TTopPanel(this);
#ifndef OSTRILON_SERIAL_ONLY
    connect(topPanel_, &TTopPanel::ConnectButtonClick, this, [this] { ConnectButtonClick(); });
    connect(topPanel_, &TTopPanel::DisconnectButtonClick, this, [this] { DisconnectButtonClick(); });
#endif

    // The pages ("Параметры", "Тарифы, Временные зоны, Сезоны", "Статистика") go here.
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("CentralWidget"));
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(4, 4, 4, 4);
    v->addWidget(topPanel_);
    v->addWidget(PageControl1, 1);
    setCentralWidget(central);
    resize(900, 600);
}

void TFrmMain::BuildMenus() {
    auto addAction = [this](QMenu* menu, const char* name, const QString& caption, void (TFrmMain::*handler)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return a;
    };
    auto addMenu = [this](const char* name, const QString& caption) {
        QMenu* m = menuBar()->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };

    FileMenu = addMenu("FileMenu", QStringLiteral("Файл"));
    ExitAction = FileMenu->addAction(QStringLiteral("Выход"));
    ExitAction->setObjectName(QStringLiteral("ExitAction"));
    connect(ExitAction, &QAction::triggered, this, [this] { close(); });

    CommandMenu = addMenu("CommandMenu", QStringLiteral("Команда"));
    commands_ = new TMeterCommands(*host_, CommandMenu, this);

    SettingsMenu = addMenu("SettingsMenu", QStringLiteral("Настройки"));
    SettingsAction = addAction(SettingsMenu, "SettingsAction", QStringLiteral("Настройки"),
                               &TFrmMain::SettingsActionExecute);
    HelpMenu = addMenu("HelpMenu", QStringLiteral("Справка"));
    AboutAction = addAction(HelpMenu, "AboutAction", QStringLiteral("О программе..."), &TFrmMain::AboutActionExecute);
}

std::vector<QAction*> TFrmMain::MeterActions() const { return commands_->Actions(); }

void TFrmMain::SetMeterActionsEnabled(bool enabled) {
    meterActionsEnabled_ = enabled;
    Q_EMIT host_->MeterActionsEnabledChanged(enabled);
}

void TFrmMain::LoadSettings() {
    common::IniFile ini(SettingsPath.toStdString());
    if (!ini.Load()) common::ui::ErrorBox(this, Q(ini.ErrorText));
    Settings.ComPortNumber = static_cast<int>(ini.ReadInteger(kSection, "NUM", PortSettings::kDefaultPortNumber));
    Settings.ComPortSpeed = static_cast<int>(ini.ReadInteger(kSection, "SPEED", PortSettings::kDefaultSpeed));
    Settings.ComPortDevice = ini.ReadString(kSection, "DEVICE", "");
#ifndef OSTRILON_SERIAL_ONLY
    const long long port = ini.ReadInteger(kSection, "TCPPORT", TTCPIPCommunication::kDefaultPort);
    Settings.TcpServerPort = port >= 1 && port <= 65535 ? static_cast<int>(port) : TTCPIPCommunication::kDefaultPort;
#endif
}

bool TFrmMain::SaveSettings() {
    common::IniFile ini(SettingsPath.toStdString());
    ini.Load();  // keep whatever else the file holds
    ini.WriteInteger(kSection, "NUM", Settings.ComPortNumber);
    ini.WriteInteger(kSection, "SPEED", Settings.ComPortSpeed);
    ini.WriteString(kSection, "DEVICE", Settings.ComPortDevice);
#ifndef OSTRILON_SERIAL_ONLY
    ini.WriteInteger(kSection, "TCPPORT", Settings.TcpServerPort);
#endif
    if (!ini.Save()) {
        common::ui::ErrorBox(this, QStringLiteral("Не удалось сохранить настройки: ") + Q(ini.ErrorText));
        return false;
    }
    return true;
}

void TFrmMain::SettingsActionExecute() {
    TFrmParameters dialog(this);
    dialog.LoadFrom(Settings);
    if (dialog.exec() == QDialog::Accepted) dialog.StoreTo(Settings);
}

void TFrmMain::AboutActionExecute() {
    TFrmAbout dialog(this);
    dialog.exec();
}

void TFrmMain::closeEvent(QCloseEvent* event) {
    // The settings are kept when the window goes; a second close does not write again.
    if (!settingsSaved_) {
        settingsSaved_ = true;
        SaveSettings();
    }
#ifndef OSTRILON_SERIAL_ONLY
    // The server stops while the window is whole: its threads are joined here,
    // not in the destructor, and its disconnected event finds the controls.
    if (TcpLink) TcpLink->StopListening();
#endif
    event->accept();
}

}  // namespace console
