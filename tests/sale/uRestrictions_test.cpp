#include <gtest/gtest.h>

#include <QDateTime>
#include <vector>

#include "db/fbQuery.h"
#include "sale/uRestrictions.h"
#include "support/TestDatabases.h"

namespace {

// Products 1 and 2 sit in department 10, product 3 in department 20; product 9 has no row.
// Sales 1 and 2 exist; the lines of each case belong to sale 1 unless they say otherwise.
class RestrictionTest : public ::testing::Test {
protected:
    void SetUp() override {
        exec("insert into TBL_PRODUCTS (SID, DEPT_ID, DESCRIPTION, SP) values (1, 10, 'Beer', 2)");
        exec("insert into TBL_PRODUCTS (SID, DEPT_ID, DESCRIPTION, SP) values (2, 10, 'Wine', 5)");
        exec("insert into TBL_PRODUCTS (SID, DEPT_ID, DESCRIPTION, SP) values (3, 20, 'Milk', 1)");
        exec("insert into TBL_SALES_HEADERS (SALES_ID) values (1)");
        exec("insert into TBL_SALES_HEADERS (SALES_ID) values (2)");
    }

    void exec(const QString& sql) {
        q.close();
        q.setSQL(sql);
        q.execSQL();
    }

    TestDatabases db;
    fb::Query q{db.kiosk()};
};

struct Rest {
    int type, sid, dept, value, day;
    QTime start, end;
};
struct Line {
    int sid;
    double qty;
    int status = 0;
    int salesId = 1;
};

Rest controlled(int sid, int limit) {
    return {0, sid, 0, limit, 0, {}, {}};
}
Rest age(int dept, int years) {
    return {1, 0, dept, years, 0, {}, {}};
}
Rest hours(int dept, int day, QTime from, QTime to) {
    return {3, 0, dept, 0, day, from, to};
}

const QTime k0600(6, 0), k2200(22, 0);
const QDateTime kMonday(QDate(2024, 3, 4), QTime(12, 0));  // a Monday
QDateTime monday(int h, int m, int s) {
    return QDateTime(kMonday.date(), QTime(h, m, s));
}
QDateTime sunday(int h, int m, int s) {
    return QDateTime(QDate(2024, 3, 10), QTime(h, m, s));
}

TEST_F(RestrictionTest, EveryRuleInFirstMatchOrder) {
    struct Case {
        const char* name;
        std::vector<Rest> rests;
        std::vector<Line> lines;
        int sid;
        double qty;
        QDateTime now;
        TRestrictionType type;
        int value;
        qint64 salesId = 1;
    } cases[] = {
        {"no restriction", {}, {}, 1, 1, kMonday, rsNone, 0},
        {"limit 2, first item", {controlled(1, 2)}, {}, 1, 1, kMonday, rsNone, 0},
        {"limit 2, second item", {controlled(1, 2)}, {{1, 1}}, 1, 1, kMonday, rsNone, 0},
        {"limit 2, third item",
         {controlled(1, 2)},
         {{1, 1}, {1, 1}},
         1,
         1,
         kMonday,
         rsControlled,
         2},
        {"limit 2, quantity 3 at once", {controlled(1, 2)}, {}, 1, 3, kMonday, rsControlled, 2},
        {"limits 3 and 2, first item",
         {controlled(1, 3), controlled(1, 2)},
         {},
         1,
         1,
         kMonday,
         rsNone,
         0},
        {"limits 3 and 2, an earlier item counts twice",
         {controlled(1, 3), controlled(1, 2)},
         {{1, 1}},
         1,
         1,
         kMonday,
         rsControlled,
         2},
        {"another controlled product counts",
         {controlled(1, 2), controlled(2, 5)},
         {{2, 2}},
         1,
         1,
         kMonday,
         rsControlled,
         2},
        {"a voided line counts",
         {controlled(1, 2)},
         {{1, 1, 20}, {1, 1}},
         1,
         1,
         kMonday,
         rsControlled,
         2},
        {"an uncontrolled product does not count",
         {controlled(1, 2)},
         {{3, 5}},
         1,
         1,
         kMonday,
         rsNone,
         0},
        {"another sale does not count",
         {controlled(1, 2)},
         {{1, 2, 0, 2}},
         1,
         1,
         kMonday,
         rsNone,
         0},
        {"no sale yet", {controlled(1, 2)}, {{1, 2}}, 1, 1, kMonday, rsNone, 0, -1},
        {"ages 16 and 18 ask 16", {age(10, 18), age(10, 16)}, {}, 1, 1, kMonday, rsAge, 16},
        {"the second age value is ignored",
         {{2, 0, 10, 21, 0, {}, {}}},
         {},
         1,
         1,
         kMonday,
         rsNone,
         0},
        {"another department's age", {age(20, 18)}, {}, 1, 1, kMonday, rsNone, 0},
        {"hours at 06:00:00", {hours(10, 2, k0600, k2200)}, {}, 1, 1, monday(6, 0, 0), rsNone, 0},
        {"hours at 05:59:59", {hours(10, 2, k0600, k2200)}, {}, 1, 1, monday(5, 59, 59), rsTime, 0},
        {"hours at 22:00:00", {hours(10, 2, k0600, k2200)}, {}, 1, 1, monday(22, 0, 0), rsNone, 0},
        {"hours at 22:00:01", {hours(10, 2, k0600, k2200)}, {}, 1, 1, monday(22, 0, 1), rsTime, 0},
        {"hours of Tuesday on a Monday",
         {hours(10, 3, k0600, k2200)},
         {},
         1,
         1,
         monday(23, 0, 0),
         rsNone,
         0},
        {"every matching row must hold",
         {hours(10, 2, k0600, k2200), hours(10, 2, QTime(8, 0), QTime(20, 0))},
         {},
         1,
         1,
         monday(7, 0, 0),
         rsTime,
         0},
        {"Sunday row 8", {hours(10, 8, k0600, k2200)}, {}, 1, 1, sunday(23, 0, 0), rsTime, 0},
        {"Sunday ignores row 1",
         {hours(10, 1, k0600, k2200)},
         {},
         1,
         1,
         sunday(23, 0, 0),
         rsNone,
         0},
        {"Monday ignores row 8",
         {hours(10, 8, k0600, k2200)},
         {},
         1,
         1,
         monday(23, 0, 0),
         rsNone,
         0},
        {"limit before hours and age",
         {controlled(1, 1), hours(10, 2, k0600, k2200), age(10, 18)},
         {{1, 1}},
         1,
         1,
         monday(23, 0, 0),
         rsControlled,
         1},
        {"hours before age",
         {hours(10, 2, k0600, k2200), age(10, 18)},
         {},
         1,
         1,
         monday(23, 0, 0),
         rsTime,
         0},
        {"age once limit and hours pass",
         {controlled(1, 2), hours(10, 2, k0600, k2200), age(10, 18)},
         {},
         1,
         1,
         kMonday,
         rsAge,
         18},
        {"a product without a row keeps its own limit",
         {controlled(9, 1)},
         {{9, 1}},
         9,
         1,
         kMonday,
         rsControlled,
         1},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        exec("delete from TBL_SALES_RESTRICTIONS");
        exec("delete from TBL_SALES_LINES");
        for (const Rest& r : c.rests) {
            q.setSQL(QStringLiteral(
                "insert into TBL_SALES_RESTRICTIONS (REST_TYPE, SID, DEPT_ID, REST_VALUE, "
                "REST_DAY, REST_START, REST_END) values (:T, :SID, :D, :V, :DAY, :S, :E)"));
            q.bind("T", r.type).bind("SID", r.sid).bind("D", r.dept).bind("V", r.value);
            q.bind("DAY", r.day);
            q.bind("S", r.start.isValid() ? fb::Value(r.start) : fb::Value());
            q.bind("E", r.end.isValid() ? fb::Value(r.end) : fb::Value());
            q.execSQL();
        }
        for (const Line& l : c.lines) {
            q.setSQL(
                QStringLiteral("insert into TBL_SALES_LINES (SALES_ID, SID, SALES_QTY, STATUS)"
                               " values (:S, :SID, :Q, :ST)"));
            q.bind("S", l.salesId).bind("SID", l.sid).bind("Q", l.qty).bind("ST", l.status);
            q.execSQL();
        }
        const TRestrictionResult r = CheckSalesRestrictions(q, c.sid, c.salesId, c.qty, c.now);

        EXPECT_EQ(r.type, c.type);
        EXPECT_EQ(r.value, c.value);
    }
}

}  // namespace
