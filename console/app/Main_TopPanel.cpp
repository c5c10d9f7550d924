// The top panel of the main window.
#include "Main_TopPanel.h"

#include <QStandardItemModel>

#include "ui_Main_TopPanel.h"

namespace console {

TTopPanel::TTopPanel(QWidget* parent) : QFrame(parent), ui_(std::make_unique<Ui::TTopPanel>()) {
    ui_->setupUi(this);
    using V = core::TopPanelValues;
    const V defaults;
    ui_->CounterNumEdit->setRange(0, static_cast<int>(V::kCounterNumMax));
    ui_->CounterNumEdit->setValue(static_cast<int>(defaults.CounterNumEdit));
    // The identifier is an unsigned 32-bit number: a double holds it exactly.
    ui_->CounterIdentEdit->setRange(0, V::kCounterIdentMax);
    ui_->CounterIdentEdit->setValue(defaults.CounterIdentEdit);
    ui_->CurrentPasswordEdit->setText(QString::fromStdString(defaults.CurrentPasswordEdit));
    ui_->CurrentPasswordEdit->setVisible(false);

#ifdef OSTRILON_SERIAL_ONLY
    // Every operation opens the port itself: no selector, no connect buttons.
    for (QWidget* w : {static_cast<QWidget*>(ui_->ConnectionTypeLabel), static_cast<QWidget*>(ui_->ConnectionTypeComboBox),
                       static_cast<QWidget*>(ui_->ConnectButton), static_cast<QWidget*>(ui_->DisconnectButton)})
        delete w;
    ui_->Panel1Layout->removeItem(ui_->ConnectionSpacer);
    delete ui_->ConnectionSpacer;
#else
    // Dialing is not part of this program: the modem stays listed but cannot be chosen.
    if (auto* model = qobject_cast<QStandardItemModel*>(ui_->ConnectionTypeComboBox->model()))
        model->item(kModem)->setEnabled(false);
    ui_->ConnectionTypeComboBox->setCurrentIndex(kRS232);
    connect(ui_->ConnectButton, &QPushButton::clicked, this, [this] { Q_EMIT ConnectButtonClick(); });
    connect(ui_->DisconnectButton, &QPushButton::clicked, this, [this] { Q_EMIT DisconnectButtonClick(); });
#endif
}

TTopPanel::~TTopPanel() = default;

core::TopPanelValues TTopPanel::Values() const {
    core::TopPanelValues v;
    v.CounterNumEdit = static_cast<std::uint32_t>(ui_->CounterNumEdit->value());
    v.CounterIdentEdit = static_cast<std::uint32_t>(ui_->CounterIdentEdit->value());
    v.CurrentPasswordEdit = ui_->CurrentPasswordEdit->text().toStdString();
    return v;
}

#ifndef OSTRILON_SERIAL_ONLY

int TTopPanel::SelectedConnection() const { return ui_->ConnectionTypeComboBox->currentIndex(); }

void TTopPanel::ShowLinkOpen(bool open) {
    ui_->ConnectButton->setEnabled(!open);
    ui_->DisconnectButton->setEnabled(open);
    ui_->ConnectionTypeComboBox->setEnabled(!open);
}

#endif

}  // namespace console
