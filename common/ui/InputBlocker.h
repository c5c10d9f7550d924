#pragma once
// While an InputBlocker lives, no window of the program takes user input:
// mouse, keyboard, wheel, touch, shortcuts and close requests are dropped,
// while painting, timers and the protocol layers' own events go on. For work
// that runs in a button's event without the runner (its waits let pending
// events run) and must not be interrupted or overtaken by another command.

#include <QObject>

namespace common::ui {

class InputBlocker : public QObject {
public:
    InputBlocker();
    ~InputBlocker() override;
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace common::ui
