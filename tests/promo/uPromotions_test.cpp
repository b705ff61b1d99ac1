#include "promo/uPromotions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <vector>

#include "db/fbError.h"
#include "db/fbQuery.h"
#include "support/FixedClock.h"
#include "support/TestDatabases.h"

namespace {

// Products of the examples: A, B, C and D in department 3 at 23 % VAT; E has no product row.
constexpr int A = 1, B = 2, C = 3, D = 4, E = 5;

struct TriggerDef {
    int qty;
    std::vector<int> sids;
};

struct PromoDef {
    int id;
    int type;
    double price;
    std::vector<TriggerDef> triggers;  // trigger lines 1, 2, ...
};

struct LineDef {
    int sid;
    double qty;
    double amount;
    int status = 0;
};

struct HitRow {
    int hit;
    int promo;
    int sid;
    int qty;
    double original;
    double discounted;
};

class PromotionTest : public ::testing::Test {
protected:
    PromotionTest() {
        for (const int sid : {A, B, C, D})
            exec(QStringLiteral("insert into TBL_PRODUCTS (SID, DESCRIPTION, DEPT_ID, SP, VAT_RATE)"
                                " values (%1, 'Product %1', 3, 1, 23)")
                     .arg(sid));
        exec(QStringLiteral("insert into TBL_SALES_HEADERS (SALES_ID) values (%1)").arg(kSale));
    }

    void exec(const QString& sql) {
        q.setSQL(sql);
        q.execSQL();
    }
    double value(const QString& sql) {
        q.setSQL(sql);
        q.open();
        const double v = q.field(0).toDouble();
        q.close();
        return v;
    }

    // A promotion within its dates, all day, every day, with its trigger lines and products.
    void addPromotion(const PromoDef& p) {
        q.setSQL(QStringLiteral(
            "insert into TBL_PROMOTIONS (PROMO_ID, DESCRIPTION, PROMO_TYPE, PROMO_PRICE,"
            " START_DATE, END_DATE, START_TIME, END_TIME, ACTIVE_DAYS) values"
            " (:ID, :DSC, :TYP, :PRC, current_date - 1, current_date + 1, '00:00:00',"
            " '23:59:59.999', 'YYYYYYY')"));
        q.bind("ID", p.id).bind("DSC", QStringLiteral("Promotion %1").arg(p.id));
        q.bind("TYP", p.type).bind("PRC", p.price);
        q.execSQL();
        for (size_t i = 0; i < p.triggers.size(); ++i) {
            const int line = int(i) + 1;
            exec(QStringLiteral("insert into TBL_PROMO_TRIGGERS (PROMO_ID, LINE_NO, TRIGGER_QTY)"
                                " values (%1, %2, %3)")
                     .arg(p.id)
                     .arg(line)
                     .arg(p.triggers[i].qty));
            for (const int sid : p.triggers[i].sids)
                exec(QStringLiteral("insert into TBL_PROMO_PRODUCTS (PROMO_ID, LINE_NO, SID)"
                                    " values (%1, %2, %3)")
                         .arg(p.id)
                         .arg(line)
                         .arg(sid));
        }
    }

    void addLine(const LineDef& line) {
        q.setSQL(QStringLiteral(
            "insert into TBL_SALES_LINES (SALES_ID, SID, DEPT_ID, SALES_QTY, SALES_AMT, STATUS)"
            " values (:SAL, :SID, 3, :QTY, :AMT, :STA)"));
        q.bind("SAL", kSale).bind("SID", line.sid).bind("QTY", line.qty);
        q.bind("AMT", line.amount).bind("STA", line.status);
        q.execSQL();
    }

    // The promotions in the given order, as the main screen holds them.
    TPromoList load(const std::vector<int>& ids) {
        std::vector<TPromotion> promotions;
        for (const int id : ids) promotions.emplace_back(q, id);
        return TPromoList(std::move(promotions));
    }

