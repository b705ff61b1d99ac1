#pragma once

#include <QString>

#include <exception>

// The exit status of a start that cannot go on (no database, the engine missing, the schema
// update refused). It is not 0, so a service manager sees a failure, and the kiosk's unit lists
// it as one not to restart: starting again would fail the same way.
inline constexpr int ExitCannotStart = 78;

// The first reason why the kiosk cannot start, told at once where an engineer looks: a level-0
// line in the log, one line on standard error (the journal of an installed kiosk) and the
// service manager's status line.
class TStartFailure {
public:
    // Tells the reason unless one was told already; never raises.
    void report(const QString& reason) noexcept;
    bool reported() const { return !reason_.isEmpty(); }
    const QString& reason() const { return reason_; }
    // ExitCannotStart once a reason was told, else 0 (a deliberate stop).
    int exitStatus() const { return reported() ? ExitCannotStart : 0; }

private:
    QString reason_;
};

// "Cannot start: <what>: <the error's message on one line>"; an engine that is not there is
// named as such, whatever database was being opened.
QString StartFailureReason(const QString& what, const std::exception& error);
