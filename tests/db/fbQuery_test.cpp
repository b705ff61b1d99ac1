#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "db/fbConnection.h"
#include "db/fbQuery.h"
#include "db/fbSqlText.h"

namespace {

// A scratch database of its own for each test, with one table of every kind of column.
class QueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString path = dir.filePath(QStringLiteral("scratch.fdb"));
        fb::Connection::createDatabase(path, QStringLiteral("SYSDBA"), QStringLiteral("pinecrest"));
        conx.setDatabase(path);
        conx.setPassword(QStringLiteral("pinecrest"));
        exec(
            "create table T (ID integer not null primary key, S smallint, B bigint, N "
            "numeric(18,4),"
            " D double precision, V varchar(40), C char(6), DT date, TM time, TS timestamp,"
            " M blob sub_type text, F boolean)");
    }

    void exec(const QString& sql) {
        q.setSQL(sql);
        q.execSQL();
    }

    int count(const QString& where = {}) {
        q2.setSQL(QStringLiteral("select count(*) from T ") + where);
        q2.open();
        const int n = q2.field(0).toInt();
        q2.close();
        return n;
    }

    QTemporaryDir dir;
    fb::Connection conx;
    fb::Query q{conx};
    fb::Query q2{conx};
};

TEST(NamedParameters, TranslatesOnlyRealParameters) {
    struct Case {
        const char* sql;
        const char* text;
        QStringList names;
    } cases[] = {
        {"select * from T where ID = :ID", "select * from T where ID = ?", {"ID"}},
        {"update T set V = :v where ID = :ID or B = :id",
         "update T set V = ? where ID = ? or B = ?",
         {"V", "ID", "ID"}},
        {"select ':X', \"A:B\" from T -- :C\n where ID = :D /* :E */",
         "select ':X', \"A:B\" from T -- :C\n where ID = ? /* :E */",
         {"D"}},
        {"select 'it''s :X' from T where V = :V1", "select 'it''s :X' from T where V = ?", {"V1"}},
        {"create trigger X for T before insert as begin new.ID = :y; end",
         "create trigger X for T before insert as begin new.ID = :y; end",
         {}},
    };
    for (const auto& c : cases) {
        const fb::PositionalSql p = fb::translateNamedParameters(QString::fromUtf8(c.sql));
        EXPECT_EQ(p.text, QString::fromUtf8(c.text)) << c.sql;
        EXPECT_EQ(p.names, c.names) << c.sql;
    }
}

TEST_F(QueryTest, RepeatedNameAndColonsInLiteralsBindOnce) {
    q.setSQL(QStringLiteral("insert into T (ID, B, V) values (:ID, :ID, 'a:b :ID')"));
    q.bind(QStringLiteral("id"), 7);
    q.execSQL();
    q.setSQL(QStringLiteral("select B, V from T where ID = :ID and B = :ID"));
    q.bind(QStringLiteral("ID"), 7);
    q.open();
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.field(QStringLiteral("B")).toInt(), 7);
    EXPECT_EQ(q.field(QStringLiteral("v")).toString(), QStringLiteral("a:b :ID"));
}

