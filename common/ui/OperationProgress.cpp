#include "OperationProgress.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

#include "UiServices.h"
#include "common/core/Timings.h"
#include "common/core/Wait.h"

namespace common::ui {

namespace {
bool gCancelRequested = false;
QPointer<TFrmOperationProgress> gCurrent;
}  // namespace

bool CancelRequested() { return gCancelRequested; }
void SetCancelRequested(bool value) { gCancelRequested = value; }

TFrmOperationProgress::TFrmOperationProgress(QWidget* owner, const QString& caption) : QDialog(owner) {
    setObjectName(QStringLiteral("FrmOperationProgress"));
    setWindowTitle(caption);
    // Dialog border without a close box, above other windows.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setModal(true);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Button1 = new QPushButton(QStringLiteral("Отмена"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(common::timings().runnerStartMs);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addStretch();
    layout->addLayout(buttons);
    setMinimumSize(393, 85);
    resize(393, 85);

    // Creation clears both lines and the cancel request.
    Label1->clear();
    Label2->clear();
    gCancelRequested = false;

    connect(Button1, &QPushButton::clicked, this, [] { gCancelRequested = true; });
    connect(Timer1, &QTimer::timeout, this, &TFrmOperationProgress::Timer1Timer);
}

void TFrmOperationProgress::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Only the first activation starts the timer; later ones (after a message
    // box, say) must never start the operation a second time.
    if (!activated_ && (TheOperation || Wrapper)) {
        activated_ = true;
        Timer1->start();
    }
}

void TFrmOperationProgress::Timer1Timer() {
    Timer1->stop();
    if (!TheOperation) return;
    bool ok = false;
    try {
        ok = Wrapper ? Wrapper(TheOperation) : TheOperation();
    } catch (const std::exception& e) {
        ErrorText = QString::fromUtf8(e.what());
        ErrorBox(this, ErrorText);
        ok = false;
    }
    done(ok ? kResultOk : gCancelRequested ? kResultCancelled : kResultFailed);
}

int RunOperation(QWidget* owner, const QString& caption, const QString& title, const Operation& operation,
                 const std::function<bool(const Operation&)>& wrapper) {
    TFrmOperationProgress dialog(owner, caption);
    dialog.Label1->setText(title);
    dialog.TheOperation = operation;
    dialog.Wrapper = wrapper;
    if (owner) {
        const QPoint centre = owner->window()->frameGeometry().center();
        dialog.move(centre - QPoint(dialog.width() / 2, dialog.height() / 2));
    }
    QPointer<TFrmOperationProgress> previous = gCurrent;
    gCurrent = &dialog;
    const int result = dialog.exec();
    gCurrent = previous;
    return result;
}

void SetStep(const QString& text) {
    if (gCurrent) gCurrent->Label2->setText(text);
}

void InstallEventHook() {
    common::SetProcessEventsHook([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
}

}  // namespace common::ui
