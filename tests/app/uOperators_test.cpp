#include <gtest/gtest.h>

#include "app/uOperators.h"
#include "db/fbQuery.h"
#include "support/LogReader.h"
#include "support/TestDatabases.h"

namespace {

class OperatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        addUser("7, 'ann', '123456', 'NYN'");  // may confirm ages
        addUser("8, 'bob', '654321', 'YNY'");  // may not
        addUser("9, 'cal', 'abc123', 'Y'");    // a short ACCESS text
        addUser("0, 'zero', '111', 'YYY'");    // no valid id
        addUser("null, 'none', '222', 'YYY'");
    }

    void addUser(const QString& values) {
        q.setSQL("insert into TBL_USERS (USER_ID, LOGIN_NAME, POS_PASS, ACCESS) values (" + values +
                 ")");
        q.execSQL();
    }

    TestDatabases db;
    fb::Query q{db.kiosk()};
};

TEST_F(OperatorTest, BarcodeToUserMatchesCodesExactly) {
    const QString allRights(20, u'Y');
    struct Case {
        const char* code;
        int user;
        QString access;
    } cases[] = {
        {"", 0, ""},
        {"4b17e2c9a05d", -1, allRights},
        {"e83a5f1c6b27", -2, ""},
        {"123456", 7, "NYN"},
        {"654321", 8, "YNY"},
        {"abc123", 9, "Y"},
        {"ABC123", 0, ""},
        {"4B17E2C9A05D", 0, ""},
        {" 4b17e2c9a05d", 0, ""},
        {"4b17e2c9a05d ", 0, ""},
        {"123456 ", 0, ""},
        {" 123456", 0, ""},
        {"999999", 0, ""},
        {"111", 0, ""},
        {"222", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        QString access = "stale";
        EXPECT_EQ(BarcodeToUser(q, c.code, access), c.user);
        EXPECT_EQ(access, c.access);
    }
}

TEST_F(OperatorTest, AgeAuthorityNeedsTheSecondRight) {
    struct Case {
        const char* code;
        TOperatorAuthority authority;
    } cases[] = {
        {"999999", oaInvalid},
        {"", oaInvalid},
        {"4b17e2c9a05d", oaAuthorised},
        {"123456", oaAuthorised},
        {"e83a5f1c6b27", oaInsufficient},
        {"654321", oaInsufficient},
        {"abc123", oaInsufficient},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(CheckAgeAuthority(q, c.code).authority, c.authority);
    }
    EXPECT_EQ(AgeAuthority(5, "Ny"), oaInsufficient);
    EXPECT_EQ(CheckAgeAuthority(q, "123456").user, 7);
    EXPECT_EQ(CheckAgeAuthority(q, "4b17e2c9a05d").user, -1);
}

TEST_F(OperatorTest, AFailedLookupIsNotAnOperator) {
    db.kiosk().disconnect();
    db.kiosk().setDatabase(db.folder() + "missing.gdb");
    QString access;
    const LogReader log;
    EXPECT_EQ(BarcodeToUser(q, "123456", access), 0);
    EXPECT_TRUE(access.isEmpty());
    const QString logged = log.newLines().join(u'\n');
    EXPECT_TRUE(logged.contains(QStringLiteral("Staff code lookup failed: ")) &&
                logged.contains(QString::number(isc_io_error)))
        << logged.toStdString();
    EXPECT_EQ(BarcodeToUser(q, "4b17e2c9a05d"), -1);
}

}  // namespace