TEST_F(QueryTest, EveryKindRoundTripsAndNullIsDistinct) {
    const QDateTime stamp(QDate(2024, 2, 29), QTime(23, 59, 58, 5));
    const QString memo = QString(70000, QChar(u'é'));
    q.setSQL(QStringLiteral(
        "insert into T values (:ID, :S, :B, :N, :D, :V, :C, :DT, :TM, :TS, :M, :F)"));
    q.bind("ID", 1).bind("S", -12).bind("B", qint64(9007199254740993LL)).bind("N", 1234.5678);
    q.bind("D", 0.1).bind("V", QStringLiteral("Café & Co")).bind("C", QStringLiteral("ab"));
    q.bind("DT", QDate(1899, 12, 30)).bind("TM", QTime(22, 0, 1)).bind("TS", stamp);
    q.bind("M", memo).bind("F", true);
    q.execSQL();
    q.setSQL(QStringLiteral("insert into T (ID) values (:ID)"));
    q.bind("ID", 2);
    q.execSQL();

    q.setSQL(QStringLiteral("select * from T order by ID"));
    q.open();
    EXPECT_EQ(q.field("S").toInt(), -12);
    EXPECT_EQ(q.field("B").toInt64(), 9007199254740993LL);
    EXPECT_DOUBLE_EQ(q.field("N").toDouble(), 1234.5678);
    EXPECT_EQ(q.field("D").toDouble(), 0.1);
    EXPECT_EQ(q.field("V").toString(), QStringLiteral("Café & Co"));
    EXPECT_EQ(q.field("C").toString(), QStringLiteral("ab"));
    EXPECT_EQ(q.field("DT").toDate(), QDate(1899, 12, 30));
    EXPECT_EQ(q.field("TM").toTime(), QTime(22, 0, 1));
    EXPECT_EQ(q.field("TS").toDateTime(), stamp);  // 5 ms stays 5 ms
    EXPECT_EQ(q.field("M").toString(), memo);
    EXPECT_TRUE(q.field("F").toBool());
    q.next();
    for (const char* name : {"S", "B", "N", "D", "V", "C", "DT", "TM", "TS", "M", "F"}) {
        EXPECT_TRUE(q.field(name).isNull()) << name;
    }
    EXPECT_EQ(q.field("V").toString(), QString());
    EXPECT_EQ(q.field("B").toInt(), 0);
}

TEST_F(QueryTest, TextBindsToDateAndNumberColumns) {
    q.setSQL(QStringLiteral("insert into T (ID, TS, D) values (:ID, :TS, :D)"));
    q.bind("ID", 1)
        .bind("TS", QStringLiteral("2024-05-06 07:08:09.123"))
        .bind("D", QStringLiteral("2.5"));
    q.execSQL();
    q.setSQL(QStringLiteral("select TS, D from T"));
    q.open();
    EXPECT_EQ(q.field("TS").toDateTime(), QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9, 123)));
    EXPECT_EQ(q.field("D").toDouble(), 2.5);
}

TEST_F(QueryTest, NavigationLastCountFirst) {
    for (int id = 1; id <= 5; ++id) {
        q.setSQL(QStringLiteral("insert into T (ID) values (:ID)"));
        q.bind("ID", id);
        q.execSQL();
    }
    q.setSQL(QStringLiteral("select ID from T where ID > :X order by ID"));
    q.bind("X", 1);
    q.open();
    EXPECT_EQ(q.field("ID").toInt(), 2);
    q.last();
    EXPECT_EQ(q.field("ID").toInt(), 5);
    EXPECT_EQ(q.recordCount(), 4);
    q.first();
    EXPECT_EQ(q.field("ID").toInt(), 2);
    int seen = 0;
    for (q.first(); !q.eof(); q.next()) ++seen;
    EXPECT_EQ(seen, 4);

    q.setSQL(QStringLiteral("select ID from T where ID > 100"));
    q.open();
    EXPECT_TRUE(q.eof());
    q.last();
    EXPECT_EQ(q.recordCount(), 0);
}

TEST_F(QueryTest, CommitRetainingKeepsCursorsAndLaterStatementsWorking) {
    for (int id = 1; id <= 3; ++id) {
        q.setSQL(QStringLiteral("insert into T (ID) values (:ID)"));
        q.bind("ID", id);
        q.execSQL();
    }
    fb::Query reader(conx);
    reader.setSQL(QStringLiteral("select ID from T order by ID"));
    reader.open();
    int seen = 0;
    while (!reader.eof()) {  // writes inside the loop commit with retaining
        q.setSQL(QStringLiteral("update T set V = 'x' where ID = :ID"));
        q.bind("ID", reader.field("ID"));
        q.execSQL();
        reader.next();
        ++seen;
    }
    EXPECT_EQ(seen, 3);
    EXPECT_EQ(count("where V = 'x'"), 3);

    // Auto-committed: another attachment sees the rows.
    fb::Connection other;
    other.setDatabase(conx.database());
    other.setPassword(QStringLiteral("pinecrest"));
    fb::Query oq(other);
    oq.setSQL(QStringLiteral("select count(*) from T where V = 'x'"));
    oq.open();
    EXPECT_EQ(oq.field(0).toInt(), 3);
}

