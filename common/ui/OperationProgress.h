#pragma once
// The operation runner: a small modal dialog that shows what is being done,
// offers "Отмена", runs one operation (a function returning true or false) on
// the window's thread and closes with a result code:
//   1 the operation returned true,
//   2 it returned false while cancel was requested,
//   3 it returned false otherwise.
// Long operations keep the dialog alive by processing pending events through
// the protocol layers' event hook; only then can "Отмена" be pressed.

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace common::ui {

using Operation = std::function<bool()>;

enum ModalResult { kResultOk = 1, kResultCancelled = 2, kResultFailed = 3 };

// Set by "Отмена", cleared when a runner dialog is created; operations poll it.
bool CancelRequested();
void SetCancelRequested(bool value);

class TFrmOperationProgress : public QDialog {
    Q_OBJECT
public:
    TFrmOperationProgress(QWidget* owner, const QString& caption);

    QLabel* Label1;        // the operation's title (bold)
    QLabel* Label2;        // the current step
    QPushButton* Button1;  // "Отмена"
    QTimer* Timer1;        // one-shot start of the operation

    Operation TheOperation;
    // When set, the timer hands the operation to this wrapper and takes its
    // result instead of calling the operation itself.
    std::function<bool(const Operation&)> Wrapper;

    // The text of an error that ended the operation by an exception.
    QString ErrorText;

    void reject() override {}  // Escape does not close it; only the operation does

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Timer1Timer();
    bool activated_ = false;
};

// Creates the dialog, shows it modally and returns its result (1, 2 or 3).
// An exception thrown by the operation ends it as a failure (result 3) after
// an error box with its text.
int RunOperation(QWidget* owner, const QString& caption, const QString& title, const Operation& operation,
                 const std::function<bool(const Operation&)>& wrapper = {});

// Writes the second line of the runner dialog that is open (if any).
void SetStep(const QString& text);

// Installs the event hook of the protocol layers: pending window events are
// processed during their waits.
void InstallEventHook();

}  // namespace common::ui
