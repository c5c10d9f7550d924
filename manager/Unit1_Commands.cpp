// Administrative and service commands of the meter: one menu item per row of
// the core's command table.
#include "Unit1_Commands.h"

#include <QAction>

#include "PageHost.h"

namespace manager {

TAdminCommands::TAdminCommands(TPageHost& host, QObject* parent) : QObject(parent), host_(host) {
    // Places in table order; a row that starts a new group after a
    // separator line moves on to the next hundred.
    int place[2] = {0, 0};
    for (const core::CommandRow& row : core::AdminCommandRows()) {
        const int m = row.menu == core::CommandMenu::Admin ? 0 : 1;
        place[m] = row.separatorBefore ? (place[m] / 100 + 1) * 100 : place[m] + 1;
        auto* a = new QAction(QString::fromUtf8(row.caption), this);
        a->setObjectName(QString::fromLatin1(row.action));
        host_.AddMenuItem(m == 0 ? MainMenu::Admin : MainMenu::Service, place[m], a);
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
