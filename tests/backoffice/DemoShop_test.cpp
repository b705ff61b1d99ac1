#include <gtest/gtest.h>

#include <QDir>

#include "backoffice/uImportUpdates.h"
#include "db/fbQuery.h"
#include "support/FixedClock.h"
#include "support/TestDatabases.h"
#include "uDemoShop.h"

namespace {

int countRows(fb::Connection& conx, const QString& table) {
    fb::Query q(conx);
    q.setSQL(QStringLiteral("select count(*) from ") + table);
    q.open();
    return q.field(0).toInt();
}

// The demonstration shop that a new kiosk starts with must import whole, and its staff cards
// must be the staff the kiosk finds.
TEST(DemoShop, ImportsWholeWithItsStaffCards) {
    FixedClockGuard clock(QDateTime(QDate(2026, 12, 10), QTime(12, 0)));
    TestDatabases db;
    const ImportFolders folders = ImportFolders::ofDataFolder(db.folder());
    QDir().mkpath(folders.importFolder);
    const demo::DemoShop shop = demo::MakeDemoShop(QDate(2026, 12, 10));
    WriteUpdateFile(shop.content, folders.importFolder + QStringLiteral("demo.json"), true);

    const ImportFileResult result =
        ImportUpdateFile(db.kiosk(), folders, folders.importFolder + QStringLiteral("demo.json"));
    ASSERT_TRUE(result.applied) << result.reason.toStdString();
    EXPECT_GT(countRows(db.kiosk(), QStringLiteral("TBL_PRODUCTS")), 50);
    EXPECT_GT(countRows(db.kiosk(), QStringLiteral("TBL_PROMOTIONS")), 8);
    fb::Query q(db.kiosk());
    for (const demo::StaffCard& card : shop.staffCards) {
        q.setSQL(QStringLiteral("select USER_ID from TBL_USERS where POS_PASS = :PAS"));
        q.bind(QStringLiteral("PAS"), card.code);
        q.open();
        EXPECT_FALSE(q.eof()) << card.code.toStdString();
    }
}

}  // namespace