// What a transaction's queries write is seen by its own queries at once, by others only once
// it commits; rolled back, nothing of it stays.
TEST_F(QueryTest, RollbackUndoesATransactionAndCommitKeepsIt) {
    {
        fb::Transaction unit(conx);
        fb::Query insert(unit);
        insert.setSQL(QStringLiteral("insert into T (ID) values (1)"));
        insert.execSQL();
        fb::Query inside(unit);
        inside.setSQL(QStringLiteral("select count(*) from T"));
        inside.open();
        EXPECT_EQ(inside.field(0).toInt(), 1);
        EXPECT_EQ(count(), 0);  // a query not given the transaction does not join it
        unit.rollback();
        EXPECT_FALSE(unit.active());
        EXPECT_FALSE(conx.inTransaction());
    }
    EXPECT_EQ(count(), 0);

    fb::Transaction unit(conx);
    fb::Query insert(unit);
    insert.setSQL(QStringLiteral("insert into T (ID) values (2)"));
    insert.execSQL();
    unit.commit();
    EXPECT_EQ(count(), 1);
}

TEST_F(QueryTest, ATransactionRollsBackUnlessCommitted) {
    for (const bool commit : {false, true}) {
        SCOPED_TRACE(commit ? "committed" : "left");
        {
            fb::Transaction unit(conx);
            fb::Query insert(unit);
            insert.setSQL(QStringLiteral("insert into T (ID) values (1)"));
            insert.execSQL();
            if (commit) unit.commit();
        }
        EXPECT_FALSE(conx.inTransaction());
        EXPECT_EQ(count(), commit ? 1 : 0);
    }
}

// A unit of work started inside another is refused: the outer work is neither committed nor
// joined, and stays the outer transaction's to commit.
TEST_F(QueryTest, ANestedTransactionIsRefused) {
    fb::Transaction outer(conx);
    fb::Query insert(outer);
    insert.setSQL(QStringLiteral("insert into T (ID) values (1)"));
    insert.execSQL();
    try {
        fb::Transaction inner(conx);
        FAIL() << "a nested transaction was started";
    } catch (const fb::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("already open"))) << e.what();
    }
    EXPECT_TRUE(outer.active());
    EXPECT_EQ(count(), 0);  // nothing of the outer work was committed
    outer.commit();
    EXPECT_EQ(count(), 1);
}

// Once its transaction has ended a query runs nowhere until it is given another; its cursor
// was closed with the transaction.
TEST_F(QueryTest, AQueryOfAnEndedTransactionIsRefused) {
    exec(QStringLiteral("insert into T (ID) values (1)"));
    fb::Transaction first(conx);
    fb::Query select(first);
    select.setSQL(QStringLiteral("select ID from T"));
    select.open();
    EXPECT_EQ(conx.openCursors(), 1);
    first.commit();
    EXPECT_EQ(conx.openCursors(), 0);
    EXPECT_THROW(select.open(), fb::Error);

    fb::Transaction second(conx);
    select.setTransaction(second);
    select.open();
    EXPECT_EQ(select.field(0).toInt(), 1);
}

