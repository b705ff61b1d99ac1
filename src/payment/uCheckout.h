#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "db/fbConnection.h"
#include "payment/uPaymentClient.h"

// Checkout of the sale on screen: closing it, taking its card payment on the terminal and
// recording the payment. The main screen's pay, method-of-payment and cancel handlers forward
// here:
//
//   cmMOPChipAndPINClick:  if (PayForSale(conx, fSalesID, terminal, DataFolder)) {
//                              if (AskYesNo(ReceiptQuestion)) PrintReceipt(...);
//                              resetToDefault();
//                          }
//   cmCancelMOPClick:      CancelPayment(conx, fSalesID); RefreshTransaction(); ...
//
// Statements run on queries of their own and commit at once, keeping the transaction open.

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

// What the payment dialog shows while a payment runs.
class TPaymentView {
public:
    virtual ~TPaymentView() = default;
    // The dialog appears with its indicator turning and follows the terminal's prompts.
    virtual void showProgress(NonGuiTransactionHook& hook) = 0;
    // The prompts stop and the result shows (a NUL separates a heading from the message); then
    // ms pass with the screens alive.
    virtual void showResult(int ms, const QString& message) = 0;
};

// What a card payment needs from outside the core: the terminal's client and the dialog, each
// opened for one payment and closed before the payment returns.
struct TPaymentTerminal {
    std::function<std::unique_ptr<TPaymentClient>()> openClient;
    std::function<std::unique_ptr<TPaymentView>()> openView;
};

// Runs one card payment for the sale's amount due (GROSS - DISCOUNT, less what earlier payments
// of the sale took) and records it. True when
// the sale is paid: the terminal accepted the payment (whatever its scheme: the customer has
// been charged), or nothing is due (no dialog opens). Refusals show their reason for 3 seconds
// and return false. A failing client call or statement raises; the terminal's transaction is
// then aborted and ended, and the dialog closed.
bool TakeCardPayment(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                     const QString& dataFolder);

// "Chip & Pin" on the method-of-payment page: closes the sale (SALE_END, whatever the payment
// does), then pays it, or counts it as paid without the terminal when the setup's DEBUG is
// above 32. True when paid.
bool PayForSale(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                const QString& dataFolder);

// Cancel Payment: the sale's promotion hits go, so the sale is priced afresh at the next pay.
void CancelPayment(fb::Connection& conx, int salesId);
