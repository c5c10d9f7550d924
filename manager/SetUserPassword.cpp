#include "SetUserPassword.h"

#include "ui_SetUserPassword.h"

namespace manager {

TFrmSetUserPassword::TFrmSetUserPassword(TPageHost& host, QWidget* parent)
    : TRecordDialog(host, core::kUserPasswordDialog, parent), ui_(std::make_unique<Ui::TFrmSetUserPassword>()) {
    ui_->setupUi(this);
    Prepare(nullptr, nullptr, ui_->OKButton, ui_->CancelButton);
}

TFrmSetUserPassword::~TFrmSetUserPassword() = default;

}  // namespace manager
