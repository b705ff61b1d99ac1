#include "payment/uCardPayment.h"

#include "app/uClock.h"
#include "app/uLog.h"
#include "app/uSiteDetails.h"
#include "app/uText.h"
#include "db/fbQuery.h"
#include "payment/uCheckout.h"
#include "payment/uPaymentJournal.h"
#include "payment/uSettlement.h"

const QString CheckingPaymentHeading = QStringLiteral("Checking Payment");
const QString CheckingPaymentMessage = QStringLiteral("We are checking your payment. Please wait.");

namespace {

constexpr int kResultMs = 3000;

using Outcome = TPaymentResult::Outcome;

TPaymentResult Refused(const QString& message) {
    return {Outcome::NotPaid, {}, message};
}

// What the customer reads once the sale's payments are recorded.
TPaymentResult AfterRecording(TPaymentJournal& journal, int salesId, qint64 charged) {
    const qint64 due = journal.amountDue(salesId);
    if (due <= 0)
        return {Outcome::Paid, QStringLiteral("Payment Success"),
                QStringLiteral("Thank you for your purchase")};
    const QString rest = QStringLiteral("%1 is still to pay.").arg(MoneyText(due / 100.0));
    return {
        Outcome::PartlyPaid, QStringLiteral("Part Payment"),
        charged > 0
            ? QStringLiteral("Your card was charged %1. ").arg(MoneyText(charged / 100.0)) + rest
            : rest};
}

// One card payment: the journal's attempt, the dialog, the client's three objects and the
// terminal's transaction.
class TCardPayment {
public:
    TCardPayment(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                 TPaymentClient& client, const QString& dataFolder)
        : conx_(conx),
          journal_(conx),
          salesId_(salesId),
          terminal_(terminal),
          client_(client),
          dataFolder_(dataFolder) {}
    ~TCardPayment();
    TCardPayment(const TCardPayment&) = delete;
    TCardPayment& operator=(const TCardPayment&) = delete;

    TPaymentResult run(qint64 amount);

private:
    void step(TPaymentStep s) const {
        if (terminal_.onStep) terminal_.onStep(s, attempt_.reference);
    }
    TPaymentResult transact();
    void handTillInformation();
    TPaymentResult accept();
    TPaymentResult refuse(const QString& state, const QString& message);
    TPaymentResult inDoubt(const std::exception& e);
    void abortAtTerminal(const QString& why);
    void cancel();
    TPaymentResult finish(const TPaymentResult& result);

