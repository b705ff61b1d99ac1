#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "db/fbQuery.h"
#include "payment/uPaymentJournal.h"

// Card payments in doubt as staff see them, and who may decide them.

// A member of staff who may end a payment's doubt: one with the manager's right (the third
// flag of ACCESS, "Y") or the built-in code with every right.
struct TDoubtDecider {
    bool allowed = false;
    QString name;     // who decided, as stored and logged
    QString refusal;  // why the card may not decide, for the screen
};
TDoubtDecider DoubtDeciderOfCode(fb::Query& q, const QString& code);

// One line of the list: sale, amount, time, terminal and how long it has been in doubt.
QString DoubtRowText(const TPaymentAttempt& attempt, const QDateTime& now);

// How long an attempt may stay in doubt before the engineer page and the log call for a
// decision.
inline constexpr qint64 kLongDoubtSeconds = 24 * 60 * 60;
// The attempts in doubt for longer than that, the oldest first.
QList<TPaymentAttempt> LongDoubts(const QList<TPaymentAttempt>& unsettled, const QDateTime& now);

// The engineer page's warning about those, empty when there are none.
QString LongDoubtNotice(const QList<TPaymentAttempt>& unsettled, const QDateTime& now);
