#include "CalibrationCoeff.h"

#include "ui_CalibrationCoeff.h"

namespace manager {

TFrmCalibrationCoeff::TFrmCalibrationCoeff(TPageHost& host, QWidget* parent)
    : TRecordDialog(host, core::kCalibrationDialog, parent), ui_(std::make_unique<Ui::TFrmCalibrationCoeff>()) {
    ui_->setupUi(this);
    Prepare(ui_->ReadButton, ui_->WriteButton);
}

TFrmCalibrationCoeff::~TFrmCalibrationCoeff() = default;

}  // namespace manager
