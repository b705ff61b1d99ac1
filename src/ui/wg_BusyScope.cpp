#include "ui/wg_BusyScope.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include "app/uStopSignals.h"

namespace {

// How often a wait looks at the stop flag, which a signal handler sets without waking the
// event loop.
constexpr int StopPollMs = 20;

int gDepth = 0;

}  // namespace

TBusyScope::TBusyScope(QWidget* blockInput)
    : window_(blockInput),
      focus_(QApplication::focusWidget()),
      wasEnabled_(blockInput && blockInput->isEnabled()) {
    ++gDepth;
    if (window_) window_->setEnabled(false);
}

TBusyScope::~TBusyScope() {
    --gDepth;
    if (!window_) return;
    window_->setEnabled(wasEnabled_);
    // The main screen's scan buffer must have the keyboard again, or the next scan would go
    // nowhere.
    if (focus_ && focus_->isEnabled()) {
        focus_->activateWindow();
        focus_->setFocus();
    }
}

bool TBusyScope::active() {
    return gDepth > 0;
}

void TBusyScope::wait(int ms) {
    if (ms <= 0 || StopRequested()) return;
    QEventLoop loop;
    QTimer done;
    done.setSingleShot(true);
    QObject::connect(&done, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, &loop, [&loop] {
        if (StopRequested()) loop.quit();
    });
    done.start(ms);
    stopPoll.start(StopPollMs);
    loop.exec();
}

void TBusyScope::keepAlive() {
    QCoreApplication::processEvents();
}
