#include <gtest/gtest.h>

#include "app/uSQLUpdates.h"
#include "db/fbQuery.h"
#include "support/FileHolder.h"
#include "support/LogReader.h"
#include "support/TestDatabases.h"

namespace {

class SQLUpdatesTest : public ::testing::Test {
protected:
    // The runner's own behaviour, on a script table holding only each test's scripts.
    void SetUp() override {
        setVersion(7);
        fb::Query clear(db.admin());
        clear.setSQL(QStringLiteral("delete from TBL_SQLUPDATES"));
        clear.execSQL();
    }

    void setVersion(int version) {
        exec(QStringLiteral("update TBL_SETUP set DB_VERSION = %1").arg(version));
    }

    void exec(const QString& sql) {
        q.setSQL(sql);
        q.execSQL();
    }

    int scalar(const QString& sql) {
        q.setSQL(sql);
        q.open();
        const int v = q.field(0).toInt();
        q.close();
        return v;
    }

    int run(int current, int count) {
        TSQLUpdatesView view;
        view.setProgress = [this](int p) { progress.push_back(p); };
        view.setStatus = [this](const QString& s) { status = s; };
        return RunSQLUpdates(db.kiosk(), db.admin(), qa, current, count, view);
    }

    TestDatabases db;
    fb::Query q{db.kiosk()};
    fb::Query qa{db.admin()};
    std::vector<int> progress;
    QString status;
};

TEST(UpdateScript, SplitsAtCaretsAndCutsTheImmediateMarker) {
    const auto statements = SplitUpdateScript(QStringLiteral(
        "  create table X (A integer){{immediate}} ^\r\n insert into X values (1)^^\t^"));
    ASSERT_EQ(statements.size(), 2);
    EXPECT_EQ(statements[0].text, QStringLiteral("create table X (A integer)"));
    EXPECT_TRUE(statements[0].immediate);
    EXPECT_EQ(statements[1].text, QStringLiteral("insert into X values (1)"));
    EXPECT_FALSE(statements[1].immediate);
    EXPECT_TRUE(SplitUpdateScript(QString()).isEmpty());
}

TEST_F(SQLUpdatesTest, AppliesPriorityZeroScriptsAlongWithTheCountedOnes) {
    db.addUpdateScript(
        8, 0, QStringLiteral("create table X (A integer){{immediate}}^insert into X values (8)^"));
    db.addUpdateScript(9, 1, QStringLiteral("  select 1 from rdb$database^update X set A = 9^"));
    db.addUpdateScript(10, -1, QStringLiteral("update X set A = 10"));
    EXPECT_EQ(run(7, 1), 9);
    EXPECT_EQ(scalar(QStringLiteral("select DB_VERSION from TBL_SETUP")), 9);
    EXPECT_EQ(scalar(QStringLiteral("select A from X")), 9);
    EXPECT_EQ(progress, (std::vector<int>{100, 200}));
    EXPECT_EQ(status, QStringLiteral("Updated to version #9"));
}

TEST_F(SQLUpdatesTest, AFailureKeepsEarlierScriptsAndImmediateStatements) {
    db.addUpdateScript(
        8, 0, QStringLiteral("create table X (A integer){{immediate}}^insert into X values (8)"));
    db.addUpdateScript(
        9, 1,
        QStringLiteral("create table Y (B integer){{immediate}}^insert into X values (9)^"
                       "insert into NO_SUCH_TABLE values (1)"));
    LogReader log;
    EXPECT_THROW(run(7, 1), std::exception);
    EXPECT_EQ(status, QStringLiteral("Updated to version #8"));
    EXPECT_EQ(scalar(QStringLiteral("select DB_VERSION from TBL_SETUP")), 8);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from X")),
              1);  // script 9's insert rolled back
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from Y")), 0);  // its immediate create stayed
    const QStringList lines = log.newLines();
    EXPECT_EQ(lines.filter(QStringLiteral("Error during DB update: ")).size(), 1);
    EXPECT_EQ(lines.filter(QStringLiteral("insert into NO_SUCH_TABLE values (1)")).size(), 1);
}

TEST_F(SQLUpdatesTest, NothingToApply) {
    setVersion(0);
    EXPECT_EQ(run(0, 1), 0);
    EXPECT_EQ(status, QStringLiteral("No updates processed"));
}

TEST_F(SQLUpdatesTest, ScriptWithoutAVersionDoesNotMoveIt) {
    db.addUpdateScript(0, 1, QStringLiteral("update TBL_SETUP set OUR_ADD2 = 'zero'"));
    EXPECT_EQ(run(-1, 1), -1);
    EXPECT_EQ(scalar(QStringLiteral("select DB_VERSION from TBL_SETUP")), 7);
}

TEST_F(SQLUpdatesTest, InUseWhileAnotherProcessHoldsTheKioskDatabase) {
    EXPECT_FALSE(KioskDatabaseInUse(db.kiosk()));
    EXPECT_TRUE(db.kiosk().connected());
    FileHolder holder(db.kioskPath());
    EXPECT_TRUE(KioskDatabaseInUse(db.kiosk()));
    EXPECT_TRUE(db.kiosk().connected());
}

