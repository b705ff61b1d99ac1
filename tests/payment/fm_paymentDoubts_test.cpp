// Staff end a payment's doubt on its own dialog: only a manager's card lets anyone decide, a
// paid decision needs the receipt's authorisation code, and what was decided leaves the list.
#include "payment/fm_paymentDoubts.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/uClock.h"
#include "app/uOperators.h"
#include "payment/PaymentFixture.h"

namespace {

class PaymentDoubtsDialogTest : public PaymentFixture {
protected:
    // A sale of 4.50 whose payment is in doubt, and the staff of the demonstration shop.
    PaymentDoubtsDialogTest() {
        exec(
            "insert into TBL_USERS (USER_ID, LOGIN_NAME, POS_PASS, ACCESS) values "
            "(1, 'Aoife Murphy', '8880010010', 'YYYYYYYYYY')");
        exec(
            "insert into TBL_USERS (USER_ID, LOGIN_NAME, POS_PASS, ACCESS) values "
            "(2, 'Ciaran Byrne', '8880010020', 'YYNNNNNNNN')");
        id = sale(4.50);
        reference = TPaymentJournal(db.kiosk())
                        .begin(id, 450, Clock::instance().now(), {"22446688", "J1"})
                        .reference;
    }
    QPushButton* key(TfmPaymentDoubts& dialog, const char* name) {
        return dialog.findChild<QPushButton*>(name);
    }
    QString state() { return select("select STATE from TBL_PAYMENT_ATTEMPTS"); }

    int id = 0;
    QString reference;
};

TEST_F(PaymentDoubtsDialogTest, OnlyAManagersCardDecidesAndPaidNeedsTheReceiptsCode) {
    int asked = 0;
    TfmPaymentDoubts dialog(
        db.kiosk(), [&] { ++asked; }, 0);
    auto* list = dialog.findChild<QListWidget*>("lbDoubts");
    ASSERT_EQ(list->count(), 1);
    EXPECT_TRUE(list->item(0)->text().contains("4.50"));
    EXPECT_TRUE(list->item(0)->text().contains("22446688"));

    for (const char* refused : {"5391230013010", "8880010020"}) {
        SCOPED_TRACE(refused);
        dialog.takeStaffCard(QString::fromLatin1(refused));
        for (const char* name : {"cmAsk", "cmPaid", "cmNotPaid"})
            EXPECT_FALSE(key(dialog, name)->isEnabled()) << name;
    }
    dialog.takeStaffCard("8880010010");
    EXPECT_TRUE(dialog.findChild<QLabel*>("lbStaff")->text().contains("Aoife Murphy"));
    key(dialog, "cmAsk")->click();
    EXPECT_EQ(asked, 1);

    key(dialog, "cmPaid")->click();  // no code typed: nothing decided
    EXPECT_EQ(state(), "SENT");
    dialog.findChild<QLineEdit*>("ebAuthCode")->setText("084512");
    key(dialog, "cmPaid")->click();
    EXPECT_EQ(state(), "RESOLVED-PAID");
    EXPECT_EQ(select("select DECIDED_BY from TBL_PAYMENT_ATTEMPTS"), "Aoife Murphy (user 1)");
    EXPECT_EQ(select("select AUTHCODE from TBL_SALES_PAYMENTS"), "084512");
    EXPECT_EQ(list->count(), 0);
}

// Over the checking screen the list holds the sale on screen alone; once nothing of it is in
// doubt the dialog ends, and a manager may put the sale aside for the next customer.
TEST_F(PaymentDoubtsDialogTest, TheSaleOnScreenIsDecidedOrPutAside) {
    const int other = sale(2.00);
    TPaymentJournal(db.kiosk()).begin(other, 200, Clock::instance().now(), {"22446688", "J1"});
    {
        TfmPaymentDoubts dialog(
            db.kiosk(), [] {}, id);
        EXPECT_EQ(dialog.findChild<QListWidget*>("lbDoubts")->count(), 1);
        EXPECT_FALSE(key(dialog, "cmPutAside")->isEnabled());
        dialog.takeStaffCard("8880010010");
        key(dialog, "cmPutAside")->click();
        EXPECT_TRUE(dialog.putAside());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    TfmPaymentDoubts dialog(
        db.kiosk(), [] {}, id);
    dialog.takeStaffCard("8880010010");
    key(dialog, "cmNotPaid")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.putAside());
    EXPECT_EQ(
        select(
            QStringLiteral("select STATE from TBL_PAYMENT_ATTEMPTS where SALES_ID = %1").arg(id)),
        "RESOLVED-NOT-PAID");
    EXPECT_TRUE(TPaymentJournal(db.kiosk()).frozen(other)) << "another sale's doubt stays";
}

}  // namespace
