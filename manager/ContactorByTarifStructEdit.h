#pragma once
// TFrmContactorByTarifStructEdit: "Управление контактором по тарифам": switch on or off per tariff.

#include <memory>

#include "ServiceDialog.h"

namespace Ui {
class TFrmContactorByTarifStructEdit;
}

namespace manager {

class TFrmContactorByTarifStructEdit : public TRecordDialog<core::ContactorTariffValues> {
    Q_OBJECT
public:
    explicit TFrmContactorByTarifStructEdit(TPageHost& host, QWidget* parent = nullptr);
    ~TFrmContactorByTarifStructEdit() override;

private:
    std::unique_ptr<Ui::TFrmContactorByTarifStructEdit> ui_;
};

}  // namespace manager
