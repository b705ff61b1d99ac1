#include <gtest/gtest.h>

#include <vector>

#include "ScanFixture.h"
#include "sale/uGs1ElementStrings.h"
#include "sale/uStops.h"
#include "support/LogReader.h"

using namespace Qt::StringLiterals;

namespace {

using namespace scanfixture;

const QString GS = QString(kGroupSeparator);

TEST(Gs1Dates, DayZeroIsTheMonthsLastDayAndTheCenturyFollowsToday) {
    const QDate today(2024, 3, 6);
    const struct {
        const char* yymmdd;
        QDate date;  // invalid: no date
    } cases[] = {
        {"240331", QDate(2024, 3, 31)},
        {"240200", QDate(2024, 2, 29)},
        {"230200", QDate(2023, 2, 28)},
        {"241200", QDate(2024, 12, 31)},
        {"740101", QDate(2074, 1, 1)},
        {"750101", QDate(1975, 1, 1)},
        {"240230", QDate()},
        {"241301", QDate()},
        {"240001", QDate()},
        {"24033", QDate()},
        {"2403a1", QDate()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.yymmdd);
        const std::optional<QDate> date = Gs1Date(QString::fromLatin1(c.yymmdd), today);
        EXPECT_EQ(date.value_or(QDate()), c.date);
    }
}

// Every element the kiosk reads, from one string; what follows an element of a predefined length
// needs no separator.
TEST(Gs1ElementStrings, EachElementIsReadIntoTheCode) {
    const TGs1Code code = ReadGs1ElementString(
        u"01950123450000181124010113240102152403011624030217240331310201234510L-7/A"_s + GS +
            u"21SN%9"_s + GS + u"392201299"_s + GS + u"3012"_s,
        QDate(2024, 3, 6));
    EXPECT_EQ(code.gtin, u"95012345000018"_s);
    EXPECT_EQ(code.produced, QDate(2024, 1, 1));
    EXPECT_EQ(code.packed, QDate(2024, 1, 2));
    EXPECT_EQ(code.bestBefore, QDate(2024, 3, 1));
    EXPECT_EQ(code.sellBy, QDate(2024, 3, 2));
    EXPECT_EQ(code.useBy, QDate(2024, 3, 31));
    EXPECT_DOUBLE_EQ(code.netWeightKg.value_or(0), 123.45);
    EXPECT_EQ(code.batch, u"L-7/A"_s);
    EXPECT_EQ(code.serial, u"SN%9"_s);
    EXPECT_DOUBLE_EQ(code.price.value_or(0), 12.99);
    EXPECT_EQ(code.count, 12);
    EXPECT_TRUE(code.variableMeasure());
}

TEST(Gs1ElementStrings, AStringThatBreaksTheRulesIsAMisread) {
    const QDate today(2024, 3, 6);
    for (const QString& text : {
             u"0109501101020918"_s,                         // wrong check digit
             u"010950110102091"_s,                          // a GTIN one digit short
             u"010950110102091799X"_s,                      // an element the kiosk does not read
             u"010950110102091717241301"_s,                 // month 13
             u"01095011010209171724033"_s,                  // a date one digit short
             u"01095011010209173106000100"_s,               // six decimals of a kilogram
             u"010950110102091710A B"_s,                    // a blank in a batch
             u"010950110102091710"_s,                       // a batch of nothing
             u"010950110102091710ABCDEFGHIJKLMNOPQRSTU"_s,  // 21 characters
             u"01095011010209173000"_s,                     // a count of nothing
             u"01095011010209170109501101020917"_s,         // two GTINs
             u"1724033110ABC"_s,                            // no GTIN
             u"01095011010209171724033117240401"_s,         // two use-by dates
         }) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_THROW(ReadGs1ElementString(text, today), Gs1Misread);
    }
}

TEST(Gs1DigitalLink, PathAndQueryElementsAreRead) {
    const TGs1Code code = ReadGs1DigitalLink(
        u"https://id.shop.example/p/01/9501101020917/10/LOT%2F1/21/77?17=240331&linkType=all"_s,
        QDate(2024, 3, 6));
    EXPECT_EQ(code.gtin, u"09501101020917"_s);
    EXPECT_EQ(code.batch, u"LOT/1"_s);
    EXPECT_EQ(code.serial, u"77"_s);
    EXPECT_EQ(code.useBy, QDate(2024, 3, 31));
    for (const QString& address :
         {u"https://id.example/10/LOT1"_s, u"https://id.example/01/09501101020918"_s,
          u"https://id.example/01/09501101020917?17=241301"_s,
          u"ftp://id.example/01/09501101020917"_s}) {
        SCOPED_TRACE(address.toStdString());
        EXPECT_THROW(ReadGs1DigitalLink(address, QDate(2024, 3, 6)), Gs1Misread);
    }
}

