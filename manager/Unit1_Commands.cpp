// Administrative and service commands of the meter: one menu item per row of
// the core's command table.
#include "Unit1_Commands.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "PageHost.h"
#include "manager/core/AdminCommands.h"

namespace manager {

TAdminCommands::TAdminCommands(TPageHost& host, QMenuBar* menuBar, QObject* parent) : QObject(parent), host_(host) {
    struct MenuOf {
        core::CommandMenu which;
        const char* name;
        const char* caption;
    };
    const MenuOf menus[] = {{core::CommandMenu::Admin, "AdminMenu1", "Административные функции"},
                            {core::CommandMenu::Service, "ServiceMode1", "Сервисные функции"}};
    const auto rows = core::AdminCommandRows();
    for (const auto& m : menus) {
        QMenu* menu = nullptr;
        for (const core::CommandRow& row : rows) {
            if (row.menu != m.which) continue;
            if (!menu) {
                menu = menuBar->addMenu(QString::fromUtf8(m.caption));
                menu->setObjectName(QString::fromLatin1(m.name));
            } else if (row.separatorBefore) {
                menu->addSeparator();
            }
            QAction* a = menu->addAction(QString::fromUtf8(row.caption));
            a->setObjectName(QString::fromLatin1(row.action));
            const core::CommandRow* r = &row;
            connect(a, &QAction::triggered, this, [this, r] {
                host_.RunMeterOperation(QString::fromUtf8(r->title), r->box, r->access, r->operation);
            });
            actions_.push_back(a);
        }
    }
}

void TAdminCommands::SetConnected(bool connected) {
    for (QAction* a : actions_) a->setEnabled(connected);
}

}  // namespace manager
