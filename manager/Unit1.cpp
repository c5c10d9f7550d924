#include "Unit1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/ui/AppPaths.h"

namespace manager {

namespace {
QLineEdit* NumberEdit(QWidget* parent, const char* name, const QString& text) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}
QSpinBox* Spin(QWidget* parent, const char* name, int lo, int hi, int value) {
    auto* s = new QSpinBox(parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(lo, hi);
    s->setValue(value);
    return s;
}
}  // namespace

TFrmMain::TFrmMain(const QString& settingsPath, QWidget* parent)
    : QMainWindow(parent), SettingsPath(settingsPath.isEmpty() ? common::ui::SettingsFilePath() : settingsPath) {
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(QStringLiteral("Quorvane"));
    BuildWindow();
    BuildMenus();
    // FormCreate: settings, then the connection state.
    LoadSettings();
    ShowConnectionState(false);
}

TFrmMain::~TFrmMain() = default;

void TFrmMain::BuildWindow() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    setCentralWidget(PageControl1);

    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("AddressingTabSheet"));
    PageControl1->addTab(page, QStringLiteral("Адресация и параметры доступа"));

    auto* addressing = new QGroupBox(QStringLiteral("Адресация прибора учета"), page);
    addressing->setObjectName(QStringLiteral("AddressingGroupBox"));
    MeterNumEdit = NumberEdit(addressing, "MeterNumEdit", QStringLiteral("0"));
    // A meter number is an unsigned 32-bit value.
    MeterNumEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,10}")), MeterNumEdit));
    MeterVersionEdit = Spin(addressing, "MeterVersionEdit", 0, 65535, 0);
    MeterVersionEdit->setVisible(false);
    AddrParametersLabel = new QLabel(QStringLiteral("Доп. параметры"), addressing);
    AddrParametersLabel->setObjectName(QStringLiteral("AddrParametersLabel"));
    AddrParametersEdit = new QLineEdit(addressing);
    AddrParametersEdit->setObjectName(QStringLiteral("AddrParametersEdit"));
    AddrParametersLabel->setVisible(false);
    AddrParametersEdit->setVisible(false);
    GetPLCBaseInfoButton = new QPushButton(QStringLiteral("Получить список PLC-счетчиков"), addressing);
    GetPLCBaseInfoButton->setObjectName(QStringLiteral("GetPLCBaseInfoButton"));
    GetPLCBaseInfoButton->setVisible(false);
    auto* ag = new QGridLayout(addressing);
    ag->addWidget(new QLabel(QStringLiteral("Номер счетчика"), addressing), 0, 0);
    ag->addWidget(MeterNumEdit, 0, 1);
    ag->addWidget(AddrParametersLabel, 1, 0);
    ag->addWidget(AddrParametersEdit, 1, 1);
    ag->addWidget(GetPLCBaseInfoButton, 2, 0, 1, 2);
    ag->setColumnStretch(1, 1);

    auto* access = new QGroupBox(QStringLiteral("Параметры доступа"), page);
    access->setObjectName(QStringLiteral("AccessGroupBox"));
    StartSeanseLevelComboBox = new QComboBox(access);
    StartSeanseLevelComboBox->setObjectName(QStringLiteral("StartSeanseLevelComboBox"));
    StartSeanseLevelComboBox->setEditable(true);
    StartSeanseLevelComboBox->addItems({QStringLiteral("1"), QStringLiteral("2")});
    StartSeanseLevelComboBox->setCurrentIndex(0);
    StartSeansePasswordEdit = NumberEdit(access, "StartSeansePasswordEdit", QStringLiteral("1"));
    StartSeanceKeyAEdit = NumberEdit(access, "StartSeanceKeyAEdit", QStringLiteral("1"));
    StartSeanceKeyBEdit = NumberEdit(access, "StartSeanceKeyBEdit", QStringLiteral("1"));
    auto* acg = new QGridLayout(access);
    acg->addWidget(new QLabel(QStringLiteral("Уровень доступа/пароль"), access), 0, 0);
    acg->addWidget(StartSeanseLevelComboBox, 0, 1);
    acg->addWidget(StartSeansePasswordEdit, 0, 2);
    acg->addWidget(new QLabel(QStringLiteral("Ключ А"), access), 1, 0);
    acg->addWidget(StartSeanceKeyAEdit, 1, 1, 1, 2);
    acg->addWidget(new QLabel(QStringLiteral("Ключ Б"), access), 2, 0);
    acg->addWidget(StartSeanceKeyBEdit, 2, 1, 1, 2);
    acg->setColumnStretch(2, 1);

    auto* exchange = new QGroupBox(QStringLiteral("Параметры обмена"), page);
    exchange->setObjectName(QStringLiteral("ExchangeGroupBox"));
    MaxTryCountEdit = Spin(exchange, "MaxTryCountEdit", 1, 255, 2);
    MaxTimeoutEdit = Spin(exchange, "MaxTimeoutEdit", 100, 600000, 4000);
    MaxTimeoutEdit->setSingleStep(500);
    RetryIntervalEdit = Spin(exchange, "RetryIntervalEdit", 0, 600000, 500);
    RetryIntervalEdit->setSingleStep(100);
    auto* eg = new QFormLayout(exchange);
    eg->addRow(QStringLiteral("Повторов"), MaxTryCountEdit);
    eg->addRow(QStringLiteral("Таймаут, мс"), MaxTimeoutEdit);
    eg->addRow(QStringLiteral("Пауза"), RetryIntervalEdit);

    Memo1 = new QPlainTextEdit(page);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);

    auto* top = new QHBoxLayout;
    top->addWidget(addressing, 3);
    top->addWidget(access, 3);
    top->addWidget(exchange, 2);
    auto* v = new QVBoxLayout(page);
    v->addLayout(top);
    v->addWidget(Memo1, 1);

    for (int i = 0; i < 2; ++i) {
        statusPanel_[i] = new QLabel(this);
        statusPanel_[i]->setObjectName(QStringLiteral("StatusBarPanel%1").arg(i));
    }
    statusPanel_[0]->setMinimumWidth(320);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(statusPanel_[0]);
    statusBar()->addWidget(statusPanel_[1], 1);

    connect(GetPLCBaseInfoButton, &QPushButton::clicked, this, [this] { GetPLCBaseInfoButtonClick(); });
    resize(860, 480);
}

