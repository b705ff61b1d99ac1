#pragma once

#include <QDateTime>

// The one source of "now" for the core. Tests install a clock of their own so that a sale, a
// day end or a log file name can be examined at any chosen moment.
class Clock {
public:
    virtual ~Clock() = default;

    // Local date and time.
    virtual QDateTime now() const;

    // The installed clock; the system clock unless a test installed another.
    static Clock& instance();

    // Installs a clock that the caller keeps alive while installed; nullptr restores the
    // system clock.
    static void setInstance(Clock* clock);
};
