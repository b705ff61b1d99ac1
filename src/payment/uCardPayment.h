#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "db/fbConnection.h"
#include "payment/uPaymentClient.h"

// One card payment on the terminal as a state machine, read top to bottom:
//
//   Identify     the terminal names itself; unreachable -> Unavailable (nothing sent)
//   Begin        the attempt (SENT) and the sale's close are committed
//   Sent         the request leaves; the customer may cancel (an Abort to the terminal)
//   Answered     approved -> APPROVED committed -> Recorded -> Paid (or PartlyPaid)
//                refused  -> DECLINED / ABORTED committed, sale open -> NotPaid
//   In doubt     no readable answer -> UNKNOWN committed, the terminal asked once:
//                settled -> as above; otherwise InDoubt: the sale stays frozen and the kiosk
//                goes on asking (the screen says so), or staff decide
//   Stopping     a stop signal: an Abort goes to the terminal, the attempt stays for the next
//                start, TPaymentInterrupted passes through

// How a payment ended, with what the customer reads.
struct TPaymentResult {
    enum class Outcome {
        Paid,         // the sale is paid: the receipt question follows
        PartlyPaid,   // an amount was charged that does not cover the sale: the rest is due
        NotPaid,      // refused or cancelled: nothing was charged, the sale is open
        InDoubt,      // the terminal may have charged: the sale is frozen until settled
        Unavailable,  // no request left: nothing was charged
    };
    Outcome outcome = Outcome::NotPaid;
    QString heading;  // empty for a refusal or a failure
    QString message;

    bool paid() const { return outcome == Outcome::Paid; }
    // Read as a truth value: whether the sale is paid.
    operator bool() const { return paid(); }  // NOLINT(google-explicit-constructor)
    // The heading and the message as one text, "|" between them, for logs and tests.
    QString text() const { return heading.isEmpty() ? message : heading + u'|' + message; }
};

// What the customer reads while a payment is in doubt.
extern const QString CheckingPaymentHeading;
extern const QString CheckingPaymentMessage;

// What the payment dialog shows while a payment runs.
class TPaymentView {
public:
    virtual ~TPaymentView() = default;
    // The dialog appears with its indicator turning and follows the terminal's prompts.
    virtual void showProgress(NonGuiTransactionHook& hook) = 0;
    // The prompts stop and the result shows; then ms pass with the screens alive.
    virtual void showResult(int ms, const TPaymentResult& result) = 0;
    // While the terminal has not answered, the customer may cancel: cancel asks the terminal
    // to stop the payment, whose answer then ends it as usual. A view without a way to cancel
    // keeps nothing.
    virtual void offerCancel(std::function<void()> /*cancel*/) {}
};

// The steps of a card payment at which its state is committed, for a watcher that wants to
// see them (the crash tests stop the kiosk there).
enum class TPaymentStep { AttemptCommitted, RequestSent, AnswerRead, PaymentWritten };

// What a card payment needs from outside the core: the terminal's client and the dialog, each
// opened for one payment and closed before the payment returns. Without openClient no
// terminal is configured and card payments are unavailable.
struct TPaymentTerminal {
    std::function<std::unique_ptr<TPaymentClient>()> openClient;
    std::function<std::unique_ptr<TPaymentView>()> openView;
    std::function<void(TPaymentStep, const QString& reference)> onStep;
};

// What the customer reads once nothing of the sale is in doubt any more: paid, partly paid with
// what is still due, or not paid.
TPaymentResult OutcomeOfSettledSale(fb::Connection& conx, int salesId);

// Runs one card payment of amount (minor units) for the sale on the client, journalled.
TPaymentResult RunCardPayment(fb::Connection& conx, int salesId, qint64 amount,
                              const TPaymentTerminal& terminal, TPaymentClient& client,
                              const QString& dataFolder);
