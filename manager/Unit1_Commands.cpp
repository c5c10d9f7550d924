// Administrative and service commands of the meter: one menu item per row of
// the core's command table.
#include "Unit1_Commands.h"

#include <QAction>
#include <QMenu>

#include "PageHost.h"

namespace manager {

TAdminCommands::TAdminCommands(TPageHost& host, const std::function<QMenu*(core::CommandMenu)>& menuFor,
                               QObject* parent)
    : QObject(parent), host_(host) {
    for (const core::CommandRow& row : core::AdminCommandRows()) {
        QMenu* menu = menuFor(row.menu);
        if (row.separatorBefore) menu->addSeparator();
        QAction* a = menu->addAction(QString::fromUtf8(row.caption));
        a->setObjectName(QString::fromLatin1(row.action));
        const core::CommandRow* r = &row;
        connect(a, &QAction::triggered, this, [this, r] {
            host_.RunMeterOperation(QString::fromUtf8(r->title), r->box, r->access, r->operation);
        });
        actions_.push_back(a);
    }
}

void TAdminCommands::SetConnected(bool connected) {
    for (QAction* a : actions_) a->setEnabled(connected);
}

}  // namespace manager
