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

// The terminal could not be reached: the request never left, so nothing was charged.
class TTerminalUnavailable : public TPaymentClientError {
public:
    using TPaymentClientError::TPaymentClientError;
};

// The request left but no answer came (lost, cut off or too late): what the terminal did is
// unknown until it is asked.
class TTerminalNoAnswer : public TPaymentClientError {
public:
    using TPaymentClientError::TPaymentClientError;
};

// The kiosk is stopping: the payment is left as it stands, to be settled at the next start.
class TPaymentInterrupted : public std::runtime_error {
public:
    TPaymentInterrupted() : std::runtime_error("The kiosk is stopping") {}
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
    // The terminal's own id of the transaction, stored with the attempt; empty when it gave none.
    virtual QString PoiTransactionId() const { return {}; }
};

// One transaction with the terminal: StartTransaction, CardEnquiry, AuthoriseTransaction, then
// ConfirmTransaction and EndTransaction, or AbortTransaction and EndTransaction. The calls block
// until the terminal has answered.
class NonGuiTransactionHook {
public:
    virtual ~NonGuiTransactionHook() = default;
    // The payment's reference (the terminal's SaleTransactionID) and its amount in minor units,
    // handed over before StartTransaction. A terminal asked later about the reference answers
    // for this transaction.
    virtual void PrepareTransaction(const QString& reference, int amount) = 0;
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

// Who answered: the terminal's own id and the id of its journal, made once with the journal.
// A NotFound only proves that nothing was charged when it comes from the terminal and journal
// that the payment's request went to.
struct TTerminalIdentity {
    QString terminalId;
    QString journalId;
    bool isEmpty() const { return terminalId.isEmpty() && journalId.isEmpty(); }
    bool operator==(const TTerminalIdentity&) const = default;
};

// What the terminal knows of one transaction, by its reference.
struct TTerminalStatus {
    enum class State { Approved, Declined, Aborted, Reversed, InProgress, NotFound };
    State state = State::NotFound;
    QString poiTransactionId;
    qint64 amount = 0;
    std::unique_ptr<TransactionInfo> info;  // the card details of an approved payment
    TTerminalIdentity identity;             // the terminal that answered
};

// The installed client: makes the three objects of one payment, and asks the terminal about
// transactions it handled.
class TPaymentClient {
public:
    virtual ~TPaymentClient() = default;
    virtual std::unique_ptr<TillInformation> CreateTillInformation() = 0;
    virtual std::unique_ptr<TransactionInfo> CreateTransactionInfo() = 0;
    virtual std::unique_ptr<NonGuiTransactionHook> CreateNonGuiTransactionHook() = 0;
    // The terminal's identity, asked before a payment's attempt is written so that the attempt
    // names the terminal its request goes to. Raises TTerminalUnavailable when it cannot be
    // asked (nothing is charged then).
    virtual TTerminalIdentity Identify() = 0;
    // Raises TTerminalUnavailable when the terminal cannot be asked.
    virtual TTerminalStatus TransactionStatus(const QString& reference) = 0;
    // Asks the terminal to stop the payment of this reference while it is still undecided.
    virtual void Abort(const QString& reference) = 0;
    // Refunds an approved payment; true once it stands reversed (a repeated reversal refunds
    // nothing more). False when the terminal has no approved payment of that reference.
    virtual bool Reversal(const QString& reference) = 0;
};

// A client lent for one payment by whoever keeps it.
class TBorrowedClient : public TPaymentClient {
public:
    explicit TBorrowedClient(TPaymentClient& client) : client_(client) {}
    std::unique_ptr<TillInformation> CreateTillInformation() override {
        return client_.CreateTillInformation();
    }
    std::unique_ptr<TransactionInfo> CreateTransactionInfo() override {
        return client_.CreateTransactionInfo();
    }
    std::unique_ptr<NonGuiTransactionHook> CreateNonGuiTransactionHook() override {
        return client_.CreateNonGuiTransactionHook();
    }
    TTerminalIdentity Identify() override { return client_.Identify(); }
    TTerminalStatus TransactionStatus(const QString& reference) override {
        return client_.TransactionStatus(reference);
    }
    void Abort(const QString& reference) override { client_.Abort(reference); }
    bool Reversal(const QString& reference) override { return client_.Reversal(reference); }

private:
    TPaymentClient& client_;
};
