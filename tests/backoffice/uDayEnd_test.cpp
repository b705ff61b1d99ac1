#include "backoffice/uDayEnd.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <stdexcept>

#include "db/fbQuery.h"
#include "support/FixedClock.h"
#include "support/TestDatabases.h"

namespace {

QDateTime At(int day, const char* time, int month = 3) {
    return QDateTime(QDate(2026, month, day), QTime::fromString(QString::fromLatin1(time)));
}

// A kiosk database with its Export/ folder, the day end over it and a clock standing still.
class DayEndTest : public ::testing::Test {
protected:
    DayEndTest() : clock(At(1, "12:00:00")), dayEnd(db.kiosk(), db.folder(), &clock) {
        QDir().mkpath(exportFolder());
    }

    QString exportFolder() const { return db.folder() + "Export/"; }

    void exec(const QString& sql, const fb::Value& d1 = {}) {
        fb::Query q(db.kiosk());
        q.setSQL(sql);
        if (!d1.isNull()) q.bind("D1", d1);
        q.execSQL();
    }
    fb::Value value(const QString& sql) {
        fb::Query q(db.kiosk());
        q.setSQL(sql);
        q.open();
        return q.eof() ? fb::Value() : q.field(0);
    }
    void setDayEnd(const char* time) {
        exec(QString("update TBL_SETUP set DAY_END = '%1'").arg(time));
    }
    void openDay(const QDateTime& start) {
        exec("insert into TBL_DAY_ENDS (DAY_START) values (:D1)", start);
    }
    // A finished sale with one line.
    void sale(int id, const QDateTime& start, double amount = 1.5) {
        exec(QString("insert into TBL_SALES_HEADERS (SALES_ID, SALE_START, SALE_END)"
                     " values (%1, :D1, :D1)")
                 .arg(id),
             start);
        exec(QString("insert into TBL_SALES_LINES (SALES_ID, SID, PRODUCT, SALES_QTY, SALES_AMT,"
                     " VAT_RATE) values (%1, 100, 'Crisps', 1, %2, 20)")
                 .arg(id)
                 .arg(amount));
    }
    void openSale(int id, const QDateTime& start) {
        exec(QString("insert into TBL_SALES_HEADERS (SALES_ID, SALE_START) values (%1, :D1)")
                 .arg(id),
             start);
    }