    std::vector<HitRow> hits() {
        std::vector<HitRow> rows;
        q.setSQL(
            "select HIT_NUMBER, PROMO_ID, SID, QTY, ORIGINAL_VALUE, DISCOUNTED_VALUE"
            "  from TBL_PROMO_HITS order by HIT_NUMBER, ORIGINAL_VALUE desc, SID");
        q.open();
        for (; !q.eof(); q.next())
            rows.push_back({q.field(0).toInt(), q.field(1).toInt(), q.field(2).toInt(),
                            q.field(3).toInt(), q.field(4).toDouble(), q.field(5).toDouble()});
        q.close();
        return rows;
    }

    double amountDue() {
        return value(QStringLiteral("select GROSS - DISCOUNT from TBL_SALES_HEADERS"));
    }

    static constexpr int kSale = 7;
    TestDatabases db;
    fb::Query q{db.kiosk()};
};

void ExpectHits(const std::vector<HitRow>& actual, const std::vector<HitRow>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        EXPECT_EQ(actual[i].hit, expected[i].hit);
        EXPECT_EQ(actual[i].promo, expected[i].promo);
        EXPECT_EQ(actual[i].sid, expected[i].sid);
        EXPECT_EQ(actual[i].qty, expected[i].qty);
        EXPECT_NEAR(actual[i].original, expected[i].original, 1e-4);
        EXPECT_NEAR(actual[i].discounted, expected[i].discounted, 1e-4);
    }
}

struct EvaluationCase {
    const char* name;
    std::vector<PromoDef> promotions;
    std::vector<int> listOrder;
    std::vector<LineDef> lines;
    std::vector<HitRow> hits;  // ordered by hit, then original value downwards
};

