#include "SetKeys.h"

#include "ui_SetKeys.h"

namespace manager {

TFrmSetKeys::TFrmSetKeys(TPageHost& host, QWidget* parent)
    : TRecordDialog(host, core::kKeysDialog, parent), ui_(std::make_unique<Ui::TFrmSetKeys>()) {
    ui_->setupUi(this);
    Prepare(nullptr, nullptr, ui_->OKButton, ui_->CancelButton);
}

TFrmSetKeys::~TFrmSetKeys() = default;

}  // namespace manager
