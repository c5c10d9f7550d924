#include "ScriptedUi.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace testsupport {

void WhenDialogOpens(const char* className, std::function<void(QWidget*)> f, int timeoutMs) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, className, f, timeoutMs] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->inherits(className)) {
                timer->stop();
                timer->deleteLater();
                f(w);
                return;
            }
        }
        if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

}  // namespace testsupport