    QString exportText(int dayEndId) {
        QFile file(DayEndExportFileName(exportFolder(), dayEndId));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll());
    }
    // The day files (the age checks', payments' and stops' files beside them left out).
    QStringList exportFiles() {
        QStringList files = QDir(exportFolder()).entryList(QDir::Files, QDir::Name);
        files.removeIf([](const QString& name) {
            return name.endsWith("-age.csv") || name.endsWith("-pay.csv") ||
                   name.endsWith("-stop.csv");
        });
        return files;
    }
    // Every file in the export folder, hidden ones (a temporary file left behind) included.
    QStringList everyExportEntry() {
        return QDir(exportFolder())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
    // The bytes of a file, or "(none)" when it is not there.
    QByteArray contents(const QString& name) {
        QFile file(exportFolder() + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }
    void ageCheck(const QString& values) {
        exec(
            "insert into TBL_AGE_CHECKS (SALES_ID, SID, REQUIRED_AGE, USER_ID, CHECK_TIME,"
            " OUTCOME) values (" +
            values + ")");
    }
    // PAY_REFERENCE, SALES_ID, AMOUNT, STATE, POI_TRANSACTION_ID, CREATED, TERMINAL_ID.
    void payAttempt(const QString& values) {
        exec(
            "insert into TBL_PAYMENT_ATTEMPTS (PAY_REFERENCE, SALES_ID, AMOUNT, STATE,"
            " POI_TRANSACTION_ID, CREATED, TERMINAL_ID, UPDATED) values (" +
            values + ", 'now')");
    }
    // PAY_REFERENCE, SALES_ID, VALUE, SCHEME, AUTHCODE, PAN, TERMINAL_ID.
    void paymentRow(const QString& values) {
        exec(
            "insert into TBL_SALES_PAYMENTS (PAY_REFERENCE, SALES_ID, \"VALUE\", SCHEME, AUTHCODE,"
            " PAN, TERMINAL_ID, MOP) values (" +
            values + ", 4)");
    }
    // The sale numbers of the "01" records of every export file, file by file.
    QStringList exportedSales() {
        QStringList sales;
        for (const QString& name : exportFiles()) {
            QFile file(exportFolder() + name);
            file.open(QIODevice::ReadOnly);
            for (const QByteArray& line : file.readAll().split('\n'))
                if (line.startsWith("01,")) sales << name + ":" + line.split(',').at(1);
        }
        return sales;
    }

    void check(const QDateTime& now) {
        clock.set(now);
        dayEnd.DayEndCheck(view);
    }

    TestDatabases db;
    FixedClock clock;
    TDayEnd dayEnd;
    QStringList screen;  // what maintenance did to the screen
    TMaintenanceView view{[this] { screen << "begin"; }, [this] { screen << "end"; }};
};

// An empty table, or one whose last day ended before 1980, opens a day at the moment of the
// check; otherwise the new day starts where the last one ended. Opening a day exports nothing.
TEST_F(DayEndTest, ANewDayStartsAtTheLastBoundaryOrNowWhenThereIsNoneSince1980) {
    struct Case {
        const char* lastEnd;  // nullptr: no day at all
        QDateTime expectedStart;
        int days;
    } cases[] = {
        {nullptr, At(5, "10:00:00"), 1},
        {"1979-12-31 23:00", At(5, "10:00:00"), 2},
        {"2026-03-04 23:00", At(4, "23:00:00"), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lastEnd ? c.lastEnd : "no day");
        exec("delete from TBL_DAY_ENDS");
        if (c.lastEnd)
            exec(QString("insert into TBL_DAY_ENDS (DAY_START, DAY_END) values ('%1', '%1')")
                     .arg(c.lastEnd));
        check(At(5, "10:00:00"));
        EXPECT_EQ(value("select count(*) from TBL_DAY_ENDS").toInt(), c.days);
        EXPECT_TRUE(value("select DAY_END from TBL_DAY_ENDS order by DAY_END_ID desc").isNull());
        EXPECT_EQ(value("select DAY_START from TBL_DAY_ENDS where DAY_END is null").toDateTime(),
                  c.expectedStart);
        EXPECT_TRUE(screen.isEmpty());
        EXPECT_TRUE(exportFiles().isEmpty());
    }
}

TEST(DayEndBoundaryTest, IsNeverAheadOfNow) {
    struct Case {
        const char* dayEnd;
        QDateTime now;
        QDateTime boundary;
    } cases[] = {
        {"23:00", At(3, "23:30:00"), At(2, "23:00:00")},
        {"23:00", At(4, "00:00:01"), At(3, "23:00:00")},
        {"06:00", At(4, "00:00:01"), At(3, "06:00:00")},  // today's 06:00 is still ahead
        {"06:00", At(4, "05:59:59"), At(3, "06:00:00")},
        {"06:00", At(4, "06:00:00"), At(4, "06:00:00")},
        {"12:00", At(4, "11:00:00"), At(3, "12:00:00")},  // noon counts as afternoon
        {"12:00", At(4, "13:00:00"), At(3, "12:00:00")},
        {"00:00", At(4, "00:00:01"), At(4, "00:00:00")},
        {"11:59", At(1, "00:00:00", 1), QDateTime(QDate(2025, 12, 31), QTime(11, 59))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.dayEnd) + " at " + c.now.toString().toStdString());
        EXPECT_EQ(DayEndBoundary(QTime::fromString(c.dayEnd, "hh:mm"), c.now), c.boundary);
    }
}

// Checks every hour through five days: a sale at 23:30 and one at 05:30 land in exactly one
// file each, days close only once their boundary has passed, and each day starts where the
// previous one ended.
TEST_F(DayEndTest, EverySaleIsExportedOnceWhateverTheDayEndTime) {
    struct Case {
        const char* dayEnd;
        QDateTime closedAt;  // the check that exports the day holding both sales
    } cases[] = {
        {"23:00", At(5, "00:00:01")},
        {"06:00", At(4, "06:00:01")},
        {"12:00", At(5, "00:00:01")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dayEnd);
        exec("delete from TBL_DAY_ENDS");
        exec("delete from TBL_SALES_HEADERS");
        for (const QString& name : exportFiles()) QFile::remove(exportFolder() + name);
        setDayEnd(c.dayEnd);
        sale(1, At(3, "23:30:00"));
        sale(2, At(4, "05:30:00"));

        QString fileOfBoth;
        for (QDateTime now = At(1, "12:00:01"); now < At(6, "12:00:00"); now = now.addSecs(3600)) {
            const int filesBefore = int(exportFiles().size());
            check(now);
            const QStringList exported = exportedSales();
            if (fileOfBoth.isEmpty() && exported.size() == 2) {
                EXPECT_EQ(now, c.closedAt);
                EXPECT_EQ(exportFiles().size(), filesBefore + 1);
                fileOfBoth = exported.first().section(':', 0, 0);
            }
        }
        const QStringList exported = exportedSales();
        ASSERT_EQ(exported.size(), 2) << exported.join(' ').toStdString();
        EXPECT_EQ(exported, QStringList({fileOfBoth + ":1", fileOfBoth + ":2"}));

        fb::Query days(db.kiosk());
        days.setSQL("select DAY_START, DAY_END from TBL_DAY_ENDS order by DAY_END_ID");
        days.open();
        QDateTime previousEnd;
        for (; !days.eof(); days.next()) {
            if (previousEnd.isValid()) {
                EXPECT_EQ(days.field(0).toDateTime(), previousEnd);
            }
            previousEnd = days.field(1).toDateTime();
            if (previousEnd.isValid()) {
                EXPECT_EQ(previousEnd.time(), QTime::fromString(c.dayEnd));
            }
        }
    }
}

TEST_F(DayEndTest, ASaleInProgressDelaysTheCloseButNotItsBoundary) {
    openDay(At(3, "00:00:00"));
    clock.set(At(4, "00:00:01"));
    dayEnd.Tick(false, view);
    EXPECT_TRUE(screen.isEmpty());
    clock.set(At(4, "00:25:00"));
    dayEnd.Tick(true, view);
    EXPECT_EQ(screen, QStringList({"begin", "end"}));
    EXPECT_EQ(value("select DAY_END from TBL_DAY_ENDS where DAY_END_ID = 1").toDateTime(),
              At(4, "00:00:00"));
    EXPECT_EQ(value("select DAY_START from TBL_DAY_ENDS where DAY_END is null").toDateTime(),
              At(4, "00:00:00"));
    EXPECT_EQ(dayEnd.holdOff(), DayEndHoldOffTicks);
}

TEST_F(DayEndTest, TwoOpenDaysBeforeTheBoundaryTheOldestIsExportedAndBothClosed) {
    openDay(At(2, "00:00:00"));
    openDay(At(3, "00:00:00"));
    sale(1, At(2, "10:00:00"));
    sale(2, At(3, "10:00:00"));
    check(At(4, "08:00:00"));
    EXPECT_EQ(exportFiles(), QStringList({"00000001.csv"}));
    EXPECT_EQ(exportedSales(), QStringList({"00000001.csv:1", "00000001.csv:2"}));
    EXPECT_EQ(value("select count(*) from TBL_DAY_ENDS where DAY_END = '2026-03-04 00:00'").toInt(),
              2);
    EXPECT_EQ(value("select DAY_START from TBL_DAY_ENDS where DAY_END is null").toDateTime(),
              At(4, "00:00:00"));
}

TEST_F(DayEndTest, RecordsCarryTheirFieldsCleanedAndFormatted) {
    exec(
        "insert into TBL_PRODUCTS (SID, DESCRIPTION) values (100, 'Crisps, \"Salt\" ''n'' "
        "Vinegar')");
    exec("insert into TBL_PROMOTIONS (PROMO_ID, DESCRIPTION) values (9, 'Meal Deal, 2 for 3')");
    exec(
        "insert into TBL_SALES_HEADERS (SALES_ID, SALE_START, SALE_END, STATUS)"
        " values (7, '2023-03-15 06:00', '2023-03-15 06:05', 0)");
    exec(
        "insert into TBL_SALES_LINES (SALES_ID, LINE_ID, DEPT_ID, SID, SKU, PRODUCT, BARCODE,"
        " SALES_QTY, SALES_AMT, VAT_ID, VAT_RATE)"
        " values (7, null, 1, 100, 555, 'Crisps, \"Salt\" ''n'' Vinegar', '5000000000017', 2,"
        " 3, null, 13.5)");
    exec(
        "insert into TBL_SALES_LINES (SALES_ID, LINE_ID, DEPT_ID, SID, SKU, PRODUCT, BARCODE,"
        " SALES_QTY, SALES_AMT, VAT_ID, VAT_RATE, STATUS)"
        " values (7, 4, 2, 300, null, 'Café\nau lait', null, 1, 0.135, 2, 0, 20)");
    exec(
        "insert into TBL_PROMO_HITS (SALES_ID, PROMO_ID, DEPT_ID, SID, QTY, ORIGINAL_VALUE,"
        " DISCOUNTED_VALUE, HIT_NUMBER, VAT_ID, VAT_RATE)"
        " values (7, 9, 1, 100, 2, 3, 2.5, 1, null, 13.5)");
    exec(
        "insert into TBL_PROMO_HITS (SALES_ID, PROMO_ID, DEPT_ID, SID, QTY, ORIGINAL_VALUE,"
        " DISCOUNTED_VALUE, HIT_NUMBER, VAT_ID, VAT_RATE)"
        " values (7, 9, 1, 999, 1, 1.25, 1, 1, 3, 20)");  // product deleted since
    openDay(QDateTime(QDate(2023, 3, 15), QTime(0, 0)));

    const QDateTime midnight(QDate(2023, 3, 16), QTime(0, 0));
    ASSERT_TRUE(dayEnd.ExportDayEnd(1, midnight, midnight));
    // The VAT of the live line, less that of the discounts: 3 x 13.5 / 113.5 = 0.356828193832599,
    // less 0.50 x 13.5 / 113.5 = 0.059471365638767 and 0.25 x 20 / 120 = 0.041666666666667.
    const QString expected = QString(
        "00,1,45000,45001\r\n"
        "01,7,45000.25,3,0.255690161527166,0\r\n"
        "02,0,0,1,100,555,Crisps   Salt   n  Vinegar,5000000000017,2,3,0,13.5\r\n"
        "02,4,20,2,300,0,Café au lait,,1,0.135,2,0\r\n"
        "03,9,Meal Deal  2 for 3,1,100,2,3,2.5,1,0,13.5,Crisps   Salt   n  Vinegar\r\n"
        "03,9,Meal Deal  2 for 3,1,999,1,1.25,1,1,3,20,\r\n"
        "09\r\n");
    EXPECT_EQ(exportText(1), expected);
}

// The age checks go to a file of their own, the day file staying as the back office reads it.
TEST_F(DayEndTest, TheAgeFileHoldsExactlyTheDaysChecks) {
    openDay(At(3, "00:00:00"));
    sale(1, At(3, "06:00:00"));
    sale(2, At(2, "23:00:00"));
    ageCheck("2, 102, 18, 3, '2026-03-02 23:59:59', 'CONFIRMED'");  // the day before
    ageCheck("1, 102, 18, 3, '2026-03-03 06:00:00', 'CONFIRMED'");
    ageCheck("null, 105, 21, -1, '2026-03-03 12:00:00', 'REFUSED'");
    ageCheck("1, 105, 21, null, '2026-03-03 18:00:00', 'ABANDONED'");
    ageCheck("null, 102, 18, 4, '2026-03-04 00:00:00', 'REFUSED'");  // the next day's
    ASSERT_TRUE(dayEnd.ExportDayEnd(1, At(4, "00:00:01"), At(4, "00:00:00")));
    QFile file(exportFolder() + "00000001-age.csv");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              "AG,1,102,18,3,46084.25,CONFIRMED\r\n"
              "AG,,105,21,-1,46084.5,REFUSED\r\n"
              "AG,1,105,21,,46084.75,ABANDONED\r\n");
    EXPECT_FALSE(exportText(1).contains("AG"));
}

