#include "SpeedEdit.h"

#include "ui_SpeedEdit.h"

namespace manager {

TFrmSpeedEdit::TFrmSpeedEdit(TPageHost& host, QWidget* parent)
    : TRecordDialog(host, core::kSpeedDialog, parent), ui_(std::make_unique<Ui::TFrmSpeedEdit>()) {
    ui_->setupUi(this);
    Prepare(ui_->GetSpeedButton, ui_->SetSpeedButton);
}

TFrmSpeedEdit::~TFrmSpeedEdit() = default;

}  // namespace manager
