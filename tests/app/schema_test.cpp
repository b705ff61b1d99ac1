#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/uDbUtils.h"
#include "db/fbQuery.h"
#include "support/TestDatabases.h"
#include "uCreateDatabase.h"

namespace {

// The shipped kiosk database as the sale and payment code rely on it: header totals kept by
// the database in the same transaction, cascading deletes, the refused barcodes.
class SchemaTest : public ::testing::Test {
protected:
    void SetUp() override {
        exec(QStringLiteral(
            "insert into TBL_SALES_HEADERS (SALES_ID, SALE_START) values (1, 'now')"));
    }

    void exec(const QString& sql) {
        q.setSQL(sql);
        q.execSQL();
    }

    void addLine(double amount, double vatRate, int status = 0) {
        q.setSQL(QStringLiteral(
            "insert into TBL_SALES_LINES (SALES_ID, SID, SALES_QTY, SALES_AMT, VAT_RATE, STATUS)"
            " values (1, 1, 1, :AMT, :RATE, :ST)"));
        q.bind(QStringLiteral("AMT"), amount)
            .bind(QStringLiteral("RATE"), vatRate)
            .bind(QStringLiteral("ST"), status);
        q.execSQL();
    }

    void addHit(double original, double discounted, double vatRate) {
        q.setSQL(QStringLiteral(
            "insert into TBL_PROMO_HITS (SALES_ID, PROMO_ID, PROMO_LINE, SID, QTY, ORIGINAL_VALUE,"
            " DISCOUNTED_VALUE, VAT_RATE, HIT_NUMBER) values (1, 7, 0, 1, 2, :O, :D, :R, 1)"));
        q.bind(QStringLiteral("O"), original)
            .bind(QStringLiteral("D"), discounted)
            .bind(QStringLiteral("R"), vatRate);
        q.execSQL();
    }

    struct Totals {
        double gross, discount, vat;
    };
    Totals totals() {
        q.setSQL(QStringLiteral(
            "select GROSS, DISCOUNT, VAT from TBL_SALES_HEADERS where SALES_ID = 1"));
        q.open();
        Totals t{q.field(0).toDouble(), q.field(1).toDouble(), q.field(2).toDouble()};
        q.close();
        return t;
    }

    int count(const QString& table) {
        q.setSQL(QStringLiteral("select count(*) from %1 where SALES_ID = 1").arg(table));
        q.open();
        const int n = q.field(0).toInt();
        q.close();
        return n;
    }

