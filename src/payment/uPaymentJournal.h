#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "db/fbConnection.h"
#include "payment/uPaymentClient.h"

// The kiosk's journal of card payment attempts (TBL_PAYMENT_ATTEMPTS), and every statement on
// them. An attempt is written and committed before its request leaves for the terminal, and its
// state is committed at every answer, so that after a kill, a lost answer or a refused write the
// kiosk knows which payments to ask the terminal about. Each step is a transaction of its own:
// the sale's state and the attempt's change together or not at all.
//
// While an attempt of a sale is unsettled the sale is frozen: it may have been charged at its
// present total, so nothing changes it until the attempt is settled or decided by staff.
namespace attempt {
// The request may have left; nothing is known yet.
inline const QString Sent = QStringLiteral("SENT");
// The terminal approved; the payment row is not written yet.
inline const QString Approved = QStringLiteral("APPROVED");
// The payment row is written: settled.
inline const QString Recorded = QStringLiteral("RECORDED");
inline const QString Declined = QStringLiteral("DECLINED");
inline const QString Aborted = QStringLiteral("ABORTED");
// The answer was lost, came too late or could not be read.
inline const QString Unknown = QStringLiteral("UNKNOWN");
// Decided by a member of staff from the card receipt or the acquirer's statement.
inline const QString ResolvedPaid = QStringLiteral("RESOLVED-PAID");
inline const QString ResolvedNotPaid = QStringLiteral("RESOLVED-NOT-PAID");
}  // namespace attempt

struct TPaymentAttempt {
    QString reference;
    int salesId = 0;
    qint64 amount = 0;  // minor units
    QString state;
    TTerminalIdentity terminal;  // where the request went
    QDateTime created;
};

class TPaymentJournal {
public:
    explicit TPaymentJournal(fb::Connection& conx) : conx_(conx) {}

    // Closes the sale (SALE_END) and writes its attempt in state SENT with the terminal it goes
    // to, both committed. The reference is the sale and the time ("42-20261210184503"), with
    // "-2", "-3"... for further attempts of the sale within the same second.
    TPaymentAttempt begin(int salesId, qint64 amount, const QDateTime& now,
                          const TTerminalIdentity& terminal);
    void mark(const QString& reference, const QString& state, const QString& poiTransactionId = {});
    // A sale finished without a card payment (nothing due, or test mode): its SALE_END.
    void finishWithoutPayment(int salesId);
    // The payment row of an approved attempt and the attempt's RECORDED state, in one
    // transaction. The sale is finished when its payments now cover its total, and open for the
    // rest otherwise. An attempt already recorded is left as it is, so a payment row is written
    // once per approval.
    void record(const TPaymentAttempt& attempt, qint64 amountCharged, const TransactionInfo& info,
                const QString& receiptPath, const QString& poiTransactionId);
    // A payment that took no money: the attempt ends in state (DECLINED or ABORTED) and the
    // sale is open again, for the customer to pay again or the housekeeping to void.
    void close(const TPaymentAttempt& attempt, const QString& state);
    // Staff decided an attempt in doubt: paid (its payment row with the authorisation code from
    // the card receipt, the sale finished when covered) or not paid (the sale open again). Raises
    // std::runtime_error when the attempt is no longer unsettled.
    void decidePaid(const QString& reference, const QString& authorisationCode,
                    const QString& decidedBy);
    void decideNotPaid(const QString& reference, const QString& decidedBy);

    // Attempts in state SENT, APPROVED or UNKNOWN: of one sale, or of every sale for 0; the
    // oldest first.
    QList<TPaymentAttempt> unsettled(int salesId = 0);
    bool frozen(int salesId) { return !unsettled(salesId).isEmpty(); }
    bool hasPayment(int salesId);
    // The sale of the payment recorded last (also one settled after its customer left); 0 when
    // there is none.
    int lastPaidSale();
    // What the sale still owes in minor units: GROSS - DISCOUNT less its recorded payments.
    qint64 amountDue(int salesId);

    // The condition, on a sale header aliased h, that no attempt of the sale is unsettled.
    static QString NoUnsettledAttempt(const QString& alias);

private:
    TPaymentAttempt settledAttempt(fb::Query& q, const QString& reference);

    fb::Connection& conx_;
};

// The stored payment columns' widths: a longer text from the terminal is cut to fit, with a
// log line, so that no terminal text can refuse an approved payment's row.
QString FitColumn(const QString& value, int width, const QString& column, const QString& reference);
