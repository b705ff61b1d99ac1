#include "app/uClock.h"

#include <atomic>

namespace {

Clock& systemClock() {
    static Clock clock;
    return clock;
}

std::atomic<Clock*> installed{nullptr};

}  // namespace

QDateTime Clock::now() const {
    return QDateTime::currentDateTime();
}

Clock& Clock::instance() {
    Clock* clock = installed.load();
    return clock ? *clock : systemClock();
}

void Clock::setInstance(Clock* clock) {
    installed.store(clock);
}
