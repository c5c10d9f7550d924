// The first page: addressing, access and exchange parameters, the log memo
// and the PLC base station's meter list.
#include "Unit1_Addressing.h"

#include <QRegularExpressionValidator>
#include <QSpinBox>

#include "PageHost.h"
#include "common/ui/InputBlocker.h"
#include "ui_Unit1_Addressing.h"

namespace manager {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string U8(const QString& s) { return s.toStdString(); }
}  // namespace

TAddressingPage::TAddressingPage(TPageHost& host, QWidget* parent)
    : QWidget(parent), host_(host), ui_(std::make_unique<Ui::TAddressingPage>()) {
    ui_->setupUi(this);
    // A meter number is an unsigned 32-bit value.
    ui_->MeterNumEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,10}")), ui_->MeterNumEdit));
    MeterVersionEdit = new QSpinBox(ui_->AddressingGroupBox);
    MeterVersionEdit->setObjectName(QStringLiteral("MeterVersionEdit"));
    MeterVersionEdit->setRange(0, 65535);
    MeterVersionEdit->setVisible(false);
    ui_->AddrParametersLabel->setVisible(false);
    ui_->AddrParametersEdit->setVisible(false);
    ui_->GetPLCBaseInfoButton->setVisible(false);

    using E = core::ExchangeValues;
    ui_->MaxTryCountEdit->setRange(E::kMaxTryCountMin, E::kMaxTryCountMax);
    ui_->MaxTimeoutEdit->setRange(E::kMaxTimeoutMin, E::kMaxTimeoutMax);
    ui_->RetryIntervalEdit->setRange(E::kRetryIntervalMin, E::kRetryIntervalMax);
    const core::AddressingValues a;
    ui_->MeterNumEdit->setText(Q(a.MeterNumEdit));
    MeterVersionEdit->setValue(a.MeterVersionEdit);
    const E e;
    ui_->MaxTryCountEdit->setValue(e.MaxTryCountEdit);
    ui_->MaxTimeoutEdit->setValue(e.MaxTimeoutEdit);
    ui_->RetryIntervalEdit->setValue(e.RetryIntervalEdit);

    connect(ui_->GetPLCBaseInfoButton, &QPushButton::clicked, this, [this] { GetPLCBaseInfoButtonClick(); });
}

TAddressingPage::~TAddressingPage() = default;

core::AddressingValues TAddressingPage::Addressing() const {
    core::AddressingValues v;
    v.MeterNumEdit = U8(ui_->MeterNumEdit->text());
    v.MeterVersionEdit = MeterVersionEdit->value();
    v.AddrParametersEdit = U8(ui_->AddrParametersEdit->text());
    return v;
}

core::AccessValues TAddressingPage::Access() const { return ui_->AccessGroupBox->Values(); }

core::ExchangeValues TAddressingPage::Exchange() const {
    core::ExchangeValues v;
    v.MaxTryCountEdit = ui_->MaxTryCountEdit->value();
    v.MaxTimeoutEdit = ui_->MaxTimeoutEdit->value();
    v.RetryIntervalEdit = ui_->RetryIntervalEdit->value();
    return v;
}

void TAddressingPage::ShowAddressingFor(int connectionType) {
    const bool extra = meter34::ControllerPossible(connectionType);
    ui_->AddrParametersLabel->setVisible(extra);
    ui_->AddrParametersEdit->setVisible(extra);
}

void TAddressingPage::SetConnected(bool connected, int connectionType) {
    for (QWidget* w : {static_cast<QWidget*>(ui_->MeterNumEdit), static_cast<QWidget*>(MeterVersionEdit),
                       static_cast<QWidget*>(ui_->AddrParametersEdit), static_cast<QWidget*>(ui_->GetPLCBaseInfoButton)})
        w->setEnabled(connected);
    if (connected) ui_->GetPLCBaseInfoButton->setVisible(meter34::IsPlcType(connectionType));
}

void TAddressingPage::AddLogLine(const QString& text) { ui_->Memo1->appendPlainText(text); }

void TAddressingPage::GetPLCBaseInfoButtonClick() {
    if (!host_.IsConnected()) return;
    // The list runs in the button's event, without the runner: its waits
    // let pending events run, so the window must take no input meanwhile
    // (no second list, no disconnect, no exit while the station is asked).
    common::ui::InputBlocker blocker;
    host_.Connection().ListPlcMeters([this](const std::string& line) { AddLogLine(Q(line)); });
}

}  // namespace manager