// Every attempt of the day's sales, each as the journal and its payment row left it: a sale paid
// at its second attempt after a decline, one decided paid by staff for less than it asked, one
// decided not paid without a word from the terminal.
TEST_F(DayEndTest, ThePaymentsFileHoldsEveryAttemptOfTheDaysSales) {
    openDay(At(3, "00:00:00"));
    sale(5, At(2, "23:00:00"));  // the day before: its attempt of today is not this day's
    payAttempt("'5-a', 5, 300, 'RECORDED', 'P-51', '2026-03-03 00:00:30', 'T-01'");
    sale(1, At(3, "09:00:00"));
    payAttempt("'1-b', 1, 225, 'RECORDED', 'P-12', '2026-03-03 10:30', null");
    payAttempt("'1-a', 1, 225, 'DECLINED', 'P-11', '2026-03-03 09:00', 'T-01'");
    paymentRow("'1-b', 1, 2.25, 'Visa, \"Debit\"', 'A1B2C3', '476173******0119', 'T-02'");
    sale(2, At(3, "12:00:00"));
    payAttempt("'2-a', 2, 2000, 'RESOLVED-PAID', null, '2026-03-03 12:00', 'T-01'");
    paymentRow("'2-a', 2, 19.99, 'Master''Card', 'OFF123', '535522******4444', 'T-09'");
    sale(3, At(3, "15:00:00"));
    payAttempt("'3-a', 3, 1050, 'ABORTED', 'P-31', '2026-03-03 15:00', ''");
    payAttempt("'3-b', 3, 5, 'RESOLVED-NOT-PAID', null, '2026-03-03 18:00', null");
    sale(6, At(4, "00:00:00"));  // at the boundary: the next day's
    payAttempt("'6-a', 6, 100, 'DECLINED', 'P-61', '2026-03-04 00:00', 'T-01'");

    ASSERT_TRUE(dayEnd.ExportDayEnd(1, At(4, "00:00:01"), At(4, "00:00:00")));
    EXPECT_EQ(
        contents("00000001-pay.csv"),
        "PY,1,1-a,P-11,2.25,DECLINED,,,,46084.375,T-01\r\n"
        "PY,1,1-b,P-12,2.25,RECORDED,Visa   Debit ,A1B2C3,476173******0119,46084.4375,T-02\r\n"
        "PY,2,2-a,,19.99,RESOLVED-PAID,Master Card,OFF123,535522******4444,46084.5,T-01\r\n"
        "PY,3,3-a,P-31,10.50,ABORTED,,,,46084.625,\r\n"
        "PY,3,3-b,,0.05,RESOLVED-NOT-PAID,,,,46084.75,\r\n");
    EXPECT_EQ(exportedSales(), QStringList({"00000001.csv:1", "00000001.csv:2", "00000001.csv:3"}));
    EXPECT_FALSE(exportText(1).contains("PY"));
}

