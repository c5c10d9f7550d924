#pragma once
// TFrmLoraPowerEdit: "Мощность LoRa": the radio power level.

#include <memory>

#include "ServiceDialog.h"

namespace Ui {
class TFrmLoraPowerEdit;
}

namespace manager {

class TFrmLoraPowerEdit : public TRecordDialog<core::LoraPowerValues> {
    Q_OBJECT
public:
    explicit TFrmLoraPowerEdit(TPageHost& host, QWidget* parent = nullptr);
    ~TFrmLoraPowerEdit() override;

private:
    std::unique_ptr<Ui::TFrmLoraPowerEdit> ui_;
};

}  // namespace manager
