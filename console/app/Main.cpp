#include "Main.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "About.h"
#include "CalendarEditor.h"
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
    : QMainWindow(parent), SettingsPath(settingsPath.isEmpty() ? common::ui::SettingsFilePath() : settingsPath) {
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
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    static_cast<QFrame*>(Panel1)->setFrameShape(QFrame::StyledPanel);

    auto* numberLabel = new QLabel(QStringLiteral("Зав. номер"), Panel1);
    numberLabel->setObjectName(QStringLiteral("CounterNumLabel"));
    CounterNumEdit = new QSpinBox(Panel1);
    CounterNumEdit->setObjectName(QStringLiteral("CounterNumEdit"));
    CounterNumEdit->setRange(0, 9999999);
    CounterNumEdit->setValue(0);
    CounterNumEdit->setMinimumWidth(100);
    numberLabel->setBuddy(CounterNumEdit);

    auto* identLabel = new QLabel(QStringLiteral("Идентификатор"), Panel1);
    identLabel->setObjectName(QStringLiteral("CounterIdentLabel"));
    CounterIdentEdit = new QDoubleSpinBox(Panel1);
    CounterIdentEdit->setObjectName(QStringLiteral("CounterIdentEdit"));
    // The identifier is an unsigned 32-bit number: a double holds it exactly.
    CounterIdentEdit->setDecimals(0);
    CounterIdentEdit->setRange(0, 4294967295.0);
    CounterIdentEdit->setValue(0);
    CounterIdentEdit->setMinimumWidth(110);
    identLabel->setBuddy(CounterIdentEdit);

    CurrentPasswordEdit = new QLineEdit(QStringLiteral("0"), Panel1);
    CurrentPasswordEdit->setObjectName(QStringLiteral("CurrentPasswordEdit"));
    CurrentPasswordEdit->setVisible(false);

    auto* top = new QHBoxLayout(Panel1);
    top->addWidget(numberLabel);
    top->addWidget(CounterNumEdit);
    top->addSpacing(12);
    top->addWidget(identLabel);
    top->addWidget(CounterIdentEdit);
    top->addWidget(CurrentPasswordEdit);

#ifndef OSTRILON_SERIAL_ONLY
    auto* typeLabel = new QLabel(QStringLiteral("Тип связи"), Panel1);
    typeLabel->setObjectName(QStringLiteral("ConnectionTypeLabel"));
    ConnectionTypeComboBox = new QComboBox(Panel1);
    ConnectionTypeComboBox->setObjectName(QStringLiteral("ConnectionTypeComboBox"));
    ConnectionTypeComboBox->addItems({QStringLiteral("RS-232"), QStringLiteral("Модем"), QStringLiteral("TCP-сервер")});
    // Dialing is not part of this program: the modem stays listed but cannot be chosen.
    if (auto* model = qobject_cast<QStandardItemModel*>(ConnectionTypeComboBox->model()))
        model->item(kModem)->setEnabled(false);
    ConnectionTypeComboBox->setCurrentIndex(kRS232);
    typeLabel->setBuddy(ConnectionTypeComboBox);
    ConnectButton = new QPushButton(QStringLiteral("Подключиться"), Panel1);
    ConnectButton->setObjectName(QStringLiteral("ConnectButton"));
    DisconnectButton = new QPushButton(QStringLiteral("Отключиться"), Panel1);
    DisconnectButton->setObjectName(QStringLiteral("DisconnectButton"));
    DisconnectButton->setEnabled(false);
    top->addSpacing(12);
    top->addWidget(typeLabel);
    top->addWidget(ConnectionTypeComboBox);
    top->addWidget(ConnectButton);
    top->addWidget(DisconnectButton);
    connect(ConnectButton, &QPushButton::clicked, this, [this] { ConnectButtonClick(); });
    connect(DisconnectButton, &QPushButton::clicked, this, [this] { DisconnectButtonClick(); });
#endif
    top->addStretch();

    // The pages ("Параметры", "Тарифы, Временные зоны, Сезоны", "Статистика") go here.
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("CentralWidget"));
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(4, 4, 4, 4);
    v->addWidget(Panel1);
    v->addWidget(PageControl1, 1);
    setCentralWidget(central);
    resize(900, 600);
}

QAction* TFrmMain::AddAction(QMenu* menu, const char* name, const QString& caption, void (TFrmMain::*handler)(),
                             bool needsMeter) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    if (needsMeter) MeterActions.push_back(a);
    return a;
}

