#pragma once
// Every message box, file dialog and input box of the programs goes through
// this interface: the programs use real Qt dialogs, window tests install a
// scripted double that answers and records.

#include <QString>

class QWidget;

namespace common::ui {

enum class BoxKind { Error, Information, Plain };

class UiServices {
public:
    virtual ~UiServices() = default;
    // A modal message box with one "OK" button.
    virtual void Message(QWidget* owner, const QString& text, const QString& caption, BoxKind kind) = 0;
    // A file to open / to save; empty when cancelled.
    virtual QString OpenFileName(QWidget* owner, const QString& caption, const QString& dir, const QString& filter) = 0;
    virtual QString SaveFileName(QWidget* owner, const QString& caption, const QString& dir, const QString& filter) = 0;
};

// The services in use (real dialogs unless a test installed its own).
UiServices& Ui();
// Installs services; nullptr restores the real dialogs. Not owned.
void SetUi(UiServices* services);

// The program's two standard boxes.
inline void ErrorBox(QWidget* owner, const QString& text) { Ui().Message(owner, text, QStringLiteral("Ошибка"), BoxKind::Error); }
inline void InfoBox(QWidget* owner, const QString& text) {
    Ui().Message(owner, text, QStringLiteral("Информация"), BoxKind::Information);
}
// A plain box captioned with the program title (ProgramShell.h).
void PlainBox(QWidget* owner, const QString& text);

}  // namespace common::ui
