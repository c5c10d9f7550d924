#include "ProgramShell.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include "FormatSettings.h"
#include "OperationProgress.h"

namespace common::ui {

namespace {

QString& Title() {
    static QString title;
    return title;
}

int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char b = 1;
    // Only async-signal-safe calls here; a full pipe means a wake-up is pending anyway.
    [[maybe_unused]] const auto n = ::write(gSignalPipe[1], &b, 1);
}

// Winds the program down once a termination signal arrived: cancel, dismiss
// boxes, close the window, and keep dismissing boxes the close may raise.
class Terminator : public QObject {
public:
    explicit Terminator(QWidget* window) : QObject(window), window_(window) {
        auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            char buf[16];
            [[maybe_unused]] const auto n = ::read(gSignalPipe[0], buf, sizeof buf);
            Start();
        });
        timer_.setInterval(50);
        connect(&timer_, &QTimer::timeout, this, [this] { Step(); });
    }

private:
    void Start() {
        if (timer_.isActive()) return;
        timer_.start();
        Step();
    }
    void Step() {
        bool modal = false;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || w == window_) continue;
            if (qobject_cast<TFrmOperationProgress*>(w)) {
                // The runner ends only through its operation: ask it to stop.
                if (!closing_) SetCancelRequested(true);
                modal = true;
            } else if (auto* d = qobject_cast<QDialog*>(w); d && d->isModal()) {
                d->reject();
                modal = true;
            }
        }
        if (modal || !window_ || !window_->isVisible()) return;
        // Again on every tick while the window stays: work that takes no
        // input (an InputBlocker) holds the close back until it has finished.
        closing_ = true;
        window_->close();
    }

    QPointer<QWidget> window_;
    QTimer timer_;
    bool closing_ = false;
};

}  // namespace

void SetUpProgram(const QString& applicationName, const QString& programTitle) {
    QApplication::setApplicationName(applicationName);
    Title() = programTitle;
    SetFormats(FormatsOfSystem());
}

QString ProgramTitle() { return Title().isEmpty() ? QApplication::applicationDisplayName() : Title(); }

void CloseOnTerminationSignals(QWidget* window) {
    if (gSignalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gSignalPipe) != 0)
        return;
    new Terminator(window);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

}  // namespace common::ui
