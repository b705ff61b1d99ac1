#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "db/fbConnection.h"
#include "payment/uCardPayment.h"
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
// What staff read when they try to change a sale whose payment is in doubt.
extern const QString FrozenSaleMessage;

// Runs one card payment for the sale's amount due and records it, journalled so that no
// outcome is lost: unsettled attempts of the sale are settled first, and while one stays in
// doubt nothing more is charged (InDoubt). Paid when the terminal approved (whatever its
// scheme: the customer has been charged), an earlier attempt turned out approved, or nothing is
// due (no dialog opens; a negative amount, a paid sale made smaller, is logged). Refusals show
// their reason for 3 seconds with the sale open again. A payment whose answer is lost is
// InDoubt: the sale stays frozen until settlement or staff decide it.
// TPaymentInterrupted (a stop signal) passes through, after an Abort to the terminal, with the
// attempt unsettled.
TPaymentResult TakeCardPayment(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                               const QString& dataFolder);

// "Chip & Pin" on the method-of-payment page: pays the sale by card, or counts it as paid
// without the terminal (closed, no payment) when the setup's DEBUG is above 32.
TPaymentResult PayForSale(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                          const QString& dataFolder);

// Cancel Payment: the sale's promotion hits go, so the sale is priced afresh at the next pay.
// A sale whose payment is unsettled keeps them: it may have been charged at that price.
void CancelPayment(fb::Connection& conx, int salesId);

// Why the sale on screen cannot be voided (a card payment is recorded or unsettled); empty
// when it can.
QString VoidRefusal(fb::Connection& conx, int salesId);