// A forward-only query reads every row once, in order, keeping only the one it stands on;
// going back or counting is refused rather than answered wrong.
TEST_F(QueryTest, AForwardOnlyQueryReadsEveryRowOnce) {
    {
        fb::Transaction unit(conx);
        fb::Query insert(unit);
        insert.setSQL(QStringLiteral("insert into T (ID, V) values (:ID, :V)"));
        for (int id = 1; id <= 500; ++id) {
            insert.bind(QStringLiteral("ID"), id).bind(QStringLiteral("V"), QString::number(id));
            insert.execSQL();
        }
        unit.commit();
    }
    fb::Query rows(conx);
    rows.setForwardOnly(true);
    rows.setSQL(QStringLiteral("select ID, V from T order by ID"));
    rows.open();
    rows.first();  // still on the first row: allowed
    int expected = 1;
    for (; !rows.eof(); rows.next(), ++expected) {
        ASSERT_EQ(rows.field(0).toInt(), expected);
        ASSERT_EQ(rows.field(QStringLiteral("V")).toString(), QString::number(expected));
    }
    EXPECT_EQ(expected, 501);
    EXPECT_THROW(rows.first(), fb::Error);
    EXPECT_THROW(rows.recordCount(), fb::Error);
    EXPECT_THROW(rows.last(), fb::Error);
}

// The engine lists every statement an attachment holds prepared, so one that is never freed
// shows there until the attachment ends.
class PreparedStatementsTest : public QueryTest {
protected:
    void SetUp() override {
        QueryTest::SetUp();
        q.setSQL(QStringLiteral("select current_connection from rdb$database"));
        q.open();
        attachment = q.field(0).toInt64();
        q.close();
        observer.setDatabase(conx.database());
        observer.setPassword(QStringLiteral("pinecrest"));
    }

    int preparedStatements() {
        observer.commit();  // a fresh look at the monitoring tables
        statements.setSQL(
            QStringLiteral("select count(*) from MON$STATEMENTS where MON$ATTACHMENT_ID = :A"));
        statements.bind("A", attachment);
        statements.open();
        return statements.field(0).toInt();
    }

    qint64 attachment = 0;
    fb::Connection observer;
    fb::Query statements{observer};
};

TEST_F(PreparedStatementsTest, AStatementRefusedAfterItWasPreparedIsFreed) {
    const int before = preparedStatements();
    for (int attempt = 0; attempt < 3; ++attempt) {
        q.setSQL(QStringLiteral("select ID from T where ID = ?"));  // a marker without a name
        EXPECT_THROW(q.open(), fb::Error);
    }
    EXPECT_EQ(preparedStatements(), before);
}

// A query hands its statement back however it ends (closed, given new text, destroyed with its
// cursor open), so the next query of the same text takes the one already prepared.
TEST_F(PreparedStatementsTest, EveryEndOfAQueryHandsItsStatementBack) {
    const QString select = QStringLiteral("select ID from T");
    q.setSQL(select);
    q.open();
    q.close();
    const int prepared = preparedStatements();
    q.open();
    q.setSQL(select);
    q.open();
    q.setSQL(QStringLiteral("select V from T"));
    q.open();
    {
        fb::Query once(conx);
        once.setSQL(select);
        once.open();
    }
    fb::Query again(conx);
    again.setSQL(select);
    again.open();
    EXPECT_EQ(preparedStatements(), prepared + 1);  // "select V" only
}

// A commit refused at disconnect must not leave the attachment open: it holds the database
// and keeps the engine from ending with the program.
TEST_F(QueryTest, ACommitRefusedAtDisconnectStillDetachesAndKeepsNothing) {
    exec(QStringLiteral("create exception E_REFUSED 'commit refused'"));
    exec(
        "create trigger TR_REFUSE on transaction commit as begin"
        " if (rdb$get_context('USER_TRANSACTION', 'REFUSE') = '1') then exception E_REFUSED; end");
    q.setSQL(QStringLiteral(
        "select rdb$set_context('USER_TRANSACTION', 'REFUSE', '1') from rdb$database"));
    q.open();
    ASSERT_FALSE(q.eof());  // the row is fetched, and the context set with it
    q.setSQL(QStringLiteral("insert into T (ID) values (1)"));
    EXPECT_THROW(q.execSQL(), fb::Error);  // its commit is refused

    EXPECT_THROW(conx.disconnect(), fb::Error);
    EXPECT_FALSE(conx.connected());
    fb::Connection other;
    other.setDatabase(conx.database());
    other.setPassword(QStringLiteral("pinecrest"));
    fb::Query oq(other);
    oq.setSQL(
        QStringLiteral("select count(*) from MON$ATTACHMENTS where MON$SYSTEM_FLAG = 0 "
                       "and MON$ATTACHMENT_ID <> current_connection"));
    oq.open();
    EXPECT_EQ(oq.field(0).toInt(), 0);
    oq.setSQL(QStringLiteral("select count(*) from T"));
    oq.open();
    EXPECT_EQ(oq.field(0).toInt(), 0);
}

