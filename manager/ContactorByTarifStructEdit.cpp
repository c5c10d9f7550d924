#include "ContactorByTarifStructEdit.h"

#include "ui_ContactorByTarifStructEdit.h"

namespace manager {

TFrmContactorByTarifStructEdit::TFrmContactorByTarifStructEdit(TPageHost& host, QWidget* parent)
    : TRecordDialog(host, core::kContactorTariffDialog, parent), ui_(std::make_unique<Ui::TFrmContactorByTarifStructEdit>()) {
    ui_->setupUi(this);
    Prepare(ui_->ReadButton, ui_->WriteButton);
}

TFrmContactorByTarifStructEdit::~TFrmContactorByTarifStructEdit() = default;

}  // namespace manager
