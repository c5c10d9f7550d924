// Quorvane_v3_4: service program for electricity meters of versions 3 and 4.
#include <QApplication>

#include "Unit1.h"
#include "common/ui/OperationProgress.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane_v3_4"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvane (v3-4)"));
    common::ui::InstallEventHook();
    manager::TFrmMain window;
    window.show();
    return QApplication::exec();
}
