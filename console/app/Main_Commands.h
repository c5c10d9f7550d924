#pragma once
// TMeterCommands: the one-shot commands of the menu "Команда" (clock, card
// mode, contactor, money range, currency identifier, extra channels), one
// action per row of the core's command table (console/core/MeterCommands.h).

#include <QObject>
#include <QString>
#include <vector>

#include "console/core/MeterCommands.h"

class QAction;
class QMenu;

namespace console {

class TPageHost;

class TMeterCommands : public QObject {
    Q_OBJECT
public:
    // Puts an item for every command into menu, in submenus as the rows say.
    TMeterCommands(TPageHost& host, QMenu* menu, QObject* parent = nullptr);

    // The actions, in the order of the menu; all of them need a meter.
    const std::vector<QAction*>& Actions() const { return actions_; }

    // The currency identifier last read from the meter or typed by the user.
    QString CurrencyText;

private:
    void Run(const core::CommandRow& row);
    // "Смена валюты": read, let the user change it, write.
    void ChangeCurrency(const core::CommandRow& row);

    TPageHost& host_;
    std::vector<QAction*> actions_;
};

}  // namespace console
