#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <stdexcept>

#include "payment/uPinPadSimulator.h"
#include "terminal/uTerminalProtocol.h"

// What the terminal decided about one payment: the codes of each step as the kiosk's client
// reports them, and what the acquirer sent back.
struct TPaymentDecision {
    bool connected = true;
    int cardEnquiryResult = 0;
    int authoriseResult = 0;
    int responseCode = 0;
    QString authorisationCode, merchantNo, terminalId, schemeName, panFirst6Digits, panLast4Digits,
        dccCurrencyCode, customerReceipt;
    int customerVerification = 0;
    int dataEntryMethod = 0;
    QString failingCall;     // the step that failed, empty when none did
    QString errorCondition;  // what the failing step reported
};

// The decision for a payment cut short by an Abort before the terminal decided it.
TPaymentDecision AbortedDecision(const TPinPadConfig& config);

// The decision for a payment the terminal would not start: Failure, with the reason as its
// ErrorCondition.
TPaymentDecision RefusedDecision(const TPinPadConfig& config, const QString& reason);

// The journal record of a decided payment: everything its answer carries.
QJsonObject PaymentRecord(const TerminalProtocol::TRequest& request,
                          const TPaymentDecision& decision, const QString& poiTransactionId,
                          const QDateTime& time);

// Raised by the wait function to end a payment before the terminal decided it (an Abort, or the
// service stopping). The payment's steps unwind; nothing is decided.
class TPaymentCutShort : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One payment on the simulated terminal, run through the simulator's client as the kiosk runs
// one: start, read the card, authorise, then confirm or abort, and end.
class TTerminalPayment {
public:
    // wait: lets the given milliseconds pass with other requests served, and raises
    // TPaymentCutShort to cut the payment short. prompt: each new prompt of the pad.
    TTerminalPayment(const TPinPadConfig& config, TPinPadDeviceFactory openDevice,
                     std::function<void(int ms)> wait, std::function<void(const QString&)> prompt);

    TPaymentDecision run(const TerminalProtocol::TRequest& request);

private:
    TPaymentDecision steps(const TerminalProtocol::TRequest& request);
    void pollPrompt();

    TPinPadSimulator simulator_;
    std::function<void(int ms)> wait_;
    std::function<void(const QString&)> prompt_;
    NonGuiTransactionHook* hook_ = nullptr;  // the running payment's, while it runs
    QString lastPrompt_;
};
