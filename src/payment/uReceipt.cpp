#include "payment/uReceipt.h"

#include <QFile>
#include <QFileInfo>

#include "app/uSiteDetails.h"
#include "app/uText.h"
#include "db/fbQuery.h"

namespace {

const QString kProduct = QStringLiteral("PRODUCT");
const QString kValue = QStringLiteral("VALUE");
const QString kQty = QStringLiteral("QTY");

const QString kHitsSql = QStringLiteral(
    "select p.DESCRIPTION, sum(h.ORIGINAL_VALUE-h.DISCOUNTED_VALUE) as VAL from TBL_PROMO_HITS "
    "h\r\n"
    "  left join TBL_PROMOTIONS p on p.PROMO_ID = h.PROMO_ID\r\n"
    " where h.SALES_ID = :SID\r\n"
    " group by p.DESCRIPTION, h.PROMO_ID, h.HIT_NUMBER");

void Open(fb::Query& q, const QString& sql, int salesId) {
    q.close();
    q.setSQL(sql);
    q.bind(QStringLiteral("SID"), salesId);
    q.open();
}

// Appends a detail row; an empty value stays empty (NULL), not 0.
void AddRow(TMemTable& table, const QString& product, const fb::Value& value = {},
            const fb::Value& qty = {}) {
    const int row = table.append();
    table.set(row, kProduct, product.left(kReceiptProductWidth));
    table.set(row, kValue, value);
    table.set(row, kQty, qty);
}

// "  " + the quantity right-aligned in 5 + " @         " + the unit price: "      3
// @         1.50".
QString QuantityLine(double quantity, double amount) {
    return QStringLiteral("  ") + PadLeft(FloatText(quantity), 5, u' ') +
           QStringLiteral(" @         ") + MoneyText(amount / quantity);
}

// Every line sold, then "SUB-TOTAL" with their sum.
void AddLines(fb::Query& q, int salesId, TMemTable& cdsReceipt) {
    double sum = 0;
    Open(q,
         QStringLiteral("select * from TBL_SALES_LINES where SALES_ID = :SID and STATUS < 20 "
                        "order by SALES_LINE_ID"),
         salesId);
    for (; !q.eof(); q.next()) {
        const double quantity = q.field("SALES_QTY").toDouble();
        const double amount = q.field("SALES_AMT").toDouble();
        const QString product = q.field(kProduct).toString();
        if (quantity > 1) {
            AddRow(cdsReceipt, product);
            AddRow(cdsReceipt, QuantityLine(quantity, amount), amount, quantity);
        } else {
            AddRow(cdsReceipt, product, amount, quantity);
        }
        sum += amount;
    }
    q.close();
    AddRow(cdsReceipt, QStringLiteral("SUB-TOTAL"), sum, 0);
}

void AddDiscounts(fb::Query& q, int salesId, TMemTable& cdsReceipt) {
    Open(q, kHitsSql, salesId);
    if (!q.eof()) {
        AddRow(cdsReceipt, {});
        AddRow(cdsReceipt, QStringLiteral("PROMOTIONAL DISCOUNTS"));
    }
    for (; !q.eof(); q.next())
        AddRow(cdsReceipt, q.field("DESCRIPTION").toString(), -q.field("VAL").toDouble(), 1);
    q.close();
}

// The lines of the card receipt file of the sale's latest payment (a paid sale brought back and
// paid again prints the payment just made); none without a payment or a file.
void AddCardCopy(fb::Query& q, int salesId, const QString& heading, TMemTable& cdsCCCopy) {
    Open(
        q,
        QStringLiteral("select p.CC_RECEIPT from TBL_SALES_PAYMENTS p\r\n"
                       "  left join TBL_PAYMENT_ATTEMPTS a on a.PAY_REFERENCE = p.PAY_REFERENCE\r\n"
                       " where p.SALES_ID = :SID\r\n"
                       " order by a.UPDATED desc nulls last, p.RDB$DB_KEY desc"),
        salesId);
    const QString path = q.eof() ? QString() : q.field("CC_RECEIPT").toString();
    q.close();
    QFile file(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return;
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    if (!heading.isEmpty()) lines.prepend(heading);
    for (const QString& line : lines)
        cdsCCCopy.set(cdsCCCopy.append(), QStringLiteral("LINE"), line.left(kCardCopyLineWidth));
}

TReceiptLabels ReadLabels(fb::Query& q, int salesId, const TSiteDetails& setup) {
    TReceiptLabels labels;
    labels.site1 = setup.name;
    labels.site2 = setup.address2;
    labels.phone = setup.phone;
    labels.vatNo = QStringLiteral("VAT No. ") + setup.vatNo;
    labels.currency = setup.currencyType == 1 ? QStringLiteral("GBP") : QStringLiteral("EUR");

    Open(q, QStringLiteral("select * from TBL_SALES_HEADERS where SALES_ID = :SID"), salesId);
    if (!q.eof()) {
        const double due = q.field("GROSS").toDouble() - q.field("DISCOUNT").toDouble();
        labels.total = MoneyText(due);
        labels.paidByCard = BlankIfZero(labels.total);
        labels.timestamp =
            q.field("SALE_END").toDateTime().toString(QStringLiteral("dd/MM/yyyy  hh:mm:ss")) +
            QStringLiteral("   Transaction No. ") + QString::number(q.field("SALES_ID").toInt());
    }
    q.close();
    return labels;
}

}  // namespace

QStringList ReceiptFields() {
    return {QStringLiteral("SITE1"),
            QStringLiteral("SITE2"),
            QStringLiteral("PHONE"),
            QStringLiteral("VAT_ID"),
            kQty,
            kProduct,
            kValue};
}

TReceipt BuildReceipt(fb::Connection& conx, int salesId, bool reprint) {
    TReceipt receipt;
    receipt.salesId = salesId;
    receipt.cdsReceipt.setFields(ReceiptFields());
    receipt.cdsCCCopy.setFields({QStringLiteral("LINE")});

    fb::Query q(conx);
    const TSiteDetails setup = LoadSiteDetails(q);
    receipt.printerName = setup.printerName;
    receipt.labels = ReadLabels(q, salesId, setup);
    AddLines(q, salesId, receipt.cdsReceipt);
    AddDiscounts(q, salesId, receipt.cdsReceipt);
    AddCardCopy(q, salesId, reprint ? ReprintMark : QString(), receipt.cdsCCCopy);
    if (reprint) receipt.labels.reprint = ReprintMark;
    return receipt;
}

QString ReceiptAmountText(const fb::Value& value) {
    if (value.isNull()) return {};
    return BlankIfZero(FormatMoney(2, false, false, qRound64(value.toDouble() * 10000)));
}

QString BlankIfZero(const QString& text) {
    return ParseMoney(text, 0) == 0 ? QString() : text;
}

int FindPrinter(const QStringList& installed, const QString& name) {
    for (int i = 0; i < installed.size(); ++i)
        if (installed.at(i).compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QString SpokenReceipt(const TReceipt& receipt) {
    QStringList parts{QStringLiteral("Your receipt")};
    const TMemTable& lines = receipt.cdsReceipt;
    for (int row = 0; row < lines.rowCount(); ++row) {
        QString line = lines.value(row, kProduct).toString().simplified();
        if (line.isEmpty()) continue;
        line.replace(QStringLiteral(" @ "), QStringLiteral(" at "));
        const fb::Value& value = lines.value(row, kValue);
        if (!value.isNull()) line += QStringLiteral(", ") + MoneyText(value.toDouble());
        parts << line;
    }
    parts << QStringLiteral("Total ") + receipt.labels.total;
    if (!receipt.labels.paidByCard.isEmpty())
        parts << QStringLiteral("Paid by card ") + receipt.labels.paidByCard;
    return parts.join(QStringLiteral(". ")) + u'.';
}
