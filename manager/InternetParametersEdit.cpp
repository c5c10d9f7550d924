#include "InternetParametersEdit.h"

#include "ui_InternetParametersEdit.h"

namespace manager {

TFrmInternetParametersEdit::TFrmInternetParametersEdit(TPageHost& host, QWidget* parent)
    : TRecordDialog(host, core::kInternetDialog, parent), ui_(std::make_unique<Ui::TFrmInternetParametersEdit>()) {
    ui_->setupUi(this);
    Prepare(ui_->ReadButton, ui_->WriteButton);
}

TFrmInternetParametersEdit::~TFrmInternetParametersEdit() = default;

}  // namespace manager
