#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "db/fbConnection.h"
#include "payment/uPaymentClient.h"

// Checkout of the sale on screen: closing it, taking its card payment on the terminal and
// recording the payment. The main screen's pay, method-of-payment and cancel handlers forward
// here. Statements run on queries of their own and commit at once, keeping the transaction open.

// The customer is asked this once the sale is paid.
extern const QString ReceiptQuestion;

// Card schemes in the order of their method-of-payment codes: the index of a scheme's name is
// the MOP stored with its payment.
extern const QStringList cardSchemeNames;
// The MOP of a scheme name, compared without regard to case; -1 when the table lacks it.
int SchemeIndex(const QString& schemeName);

// An amount in minor units, halves rounded to even (10.125 charges 1012, 10.375 charges 1038).
// The decimal amount is what is rounded: the binary error of the multiplication is dropped
// first, so 1.015 charges 102 as written rather than 101.
qint64 AmountInMinorUnits(double amount);

// What identifies one payment: the sale, "-" and the payment time as yyyymmddhhnnss.
QString PaymentReference(int salesId, const QDateTime& at);
// dataFolder + "Receipts/yyyy/mm-MMM/" + reference + ".rcp", MMM the regional short month name.
QString CardReceiptPath(const QString& dataFolder, const QDateTime& at, const QString& reference);

// What the customer reads when a payment could not be completed for a reason of the kiosk's
// or the terminal's, never the engine's or the terminal's own text (that goes to the log).
extern const QString PaymentFailedMessage;
extern const QString TerminalUnavailableMessage;
extern const QString CardPaymentsUnavailableMessage;

// What the payment dialog shows while a payment runs.
class TPaymentView {
public:
    virtual ~TPaymentView() = default;
    // The dialog appears with its indicator turning and follows the terminal's prompts.
    virtual void showProgress(NonGuiTransactionHook& hook) = 0;
    // The prompts stop and the result shows (a NUL separates a heading from the message); then
    // ms pass with the screens alive.
    virtual void showResult(int ms, const QString& message) = 0;
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

// What asking the terminal about unsettled attempts came to.
struct TSettlement {
    QList<int> paidSales;      // sales whose approved payment is now recorded
    QList<int> openedSales;    // sales open again: their payment took no money
    int unsettled = 0;         // attempts still unsettled (terminal unreachable, payment running)
    bool unreachable = false;  // the terminal could not be asked
    QString problem;           // why they are unsettled, for the log
};

// Asks the terminal about every unsettled attempt (of one sale, or of all for salesId 0) and
// settles what it can: an approval is recorded with its payment row and the sale finished;
// a decline, an abort or a reference the terminal never saw closes the attempt and opens the
// sale again. A terminal that cannot be asked leaves the attempts as they are.
TSettlement SettlePayments(fb::Connection& conx, TPaymentClient& client, const QString& dataFolder,
                           int salesId = 0);

// What the sale still owes in minor units: GROSS - DISCOUNT less its recorded payments.
qint64 AmountDueInMinorUnits(fb::Connection& conx, int salesId);

// Runs one card payment for the sale's amount due and records it, journalled so that no
// outcome is lost: unsettled attempts of the sale are settled first, and only what is still
// due is charged. True when the sale is paid: the terminal approved (whatever its scheme: the
// customer has been charged), an earlier attempt turned out approved, or nothing is due (no
// dialog opens; a negative amount, a paid sale made smaller, is logged). Refusals show their
// reason for 3 seconds and return false with the sale open again. A failure of the terminal or
// the database shows a short message, is logged, and leaves the attempt to settlement.
// TPaymentInterrupted (a stop signal) passes through with the attempt unsettled.
bool TakeCardPayment(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                     const QString& dataFolder);

// "Chip & Pin" on the method-of-payment page: pays the sale by card, or counts it as paid
// without the terminal (closed, no payment) when the setup's DEBUG is above 32. True when paid.
bool PayForSale(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                const QString& dataFolder);

// Cancel Payment: the sale's promotion hits go, so the sale is priced afresh at the next pay.
// A sale whose payment is unsettled keeps them: it may have been charged at that price.
void CancelPayment(fb::Connection& conx, int salesId);

// Why the sale on screen cannot be voided (a card payment is recorded or unsettled); empty
// when it can.
QString VoidRefusal(fb::Connection& conx, int salesId);
