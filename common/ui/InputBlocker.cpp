#include "InputBlocker.h"

#include <QApplication>
#include <QEvent>

namespace common::ui {

InputBlocker::InputBlocker() { qApp->installEventFilter(this); }

InputBlocker::~InputBlocker() { qApp->removeEventFilter(this); }

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
            return true;
        case QEvent::Close:
            // A close request from the window system waits until the work is done.
            if (watched->isWidgetType()) {
                event->ignore();
                return true;
            }
            return false;
        default:
            return QObject::eventFilter(watched, event);
    }
}

}  // namespace common::ui