// A day without payments or age checks still has both files beside its day file, empty.
TEST_F(DayEndTest, ADayWithoutPaymentsHasAnEmptyPaymentsFileAsTheAgeFileIs) {
    openDay(At(3, "00:00:00"));
    sale(1, At(3, "10:00:00"));
    ASSERT_TRUE(dayEnd.ExportDayEnd(1, At(4, "00:00:01"), At(4, "00:00:00")));
    EXPECT_EQ(contents("00000001-age.csv"), "");
    EXPECT_EQ(contents("00000001-pay.csv"), contents("00000001-age.csv"));
}

// The products stopped at the scan: a file of their own, written as the age file is.
TEST_F(DayEndTest, TheStopFileHoldsExactlyTheDaysStops) {
    openDay(At(3, "00:00:00"));
    sale(1, At(3, "06:00:00"));
    const auto stop = [&](const QString& values) {
        exec("insert into TBL_STOPS (SALES_ID, SID, GTIN, BATCH, REASON, STOP_TIME) values (" +
             values + ")");
    };
    stop("null, 40, '09501101020917', 'L7', 'RECALL', '2026-03-02 23:59:59'");  // the day before
    stop("1, 40, '09501101020917', 'L7, \"B\"', 'RECALL', '2026-03-03 06:00:00'");
    stop("null, 41, '95012345000018', null, 'USE_BY', '2026-03-03 12:00:00'");
    stop("1, 42, null, null, 'BEST_BEFORE', '2026-03-03 18:00:00'");
    stop("null, 40, '09501101020917', null, 'USE_BY', '2026-03-04 00:00:00'");  // the next day's
    ASSERT_TRUE(dayEnd.ExportDayEnd(1, At(4, "00:00:01"), At(4, "00:00:00")));
    QFile file(exportFolder() + "00000001-stop.csv");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              "ST,1,40,09501101020917,L7   B ,46084.25,RECALL\r\n"
              "ST,,41,95012345000018,,46084.5,USE_BY\r\n"
              "ST,1,42,,,46084.75,BEST_BEFORE\r\n");
    EXPECT_FALSE(exportText(1).contains("ST,"));
}

