#include "LoraPowerEdit.h"

#include "ui_LoraPowerEdit.h"

namespace manager {

TFrmLoraPowerEdit::TFrmLoraPowerEdit(TPageHost& host, QWidget* parent)
    : TRecordDialog(host, core::kLoraPowerDialog, parent), ui_(std::make_unique<Ui::TFrmLoraPowerEdit>()) {
    ui_->setupUi(this);
    Prepare(ui_->ReadButton, ui_->WriteButton);
}

TFrmLoraPowerEdit::~TFrmLoraPowerEdit() = default;

}  // namespace manager
