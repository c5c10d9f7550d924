#include "PageHost.h"

#include <QAction>
#include <QWidget>

namespace console {

void TPageHost::FollowMeterActions(QAction* action) {
    action->setEnabled(MeterActionsEnabled());
    connect(this, &TPageHost::MeterActionsEnabledChanged, action, &QAction::setEnabled);
}

void TPageHost::FollowMeterActions(QWidget* widget) {
    widget->setEnabled(MeterActionsEnabled());
    connect(this, &TPageHost::MeterActionsEnabledChanged, widget, &QWidget::setEnabled);
}

}  // namespace console
