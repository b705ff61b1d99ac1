#include "payment/uPaymentJournal.h"

#include <stdexcept>

#include "app/uLog.h"
#include "db/fbQuery.h"
#include "payment/uCheckout.h"

namespace {

const QString kUnsettledStates = QStringLiteral("('SENT', 'APPROVED', 'UNKNOWN')");

// The sale's amount due as a decimal, on a sale header aliased h.
QString AmountDueOf(const QString& alias) {
    return QStringLiteral(
               "%1.GROSS - %1.DISCOUNT - coalesce((select sum(p.\"VALUE\") from "
               "TBL_SALES_PAYMENTS p\r\n  where p.SALES_ID = %1.SALES_ID), 0)")
        .arg(alias);
}

void SetSaleEnd(fb::Query& q, int salesId, bool closed) {
    q.setSQL(closed ? QStringLiteral("update TBL_SALES_HEADERS set SALE_END = 'now'\r\n"
                                     " where SALES_ID = :SID and SALE_END is null")
                    : QStringLiteral("update TBL_SALES_HEADERS set SALE_END = null\r\n"
                                     " where SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.execSQL();
}

// After a payment: the sale is finished once its payments cover it (less than half a minor
// unit left), and stays open for the rest otherwise.
void FinishIfCovered(fb::Query& q, int salesId) {
    q.setSQL(QStringLiteral("update TBL_SALES_HEADERS h set SALE_END = case when ") +
             AmountDueOf(QStringLiteral("h")) +
             QStringLiteral(" < 0.005\r\n  then coalesce(h.SALE_END, cast('now' as timestamp)) "
                            "else null end\r\n where h.SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.execSQL();
}

void SetState(fb::Query& q, const QString& reference, const QString& state,
              const QString& poiTransactionId) {
    q.setSQL(
        QStringLiteral("update TBL_PAYMENT_ATTEMPTS set STATE = :ST, UPDATED = 'now',\r\n"
                       "  POI_TRANSACTION_ID = coalesce(:POI, POI_TRANSACTION_ID)\r\n"
                       " where PAY_REFERENCE = :REF"));
    q.bind(QStringLiteral("ST"), state)
        .bind(QStringLiteral("POI"),
              poiTransactionId.isEmpty() ? fb::Value() : fb::Value(poiTransactionId))
        .bind(QStringLiteral("REF"), reference);
    q.execSQL();
}

void SetDecision(fb::Query& q, const QString& reference, const QString& state,
                 const QString& decidedBy) {
    SetState(q, reference, state, {});
    q.setSQL(
        QStringLiteral("update TBL_PAYMENT_ATTEMPTS set DECIDED_BY = :BY, DECIDED_AT = 'now' where "
                       "PAY_REFERENCE = :REF"));
    q.bind(QStringLiteral("BY"), FitColumn(decidedBy, 60, "DECIDED_BY", reference))
        .bind(QStringLiteral("REF"), reference);
    q.execSQL();
}

QString UniqueReference(fb::Query& q, int salesId, const QDateTime& now) {
    const QString base = PaymentReference(salesId, now);
    q.setSQL(QStringLiteral(
        "select count(*) from TBL_PAYMENT_ATTEMPTS where PAY_REFERENCE starting with :REF"));
    q.bind(QStringLiteral("REF"), base);
    q.open();
    const int taken = q.field(0).toInt();
    q.close();
    return taken == 0 ? base : base + u'-' + QString::number(taken + 1);
}

bool PaymentWritten(fb::Query& q, const QString& reference) {
    q.setSQL(QStringLiteral("select count(*) from TBL_SALES_PAYMENTS where PAY_REFERENCE = :REF"));
    q.bind(QStringLiteral("REF"), reference);
    q.open();
    const bool written = q.field(0).toInt() > 0;
    q.close();
    return written;
}

// The payment row's values that do not come from the terminal's card details.
struct TPaymentRow {
    int salesId = 0;
    QString reference;
    qint64 amount = 0;
    QString receiptPath;
};

void InsertPayment(fb::Query& q, const TPaymentRow& row, const TransactionInfo* info,
                   const QString& authorisationCode, const QString& terminalId) {
    const QString& ref = row.reference;
    const auto text = [&](QString (TransactionInfo::*member)() const) {
        return info ? (info->*member)() : QString();
    };
    const QString scheme = text(&TransactionInfo::SchemeName);
    const QString pan =
        info ? info->PanFirst6Digits() + QStringLiteral("******") + info->PanLast4Digits()
             : QString();
    q.setSQL(QStringLiteral(
        "insert into TBL_SALES_PAYMENTS\r\n"
        "   (SALES_ID, MOP, \"VALUE\", AUTHCODE, MERCHANT_NO, PAN, SCHEME, TERMINAL_ID,\r\n"
        "    CUST_VERIFICATION, ENTRY_METHOD, CURRENCY, CC_RECEIPT, PAY_REFERENCE) values \r\n"
        "  (:SID, :MOP, :VAL, :ACD, :MER, :PAN, :SCH, :TID, :VER, :EMT, :CUR, :RCT, :REF)"));
    q.bind(QStringLiteral("SID"), row.salesId)
        .bind(QStringLiteral("MOP"), info ? SchemeIndex(scheme) : 0)
        .bind(QStringLiteral("VAL"), double(row.amount) / 100.0)
        .bind(QStringLiteral("ACD"), FitColumn(authorisationCode, 40, "AUTHCODE", ref))
        .bind(QStringLiteral("MER"),
              FitColumn(text(&TransactionInfo::MerchantNo), 40, "MERCHANT_NO", ref))
        .bind(QStringLiteral("PAN"), FitColumn(pan, 40, "PAN", ref))
        .bind(QStringLiteral("SCH"), FitColumn(scheme, 60, "SCHEME", ref))
        .bind(QStringLiteral("TID"), FitColumn(terminalId, 40, "TERMINAL_ID", ref))
        .bind(QStringLiteral("VER"), info ? info->CustomerVerification() : 0)
        .bind(QStringLiteral("EMT"), info ? info->DataEntryMethod() : 0)
        .bind(QStringLiteral("CUR"),
              FitColumn(text(&TransactionInfo::DccCurrencyCode), 10, "CURRENCY", ref))
        .bind(QStringLiteral("RCT"), FitColumn(row.receiptPath, 1000, "CC_RECEIPT", ref))
        .bind(QStringLiteral("REF"), ref);
    q.execSQL();
}

TPaymentAttempt AttemptOf(fb::Query& q) {
    return {q.field(0).toString(),
            q.field(1).toInt(),
            q.field(2).toInt64(),
            q.field(3).toString(),
            {q.field(4).toString(), q.field(5).toString()},
            q.field(6).toDateTime()};
}

const QString kAttemptColumns = QStringLiteral(
    "select PAY_REFERENCE, SALES_ID, AMOUNT, STATE, TERMINAL_ID, JOURNAL_ID, CREATED from "
    "TBL_PAYMENT_ATTEMPTS\r\n");

}  // namespace

QString FitColumn(const QString& value, int width, const QString& column,
                  const QString& reference) {
    if (value.size() <= width) return value;
    WriteLog(QStringLiteral("Card payment %1: the terminal's %2 is longer than %3 characters and "
                            "is stored cut to fit")
                 .arg(reference, column)
                 .arg(width),
             0);
    return value.left(width);
}

QString TPaymentJournal::NoUnsettledAttempt(const QString& alias) {
    return QStringLiteral(
               "not exists (select 1 from TBL_PAYMENT_ATTEMPTS a where a.SALES_ID = %1.SALES_ID\r\n"
               "  and a.STATE in %2)")
        .arg(alias, kUnsettledStates);
}

TPaymentAttempt TPaymentJournal::begin(int salesId, qint64 amount, const QDateTime& now,
                                       const TTerminalIdentity& terminal) {
    fb::Transaction transaction(conx_);
    fb::Query q(transaction);
    TPaymentAttempt attempt{
        UniqueReference(q, salesId, now), salesId, amount, attempt::Sent, terminal, now};
    SetSaleEnd(q, salesId, true);
    q.setSQL(QStringLiteral(
        "insert into TBL_PAYMENT_ATTEMPTS (PAY_REFERENCE, SALES_ID, AMOUNT, STATE, CREATED, "
        "UPDATED, TERMINAL_ID, JOURNAL_ID)\r\n values (:REF, :SID, :AMT, :ST, 'now', 'now', :TID, "
        ":JID)"));
    const auto optional = [](const QString& text) {
        return text.isEmpty() ? fb::Value() : fb::Value(text);
    };
    q.bind(QStringLiteral("REF"), attempt.reference)
        .bind(QStringLiteral("SID"), salesId)
        .bind(QStringLiteral("AMT"), amount)
        .bind(QStringLiteral("ST"), attempt.state)
        .bind(QStringLiteral("TID"),
              optional(FitColumn(terminal.terminalId, 40, "TerminalId", attempt.reference)))
        .bind(QStringLiteral("JID"),
              optional(FitColumn(terminal.journalId, 60, "JournalId", attempt.reference)));
    q.execSQL();
    q.close();
    transaction.commit();
    return attempt;
}

void TPaymentJournal::mark(const QString& reference, const QString& state,
                           const QString& poiTransactionId) {
    fb::Transaction transaction(conx_);
    fb::Query q(transaction);
    SetState(q, reference, state, poiTransactionId);
    q.close();
    transaction.commit();
}

void TPaymentJournal::finishWithoutPayment(int salesId) {
    fb::Query q(conx_);
    SetSaleEnd(q, salesId, true);
}

void TPaymentJournal::record(const TPaymentAttempt& attempt, qint64 amountCharged,
                             const TransactionInfo& info, const QString& receiptPath,
                             const QString& poiTransactionId) {
    fb::Transaction transaction(conx_);
    fb::Query q(transaction);
    if (!PaymentWritten(q, attempt.reference))
        InsertPayment(q, {attempt.salesId, attempt.reference, amountCharged, receiptPath}, &info,
                      info.AuthorisationCode(), info.TerminalId());
    FinishIfCovered(q, attempt.salesId);
    SetState(q, attempt.reference, attempt::Recorded, poiTransactionId);
    q.close();
    transaction.commit();
}

void TPaymentJournal::close(const TPaymentAttempt& attempt, const QString& state) {
    fb::Transaction transaction(conx_);
    fb::Query q(transaction);
    SetState(q, attempt.reference, state, {});
    SetSaleEnd(q, attempt.salesId, false);
    q.close();
    transaction.commit();
}

TPaymentAttempt TPaymentJournal::settledAttempt(fb::Query& q, const QString& reference) {
    q.setSQL(kAttemptColumns + QStringLiteral(" where PAY_REFERENCE = :REF and STATE in ") +
             kUnsettledStates);
    q.bind(QStringLiteral("REF"), reference);
    q.open();
    if (q.eof())
        throw std::runtime_error(
            QStringLiteral("The card payment %1 is no longer in doubt: it was settled meanwhile.")
                .arg(reference)
                .toStdString());
    TPaymentAttempt attempt = AttemptOf(q);
    q.close();
    return attempt;
}

void TPaymentJournal::decidePaid(const QString& reference, const QString& authorisationCode,
                                 const QString& decidedBy) {
    fb::Transaction transaction(conx_);
    fb::Query q(transaction);
    const TPaymentAttempt attempt = settledAttempt(q, reference);
    if (!PaymentWritten(q, reference))
        InsertPayment(q, {attempt.salesId, reference, attempt.amount, {}}, nullptr,
                      authorisationCode, attempt.terminal.terminalId);
    FinishIfCovered(q, attempt.salesId);
    SetDecision(q, reference, attempt::ResolvedPaid, decidedBy);
    q.close();
    transaction.commit();
}

void TPaymentJournal::decideNotPaid(const QString& reference, const QString& decidedBy) {
    fb::Transaction transaction(conx_);
    fb::Query q(transaction);
    const TPaymentAttempt attempt = settledAttempt(q, reference);
    SetDecision(q, reference, attempt::ResolvedNotPaid, decidedBy);
    SetSaleEnd(q, attempt.salesId, false);
    q.close();
    transaction.commit();
}

QList<TPaymentAttempt> TPaymentJournal::unsettled(int salesId) {
    fb::Query q(conx_);
    q.setSQL(kAttemptColumns + QStringLiteral(" where STATE in ") + kUnsettledStates +
             (salesId > 0 ? QStringLiteral(" and SALES_ID = :SID") : QString()) +
             QStringLiteral("\r\n order by CREATED, PAY_REFERENCE"));
    if (salesId > 0) q.bind(QStringLiteral("SID"), salesId);
    q.open();
    QList<TPaymentAttempt> attempts;
    for (; !q.eof(); q.next()) attempts.append(AttemptOf(q));
    q.close();
    return attempts;
}

int TPaymentJournal::lastPaidSale() {
    fb::Query q(conx_);
    q.setSQL(
        QStringLiteral("select first 1 SALES_ID from TBL_PAYMENT_ATTEMPTS where STATE in "
                       "('RECORDED', 'RESOLVED-PAID')\r\n order by UPDATED desc, PAY_REFERENCE "
                       "desc"));
    q.open();
    return q.eof() ? 0 : q.field(0).toInt();
}

bool TPaymentJournal::hasPayment(int salesId) {
    fb::Query q(conx_);
    q.setSQL(QStringLiteral("select count(*) from TBL_SALES_PAYMENTS where SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.open();
    return q.field(0).toInt() > 0;
}

qint64 TPaymentJournal::amountDue(int salesId) {
    fb::Query q(conx_);
    q.setSQL(QStringLiteral("select ") + AmountDueOf(QStringLiteral("h")) +
             QStringLiteral("\r\n from TBL_SALES_HEADERS h where h.SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.open();
    return q.eof() ? 0 : AmountInMinorUnits(q.field(0).toDouble());
}
