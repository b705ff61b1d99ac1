#include "payment/uPinPadSimulator.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>
#include <QUuid>

#include "app/uClock.h"
#include "app/uStopSignals.h"

namespace {

constexpr int kPollMs = 50;

QString MinorUnitsText(int amount) {
    const QString sign = amount < 0 ? QStringLiteral("-") : QString();
    const int units = std::abs(amount);
    return sign + QStringLiteral("%1.%2").arg(units / 100).arg(units % 100, 2, 10, QChar(u'0'));
}

[[noreturn]] void Interrupted() {
    throw TPaymentInterrupted();
}

}  // namespace

// ---- The simulator's objects ---------------------------------------------------------------

class TSimTillInformation : public TillInformation {
public:
    explicit TSimTillInformation(TPinPadSimulator& owner) : owner_(owner) {}
    void setMerchantName(const QString& value) override {
        set(u"MerchantName", merchantName, value);
    }
    void setAddress1(const QString& value) override { set(u"Address1", address1, value); }
    void setAddress2(const QString& value) override { set(u"Address2", address2, value); }
    void setAddress3(const QString& value) override { set(u"Address3", address3, value); }
    void setPhoneNumber(const QString& value) override { set(u"PhoneNumber", phoneNumber, value); }

    QString merchantName, address1, address2, address3, phoneNumber;

private:
    void set(QStringView name, QString& field, const QString& value) {
        owner_.record(name.toString() + u'=' + value);
        field = value;
    }
    TPinPadSimulator& owner_;
};

class TSimTransactionInfo : public TransactionInfo {
public:
    int ResponseCode() const override { return responseCode; }
    QString AuthorisationCode() const override { return authorisationCode; }
    QString MerchantNo() const override { return merchantNo; }
    QString TerminalId() const override { return terminalId; }
    QString SchemeName() const override { return schemeName; }
    QString PanFirst6Digits() const override { return panFirst6Digits; }
    QString PanLast4Digits() const override { return panLast4Digits; }
    QString DccCurrencyCode() const override { return dccCurrencyCode; }
    QString CustomerReceipt() const override { return customerReceipt; }
    int CustomerVerification() const override { return customerVerification; }
    int DataEntryMethod() const override { return dataEntryMethod; }

    int responseCode = 0;
    QString authorisationCode, merchantNo, terminalId, schemeName, panFirst6Digits, panLast4Digits,
        dccCurrencyCode, customerReceipt;
    int customerVerification = 0;
    int dataEntryMethod = 0;
};

class TSimTransactionHook : public NonGuiTransactionHook {
public:
    explicit TSimTransactionHook(TPinPadSimulator& owner) : owner_(owner) {}

    void PrepareTransaction(const QString& reference, int amount) override {
        owner_.record(QStringLiteral("PrepareTransaction(%1, %2)").arg(reference).arg(amount));
        reference_ = reference;
        amount_ = amount;
    }
    bool StartTransaction(TillInformation& till) override;
    int CardEnquiry(int transactionType, int transactionAmount, int allowedDataEntryTypes) override;
    int AuthoriseTransaction(int cashbackAmount, TransactionInfo& info) override;
    bool ConfirmTransaction(int confirmType, const QString& transactionReference,
                            const QString& authCode, TransactionInfo& info) override;
    void AbortTransaction() override;
    void EndTransaction() override;
    QString StatusMessage() override;

private:
    const TPinPadConfig& config() const { return owner_.config_; }
    void enter(const QString& call) {
        owner_.record(call);
        owner_.failIfConfigured(call.left(call.indexOf(u'(')));
    }
    QString currentStatus() const;
    // Lets ms pass with the pad's screen following the terminal's prompts.
    void pause(int ms);
    TPinPadChoice waitForChoice();
    void show(const QString& text) {
        if (device_) device_->display(text);
    }
    QString receiptText(const TSimTransactionInfo& info) const;
    bool aborted() const { return owner_.aborted_.count(reference_) > 0; }

    void decide(TTerminalStatus::State state, const TSimTransactionInfo* info) {
        if (reference_.isEmpty()) return;
        owner_.decide(
            reference_,
            {state, amount_, info ? std::make_shared<const TSimTransactionInfo>(*info) : nullptr});
    }

    TPinPadSimulator& owner_;
    QString reference_;
    std::unique_ptr<TPinPadDevice> device_;
    TPinPadChoice choice_ = TPinPadChoice::None;
    QString merchant_;
    QStringList address_;
    int amount_ = 0;
    bool presented_ = false;
    QElapsedTimer sincePresented_;
};

