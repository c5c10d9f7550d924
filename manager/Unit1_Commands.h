#pragma once
// TAdminCommands: the menus "Административные функции" and "Сервисные
// функции", built from the command table of the core (manager/core/AdminCommands.h).
// A row without a dialog runs its operation; a dialog row opens its dialog
// (ServiceDialog.h).

#include <QObject>
#include <vector>

#include "manager/core/AdminCommands.h"

class QAction;

namespace manager {

class TPageHost;

class TAdminCommands : public QObject {
    Q_OBJECT
public:
    // Puts every command into its menu, in the order of the table.
    explicit TAdminCommands(TPageHost& host, QObject* parent = nullptr);

    // Every command needs a connection.
    void SetConnected(bool connected);

private:
    TPageHost& host_;
    std::vector<QAction*> actions_;
};

}  // namespace manager
