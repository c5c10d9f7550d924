#include "Parameters.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace console {

namespace {

QLineEdit* Edit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

int NumberOr(const QLineEdit* edit, int def) {
    bool ok = false;
    const int v = edit->text().trimmed().toInt(&ok);
    return ok ? v : def;
}

}  // namespace

TFrmParameters::TFrmParameters(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmParameters"));
    setWindowTitle(QStringLiteral("Параметры"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    ConnectionGroupBox = new QGroupBox(QStringLiteral("Параметры подключения"), this);
    ConnectionGroupBox->setObjectName(QStringLiteral("ConnectionGroupBox"));
    ComPortEdit = Edit(ConnectionGroupBox, "ComPortEdit");
    COMPortSpeedEdit = Edit(ConnectionGroupBox, "COMPortSpeedEdit");
    COMDeviceEdit = Edit(ConnectionGroupBox, "COMDeviceEdit");
    COMDeviceEdit->setPlaceholderText(QStringLiteral("пусто: /dev/ttyS<номер-1>"));
    COMDeviceEdit->setToolTip(
        QStringLiteral("Путь к устройству порта (например, /dev/ttyUSB0); пусто — по номеру порта"));
    auto* cg = new QFormLayout(ConnectionGroupBox);
#ifdef OSTRILON_SERIAL_ONLY
    cg->addRow(QStringLiteral("COM"), ComPortEdit);
    cg->addRow(QStringLiteral("Скорость"), COMPortSpeedEdit);
#else
    cg->addRow(QStringLiteral("COM порт"), ComPortEdit);
    cg->addRow(QStringLiteral("Скорость (б/с)"), COMPortSpeedEdit);
#endif
    cg->addRow(QStringLiteral("Устройство"), COMDeviceEdit);

    auto* v = new QVBoxLayout(this);
    v->addWidget(ConnectionGroupBox);

#ifndef OSTRILON_SERIAL_ONLY
    ModemGroupBox = new QGroupBox(QStringLiteral("Модем"), this);
    ModemGroupBox->setObjectName(QStringLiteral("ModemGroupBox"));
    PhoneNumberEdit = Edit(ModemGroupBox, "PhoneNumberEdit");
    PhoneNumberEdit->setText(QStringLiteral("atd"));
    auto* mg = new QFormLayout(ModemGroupBox);
    mg->addRow(QStringLiteral("Телефон"), PhoneNumberEdit);
    ModemGroupBox->setEnabled(false);
    ModemGroupBox->setToolTip(QStringLiteral("Дозвон через модем в этой программе не выполняется"));

    ServerGroupBox = new QGroupBox(QStringLiteral("TCP-сервер"), this);
    ServerGroupBox->setObjectName(QStringLiteral("ServerGroupBox"));
    TCPServerPortEdit = Edit(ServerGroupBox, "TCPServerPortEdit");
    TCPServerPortEdit->setText(QStringLiteral("144"));
    auto* sg = new QFormLayout(ServerGroupBox);
    sg->addRow(QStringLiteral("Порт сервера"), TCPServerPortEdit);

    v->addWidget(ModemGroupBox);
    v->addWidget(ServerGroupBox);
#endif

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    v->addLayout(buttons);
    setMinimumWidth(360);

    connect(OKButton, &QPushButton::clicked, this, [this] { accept(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { reject(); });
}

void TFrmParameters::LoadFrom(const PortSettings& s) {
    ComPortEdit->setText(QString::number(s.ComPortNumber));
    COMPortSpeedEdit->setText(QString::number(s.ComPortSpeed));
    COMDeviceEdit->setText(QString::fromStdString(s.ComPortDevice));
#ifndef OSTRILON_SERIAL_ONLY
    TCPServerPortEdit->setText(QString::number(s.TcpServerPort));
#endif
}

void TFrmParameters::StoreTo(PortSettings& s) const {
    s.ComPortNumber = NumberOr(ComPortEdit, PortSettings::kDefaultPortNumber);
    s.ComPortSpeed = NumberOr(COMPortSpeedEdit, PortSettings::kDefaultSpeed);
    s.ComPortDevice = COMDeviceEdit->text().trimmed().toStdString();
#ifndef OSTRILON_SERIAL_ONLY
    // Port 0 would mean "any free port", which no meter-side device could find.
    const int port = NumberOr(TCPServerPortEdit, TTCPIPCommunication::kDefaultPort);
    s.TcpServerPort = port >= 1 && port <= 65535 ? port : TTCPIPCommunication::kDefaultPort;
#endif
}

}  // namespace console
