#include "payment/fm_ccPayment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "kiosk/KioskInput.h"
#include "payment/PaymentFixture.h"
#include "payment/wg_PinPad.h"
#include "ui/wg_ActivityIndicator.h"
#include "ui/wg_BusyScope.h"

namespace {

class PaymentDialogTest : public PaymentFixture {
protected:
    // The kiosk's wait: the dialog follows the prompts while the simulator waits.
    PaymentDialogTest() { simulatorWait = TBusyScope::wait; }

    // Every distinct state the payment dialog goes through, as "heading|message|turning".
    void watchDialog() {
        watcher.setInterval(40);
        QObject::connect(&watcher, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<TfmCCPayment*>(QApplication::activeModalWidget());
            if (!dialog) return;
            const QString state =
                QStringList{dialog->findChild<QLabel*>("pnHeader")->text(),
                            dialog->findChild<QLabel*>("lbMessage")->text(),
                            dialog->findChild<TActivityIndicator*>("ActivityIndicator1")->animate()
                                ? "turning"
                                : "still",
                            QString::number(dialog->progress())}
                    .join(u'|');
            if (states.value(states.size() - 1) != state) states << state;
        });
        watcher.start();
    }
    TPaymentTerminal dialogTerminal() {
        return {[this] { return std::make_unique<BorrowedClient>(simulator()); },
                [] { return std::make_unique<TfmCCPayment>(); },
                {}};
    }

    QTimer watcher;
    QStringList states;
};

QString Prompt() {
    return "|" + TfmCCPayment::DefaultMessage + "|turning|1";
}

TEST_F(PaymentDialogTest, FollowsTheTerminalsPromptsThenShowsTheResult) {
    config.cardEnquiryDelayMs = 2000;
    config.statusMessages = {{0, "Insert card"}, {1000, ""}};
    watchDialog();
    EXPECT_TRUE(TakeCardPayment(db.kiosk(), sale(9.99), dialogTerminal(), db.folder()));
    EXPECT_EQ(states, QStringList({Prompt(), "|Insert card|turning|1", Prompt(),
                                   "Payment Success|Thank you for your purchase|still|0"}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // gone with the payment
}

TEST_F(PaymentDialogTest, AFailureShowsItsMessageWithoutAHeading) {
    config.responseCode = 4;
    watchDialog();
    EXPECT_FALSE(TakeCardPayment(db.kiosk(), sale(1), dialogTerminal(), db.folder()));
    EXPECT_EQ(states.value(states.size() - 1), "|Card is Invalid|still|0");
}

TEST_F(PaymentDialogTest, ThePersonAtTheVirtualPinPadDecides) {
    config.interactive = true;
    QString display;
    bool offered = false;
    int presses = 0;
    // The person presses Decline at the first wait for a choice, which comes once the pad shows.
    const auto pressDecline = [&](int ms) {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<TPinPadWindow*>(window);
                found && found->isVisible() && presses == 0) {
                display = found->lbDisplay->text();
                offered = found->cmDecline->isEnabled();
                found->cmDecline->click();
                ++presses;
            }
        TBusyScope::wait(ms);
    };
    TPinPadSimulator pad(
        config, [] { return std::make_unique<TPinPadWindow>(); }, pressDecline);
    const TPaymentTerminal terminal{[&] { return std::make_unique<BorrowedClient>(pad); },
                                    [&] { return std::make_unique<FakePaymentView>(viewLog); },
                                    {}};
    EXPECT_FALSE(TakeCardPayment(db.kiosk(), sale(4), terminal, db.folder()));
    EXPECT_EQ(display, "KelvoPOS Self Service\n\nPresent card");
    EXPECT_TRUE(offered);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(viewLog.value(1), "3000 Card Declined");
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<TPinPadWindow*>(window)) << "the pad closes with the payment";
}

}  // namespace
