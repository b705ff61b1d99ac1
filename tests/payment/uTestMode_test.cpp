#include <gtest/gtest.h>

#include <optional>

#include "app/dm_main.h"
#include "app/uTX32Reg.h"
#include "db/fbQuery.h"
#include "payment/uTestMode.h"
#include "support/LogReader.h"
#include "support/TestDatabases.h"

namespace {

void exec(fb::Connection& conx, const QString& sql) {
    fb::Query q(conx);
    q.setSQL(sql);
    q.execSQL();
}

TEST(TestMode, ASaleClosedInTestModeIsLoggedAsAnErrorWithItsAmount) {
    struct Case {
        int debug;
        bool testMode;
    };
    for (const Case c : {Case{33, true}, Case{32, false}, Case{0, false}}) {
        SCOPED_TRACE(c.debug);
        TestDatabases db;
        exec(db.kiosk(), QStringLiteral("update TBL_SETUP set DEBUG = %1").arg(c.debug));
        exec(db.kiosk(), QStringLiteral("insert into TBL_SALES_HEADERS (SALES_ID, SALE_START) "
                                        "values (41, current_timestamp)"));
        exec(db.kiosk(), QStringLiteral("insert into TBL_SALES_LINES (LINE_ID, SALES_ID, PRODUCT, "
                                        "SALES_QTY, SALES_AMT) values (1, 41, 'Cola', 3, 3.75)"));
        const LogReader log;
        EXPECT_EQ(PaidInTestMode(db.kiosk(), 41), c.testMode);
        const QStringList lines = log.newLines().filter(QStringLiteral("Test mode"));
        if (c.testMode) {
            ASSERT_EQ(lines.size(), 1);
            EXPECT_TRUE(lines[0].endsWith(QStringLiteral(
                "Test mode: sale 41 closed as paid with no payment taken, amount due 3.75")))
                << lines[0].toStdString();
        } else {
            EXPECT_TRUE(lines.isEmpty());
        }
    }
}

TEST(TestMode, ADayEndReturnsToTheLevelKeptAtItsStart) {
    struct Case {
        int debug;
        std::optional<int> kept;
        int after;
    } cases[] = {
        {40, 5, 5}, {40, std::nullopt, 0}, {40, 33, 0}, {32, 5, 32}, {0, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.debug);
        TestDatabases db;
        TTX32Reg().deleteSection(RunTimeSettingsSection);
        if (c.kept) KeepTestModeReturnLevel(*c.kept);
        exec(db.kiosk(), QStringLiteral("update TBL_SETUP set DEBUG = %1").arg(c.debug));
        const LogReader log;
        EXPECT_EQ(EndTestModeAtDayEnd(db.kiosk()), IsTestMode(c.debug));
        EXPECT_EQ(StoredDebugLevel(db.kiosk()), c.after);
        EXPECT_EQ(log.newLines().filter(QStringLiteral("Test mode ended")).size(),
                  IsTestMode(c.debug) ? 1 : 0);
    }
}

}  // namespace
