#include "sale/uRestrictions.h"

namespace {

enum RestType { rtControlled = 0, rtAge = 1, rtTradingHours = 3 };

// A time column read as the kiosk reads it: an empty bound is midnight.
QTime TimeOfDay(const fb::Value& value) {
    return value.isNull() ? QTime(0, 0) : value.toTime();
}

int ProductDepartment(fb::Query& q, int sid) {
    q.close();
    q.setSQL(QStringLiteral("select DEPT_ID from TBL_PRODUCTS where SID = :SID"));
    q.bind(QStringLiteral("SID"), sid);
    q.open();
    const int dept = q.eof() ? 0 : q.field(0).toInt();
    q.close();
    return dept;
}

// The first row sets the value; later rows can only lower it.
void Tighten(int& current, int value) {
    if (current == 0 || value < current) current = value;
}

int ControlledLimit(fb::Query& q, int sid) {
    int limit = 0;
    q.close();
    q.setSQL(QStringLiteral("select * from TBL_SALES_RESTRICTIONS where SID = :SID"));
    q.bind(QStringLiteral("SID"), sid);
    for (q.open(); !q.eof(); q.next())
        if (q.field("REST_TYPE").toInt() == rtControlled)
            Tighten(limit, q.field("REST_VALUE").toInt());
    q.close();
    return limit;
}

struct DepartmentRules {
    int age = 0;
    bool timeBlocked = false;
};

// REST_DAY counts Monday as 2, so REST_DAY - 1 is the ISO weekday; both bounds are inclusive.
DepartmentRules ReadDepartmentRules(fb::Query& q, int dept, const QDateTime& now) {
    DepartmentRules rules;
    const int weekday = now.date().dayOfWeek();
    const QTime time = now.time();
    q.close();
    q.setSQL(QStringLiteral("select * from TBL_SALES_RESTRICTIONS where DEPT_ID = :DID"));
    q.bind(QStringLiteral("DID"), dept);
    for (q.open(); !q.eof(); q.next()) {
        const int type = q.field("REST_TYPE").toInt();
        if (type == rtAge) {
            Tighten(rules.age, q.field("REST_VALUE").toInt());
        } else if (type == rtTradingHours && q.field("REST_DAY").toInt() - 1 == weekday) {
            if (time < TimeOfDay(q.field("REST_START")) || time > TimeOfDay(q.field("REST_END")))
                rules.timeBlocked = true;
        }
    }
    q.close();
    return rules;
}

// Every line of the sale whose product carries a quantity restriction, void or not, counted
// once for each such restriction row.
double ControlledQuantity(fb::Query& q, qint64 salesId) {
    q.close();
    q.setSQL(
        QStringLiteral("select sum(SALES_QTY) from TBL_SALES_LINES s\r\n"
                       "  join TBL_SALES_RESTRICTIONS r on r.SID = s.SID and r.REST_TYPE = 0\r\n"
                       " where s.SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.open();
    const double sum = q.eof() ? 0 : q.field(0).toDouble();
    q.close();
    return sum;
}

}  // namespace

TRestrictionResult CheckSalesRestrictions(fb::Query& q, int sid, qint64 salesId, double quantity,
                                          const QDateTime& now) {
    const int dept = ProductDepartment(q, sid);
    int limit = ControlledLimit(q, sid);
    const DepartmentRules rules = ReadDepartmentRules(q, dept, now);
    if (limit > 0 && limit >= ControlledQuantity(q, salesId) + quantity) limit = 0;

    if (limit > 0) return {rsControlled, limit};
    if (rules.timeBlocked) return {rsTime, 0};
    if (rules.age > 0) return {rsAge, rules.age};
    return {rsNone, 0};
}
