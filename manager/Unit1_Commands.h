#pragma once
// TAdminCommands: the menus "Административные функции" and "Сервисные
// функции", built from the command table of the core (manager/core/AdminCommands.h).

#include <QObject>
#include <vector>

class QAction;
class QMenuBar;

namespace manager {

class TPageHost;

class TAdminCommands : public QObject {
    Q_OBJECT
public:
    // Adds the menus that have commands to menuBar.
    TAdminCommands(TPageHost& host, QMenuBar* menuBar, QObject* parent = nullptr);

    // Every command needs a connection.
    void SetConnected(bool connected);

private:
    TPageHost& host_;
    std::vector<QAction*> actions_;
};

}  // namespace manager
