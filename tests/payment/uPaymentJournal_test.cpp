// The payment journal and its settlement on their own: a part approval, staff decisions, the
// identity of the terminal that answers NotFound, and the abort of a payment an earlier run left
// waiting at the pad.
#include "payment/uPaymentJournal.h"

#include <gtest/gtest.h>

#include <map>

#include "app/uClock.h"
#include "payment/PaymentFixture.h"
#include "payment/uCheckout.h"
#include "payment/uSettlement.h"

namespace {

using State = TTerminalStatus::State;

class PlainInfo : public TransactionInfo {
public:
    int ResponseCode() const override { return 1; }
    QString AuthorisationCode() const override { return QStringLiteral("A1B2C3"); }
    QString MerchantNo() const override { return {}; }
    QString TerminalId() const override { return QStringLiteral("T1"); }
    QString SchemeName() const override { return QStringLiteral("Visa"); }
    QString PanFirst6Digits() const override { return QStringLiteral("476173"); }
    QString PanLast4Digits() const override { return QStringLiteral("0119"); }
    QString DccCurrencyCode() const override { return {}; }
    QString CustomerReceipt() const override { return QStringLiteral("CUSTOMER COPY"); }
    int CustomerVerification() const override { return 1; }
    int DataEntryMethod() const override { return 1; }
};

// A terminal whose answers a test sets: each reference's state, the identity it gives, and an
// Abort that ends a payment in progress (or comes too late when lateAbort is set).
class ScriptedTerminal : public TPaymentClient {
public:
    std::unique_ptr<TillInformation> CreateTillInformation() override { return nullptr; }
    std::unique_ptr<TransactionInfo> CreateTransactionInfo() override { return nullptr; }
    std::unique_ptr<NonGuiTransactionHook> CreateNonGuiTransactionHook() override {
        return nullptr;
    }
    TTerminalIdentity Identify() override { return identity; }
    TTerminalStatus TransactionStatus(const QString& reference) override {
        TTerminalStatus status;
        status.state = states.contains(reference) ? states[reference] : State::NotFound;
        status.identity = identity;
        status.amount = amounts.contains(reference) ? amounts[reference] : 0;
        status.poiTransactionId = QStringLiteral("T1-7");
        if (status.state == State::Approved) status.info = std::make_unique<PlainInfo>();
        return status;
    }
    void Abort(const QString& reference) override {
        aborts << reference;
        if (states[reference] == State::InProgress)
            states[reference] = lateAbort ? State::Approved : State::Aborted;
    }
    bool Reversal(const QString&) override { return false; }