TEST_F(QueryTest, EngineMessagesBecomeErrors) {
    q.setSQL(QStringLiteral("select * from NO_SUCH_TABLE"));
    try {
        q.open();
        FAIL() << "expected an error";
    } catch (const fb::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Table unknown"))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("NO_SUCH_TABLE"))) << e.what();
    }
    exec(QStringLiteral("insert into T (ID) values (1)"));
    q.setSQL(QStringLiteral("insert into T (ID) values (1)"));
    EXPECT_THROW(q.execSQL(), fb::Error);
    q.setSQL(QStringLiteral("select * from T where ID = :ID"));
    EXPECT_THROW(q.open(), fb::Error);  // unbound parameter
    EXPECT_EQ(count(), 1);              // the connection works on
}

TEST_F(QueryTest, SameTextOnTwoQueriesAtOnce) {
    for (int id = 1; id <= 2; ++id) exec(QStringLiteral("insert into T (ID) values (%1)").arg(id));
    const QString sql = QStringLiteral("select ID from T order by ID");
    q.setSQL(sql);
    q.open();
    q2.setSQL(sql);
    q2.open();
    q2.next();
    EXPECT_EQ(q.field(0).toInt(), 1);
    EXPECT_EQ(q2.field(0).toInt(), 2);
}

TEST_F(QueryTest, ReturningRowAndReconnect) {
    q.setSQL(QStringLiteral("insert into T (ID, V) values (:ID, 'r') returning V"));
    q.bind("ID", 4);
    q.execSQL();
    EXPECT_EQ(q.field("V").toString(), QStringLiteral("r"));
    conx.disconnect();
    EXPECT_FALSE(q.active());
    EXPECT_EQ(count(), 1);  // a query reconnects its connection
    EXPECT_TRUE(conx.connected());
}

}  // namespace

namespace {

// A program the kiosk starts must not inherit the engine's hold on the database: the engine
// locks the file exclusively, so the kiosk could not attach again while the program runs.
TEST_F(QueryTest, StartedProgramsDoNotInheritTheDatabase) {
    exec(QStringLiteral("insert into T (ID) values (1)"));
    // The engine's lock files, which this process holds open while it is attached.
    const QString lockFolder =
        QDir(QString::fromLocal8Bit(qgetenv("FIREBIRD_LOCK"))).canonicalPath();
    ASSERT_FALSE(lockFolder.isEmpty()) << "the tests' engine has no lock folder of its own";
    QStringList held;
    for (const QFileInfo& fd :
         QDir(QStringLiteral("/proc/self/fd"))
             .entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        held << fd.symLinkTarget();
    ASSERT_TRUE(held.filter(lockFolder + u'/').size() > 0) << held.join(u'\n').toStdString();
    ASSERT_TRUE(held.filter(QStringLiteral("scratch.fdb")).size() > 0);

    QProcess child;
    child.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("ls -l /proc/$$/fd")});
    ASSERT_TRUE(child.waitForFinished(5000));
    const QString descriptors = QString::fromUtf8(child.readAllStandardOutput());
    EXPECT_FALSE(descriptors.contains(QStringLiteral("scratch.fdb"))) << descriptors.toStdString();
    EXPECT_FALSE(descriptors.contains(lockFolder + u'/')) << descriptors.toStdString();
}

}  // namespace