// The shop of the GS1 tables: milk by its EAN-13, cheese of variable measure at 12.90 a
// kilogram, eggs sold by the count on their GS1 code.
class Gs1ScanTest : public ScanTest {
protected:
    void SetUp() override {
        addProduct(40, 40, 1.2, "9501101020917");
        addProduct(41, 41, 12.9, "95012345000018");
        addProduct(42, 42, 0.3, "4012345000023");
    }
    void setSetup(const QString& separator, bool stopBestBefore) {
        exec(u"update TBL_SETUP set GS1_SEPARATOR = '%1', STOP_BEST_BEFORE = '%2'"_s.arg(
            separator, stopBestBefore ? u"Y"_s : u"N"_s));
    }
    void recall(const QString& gtin, const QString& batch, const QString& plain = u"N"_s,
                const QString& fromDate = u"2024-01-01"_s) {
        exec(
            u"insert into TBL_RECALLS (GTIN, BATCH, FROM_DATE, DESCRIPTION, PLAIN_CODES) "
            "values ('%1', %2, '%3', 'Recalled', '%4')"_s.arg(
                gtin, batch.isEmpty() ? u"null"_s : u"'%1'"_s.arg(batch), fromDate, plain));
    }
    QString stops() {
        q.close();
        q.setSQL(
            "select list(T, ' | ') from (select coalesce(SALES_ID, 0) || ',' || SID || ',' || "
            "coalesce(GTIN, '-') || ',' || coalesce(BATCH, '-') || ',' || REASON || ',' || "
            "cast(STOP_TIME as date) as T from TBL_STOPS order by STOP_ID)");
        q.open();
        const QString text = q.field(0).toString();
        q.close();
        return text;
    }
};

// The table of the issue: each way a scanner may send a GS1 code, against what is sold.
TEST_F(Gs1ScanTest, ElementStringsSellTheirProductQuantityAndPrice) {
    setSetup(u"~"_s, false);
    const struct {
        QString scanned;
        int sid;  // -1: "Barcode Not Found"
        double quantity, amount;
        bool misread;
    } cases[] = {
        {u"]d201095011010209171724033110LOT1"_s, 40, 1, 1.2, false},
        {u"]d210LOT1"_s + GS + u"010950110102091717240331"_s, 40, 1, 1.2, false},
        {u"010950110102091710LOT1"_s + GS + u"17240331"_s, 40, 1, 1.2, false},
        {u"]C1"_s + GS + u"0109501101020917"_s + GS + u"17240331"_s + GS + u"10LOT1"_s, 40, 1, 1.2,
         false},
        {u"]Q3010950110102091710LOT1~17240331"_s, 40, 1, 1.2, false},
        {u"]e0010950110102091717240300"_s, 40, 1, 1.2, false},
        {u"https://id.example.com/01/09501101020917/10/LOT1?17=240331"_s, 40, 1, 1.2, false},
        {u"HTTPS://shop.example/product/01/9501101020917"_s, 40, 1, 1.2, false},
        {u"]E09501101020917"_s, 40, 1, 1.2, false},  // an EAN-13 with its identifier
        {u"9501101020917"_s, 40, 1, 1.2, false},
        {u"]d201950123450000183103000350"_s, 41, 0.35, 0.35 * 12.9, false},
        {u"]d201950123450000183922000499"_s, 41, 1, 4.99, false},
        {u"019501234500001831030003503922000450"_s, 41, 0.35, 4.5, false},
        {u"]d201040123450000233012"_s, 42, 12, 3.6, false},
        {u"]d2010950110102091817240331"_s, -1, 0, 0, true},  // wrong check digit
        {u"https://id.example.com/01/09501101020918"_s, -1, 0, 0, true},
        {u"]d2010950110102091799ABC"_s, -1, 0, 0, true},       // an element not read
        {u"]d2010950110102091717240231"_s, -1, 0, 0, true},    // 31 February
        {u"010950110102091717AB1234"_s, -1, 0, 0, true},       // a date of letters
        {u"]d201095011010209173922000100"_s, -1, 0, 0, true},  // price, fixed measure
        {u"]d20195012345000018"_s, -1, 0, 0, true},            // variable measure, nothing measured
        {u"]d201950123450000183103000000"_s, -1, 0, 0, true},  // weighs nothing
        {u"]d20104012345000030"_s, -1, 0, 0, false},           // a GTIN no product has
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scanned.toStdString());
        const LogReader log;
        const std::optional<Line> line = sell(c.scanned);
        EXPECT_EQ(line ? line->sid : -1, c.sid);
        if (line) {
            EXPECT_DOUBLE_EQ(line->quantity, c.quantity);
            EXPECT_NEAR(line->amount, c.amount, 1e-9);
        }
        const QStringList misreads = log.newLines().filter(u"Barcode misread"_s);
        EXPECT_EQ(misreads.size(), c.misread ? 1 : 0) << misreads.join(u'\n').toStdString();
    }
    EXPECT_EQ(view.stopped, QStringList());
}

