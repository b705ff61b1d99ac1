#include <gtest/gtest.h>

#include <QDir>

#include "backoffice/uImportUpdates.h"
#include "db/fbQuery.h"
#include "sale/uSale.h"
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

// The demonstration shop that a new kiosk starts with, imported as the kiosk imports it.
class DemoShopTest : public ::testing::Test {
protected:
    void SetUp() override {
        const ImportFolders folders = ImportFolders::ofDataFolder(db.folder());
        QDir().mkpath(folders.importFolder);
        WriteUpdateFile(shop.content, folders.importFolder + QStringLiteral("demo.json"), true);
        const ImportFileResult result = ImportUpdateFile(
            db.kiosk(), folders, folders.importFolder + QStringLiteral("demo.json"));
        ASSERT_TRUE(result.applied) << result.reason.toStdString();
    }

    FixedClockGuard clock{QDateTime(QDate(2026, 12, 10), QTime(12, 0))};
    TestDatabases db;
    const demo::DemoShop shop = demo::MakeDemoShop(QDate(2026, 12, 10));
};

// It must import whole, and its staff cards must be the staff the kiosk finds.
TEST_F(DemoShopTest, ImportsWholeWithItsStaffCards) {
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

// The short codes of the imported sweets and the deli scale's labels that the README lists.
TEST_F(DemoShopTest, TheCodesTheReadmeListsSellTheirProducts) {
    TSale sale(db.kiosk());
    const struct {
        const char* code;
        const char* product;
        double quantity, price;  // price: the label's own, 0 for the product's
    } cases[] = {
        {"07654325", "Peanut Butter Cups 42g", 1, 0},
        {"04785139", "Root Beer Barrels 100g", 1, 0},
        {"02893347", "Candy Corn 85g", 1, 0},
        {"03589274", "Marshmallow Fluff 213g", 1, 0},
        {"2240101004509", "Deli Salad Box", 1, 4.50},
        {"2240101003250", "Deli Salad Box", 1, 3.25},
        {"2440102105995", "Hot Chicken Wings Box", 1, 5.99},
        {"2340201002501", "Pick & Mix Sweets (per kg)", 0.25, 0},
        {"2340201005007", "Pick & Mix Sweets (per kg)", 0.5, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const std::optional<TSaleItem> item = sale.ScanBarcode(QString::fromLatin1(c.code));
        ASSERT_TRUE(item);
        EXPECT_EQ(item->caption, QString::fromUtf8(c.product));
        EXPECT_DOUBLE_EQ(item->quantity, c.quantity);
        EXPECT_DOUBLE_EQ(item->unitPrice.value_or(0), c.price);
    }
}

// The GS1 codes of the README and of the pictures in docs/: the good batch and the weighed ham
// are sold, the recalled batch and the expired cream are stopped.
TEST_F(DemoShopTest, TheGs1CodesSellOrStopAsTheReadmeSays) {
    TSale sale(db.kiosk());
    const struct {
        const char* name;
        const char* product;  // empty: stopped
        double quantity;
        std::optional<TStopReason> stop;
    } cases[] = {
        {"gs1-yogurt-good", "Natural Yogurt 500g", 1, std::nullopt},
        {"gs1-yogurt-recalled", "Natural Yogurt 500g", 1, TStopReason::Recall},
        {"gs1-cream-expired", "Fresh Cream 250ml", 1, TStopReason::UseBy},
        {"gs1-ham-weighed", "Smoked Ham (per kg)", 0.425, std::nullopt},
    };
    const std::vector<demo::Gs1DemoCode> codes = demo::Gs1DemoCodes();
    ASSERT_EQ(codes.size(), std::size(cases));
    for (size_t i = 0; i < codes.size(); ++i) {
        SCOPED_TRACE(codes[i].elementStrings().toStdString());
        EXPECT_EQ(codes[i].name, QString::fromLatin1(cases[i].name));
        const std::optional<TSaleItem> item = sale.ScanBarcode(codes[i].elementStrings());
        ASSERT_TRUE(item);
        EXPECT_EQ(item->caption, QString::fromUtf8(cases[i].product));
        EXPECT_DOUBLE_EQ(item->quantity, cases[i].quantity);
        EXPECT_EQ(item->stop, cases[i].stop);
    }
}

}  // namespace
