#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>
#include <QTableView>

#include "backoffice/uImportUpdates.h"
#include "kiosk/MainScreenFixture.h"
#include "kiosk/fm_main.h"
#include "support/FixedClock.h"
#include "uDemoShop.h"

namespace {

// A customer buys two bags of crisps, two colas and a pack of gum; crisps with cola is 50c off.
class PromotionScreenTest : public MainScreenFixture {
protected:
    static constexpr const char* Gum = "5000000000024";

    PromotionScreenTest() {
        exec(
            "insert into TBL_PRODUCTS (SID, DESCRIPTION, DEPT_ID, SP, VAT_RATE)"
            " values (103, 'Chewing Gum', 1, 0.8, 20)");
        exec("insert into TBL_BARCODES (SID, BARCODE) values (103, '5000000000024')");
        exec(
            "insert into TBL_PROMOTIONS (PROMO_ID, DESCRIPTION, PROMO_TYPE, PROMO_PRICE,"
            " START_DATE, END_DATE, START_TIME, END_TIME, ACTIVE_DAYS) values (1,"
            " 'Crisps + Cola 50c Off', 1, 0.5, current_date - 1, current_date + 1, '08:00',"
            " '20:00', 'YYYYYYY')");
        exec("insert into TBL_PROMO_TRIGGERS (PROMO_ID, LINE_NO, TRIGGER_QTY) values (1, 1, 1)");
        exec("insert into TBL_PROMO_TRIGGERS (PROMO_ID, LINE_NO, TRIGGER_QTY) values (1, 2, 1)");
        exec("insert into TBL_PROMO_PRODUCTS (PROMO_ID, LINE_NO, SID) values (1, 1, 100)");
        exec("insert into TBL_PROMO_PRODUCTS (PROMO_ID, LINE_NO, SID) values (1, 2, 101)");
    }

    QTableView* grid() { return widget<QTableView>("dbgTransaction"); }
    int rows() { return grid()->model()->rowCount(); }
    QString cell(int row, int column) {
        return grid()->model()->index(row, column).data().toString();
    }
    QStringList column(int column) {
        QStringList texts;
        for (int row = 0; row < rows(); ++row) texts << cell(row, column);
        return texts;
    }
    void pay() { widget<QPushButton>("cmFinishAndPay")->click(); }

    FixedClockGuard clock{QDateTime(QDate::currentDate(), QTime(12, 0))};
};

TEST_F(PromotionScreenTest, PayShowsOneDiscountRowPerHitAndTheReducedSubTotal) {
    for (const char* code : {Crisps, Cola, Gum, Crisps, Cola}) scan(code);
    EXPECT_EQ(column(2), QStringList({"*", "*", "", "*", "*"}));
    EXPECT_EQ(text("lbSubTotal"), "6.30");

    pay();

    EXPECT_EQ(column(1), QStringList({"Crisps Salt & Vinegar", "Cola 500ml", "Chewing Gum",
                                      "Crisps Salt & Vinegar", "Cola 500ml", "",
                                      "Crisps + Cola 50c Off", "Crisps + Cola 50c Off"}));
    EXPECT_EQ(column(3),
              QStringList({"1.50", "1.25", "0.80", "1.50", "1.25", "", "-0.50", "-0.50"}));
    EXPECT_EQ(column(2), QStringList({"*", "*", "", "*", "*", "", "", ""}));
    EXPECT_EQ(text("lbSubTotal"), "5.30");
    EXPECT_EQ(text("lbItemCount"), "5");
    // The discount's amount shows whole, not cut short.
    EXPECT_GE(grid()->columnWidth(3), grid()->fontMetrics().horizontalAdvance("-10.00") + 8);
    EXPECT_EQ(focus(), widget("ebScanBuffer"));

    // Pressing pay again, as after a cancelled payment, gives the same discount, not twice it.
    pay();
    EXPECT_EQ(rows(), 8);
    EXPECT_EQ(text("lbSubTotal"), "5.30");
}

TEST_F(PromotionScreenTest, PromotionsOutsideTheirHoursAtStartAreNeverLoaded) {
    clock.set(QDateTime(QDate::currentDate(), QTime(7, 59)));
    screen();
    clock.set(QDateTime(QDate::currentDate(), QTime(12, 0)));
    for (const char* code : {Crisps, Cola}) scan(code);

    pay();

    EXPECT_EQ(column(2), QStringList({"", ""}));
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(text("lbSubTotal"), "2.75");
}

// A new kiosk finds the demonstration shop waiting in its import folder: its promotions count
// from this first start.
TEST_F(PromotionScreenTest, PromotionsOfAnUpdateWaitingAtStartCountFromThatStart) {
    const QString importFolder = ImportFolders::ofDataFolder(db.folder()).importFolder;
    QDir().mkpath(importFolder);
    demo::WriteUpdateFile(demo::MakeDemoShop(QDate::currentDate()).content,
                          importFolder + QStringLiteral("demo.json"), false);
    screen();
    const QString milk = demo::Ean13(QStringLiteral("539123001201"));
    const QString caramel = demo::Ean13(QStringLiteral("539123001202"));
    for (const QString& code : {milk, caramel}) scan(code);

    pay();

    EXPECT_EQ(column(2).mid(0, 2), QStringList({"*", "*"}));
    EXPECT_EQ(column(1).mid(2), QStringList({"", "Any 2 Chocolate Bars €2.50"}));
    EXPECT_EQ(column(3).mid(2), QStringList({"", "-0.50"}));
    EXPECT_EQ(text("lbSubTotal"), "2.50");
}

}  // namespace
