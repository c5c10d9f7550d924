#pragma once
// TFrmTaskList: the task list of the parameter jobs ("Файл задания"): which
// of the six blocks a read or a write takes part in. Created once with the
// page; the ticks stay as the user left them for the program's life (also
// after "Отмена").

#include <QDialog>
#include <memory>

#include "manager/core/ParameterJobs.h"

namespace Ui {
class TFrmTaskList;
}

namespace manager {

class TFrmTaskList : public QDialog {
    Q_OBJECT
public:
    explicit TFrmTaskList(QWidget* parent = nullptr);
    ~TFrmTaskList() override;

    core::ParameterTicks Ticks() const;
    // The two flat buttons: tag 0 ticks every row, tag 1 clears every row.
    void SpeedButton2Click(int tag);

private:
    std::unique_ptr<Ui::TFrmTaskList> ui_;
};

}  // namespace manager
