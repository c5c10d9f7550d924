#pragma once
// A UI-services double for window tests: records every message box and file
// dialog, answers file dialogs from a queue, and never blocks.

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "common/ui/UiServices.h"

namespace testsupport {

struct RecordedBox {
    QString text;
    QString caption;
    common::ui::BoxKind kind;
};

class ScriptedUi : public common::ui::UiServices {
public:
    ScriptedUi() { common::ui::SetUi(this); }
    ~ScriptedUi() override { common::ui::SetUi(nullptr); }

    void Message(QWidget*, const QString& text, const QString& caption, common::ui::BoxKind kind) override {
        boxes.push_back({text, caption, kind});
        if (onMessage) onMessage(boxes.back());
    }
    QString OpenFileName(QWidget*, const QString& caption, const QString&, const QString&) override {
        fileDialogs << caption;
        return Next();
    }
    QString SaveFileName(QWidget*, const QString& caption, const QString&, const QString&) override {
        fileDialogs << caption;
        return Next();
    }

    // The last box (an empty record when none).
    RecordedBox Last() const { return boxes.empty() ? RecordedBox{} : boxes.back(); }
    void Clear() { boxes.clear(); }

    std::vector<RecordedBox> boxes;
    QStringList fileDialogs;
    std::deque<QString> fileAnswers;
    std::function<void(const RecordedBox&)> onMessage;

private:
    QString Next() {
        if (fileAnswers.empty()) return {};
        QString s = fileAnswers.front();
        fileAnswers.pop_front();
        return s;
    }
};

// Runs f once the next modal dialog of type D is open (from a zero-time timer
// that polls for it), so a test can drive a dialog opened by exec().
void WhenDialogOpens(const char* className, std::function<void(QWidget*)> f, int timeoutMs = 10000);

}  // namespace testsupport
