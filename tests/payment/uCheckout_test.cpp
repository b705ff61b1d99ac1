#include "payment/uCheckout.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QRegularExpression>

#include "payment/PaymentFixture.h"
#include "payment/uPaymentJournal.h"
#include "payment/uReceipt.h"
#include "payment/uSettlement.h"
#include "payment/uTerminalClient.h"

namespace {

using CheckoutTest = PaymentFixture;

const QString kSuccess = QStringLiteral("3000 Payment Success|Thank you for your purchase");

TEST(CheckoutAmounts, MinorUnitsRoundHalvesToEven) {
    struct Case {
        double amount;
        qint64 minor;
    };
    const Case cases[] = {{10.125, 1012}, {10.375, 1038}, {0.004, 0}, {0.005, 0},        {0.015, 2},
                          {1.015, 102},   {12.5, 1250},   {0.29, 29}, {1234.565, 123456}};
    for (const Case& c : cases) EXPECT_EQ(AmountInMinorUnits(c.amount), c.minor) << c.amount;
}

TEST(CheckoutSchemes, IndexInTheTableWithoutRegardToCase) {
    EXPECT_EQ(cardSchemeNames.size(), 22);
    EXPECT_EQ(SchemeIndex("VISA"), 4);
    EXPECT_EQ(SchemeIndex("debit mastercard"), 13);
    EXPECT_EQ(SchemeIndex("Unknown"), 0);
    EXPECT_EQ(SchemeIndex("21"), 21);
    EXPECT_EQ(SchemeIndex("Discover"), -1);
    EXPECT_EQ(SchemeIndex(""), -1);
}

TEST_F(CheckoutTest, TheTerminalIsAskedForTheAmountInMinorUnits) {
    struct Case {
        double amount;
        QString enquiry;
        double charged;
    };
    for (const Case& c : {Case{10.125, "CardEnquiry(0, 1012, 1)", 10.12},
                          Case{10.375, "CardEnquiry(0, 1038, 1)", 10.38}}) {
        const int id = sale(c.amount);
        EXPECT_TRUE(pay(id));
        EXPECT_TRUE(calls().contains(c.enquiry)) << calls().join(", ").toStdString();
        EXPECT_DOUBLE_EQ(
            select(QStringLiteral("select \"VALUE\" from TBL_SALES_PAYMENTS where SALES_ID = %1")
                       .arg(id))
                .toDouble(),
            c.charged);
    }
}

TEST_F(CheckoutTest, EveryRefusalShowsItsReasonThenAbortsAndEnds) {
    struct Case {
        const char* name;
        std::function<void(TPinPadConfig&)> set;
        QString message;
    };
    const Case cases[] = {
        {"no terminal", [](TPinPadConfig& c) { c.connected = false; },
         "Could not connect to pay terminal"},
        {"card enquiry 1", [](TPinPadConfig& c) { c.cardEnquiryResult = 1; },
         "Invalid Card Detected"},
        {"authorise 5", [](TPinPadConfig& c) { c.authoriseResult = 5; }, "Card Not Authorised"},
        {"response 2", [](TPinPadConfig& c) { c.responseCode = 2; }, "Card Declined"},
        {"response 3", [](TPinPadConfig& c) { c.responseCode = 3; }, "Transaction Cancelled"},
        {"response 4", [](TPinPadConfig& c) { c.responseCode = 4; }, "Card is Invalid"},
        {"response 0", [](TPinPadConfig& c) { c.responseCode = 0; }, "Unknwon Card Issue"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TPinPadConfig config;
        c.set(config);
        TPinPadSimulator simulator(config);
        QStringList log;
        const TPaymentTerminal terminal{[&] { return std::make_unique<BorrowedClient>(simulator); },
                                        [&] { return std::make_unique<FakePaymentView>(log); },
                                        {}};
        EXPECT_FALSE(TakeCardPayment(db.kiosk(), sale(5), terminal, db.folder()));
        EXPECT_EQ(log, QStringList({"progress", "3000 " + c.message, "closed"}));
        EXPECT_EQ(simulator.calls().mid(simulator.calls().size() - 2),
                  QStringList({"AbortTransaction()", "EndTransaction()"}));
        EXPECT_FALSE(simulator.calls().join(",").contains("Confirm"));
    }
    EXPECT_EQ(select("select count(*) from TBL_SALES_PAYMENTS"), "0");
    EXPECT_EQ(QFileInfo(db.folder() + "Receipts").exists(), false);
}

TEST_F(CheckoutTest, AnAcceptedPaymentIsConfirmedRecordedAndItsReceiptKept) {
    config.schemeName = "VISA";
    config.cardEnquiryResult = 2;  // goes on like 0
    exec(
        "update TBL_SETUP set OUR_ADD1 = 'Glenbeg', OUR_ADD2 = 'Main Street', OUR_ADD3 = "
        "'Glenbeg', OUR_ADD4 = 'Co. Kerry', OUR_PHONE = '066 123'");
    const int id = sale(12.5);
    ASSERT_TRUE(pay(id));

    const QString reference = QString::number(id) + "-20240304123456";
    const QString receipt = db.folder() + "Receipts/2024/03-Mar/" + reference + ".rcp";
    EXPECT_EQ(
        calls(),
        QStringList({"Identify", "PrepareTransaction(" + reference + ", 1250)",
                     "MerchantName=Glenbeg", "Address1=Main Street", "Address2=Glenbeg",
                     "Address3=Co. Kerry", "PhoneNumber=066 123", "StartTransaction()",
                     "CardEnquiry(0, 1250, 1)", "AuthoriseTransaction(0)",
                     "ConfirmTransaction(0, " + reference + ", 084512)", "EndTransaction()"}));
    EXPECT_EQ(viewLog, QStringList({"progress", kSuccess, "closed"}));

    fb::Query q(db.kiosk());
    q.setSQL("select * from TBL_SALES_PAYMENTS");
    q.open();
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.field("SALES_ID").toInt(), id);
    EXPECT_EQ(q.field("MOP").toInt(), 4);
    EXPECT_EQ(q.field("SCHEME").toString(), "VISA");
    EXPECT_DOUBLE_EQ(q.field("VALUE").toDouble(), 12.5);
    EXPECT_EQ(q.field("AUTHCODE").toString(), "084512");
    EXPECT_EQ(q.field("MERCHANT_NO").toString(), "21234567");
    EXPECT_EQ(q.field("TERMINAL_ID").toString(), "22446688");
    EXPECT_EQ(q.field("PAN").toString(), "476173******0119");
    EXPECT_EQ(q.field("CUST_VERIFICATION").toInt(), 1);
    EXPECT_EQ(q.field("ENTRY_METHOD").toInt(), 1);
    EXPECT_EQ(q.field("CURRENCY").toString(), "");
    EXPECT_EQ(q.field("CC_RECEIPT").toString(), receipt);
    q.next();
    EXPECT_TRUE(q.eof());

    const QString text = readFile(receipt);
    EXPECT_TRUE(text.startsWith("CUSTOMER COPY\r\nGlenbeg\r\nMain Street\r\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("AUTH CODE: 084512\r\n"));
    EXPECT_TRUE(text.endsWith("REF: " + reference + "\r\n"));
    EXPECT_FALSE(text.contains(QRegularExpression("[^\r]\n")));
}

// The terminal has charged the customer: a scheme the kiosk has no code for is still paid.
TEST_F(CheckoutTest, AcceptedUnderAnUnknownSchemeIsRecordedAndPaid) {
    for (const auto& [scheme, mop] : {std::pair{"Unknown", 0}, std::pair{"Discover", -1}}) {
        SCOPED_TRACE(scheme);
        TPinPadConfig config;
        config.schemeName = scheme;
        TPinPadSimulator simulator(config);
        QStringList log;
        const TPaymentTerminal terminal{[&] { return std::make_unique<BorrowedClient>(simulator); },
                                        [&] { return std::make_unique<FakePaymentView>(log); },
                                        {}};
        const int id = sale(3);
        EXPECT_TRUE(TakeCardPayment(db.kiosk(), id, terminal, db.folder()));
        EXPECT_EQ(log, QStringList({"progress", kSuccess, "closed"}));
        EXPECT_EQ(select(QStringLiteral("select MOP || ' ' || SCHEME from TBL_SALES_PAYMENTS "
                                        "where SALES_ID = %1")
                             .arg(id)),
                  QStringLiteral("%1 %2").arg(mop).arg(scheme));
    }
}

TEST_F(CheckoutTest, NothingDueIsPaidWithoutTheTerminal) {
    for (const double amount : {0.0, 0.004}) {
        EXPECT_TRUE(pay(sale(amount)));
    }
    EXPECT_EQ(clientsOpened, 0);
    EXPECT_TRUE(viewLog.isEmpty());
    EXPECT_EQ(select("select count(*) from TBL_SALES_PAYMENTS"), "0");
}

// A failing call leaves the payment in doubt: the terminal is asked what it did. Before its
// decision nothing was charged and the sale is open again; after it the approval is recorded.
TEST_F(CheckoutTest, AFailingCallIsSettledByWhatTheTerminalDecided) {
    struct Case {
        QString call;
        bool charged;
    };
    for (const Case& c : {Case{"StartTransaction", false}, Case{"CardEnquiry", false},
                          Case{"AuthoriseTransaction", false}, Case{"ConfirmTransaction", true}}) {
        SCOPED_TRACE(c.call.toStdString());
        TPinPadConfig config;
        config.failingCall = c.call;
        TPinPadSimulator simulator(config);
        QStringList log;
        const TPaymentTerminal terminal{[&] { return std::make_unique<BorrowedClient>(simulator); },
                                        [&] { return std::make_unique<FakePaymentView>(log); },
                                        {}};
        const int id = sale(4);
        EXPECT_EQ(TakeCardPayment(db.kiosk(), id, terminal, db.folder()), c.charged);
        const QString sid = QString::number(id);
        EXPECT_EQ(select("select count(*) from TBL_SALES_PAYMENTS where SALES_ID = " + sid),
                  c.charged ? "1" : "0");
        EXPECT_EQ(select("select STATE from TBL_PAYMENT_ATTEMPTS where SALES_ID = " + sid),
                  c.charged ? "RECORDED" : "ABORTED");
        EXPECT_EQ(select("select iif(SALE_END is null, 'open', 'closed') from "
                         "TBL_SALES_HEADERS where SALES_ID = " +
                         sid),
                  c.charged ? "closed" : "open");
        EXPECT_EQ(log,
                  QStringList({"progress", c.charged ? kSuccess : "3000 " + PaymentFailedMessage,
                               "closed"}));
        if (!c.charged) {
            EXPECT_EQ(simulator.calls().mid(simulator.calls().size() - 2),
                      QStringList({"AbortTransaction()", "EndTransaction()"}));
        }
    }
}

// The database refuses the approved payment's row: the payment stays in doubt (the screen then
// says it is being checked, never that it failed), a second Chip & Pin charges nothing and the
// payment is recorded once settled.
TEST_F(CheckoutTest, ARefusedPaymentRowIsNeverChargedTwiceAndRecordedOnceSettled) {
    exec("create exception E_REFUSED 'the payment row is refused'");
    exec(
        "create trigger TR_REFUSE for TBL_SALES_PAYMENTS before insert as begin exception "
        "E_REFUSED; end");
    db.kiosk().commit();
    const int id = sale(7.5);
    EXPECT_EQ(TakeCardPayment(db.kiosk(), id, terminal(), db.folder()).outcome,
              TPaymentResult::Outcome::InDoubt);
    EXPECT_EQ(viewLog, QStringList({"progress", "closed"}));
    EXPECT_EQ(select("select STATE from TBL_PAYMENT_ATTEMPTS"), "APPROVED");
    EXPECT_FALSE(pay(id));  // settles first, which fails again: no second charge
    EXPECT_EQ(calls().filter("CardEnquiry").size(), 1);

    exec("drop trigger TR_REFUSE");
    db.kiosk().commit();
    const TSettlement settled = SettlePayments(db.kiosk(), simulator(), db.folder());
    EXPECT_EQ(settled.paidSales, QList<int>{id});
    EXPECT_EQ(settled.unsettled, 0);
    EXPECT_EQ(select("select count(*) from TBL_SALES_PAYMENTS"), "1");
    EXPECT_DOUBLE_EQ(select("select \"VALUE\" from TBL_SALES_PAYMENTS").toDouble(), 7.5);
    EXPECT_EQ(select("select STATE from TBL_PAYMENT_ATTEMPTS"), "RECORDED");
    EXPECT_TRUE(pay(id));  // nothing more is due
    EXPECT_EQ(calls().filter("CardEnquiry").size(), 1);
}

// A terminal's long texts are cut to the columns with a log line instead of refusing the row.
TEST_F(CheckoutTest, LongTerminalTextsAreStoredCutToFit) {
    config.dccCurrencyCode = "EUR-DCC-RATE-123";
    config.schemeName = QString(70, u'V');
    ASSERT_TRUE(pay(sale(2)));
    EXPECT_EQ(select("select CURRENCY || ' ' || char_length(SCHEME) from TBL_SALES_PAYMENTS"),
              "EUR-DCC-RA 60");
}

// A stop signal or a terminal that cannot be reached charges nothing; the one leaves the
// attempt for the next start, the other closes it at once since no request left.
TEST_F(CheckoutTest, AnUnreachableTerminalChargesNothingAndReopensTheSale) {
    TTerminalClient unreachable({QStringLiteral("127.0.0.1"), 1, 500, 1000, 500});
    QStringList log;
    const TPaymentTerminal terminal{[&] { return std::make_unique<BorrowedClient>(unreachable); },
                                    [&] { return std::make_unique<FakePaymentView>(log); },
                                    {}};
    const int id = sale(3);
    EXPECT_EQ(TakeCardPayment(db.kiosk(), id, terminal, db.folder()).outcome,
              TPaymentResult::Outcome::Unavailable);
    // Found out before any attempt: no request can have left, so nothing is in doubt.
    EXPECT_EQ(log, QStringList({"3000 " + TerminalUnavailableMessage, "closed"}));
    EXPECT_EQ(select("select count(*) from TBL_PAYMENT_ATTEMPTS"), "0");
    EXPECT_EQ(select("select SALE_END from TBL_SALES_HEADERS"), "");
}

TEST_F(CheckoutTest, NoTerminalConfiguredMeansCardPaymentsUnavailable) {
    const TPaymentTerminal none{
        {}, [this] { return std::make_unique<FakePaymentView>(viewLog); }, {}};
    EXPECT_FALSE(TakeCardPayment(db.kiosk(), sale(3), none, db.folder()));
    EXPECT_EQ(viewLog, QStringList({"3000 " + CardPaymentsUnavailableMessage, "closed"}));
    EXPECT_TRUE(TakeCardPayment(db.kiosk(), sale(0), none, db.folder()));  // nothing due
    EXPECT_EQ(select("select count(*) from TBL_PAYMENT_ATTEMPTS"), "0");
}

TEST_F(CheckoutTest, EveryPaymentHasAReceiptOfItsOwn) {
    const int first = sale(1), second = sale(2);
    ASSERT_TRUE(pay(first));
    ASSERT_TRUE(pay(second));  // the same second
    clock.clock().advance(1000);
    const int third = sale(3);
    ASSERT_TRUE(pay(third));
    EXPECT_EQ(select("select count(distinct CC_RECEIPT) from TBL_SALES_PAYMENTS"), "3");
    fb::Query q(db.kiosk());
    q.setSQL("select SALES_ID, CC_RECEIPT from TBL_SALES_PAYMENTS order by SALES_ID");
    for (q.open(); !q.eof(); q.next()) {
        const QString path = q.field(1).toString();
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
        EXPECT_TRUE(readFile(path).contains("AMOUNT        " + q.field(0).toString() + ".00"));
    }
    EXPECT_EQ(PaymentReference(third, clock.clock().now()),
              QString::number(third) + "-20240304123457");
}

TEST_F(CheckoutTest, PayForSaleClosesTheSaleAndHonoursDebug) {
    struct Case {
        int debug;
        bool terminalUsed;
    };
    for (const Case c : {Case{33, false}, Case{32, true}, Case{0, true}}) {
        SCOPED_TRACE(c.debug);
        exec(QStringLiteral("update TBL_SETUP set DEBUG = %1").arg(c.debug));
        const int opened = clientsOpened;
        const int id = sale(2.5);
        EXPECT_TRUE(PayForSale(db.kiosk(), id, terminal(), db.folder()));
        EXPECT_NE(
            select(QStringLiteral("select SALE_END from TBL_SALES_HEADERS where SALES_ID = %1")
                       .arg(id)),
            "");
        EXPECT_EQ(clientsOpened - opened, c.terminalUsed ? 1 : 0);
        EXPECT_EQ(
            select(QStringLiteral("select count(*) from TBL_SALES_PAYMENTS where SALES_ID = %1")
                       .arg(id)),
            c.terminalUsed ? "1" : "0");
    }
}

TEST_F(CheckoutTest, ADeclinedSaleIsOpenAgainAndCancelPaymentRemovesItsHits) {
    config.responseCode = 2;
    const int id = sale(10);
    exec(QStringLiteral("insert into TBL_PROMO_HITS (SALES_ID, PROMO_ID, ORIGINAL_VALUE, "
                        "DISCOUNTED_VALUE, HIT_NUMBER) values (%1, 1, 10, 8, 1)")
             .arg(id));
    EXPECT_FALSE(PayForSale(db.kiosk(), id, terminal(), db.folder()));
    EXPECT_TRUE(calls().contains("CardEnquiry(0, 800, 1)"));
    EXPECT_EQ(select("select SALE_END from TBL_SALES_HEADERS"), "");
    EXPECT_EQ(select("select STATE from TBL_PAYMENT_ATTEMPTS"), "DECLINED");
    CancelPayment(db.kiosk(), id);
    EXPECT_EQ(select("select count(*) from TBL_PROMO_HITS"), "0");
    EXPECT_EQ(select("select DISCOUNT from TBL_SALES_HEADERS"), "0");
    EXPECT_EQ(select("select SALE_END from TBL_SALES_HEADERS"), "");
}

TEST_F(CheckoutTest, TwoAttemptsOfASaleInOneSecondHaveReferencesOfTheirOwn) {
    config.responseCode = 2;
    const int id = sale(5);
    EXPECT_FALSE(pay(id));
    simulator().setConfig(TPinPadConfig{});
    EXPECT_TRUE(pay(id));
    const QString base = QString::number(id) + "-20240304123456";
    EXPECT_EQ(select("select STATE from TBL_PAYMENT_ATTEMPTS where PAY_REFERENCE = '" + base + "'"),
              "DECLINED");
    EXPECT_EQ(select("select PAY_REFERENCE from TBL_SALES_PAYMENTS"), base + "-2");
    EXPECT_TRUE(select("select CC_RECEIPT from TBL_SALES_PAYMENTS").endsWith(base + "-2.rcp"));
}

// A paid sale brought back and made smaller owes nothing: it is finished without the terminal.
TEST_F(CheckoutTest, ANegativeAmountDueFinishesTheSaleWithoutTheTerminal) {
    const int id = sale(6.99);
    ASSERT_TRUE(pay(id));
    exec(QStringLiteral("update TBL_SALES_LINES set STATUS = 20 where SALES_ID = %1").arg(id));
    exec(
        QStringLiteral("update TBL_SALES_HEADERS set SALE_END = null where SALES_ID = %1").arg(id));
    EXPECT_EQ(TPaymentJournal(db.kiosk()).amountDue(id), -699);
    EXPECT_TRUE(pay(id));
    EXPECT_EQ(calls().filter("CardEnquiry").size(), 1);
    EXPECT_NE(select("select SALE_END from TBL_SALES_HEADERS"), "");
    EXPECT_FALSE(VoidRefusal(db.kiosk(), id).isEmpty()) << "a sale paid by card is never voided";
    EXPECT_TRUE(VoidRefusal(db.kiosk(), sale(1)).isEmpty());
}

// A paid sale brought back on screen is charged only for what was added since.
TEST_F(CheckoutTest, APaidSaleIsNeverChargedTwice) {
    const int id = sale(4.5);
    ASSERT_TRUE(PayForSale(db.kiosk(), id, terminal(), db.folder()));
    EXPECT_TRUE(PayForSale(db.kiosk(), id, terminal(), db.folder()));
    EXPECT_EQ(clientsOpened, 1);
    exec(QStringLiteral("insert into TBL_SALES_LINES (SALES_ID, SID, PRODUCT, SALES_QTY, "
                        "SALES_AMT) values (%1, 101, 'Cola', 1, 1.25)")
             .arg(id));
    clock.clock().advance(1000);
    EXPECT_TRUE(PayForSale(db.kiosk(), id, terminal(), db.folder()));
    EXPECT_EQ(calls().filter("CardEnquiry"),
              QStringList({"CardEnquiry(0, 450, 1)", "CardEnquiry(0, 125, 1)"}));
    EXPECT_EQ(
        select(
            QStringLiteral("select count(*) from TBL_SALES_PAYMENTS where SALES_ID = %1").arg(id)),
        "2");
    // The card copy is the payment just made.
    const TMemTable copy = BuildReceipt(db.kiosk(), id).cdsCCCopy;
    QStringList lines;
    for (int row = 0; row < copy.rowCount(); ++row) lines << copy.value(row, "LINE").toString();
    EXPECT_TRUE(lines.contains("AMOUNT        1.25")) << lines.join('|').toStdString();
}

}  // namespace