bool TSimTransactionHook::StartTransaction(TillInformation& till) {
    enter(QStringLiteral("StartTransaction()"));
    if (auto* details = dynamic_cast<TSimTillInformation*>(&till)) {
        merchant_ = details->merchantName;
        address_ = {details->address1, details->address2, details->address3, details->phoneNumber};
    }
    if (config().interactive) {
        if (!owner_.openDevice_)
            throw TPaymentClientError(QStringLiteral("StartTransaction"),
                                      QStringLiteral("the virtual PIN pad is not available"));
        device_ = owner_.openDevice_();
        show(merchant_ + QStringLiteral("\n\nPresent card"));
        choice_ = waitForChoice();
        if (choice_ == TPinPadChoice::NoTerminal) {
            show(QStringLiteral("No terminal"));
            decide(TTerminalStatus::State::Declined, nullptr);
            return false;
        }
    } else if (!config().connected) {
        decide(TTerminalStatus::State::Declined, nullptr);
        return false;
    }
    presented_ = true;
    sincePresented_.start();
    return true;
}

int TSimTransactionHook::CardEnquiry(int transactionType, int transactionAmount,
                                     int allowedDataEntryTypes) {
    enter(QStringLiteral("CardEnquiry(%1, %2, %3)")
              .arg(transactionType)
              .arg(transactionAmount)
              .arg(allowedDataEntryTypes));
    amount_ = transactionAmount;
    show(QStringLiteral("TOTAL %1").arg(MinorUnitsText(amount_)));
    pause(config().cardEnquiryDelayMs);
    return config().interactive ? 0 : config().cardEnquiryResult;
}

int TSimTransactionHook::AuthoriseTransaction(int cashbackAmount, TransactionInfo& info) {
    enter(QStringLiteral("AuthoriseTransaction(%1)").arg(cashbackAmount));
    auto* result = dynamic_cast<TSimTransactionInfo*>(&info);
    if (!result)
        throw TPaymentClientError(
            QStringLiteral("AuthoriseTransaction"),
            QStringLiteral("the transaction information is not this client's"));
    pause(config().authoriseDelayMs);
    if (aborted()) choice_ = TPinPadChoice::RemoveCard;
    const TPinPadConfig& c = config();
    switch (choice_) {
        case TPinPadChoice::Approve:
            result->responseCode = 1;
            break;
        case TPinPadChoice::Decline:
            result->responseCode = 2;
            break;
        case TPinPadChoice::RemoveCard:
            result->responseCode = 3;
            break;
        case TPinPadChoice::None:
        case TPinPadChoice::NoTerminal:
            result->responseCode = c.responseCode;
            break;
    }
    result->authorisationCode = result->responseCode == 1 ? c.authorisationCode : QString();
    result->merchantNo = c.merchantNo;
    result->terminalId = c.terminalId;
    result->schemeName = c.schemeName;
    result->panFirst6Digits = c.panFirst6Digits;
    result->panLast4Digits = c.panLast4Digits;
    result->dccCurrencyCode = c.dccCurrencyCode;
    result->customerVerification = c.customerVerification;
    result->dataEntryMethod = c.dataEntryMethod;
    result->customerReceipt = receiptText(*result);
    show(result->responseCode == 1 ? QStringLiteral("APPROVED") : QStringLiteral("NOT APPROVED"));
    const int authorised = config().interactive ? 0 : c.authoriseResult;
    const bool approved = authorised == 0 && result->responseCode == 1;
    decide(approved                    ? TTerminalStatus::State::Approved
           : result->responseCode == 3 ? TTerminalStatus::State::Aborted
                                       : TTerminalStatus::State::Declined,
           result);
    return authorised;
}

bool TSimTransactionHook::ConfirmTransaction(int confirmType, const QString& transactionReference,
                                             const QString& authCode, TransactionInfo& info) {
    enter(QStringLiteral("ConfirmTransaction(%1, %2, %3)")
              .arg(confirmType)
              .arg(transactionReference, authCode));
    if (auto* result = dynamic_cast<TSimTransactionInfo*>(&info))
        result->customerReceipt += QStringLiteral("\r\nREF: ") + transactionReference;
    return true;
}

void TSimTransactionHook::AbortTransaction() {
    enter(QStringLiteral("AbortTransaction()"));
    show(QStringLiteral("CANCELLED"));
}

void TSimTransactionHook::EndTransaction() {
    enter(QStringLiteral("EndTransaction()"));
    presented_ = false;
    device_.reset();
}

QString TSimTransactionHook::StatusMessage() {
    owner_.failIfConfigured(QStringLiteral("StatusMessage"));
    return currentStatus();
}

QString TSimTransactionHook::currentStatus() const {
    if (!presented_) return {};
    QString status;
    for (const TPinPadStatus& step : config().statusMessages)
        if (step.atMs <= sincePresented_.elapsed()) status = step.text;
    return status;
}

void TSimTransactionHook::pause(int ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms && !aborted()) {
        if (StopRequested()) Interrupted();
        owner_.wait_(int(std::min<qint64>(kPollMs, ms - elapsed.elapsed())));
        const QString status = currentStatus();
        if (!status.isEmpty())
            show(QStringLiteral("TOTAL %1\n\n%2").arg(MinorUnitsText(amount_), status));
    }
}

