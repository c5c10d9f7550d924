#pragma once
// TFrmVoltageStructEdit: "Пороги напряжений": the voltage thresholds of the contactor control.

#include <memory>

#include "ServiceDialog.h"

namespace Ui {
class TFrmVoltageStructEdit;
}

namespace manager {

class TFrmVoltageStructEdit : public TRecordDialog<core::VoltageValues> {
    Q_OBJECT
public:
    explicit TFrmVoltageStructEdit(TPageHost& host, QWidget* parent = nullptr);
    ~TFrmVoltageStructEdit() override;

private:
    std::unique_ptr<Ui::TFrmVoltageStructEdit> ui_;
};

}  // namespace manager
