#include "payment/uPaymentJournal.h"

#include "app/uLog.h"
#include "db/fbQuery.h"
#include "payment/uCheckout.h"

namespace {

void SetSaleEnd(fb::Query& q, int salesId, bool closed) {
    q.setSQL(closed ? QStringLiteral("update TBL_SALES_HEADERS set SALE_END = 'now'\r\n"
                                     " where SALES_ID = :SID and SALE_END is null")
                    : QStringLiteral("update TBL_SALES_HEADERS set SALE_END = null\r\n"
                                     " where SALES_ID = :SID"));
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

}  // namespace

QString FitColumn(const QString& value, int width, const QString& column,
                  const QString& reference) {
    if (value.size() <= width) return value;
    WriteLog(QStringLiteral("Card payment %1: the terminal's %2 \"%3\" is longer than %4 "
                            "characters and is stored cut to fit")
                 .arg(reference, column, value)
                 .arg(width),
             0);
    return value.left(width);
}

QString TPaymentJournal::NoUnsettledAttempt(const QString& alias) {
    return QStringLiteral(
               "not exists (select 1 from TBL_PAYMENT_ATTEMPTS a where a.SALES_ID = %1.SALES_ID\r\n"
               "  and a.STATE in ('SENT', 'APPROVED', 'UNKNOWN'))")
        .arg(alias);
}

TPaymentAttempt TPaymentJournal::begin(int salesId, qint64 amount, const QDateTime& now) {
    fb::Transaction transaction(conx_);
    fb::Query q(transaction);
    TPaymentAttempt attempt{UniqueReference(q, salesId, now), salesId, amount, attempt::Sent};
    SetSaleEnd(q, salesId, true);
    q.setSQL(QStringLiteral(
        "insert into TBL_PAYMENT_ATTEMPTS (PAY_REFERENCE, SALES_ID, AMOUNT, STATE, CREATED, "
        "UPDATED)\r\n values (:REF, :SID, :AMT, :ST, 'now', 'now')"));
    q.bind(QStringLiteral("REF"), attempt.reference)
        .bind(QStringLiteral("SID"), salesId)
        .bind(QStringLiteral("AMT"), amount)
        .bind(QStringLiteral("ST"), attempt.state);
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

void TPaymentJournal::record(const TPaymentAttempt& attempt, qint64 amountCharged,
                             const TransactionInfo& info, const QString& receiptPath,
                             const QString& poiTransactionId) {
    const QString& ref = attempt.reference;
    fb::Transaction transaction(conx_);
    fb::Query q(transaction);
    q.setSQL(QStringLiteral("select count(*) from TBL_SALES_PAYMENTS where PAY_REFERENCE = :REF"));
    q.bind(QStringLiteral("REF"), ref);
    q.open();
    const bool written = q.field(0).toInt() > 0;
    q.close();
    if (!written) {
        const QString scheme = info.SchemeName();
        q.setSQL(QStringLiteral(
            "insert into TBL_SALES_PAYMENTS\r\n"
            "   (SALES_ID, MOP, \"VALUE\", AUTHCODE, MERCHANT_NO, PAN, SCHEME, TERMINAL_ID,\r\n"
            "    CUST_VERIFICATION, ENTRY_METHOD, CURRENCY, CC_RECEIPT, PAY_REFERENCE) values \r\n"
            "  (:SID, :MOP, :VAL, :ACD, :MER, :PAN, :SCH, :TID, :VER, :EMT, :CUR, :RCT, :REF)"));
        q.bind(QStringLiteral("SID"), attempt.salesId)
            .bind(QStringLiteral("MOP"), SchemeIndex(scheme))
            .bind(QStringLiteral("VAL"), double(amountCharged) / 100.0)
            .bind(QStringLiteral("ACD"), FitColumn(info.AuthorisationCode(), 40, "AUTHCODE", ref))
            .bind(QStringLiteral("MER"), FitColumn(info.MerchantNo(), 40, "MERCHANT_NO", ref))
            .bind(
                QStringLiteral("PAN"),
                FitColumn(info.PanFirst6Digits() + QStringLiteral("******") + info.PanLast4Digits(),
                          40, "PAN", ref))
            .bind(QStringLiteral("SCH"), FitColumn(scheme, 60, "SCHEME", ref))
            .bind(QStringLiteral("TID"), FitColumn(info.TerminalId(), 40, "TERMINAL_ID", ref))
            .bind(QStringLiteral("VER"), info.CustomerVerification())
            .bind(QStringLiteral("EMT"), info.DataEntryMethod())
            .bind(QStringLiteral("CUR"), FitColumn(info.DccCurrencyCode(), 10, "CURRENCY", ref))
            .bind(QStringLiteral("RCT"), FitColumn(receiptPath, 1000, "CC_RECEIPT", ref))
            .bind(QStringLiteral("REF"), ref);
        q.execSQL();
    }
    SetSaleEnd(q, attempt.salesId, true);
    SetState(q, ref, attempt::Recorded, poiTransactionId);
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

QList<TPaymentAttempt> TPaymentJournal::unsettled(int salesId) {
    fb::Query q(conx_);
    q.setSQL(QStringLiteral("select PAY_REFERENCE, SALES_ID, AMOUNT, STATE from "
                            "TBL_PAYMENT_ATTEMPTS\r\n"
                            " where STATE in ('SENT', 'APPROVED', 'UNKNOWN')") +
             (salesId > 0 ? QStringLiteral(" and SALES_ID = :SID") : QString()) +
             QStringLiteral("\r\n order by CREATED, PAY_REFERENCE"));
    if (salesId > 0) q.bind(QStringLiteral("SID"), salesId);
    q.open();
    QList<TPaymentAttempt> attempts;
    for (; !q.eof(); q.next())
        attempts.append({q.field(0).toString(), q.field(1).toInt(), q.field(2).toInt64(),
                         q.field(3).toString()});
    q.close();
    return attempts;
}

int TPaymentJournal::lastPaidSale() {
    fb::Query q(conx_);
    q.setSQL(
        QStringLiteral("select first 1 SALES_ID from TBL_PAYMENT_ATTEMPTS where STATE = "
                       "'RECORDED'\r\n order by UPDATED desc, PAY_REFERENCE desc"));
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