// A kiosk delivered at version 1 gets every later schema from the scripts shipped in the
// back-office database: the payment journal (2), the price labels and the age-check record (3),
// the recalls, the record of stopped products and the settings of GS1 codes (5).
// The objects they add are taken away from a current database, which is then brought up again
// by the shipped scripts alone and ends with the shipped schema's version.
TEST(ShippedSchemaScripts, BringAVersion1KioskUpToDate) {
    TestDatabases shipped;
    fb::Query kiosk(shipped.kiosk());
    const auto scalar = [&](const QString& sql) {
        kiosk.setSQL(sql);
        kiosk.open();
        const int v = kiosk.field(0).toInt();
        kiosk.close();
        return v;
    };
    const int version = scalar(QStringLiteral("select DB_VERSION from TBL_SETUP"));
    for (const char* sql :
         {"drop table TBL_PAYMENT_ATTEMPTS",
          "alter table TBL_SALES_PAYMENTS drop constraint UQ_SALES_PAYMENTS_REFERENCE",
          "alter table TBL_SALES_PAYMENTS drop PAY_REFERENCE", "drop table TBL_AGE_CHECKS",
          "drop table TBL_PRICE_CODES", "drop index IX_PRODUCTS_SKU", "drop table TBL_STOPS",
          "drop table TBL_RECALLS", "alter table TBL_SETUP drop GS1_SEPARATOR",
          "alter table TBL_SETUP drop STOP_BEST_BEFORE", "update TBL_SETUP set DB_VERSION = 1"}) {
        kiosk.setSQL(QString::fromLatin1(sql));
        kiosk.execSQL();
        shipped.kiosk().commit();
    }
    fb::Query admin(shipped.admin());
    EXPECT_EQ(RunSQLUpdates(shipped.kiosk(), shipped.admin(), admin, 1, 1, {}), version);
    EXPECT_EQ(scalar(QStringLiteral("select DB_VERSION from TBL_SETUP")), version);

    kiosk.setSQL(
        QStringLiteral("insert into TBL_SALES_HEADERS (SALES_ID, SALE_START) values (1, 'now')"));
    kiosk.execSQL();
    kiosk.setSQL(
        QStringLiteral("insert into TBL_PAYMENT_ATTEMPTS (PAY_REFERENCE, SALES_ID, "
                       "AMOUNT, STATE, CREATED, UPDATED) values ('1-x', 1, 5, 'SENT', "
                       "'now', 'now')"));
    EXPECT_NO_THROW(kiosk.execSQL());
    kiosk.setSQL(QStringLiteral(
        "insert into TBL_PAYMENT_ATTEMPTS (PAY_REFERENCE, SALES_ID, AMOUNT, STATE, CREATED, "
        "UPDATED, TERMINAL_ID, JOURNAL_ID, DECIDED_BY, DECIDED_AT) values ('1-y', 1, 5, "
        "'RESOLVED-NOT-PAID', 'now', 'now', '22446688', 'J-1', 'Aoife', 'now')"));
    EXPECT_NO_THROW(kiosk.execSQL()) << "the terminal, the journal and who decided a doubt";
    kiosk.setSQL(QStringLiteral(
        "insert into TBL_SALES_PAYMENTS (SALES_ID, PAY_REFERENCE) values (1, '1-x')"));
    kiosk.execSQL();
    EXPECT_THROW(kiosk.execSQL(), std::exception) << "a reference is paid once";

    EXPECT_EQ(scalar(QStringLiteral("select count(*) from RDB$RELATIONS where RDB$RELATION_NAME in "
                                    "('TBL_AGE_CHECKS', 'TBL_PRICE_CODES')")),
              2);
    EXPECT_EQ(scalar(QStringLiteral(
                  "select count(*) from RDB$INDICES where RDB$INDEX_NAME in "
                  "('IX_PRODUCTS_SKU', 'IX_AGE_CHECKS_CHECK_TIME', 'IX_AGE_CHECKS_SALES_ID')")),
              3);
    // The age record cascades with its sale, as in a database made at the shipped version.
    kiosk.setSQL(QStringLiteral(
        "insert into TBL_AGE_CHECKS (SALES_ID, SID, REQUIRED_AGE, USER_ID, CHECK_TIME, OUTCOME)"
        " values (1, 5, 18, 3, 'now', 'CONFIRMED')"));
    kiosk.execSQL();
    kiosk.setSQL(QStringLiteral("delete from TBL_SALES_HEADERS"));
    kiosk.execSQL();
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from TBL_AGE_CHECKS")), 0);

    // The setup row takes the settings of GS1 codes as a new database has them: no separator
    // substitute, best-before dates not stopping.
    kiosk.setSQL(QStringLiteral("select GS1_SEPARATOR, STOP_BEST_BEFORE from TBL_SETUP"));
    kiosk.open();
    EXPECT_EQ(kiosk.field(0).toString(), QString());
    EXPECT_EQ(kiosk.field(1).toString(), QStringLiteral("N"));
    kiosk.close();
    EXPECT_EQ(
        scalar(QStringLiteral("select count(*) from RDB$INDICES where RDB$INDEX_NAME in "
                              "('IX_RECALLS_GTIN', 'IX_STOPS_STOP_TIME', 'IX_STOPS_SALES_ID')")),
        3);
}

}  // namespace
