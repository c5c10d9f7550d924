#pragma once
// TFrmCoefficientEdit: "Число поверочных импульсов": verification pulses per kW*h and their flags.

#include <memory>

#include "ServiceDialog.h"

namespace Ui {
class TFrmCoefficientEdit;
}

namespace manager {

class TFrmCoefficientEdit : public TRecordDialog<core::PulsesValues> {
    Q_OBJECT
public:
    explicit TFrmCoefficientEdit(TPageHost& host, QWidget* parent = nullptr);
    ~TFrmCoefficientEdit() override;

private:
    std::unique_ptr<Ui::TFrmCoefficientEdit> ui_;
};

}  // namespace manager
