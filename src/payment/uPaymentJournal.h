#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "db/fbConnection.h"
#include "payment/uPaymentClient.h"

// The kiosk's journal of card payment attempts (TBL_PAYMENT_ATTEMPTS). An attempt is written
// and committed before its request leaves for the terminal, and its state is committed at
// every answer, so that after a kill, a lost answer or a refused write the kiosk knows which
// payments to ask the terminal about. Each step is a transaction of its own: the sale's state
// and the attempt's change together or not at all.
namespace attempt {
// The request may have left; nothing is known yet.
inline const QString Sent = QStringLiteral("SENT");
// The terminal approved; the payment row is not written yet.
inline const QString Approved = QStringLiteral("APPROVED");
// The payment row is written: settled.
inline const QString Recorded = QStringLiteral("RECORDED");
inline const QString Declined = QStringLiteral("DECLINED");
inline const QString Aborted = QStringLiteral("ABORTED");
// The answer was lost or came too late.
inline const QString Unknown = QStringLiteral("UNKNOWN");
}  // namespace attempt

struct TPaymentAttempt {
    QString reference;
    int salesId = 0;
    qint64 amount = 0;  // minor units
    QString state;
};

class TPaymentJournal {
public:
    explicit TPaymentJournal(fb::Connection& conx) : conx_(conx) {}

    // Closes the sale (SALE_END) and writes its attempt in state SENT, both committed. The
    // reference is the sale and the time ("42-20261210184503"), with "-2", "-3"... for further
    // attempts of the sale within the same second.
    TPaymentAttempt begin(int salesId, qint64 amount, const QDateTime& now);
    void mark(const QString& reference, const QString& state, const QString& poiTransactionId = {});
    // The payment row of an approved attempt and the attempt's RECORDED state, in one
    // transaction; the sale stays closed. An attempt already recorded is left as it is, so a
    // payment row is written once per approval.
    void record(const TPaymentAttempt& attempt, qint64 amountCharged, const TransactionInfo& info,
                const QString& receiptPath, const QString& poiTransactionId);
    // A payment that took no money: the attempt ends in state (DECLINED or ABORTED) and the
    // sale is open again, for the customer to pay again or the housekeeping to void.
    void close(const TPaymentAttempt& attempt, const QString& state);

    // Attempts in state SENT, APPROVED or UNKNOWN: of one sale, or of every sale for 0.
    QList<TPaymentAttempt> unsettled(int salesId = 0);
    bool hasPayment(int salesId);
    // The sale of the payment recorded last (also one settled after its customer left); 0 when
    // there is none.
    int lastPaidSale();

    // The condition, on a sale header aliased h, that no attempt of the sale is unsettled.
    static QString NoUnsettledAttempt(const QString& alias);

private:
    fb::Connection& conx_;
};

// The stored payment columns' widths: a longer text from the terminal is cut to fit, with a
// log line, so that no terminal text can refuse an approved payment's row.
QString FitColumn(const QString& value, int width, const QString& column, const QString& reference);
