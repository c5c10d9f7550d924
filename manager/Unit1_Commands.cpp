// Administrative and service commands of the meter: one menu item per row of
// the core's command table.
#include "Unit1_Commands.h"

#include <QAction>
#include <memory>

#include "AdditionalFunctions.h"
#include "CalibrationCoeff.h"
#include "CoefficientEdit.h"
#include "ContactorByTarifStructEdit.h"
#include "InternetParametersEdit.h"
#include "LoraPowerEdit.h"
#include "PageHost.h"
#include "SetKeys.h"
#include "SetUserPassword.h"
#include "SpeedEdit.h"
#include "VoltageStructEdit.h"

namespace manager {

namespace {

// The dialog of a dialog row, created when its item is chosen.
std::unique_ptr<TServiceDialog> MakeDialog(core::CommandDialog which, TPageHost& host) {
    QWidget* parent = host.DialogParent();
    switch (which) {
        case core::CommandDialog::UserPassword: return std::make_unique<TFrmSetUserPassword>(host, parent);
        case core::CommandDialog::Keys: return std::make_unique<TFrmSetKeys>(host, parent);
        case core::CommandDialog::Speed: return std::make_unique<TFrmSpeedEdit>(host, parent);
        case core::CommandDialog::Voltage: return std::make_unique<TFrmVoltageStructEdit>(host, parent);
        case core::CommandDialog::ContactorTariffs: return std::make_unique<TFrmContactorByTarifStructEdit>(host, parent);
        case core::CommandDialog::Internet: return std::make_unique<TFrmInternetParametersEdit>(host, parent);
        case core::CommandDialog::Functions: return std::make_unique<TFrmAdditionalFunctions>(host, parent);
        case core::CommandDialog::Pulses: return std::make_unique<TFrmCoefficientEdit>(host, parent);
        case core::CommandDialog::Calibration: return std::make_unique<TFrmCalibrationCoeff>(host, parent);
        case core::CommandDialog::LoraPower: return std::make_unique<TFrmLoraPowerEdit>(host, parent);
        case core::CommandDialog::None: break;
    }
    return nullptr;
}

}  // namespace

TAdminCommands::TAdminCommands(TPageHost& host, QObject* parent) : QObject(parent), host_(host) {
    // Places in table order; a row that starts a new group after a
    // separator line moves on to the next hundred.
    int place[2] = {0, 0};
    for (const core::CommandRow& row : core::AdminCommandRows()) {
        const int m = row.menu == core::CommandMenu::Admin ? 0 : 1;
        place[m] = row.separatorBefore ? (place[m] / 100 + 1) * 100 : place[m] + 1;
        auto* a = new QAction(QString::fromUtf8(row.caption), this);
        a->setObjectName(QString::fromLatin1(row.action));
        host_.AddMenuItem(m == 0 ? MainMenu::Admin : MainMenu::Service, place[m], a);
        const core::CommandRow* r = &row;
        connect(a, &QAction::triggered, this, [this, r] {
            if (r->dialog == core::CommandDialog::None) {
                host_.RunMeterOperation(QString::fromUtf8(r->title), r->box, r->access, r->operation);
            } else if (auto dialog = MakeDialog(r->dialog, host_)) {
                dialog->Execute();  // freed when closed
            }
        });
        actions_.push_back(a);
    }
}

void TAdminCommands::SetConnected(bool connected) {
    for (QAction* a : actions_) a->setEnabled(connected);
}

}  // namespace manager
