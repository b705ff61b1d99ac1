#include "kiosk/fm_main.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QToolButton>

#include "app/uOperators.h"
#include "kiosk/KioskInput.h"
#include "kiosk/MainScreenFixture.h"
#include "sale/fm_Info.h"
#include "sale/uGlobalScanner.h"
#include "support/FixedClock.h"
#include "ui/wg_Colours.h"

namespace {

class MainScreenTest : public MainScreenFixture {
protected:
    QPushButton* payButton() { return widget<QPushButton>("cmFinishAndPay"); }
    QTableView* grid() { return widget<QTableView>("dbgTransaction"); }
    int lines() { return grid()->model()->rowCount(); }
    QString cell(int row, int column) {
        return grid()->model()->index(row, column).data().toString();
    }
    QString lastProduct() { return cell(lines() - 1, 1); }
    int headers() { return select("select count(*) from TBL_SALES_HEADERS").toInt(); }
};

TEST_F(MainScreenTest, StartsIdleWithTheSiteFromTheSetupRow) {
    screen();
    EXPECT_EQ(text("lbSiteName"), "KelvoPOS Self Service ");
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(text("lbDefaultText"), "Scan a product or use the buttons below");
    EXPECT_FALSE(shown("pnScannedProduct"));
    EXPECT_EQ(text("lbSubTotal"), "0.00");
    EXPECT_EQ(text("lbItemCount"), "0");
    EXPECT_FALSE(shown("lbl_itemX"));
    EXPECT_FALSE(payButton()->isEnabled());
    EXPECT_EQ(payButton()->text(), "Finish && Pay");
    EXPECT_TRUE(shown("cmTopups"));
    EXPECT_EQ(focus(), widget("ebScanBuffer"));
    EXPECT_NE(GlobalScanner, nullptr);
}

// The scanner types into whatever holds the keyboard; the code must reach the scan buffer.
TEST_F(MainScreenTest, ACodeTypedAnywhereInTheWindowSellsTheProduct) {
    const QStringList targets = {"FmMain", "dbgTransaction", "cmTopups", "ebScanBuffer"};
    int expectedLines = 0;
    for (const QString& target : targets) {
        SCOPED_TRACE(target.toStdString());
        QWidget* receiver = target == "FmMain" ? &screen() : widget(target);
        receiver->setFocus();
        TypeCode(receiver, Crisps);
        ++expectedLines;
        EXPECT_EQ(lines(), expectedLines);
        EXPECT_EQ(lastProduct(), "Crisps Salt & Vinegar");
        EXPECT_EQ(widget<QLineEdit>("ebScanBuffer")->text(), "");
        EXPECT_EQ(focus(), widget("ebScanBuffer"));
    }
    EXPECT_EQ(text("lbSubTotal"), "6.00");
    EXPECT_EQ(text("lbItemCount"), "4");
    EXPECT_TRUE(payButton()->isEnabled());
    EXPECT_EQ(headers(), 1);
    EXPECT_EQ(page(), "tsDefault");
}

TEST_F(MainScreenTest, ScannedProductPanelShowsTheLastProduct) {
    scan(Crisps);
    EXPECT_TRUE(shown("pnScannedProduct"));
    EXPECT_FALSE(shown("lbDefaultText"));
    EXPECT_EQ(text("lbScannedProduct"), "Crisps Salt & Vinegar");
    EXPECT_FALSE(shown("lbScannedQty"));
    EXPECT_FALSE(shown("pnScannedProductGlyph"));  // named picture, but no file: no empty box
    scan(Cola);
    EXPECT_EQ(text("lbScannedProduct"), "Cola 500ml");
    EXPECT_FALSE(shown("pnScannedProductGlyph"));  // no picture named
    EXPECT_EQ(cell(1, 0), "1.00");
    EXPECT_EQ(cell(1, 3), "1.25");
}

TEST_F(MainScreenTest, QuantityLineAndPictureOfAProductAddedByKey) {
    QImage picture(400, 200, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(dmMain->ResFolder + "crisps.png"));
    screen().AddProductToSale(100, {}, 3, {});
    EXPECT_EQ(text("lbScannedQty"), "3 @ 1.50 each");
    EXPECT_TRUE(shown("lbScannedQty"));
    const QLabel* image = widget<QLabel>("imScannedProduct");
    ASSERT_FALSE(image->pixmap().isNull());
    EXPECT_LE(image->pixmap().width(), image->width());  // shrunk to the box, keeping its shape
    EXPECT_NEAR(image->pixmap().width(), 2 * image->pixmap().height(), 2);
    EXPECT_EQ(select("select BARCODE from TBL_SALES_LINES"), Crisps);
}

TEST_F(MainScreenTest, ACodeWithSpacesFindsTheProductAndIsStoredWithout) {
    scan("5000 0000 00017");
    EXPECT_EQ(lines(), 1);
    EXPECT_EQ(lastProduct(), "Crisps Salt & Vinegar");
    EXPECT_EQ(select("select BARCODE from TBL_SALES_LINES"), Crisps);
}

TEST_F(MainScreenTest, AnUnknownCodeShowsBarcodeNotFoundAndSellsNothing) {
    scan("4006381333931");
    EXPECT_TRUE(shown("pnScannedProduct"));
    EXPECT_FALSE(shown("lbDefaultText"));
    EXPECT_EQ(text("lbScannedProduct"), "Barcode Not Found");
    EXPECT_FALSE(shown("lbScannedQty"));
    EXPECT_EQ(screen().salesID(), -1);
    EXPECT_EQ(headers(), 0);
    EXPECT_FALSE(payButton()->isEnabled());
    EXPECT_EQ(focus(), widget("ebScanBuffer"));
}

TEST_F(MainScreenTest, EnterOnAnEmptyBufferChangesNothing) {
    scan(Crisps);
    scan("");
    EXPECT_EQ(lines(), 1);
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(text("lbScannedProduct"), "Crisps Salt & Vinegar");
}

TEST_F(MainScreenTest, StaffCodesOpenTheirPagesAndSellNothing) {
    struct Case {
        QString code;
        QString page;
    };
    const Case cases[] = {
        {Mary, "tsManager"},
        {Tom, "tsManager"},
        {kEngineerCode, "tsManager"},
        {kEngineerSetupCode, "tsEngineer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code.toStdString());
        scan(c.code);
        EXPECT_EQ(page(), c.page);
        EXPECT_EQ(focus(), widget("ebScanBuffer"));
        Touch(widget("cmCloseScreen"));
        EXPECT_EQ(page(), "tsDefault");
    }
    EXPECT_EQ(headers(), 0);
}

TEST_F(MainScreenTest, VoidLineAsksAndVoidsTheSelectedLine) {
    scan(Crisps);
    scan(Cola);
    grid()->selectRow(0);
    scan(Mary);

    answer(No);
    Touch(widget("cmVoidLine"));
    EXPECT_EQ(messages, QStringList{"Void the selected line"});
    EXPECT_EQ(page(), "tsManager");
    EXPECT_EQ(lines(), 2);

    answer(Yes);
    Touch(widget("cmVoidLineCaption"));  // the caption runs the tile's handler too
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(lines(), 1);
    EXPECT_EQ(lastProduct(), "Cola 500ml");
    EXPECT_EQ(text("lbSubTotal"), "1.25");
    EXPECT_EQ(text("lbItemCount"), "1");
    EXPECT_EQ(select("select STATUS from TBL_SALES_LINES where SID = 100"), "20");
}

// A discount row, or the blank row above the discounts, is no line to void: the manager is told
// so, nothing is asked and the sale stays as it is.
TEST_F(MainScreenTest, VoidLineOnARowThatIsNoProductLineSaysSo) {
    scan(Crisps);
    exec(QStringLiteral("insert into TBL_PROMO_HITS (SALES_ID, PROMO_ID, ORIGINAL_VALUE, "
                        "DISCOUNTED_VALUE, HIT_NUMBER) values (%1, 1, 1.5, 1, 1)")
             .arg(screen().salesID()));
    scan(Cola);                                 // shows the sale afresh, with its discount row
    ASSERT_EQ(grid()->model()->rowCount(), 4);  // crisps, cola, a blank row, the discount
    for (const int row : {2, 3}) {
        SCOPED_TRACE(row);
        messages.clear();
        grid()->selectRow(row);
        scan(Mary);
        answer(Yes);  // the box's one button
        Touch(widget("cmVoidLine"));
        EXPECT_EQ(messages, QStringList{"Please select a product line"});
        EXPECT_EQ(page(), "tsManager");
        EXPECT_EQ(select("select count(*) from TBL_SALES_LINES where STATUS < 20"), "2");
        Touch(widget("cmCloseScreen"));
    }
}

TEST_F(MainScreenTest, VoidTransactionAnsweredNoKeepsTheSale) {
    scan(Crisps);
    scan(Mary);
    answer(No);
    Touch(widget("cmVoidTransaction"));
    EXPECT_EQ(messages, QStringList{"Void current transaction"});
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(lines(), 1);
    EXPECT_EQ(select("select STATUS from TBL_SALES_HEADERS"), "0");
}

TEST_F(MainScreenTest, VoidTransactionEndsTheSaleAndLeavesNothingToRecall) {
    scan(Crisps);
    scan(Mary);
    answer(Yes);
    Touch(widget("cmVoidTransaction"));
    EXPECT_EQ(select("select STATUS from TBL_SALES_HEADERS"), "20");
    EXPECT_NE(select("select SALE_END from TBL_SALES_HEADERS"), "");
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(lines(), 0);
    EXPECT_EQ(text("lbSubTotal"), "0.00");
    EXPECT_FALSE(payButton()->isEnabled());

    scan(Mary);
    Touch(widget("cmRecallLastTA"));
    EXPECT_EQ(lines(), 0);
    EXPECT_FALSE(payButton()->isEnabled());
    EXPECT_EQ(page(), "tsManager");
}

TEST_F(MainScreenTest, RecallBringsTheLastSaleBackAfterAReset) {
    scan(Crisps);
    scan(Cola);
    screen().resetToDefault();
    EXPECT_EQ(lines(), 0);
    EXPECT_EQ(text("lbItemCount"), "0");

    scan(Mary);
    Touch(widget("cmRecallLastTA"));
    EXPECT_EQ(page(), "tsManager");
    EXPECT_EQ(lines(), 2);
    EXPECT_EQ(text("lbSubTotal"), "2.75");
    EXPECT_TRUE(payButton()->isEnabled());
    scan(Crisps);  // further products join the recalled sale
    EXPECT_EQ(headers(), 1);
    EXPECT_EQ(lines(), 3);
}

TEST_F(MainScreenTest, AgeBoxIsClosedOnlyByAStaffScanAndTheQuestion) {
    struct Case {
        int answer;
        int lines;
    };
    for (const Case c : {Case{No, 0}, Case{Yes, 1}}) {
        SCOPED_TRACE(c.answer);
        messages.clear();
        QStringList seen;
        ModalScript script;
        script.on<TfmInfoBox>([&](TfmInfoBox& box) {
            seen << box.findChild<QLabel*>("pnHeader")->text();
            seen << (box.findChild<TActivityIndicator*>("ActivityIndicator1")->animate() ? "turning"
                                                                                         : "still");
            seen << (box.findChild<QPushButton*>("cmOk")->isHidden() ? "no OK" : "OK");
            QWidget* buffer = box.findChild<QLineEdit*>("ebScanBuffer");
            answer(Yes);  // the OK of "Invalid Operator"
            TypeCode(buffer, "123456");
            answer(Yes);
            TypeCode(buffer, Tom);
            seen << (box.isVisible() ? "open" : "closed");
            answer(c.answer);
            TypeCode(buffer, Mary);
        });
        scan(Lager);
        EXPECT_TRUE(script.done());
        EXPECT_EQ(script.rejected(), 0);
        EXPECT_EQ(seen, QStringList({"Over 18's only", "turning", "no OK", "open"}));
        EXPECT_EQ(messages, QStringList({"Invalid Operator", "Insufficient Operator Access",
                                         "Is the customer over 18 ?"}));
        EXPECT_EQ(lines(), c.lines);
        EXPECT_EQ(headers(), c.lines);  // a refused first item creates no sale
        EXPECT_EQ(page(), "tsDefault");
    }
}

TEST_F(MainScreenTest, ShutDownAsksFirst) {
    // Closing the window must not end the test run.
    QApplication::setQuitOnLastWindowClosed(false);
    const auto restore = qScopeGuard([] { QApplication::setQuitOnLastWindowClosed(true); });
    scan(kEngineerCode);
    answer(No);
    Touch(widget("cmShutDown"));
    EXPECT_EQ(messages, QStringList{"Are you sure you want to shut down the system?"});
    EXPECT_EQ(page(), "tsManager");
    EXPECT_TRUE(screen().isVisible());

    answer(Yes);
    Touch(widget("cmShutDown"));
    EXPECT_FALSE(screen().isVisible());
}

TEST_F(MainScreenTest, BackgroundTouchesAndPageChangesGiveTheKeyboardBack) {
    for (const char* name : {"pnTop", "pnBottom", "pnl_trans"}) {
        SCOPED_TRACE(name);
        widget("cmTopups")->setFocus();
        Touch(widget(name));
        EXPECT_EQ(focus(), widget("ebScanBuffer"));
    }
    widget("dbgTransaction")->setFocus();
    Touch(widget("cmLookup"));
    EXPECT_EQ(page(), "tsFind");
    EXPECT_EQ(focus(), widget("ebScanBuffer"));
    scan(Crisps);  // a scan from any page sells and returns to the sale page
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(lines(), 1);
}

TEST_F(MainScreenTest, SetupRowDecidesTopUpsAndBarColours) {
    struct Case {
        const char* hasTopups;
        int branding;
        bool topups;
        bool branded;
    };
    const Case cases[] = {
        {"y", 0x00336699, true, true},
        {"N", 0, false, false},
        {"", 536870911, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hasTopups);
        exec(QStringLiteral("update TBL_SETUP set HAS_TOPUPS = '%1', BRANDING_COLOUR = %2")
                 .arg(c.hasTopups)
                 .arg(c.branding));
        TFmMain fresh(*dmMain);
        fresh.show();
        EXPECT_EQ(!fresh.findChild<QWidget*>("cmTopups")->isHidden(), c.topups);
        const QColor top = fresh.findChild<QWidget*>("pnTop")->palette().color(QPalette::Window);
        const QColor pay =
            fresh.findChild<QWidget*>("pnFinishAndPay")->palette().color(QPalette::Window);
        EXPECT_EQ(top == WinColour(c.branding), c.branded);
        EXPECT_EQ(pay, top);
    }
}

TEST(MainScreenClock, ShowsShortDayAndMonthNames) {
    EXPECT_EQ(ClockText(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9))),
              "Tue, 5. Mar 2024, 14:07:09");
}

}  // namespace
