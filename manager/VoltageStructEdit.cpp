#include "VoltageStructEdit.h"

#include "ui_VoltageStructEdit.h"

namespace manager {

TFrmVoltageStructEdit::TFrmVoltageStructEdit(TPageHost& host, QWidget* parent)
    : TRecordDialog(host, core::kVoltageDialog, parent), ui_(std::make_unique<Ui::TFrmVoltageStructEdit>()) {
    ui_->setupUi(this);
    Prepare(ui_->ReadButton, ui_->WriteButton);
}

TFrmVoltageStructEdit::~TFrmVoltageStructEdit() = default;

}  // namespace manager
