#include "Unit1.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <algorithm>

#include "Unit1_Addressing.h"
#include "Unit1_Commands.h"
#include "Unit1_Parameters.h"
#include "Unit1_Views.h"
#include "common/ui/AppPaths.h"

namespace manager {

TFrmMain::TFrmMain(const QString& settingsPath, QWidget* parent)
    : QMainWindow(parent), SettingsPath(settingsPath.isEmpty() ? common::ui::SettingsFilePath() : settingsPath) {
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(QStringLiteral("Quorvane"));
    host_ = MakeHost();
    BuildWindow();
    BuildMenus();
    // FormCreate: settings, then the connection state.
    LoadSettings();
    ShowConnectionState(false);
}

// The pages go before the state they show (the statistics table).
TFrmMain::~TFrmMain() { delete PageControl1; }

void TFrmMain::BuildWindow() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    setCentralWidget(PageControl1);

    addressingPage_ = new TAddressingPage(*host_);
    PageControl1->addTab(addressingPage_, QStringLiteral("Адресация и параметры доступа"));
    parametersPage_ = new TParametersPage(*host_);
    PageControl1->addTab(parametersPage_, QStringLiteral("Параметризация"));
    statisticsPage_ = new TStatisticsPage(*host_, Statistics);
    PageControl1->addTab(statisticsPage_, QStringLiteral("Статистика"));

    for (int i = 0; i < 2; ++i) {
        statusPanel_[i] = new QLabel(this);
        statusPanel_[i]->setObjectName(QStringLiteral("StatusBarPanel%1").arg(i));
    }
    statusPanel_[0]->setMinimumWidth(320);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(statusPanel_[0]);
    statusBar()->addWidget(statusPanel_[1], 1);
    resize(860, 480);
}

QMenu* TFrmMain::MenuOf(MainMenu which) {
    struct Def {
        const char* name;
        const char* caption;
    };
    static constexpr Def kMenus[] = {{"ConnectionMenu1", "Подключение"},
                                     {"Meter1", "Параметризация"},
                                     {"AdminMenu1", "Административные функции"},
                                     {"ServiceMode1", "Сервисные функции"}};
    const auto i = static_cast<std::size_t>(which);
    if (!menus_[i]) {
        // Before the first menu of a later place that exists already.
        QAction* before = nullptr;
        for (std::size_t k = i + 1; k < std::size(menus_) && !before; ++k)
            if (menus_[k]) before = menus_[k]->menuAction();
        menus_[i] = new QMenu(QString::fromUtf8(kMenus[i].caption), menuBar());
        menus_[i]->setObjectName(QString::fromLatin1(kMenus[i].name));
        menuBar()->insertMenu(before, menus_[i]);
    }
    return menus_[i];
}

void TFrmMain::AddMenuItem(MainMenu which, int place, QAction* action) {
    QMenu* menu = MenuOf(which);
    action->setProperty("menuPlace", place);
    // Rebuild the menu in the order of places; separators between groups.
    QList<QAction*> items;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) items << a;
    items << action;
    std::stable_sort(items.begin(), items.end(), [](QAction* a, QAction* b) {
        return a->property("menuPlace").toInt() < b->property("menuPlace").toInt();
    });
    for (QAction* a : menu->actions()) {
        menu->removeAction(a);
        if (a->isSeparator() && a->parent() == menu) a->deleteLater();
    }
    int group = -1;
    for (QAction* a : items) {
        const int g = a->property("menuPlace").toInt() / 100;
        if (group >= 0 && g != group) menu->addSeparator();
        group = g;
        menu->addAction(a);
    }
}

void TFrmMain::BuildMenus() {
    QMenu* connection = MenuOf(MainMenu::Connection);
    OpenCommunication1 = connection->addAction(QStringLiteral("Подключиться..."));
    OpenCommunication1->setObjectName(QStringLiteral("OpenCommunication1"));
    CloseCommunication1 = connection->addAction(QStringLiteral("Отключиться"));
    CloseCommunication1->setObjectName(QStringLiteral("CloseCommunication1"));
    connection->addSeparator();
    QAction* exit = connection->addAction(QStringLiteral("Выход"));
    exit->setObjectName(QStringLiteral("Exit1"));
    connect(OpenCommunication1, &QAction::triggered, this, [this] { OpenCOMButtonClick(); });
    connect(CloseCommunication1, &QAction::triggered, this, [this] { CloseCOMButtonClick(); });
    connect(exit, &QAction::triggered, this, [this] { close(); });

    adminCommands_ = new TAdminCommands(*host_, this);
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

QString TFrmMain::StatusPanelText(int panel) const {
    return panel >= 0 && panel < 2 ? statusPanel_[panel]->text() : QString();
}

}  // namespace manager