TEST_F(DayEndTest, AnEmptyDayGivesTheHeadAndTailRecordsOnly) {
    openDay(At(15, "06:00:00"));
    sale(1, At(16, "06:00:00"));  // at the boundary: the next day's
    ASSERT_TRUE(dayEnd.ExportDayEnd(1, At(16, "06:00:01"), At(16, "06:00:00")));
    EXPECT_EQ(exportText(1), "00,1,46096.25,46097.2500115741\r\n09\r\n");
}

TEST(ExportNumberTest, GeneralFormWithFifteenDigitsAndAPoint) {
    const std::pair<double, const char*> cases[] = {
        {12.5, "12.5"},         {3, "3"},
        {0.135, "0.135"},       {0, "0"},
        {-2.75, "-2.75"},       {1.0 / 3, "0.333333333333333"},
        {45000.25, "45000.25"}, {0.00001, "0.00001"},
        {0.0000015, "1.5E-6"},  {123456789012345, "123456789012345"},
        {1e15, "1E15"},         {-2.5e20, "-2.5E20"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(ExportNumber(value), text) << value;
}

// The back office must never collect half a file: a failed export leaves no file, the day stays
// open, and after the hold-off the check tries again.
TEST_F(DayEndTest, AMissingExportFolderKeepsTheDayOpenUntilTheHoldOffHasRun) {
    QDir(exportFolder()).removeRecursively();
    openDay(At(3, "00:00:00"));
    clock.set(At(4, "00:00:01"));
    dayEnd.Tick(true, view);
    EXPECT_EQ(screen, QStringList({"begin", "end"}));
    EXPECT_EQ(value("select count(*) from TBL_DAY_ENDS where DAY_END is null").toInt(), 1);
    EXPECT_FALSE(QDir(exportFolder()).exists());

    QDir().mkpath(exportFolder());
    for (int tick = 0; tick < DayEndHoldOffTicks; ++tick) dayEnd.Tick(true, view);
    EXPECT_EQ(screen.size(), 2);
    EXPECT_TRUE(exportFiles().isEmpty());
    dayEnd.Tick(true, view);
    EXPECT_EQ(screen.size(), 4);
    EXPECT_EQ(everyExportEntry(), QStringList({"00000001-age.csv", "00000001-pay.csv",
                                               "00000001-stop.csv", "00000001.csv"}));
    EXPECT_EQ(value("select DAY_END from TBL_DAY_ENDS where DAY_END_ID = 1").toDateTime(),
              At(4, "00:00:00"));
}

// A file already begun when the export fails never appears under its name, and an earlier
// complete file of the same day stays as it was: whichever of the day's files fails.
class FailingExportTest : public DayEndTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FailingExportTest, LeavesNoFileBehind) {
    openDay(At(3, "00:00:00"));
    sale(1, At(3, "10:00:00"));
    const QString name = DayEndExportFileName(exportFolder(), 1);
    {
        QFile earlier(name);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier\r\n");
    }
    exec(GetParam());
    EXPECT_FALSE(dayEnd.ExportDayEnd(1, At(4, "00:00:01"), At(4, "00:00:00")));
    EXPECT_EQ(everyExportEntry(), QStringList({"00000001.csv"}));
    EXPECT_EQ(exportText(1), "earlier\r\n");
}

INSTANTIATE_TEST_SUITE_P(DayEndTest, FailingExportTest,
                         ::testing::Values(
                             // the day file: its hits can no longer be read
                             "drop table TBL_PROMOTIONS",
                             // the payments' file, written after the day file and the age file
                             "drop table TBL_PAYMENT_ATTEMPTS"));

TEST_F(DayEndTest, AFailureDuringMaintenanceRestoresTheScreenAndIsCaughtAtTheTick) {
    openDay(At(3, "00:00:00"));
    view.begin = [this] {
        screen << "begin";
        throw std::runtime_error("disk full");
    };
    clock.set(At(4, "00:00:01"));
    EXPECT_NO_THROW(dayEnd.Tick(true, view));
    EXPECT_EQ(screen, QStringList({"begin", "end"}));
    EXPECT_EQ(value("select count(*) from TBL_DAY_ENDS where DAY_END is null").toInt(), 1);
    EXPECT_THROW(dayEnd.DayEndCheck(view), std::runtime_error);
}

class PurgeTest : public DayEndTest {
protected:
    PurgeTest() { clock.set(At(25, "14:00:00")); }
    std::string status(int id) {
        return value(QString("select STATUS || iif(SALE_END is null, ' open', ' ended')"
                             " from TBL_SALES_HEADERS where SALES_ID = %1")
                         .arg(id))
            .toString()
            .trimmed()
            .toStdString();
    }
};

TEST_F(PurgeTest, OpenSalesAreVoidedAfterAnHourOrAllAtDayEnd) {
    openSale(1, At(25, "13:01:00"));  // open 59 minutes
    openSale(2, At(25, "12:59:00"));  // open 61 minutes
    dayEnd.PurgeSales(false);
    EXPECT_EQ(status(1), "0 open");
    EXPECT_EQ(status(2), "20 ended");
    dayEnd.PurgeSales(true);
    EXPECT_EQ(status(1), "20 ended");
}

TEST_F(PurgeTest, AKeepPeriodOfZeroPurgesBeforeMidnightTwentyOneDaysAgo) {
    exec("update TBL_SETUP set KEEP_SALES_DAYS = 0");
    sale(1, At(3, "23:59:59"));
    sale(2, At(4, "00:00:00"));
    exec(
        "insert into TBL_DAY_ENDS (DAY_START, DAY_END)"
        " values ('2026-03-02 00:00', '2026-03-03 00:00')");
    exec(
        "insert into TBL_DAY_ENDS (DAY_START, DAY_END)"
        " values ('2026-03-03 00:00', '2026-03-04 00:00')");
    openDay(At(4, "00:00:00"));
    dayEnd.PurgeSales(false);
    EXPECT_EQ(value("select list(SALES_ID) from TBL_SALES_HEADERS").toString(), "2");
    EXPECT_EQ(value("select count(*) from TBL_SALES_LINES").toInt(), 1);
    EXPECT_EQ(value("select list(DAY_END_ID) from TBL_DAY_ENDS").toString(), "2,3");
    EXPECT_EQ(value("select KEEP_SALES_DAYS from TBL_SETUP").toInt(), 21);
}

// Checks made before any sale existed are purged by their age; the others go with their sale.
TEST_F(PurgeTest, AgeChecksGoWithTheirSalesOrByTheirAge) {
    sale(1, At(3, "23:00:00"));
    sale(2, At(4, "10:00:00"));
    ageCheck("1, 102, 18, 3, '2026-03-04 09:00:00', 'CONFIRMED'");
    ageCheck("2, 102, 18, 3, '2026-03-04 10:00:00', 'CONFIRMED'");
    ageCheck("null, 102, 18, 3, '2026-03-03 23:59:59', 'REFUSED'");
    ageCheck("null, 102, 18, 3, '2026-03-04 00:00:00', 'REFUSED'");
    dayEnd.PurgeSales(false);
    EXPECT_EQ(value("select list(T, ', ') from (select coalesce(SALES_ID, 0) || ' ' ||"
                    " CHECK_TIME as T from TBL_AGE_CHECKS order by AGE_CHECK_ID)")
                  .toString(),
              "2 2026-03-04 10:00:00.0000, 0 2026-03-04 00:00:00.0000");
}

// Stops follow the same rule as the age checks.
TEST_F(PurgeTest, StopsGoWithTheirSalesOrByTheirAge) {
    sale(1, At(3, "23:00:00"));
    sale(2, At(4, "10:00:00"));
    for (const char* values : {"1, '2026-03-04 09:00:00'", "2, '2026-03-04 10:00:00'",
                               "null, '2026-03-03 23:59:59'", "null, '2026-03-04 00:00:00'"})
        exec(QStringLiteral("insert into TBL_STOPS (SALES_ID, STOP_TIME, SID, REASON) values "
                            "(%1, 40, 'RECALL')")
                 .arg(QLatin1StringView(values)));
    dayEnd.PurgeSales(false);
    EXPECT_EQ(value("select list(T, ', ') from (select coalesce(SALES_ID, 0) || ' ' ||"
                    " STOP_TIME as T from TBL_STOPS order by STOP_ID)")
                  .toString(),
              "2 2026-03-04 10:00:00.0000, 0 2026-03-04 00:00:00.0000");
}

// A kiosk switched off for weeks: the open day's sales are older than the keep period, yet they
// have never been exported, so they stay until their day is.
TEST_F(PurgeTest, SalesOfADayNotYetExportedAreKeptWhateverTheirAge) {
    openDay(At(1, "00:00:00", 2));
    sale(1, At(2, "10:00:00", 2));
    check(At(25, "14:00:00"));
    EXPECT_EQ(exportedSales(), QStringList({"00000001.csv:1"}));
    dayEnd.PurgeSales(false);
    EXPECT_EQ(value("select count(*) from TBL_SALES_HEADERS").toInt(), 0);
}

// Card payments and the housekeeping: a sale whose payment is unsettled is never voided,
// purged or exported, and holds the day end; an open sale with a recorded payment is finished.
class PaymentHousekeepingTest : public PurgeTest {
protected:
    void attempt(int sale, const char* reference, const char* state) {
        payAttempt(
            QString("'%1', %2, 150, '%3', null, 'now', null").arg(reference).arg(sale).arg(state));
    }
    void payment(int sale, const char* reference) {
        paymentRow(QString("'%1', %2, 1.5, null, null, null, null").arg(reference).arg(sale));
    }
};

TEST_F(PaymentHousekeepingTest, UnsettledSalesStayAndPaidOpenSalesAreFinished) {
    for (const char* state : {"SENT", "APPROVED", "UNKNOWN"}) {
        SCOPED_TRACE(state);
        exec("delete from TBL_SALES_HEADERS");
        openSale(1, At(25, "12:00:00"));
        attempt(1, "1-a", state);
        openSale(2, At(25, "12:00:00"));
        attempt(2, "2-a", "DECLINED");
        openSale(3, At(25, "12:00:00"));
        payment(3, "3-a");
        dayEnd.PurgeSales(true);
        EXPECT_EQ(status(1), "0 open");
        EXPECT_EQ(status(2), "20 ended");
        EXPECT_EQ(status(3), "0 ended");
    }
    exec("update TBL_SALES_HEADERS set SALE_START = '2025-01-01 10:00' where SALES_ID = 1");
    dayEnd.PurgeSales(false);
    EXPECT_EQ(status(1), "0 open") << "not purged while its payment is unsettled";
}

TEST_F(PaymentHousekeepingTest, AnUnsettledPaymentHoldsTheDayEndUntilSettled) {
    openDay(At(24, "00:00:00"));
    sale(1, At(24, "10:00:00"));
    attempt(1, "1-a", "UNKNOWN");
    sale(2, At(24, "11:00:00"));
    attempt(2, "2-a", "RECORDED");
    payment(2, "2-a");
    check(At(25, "14:00:00"));
    EXPECT_TRUE(exportFiles().isEmpty());
    EXPECT_TRUE(screen.isEmpty());

    exec("update TBL_PAYMENT_ATTEMPTS set STATE = 'RECORDED' where SALES_ID = 1");
    payment(1, "1-a");
    check(At(25, "14:00:01"));
    EXPECT_EQ(exportedSales(), QStringList({"00000001.csv:1", "00000001.csv:2"}));
}

}  // namespace
