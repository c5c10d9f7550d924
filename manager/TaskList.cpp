// The task list of the parameter jobs.
#include "TaskList.h"

#include <QStyle>

#include "ui_TaskList.h"

namespace manager {

TFrmTaskList::TFrmTaskList(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TFrmTaskList>()) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);  // a dialog border: not resized
    for (const core::ParameterRowTexts& row : core::ParameterRows()) {
        auto* item = new QListWidgetItem(QString::fromUtf8(row.task), ui_->CheckListBox1);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
    // Six rows without a scroll bar.
    const int rowHeight = ui_->CheckListBox1->sizeHintForRow(0);
    ui_->CheckListBox1->setFixedHeight(rowHeight * core::kParameterRows + 2 * ui_->CheckListBox1->frameWidth() + 4);
    ui_->CheckListBox1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    ui_->CheckListBox1->setMinimumWidth(ui_->CheckListBox1->sizeHintForColumn(0) + 24);
    ui_->SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DialogYesButton));
    ui_->SpeedButton2->setIcon(style()->standardIcon(QStyle::SP_DialogNoButton));
    connect(ui_->SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton2Click(0); });
    connect(ui_->SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(1); });
    connect(ui_->OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmTaskList::~TFrmTaskList() = default;

core::ParameterTicks TFrmTaskList::Ticks() const {
    core::ParameterTicks t{};
    for (int i = 0; i < core::kParameterRows; ++i)
        t[static_cast<std::size_t>(i)] = ui_->CheckListBox1->item(i)->checkState() == Qt::Checked;
    return t;
}

void TFrmTaskList::SpeedButton2Click(int tag) {
    for (int i = 0; i < ui_->CheckListBox1->count(); ++i)
        ui_->CheckListBox1->item(i)->setCheckState(tag == 0 ? Qt::Checked : Qt::Unchecked);
}

}  // namespace manager