TPinPadChoice TSimTransactionHook::waitForChoice() {
    device_->offerChoice(true);
    QElapsedTimer elapsed;
    elapsed.start();
    TPinPadChoice choice = device_->choice();
    while (choice == TPinPadChoice::None && elapsed.elapsed() < config().choiceTimeoutMs &&
           !aborted()) {
        if (StopRequested()) Interrupted();
        owner_.wait_(kPollMs);
        choice = device_->choice();
    }
    device_->offerChoice(false);
    return choice == TPinPadChoice::None ? TPinPadChoice::RemoveCard : choice;
}

QString TSimTransactionHook::receiptText(const TSimTransactionInfo& info) const {
    QStringList lines{QStringLiteral("CUSTOMER COPY"), merchant_};
    for (const QString& line : address_)
        if (!line.isEmpty()) lines << line;
    lines << QStringLiteral("MID: ") + info.merchantNo << QStringLiteral("TID: ") + info.terminalId
          << info.schemeName.toUpper() << QStringLiteral("************") + info.panLast4Digits
          << QStringLiteral("SALE")
          << QStringLiteral("AMOUNT        %1").arg(MinorUnitsText(amount_));
    if (info.responseCode == 1) {
        if (info.customerVerification == 1) lines << QStringLiteral("PIN VERIFIED");
        lines << QStringLiteral("AUTH CODE: ") + info.authorisationCode;
    }
    lines << Clock::instance().now().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"))
          << (info.responseCode == 1 ? QStringLiteral("APPROVED") : QStringLiteral("DECLINED"))
          << QStringLiteral("PLEASE RETAIN RECEIPT") << QStringLiteral("FOR YOUR RECORDS");
    return lines.join(QStringLiteral("\r\n"));
}

// ---- TPinPadSimulator ---------------------------------------------------------------------

TPinPadSimulator::TPinPadSimulator(TPinPadConfig config, TPinPadDeviceFactory openDevice,
                                   std::function<void(int ms)> wait)
    : config_(std::move(config)),
      journalId_(QUuid::createUuid().toString(QUuid::WithoutBraces)),
      openDevice_(std::move(openDevice)),
      wait_(std::move(wait)) {
    // The core only sleeps; the kiosk passes a wait that keeps its screens alive.
    if (!wait_) wait_ = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
}

std::unique_ptr<TillInformation> TPinPadSimulator::CreateTillInformation() {
    return std::make_unique<TSimTillInformation>(*this);
}

std::unique_ptr<TransactionInfo> TPinPadSimulator::CreateTransactionInfo() {
    return std::make_unique<TSimTransactionInfo>();
}

std::unique_ptr<NonGuiTransactionHook> TPinPadSimulator::CreateNonGuiTransactionHook() {
    return std::make_unique<TSimTransactionHook>(*this);
}

void TPinPadSimulator::record(const QString& call) {
    calls_ << call;
}

void TPinPadSimulator::decide(const QString& reference, Decision decision) {
    decisions_.insert_or_assign(reference, std::move(decision));
}

TTerminalIdentity TPinPadSimulator::Identify() {
    record(QStringLiteral("Identify"));
    failIfConfigured(QStringLiteral("Identify"));
    return {config_.terminalId, journalId_};
}

TTerminalStatus TPinPadSimulator::TransactionStatus(const QString& reference) {
    record(QStringLiteral("TransactionStatus(%1)").arg(reference));
    failIfConfigured(QStringLiteral("TransactionStatus"));
    TTerminalStatus status;
    status.identity = {config_.terminalId, journalId_};
    const auto found = decisions_.find(reference);
    if (found == decisions_.end()) return status;
    status.state = found->second.state;
    status.amount = found->second.amount;
    status.poiTransactionId = QStringLiteral("SIM-") + reference;
    if (const auto* info = dynamic_cast<const TSimTransactionInfo*>(found->second.info.get()))
        status.info = std::make_unique<TSimTransactionInfo>(*info);
    return status;
}

void TPinPadSimulator::Abort(const QString& reference) {
    record(QStringLiteral("Abort(%1)").arg(reference));
    aborted_.insert(reference);
}

bool TPinPadSimulator::Reversal(const QString& reference) {
    record(QStringLiteral("Reversal(%1)").arg(reference));
    failIfConfigured(QStringLiteral("Reversal"));
    const auto found = decisions_.find(reference);
    if (found == decisions_.end()) return false;
    auto& state = found->second.state;
    if (state == TTerminalStatus::State::Approved) state = TTerminalStatus::State::Reversed;
    return state == TTerminalStatus::State::Reversed;
}

void TPinPadSimulator::failIfConfigured(const QString& call) const {
    if (!config_.failingCall.isEmpty() &&
        call.compare(config_.failingCall, Qt::CaseInsensitive) == 0)
        throw TPaymentClientError(call,
                                  QStringLiteral("the terminal reported an error (simulated)"));
}
