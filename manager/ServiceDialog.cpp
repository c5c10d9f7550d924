#include "ServiceDialog.h"

#include <QPushButton>

#include "common/ui/FieldBinding.h"

namespace manager {

TServiceDialog::TServiceDialog(TPageHost& host, QWidget* parent) : QDialog(parent), host_(host) {}

void TServiceDialog::Prepare(QPushButton* read, QPushButton* write, QPushButton* ok, QPushButton* cancel) {
    const common::Fields fields = Fields();
    common::ui::PrepareControls(this, fields);
    common::ui::ShowFields(this, fields);
    // Enter in a field neither reads over what was typed nor writes it.
    for (QPushButton* b : {read, write})
        if (b) b->setAutoDefault(false);
    if (read) connect(read, &QPushButton::clicked, this, [this] { ReadFromMeter(); });
    if (write && Writes() && !ok) connect(write, &QPushButton::clicked, this, [this] { WriteToMeter(); });
    else if (write && !Writes()) write->setEnabled(false);
    if (ok) connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    if (cancel) connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TServiceDialog::Execute() {
    if (Reads()) {
        if (!ReadFromMeter()) return;
        exec();
        return;
    }
    if (exec() == QDialog::Accepted) WriteToMeter();
}

QString RunnerTitle(const char* text) { return QString::fromUtf8(text ? text : ""); }

void RunRefusedWrite(TPageHost& host, const char* title, bool box, const std::string& text) {
    host.RunMeterOperation(RunnerTitle(title), box, false, [text](core::OperationContext& ctx) {
        ctx.StatusText = text;
        return false;
    });
}

bool TakeControls(QWidget* form, const common::Fields& fields, std::string& reason) {
    QString error;
    if (common::ui::TakeFields(form, fields, error)) return true;
    reason = error.toStdString();
    return false;
}

void ShowControls(QWidget* form, const common::Fields& fields) { common::ui::ShowFields(form, fields); }

}  // namespace manager
