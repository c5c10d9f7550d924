#pragma once
// TFrmSetUserPassword: "Управление паролями доступа": the password of an access level.

#include <memory>

#include "ServiceDialog.h"

namespace Ui {
class TFrmSetUserPassword;
}

namespace manager {

class TFrmSetUserPassword : public TRecordDialog<core::UserPasswordValues> {
    Q_OBJECT
public:
    explicit TFrmSetUserPassword(TPageHost& host, QWidget* parent = nullptr);
    ~TFrmSetUserPassword() override;

private:
    std::unique_ptr<Ui::TFrmSetUserPassword> ui_;
};

}  // namespace manager
