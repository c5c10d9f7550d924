// The access fields of the first page.
#include "Unit1_Access.h"

#include "ui_Unit1_Access.h"

namespace manager {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string U8(const QString& s) { return s.toStdString(); }
}  // namespace

TAccessGroup::TAccessGroup(QWidget* parent) : QGroupBox(parent), ui_(std::make_unique<Ui::TAccessGroup>()) {
    ui_->setupUi(this);
    static_cast<QGridLayout*>(layout())->setColumnStretch(2, 1);
    SetValues({});
}

TAccessGroup::~TAccessGroup() = default;

core::AccessValues TAccessGroup::Values() const {
    core::AccessValues v;
    v.StartSeanseLevelComboBox = U8(ui_->StartSeanseLevelComboBox->currentText());
    v.StartSeansePasswordEdit = U8(ui_->StartSeansePasswordEdit->text());
    v.StartSeanceKeyAEdit = U8(ui_->StartSeanceKeyAEdit->text());
    v.StartSeanceKeyBEdit = U8(ui_->StartSeanceKeyBEdit->text());
    return v;
}

void TAccessGroup::SetValues(const core::AccessValues& v) {
    ui_->StartSeanseLevelComboBox->setCurrentText(Q(v.StartSeanseLevelComboBox));
    ui_->StartSeansePasswordEdit->setText(Q(v.StartSeansePasswordEdit));
    ui_->StartSeanceKeyAEdit->setText(Q(v.StartSeanceKeyAEdit));
    ui_->StartSeanceKeyBEdit->setText(Q(v.StartSeanceKeyBEdit));
}

}  // namespace manager
