#pragma once

#include <QDateTime>

#include "app/uClock.h"

// A clock that stands still at whatever moment the test sets.
class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime now = QDateTime::currentDateTime()) : now_(std::move(now)) {}

    QDateTime now() const override { return now_; }
    void set(const QDateTime& now) { now_ = now; }
    void advance(qint64 msecs) { now_ = now_.addMSecs(msecs); }

private:
    QDateTime now_;
};

// Installs a FixedClock for the life of the guard, then puts back the clock that was installed
// before (the system clock, normally).
class FixedClockGuard {
public:
    explicit FixedClockGuard(const QDateTime& now = QDateTime::currentDateTime())
        : clock_(now), previous_(&Clock::instance()) {
        Clock::setInstance(&clock_);
    }
    ~FixedClockGuard() { Clock::setInstance(previous_); }
    FixedClockGuard(const FixedClockGuard&) = delete;
    FixedClockGuard& operator=(const FixedClockGuard&) = delete;

    FixedClock& clock() { return clock_; }
    void set(const QDateTime& now) { clock_.set(now); }

private:
    FixedClock clock_;
    Clock* previous_;
};
