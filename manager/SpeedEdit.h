#pragma once
// TFrmSpeedEdit: "Управление скоростью обмена модулей": speed and type of one interface channel.

#include <memory>

#include "ServiceDialog.h"

namespace Ui {
class TFrmSpeedEdit;
}

namespace manager {

class TFrmSpeedEdit : public TRecordDialog<core::SpeedValues> {
    Q_OBJECT
public:
    explicit TFrmSpeedEdit(TPageHost& host, QWidget* parent = nullptr);
    ~TFrmSpeedEdit() override;

private:
    std::unique_ptr<Ui::TFrmSpeedEdit> ui_;
};

}  // namespace manager
