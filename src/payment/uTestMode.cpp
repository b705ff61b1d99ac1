#include "payment/uTestMode.h"

#include "app/uLog.h"
#include "app/uSiteDetails.h"
#include "db/fbQuery.h"

bool IsTestMode(int debug) {
    return debug > TestModeAbove;
}

bool PaidInTestMode(fb::Connection& conx, int salesId) {
    fb::Query q(conx);
    if (!IsTestMode(LoadSiteDetails(q).debug)) return false;
    q.setSQL(QStringLiteral(
        "select GROSS - coalesce(DISCOUNT, 0) from TBL_SALES_HEADERS where SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.open();
    const double due = q.eof() ? 0.0 : q.field(0).toDouble();
    q.close();
    WriteLog(
        QStringLiteral("Test mode: sale %1 closed as paid with no payment taken, amount due %2")
            .arg(salesId)
            .arg(due, 0, 'f', 2),
        0);
    return true;
}