void TFrmMain::BuildMenus() {
    ConnectionMenu1 = menuBar()->addMenu(QStringLiteral("Подключение"));
    ConnectionMenu1->setObjectName(QStringLiteral("ConnectionMenu1"));
    OpenCommunication1 = ConnectionMenu1->addAction(QStringLiteral("Подключиться..."));
    OpenCommunication1->setObjectName(QStringLiteral("OpenCommunication1"));
    CloseCommunication1 = ConnectionMenu1->addAction(QStringLiteral("Отключиться"));
    CloseCommunication1->setObjectName(QStringLiteral("CloseCommunication1"));
    ConnectionMenu1->addSeparator();
    Exit1 = ConnectionMenu1->addAction(QStringLiteral("Выход"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    connect(OpenCommunication1, &QAction::triggered, this, [this] { OpenCOMButtonClick(); });
    connect(CloseCommunication1, &QAction::triggered, this, [this] { CloseCOMButtonClick(); });
    connect(Exit1, &QAction::triggered, this, [this] { close(); });

    AdminMenu1 = menuBar()->addMenu(QStringLiteral("Административные функции"));
    AdminMenu1->setObjectName(QStringLiteral("AdminMenu1"));
    ReadDateTime1 = AdminMenu1->addAction(QStringLiteral("Чтение даты и времени"));
    ReadDateTime1->setObjectName(QStringLiteral("ReadDateTime1"));
    WriteDateTime1 = AdminMenu1->addAction(QStringLiteral("Запись даты и времени"));
    WriteDateTime1->setObjectName(QStringLiteral("WriteDateTime1"));
    CorrectDateTime1 = AdminMenu1->addAction(QStringLiteral("Корректировка времени"));
    CorrectDateTime1->setObjectName(QStringLiteral("CorrectDateTime1"));
    connect(ReadDateTime1, &QAction::triggered, this, [this] { ReadDateTimeClick(); });
    connect(WriteDateTime1, &QAction::triggered, this, [this] { WriteDateTimeClick(); });
    connect(CorrectDateTime1, &QAction::triggered, this, [this] { CorrectDateTimeClick(); });
}

void TFrmMain::closeEvent(QCloseEvent* event) {
    // FormClose: disconnect through the runner, then keep the settings.
    if (!closing_) {
        closing_ = true;
        CloseCOMButtonClick();
        SaveSettings();
    }
    event->accept();
}

void TFrmMain::AddLogLine(const QString& text) { Memo1->appendPlainText(text); }

QString TFrmMain::StatusPanelText(int panel) const {
    return panel >= 0 && panel < 2 ? statusPanel_[panel]->text() : QString();
}

}  // namespace manager