    TestDatabases db;
    fb::Query q{db.kiosk()};
};

TEST_F(SchemaTest, TotalsFollowLiveLinesAndHits) {
    addLine(1.23, 23);
    addLine(3.50, 13.5);
    addLine(10.0, 23, 20);  // void: neither gross nor VAT
    Totals t = totals();
    EXPECT_DOUBLE_EQ(t.gross, 4.73);
    // 1.23 at 23 % holds 0.23 of VAT; 3.50 at 13.5 % holds 3.50 x 13.5 / 113.5 = 0.41629955947.
    EXPECT_NEAR(t.vat, 0.64629955947, 1e-9);
    EXPECT_EQ(t.discount, 0.0);

    addHit(2.46, 1.23, 23);
    t = totals();
    EXPECT_DOUBLE_EQ(t.discount, 1.23);
    EXPECT_NEAR(t.vat, 0.41629955947, 1e-9);  // the discount carries its VAT (0.23) away

    exec(QStringLiteral("update TBL_SALES_LINES set STATUS = 20 where SALES_AMT = 3.5"));
    exec(QStringLiteral("delete from TBL_PROMO_HITS where SALES_ID = 1"));
    t = totals();
    EXPECT_DOUBLE_EQ(t.gross, 1.23);
    EXPECT_EQ(t.discount, 0.0);
}

TEST_F(SchemaTest, ASaleWhoseOnlyLineIsVoidHasNothingDue) {
    addLine(2.0, 23);
    exec(QStringLiteral("update TBL_SALES_LINES set STATUS = 20"));
    const Totals t = totals();
    EXPECT_EQ(t.gross, 0.0);
    EXPECT_EQ(t.vat, 0.0);
    EXPECT_EQ(count(QStringLiteral("TBL_SALES_HEADERS")), 1);
}

TEST_F(SchemaTest, DeletingAHeaderDeletesItsRows) {
    addLine(2.0, 23);
    addHit(2.0, 1.0, 23);
    exec(QStringLiteral(
        "insert into TBL_SALES_PAYMENTS (SALES_ID, MOP, \"VALUE\") values (1, 1, 1.0)"));
    exec(QStringLiteral("delete from TBL_SALES_HEADERS where SALES_ID = 1"));
    for (const char* table :
         {"TBL_SALES_LINES", "TBL_PROMO_HITS", "TBL_SALES_PAYMENTS", "TBL_SALES_HEADERS"})
        EXPECT_EQ(count(QString::fromLatin1(table)), 0) << table;
}

TEST_F(SchemaTest, OnlyNumericBarcodesOfUpTo18DigitsAreStored) {
    const struct {
        const char* barcode;
        bool stored;
    } cases[] = {{"5391230010019", true},
                 {"000000000000000001", true},
                 {"12AB", false},
                 {"1234567890123456789", false},
                 {" 123", false},
                 {"1.5", false},
                 {"", false}};
    for (const auto& c : cases) {
        q.setSQL(QStringLiteral(
            "insert into TBL_BARCODES (SID, BARCODE, CODE_TYPE) values (1, :BC, 0)"));
        q.bind(QStringLiteral("BC"), QString::fromLatin1(c.barcode));
        if (c.stored)
            EXPECT_NO_THROW(q.execSQL()) << c.barcode;
        else
            EXPECT_THROW(q.execSQL(), fb::Error) << c.barcode;
    }
}

TEST_F(SchemaTest, NextIdSkipsANumberAlreadyTaken) {
    // The generator starts at 1, which the fixture's sale already uses.
    exec(QStringLiteral("insert into TBL_SALES_HEADERS (SALES_ID, SALE_START) values (2, 'now')"));
    EXPECT_EQ(NextId(q, QStringLiteral("GEN_SALES_ID"), QStringLiteral("SALES_ID"),
                     QStringLiteral("TBL_SALES_HEADERS")),
              3);
    EXPECT_EQ(NextId(q, QStringLiteral("GEN_SALES_ID"), QStringLiteral("SALES_ID"),
                     QStringLiteral("TBL_SALES_HEADERS")),
              4);
}

TEST_F(SchemaTest, SelectValueAndCopyToMemoryTable) {
    EXPECT_EQ(SelectValue(q, QStringLiteral("TBL_SETUP"), QStringLiteral("SETUP_ID"),
                          QStringLiteral("KEEP_SALES_DAYS"), 1),
              QStringLiteral("21"));
    EXPECT_EQ(SelectValue(q, QStringLiteral("TBL_SETUP"), QStringLiteral("SETUP_ID"),
                          QStringLiteral("OUR_ADD3"), 99),
              QString());
    addLine(1.5, 23);
    addLine(2.5, 23);
    TMemTable table({QStringLiteral("SALES_AMT"), QStringLiteral("MARK"), QStringLiteral("COPY")});
    q.setSQL(QStringLiteral("select SALES_AMT, SID from TBL_SALES_LINES order by SALES_AMT"));
    CopyDSToMemDS(q, table, {QStringLiteral("SID")}, {QStringLiteral("COPY")},
                  [](fb::Query&, const QString& field, QString& text) {
                      if (field != QStringLiteral("MARK")) return false;
                      text = QStringLiteral("*");
                      return true;
                  });
    ASSERT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.value(1, QStringLiteral("SALES_AMT")).toDouble(), 2.5);
    EXPECT_EQ(table.value(0, QStringLiteral("MARK")).toString(), QStringLiteral("*"));
    EXPECT_EQ(table.value(0, QStringLiteral("COPY")).toInt(), 1);
    EXPECT_THROW(CopyDSToMemDS(q, table, {QStringLiteral("SID")}, {}), std::runtime_error);
}

}  // namespace

namespace {

// The database tool as a kiosk is built: a database appears under its name only when its
// whole script ran, so a build that failed is built again next time.
TEST(DatabaseTool, AFailedBuildLeavesNothingAndKeepsTheDatabaseThatWasThere) {
    QTemporaryDir dir;
    const QString schema = dir.filePath(QStringLiteral("schema"));
    const QString data = dir.filePath(QStringLiteral("data"));
    QDir().mkpath(schema);
    auto writeScript = [&](const QString& name, const QByteArray& text) {
        QFile file(QDir(schema).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    writeScript(QStringLiteral("admin.sql"), "create table A (ID integer);");
    writeScript(QStringLiteral("kiosk.sql"),
                "create table K (ID integer);\ninsert into K values (1);\ncreate table BROKEN (;");
    const QString kiosk = QDir(data).filePath(QStringLiteral("KPSelfServ.gdb"));
    auto filesInData = [&] { return QDir(data).entryList(QDir::Files | QDir::Hidden); };

    EXPECT_THROW(CreateKioskDatabases(schema, data, false), std::exception);
    EXPECT_TRUE(filesInData().isEmpty()) << filesInData().join(u' ').toStdString();

    writeScript(QStringLiteral("kiosk.sql"), "create table K (ID integer);");
    EXPECT_EQ(CreateKioskDatabases(schema, data, false).size(), 2);
    EXPECT_EQ(filesInData(),
              QStringList({QStringLiteral("KPAdmin.gdb"), QStringLiteral("KPSelfServ.gdb")}));

    // A rebuild that fails keeps the database that was there, whole.
    writeScript(QStringLiteral("kiosk.sql"), "create table BROKEN (;");
    EXPECT_THROW(CreateKioskDatabases(schema, data, true), std::exception);
    fb::Connection conx;
    conx.setDatabase(kiosk);
    conx.setPassword(QStringLiteral("pinecrest"));
    fb::Query q(conx);
    q.setSQL(QStringLiteral("select count(*) from K"));
    q.open();
    EXPECT_EQ(q.field(0).toInt(), 0);
    EXPECT_EQ(filesInData().size(), 2);
}

}  // namespace
