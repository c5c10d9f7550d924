// Ostrilon: service program for prepayment meters of versions 51..54.
// Built with OSTRILON_SERIAL_ONLY it is Ostrilon_serial, the serial-only build.
#include <QApplication>

#include "Main.h"
#include "common/ui/OperationProgress.h"
#include "common/ui/ProgramShell.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
#ifdef OSTRILON_SERIAL_ONLY
    common::ui::SetUpProgram(QStringLiteral("Ostrilon_serial"), QStringLiteral("Ostrilon"));
#else
    common::ui::SetUpProgram(QStringLiteral("Ostrilon"), QStringLiteral("Ostrilon"));
#endif
    common::ui::InstallEventHook();
    console::TFrmMain window;
    common::ui::CloseOnTerminationSignals(&window);
    window.show();
    return QApplication::exec();
}
