#pragma once
// What a page, dialog or command group of the main window may reach of the
// window: running an operation under the runner inside the meter session,
// the link, the runner's step line, the parent of its dialogs and boxes, and
// the enabling of the actions that need a meter. The window also reports
// through it the money mode of each meter it logs in to. No page holds the
// window itself or reaches into another page.

#include <QObject>
#include <QString>

#include "console/core/Operation.h"

class QAction;
class QWidget;

namespace console {

class TPageHost : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Checks the meter number, runs operation under the progress dialog
    // inside the meter session and reports the outcome in a box; true on
    // success and after a cancel.
    virtual bool RunCounterOperation(const QString& title, const core::CounterOperation& operation) = 0;
    // The link the operations use; none while no link is open (the
    // serial-only build has one only during a session).
    virtual TCounterCommunication* CurrentLink() = 0;
    // The second line of the progress dialog while an operation runs.
    virtual void SetStep(const QString& text) = 0;
    // The parent of the dialogs and boxes a page opens.
    virtual QWidget* DialogParent() = 0;
    // Whether the actions that need a meter are enabled now.
    virtual bool MeterActionsEnabled() const = 0;

    // Makes an action or a button of a page follow the actions that need a
    // meter, from now on.
    void FollowMeterActions(QAction* action);
    void FollowMeterActions(QWidget* widget);

Q_SIGNALS:
    void MeterActionsEnabledChanged(bool enabled);
    // After each login: the meter keeps money in rubles (true) or kopecks.
    void MoneyModeChanged(bool rubles);
};

}  // namespace console