    TTerminalIdentity identity{QStringLiteral("T1"), QStringLiteral("J1")};
    std::map<QString, State> states;
    std::map<QString, qint64> amounts;
    QStringList aborts;
    bool lateAbort = false;
};

class PaymentJournalTest : public PaymentFixture {
protected:
    TPaymentAttempt begin(int salesId, qint64 amount, TTerminalIdentity terminal = {"T1", "J1"}) {
        return TPaymentJournal(db.kiosk())
            .begin(salesId, amount, Clock::instance().now(), terminal);
    }
    QString stateOf(const QString& reference) {
        return select(QStringLiteral("select STATE from TBL_PAYMENT_ATTEMPTS where "
                                     "PAY_REFERENCE = '%1'")
                          .arg(reference));
    }
    bool finished(int salesId) {
        return !select(QStringLiteral("select SALE_END from TBL_SALES_HEADERS where SALES_ID = %1")
                           .arg(salesId))
                    .isEmpty();
    }
    ScriptedTerminal scripted;
};

TEST_F(PaymentJournalTest, APartApprovalLeavesTheSaleOpenForTheRest) {
    const int id = sale(5.05);
    const TPaymentAttempt first = begin(id, 505);
    scripted.states[first.reference] = State::Approved;
    scripted.amounts[first.reference] = 285;  // approved for less than asked
    const TSettlement settled = SettlePayments(db.kiosk(), scripted, db.folder());
    EXPECT_EQ(settled.openedSales, QList<int>{id});
    EXPECT_EQ(stateOf(first.reference), attempt::Recorded);
    EXPECT_EQ(select("select POI_TRANSACTION_ID from TBL_PAYMENT_ATTEMPTS"), "T1-7");
    EXPECT_EQ(TPaymentJournal(db.kiosk()).amountDue(id), 220);
    EXPECT_FALSE(finished(id)) << "finished with 2.20 unpaid";

    clock.set(QDateTime(QDate(2024, 3, 4), QTime(12, 35, 10)));
    const TPaymentAttempt rest = begin(id, 220);
    scripted.states[rest.reference] = State::Approved;
    EXPECT_EQ(SettlePayments(db.kiosk(), scripted, db.folder()).paidSales, QList<int>{id});
    EXPECT_TRUE(finished(id));
    EXPECT_EQ(TPaymentJournal(db.kiosk()).amountDue(id), 0);
}

TEST_F(PaymentJournalTest, StaffDecideADoubtOnceAndWhoDecidedIsKept) {
    struct Case {
        bool paid;
        QString state;
        bool finished;
        int payments;
    };
    for (const Case& c : {Case{true, attempt::ResolvedPaid, true, 1},
                          Case{false, attempt::ResolvedNotPaid, false, 0}}) {
        SCOPED_TRACE(c.state.toStdString());
        const int id = sale(4.50);
        const TPaymentAttempt doubt = begin(id, 450);
        TPaymentJournal(db.kiosk()).mark(doubt.reference, attempt::Unknown);
        if (c.paid)
            DecidePaid(db.kiosk(), doubt, QStringLiteral("084512"), QStringLiteral("Aoife"));
        else
            DecideNotPaid(db.kiosk(), doubt, QStringLiteral("Aoife"));
        EXPECT_EQ(stateOf(doubt.reference), c.state);
        EXPECT_EQ(select(QStringLiteral("select DECIDED_BY || '/' || extract(year from "
                                        "DECIDED_AT) from TBL_PAYMENT_ATTEMPTS where "
                                        "PAY_REFERENCE = '%1'")
                             .arg(doubt.reference))
                      .left(6),
                  "Aoife/");
        EXPECT_EQ(finished(id), c.finished);
        EXPECT_EQ(select(QStringLiteral(
                             "select count(*) || '/' || coalesce(max(AUTHCODE), '') "
                             "|| '/' || coalesce(cast(sum(\"VALUE\") * 100 as integer), 0) from "
                             "TBL_SALES_PAYMENTS where SALES_ID = %1")
                             .arg(id)),
                  c.paid ? QStringLiteral("1/084512/450") : QStringLiteral("0//0"));
        EXPECT_FALSE(TPaymentJournal(db.kiosk()).frozen(id));
        EXPECT_THROW(DecidePaid(db.kiosk(), doubt, QStringLiteral("1"), QStringLiteral("Sean")),
                     std::runtime_error)
            << "a decided attempt is decided once";
    }
}

// NotFound proves that nothing was charged only from the terminal and journal the request went
// to: a replaced terminal, or one whose journal was lost, leaves the doubt for staff.
TEST_F(PaymentJournalTest, NotFoundSettlesOnlyFromTheTerminalTheRequestWentTo) {
    struct Case {
        const char* name;
        TTerminalIdentity requestWentTo;
        bool settled;
    };
    const Case cases[] = {
        {"same terminal and journal", {"T1", "J1"}, true},
        {"the terminal's journal was lost", {"T1", "J0"}, false},
        {"another terminal", {"T9", "J1"}, false},
        {"a request of a kiosk that did not know the terminal", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int id = sale(1.50);
        const TPaymentAttempt doubt = begin(id, 150, c.requestWentTo);
        const TSettlement settled = SettlePayments(db.kiosk(), scripted, db.folder(), id);
        EXPECT_EQ(settled.unsettled, c.settled ? 0 : 1);
        EXPECT_EQ(stateOf(doubt.reference), c.settled ? attempt::Aborted : attempt::Sent);
        EXPECT_EQ(TPaymentJournal(db.kiosk()).frozen(id), !c.settled);
    }
}

TEST_F(PaymentJournalTest, AtStartAPaymentStillWaitingAtThePadIsAbortedThenSettled) {
    for (const bool late : {false, true}) {
        SCOPED_TRACE(late ? "the abort came too late" : "aborted in time");
        scripted.lateAbort = late;
        const int id = sale(1.50);
        const TPaymentAttempt waiting = begin(id, 150);
        scripted.states[waiting.reference] = State::InProgress;

        // Within the run the payment is the kiosk's own: it is left to run.
        EXPECT_EQ(SettlePayments(db.kiosk(), scripted, db.folder(), id).unsettled, 1);
        EXPECT_TRUE(scripted.aborts.isEmpty());

        const TSettlement settled =
            SettlePayments(db.kiosk(), scripted, db.folder(), id, TSettleMode::AbortRunning);
        EXPECT_EQ(scripted.aborts, QStringList{waiting.reference});
        EXPECT_EQ(settled.unsettled, 0);
        EXPECT_EQ(stateOf(waiting.reference), late ? attempt::Recorded : attempt::Aborted);
        EXPECT_EQ(TPaymentJournal(db.kiosk()).hasPayment(id), late);
        scripted.aborts.clear();
    }
}

// While a payment of the sale is in doubt, a second Chip & Pin charges nothing.
TEST_F(PaymentJournalTest, AFrozenSaleIsNotChargedAgain) {
    const int id = sale(2.85);
    const TPaymentAttempt doubt = begin(id, 285, {});
    config.terminalId = QStringLiteral("T1");
    // The simulator's journal is not the one the first request went to.
    const TPaymentResult result =
        TakeCardPayment(db.kiosk(), id, PaymentFixture::terminal(), db.folder());
    EXPECT_EQ(result.outcome, TPaymentResult::Outcome::InDoubt);
    EXPECT_FALSE(calls().join(u' ').contains(QStringLiteral("CardEnquiry")));
    EXPECT_EQ(stateOf(doubt.reference), attempt::Sent);
    EXPECT_FALSE(VoidRefusal(db.kiosk(), id).isEmpty());
}

}  // namespace