void TFrmMain::BuildMenus() {
    FileMenu = menuBar()->addMenu(QStringLiteral("Файл"));
    FileMenu->setObjectName(QStringLiteral("FileMenu"));
    ExitAction = FileMenu->addAction(QStringLiteral("Выход"));
    ExitAction->setObjectName(QStringLiteral("ExitAction"));
    connect(ExitAction, &QAction::triggered, this, [this] { close(); });

    CommandMenu = menuBar()->addMenu(QStringLiteral("Команда"));
    CommandMenu->setObjectName(QStringLiteral("CommandMenu"));
    ReadDateTimeAction = AddAction(CommandMenu, "ReadDateTimeAction", QStringLiteral("Прочитать дату и время"),
                                   &TFrmMain::ReadDateTimeActionExecute);
    WriteDateTimeAction = AddAction(CommandMenu, "WriteDateTimeAction", QStringLiteral("Записать дату и время"),
                                    &TFrmMain::WriteDateTimeActionExecute);
    CommandMenu->addSeparator();
    CardModeOnAction = AddAction(CommandMenu, "CardModeOnAction", QStringLiteral("Перевести в карточный режим"),
                                 &TFrmMain::CardModeOnActionExecute);
    ContactorMenu = CommandMenu->addMenu(QStringLiteral("Управление контактором"));
    ContactorMenu->setObjectName(QStringLiteral("ContactorMenu"));
    ContactorOnAction = AddAction(ContactorMenu, "ContactorOnAction", QStringLiteral("Включить контактор"),
                                  &TFrmMain::ContactorOnActionExecute);
    ContactorOffAction = AddAction(ContactorMenu, "ContactorOffAction", QStringLiteral("Выключить контактор"),
                                   &TFrmMain::ContactorOffActionExecute);
    ContactorReleaseAction = AddAction(ContactorMenu, "ContactorReleaseAction", QStringLiteral("Освободить контактор"),
                                       &TFrmMain::ContactorReleaseActionExecute);
    RangeModeMenu = CommandMenu->addMenu(QStringLiteral("Смена точности"));
    RangeModeMenu->setObjectName(QStringLiteral("RangeModeMenu"));
    RangeMode1Action = AddAction(RangeModeMenu, "RangeMode1Action", QStringLiteral("Режим рублей"),
                                 &TFrmMain::RangeMode1ActionExecute);
    RangeMode100Action = AddAction(RangeModeMenu, "RangeMode100Action", QStringLiteral("Режим копеек"),
                                   &TFrmMain::RangeMode100ActionExecute);
    ChangeCurrencyAction = AddAction(CommandMenu, "ChangeCurrencyAction", QStringLiteral("Смена валюты"),
                                     &TFrmMain::ChangeCurrencyActionExecute);
    DopChannel1Menu = CommandMenu->addMenu(QStringLiteral("Управление доп. каналом 1"));
    DopChannel1Menu->setObjectName(QStringLiteral("DopChannel1Menu"));
    DopChannel1OnAction = AddAction(DopChannel1Menu, "DopChannel1OnAction", QStringLiteral("Включить доп. канал 1"),
                                    &TFrmMain::DopChannel1OnActionExecute);
    DopChannel1OffAction = AddAction(DopChannel1Menu, "DopChannel1OffAction", QStringLiteral("Выключить доп. канал 1"),
                                     &TFrmMain::DopChannel1OffActionExecute);
    DopChannel2Menu = CommandMenu->addMenu(QStringLiteral("Управление доп. каналом 2"));
    DopChannel2Menu->setObjectName(QStringLiteral("DopChannel2Menu"));
    DopChannel2OnAction = AddAction(DopChannel2Menu, "DopChannel2OnAction", QStringLiteral("Включить доп. канал 2"),
                                    &TFrmMain::DopChannel2OnActionExecute);
    DopChannel2OffAction = AddAction(DopChannel2Menu, "DopChannel2OffAction", QStringLiteral("Выключить доп. канал 2"),
                                     &TFrmMain::DopChannel2OffActionExecute);

    SettingsMenu = menuBar()->addMenu(QStringLiteral("Настройки"));
    SettingsMenu->setObjectName(QStringLiteral("SettingsMenu"));
    SettingsAction = AddAction(SettingsMenu, "SettingsAction", QStringLiteral("Настройки"),
                               &TFrmMain::SettingsActionExecute, false);

    HelpMenu = menuBar()->addMenu(QStringLiteral("Справка"));
    HelpMenu->setObjectName(QStringLiteral("HelpMenu"));
    AboutAction = AddAction(HelpMenu, "AboutAction", QStringLiteral("О программе..."), &TFrmMain::AboutActionExecute,
                            false);
}

void TFrmMain::SetMeterActionsEnabled(bool enabled) {
    meterActionsEnabled_ = enabled;
    for (QAction* a : MeterActions) a->setEnabled(enabled);
    for (QWidget* b : MeterButtons) b->setEnabled(enabled);
}

void TFrmMain::AddMeterButton(QWidget* button) {
    MeterButtons.push_back(button);
    button->setEnabled(meterActionsEnabled_);
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

void TFrmMain::InstallDayMonthPicker(QLineEdit* edit) {
    edit->setProperty("dayMonthPicker", true);
    edit->installEventFilter(this);
}

bool TFrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched->property("dayMonthPicker").toBool()) {
        auto* edit = qobject_cast<QLineEdit*>(watched);
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (edit && edit->isEnabled() && mouse->button() == Qt::LeftButton && edit->rect().contains(mouse->position().toPoint())) {
            listhappydayMD0EditClick(edit);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFrmMain::listhappydayMD0EditClick(QLineEdit* edit) {
    const QPoint corner = edit->mapToGlobal(QPoint(0, edit->height()));
    edit->setText(PickDayMonth(this, edit->text(), corner.x(), corner.y()));
}

}  // namespace console
