#include <gtest/gtest.h>

#include "kiosk/KioskInput.h"
#include "kiosk/MainScreenFixture.h"

namespace {

// The main screen's shop with the VODAFONE vouchers of 10 and 30 euro.
class TopupPageTest : public MainScreenFixture {
protected:
    TopupPageTest() {
        exec(
            "insert into TBL_PRODUCTS (SID, DESCRIPTION, DEPT_ID, SP, VAT_RATE) values "
            "(9001, 'Vodafone Top-Up 10', 10, 10, 0)");
        exec(
            "insert into TBL_PRODUCTS (SID, DESCRIPTION, DEPT_ID, SP, VAT_RATE) values "
            "(9003, 'Vodafone Top-Up 30', 10, 30, 0)");
        exec("insert into TBL_BARCODES (SID, BARCODE) values (9001, '5391504580071')");
        exec("insert into TBL_BARCODES (SID, BARCODE) values (9003, '5391504580170')");
    }

    // Top-Ups, a network button and a value button.
    void choose(int provider, int denon) {
        Touch(widget("cmTopups"));
        Touch(widget(QStringLiteral("cmProvider%1").arg(provider)));
        Touch(widget(QStringLiteral("cmDenon%1").arg(denon)));
    }
    QString sheet() { return widget<QStackedWidget>("pcTopUp")->currentWidget()->objectName(); }
    QString soldBarcodes() { return select("select list(BARCODE) from TBL_SALES_LINES"); }
};

TEST_F(TopupPageTest, EachSheetNamesItsStep) {
    Touch(widget("cmTopups"));
    EXPECT_EQ(page(), "tsTopup");
    EXPECT_EQ(sheet(), "tsTopupProvider");
    EXPECT_EQ(text("pnTopupHeader"), "   Select Top-Up Provider");
    Touch(widget("cmProvider2"));
    EXPECT_EQ(sheet(), "tsTopupDenomination");
    EXPECT_EQ(text("pnTopupHeader"), "   Select Denomination");
    Touch(widget("cmDenon40"));
    EXPECT_EQ(sheet(), "tsTopUpConfirmation");
    EXPECT_EQ(text("pnTopupHeader"), "   Confirm Voucher");
    EXPECT_EQ(text("lbTopupProvider"), "THREE");
    EXPECT_EQ(text("lbTopupDenon"), QString::fromUtf8("€40.00"));
}

TEST_F(TopupPageTest, VodafoneThirtySellsItsVoucher) {
    choose(1, 30);
    EXPECT_EQ(text("lbTopupProvider"), "VODAFONE");
    EXPECT_EQ(text("lbTopupDenon"), QString::fromUtf8("€30.00"));
    Touch(widget("cmTopupConfirm"));
    EXPECT_EQ(soldBarcodes(), "5391504580170");
    EXPECT_EQ(text("lbScannedProduct"), "Vodafone Top-Up 30");
    EXPECT_EQ(text("lbSubTotal"), "30.00");
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(text("lbTopupProvider"), "???");

    choose(1, 10);  // a sale in progress gains the voucher
    Touch(widget("cmTopupConfirm"));
    EXPECT_EQ(soldBarcodes(), "5391504580170,5391504580071");
    EXPECT_EQ(select("select count(*) from TBL_SALES_HEADERS"), "1");
}

TEST_F(TopupPageTest, TescoIsConfirmedAsTescoMobile) {
    choose(3, 10);
    EXPECT_EQ(text("lbTopupProvider"), "TESCO MOBILE");
}

TEST_F(TopupPageTest, AbortReturnsToTheNetworksWithTheChoiceCleared) {
    choose(1, 20);
    Touch(widget("cmTopupAbort"));
    EXPECT_EQ(page(), "tsTopup");
    EXPECT_EQ(sheet(), "tsTopupProvider");
    EXPECT_EQ(text("lbTopupProvider"), "???");
    EXPECT_EQ(text("lbTopupDenon"), "???");
    EXPECT_EQ(soldBarcodes(), "");
}

TEST_F(TopupPageTest, CancelLeavesFromEverySheet) {
    for (int steps = 0; steps < 3; ++steps) {
        SCOPED_TRACE(steps);
        Touch(widget("cmTopups"));
        if (steps > 0) Touch(widget("cmProvider1"));
        if (steps > 1) Touch(widget("cmDenon10"));
        Touch(widget("cmTopupCancel"));
        EXPECT_EQ(page(), "tsDefault");
        EXPECT_EQ(text("lbTopupProvider"), "???");
        EXPECT_EQ(focus(), widget("ebScanBuffer"));
    }
    EXPECT_EQ(soldBarcodes(), "");
}

// A network without a voucher of the chosen value: the customer is told, nothing is sold.
TEST_F(TopupPageTest, APairWithoutAVoucherIsNotAvailable) {
    const std::pair<int, int> pairs[] = {{2, 50}, {3, 30}, {3, 40}, {3, 50}};
    for (const auto& [provider, denon] : pairs) {
        SCOPED_TRACE(provider * 100 + denon);
        messages.clear();
        answer(FirstButtonResult);
        choose(provider, denon);
        Touch(widget("cmTopupConfirm"));
        EXPECT_EQ(messages, QStringList{"Sorry, this top-up is not available"});
        EXPECT_EQ(page(), "tsDefault");
        EXPECT_EQ(text("lbTopupProvider"), "???");
        EXPECT_FALSE(shown("pnScannedProduct"));
    }
    EXPECT_EQ(select("select count(*) from TBL_SALES_HEADERS"), "0");
}

TEST_F(TopupPageTest, AVoucherMissingFromTheProductsIsNotFound) {
    choose(2, 10);
    Touch(widget("cmTopupConfirm"));
    EXPECT_EQ(text("lbScannedProduct"), "Barcode Not Found");
    EXPECT_EQ(page(), "tsDefault");
}

}  // namespace