// A use-by date is the last day of sale; day 00 is the last day of its month.
TEST_F(Gs1ScanTest, AUseByDateStopsTheProductFromTheDayAfter) {
    const struct {
        QDate today;
        const char* useBy;
        bool stopped;
    } cases[] = {
        {QDate(2024, 3, 30), "240331", false}, {QDate(2024, 3, 31), "240331", false},
        {QDate(2024, 4, 1), "240331", true},   {QDate(2024, 2, 28), "240200", false},
        {QDate(2024, 2, 29), "240200", false}, {QDate(2024, 3, 1), "240200", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.today.toString(Qt::ISODate).toStdString() + " " + c.useBy);
        clock.set(QDateTime(c.today, QTime(23, 59)));
        view.stopped.clear();
        const QString code = u"]d2010950110102091717"_s + QString::fromLatin1(c.useBy) + u"10B7"_s;
        EXPECT_EQ(sell(code).has_value(), !c.stopped);
        EXPECT_EQ(view.stopped, c.stopped ? QStringList{UseByStopText} : QStringList());
    }
    // The stop is recorded with its product, batch and sale: the sale the earlier scans opened.
    EXPECT_EQ(stops(),
              u"%1,40,09501101020917,B7,USE_BY,2024-04-01 | "
              "%1,40,09501101020917,B7,USE_BY,2024-03-01"_s.arg(salesId));
}

TEST_F(Gs1ScanTest, ABestBeforeDateStopsOnlyWhenTheEngineerPageSaysSo) {
    clock.set(QDateTime(QDate(2024, 3, 2), QTime(9, 0)));
    const QString code = u"]d2010950110102091715240301"_s;
    setSetup({}, false);
    EXPECT_TRUE(sell(code));
    setSetup({}, true);
    EXPECT_FALSE(sell(code));
    EXPECT_EQ(view.stopped, QStringList{BestBeforeStopText});
    EXPECT_TRUE(sell(u"]d2010950110102091715240302"_s)) << "the best-before day itself";
    EXPECT_TRUE(stops().endsWith(u"40,09501101020917,-,BEST_BEFORE,2024-03-02"_s))
        << stops().toStdString();
}

// A recall of one batch leaves the good batch on sale; one without a batch stops every code that
// tells its lot by a date or a batch, and the plain barcode only when the recall says so.
TEST_F(Gs1ScanTest, ARecallStopsItsBatchOrEveryCodeThatCarriesOne) {
    const QString lot7 = u"]d2010950110102091710LOT7"_s;
    const QString lot8 = u"]d2010950110102091710LOT8"_s;
    const QString dated = u"]d2010950110102091717240331"_s;
    const QString bare = u"]d20109501101020917"_s;
    const QString plain = u"9501101020917"_s;
    const struct {
        const char* name;
        QString batch;
        QString plainCodes;
        QString fromDate;
        std::vector<QString> stopped, sold;
    } cases[] = {
        {"one batch", u"LOT7"_s, u"N"_s, u"2024-01-01"_s, {lot7}, {lot8, dated, bare, plain}},
        {"every batch", {}, u"N"_s, u"2024-01-01"_s, {lot7, lot8, dated}, {bare, plain}},
        {"every code", {}, u"Y"_s, u"2024-01-01"_s, {lot7, lot8, dated, bare, plain}, {}},
        {"from tomorrow", {}, u"Y"_s, u"2024-03-07"_s, {}, {lot7, lot8, dated, bare, plain}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        exec(u"delete from TBL_RECALLS"_s);
        recall(u"09501101020917"_s, c.batch, c.plainCodes, c.fromDate);
        for (const QString& code : c.stopped) {
            SCOPED_TRACE(code.toStdString());
            view.stopped.clear();
            EXPECT_FALSE(sell(code));
            EXPECT_EQ(view.stopped, QStringList{RecallStopText});
        }
        for (const QString& code : c.sold) EXPECT_TRUE(sell(code)) << code.toStdString();
    }
}

TEST_F(Gs1ScanTest, AStopBeforeAnySaleOpensNone) {
    recall(u"09501101020917"_s, u"LOT7"_s);
    EXPECT_FALSE(sell(u"]d2010950110102091710LOT7"_s));
    EXPECT_EQ(salesId, -1);
    EXPECT_EQ(stops(), u"0,40,09501101020917,LOT7,RECALL,2024-03-06"_s);
}

TEST(Gs1Serials, ARangeComparesNumbersByValueAndTextsAsTexts) {
    EXPECT_TRUE(SerialInRange(u"150"_s, u"100"_s, u"199"_s));
    EXPECT_TRUE(SerialInRange(u"0150"_s, u"100"_s, u"199"_s));
    EXPECT_FALSE(SerialInRange(u"1500"_s, u"100"_s, u"199"_s));
    EXPECT_FALSE(SerialInRange(u"99"_s, u"100"_s, u"199"_s));
    EXPECT_TRUE(SerialInRange(u"AB5"_s, u"AB1"_s, u"AB9"_s));
    EXPECT_FALSE(SerialInRange(u"AC1"_s, u"AB1"_s, u"AB9"_s));
}

}  // namespace
