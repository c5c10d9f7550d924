#include "CoefficientEdit.h"

#include "ui_CoefficientEdit.h"

namespace manager {

TFrmCoefficientEdit::TFrmCoefficientEdit(TPageHost& host, QWidget* parent)
    : TRecordDialog(host, core::kPulsesDialog, parent), ui_(std::make_unique<Ui::TFrmCoefficientEdit>()) {
    ui_->setupUi(this);
    Prepare(ui_->ReadButton, ui_->WriteButton);
}

TFrmCoefficientEdit::~TFrmCoefficientEdit() = default;

}  // namespace manager
