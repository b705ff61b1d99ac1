#include "BenchSale.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "sale/uSale.h"

namespace bench {

RawScan::RawScan(fb::Connection& conx, qint64 salesId)
    : probe_(conx), ageCheck_(conx), insert_(conx) {
    probe_.setSQL(
        QStringLiteral("select b.SID, p.DESCRIPTION, p.DEPT_ID, p.SKU, p.SP, p.VAT_RATE\r\n"
                       "  from TBL_BARCODES b\r\n"
                       "  left join TBL_PRODUCTS p on p.SID = b.SID\r\n"
                       " where cast(b.BARCODE as Numeric(18,0)) = :BC"));
    insert_.setSQL(QStringLiteral(
        "insert into TBL_SALES_LINES\r\n"
        "(SALES_ID, DEPT_ID, SID, SKU, PRODUCT, BARCODE, SALES_QTY, SALES_AMT, VAT_RATE) "
        "values\r\n"
        "(:SALES_ID, :DEPT_ID, :SID, :SKU, :PRODUCT, :BARCODE, 1, :SALES_AMT, :VAT_RATE)"));
    insert_.bind(QStringLiteral("SALES_ID"), salesId);
    ageCheck_.setSQL(
        QStringLiteral("insert into TBL_AGE_CHECKS\r\n"
                       " (SALES_ID, SID, REQUIRED_AGE, USER_ID, CHECK_TIME, OUTCOME) values\r\n"
                       " (:SALES_ID, :SID, 18, 1, 'now', 'CONFIRMED')"));
    ageCheck_.bind(QStringLiteral("SALES_ID"), salesId);
}

bool RawScan::probe(qint64 code) {
    probe_.bind(QStringLiteral("BC"), code);
    probe_.open();
    const bool found = !probe_.eof();
    probe_.close();
    return found;
}

void RawScan::run(qint64 code, bool ageChecked) {
    probe_.bind(QStringLiteral("BC"), code);
    probe_.open();
    if (probe_.eof()) throw std::runtime_error("Barcode Not Found: " + std::to_string(code));
    insert_.bind(QStringLiteral("SID"), probe_.field(0));
    insert_.bind(QStringLiteral("PRODUCT"), probe_.field(1));
    insert_.bind(QStringLiteral("DEPT_ID"), probe_.field(2));
    insert_.bind(QStringLiteral("SKU"), probe_.field(3));
    insert_.bind(QStringLiteral("SALES_AMT"), probe_.field(4));
    insert_.bind(QStringLiteral("VAT_RATE"), probe_.field(5));
    insert_.bind(QStringLiteral("BARCODE"), QString::number(code));
    probe_.close();
    if (ageChecked) {
        ageCheck_.bind(QStringLiteral("SID"), insert_.param(QStringLiteral("SID")));
        ageCheck_.execSQL();
    }
    insert_.execSQL();
}

HeldSale::HeldSale(fb::Connection& conx, qint64 salesId) : conx_(conx), salesId_(salesId) {
    fb::Query q(conx_);
    q.setSQL(
        QStringLiteral("select max(SALES_LINE_ID) from TBL_SALES_LINES where SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId_);
    q.open();
    lastLine_ = q.field(0).toInt64();
    q.setSQL(QStringLiteral("select max(AGE_CHECK_ID) from TBL_AGE_CHECKS"));
    q.open();
    lastAgeCheck_ = q.field(0).toInt64();
}

void HeldSale::restore(int added) {
    fb::Query q(conx_);
    q.setSQL(QStringLiteral(
        "delete from TBL_SALES_LINES where SALES_ID = :SID and SALES_LINE_ID > :LAST"));
    q.bind(QStringLiteral("SID"), salesId_).bind(QStringLiteral("LAST"), lastLine_);
    q.execSQL();
    if (q.rowsAffected() != quint64(added))
        throw std::runtime_error("The sale did not have " + std::to_string(added) +
                                 " lines more than it was held at");
    q.setSQL(QStringLiteral("delete from TBL_AGE_CHECKS where AGE_CHECK_ID > :LAST"));
    q.bind(QStringLiteral("LAST"), lastAgeCheck_);
    q.execSQL();
    // Deleted lines are the benchmark's own doing. While the connection's transaction is only
    // ever committed with retaining, the engine collects none of them: they would stay in the
    // SALES_ID index and slow every later scan of this sale. Ending the transaction lets them
    // go; the next one is started before the clock runs again.
    q.close();
    conx_.commit();
    conx_.transaction();
}

QString BarcodeOf(fb::Connection& conx, int sid) {
    const QString code = TSale(conx).FirstBarcode(sid);
    if (code.isEmpty()) throw std::runtime_error("No barcode for product " + std::to_string(sid));
    return code;
}

QStringList UnrestrictedCodes(fb::Connection& conx, int count) {
    fb::Query q(conx);
    q.setSQL(
        QStringLiteral("select p.SID from TBL_PRODUCTS p\r\n"
                       " where not exists (select 1 from TBL_SALES_RESTRICTIONS r\r\n"
                       "                    where r.SID = p.SID or r.DEPT_ID = p.DEPT_ID)\r\n"
                       "   and exists (select 1 from TBL_BARCODES b where b.SID = p.SID)\r\n"
                       " order by p.SID"));
    q.open();
    std::vector<int> sids;
    for (; !q.eof(); q.next()) sids.push_back(q.field(0).toInt());
    q.close();
    if (int(sids.size()) < count)
        throw std::runtime_error("The shop has fewer than " + std::to_string(count) +
                                 " unrestricted products");
    QStringList codes;
    for (int n = 0; n < count; ++n)
        codes << BarcodeOf(conx, sids[size_t(qint64(n) * qint64(sids.size()) / count)]);
    return codes;
}

QStringList UnrestrictedCodes(const KioskFolder& folder, int count) {
    fb::Connection conx;
    folder.configure(conx);
    conx.connect();
    return UnrestrictedCodes(conx, count);
}

}  // namespace bench
