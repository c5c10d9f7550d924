#include "UiServices.h"

#include "ProgramShell.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace common::ui {

namespace {

class QtUi : public UiServices {
public:
    void Message(QWidget* owner, const QString& text, const QString& caption, BoxKind kind) override {
        QMessageBox box(kind == BoxKind::Error         ? QMessageBox::Critical
                        : kind == BoxKind::Information ? QMessageBox::Information
                                                       : QMessageBox::NoIcon,
                        caption, text, QMessageBox::Ok, owner);
        box.exec();
    }
    QString OpenFileName(QWidget* owner, const QString& caption, const QString& dir, const QString& filter) override {
        return QFileDialog::getOpenFileName(owner, caption, dir, filter);
    }
    QString SaveFileName(QWidget* owner, const QString& caption, const QString& dir, const QString& filter) override {
        return QFileDialog::getSaveFileName(owner, caption, dir, filter);
    }
};

UiServices*& Installed() {
    static UiServices* services = nullptr;
    return services;
}

}  // namespace

UiServices& Ui() {
    static QtUi real;
    UiServices* s = Installed();
    return s ? *s : real;
}

void SetUi(UiServices* services) { Installed() = services; }

void PlainBox(QWidget* owner, const QString& text) {
    Ui().Message(owner, text, ProgramTitle(), BoxKind::Plain);
}

}  // namespace common::ui
