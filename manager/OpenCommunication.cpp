#include "OpenCommunication.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "common/ui/UiServices.h"

namespace manager {

TFrmOpenCommunication::TFrmOpenCommunication(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmOpenCommunication"));
    setWindowTitle(QStringLiteral("Подключение к счетчику"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    ConnectionTypeComboBox = new QComboBox(this);
    ConnectionTypeComboBox->setObjectName(QStringLiteral("ConnectionTypeComboBox"));
    for (int t = 0; t < meter34::kConnectionTypeCount; ++t)
        ConnectionTypeComboBox->addItem(QString::fromUtf8(meter34::ConnectionTypeCaption(t)));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    COMPortEdit = new QSpinBox(this);
    COMPortEdit->setObjectName(QStringLiteral("COMPortEdit"));
    COMPortEdit->setRange(0, 65535);
    COMPortEdit->setValue(1);
    BaudRateComboBox = new QComboBox(this);
    BaudRateComboBox->setObjectName(QStringLiteral("BaudRateComboBox"));
    for (const char* b : {"1200", "2400", "4800", "9600", "14400", "19200", "38400", "57600", "115200"})
        BaudRateComboBox->addItem(QString::fromLatin1(b));
    COMDeviceLabel = new QLabel(QStringLiteral("Устройство"), this);
    COMDeviceLabel->setObjectName(QStringLiteral("COMDeviceLabel"));
    COMDeviceEdit = new QLineEdit(this);
    COMDeviceEdit->setObjectName(QStringLiteral("COMDeviceEdit"));
    COMDeviceEdit->setPlaceholderText(QStringLiteral("по номеру: /dev/ttyS<номер-1>"));
    COMDeviceEdit->setToolTip(QStringLiteral("Путь к устройству порта (например, /dev/ttyUSB0); пусто — по номеру порта"));
    Label16 = new QLabel(this);
    Label16->setObjectName(QStringLiteral("Label16"));
    PhoneNumberEdit = new QLineEdit(this);
    PhoneNumberEdit->setObjectName(QStringLiteral("PhoneNumberEdit"));
    ControllerGSMCheckBox = new QCheckBox(QStringLiteral("Контроллер, пароль"), this);
    ControllerGSMCheckBox->setObjectName(QStringLiteral("ControllerGSMCheckBox"));
    ControllerPasswordEdit = new QLineEdit(this);
    ControllerPasswordEdit->setObjectName(QStringLiteral("ControllerPasswordEdit"));
    ControllerPasswordEdit->setEchoMode(QLineEdit::Password);
    ControllerPasswordEdit->setEnabled(false);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* g = new QGridLayout(this);
    g->addWidget(ConnectionTypeComboBox, 0, 0, 1, 3);
    g->addWidget(Label1, 1, 0);
    g->addWidget(COMPortEdit, 1, 1);
    g->addWidget(BaudRateComboBox, 1, 2);
    g->addWidget(COMDeviceLabel, 2, 0);
    g->addWidget(COMDeviceEdit, 2, 1, 1, 2);
    g->addWidget(Label16, 3, 0);
    g->addWidget(PhoneNumberEdit, 3, 1, 1, 2);
    g->addWidget(ControllerGSMCheckBox, 4, 0);
    g->addWidget(ControllerPasswordEdit, 4, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    g->addLayout(buttons, 5, 0, 1, 3);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(2, 1);
    setMinimumWidth(330);

    connect(ConnectionTypeComboBox, &QComboBox::currentIndexChanged, this, [this] { ConnectionTypeComboBoxChange(); });
    connect(ControllerGSMCheckBox, &QCheckBox::toggled, this,
            [this](bool on) { ControllerPasswordEdit->setEnabled(on); });
    connect(Button1, &QPushButton::clicked, this, [this] { accept(); });
    connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
    ConnectionTypeComboBoxChange();
}

void TFrmOpenCommunication::ConnectionTypeComboBoxChange() {
    const int t = ConnectionTypeComboBox->currentIndex();
    const bool tcp = t >= 4;
    BaudRateComboBox->setVisible(!tcp);
    COMDeviceLabel->setVisible(!tcp);
    COMDeviceEdit->setVisible(!tcp);
    Label1->setText(tcp ? QStringLiteral("Номер порта") : QStringLiteral("Номер и скорость COM"));
    Label16->setVisible(t != 0);
    Label16->setText(tcp ? QStringLiteral("IP адрес") : QStringLiteral("Номер телефона"));
    PhoneNumberEdit->setVisible(t != 0);
    const bool controller = meter34::ControllerPossible(t);
    ControllerGSMCheckBox->setVisible(controller);
    ControllerPasswordEdit->setVisible(controller);
}

void TFrmOpenCommunication::LoadFrom(const meter34::ConnectionSettings& s) {
    ConnectionTypeComboBox->setCurrentIndex(s.ConnectionType >= 0 && s.ConnectionType < meter34::kConnectionTypeCount
                                                ? s.ConnectionType
                                                : -1);
    ConnectionTypeComboBoxChange();
    COMPortEdit->setValue(s.PortSetting);
    BaudRateComboBox->setCurrentIndex(BaudRateComboBox->findText(QString::fromStdString(s.BaudRateText)));
    COMDeviceEdit->setText(QString::fromStdString(s.DevicePath));
    PhoneNumberEdit->setText(QString::fromStdString(s.PhoneOrHost));
    ControllerGSMCheckBox->setChecked(s.UseController);
    ControllerPasswordEdit->setEnabled(s.UseController);
    ControllerPasswordEdit->setText(QString::fromStdString(s.ControllerPassword));
}

void TFrmOpenCommunication::StoreTo(meter34::ConnectionSettings& s) const {
    s.ConnectionType = ConnectionTypeComboBox->currentIndex();
    s.PortSetting = COMPortEdit->value();
    s.BaudRateText = BaudRateComboBox->currentText().toStdString();
    s.DevicePath = COMDeviceEdit->text().trimmed().toStdString();
    s.PhoneOrHost = PhoneNumberEdit->text().toStdString();
    s.UseController = ControllerGSMCheckBox->isChecked();
    s.ControllerPassword = ControllerPasswordEdit->text().toStdString();
}

bool TFrmOpenCommunication::Validate() {
    auto fail = [this](QWidget* control, const QString& text) {
        control->setFocus();
        common::ui::ErrorBox(this, text);
        return false;
    };
    const int t = ConnectionTypeComboBox->currentIndex();
    if (t < 0) return fail(ConnectionTypeComboBox, QStringLiteral("Укажите тип подключения"));
    const bool controller = ControllerGSMCheckBox->isChecked();
    const bool needPhone = t == 1 || t >= 4 || ((t == 2 || t == 3) && controller);
    if (needPhone && PhoneNumberEdit->text().isEmpty())
        return fail(PhoneNumberEdit, t <= 3 ? QStringLiteral("Укажите номер телефона") : QStringLiteral("Укажите IP-адрес"));
    if (COMPortEdit->value() <= 0 || COMPortEdit->value() >= 65535)
        return fail(COMPortEdit, QStringLiteral("Укажите номер порта"));
    if (controller && ControllerPasswordEdit->text().isEmpty())
        return fail(ControllerPasswordEdit, QStringLiteral("Укажите пароль доступа к контроллеру"));
    return true;
}

void TFrmOpenCommunication::accept() {
    if (Validate()) QDialog::accept();
}

}  // namespace manager
