#pragma once
// TFrmSetKeys: "Управление ключами доступа": the access keys A and B.

#include <memory>

#include "ServiceDialog.h"

namespace Ui {
class TFrmSetKeys;
}

namespace manager {

class TFrmSetKeys : public TRecordDialog<core::KeysValues> {
    Q_OBJECT
public:
    explicit TFrmSetKeys(TPageHost& host, QWidget* parent = nullptr);
    ~TFrmSetKeys() override;

private:
    std::unique_ptr<Ui::TFrmSetKeys> ui_;
};

}  // namespace manager