    fb::Connection& conx_;
    TPaymentJournal journal_;
    int salesId_;
    const TPaymentTerminal& terminal_;
    TPaymentClient& client_;
    QString dataFolder_;
    TPaymentAttempt attempt_;
    std::unique_ptr<TPaymentView> view_;
    std::unique_ptr<TillInformation> till_;
    std::unique_ptr<TransactionInfo> info_;
    std::unique_ptr<NonGuiTransactionHook> hook_;
    bool transactionOpen_ = false;  // started and not yet ended
};

// An error that left the terminal's transaction open still aborts and ends it, so the terminal
// is ready for the next customer; the first error is the one reported.
TCardPayment::~TCardPayment() {
    view_.reset();  // it follows the hook's prompts
    if (!transactionOpen_ || !hook_) return;
    for (const auto& [name, call] :
         {std::pair<QString, void (NonGuiTransactionHook::*)()>{
              QStringLiteral("AbortTransaction"), &NonGuiTransactionHook::AbortTransaction},
          {QStringLiteral("EndTransaction"), &NonGuiTransactionHook::EndTransaction}}) {
        try {
            (hook_.get()->*call)();
        } catch (const std::exception& e) {
            WriteLog(QStringLiteral("%1 after a failed card payment: %2").arg(name, e.what()), 0);
        }
    }
}

TPaymentResult TCardPayment::run(qint64 amount) {
    view_ = terminal_.openView();
    TTerminalIdentity terminal;
    try {
        terminal = client_.Identify();
    } catch (const TTerminalUnavailable& e) {
        WriteLog(QStringLiteral("Card payment of sale %1: %2").arg(salesId_).arg(e.what()), 0);
        const TPaymentResult result{Outcome::Unavailable, {}, TerminalUnavailableMessage};
        view_->showResult(kResultMs, result);
        return result;
    }
    attempt_ = journal_.begin(salesId_, amount, Clock::instance().now(), terminal);
    step(TPaymentStep::AttemptCommitted);
    till_ = client_.CreateTillInformation();
    info_ = client_.CreateTransactionInfo();
    hook_ = client_.CreateNonGuiTransactionHook();
    hook_->PrepareTransaction(attempt_.reference, int(amount));
    view_->offerCancel([this] { cancel(); });
    view_->showProgress(*hook_);
    try {
        return transact();
    } catch (const TPaymentInterrupted&) {
        // The kiosk is stopping: no card may be charged for a sale nobody stands at any more.
        // The attempt stays as it is, for the next start to settle.
        abortAtTerminal(QStringLiteral("the kiosk is stopping"));
        throw;
    } catch (const TTerminalUnavailable& e) {
        WriteLog(QStringLiteral("Card payment %1: %2").arg(attempt_.reference, e.what()), 0);
        transactionOpen_ = false;
        journal_.close(attempt_, attempt::Aborted);  // the request never left
        const TPaymentResult result{Outcome::Unavailable, {}, TerminalUnavailableMessage};
        view_->showResult(kResultMs, result);
        return result;
    } catch (const std::exception& e) {
        return inDoubt(e);
    }
}

TPaymentResult TCardPayment::transact() {
    handTillInformation();
    transactionOpen_ = true;
    const bool started = hook_->StartTransaction(*till_);
    step(TPaymentStep::RequestSent);
    if (!started)
        return refuse(attempt::Declined, QStringLiteral("Could not connect to pay terminal"));
    const int enquiry = hook_->CardEnquiry(0, int(attempt_.amount), 1);
    if (enquiry != 0 && enquiry != 2)
        return refuse(attempt::Declined, QStringLiteral("Invalid Card Detected"));
    if (hook_->AuthoriseTransaction(0, *info_) != 0)
        return refuse(attempt::Declined, QStringLiteral("Card Not Authorised"));
    switch (info_->ResponseCode()) {
        case 1:
            return accept();
        case 2:
            return refuse(attempt::Declined, QStringLiteral("Card Declined"));
        case 3:
            return refuse(attempt::Aborted, QStringLiteral("Transaction Cancelled"));
        case 4:
            return refuse(attempt::Declined, QStringLiteral("Card is Invalid"));
        default:
            return refuse(attempt::Declined, QStringLiteral("Unknwon Card Issue"));
    }
}

void TCardPayment::handTillInformation() {
    fb::Query q(conx_);
    const TSiteDetails setup = LoadSiteDetails(q);
    till_->setMerchantName(setup.name);
    till_->setAddress1(setup.address2);
    till_->setAddress2(setup.address3);
    till_->setAddress3(setup.address4);
    till_->setPhoneNumber(setup.phone);
}

// The customer has been charged: the sale counts as paid whatever scheme the terminal named.
TPaymentResult TCardPayment::accept() {
    journal_.mark(attempt_.reference, attempt::Approved, info_->PoiTransactionId());
    attempt_.state = attempt::Approved;
    step(TPaymentStep::AnswerRead);
    hook_->ConfirmTransaction(0, attempt_.reference, info_->AuthorisationCode(), *info_);
    RecordApproval(journal_, attempt_, attempt_.amount, *info_, info_->PoiTransactionId(),
                   dataFolder_);
    step(TPaymentStep::PaymentWritten);
    return finish(AfterRecording(journal_, salesId_, attempt_.amount));
}

TPaymentResult TCardPayment::refuse(const QString& state, const QString& message) {
    journal_.close(attempt_, state);
    hook_->AbortTransaction();
    return finish(Refused(message));
}

// A failure between the request and the recorded payment: whatever the terminal did stands in
// its own journal. Asked at once, it settles the attempt; otherwise the sale stays frozen and
// the kiosk goes on asking. The customer is never told that nothing was charged while a charge
// may have been made.
TPaymentResult TCardPayment::inDoubt(const std::exception& e) {
    WriteLog(QStringLiteral("Card payment %1 of sale %2 is in doubt: %3")
                 .arg(attempt_.reference)
                 .arg(salesId_)
                 .arg(QString::fromUtf8(e.what())),
             0);
    if (dynamic_cast<const TTerminalNoAnswer*>(&e))
        abortAtTerminal(QStringLiteral("its answer did not come"));
    TSettlement settlement;
    try {
        if (attempt_.state == attempt::Sent) journal_.mark(attempt_.reference, attempt::Unknown);
        attempt_.state = attempt::Unknown;
        settlement = SettlePayments(conx_, client_, dataFolder_, salesId_);
    } catch (const TPaymentInterrupted&) {
        throw;
    } catch (const std::exception& settleError) {
        settlement.unsettled = 1;
        settlement.problem = QString::fromUtf8(settleError.what());
    }
    // Unless it turned out paid, the destructor aborts and ends the terminal's transaction.
    view_->offerCancel({});
    if (settlement.unsettled > 0) {
        WriteLog(QStringLiteral("Card payment %1 stays in doubt: %2")
                     .arg(attempt_.reference, settlement.problem),
                 0);
        return {Outcome::InDoubt, CheckingPaymentHeading, CheckingPaymentMessage};
    }
    const TPaymentResult result = OutcomeOfSettledSale(conx_, salesId_);
    if (result.paid()) return finish(result);
    view_->showResult(kResultMs, result);
    return result;
}

// Best effort: the pad may still wait for the customer's card.
void TCardPayment::abortAtTerminal(const QString& why) {
    try {
        client_.Abort(attempt_.reference);
        WriteLog(QStringLiteral("Card payment %1 aborted at the terminal: %2")
                     .arg(attempt_.reference, why),
                 0);
    } catch (const std::exception& abortError) {
        WriteLog(QStringLiteral("Card payment %1 could not be aborted at the terminal (%2): %3")
                     .arg(attempt_.reference, why, abortError.what()),
                 0);
    }
}

// The terminal may have decided already; whatever it answers stands.
void TCardPayment::cancel() {
    WriteLog(QStringLiteral("Card payment %1 cancelled by the customer").arg(attempt_.reference),
             1);
    try {
        client_.Abort(attempt_.reference);
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("Card payment %1: %2").arg(attempt_.reference, e.what()), 0);
    }
}

TPaymentResult TCardPayment::finish(const TPaymentResult& result) {
    view_->offerCancel({});
    if (transactionOpen_) {
        transactionOpen_ = false;
        hook_->EndTransaction();
    }
    view_->showResult(kResultMs, result);
    return result;
}

}  // namespace

TPaymentResult OutcomeOfSettledSale(fb::Connection& conx, int salesId) {
    TPaymentJournal journal(conx);
    return journal.hasPayment(salesId) ? AfterRecording(journal, salesId, 0)
                                       : Refused(PaymentFailedMessage);
}

TPaymentResult RunCardPayment(fb::Connection& conx, int salesId, qint64 amount,
                              const TPaymentTerminal& terminal, TPaymentClient& client,
                              const QString& dataFolder) {
    TCardPayment payment(conx, salesId, terminal, client, dataFolder);
    return payment.run(amount);
}
