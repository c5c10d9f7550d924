#pragma once
// TFrmCalibrationCoeff: "Калибровочные коэффициенты": shown only; the meter takes no write of them.

#include <memory>

#include "ServiceDialog.h"

namespace Ui {
class TFrmCalibrationCoeff;
}

namespace manager {

class TFrmCalibrationCoeff : public TRecordDialog<core::CalibrationValues> {
    Q_OBJECT
public:
    explicit TFrmCalibrationCoeff(TPageHost& host, QWidget* parent = nullptr);
    ~TFrmCalibrationCoeff() override;

private:
    std::unique_ptr<Ui::TFrmCalibrationCoeff> ui_;
};

}  // namespace manager
