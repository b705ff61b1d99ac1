#include "payment/uPinPadSimulator.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "payment/PaymentFixture.h"

namespace {

// A person at the virtual PIN pad decides each payment.
class InteractivePad : public TPinPadDevice {
public:
    explicit InteractivePad(TPinPadChoice choice, QStringList& shown)
        : choice_(choice), shown_(shown) {}
    void display(const QString& text) override { shown_ << text; }
    void offerChoice(bool offer) override { offered_ = offer; }
    TPinPadChoice choice() const override { return offered_ ? choice_ : TPinPadChoice::None; }

private:
    TPinPadChoice choice_;
    QStringList& shown_;
    bool offered_ = false;
};

using InteractivePaymentTest = PaymentFixture;

// Without a choice within its time the card counts as removed.
TEST_F(InteractivePaymentTest, EveryChoiceOnThePadHasItsOutcome) {
    struct Case {
        TPinPadChoice choice;
        QString result;
        bool paid;
    };
    const Case cases[] = {
        {TPinPadChoice::Approve, "3000 Payment Success|Thank you for your purchase", true},
        {TPinPadChoice::Decline, "3000 Card Declined", false},
        {TPinPadChoice::RemoveCard, "3000 Transaction Cancelled", false},
        {TPinPadChoice::NoTerminal, "3000 Could not connect to pay terminal", false},
        {TPinPadChoice::None, "3000 Transaction Cancelled", false},
    };
    config.interactive = true;
    config.connected = false;  // the pad's choice decides, not the file
    config.responseCode = 4;
    config.choiceTimeoutMs = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result.toStdString());
        QStringList shown;
        TPinPadSimulator simulator(
            config, [&] { return std::make_unique<InteractivePad>(c.choice, shown); });
        QStringList log;
        const TPaymentTerminal terminal{[&] { return std::make_unique<BorrowedClient>(simulator); },
                                        [&] { return std::make_unique<FakePaymentView>(log); },
                                        {}};
        EXPECT_EQ(TakeCardPayment(db.kiosk(), sale(7.5), terminal, db.folder()), c.paid);
        EXPECT_EQ(log.value(1), c.result);
        EXPECT_EQ(shown.value(0), "KelvoPOS Self Service\n\nPresent card");
        if (c.choice != TPinPadChoice::NoTerminal) {
            EXPECT_TRUE(shown.contains("TOTAL 7.50"));
        }
    }
    EXPECT_EQ(select("select count(*) from TBL_SALES_PAYMENTS"), "1");
}

// The payment dialog's Escape: the customer cancels while the card is still being read.
class CancellingView : public FakePaymentView {
public:
    using FakePaymentView::FakePaymentView;
    void offerCancel(std::function<void()> cancel) override { cancel_ = std::move(cancel); }
    void cancel() {
        if (cancel_) std::exchange(cancel_, {})();
    }

private:
    std::function<void()> cancel_;
};

using CancelledPaymentTest = PaymentFixture;

// Asked to stop, the simulator ends its wait and answers as for a removed card: nothing is
// charged and the sale stays open.
TEST_F(CancelledPaymentTest, ACancelAtTheTerminalEndsThePaymentUncharged) {
    config.cardEnquiryDelayMs = 600000;
    config.responseCode = 1;
    CancellingView* view = nullptr;
    simulatorWait = [&](int) {
        if (view) view->cancel();
    };
    TPaymentTerminal terminal{[&] { return std::make_unique<BorrowedClient>(simulator()); },
                              [&] {
                                  auto made = std::make_unique<CancellingView>(viewLog);
                                  view = made.get();
                                  return made;
                              },
                              {}};
    const int id = sale(2.5);
    EXPECT_FALSE(TakeCardPayment(db.kiosk(), id, terminal, db.folder()));
    EXPECT_EQ(viewLog.value(1), "3000 Transaction Cancelled");
    EXPECT_EQ(calls().filter(QStringLiteral("Abort(")).size(), 1);
    EXPECT_EQ(select("select count(*) from TBL_SALES_PAYMENTS"), "0");
    EXPECT_EQ(select("select SALE_END from TBL_SALES_HEADERS"), "");
}

}  // namespace
