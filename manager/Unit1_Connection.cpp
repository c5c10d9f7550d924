// Connecting and disconnecting, the settings file and the connection line
// of the status bar.
#include <QAction>
#include <QLabel>

#include "OpenCommunication.h"
#include "Unit1.h"
#include "Unit1_Addressing.h"
#include "Unit1_Commands.h"
#include "Unit1_Parameters.h"
#include "Unit1_Views.h"
#include "common/core/IniFile.h"
#include "common/ui/UiServices.h"

namespace manager {

namespace {
std::string U8(const QString& s) { return s.toStdString(); }
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void TFrmMain::LoadSettings() {
    common::IniFile ini(U8(SettingsPath));
    if (!ini.Load()) common::ui::ErrorBox(this, Q(ini.ErrorText));
    auto& c = Settings.Connection;
    c.ConnectionType = static_cast<int>(ini.ReadInteger("Connection", "Type", 0));
    c.PortSetting = static_cast<int>(ini.ReadInteger("Connection", "COMPort", 1));
    c.BaudRateText = ini.ReadString("Connection", "BaudRate", "1200");
    c.PhoneOrHost = ini.ReadString("Connection", "PhoneNumber", "");
    c.DevicePath = ini.ReadString("Connection", "COMDevice", "");
    c.UseController = false;
    c.ControllerPassword = "580274613";
    Settings.Organization_Name = Q(ini.ReadString("Parametrization", "Organization_NameEdit", "Составитель"));
    Settings.User_Position = Q(ini.ReadString("Parametrization", "User_PositionEdit", "Должность"));
    Settings.User_FIO = Q(ini.ReadString("Parametrization", "User_FIOEdit", "ФИО"));
    Settings.Abonent_FIO = Q(ini.ReadString("Parametrization", "Abonent_FIOEdit", "Потребитель"));
    Settings.Abonent_Address = Q(ini.ReadString("Parametrization", "Abonent_AddressEdit", "Место установки"));
    Settings.Meter_type = Q(ini.ReadString("Parametrization", "Meter_typeEdit", "Составитель"));
}

bool TFrmMain::SaveSettings() {
    common::IniFile ini(U8(SettingsPath));
    ini.Load();  // keep whatever else the file holds
    const auto& c = Settings.Connection;
    ini.WriteInteger("Connection", "Type", c.ConnectionType);
    ini.WriteInteger("Connection", "COMPort", c.PortSetting);
    ini.WriteString("Connection", "BaudRate", c.BaudRateText);
    ini.WriteString("Connection", "PhoneNumber", c.PhoneOrHost);
    ini.WriteString("Connection", "COMDevice", c.DevicePath);
    ini.WriteString("Parametrization", "Organization_NameEdit", U8(Settings.Organization_Name));
    ini.WriteString("Parametrization", "User_PositionEdit", U8(Settings.User_Position));
    ini.WriteString("Parametrization", "User_FIOEdit", U8(Settings.User_FIO));
    ini.WriteString("Parametrization", "Abonent_FIOEdit", U8(Settings.Abonent_FIO));
    ini.WriteString("Parametrization", "Abonent_AddressEdit", U8(Settings.Abonent_Address));
    ini.WriteString("Parametrization", "Meter_typeEdit", U8(Settings.Meter_type));
    if (!ini.Save()) {
        common::ui::ErrorBox(this, QStringLiteral("Не удалось сохранить настройки: ") + Q(ini.ErrorText));
        return false;
    }
    return true;
}

void TFrmMain::OpenCOMButtonClick() {
    if (IsConnected()) return;
    TFrmOpenCommunication dialog(this);
    dialog.LoadFrom(Settings.Connection);
    if (dialog.exec() != QDialog::Accepted) return;
    dialog.StoreTo(Settings.Connection);
    addressingPage_->ShowAddressingFor(Settings.Connection.ConnectionType);
    RunConnectOperation(QStringLiteral("Устанавливаем подключение..."), [this] { return OpenConnection(); });
}

void TFrmMain::CloseCOMButtonClick() {
    if (!IsConnected()) return;
    RunConnectOperation(QStringLiteral("Закрываем подключение..."), [this] { return CloseConnection(); });
}

bool TFrmMain::OpenConnection() {
    meter34::ConnectionSettings s = Settings.Connection;
    const core::ExchangeValues e = addressingPage_->Exchange();
    s.TryCount = e.MaxTryCountEdit;
    s.Timeout = e.MaxTimeoutEdit;
    s.RetryPause = e.RetryIntervalEdit;
    Connection.OnControllerFailed = [this] { common::ui::ErrorBox(this, QStringLiteral("Не удалось открыть прозрачный режим!")); };
    const bool ok = Connection.Open(s);
    ShowConnectionState(ok);
    return ok;
}

bool TFrmMain::CloseConnection() {
    Connection.Close();
    ShowConnectionState(false);
    return true;
}

void TFrmMain::ShowConnectionState(bool connected) {
    const auto& c = Settings.Connection;
    OpenCommunication1->setEnabled(!connected);
    CloseCommunication1->setEnabled(connected);
    addressingPage_->SetConnected(connected, c.ConnectionType);
    adminCommands_->SetConnected(connected);
    parametersPage_->SetConnected(connected);
    statisticsPage_->SetConnected(connected);
    QString text = QStringLiteral("Подключение не установлено");
    if (connected) {
        if (meter34::IsTcpType(c.ConnectionType))
            text = QStringLiteral("Подключены TCP/IP: %1:%2").arg(Q(c.PhoneOrHost)).arg(c.PortSetting);
        else if (c.ConnectionType >= 1 && !c.PhoneOrHost.empty())
            text = QStringLiteral("Подключены COM%1 (%2 bps), тел. %3").arg(c.PortSetting).arg(Q(c.BaudRateText), Q(c.PhoneOrHost));
        else
            text = QStringLiteral("Подключены COM%1 (%2 bps)").arg(c.PortSetting).arg(Q(c.BaudRateText));
        if (!meter34::IsTcpType(c.ConnectionType) && !c.DevicePath.empty()) text += QStringLiteral(" — ") + Q(c.DevicePath);
    }
    statusPanel_[0]->setText(text);
}

}  // namespace manager
