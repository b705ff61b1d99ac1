#pragma once

#include <QList>
#include <QString>
#include <algorithm>

#include "db/fbConnection.h"
#include "payment/uPaymentClient.h"
#include "payment/uPaymentJournal.h"

// Settlement: every way an attempt in doubt comes to an end. The terminal is asked what became
// of it (an approval is recorded, a refusal closes it); at start, a payment an earlier run left
// waiting at the pad is aborted first, so no card is charged for a sale that is gone. What the
// terminal cannot answer for stays in doubt until it can, or until staff decide it.

// What asking the terminal about unsettled attempts came to.
struct TSettlement {
    QList<int> paidSales;      // sales whose payments now cover them
    QList<int> openedSales;    // sales open again: their payment took no money, or not all
    int unsettled = 0;         // attempts still in doubt
    bool unreachable = false;  // the terminal could not be asked
    QString problem;           // why they are in doubt, for the log
};

enum class TSettleMode {
    Ask,           // within a run: a payment in progress is this run's own, left to run
    AbortRunning,  // at start: a payment in progress belongs to a run that is gone
};

// Asks the terminal about every unsettled attempt (of one sale, or of all for salesId 0) and
// settles what it can: an approval is recorded with its payment row; a decline, an abort or a
// reference that the same terminal and journal never saw closes the attempt and opens the sale
// again. A NotFound from another terminal or journal proves nothing and leaves the attempt in
// doubt, as does a terminal that cannot be asked.
TSettlement SettlePayments(fb::Connection& conx, TPaymentClient& client, const QString& dataFolder,
                           int salesId = 0, TSettleMode mode = TSettleMode::Ask);

// An approved payment: its receipt file, then its payment row with the attempt recorded.
void RecordApproval(TPaymentJournal& journal, const TPaymentAttempt& attempt, qint64 charged,
                    const TransactionInfo& info, const QString& poiTransactionId,
                    const QString& dataFolder);

// A member of staff ends a doubt by the card receipt or the acquirer's statement; logged at
// level 0 with who decided.
void DecidePaid(fb::Connection& conx, const TPaymentAttempt& attempt,
                const QString& authorisationCode, const QString& decidedBy);
void DecideNotPaid(fb::Connection& conx, const TPaymentAttempt& attempt, const QString& decidedBy);

// How often the terminal is asked about attempts in doubt, counted in ticks of the screen's
// one-second clock: every tick while it answers, less often while it does not, up to every 30.
class TSettleBackOff {
public:
    // True when this tick should ask.
    bool due() { return --wait_ <= 0; }
    // After asking: a problem doubles the interval, an answer brings it back to one tick.
    void asked(bool problem) {
        interval_ = problem ? std::min(30, std::max(2, interval_ * 2)) : 1;
        wait_ = interval_;
    }
    int interval() const { return interval_; }

private:
    int interval_ = 1;
    int wait_ = 1;
};
