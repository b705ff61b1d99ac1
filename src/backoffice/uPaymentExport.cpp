#include "backoffice/uPaymentExport.h"

#include <cmath>

#include "backoffice/uExportFile.h"

namespace {

// The sales are chosen as the day file chooses them; an attempt without a payment row (declined,
// aborted, resolved as not paid) is written all the same. An empty terminal id counts as none.
const QString PaymentsSql = QStringLiteral(
    "select a.SALES_ID, a.PAY_REFERENCE, a.POI_TRANSACTION_ID, p.\"VALUE\", a.AMOUNT, a.STATE,\r\n"
    "  p.SCHEME, p.AUTHCODE, p.PAN, a.CREATED,\r\n"
    "  coalesce(nullif(a.TERMINAL_ID, ''), p.TERMINAL_ID) as TERMINAL_ID\r\n"
    " from TBL_SALES_HEADERS s join TBL_PAYMENT_ATTEMPTS a on a.SALES_ID = s.SALES_ID\r\n"
    " left join TBL_SALES_PAYMENTS p on p.PAY_REFERENCE = a.PAY_REFERENCE\r\n"
    " where s.SALE_START >= :D1 and s.SALE_START < :D2\r\n"
    " order by a.SALES_ID, a.CREATED, a.PAY_REFERENCE");

// The payment row holds the amount charged as money; rounded to minor units it is written as
// exactly as the attempt's own amount.
qint64 AmountInMinorUnits(const fb::Value& paid, const fb::Value& asked) {
    return paid.isNull() ? asked.toInt64() : std::llround(paid.toDouble() * 100);
}

}  // namespace

QString PaymentExportFileName(const QString& exportFolder, int dayEndId) {
    return DayEndSideFileName(exportFolder, dayEndId, QStringLiteral("pay"));
}

QByteArray MinorUnitsText(qint64 minorUnits) {
    const qint64 magnitude = minorUnits < 0 ? -minorUnits : minorUnits;
    return (minorUnits < 0 ? "-" : "") + QByteArray::number(magnitude / 100) + '.' +
           QByteArray::number(magnitude % 100).rightJustified(2, '0');
}

void WritePaymentsExport(fb::Query& q, QIODevice& file, const QDateTime& from,
                         const QDateTime& to) {
    WriteExportRecords(q, file, PaymentsSql, from, to, [](QByteArray& out, fb::Query& row) {
        AppendExportRecord(
            out,
            {"PY", WholeOrEmpty(row.field(0)), TextField(row.field(1)), TextField(row.field(2)),
             MinorUnitsText(AmountInMinorUnits(row.field(3), row.field(4))),
             TextField(row.field(5)), TextField(row.field(6)), TextField(row.field(7)),
             TextField(row.field(8)), DayNumberField(row.field(9)), TextField(row.field(10))});
    });
}
