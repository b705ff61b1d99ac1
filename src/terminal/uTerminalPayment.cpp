#include "terminal/uTerminalPayment.h"

using TerminalProtocol::TRequest;

namespace {

void CopyInfo(const TransactionInfo& info, TPaymentDecision& d) {
    d.responseCode = info.ResponseCode();
    d.authorisationCode = info.AuthorisationCode();
    d.merchantNo = info.MerchantNo();
    d.terminalId = info.TerminalId();
    d.schemeName = info.SchemeName();
    d.panFirst6Digits = info.PanFirst6Digits();
    d.panLast4Digits = info.PanLast4Digits();
    d.dccCurrencyCode = info.DccCurrencyCode();
    d.customerReceipt = info.CustomerReceipt();
    d.customerVerification = info.CustomerVerification();
    d.dataEntryMethod = info.DataEntryMethod();
}

// The pad's cancelled screen and the end of the transaction, as the kiosk ends a payment that
// did not go through.
void AbortAndEnd(NonGuiTransactionHook& hook) {
    hook.AbortTransaction();
    hook.EndTransaction();
}

}  // namespace

TPaymentDecision AbortedDecision(const TPinPadConfig& config) {
    TPaymentDecision d;
    d.responseCode = 3;
    d.merchantNo = config.merchantNo;
    d.terminalId = config.terminalId;
    return d;
}

TPaymentDecision RefusedDecision(const TPinPadConfig& config, const QString& reason) {
    TPaymentDecision d;
    d.merchantNo = config.merchantNo;
    d.terminalId = config.terminalId;
    d.failingCall = QStringLiteral("Payment");
    d.errorCondition = reason;
    return d;
}

QJsonObject PaymentRecord(const TRequest& request, const TPaymentDecision& d,
                          const QString& poiTransactionId, const QDateTime& time) {
    const bool failed = !d.failingCall.isEmpty();
    QJsonObject record{
        {QStringLiteral("Record"), QStringLiteral("Payment")},
        {QStringLiteral("SaleTransactionID"), request.saleTransactionId},
        {QStringLiteral("POITransactionID"), poiTransactionId},
        {QStringLiteral("Result"),
         TerminalProtocol::PaymentResult(d.connected, d.cardEnquiryResult, d.authoriseResult,
                                         d.responseCode, failed)},
        {QStringLiteral("Amount"), request.amount},
        {QStringLiteral("Connected"), d.connected},
        {QStringLiteral("CardEnquiryResult"), d.cardEnquiryResult},
        {QStringLiteral("AuthoriseResult"), d.authoriseResult},
        {QStringLiteral("ResponseCode"), d.responseCode},
        {QStringLiteral("AuthorisationCode"), d.authorisationCode},
        {QStringLiteral("MerchantNo"), d.merchantNo},
        {QStringLiteral("TerminalId"), d.terminalId},
        {QStringLiteral("SchemeName"), d.schemeName},
        {QStringLiteral("PanFirst6Digits"), d.panFirst6Digits},
        {QStringLiteral("PanLast4Digits"), d.panLast4Digits},
        {QStringLiteral("DccCurrencyCode"), d.dccCurrencyCode},
        {QStringLiteral("CustomerVerification"), d.customerVerification},
        {QStringLiteral("DataEntryMethod"), d.dataEntryMethod},
        {QStringLiteral("CustomerReceipt"), d.customerReceipt},
        {QStringLiteral("Time"), time.toString(Qt::ISODate)},
    };
    if (failed) {
        record.insert(QStringLiteral("FailingCall"), d.failingCall);
        record.insert(QStringLiteral("ErrorCondition"), d.errorCondition);
    }
    return record;
}

TTerminalPayment::TTerminalPayment(const TPinPadConfig& config, TPinPadDeviceFactory openDevice,
                                   std::function<void(int ms)> wait,
                                   std::function<void(const QString&)> prompt)
    : simulator_(config, std::move(openDevice),
                 [this](int ms) {
                     wait_(ms);
                     pollPrompt();
                 }),
      wait_(std::move(wait)),
      prompt_(std::move(prompt)) {}

TPaymentDecision TTerminalPayment::run(const TRequest& request) {
    try {
        return steps(request);
    } catch (const TPaymentClientError& e) {
        TPaymentDecision failed;
        failed.merchantNo = simulator_.config().merchantNo;
        failed.terminalId = simulator_.config().terminalId;
        failed.failingCall = e.call();
        failed.errorCondition = QString::fromStdString(e.what());
        return failed;
    }
}

TPaymentDecision TTerminalPayment::steps(const TRequest& request) {
    const std::unique_ptr<TillInformation> till = simulator_.CreateTillInformation();
    const QJsonObject& m = request.merchant;
    till->setMerchantName(m.value(u"MerchantName").toString());
    till->setAddress1(m.value(u"Address1").toString());
    till->setAddress2(m.value(u"Address2").toString());
    till->setAddress3(m.value(u"Address3").toString());
    till->setPhoneNumber(m.value(u"PhoneNumber").toString());
    const std::unique_ptr<TransactionInfo> info = simulator_.CreateTransactionInfo();
    const std::unique_ptr<NonGuiTransactionHook> hook = simulator_.CreateNonGuiTransactionHook();
    hook->PrepareTransaction(request.saleTransactionId, request.amount);
    hook_ = hook.get();
    struct Release {
        NonGuiTransactionHook*& hook;
        ~Release() { hook = nullptr; }
    } release{hook_};

    TPaymentDecision d;
    d.merchantNo = simulator_.config().merchantNo;
    d.terminalId = simulator_.config().terminalId;
    d.connected = hook->StartTransaction(*till);
    if (!d.connected) {
        AbortAndEnd(*hook);
        return d;
    }
    d.cardEnquiryResult = hook->CardEnquiry(0, request.amount, 1);
    if (d.cardEnquiryResult != 0 && d.cardEnquiryResult != 2) {
        AbortAndEnd(*hook);
        return d;
    }
    d.authoriseResult = hook->AuthoriseTransaction(0, *info);
    CopyInfo(*info, d);
    if (d.authoriseResult != 0 || d.responseCode != 1) {
        AbortAndEnd(*hook);
        return d;
    }
    hook->ConfirmTransaction(0, request.saleTransactionId, d.authorisationCode, *info);
    d.customerReceipt = info->CustomerReceipt();
    hook->EndTransaction();
    return d;
}

void TTerminalPayment::pollPrompt() {
    if (!hook_) return;
    const QString prompt = hook_->StatusMessage();
    if (prompt.isEmpty() || prompt == lastPrompt_) return;
    lastPrompt_ = prompt;
    prompt_(prompt);
}
