#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "kiosk/KioskInput.h"
#include "kiosk/MainScreenFixture.h"
#include "payment/fm_ccPayment.h"
#include "payment/fm_receipt.h"
#include "payment/uReceipt.h"
#include "sale/fm_Info.h"
#include "sale/fra_keyboard.h"

namespace {

// The whole of checkout on the main screen, with the simulated terminal answering as the
// test's PinPad.ini says.
class CheckoutScreenTest : public MainScreenFixture {
protected:
    // Receipts print as on a machine without printers: into data/Printed.
    CheckoutScreenTest() {
        SetPrinterDirectory([] { return TPrinterDirectory{}; });
    }
    ~CheckoutScreenTest() override { SetPrinterDirectory({}); }
    QStringList printed() {
        return QDir(dmMain->DataFolder + "Printed").entryList({"*.pdf"}, QDir::Files, QDir::Name);
    }
    void terminal(const QString& settings) {
        QFile file(dmMain->DataFolder + "PinPad.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("[PinPad]\nTerminal=simulator\nInteractive=false\n" + settings).toUtf8());
    }
    QPushButton* payButton() { return widget<QPushButton>("cmFinishAndPay"); }
    int lines() { return widget<QTableView>("dbgTransaction")->model()->rowCount(); }
    int payments() { return select("select count(*) from TBL_SALES_PAYMENTS").toInt(); }

    // Answers the receipt question as given, once it comes.
    void answerReceiptQuestion(ModalScript& script, bool yes) {
        script.on<TfmInfoBox>([this, yes](TfmInfoBox& box) {
            questions << box.findChild<QLabel*>("lbMessage")->text();
            box.findChild<QPushButton*>(yes ? "cmOk" : "cmNo")->click();
        });
    }

    QStringList questions;
};

TEST_F(CheckoutScreenTest, AWholeSaleIsPaidByCardAndTheKioskIsReadyAgain) {
    terminal("ResponseCode=1\nSchemeName=Visa\n");
    scan(Crisps);
    scan(Crisps);
    const int sale = screen().salesID();
    ASSERT_GT(sale, 0);

    Touch(payButton());
    EXPECT_EQ(page(), "tsMOP");
    EXPECT_EQ(payButton()->text(), "DUE 3.00");
    EXPECT_FALSE(payButton()->isEnabled());
    EXPECT_FALSE(widget("cmMOPCash")->isEnabled());
    EXPECT_EQ(widget<QToolButton>("cmMOPChipAndPIN")->text(), "Chip && Pin");

    ModalScript script(10000);
    answerReceiptQuestion(script, true);
    Touch(widget("cmMOPChipAndPIN"));
    EXPECT_TRUE(script.done());
    EXPECT_EQ(script.rejected(), 0);
    EXPECT_EQ(questions,
              QStringList{"Thank you for your purchase\n\n\nDo you wish to print a receipt?"});

    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(screen().salesID(), -1);
    EXPECT_EQ(screen().previousSalesID(), sale);
    EXPECT_EQ(lines(), 0);
    EXPECT_EQ(payButton()->text(), "Finish && Pay");
    EXPECT_EQ(payments(), 1);
    EXPECT_EQ(select("select SALES_ID || ' ' || MOP from TBL_SALES_PAYMENTS"),
              QStringLiteral("%1 4").arg(sale));
    EXPECT_DOUBLE_EQ(select("select \"VALUE\" from TBL_SALES_PAYMENTS").toDouble(), 3.0);
    EXPECT_NE(select("select SALE_END from TBL_SALES_HEADERS"), "");
    EXPECT_EQ(focus(), widget("ebScanBuffer"));
    const QStringList jobs = printed();
    ASSERT_EQ(jobs.size(), 2);  // the receipt and the card copy
    EXPECT_TRUE(jobs[0].startsWith(QStringLiteral("Card-copy-%1-").arg(sale)));
    EXPECT_TRUE(jobs[1].startsWith(QStringLiteral("Receipt-%1-").arg(sale)));
}

TEST_F(CheckoutScreenTest, ADeclinedCardStaysOnThePaymentPageUntilCancelled) {
    terminal("ResponseCode=2\n");
    scan(Cola);
    Touch(payButton());
    QStringList shown;
    QTimer::singleShot(300, [&] {
        auto* dialog = QApplication::activeModalWidget();
        if (!dialog) return;
        shown << dialog->objectName()
              << QString::number(dialog->width()) + "x" + QString::number(dialog->height());
    });
    Touch(widget("cmMOPChipAndPIN"));
    EXPECT_EQ(shown, QStringList({"fmCCPayment", "359x480"}));  // 355 x 476 in its border
    EXPECT_EQ(page(), "tsMOP");
    EXPECT_EQ(payButton()->text(), "DUE 1.25");
    EXPECT_FALSE(payButton()->isEnabled());
    EXPECT_EQ(select("select SALE_END from TBL_SALES_HEADERS"), "");  // open again
    EXPECT_EQ(payments(), 0);

    Touch(widget("cmCancelMOP"));
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(payButton()->text(), "Finish && Pay");
    EXPECT_TRUE(payButton()->isEnabled());
    EXPECT_EQ(lines(), 1);
}

TEST_F(CheckoutScreenTest, DebugAbove32FinishesWithoutTheTerminalAndNoMeansNoReceipt) {
    exec("update TBL_SETUP set DEBUG = 33");
    terminal("Connected=false\n");
    scan(Cola);
    Touch(payButton());
    ModalScript script;
    answerReceiptQuestion(script, false);
    Touch(widget("cmMOPChipAndPIN"));
    EXPECT_TRUE(script.done());
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(payments(), 0);
    EXPECT_TRUE(printed().isEmpty());
}

// The sale is closed while the terminal works: a scan or a touch then must not change it.
TEST_F(CheckoutScreenTest, TheMainScreenTakesNoInputWhileThePaymentRuns) {
    terminal("CardEnquiryDelayMs=1500\n");
    scan(Crisps);
    Touch(payButton());
    int linesDuringPayment = -1;
    QString pageDuringPayment;
    QTimer::singleShot(400, [&] {
        QWindow* window = screen().windowHandle();
        for (const char digit : std::string(Cola)) QTest::keyClick(window, digit);
        QTest::keyClick(window, Qt::Key_Return);
        TypeCode(&screen(), Cola);
        TypeCode(widget("ebScanBuffer"), Cola);
        QTest::mouseClick(window, Qt::LeftButton, {},
                          widget("cmCancelMOP")->mapTo(&screen(), QPoint(20, 20)));
        linesDuringPayment = lines();
        pageDuringPayment = page();
    });
    ModalScript script(10000);
    answerReceiptQuestion(script, false);
    Touch(widget("cmMOPChipAndPIN"));
    EXPECT_EQ(linesDuringPayment, 1);
    EXPECT_EQ(pageDuringPayment, "tsMOP");
    EXPECT_EQ(select("select count(*) from TBL_SALES_LINES"), "1");
    EXPECT_EQ(payments(), 1);
    EXPECT_EQ(page(), "tsDefault");
}

TEST_F(CheckoutScreenTest, AProductScannedOnThePaymentPageReopensTheSale) {
    scan(Crisps);
    Touch(payButton());
    exec(QStringLiteral("insert into TBL_PROMO_HITS (SALES_ID, PROMO_ID, ORIGINAL_VALUE, "
                        "DISCOUNTED_VALUE, HIT_NUMBER) values (%1, 1, 1.5, 1, 1)")
             .arg(screen().salesID()));
    scan(Cola);
    EXPECT_EQ(page(), "tsDefault");
    EXPECT_EQ(select("select count(*) from TBL_PROMO_HITS"), "0");
    EXPECT_EQ(text("lbSubTotal"), "2.75");
    EXPECT_EQ(payButton()->text(), "Finish && Pay");
    EXPECT_TRUE(payButton()->isEnabled());
}

// A second touch on Chip & Pin while the first payment runs starts no second attempt.
TEST_F(CheckoutScreenTest, ADoubleTouchOnChipAndPinStartsOnePayment) {
    terminal("CardEnquiryDelayMs=1000\n");
    scan(Crisps);
    Touch(payButton());
    QTimer::singleShot(300, [this] { screen().cmMOPChipAndPINClick(); });
    ModalScript script(10000);
    answerReceiptQuestion(script, false);
    Touch(widget("cmMOPChipAndPIN"));
    EXPECT_EQ(select("select count(*) from TBL_PAYMENT_ATTEMPTS"), "1");
    EXPECT_EQ(payments(), 1);
}

// A paid sale brought back from the manager page owes what was added since: the pay button
// says so, and that is what the terminal charges.
TEST_F(CheckoutScreenTest, ARecalledPaidSaleShowsWhatIsStillDue) {
    terminal("ResponseCode=1\n");
    scan(Crisps);
    Touch(payButton());
    {
        ModalScript script(10000);
        answerReceiptQuestion(script, false);
        Touch(widget("cmMOPChipAndPIN"));
    }
    screen().cmRecallLastTAClick();
    scan(Cola);
    Touch(payButton());
    EXPECT_EQ(payButton()->text(), "DUE 1.25");
    ModalScript script(10000);
    answerReceiptQuestion(script, false);
    Touch(widget("cmMOPChipAndPIN"));
    EXPECT_EQ(select("select list(AMOUNT) from (select AMOUNT from TBL_PAYMENT_ATTEMPTS order by "
                     "CREATED, PAY_REFERENCE)"),
              "150,125");
    EXPECT_EQ(payments(), 2);
}

// A payment settled after its customer left has its receipt printed from the manager page,
// marked as a reprint on both reports.
TEST_F(CheckoutScreenTest, TheManagerPageReprintsTheLastPaidReceipt) {
    scan(Mary);
    answer(Yes);                        // the OK of the message
    Touch(widget("cmReprintReceipt"));  // nothing paid yet: says so, prints nothing
    EXPECT_EQ(messages, QStringList{"There is no paid sale to reprint."});
    EXPECT_TRUE(printed().isEmpty());
    Touch(widget("cmCloseScreen"));
    terminal("ResponseCode=1\n");
    scan(Crisps);
    const int sale = screen().salesID();
    Touch(payButton());
    {
        ModalScript script(10000);
        answerReceiptQuestion(script, false);
        Touch(widget("cmMOPChipAndPIN"));
    }
    scan(Mary);
    Touch(widget("cmReprintReceipt"));
    const QStringList jobs = printed();
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_TRUE(jobs[0].startsWith(QStringLiteral("Reprint-Card-copy-%1-").arg(sale)));
    EXPECT_TRUE(jobs[1].startsWith(QStringLiteral("Reprint-Receipt-%1-").arg(sale)));
    const TReceipt receipt = BuildReceipt(dmMain->conx, sale, true);
    EXPECT_EQ(receipt.labels.reprint, ReprintMark);
    EXPECT_EQ(receipt.cdsCCCopy.value(0, "LINE").toString(), ReprintMark);
}

// However the customer or staff leave the payment page without paying, the sale is payable
// again: its discounts go and the pay button is live with the sub-total of the moment.
TEST_F(CheckoutScreenTest, LeavingThePaymentPageAnyWayReturnsToAPayableSale) {
    exec("update TBL_SETUP set HAS_TOPUPS = 'Y'");
    struct Way {
        const char* name;
        std::function<void()> leave;
    };
    const Way ways[] = {
        {"Top-Ups, then Cancel Top-Up",
         [this] {
             Touch(widget("cmTopups"));
             EXPECT_EQ(page(), "tsTopup");
             Touch(widget("cmTopupCancel"));
         }},
        {"Find, then Clear",
         [this] {
             Touch(widget("cmLookup"));
             EXPECT_EQ(page(), "tsFind");
             Touch(widget<TfraKeyboard>("fraKeyboard1")->key("Clear"));
         }},
        {"a staff card, then Close Screen",
         [this] {
             scan(Mary);
             EXPECT_EQ(page(), "tsManager");
             Touch(widget("cmCloseScreen"));
         }},
        {"Cancel Payment", [this] { Touch(widget("cmCancelMOP")); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        screen().resetToDefault();
        scan(Crisps);
        Touch(payButton());
        ASSERT_EQ(page(), "tsMOP");
        exec(QStringLiteral("insert into TBL_PROMO_HITS (SALES_ID, PROMO_ID, ORIGINAL_VALUE, "
                            "DISCOUNTED_VALUE, HIT_NUMBER) values (%1, 1, 1.5, 1, 1)")
                 .arg(screen().salesID()));
        way.leave();
        EXPECT_EQ(page(), "tsDefault");
        EXPECT_EQ(select("select count(*) from TBL_PROMO_HITS"), "0");
        EXPECT_EQ(payButton()->text(), "Finish && Pay");
        EXPECT_TRUE(payButton()->isEnabled());
        scan(Cola);
        EXPECT_EQ(text("lbSubTotal"), "2.75");
        EXPECT_EQ(payButton()->text(), "Finish && Pay");
        Touch(payButton());
        EXPECT_EQ(page(), "tsMOP");
        EXPECT_EQ(payButton()->text(), "DUE 2.75");
    }
}

}  // namespace
