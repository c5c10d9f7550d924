// Ostrilon: service program for prepayment meters of versions 51..54.
// Built with OSTRILON_SERIAL_ONLY it is Ostrilon_serial, the serial-only build.
#include <QApplication>

#include "Main.h"
#include "common/ui/OperationProgress.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
#ifdef OSTRILON_SERIAL_ONLY
    QApplication::setApplicationName(QStringLiteral("Ostrilon_serial"));
#else
    QApplication::setApplicationName(QStringLiteral("Ostrilon"));
#endif
    QApplication::setApplicationDisplayName(QStringLiteral("Ostrilon"));
    common::ui::InstallEventHook();
    console::TFrmMain window;
    window.show();
    return QApplication::exec();
}
