// Quorvane_v3_4: service program for electricity meters of versions 3 and 4.
#include <QApplication>

#include "Unit1.h"
#include "common/ui/OperationProgress.h"
#include "common/ui/ProgramShell.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    common::ui::SetUpProgram(QStringLiteral("Quorvane_v3_4"), QStringLiteral("Quorvane (v3-4)"));
    common::ui::InstallEventHook();
    manager::TFrmMain window;
    common::ui::CloseOnTerminationSignals(&window);
    window.show();
    return QApplication::exec();
}