const std::vector<EvaluationCase> kEvaluationCases = {
    {"SetPriceTakesTheDearestUnitsOnce",
     {{10, ptSetPrice, 5.00, {{3, {A, B}}}}},
     {10},
     {{A, 2, 4.00}, {B, 2, 3.00}},
     {{1, 10, A, 2, 4.00, 3.636364},    // 0.50 off 5.50: 4.00 gives 0.363636 of it
      {1, 10, B, 1, 1.50, 1.363636}}},  // and 1.50 gives 0.136364
    {"CheapestOfThreeFreeLeavesTheLastUnit",
     {{10, ptCheapestFree, 0, {{3, {A, B, C, D}}}}},
     {10},
     {{D, 1, 1.00}, {B, 1, 3.00}, {A, 1, 4.00}, {C, 1, 2.00}},
     {{1, 10, A, 1, 4.00, 3.111111},    // 2.00 off 9.00: 4/9 of it is 0.888889
      {1, 10, B, 1, 3.00, 2.333333},    // 3/9 is 0.666667
      {1, 10, C, 1, 2.00, 1.555556}}},  // 2/9 is 0.444444
    {"MoneyOffSpreadsByValue",
     {{10, ptMoneyOff, 1.00, {{1, {A}}, {1, {B}}}}},
     {10},
     {{A, 1, 3.00}, {B, 1, 2.00}},
     {{1, 10, A, 1, 3.00, 2.40}, {1, 10, B, 1, 2.00, 1.60}}},
    {"MoneyOffAppliesOncePerSetOfUnits",
     {{10, ptMoneyOff, 1.00, {{1, {A}}, {1, {B}}}}},
     {10},
     {{A, 2, 6.00}, {B, 2, 4.00}},
     {{1, 10, A, 1, 3.00, 2.40},
      {1, 10, B, 1, 2.00, 1.60},
      {2, 10, A, 1, 3.00, 2.40},
      {2, 10, B, 1, 2.00, 1.60}}},
    {"EqualDiscountsGoToTheFirstPromotion",
     {{10, ptMoneyOff, 2.00, {{1, {A}}}}, {11, ptMoneyOff, 2.00, {{1, {A}}}}},
     {10, 11},
     {{A, 1, 5.00}},
     {{1, 10, A, 1, 5.00, 3.00}}},
    {"EqualDiscountsFollowTheListsOrder",
     {{10, ptMoneyOff, 2.00, {{1, {A}}}}, {11, ptMoneyOff, 2.00, {{1, {A}}}}},
     {11, 10},
     {{A, 1, 5.00}},
     {{1, 11, A, 1, 5.00, 3.00}}},
    {"TheLargestDiscountWinsEachPass",
     {{10, ptMoneyOff, 1.50, {{1, {A}}}}, {11, ptCheapestFree, 0, {{2, {A, B}}}}},
     {10, 11},
     {{A, 3, 12.00}, {B, 1, 1.00}},
     {{1, 11, A, 2, 8.00, 4.00}, {2, 10, A, 1, 4.00, 2.50}}},
    {"SetPriceAboveNormalNeverApplies",
     {{10, ptSetPrice, 5.00, {{2, {A}}}}},
     {10},
     {{A, 2, 4.00}},
     {}},
    {"OneUnitSatisfiesTwoTriggerLines",
     {{10, ptMoneyOff, 1.00, {{1, {A}}, {1, {A}}}}},
     {10},
     {{A, 1, 3.00}},
     {{1, 10, A, 1, 3.00, 2.50}, {1, 10, A, 1, 3.00, 2.50}}},
    {"OtherTypesNeverApply",
     {{10, 4, 1.00, {{1, {A}}}}, {11, 0, 1.00, {{1, {A}}}}},
     {10, 11},
     {{A, 1, 3.00}},
     {}},
    {"VoidLinesTakeNoPart", {{10, ptMoneyOff, 1.00, {{1, {A}}}}}, {10}, {{A, 1, 3.00, 20}}, {}},
    // Mended: a money-off larger than the goods takes off what they are worth, no more.
    {"MoneyOffIsCappedAtTheValueOfTheUnits",
     {{10, ptMoneyOff, 10.00, {{1, {A}}}}},
     {10},
     {{A, 1, 3.00}},
     {{1, 10, A, 1, 3.00, 0}}},
    // Mended: one unit counted by two trigger lines is still one unit's worth.
    {"AUnitCountedTwiceIsWorthItsPriceOnce",
     {{10, ptMoneyOff, 5.00, {{1, {A}}, {1, {A}}}}},
     {10},
     {{A, 1, 3.00}},
     {{1, 10, A, 1, 3.00, 1.50}, {1, 10, A, 1, 3.00, 1.50}}},
    // Mended: promotions are compared by what they really take off.
    {"CappedDiscountsAreCompared",
     {{10, ptMoneyOff, 10.00, {{1, {A}}}}, {11, ptMoneyOff, 3.50, {{1, {A}}, {1, {B}}}}},
     {10, 11},
     {{A, 1, 3.00}, {B, 1, 1.00}},
     {{1, 11, A, 1, 3.00, 0.375}, {1, 11, B, 1, 1.00, 0.125}}},  // 3.50 off 4.00: 2.625 and 0.875
    // Mended: lines without units have no unit price and are left out.
    {"LinesWithoutUnitsAreLeftOut",
     {{10, ptMoneyOff, 1.00, {{1, {A}}, {1, {B}}}}},
     {10},
     {{A, 0, 0}, {B, -1, -2.00}, {A, 1, 3.00}, {B, 1, 2.00}},
     {{1, 10, A, 1, 3.00, 2.40}, {1, 10, B, 1, 2.00, 1.60}}},
};

void PrintTo(const EvaluationCase& c, std::ostream* out) {
    *out << c.name;
}

class EvaluationTest : public PromotionTest,
                       public ::testing::WithParamInterface<EvaluationCase> {};

TEST_P(EvaluationTest, RecordsTheGreedyHits) {
    const EvaluationCase& c = GetParam();
    for (const PromoDef& p : c.promotions) addPromotion(p);
    for (const LineDef& line : c.lines) addLine(line);
    TPromoList promotions = load(c.listOrder);

    EvaluatePromotions(db.kiosk(), kSale, promotions);

    const std::vector<HitRow> recorded = hits();
    ExpectHits(recorded, c.hits);
    double discount = 0;
    for (const HitRow& h : c.hits) discount += h.original - h.discounted;
    EXPECT_NEAR(value("select DISCOUNT from TBL_SALES_HEADERS"), discount, 1e-9);
    EXPECT_GE(amountDue(), -1e-9);
    for (const TPromotion& p : promotions.items())
        for (const TTrigger& t : p.tArray) EXPECT_TRUE(t.fUsedProducts.empty());
}

