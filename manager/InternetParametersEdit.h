#pragma once
// TFrmInternetParametersEdit: "Параметры Internet подключения": APN, server port and GPRS.

#include <memory>

#include "ServiceDialog.h"

namespace Ui {
class TFrmInternetParametersEdit;
}

namespace manager {

class TFrmInternetParametersEdit : public TRecordDialog<core::InternetValues> {
    Q_OBJECT
public:
    explicit TFrmInternetParametersEdit(TPageHost& host, QWidget* parent = nullptr);
    ~TFrmInternetParametersEdit() override;

private:
    std::unique_ptr<Ui::TFrmInternetParametersEdit> ui_;
};

}  // namespace manager
