#pragma once
// What the dialogs of the administrative and service menus share. A dialog
// shows the values of one record (manager/core/ServiceRecords.h) in controls
// of the same names and runs the record's read and write
// (manager/core/ServiceDialogs.h) through the host's runner:
//   - a dialog that reads is shown only after its first read succeeded (a
//     failed first read has shown its error box, and nothing else appears);
//     while it is open, "Прочитать" reads again and "Записать" writes what it
//     shows; closing it writes nothing;
//   - a dialog without a read ("OK", "Отмена") writes when closed with "OK".

#include <QDialog>

#include "PageHost.h"
#include "common/core/Fields.h"
#include "manager/core/ServiceDialogs.h"

class QPushButton;

namespace manager {

class TServiceDialog : public QDialog {
    Q_OBJECT
public:
    // The whole command of the menu item: see above.
    void Execute();
    // One read into the dialog; true when it ran to success.
    virtual bool ReadFromMeter() = 0;
    // One write of what the dialog shows.
    virtual void WriteToMeter() = 0;

protected:
    TServiceDialog(TPageHost& host, QWidget* parent);
    // After setupUi: limits and items of the controls from the fields, the
    // values shown, the buttons bound (read may be nullptr; write is left
    // disabled when the record has no write).
    void Prepare(QPushButton* read, QPushButton* write, QPushButton* ok = nullptr, QPushButton* cancel = nullptr);

    virtual bool Reads() const = 0;
    virtual bool Writes() const = 0;
    virtual common::Fields Fields() = 0;

    TPageHost& host_;
};

// The dialog of one record: its values and its command.
template <class V>
class TRecordDialog : public TServiceDialog {
public:
    V Values;

    bool ReadFromMeter() override;
    void WriteToMeter() override;

protected:
    TRecordDialog(TPageHost& host, const core::DialogCommand<V>& command, QWidget* parent)
        : TServiceDialog(host, parent), command_(command) {}
    bool Reads() const override { return command_.read != nullptr; }
    bool Writes() const override { return command_.write != nullptr; }
    common::Fields Fields() override { return Values.Fields(); }

private:
    const core::DialogCommand<V>& command_;
};

// The runner's lines of the window.
QString RunnerTitle(const char* text);
// Runs a write that failed before anything was sent: its text in the error
// box and on the status line, like any other failure.
void RunRefusedWrite(TPageHost& host, const char* title, bool box, const std::string& text);
// Controls -> values; false with the reason.
bool TakeControls(QWidget* form, const common::Fields& fields, std::string& reason);
void ShowControls(QWidget* form, const common::Fields& fields);

template <class V>
bool TRecordDialog<V>::ReadFromMeter() {
    if (!command_.read) return false;
    V read = Values;
    // The controls that choose what is read (the channel of the speed dialog).
    std::string ignored;
    TakeControls(this, read.Fields(), ignored);
    const bool ok = host_.RunMeterOperation(RunnerTitle(command_.readTitle), false, false,
                                            [&](core::OperationContext& ctx) { return command_.read(ctx, read); });
    if (!ok || !host_.LastOperationCompleted()) return false;
    Values = read;
    ShowControls(this, Values.Fields());
    return true;
}

template <class V>
void TRecordDialog<V>::WriteToMeter() {
    if (!command_.write) return;
    V written = Values;  // the bytes the dialog does not show, as last read
    std::string reason;
    if (TakeControls(this, written.Fields(), reason) && command_.check) reason = command_.check(written);
    if (!reason.empty()) {
        RunRefusedWrite(host_, command_.writeTitle, command_.writeBox, command_.writeError + reason);
        return;
    }
    Values = written;
    host_.RunMeterOperation(RunnerTitle(command_.writeTitle), command_.writeBox, command_.writeAccess,
                            [&](core::OperationContext& ctx) { return command_.write(ctx, written); });
}

}  // namespace manager