INSTANTIATE_TEST_SUITE_P(Examples, EvaluationTest, ::testing::ValuesIn(kEvaluationCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Pay, cancel, pay; or a product added after the pay button: each evaluation replaces the hits.
TEST_F(PromotionTest, EvaluatingAgainReplacesTheHits) {
    addPromotion({10, ptMoneyOff, 1.00, {{1, {A}}, {1, {B}}}});
    addLine({A, 1, 3.00});
    addLine({B, 1, 2.00});
    TPromoList promotions = load({10});

    EvaluatePromotions(db.kiosk(), kSale, promotions);
    const std::vector<HitRow> first = hits();
    EvaluatePromotions(db.kiosk(), kSale, promotions);
    ExpectHits(hits(), first);
    EXPECT_NEAR(amountDue(), 4.00, 1e-9);

    addLine({A, 1, 3.00});
    addLine({B, 1, 2.00});
    EvaluatePromotions(db.kiosk(), kSale, promotions);
    // The second hit passes the drained first lines: they give entries of no units.
    ExpectHits(hits(), {{1, 10, A, 1, 3.00, 2.40},
                        {1, 10, B, 1, 2.00, 1.60},
                        {2, 10, A, 1, 3.00, 2.40},
                        {2, 10, B, 1, 2.00, 1.60},
                        {2, 10, A, 0, 0, 0},
                        {2, 10, B, 0, 0, 0}});
    EXPECT_NEAR(amountDue(), 8.00, 1e-9);
}

// Mended: an evaluation that fails part-way leaves the hits recorded before it, not half a hit.
TEST_F(PromotionTest, AFailedEvaluationLeavesTheEarlierHits) {
    exec("alter table TBL_PROMO_HITS add constraint CK_TEST_REFUSES_D check (SID <> 4)");
    addPromotion({10, ptMoneyOff, 1.00, {{1, {A}}}});
    addPromotion({11, ptMoneyOff, 2.00, {{1, {B}}, {1, {D}}}});
    addLine({A, 1, 3.00});
    addLine({B, 1, 4.00});
    TPromoList promotions = load({10, 11});
    EvaluatePromotions(db.kiosk(), kSale, promotions);
    const std::vector<HitRow> before = hits();
    addLine({D, 1, 5.00});

    EXPECT_THROW(EvaluatePromotions(db.kiosk(), kSale, promotions), fb::Error);

    ExpectHits(hits(), before);
    EXPECT_NEAR(amountDue(), 11.00, 1e-9);
    for (const TPromotion& p : promotions.items())
        for (const TTrigger& t : p.tArray) EXPECT_TRUE(t.fUsedProducts.empty());
}

TEST_F(PromotionTest, HitRowsCarryTheProductsDepartmentAndVat) {
    addPromotion({10, ptMoneyOff, 1.00, {{1, {A}}, {1, {E}}}});
    addLine({A, 1, 3.00});
    addLine({E, 1, 1.00});
    TPromoList promotions = load({10});

    EvaluatePromotions(db.kiosk(), kSale, promotions);

    q.setSQL(
        "select SID, DEPT_ID, VAT_RATE, PROMO_LINE, SALES_ID from TBL_PROMO_HITS order by SID");
    q.open();
    ASSERT_EQ(q.recordCount(), 2);
    EXPECT_EQ(q.field("SID").toInt(), A);
    EXPECT_EQ(q.field("DEPT_ID").toInt(), 3);
    EXPECT_EQ(q.field("VAT_RATE").toDouble(), 23);
    EXPECT_EQ(q.field("PROMO_LINE").toInt(), 0);
    EXPECT_EQ(q.field("SALES_ID").toInt(), kSale);
    q.next();
    EXPECT_EQ(q.field("SID").toInt(), E);
    EXPECT_EQ(q.field("DEPT_ID").toInt(), 0);
    EXPECT_EQ(q.field("VAT_RATE").toDouble(), 0);
}

TEST_F(PromotionTest, TriggersComeFromTheirLinesAndProducts) {
    addPromotion({10, ptSetPrice, 2.5, {{2, {A, B}}, {0, {C}}}});
    exec("insert into TBL_PROMO_TRIGGERS (PROMO_ID, LINE_NO, TRIGGER_QTY) values (10, 4, 1)");
    exec("insert into TBL_PROMO_TRIGGERS (PROMO_ID, LINE_NO, TRIGGER_QTY) values (10, 6, 1)");
    exec("insert into TBL_PROMO_PRODUCTS (PROMO_ID, LINE_NO, SID) values (10, 6, 9)");

    // Loaded alone by its id, and with every running promotion at once: the same promotion.
    const TPromotion byId(q, 10);
    const TPromoList running =
        LoadPromotions(db.kiosk(), QDateTime(QDate(2024, 3, 4), QTime(12, 0)));
    ASSERT_EQ(running.items().size(), 1u);
    for (const TPromotion* loaded : {&byId, &running.items().front()}) {
        const TPromotion& p = *loaded;
        EXPECT_EQ(p.fID, 10);
        EXPECT_EQ(p.fType, ptSetPrice);
        EXPECT_EQ(p.fDescription, "Promotion 10");
        EXPECT_EQ(p.fPromoValue, 2.5);
        const auto sids = [&](int i) {
            std::vector<int> ids;
            for (const TTriggerProduct& e : p.tArray[size_t(i)].fTriggerProducts)
                ids.push_back(e.fSID);
            return ids;
        };
        EXPECT_EQ(p.tArray[0].fTriggerQuantity, 2);
        EXPECT_EQ(sids(0), (std::vector<int>{A, B}));
        EXPECT_EQ(p.tArray[1].fTriggerQuantity, 0);
        EXPECT_EQ(sids(1), (std::vector<int>{C}));
        EXPECT_EQ(p.tArray[2].fTriggerQuantity, 0);  // no such line
        EXPECT_TRUE(sids(2).empty());
        EXPECT_EQ(p.tArray[3].fTriggerQuantity, 1);  // a line without products names product 0
        EXPECT_EQ(sids(3), (std::vector<int>{0}));
        EXPECT_EQ(p.tArray[4].fTriggerQuantity, 0);
        EXPECT_TRUE(p.PossiblePromotion(C));   // named by a line that asks for no units
        EXPECT_FALSE(p.PossiblePromotion(9));  // line 6 is never read
    }
}

TEST_F(PromotionTest, TheMarkerNamesPromotedProductsOnce) {
    addPromotion({10, ptMoneyOff, 1.00, {{1, {42}}}});
    addPromotion({11, ptSetPrice, 1.00, {{1, {42, A}}}});
    addPromotion({12, 9, 1.00, {{1, {B}}}});
    exec("insert into TBL_PROMO_TRIGGERS (PROMO_ID, LINE_NO, TRIGGER_QTY) values (12, 2, 1)");
    const TPromoList promotions = load({10, 11, 12});

    EXPECT_EQ(promotions.PromoMarker(42), "*");
    EXPECT_EQ(promotions.PromoMarker(A), "*");
    EXPECT_EQ(promotions.PromoMarker(B), "*");  // a type that never applies still marks
    EXPECT_EQ(promotions.PromoMarker(C), "");
    EXPECT_EQ(promotions.PromoMarker(0), "");  // named by line 2 of promotion 12, no product
    EXPECT_EQ(TPromoList().PromoMarker(42), "");
}

// Dates are the database's, the time of day and the weekday the clock's. A schedule's first and
// last days are counted from the database's date.
struct ScheduleDef {
    int id;
    const char* start;
    const char* end;
    const char* days;
    int firstDay = -1;
    int lastDay = 1;
};

const std::vector<ScheduleDef> kSchedules = {
    {1, "09:00", "17:00", "YYYYYYY"},             // office hours
    {2, "00:00", "23:59:59", "YYYYYNN"},          // weekdays
    {3, "00:00", "23:59:59", "yyyyyyy"},          // days in lower case
    {4, "00:00", "23:59:59", "Y"},                // the first day (Monday) alone
    {5, "22:00", "06:00", "YYYYYYY"},             // hours across midnight
    {6, "00:00", "23:59:59", "YYYYYYY", -9, -1},  // ended yesterday
    {7, "00:00", "23:59:59", "YYYYYYY", 1, 9},    // starts tomorrow
    {8, "00:00", "23:59:59", "YYYYYYY", -9, 0},   // ends today
    {9, "00:00", "23:59:59", "YYYYYYY", 0, 9},    // starts today
};

struct LoadCase {
    const char* moment;
    QDateTime now;
    std::vector<int> loaded;
};

// 2024-03-04 is a Monday.
const std::vector<LoadCase> kLoadCases = {
    {"Monday 16:59", QDateTime(QDate(2024, 3, 4), QTime(16, 59)), {1, 2, 4, 8, 9}},
    {"Monday 17:00", QDateTime(QDate(2024, 3, 4), QTime(17, 0)), {1, 2, 4, 8, 9}},
    {"Monday 17:01", QDateTime(QDate(2024, 3, 4), QTime(17, 1)), {2, 4, 8, 9}},
    {"Monday 08:59", QDateTime(QDate(2024, 3, 4), QTime(8, 59)), {2, 4, 8, 9}},
    {"Tuesday 09:00", QDateTime(QDate(2024, 3, 5), QTime(9, 0)), {1, 2, 8, 9}},
    {"Friday 23:00", QDateTime(QDate(2024, 3, 8), QTime(23, 0)), {2, 8, 9}},
    {"Saturday 03:00", QDateTime(QDate(2024, 3, 9), QTime(3, 0)), {8, 9}},
    {"Sunday 12:00", QDateTime(QDate(2024, 3, 10), QTime(12, 0)), {1, 8, 9}},
};

TEST_F(PromotionTest, LoadsThePromotionsRunningNowInTheDatabasesOrder) {
    // Inserted out of order, so the list's order is seen to be the database's.
    for (const int i : {8, 0, 1, 2, 3, 4, 5, 6, 7}) {
        const ScheduleDef& s = kSchedules[size_t(i)];
        addPromotion({s.id, ptMoneyOff, 1.00, {{1, {s.id}}}});
        exec(QStringLiteral("update TBL_PROMOTIONS set START_TIME = '%1', END_TIME = '%2',"
                            " ACTIVE_DAYS = '%3' where PROMO_ID = %4")
                 .arg(s.start, s.end, s.days)
                 .arg(s.id));
    }
    std::vector<int> natural;
    q.setSQL("select PROMO_ID from TBL_PROMOTIONS");
    q.open();
    for (; !q.eof(); q.next()) natural.push_back(q.field(0).toInt());
    q.close();

    // The dates are set from the database's day and every moment is loaded within that day: a
    // run that the database's midnight passes through is made again in the new day.
    const auto databaseDay = [&] {
        q.setSQL("select current_date from RDB$DATABASE");
        q.open();
        const QDate day = q.field(0).toDate();
        q.close();
        return day;
    };
    std::vector<std::vector<int>> loadedAt;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QDate today = databaseDay();
        for (const ScheduleDef& s : kSchedules) {
            q.setSQL(
                "update TBL_PROMOTIONS set START_DATE = :F, END_DATE = :L where PROMO_ID = :ID");
            q.bind("F", today.addDays(s.firstDay)).bind("L", today.addDays(s.lastDay));
            q.bind("ID", s.id);
            q.execSQL();
        }
        loadedAt.clear();
        for (const LoadCase& c : kLoadCases) {
            std::vector<int> loaded;
            const TPromoList promotions = LoadPromotions(db.kiosk(), c.now);
            for (const TPromotion& p : promotions.items()) {
                loaded.push_back(p.fID);
                EXPECT_EQ(p.tArray[0].fTriggerQuantity, 1);
            }
            loadedAt.push_back(loaded);
        }
        if (databaseDay() == today) break;
    }

    for (size_t i = 0; i < kLoadCases.size(); ++i) {
        const LoadCase& c = kLoadCases[i];
        SCOPED_TRACE(c.moment);
        std::vector<int> expected;
        for (const int id : natural)
            if (std::find(c.loaded.begin(), c.loaded.end(), id) != c.loaded.end())
                expected.push_back(id);
        EXPECT_EQ(loadedAt[i], expected);
    }
}

}  // namespace
