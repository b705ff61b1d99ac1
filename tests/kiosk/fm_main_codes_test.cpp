#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "kiosk/KioskInput.h"
#include "kiosk/MainScreenFixture.h"
#include "sale/fm_Info.h"
#include "sale/uStops.h"

namespace {

// The kiosk with the deli scale's weight labels (prefix 23) and an imported sweet whose wrapper
// carries the UPC-E form of its stored UPC-A code.
class MainScreenCodesTest : public MainScreenFixture {
protected:
    MainScreenCodesTest() {
        exec("insert into TBL_PRICE_CODES (PFX, TYP, VCK) values ('23', 'W', 'N')");
        exec(
            "insert into TBL_PRODUCTS (SID, SKU, DESCRIPTION, DEPT_ID, SP, VAT_RATE)"
            " values (103, 40201, 'Mixed Sweets', 1, 14.9, 23)");
        exec(
            "insert into TBL_PRODUCTS (SID, SKU, DESCRIPTION, DEPT_ID, SP, VAT_RATE)"
            " values (104, 104, 'Peanut Butter Cups', 1, 1.95, 23)");
        exec("insert into TBL_BARCODES (SID, BARCODE) values (104, '076200005435')");
    }
};

TEST_F(MainScreenCodesTest, AWeightLabelAndAShortCodeSellAtTheScanPoint) {
    scan("2340201005007");  // 500 g
    EXPECT_EQ(text("lbScannedProduct"), "Mixed Sweets");
    EXPECT_EQ(text("lbScannedQty"), "0.500 kg @ 14.90/kg");
    EXPECT_EQ(text("lbSubTotal"), "7.45");

    scan("07654325");
    EXPECT_EQ(text("lbScannedProduct"), "Peanut Butter Cups");
    EXPECT_FALSE(shown("lbScannedQty"));
    EXPECT_EQ(text("lbSubTotal"), "9.40");
    EXPECT_EQ(select("select list(BARCODE) from TBL_SALES_LINES"), "2340201005007,07654325");

    scan("07654326");  // a misread
    EXPECT_EQ(text("lbScannedProduct"), "Barcode Not Found");
}

// Mary confirms the first lager; the second of the sale is sold on her confirmation.
TEST_F(MainScreenCodesTest, AnAgeConfirmedAtTheKioskIsRecordedAndStandsForTheSale) {
    ModalScript script;
    script.on<TfmInfoBox>([&](TfmInfoBox& box) {
        answer(Yes);
        TypeCode(box.findChild<QLineEdit*>("ebScanBuffer"), Mary);
    });
    scan(Lager);
    scan(Lager);
    EXPECT_TRUE(script.done());
    EXPECT_EQ(script.rejected(), 0);
    EXPECT_EQ(messages, QStringList({"Is the customer over 18 ?"}));
    EXPECT_EQ(select("select count(*) from TBL_SALES_LINES"), "2");
    EXPECT_EQ(select("select list(T, ' ') from (select SID || ':' || USER_ID || ':' || OUTCOME"
                     " as T from TBL_AGE_CHECKS order by AGE_CHECK_ID)"),
              "102:7:CONFIRMED 102:7:CONFIRMED");
}

// The scanner types the GS1 separator between a batch and a use-by date; the scan buffer keeps
// it, so the date is read as a date: the milk past it is stopped, the good one sold.
TEST_F(MainScreenCodesTest, AGs1CodeKeepsItsSeparatorAndAnExpiredItemIsStopped) {
    exec(
        "insert into TBL_PRODUCTS (SID, SKU, DESCRIPTION, DEPT_ID, SP, VAT_RATE)"
        " values (105, 105, 'Milk 1L', 1, 1.2, 0)");
    exec("insert into TBL_BARCODES (SID, BARCODE) values (105, '9501101020917')");
    const QString gs(QChar(0x1d));
    QString shownText;
    ModalScript script;
    script.on<TfmInfoBox>([&](TfmInfoBox& box) {
        shownText = box.findChild<QLabel*>("lbMessage")->text();
        box.findChild<QPushButton*>("cmOk")->click();
    });

    scan(
        "]d20109501101020917"
        "10LOT1" +
        gs + "17491231");
    EXPECT_EQ(text("lbScannedProduct"), "Milk 1L");
    scan(
        "]d20109501101020917"
        "10LOT1" +
        gs + "17200101");
    EXPECT_TRUE(script.done());
    EXPECT_EQ(shownText, UseByStopText);
    EXPECT_EQ(select("select count(*) from TBL_SALES_LINES"), "1");
    EXPECT_EQ(select("select BATCH || ' ' || REASON from TBL_STOPS"), "LOT1 USE_BY");
}

}  // namespace
