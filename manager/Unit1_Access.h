#pragma once
// TAccessGroup: the group "Параметры доступа" of the first page. Changing
// operations open their access session with what it holds (manager/core/Access.h).

#include <QGroupBox>
#include <memory>

#include "manager/core/Access.h"

namespace Ui {
class TAccessGroup;
}

namespace manager {

class TAccessGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit TAccessGroup(QWidget* parent = nullptr);
    ~TAccessGroup() override;

    // Controls -> values (read again at every session opening) and back.
    core::AccessValues Values() const;
    void SetValues(const core::AccessValues& values);

private:
    std::unique_ptr<Ui::TAccessGroup> ui_;
};

}  // namespace manager
