#pragma once

#include <QString>
#include <memory>
#include <stdexcept>

// The payment provider's terminal client as the kiosk uses it. The client talks to the PIN pad
// and the acquirer; the kiosk only hands it the till's details, asks it to run one transaction
// through its hook and reads back what the terminal decided. Only the members the checkout
// uses are declared. Texts are wide strings, enumerations plain integers whose meaning beyond
// what the checkout reacts to belongs to the client.
//
// Every call can fail with an error result: it raises TPaymentClientError, which ends the
// payment.

class TPaymentClientError : public std::runtime_error {
public:
    // call: the member that failed; reason: the client's own description.
    TPaymentClientError(const QString& call, const QString& reason);
    const QString& call() const { return call_; }

private:
    QString call_;
};

// The shop as the client prints it on the card receipt. Written only.
class TillInformation {
public:
    virtual ~TillInformation() = default;
    virtual void setMerchantName(const QString& value) = 0;
    virtual void setAddress1(const QString& value) = 0;
    virtual void setAddress2(const QString& value) = 0;
    virtual void setAddress3(const QString& value) = 0;
    virtual void setPhoneNumber(const QString& value) = 0;
};

// What the terminal decided about one transaction, filled by AuthoriseTransaction. Read only.
class TransactionInfo {
public:
    virtual ~TransactionInfo() = default;
    virtual int ResponseCode() const = 0;
    virtual QString AuthorisationCode() const = 0;
    virtual QString MerchantNo() const = 0;
    virtual QString TerminalId() const = 0;
    virtual QString SchemeName() const = 0;
    virtual QString PanFirst6Digits() const = 0;
    virtual QString PanLast4Digits() const = 0;
    virtual QString DccCurrencyCode() const = 0;
    virtual QString CustomerReceipt() const = 0;
    virtual int CustomerVerification() const = 0;
    virtual int DataEntryMethod() const = 0;
};

// One transaction with the terminal: StartTransaction, CardEnquiry, AuthoriseTransaction, then
// ConfirmTransaction and EndTransaction, or AbortTransaction and EndTransaction. The calls block
// until the terminal has answered.
class NonGuiTransactionHook {
public:
    virtual ~NonGuiTransactionHook() = default;
    // False when no terminal answers.
    virtual bool StartTransaction(TillInformation& till) = 0;
    // Reads the card for an amount in minor units.
    virtual int CardEnquiry(int transactionType, int transactionAmount,
                            int allowedDataEntryTypes) = 0;
    virtual int AuthoriseTransaction(int cashbackAmount, TransactionInfo& info) = 0;
    virtual bool ConfirmTransaction(int confirmType, const QString& transactionReference,
                                    const QString& authCode, TransactionInfo& info) = 0;
    virtual void AbortTransaction() = 0;
    virtual void EndTransaction() = 0;
    // The terminal's current prompt to the customer; empty when it has none.
    virtual QString StatusMessage() = 0;
};

// The installed client: makes the three objects of one payment.
class TPaymentClient {
public:
    virtual ~TPaymentClient() = default;
    virtual std::unique_ptr<TillInformation> CreateTillInformation() = 0;
    virtual std::unique_ptr<TransactionInfo> CreateTransactionInfo() = 0;
    virtual std::unique_ptr<NonGuiTransactionHook> CreateNonGuiTransactionHook() = 0;
};
