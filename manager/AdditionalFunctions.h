#pragma once
// TFrmAdditionalFunctions: "Дополнительные функции": the additional function flags.

#include <memory>

#include "ServiceDialog.h"

namespace Ui {
class TFrmAdditionalFunctions;
}

namespace manager {

class TFrmAdditionalFunctions : public TRecordDialog<core::FunctionsValues> {
    Q_OBJECT
public:
    explicit TFrmAdditionalFunctions(TPageHost& host, QWidget* parent = nullptr);
    ~TFrmAdditionalFunctions() override;

private:
    std::unique_ptr<Ui::TFrmAdditionalFunctions> ui_;
};

}  // namespace manager
