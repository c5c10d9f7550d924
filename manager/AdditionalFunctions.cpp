#include "AdditionalFunctions.h"

#include "ui_AdditionalFunctions.h"

namespace manager {

TFrmAdditionalFunctions::TFrmAdditionalFunctions(TPageHost& host, QWidget* parent)
    : TRecordDialog(host, core::kFunctionsDialog, parent), ui_(std::make_unique<Ui::TFrmAdditionalFunctions>()) {
    ui_->setupUi(this);
    Prepare(ui_->ReadButton, ui_->WriteButton);
}

TFrmAdditionalFunctions::~TFrmAdditionalFunctions() = default;

}  // namespace manager
