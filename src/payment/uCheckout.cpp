#include "payment/uCheckout.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <climits>
#include <cmath>
#include <stdexcept>

#include "app/uClock.h"
#include "app/uFiles.h"
#include "app/uLog.h"
#include "app/uSiteDetails.h"
#include "app/uText.h"
#include "db/fbQuery.h"
#include "payment/uPaymentJournal.h"
#include "payment/uTestMode.h"

const QString ReceiptQuestion =
    QStringLiteral("Thank you for your purchase\r\n\r\n\r\nDo you wish to print a receipt?");

const QString PaymentFailedMessage =
    QStringLiteral("Sorry, we could not complete your payment. Please ask a member of staff.");
const QString TerminalUnavailableMessage = QStringLiteral("Payment terminal unavailable");
const QString CardPaymentsUnavailableMessage = QStringLiteral("Card payments unavailable");

const QStringList cardSchemeNames = {
    QStringLiteral("Unknown"),
    QStringLiteral("Cash"),
    QStringLiteral("Cheque"),
    QStringLiteral("Laser"),
    QStringLiteral("Visa"),
    QStringLiteral("MasterCard"),
    QStringLiteral("Amex"),
    QStringLiteral("Diners"),
    QStringLiteral("OilCoCardName"),
    QStringLiteral("DCI"),
    QStringLiteral("Morgan"),
    QStringLiteral("Maestro"),
    QStringLiteral("VisaDebit"),
    QStringLiteral("Debit Mastercard"),
    QStringLiteral("Electron"),
    QStringLiteral("JCB"),
    QStringLiteral("Solo"),
    QStringLiteral("UK Maestro"),
    QStringLiteral("18"),
    QStringLiteral("Credit Card"),
    QStringLiteral("Chip Card"),
    QStringLiteral("21"),
};

namespace {

constexpr int kResultMs = 3000;

// The client's receipt text, its own line breaks making the lines, each ended by CR LF. A file
// that cannot be written is logged: the payment it belongs to is recorded all the same.
void WriteCardReceipt(const QString& path, const QString& text) {
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    if (!lines.isEmpty() && !lines.endsWith(u'\n')) lines += u'\n';
    lines.replace(QLatin1String("\n"), QLatin1String("\r\n"));

    IncludeSlash(QFileInfo(path).path(), true);
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(lines.toUtf8()) >= 0 && file.commit()) return;
    WriteLog(QStringLiteral("The card receipt %1 could not be written: %2")
                 .arg(path, file.errorString()),
             0);
}

// An approved payment: its receipt file, then its payment row with the attempt recorded.
void RecordApproval(TPaymentJournal& journal, const TPaymentAttempt& attempt, qint64 charged,
                    const TransactionInfo& info, const QString& poiTransactionId,
                    const QString& dataFolder) {
    const QString receiptPath =
        CardReceiptPath(dataFolder, Clock::instance().now(), attempt.reference);
    WriteCardReceipt(receiptPath, info.CustomerReceipt());
    journal.record(attempt, charged, info, receiptPath, poiTransactionId);
    if (SchemeIndex(info.SchemeName()) <= 0)
        WriteLog(
            QStringLiteral("Card payment %1 was accepted under the scheme \"%2\", which has no "
                           "method-of-payment code; recorded with MOP %3")
                .arg(attempt.reference, info.SchemeName())
                .arg(SchemeIndex(info.SchemeName())),
            0);
}

QString StateText(TTerminalStatus::State state) {
    using State = TTerminalStatus::State;
    switch (state) {
        case State::Approved:
            return QStringLiteral("approved");
        case State::Declined:
            return QStringLiteral("declined");
        case State::Aborted:
            return QStringLiteral("aborted");
        case State::Reversed:
            return QStringLiteral("reversed");
        case State::InProgress:
            return QStringLiteral("in progress");
        case State::NotFound:
            return QStringLiteral("unknown to the terminal");
    }
    return {};
}

// Settles one attempt by the terminal's answer; true when it is settled.
bool Settle(TPaymentJournal& journal, TPaymentClient& client, const TPaymentAttempt& attempt,
            const QString& dataFolder, TSettlement& result) {
    using State = TTerminalStatus::State;
    const TTerminalStatus status = client.TransactionStatus(attempt.reference);
    WriteLog(QStringLiteral("Card payment %1 of sale %2 (%3 minor units, %4): the terminal says %5")
                 .arg(attempt.reference)
                 .arg(attempt.salesId)
                 .arg(attempt.amount)
                 .arg(attempt.state, StateText(status.state)),
             0);
    if (status.state == State::InProgress) return false;
    if (status.state == State::Approved) {
        if (!status.info)
            throw TPaymentClientError(QStringLiteral("TransactionStatus"),
                                      QStringLiteral("an approval without its card details"));
        const qint64 charged = status.amount > 0 ? status.amount : attempt.amount;
        RecordApproval(journal, attempt, charged, *status.info, status.poiTransactionId,
                       dataFolder);
        result.paidSales << attempt.salesId;
        return true;
    }
    journal.close(attempt, status.state == State::Declined ? attempt::Declined : attempt::Aborted);
    result.openedSales << attempt.salesId;
    return true;
}

// One card payment: the journal's attempt, the dialog, the client's three objects and the
// terminal's transaction.
class CardPayment {
public:
    CardPayment(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                TPaymentClient& client, const QString& dataFolder)
        : conx_(conx),
          journal_(conx),
          salesId_(salesId),
          terminal_(terminal),
          client_(client),
          dataFolder_(dataFolder) {}
    ~CardPayment();
    CardPayment(const CardPayment&) = delete;
    CardPayment& operator=(const CardPayment&) = delete;

    bool run(qint64 amount);

private:
    void step(TPaymentStep s) const {
        if (terminal_.onStep) terminal_.onStep(s, attempt_.reference);
    }
    bool transact();
    void handTillInformation();
    bool accept();
    bool refuse(const QString& state, const QString& message);
    bool inDoubt(const std::exception& e);
    void cancel();
    void ShowResult(int ms, const QString& message);
    void AbortAndShowResult(int ms, const QString& message);

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
CardPayment::~CardPayment() {
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

bool CardPayment::run(qint64 amount) {
    attempt_ = journal_.begin(salesId_, amount, Clock::instance().now());
    step(TPaymentStep::AttemptCommitted);
    view_ = terminal_.openView();
    till_ = client_.CreateTillInformation();
    info_ = client_.CreateTransactionInfo();
    hook_ = client_.CreateNonGuiTransactionHook();
    hook_->PrepareTransaction(attempt_.reference, int(amount));
    view_->offerCancel([this] { cancel(); });
    view_->showProgress(*hook_);
    try {
        return transact();
    } catch (const TPaymentInterrupted&) {
        throw;  // the attempt stays as it is, for the next start to settle
    } catch (const TTerminalUnavailable& e) {
        WriteLog(QStringLiteral("Card payment %1: %2").arg(attempt_.reference, e.what()), 0);
        transactionOpen_ = false;
        journal_.close(attempt_, attempt::Aborted);  // the request never left
        view_->showResult(kResultMs, TerminalUnavailableMessage);
        return false;
    } catch (const std::exception& e) {
        return inDoubt(e);
    }
}

bool CardPayment::transact() {
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

void CardPayment::handTillInformation() {
    fb::Query q(conx_);
    const TSiteDetails setup = LoadSiteDetails(q);
    till_->setMerchantName(setup.name);
    till_->setAddress1(setup.address2);
    till_->setAddress2(setup.address3);
    till_->setAddress3(setup.address4);
    till_->setPhoneNumber(setup.phone);
}

// The customer has been charged: the sale counts as paid whatever scheme the terminal named.
bool CardPayment::accept() {
    journal_.mark(attempt_.reference, attempt::Approved);
    attempt_.state = attempt::Approved;
    step(TPaymentStep::AnswerRead);
    hook_->ConfirmTransaction(0, attempt_.reference, info_->AuthorisationCode(), *info_);
    RecordApproval(journal_, attempt_, attempt_.amount, *info_, {}, dataFolder_);
    step(TPaymentStep::PaymentWritten);
    ShowResult(kResultMs, QStringLiteral("Payment Success") + QChar(0) +
                              QStringLiteral("Thank you for your purchase"));
    return true;
}

bool CardPayment::refuse(const QString& state, const QString& message) {
    journal_.close(attempt_, state);
    AbortAndShowResult(kResultMs, message);
    return false;
}

// A failure between the request and the recorded payment: whatever the terminal did stands in
// its own journal. Asked at once, it settles the attempt; otherwise settlement comes later.
bool CardPayment::inDoubt(const std::exception& e) {
    WriteLog(QStringLiteral("Card payment %1 of sale %2 failed: %3")
                 .arg(attempt_.reference)
                 .arg(salesId_)
                 .arg(QString::fromUtf8(e.what())),
             0);
    if (dynamic_cast<const TTerminalNoAnswer*>(&e)) {
        try {
            client_.Abort(attempt_.reference);  // the pad may still wait for the customer
        } catch (const std::exception& abortError) {
            WriteLog(
                QStringLiteral("Card payment %1: %2").arg(attempt_.reference, abortError.what()),
                0);
        }
    }
    TSettlement settlement;
    try {
        if (attempt_.state == attempt::Sent) journal_.mark(attempt_.reference, attempt::Unknown);
        attempt_.state = attempt::Unknown;
        settlement = SettlePayments(conx_, client_, dataFolder_, salesId_);
    } catch (const std::exception& settleError) {
        settlement.problem = QString::fromUtf8(settleError.what());
    }
    if (!settlement.problem.isEmpty())
        WriteLog(QStringLiteral("Card payment %1 stays unsettled: %2")
                     .arg(attempt_.reference, settlement.problem),
                 0);
    if (settlement.paidSales.contains(salesId_)) {
        ShowResult(kResultMs, QStringLiteral("Payment Success") + QChar(0) +
                                  QStringLiteral("Thank you for your purchase"));
        return true;
    }
    // The terminal's transaction is still aborted and ended, by the destructor.
    view_->showResult(kResultMs,
                      settlement.unreachable ? TerminalUnavailableMessage : PaymentFailedMessage);
    return false;
}

// The terminal may have decided already; whatever it answers stands.
void CardPayment::cancel() {
    WriteLog(QStringLiteral("Card payment %1 cancelled by the customer").arg(attempt_.reference),
             1);
    try {
        client_.Abort(attempt_.reference);
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("Card payment %1: %2").arg(attempt_.reference, e.what()), 0);
    }
}

void CardPayment::ShowResult(int ms, const QString& message) {
    view_->offerCancel({});
    transactionOpen_ = false;
    hook_->EndTransaction();
    view_->showResult(ms, message);
}

void CardPayment::AbortAndShowResult(int ms, const QString& message) {
    hook_->AbortTransaction();
    ShowResult(ms, message);
}

// A sale finished without a card payment.
void CloseSale(fb::Connection& conx, int salesId) {
    fb::Query q(conx);
    q.setSQL(
        QStringLiteral("update TBL_SALES_HEADERS set SALE_END = 'now'\r\n"
                       " where SALES_ID = :SID and SALE_END is null"));
    q.bind(QStringLiteral("SID"), salesId);
    q.execSQL();
}

// A view for messages shown without a payment running.
void ShowMessage(const TPaymentTerminal& terminal, const QString& message) {
    if (terminal.openView) terminal.openView()->showResult(kResultMs, message);
}

}  // namespace

int SchemeIndex(const QString& schemeName) {
    for (int i = 0; i < cardSchemeNames.size(); ++i)
        if (cardSchemeNames.at(i).compare(schemeName, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

qint64 AmountInMinorUnits(double amount) {
    const double minor = std::round(amount * 100 * 1e6) / 1e6;
    return qint64(std::nearbyint(minor));  // the default rounding mode sends halves to even
}

QString PaymentReference(int salesId, const QDateTime& at) {
    return QString::number(salesId) + u'-' + at.toString(QStringLiteral("yyyyMMddhhmmss"));
}

QString CardReceiptPath(const QString& dataFolder, const QDateTime& at, const QString& reference) {
    const QString month = at.toString(QStringLiteral("MM")) + u'-' +
                          QLocale().monthName(at.date().month(), QLocale::ShortFormat);
    return IncludeSlash(dataFolder) + QStringLiteral("Receipts/") +
           at.toString(QStringLiteral("yyyy")) + u'/' + month + u'/' + reference +
           QStringLiteral(".rcp");
}

TSettlement SettlePayments(fb::Connection& conx, TPaymentClient& client, const QString& dataFolder,
                           int salesId) {
    TPaymentJournal journal(conx);
    TSettlement result;
    const QList<TPaymentAttempt> attempts = journal.unsettled(salesId);
    for (qsizetype i = 0; i < attempts.size(); ++i) {
        try {
            if (!Settle(journal, client, attempts[i], dataFolder, result)) ++result.unsettled;
        } catch (const TTerminalUnavailable& e) {
            result.unsettled += int(attempts.size() - i);  // none of the rest can be asked
            result.unreachable = true;
            result.problem = QString::fromUtf8(e.what());
            break;
        } catch (const TPaymentInterrupted&) {
            throw;
        } catch (const std::exception& e) {
            ++result.unsettled;
            result.problem = QString::fromUtf8(e.what());
        }
    }
    return result;
}

qint64 AmountDueInMinorUnits(fb::Connection& conx, int salesId) {
    fb::Query q(conx);
    q.setSQL(
        QStringLiteral("select h.GROSS - h.DISCOUNT - coalesce((select sum(p.\"VALUE\") from "
                       "TBL_SALES_PAYMENTS p\r\n"
                       "  where p.SALES_ID = h.SALES_ID), 0)\r\n"
                       " from TBL_SALES_HEADERS h where h.SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.open();
    return q.eof() ? 0 : AmountInMinorUnits(q.field(0).toDouble());
}

bool TakeCardPayment(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                     const QString& dataFolder) {
    std::unique_ptr<TPaymentClient> client;
    const auto unavailable = [&] {
        WriteLog(QStringLiteral("Card payment of sale %1: no payment terminal is configured "
                                "(Terminal in PinPad.ini)")
                     .arg(salesId),
                 0);
        ShowMessage(terminal, CardPaymentsUnavailableMessage);
        return false;
    };
    // Never a second charge: what earlier attempts of the sale did is known first.
    if (!TPaymentJournal(conx).unsettled(salesId).isEmpty()) {
        if (!terminal.openClient) return unavailable();
        client = terminal.openClient();
        const TSettlement settled = SettlePayments(conx, *client, dataFolder, salesId);
        if (settled.unsettled > 0) {
            WriteLog(QStringLiteral("Card payment of sale %1 waits for an earlier attempt: %2")
                         .arg(salesId)
                         .arg(settled.problem),
                     0);
            ShowMessage(terminal,
                        settled.unreachable ? TerminalUnavailableMessage : PaymentFailedMessage);
            return false;
        }
    }
    const qint64 amount = AmountDueInMinorUnits(conx, salesId);
    if (amount <= 0) {
        if (amount < 0)
            WriteLog(QStringLiteral("Sale %1 was paid %2 more than it now comes to; it is "
                                    "finished without the terminal")
                         .arg(salesId)
                         .arg(MoneyText(-amount / 100.0)),
                     0);
        CloseSale(conx, salesId);
        return true;
    }
    if (!terminal.openClient) return unavailable();
    if (!client) client = terminal.openClient();
    if (amount > INT_MAX)
        throw std::runtime_error(
            QStringLiteral("The amount due of sale %1 (%2) is beyond what a card can pay.")
                .arg(salesId)
                .arg(MoneyText(amount / 100.0))
                .toStdString());
    CardPayment payment(conx, salesId, terminal, *client, dataFolder);
    return payment.run(amount);
}

bool PayForSale(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                const QString& dataFolder) {
    if (PaidInTestMode(conx, salesId)) {
        CloseSale(conx, salesId);
        return true;
    }
    return TakeCardPayment(conx, salesId, terminal, dataFolder);
}

void CancelPayment(fb::Connection& conx, int salesId) {
    if (!TPaymentJournal(conx).unsettled(salesId).isEmpty()) return;
    fb::Query q(conx);
    q.setSQL(QStringLiteral("delete from TBL_PROMO_HITS where SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.execSQL();
    q.close();
}

QString VoidRefusal(fb::Connection& conx, int salesId) {
    if (salesId <= 0) return {};
    TPaymentJournal journal(conx);
    if (!journal.unsettled(salesId).isEmpty())
        return QStringLiteral(
            "The card payment of this sale is still being checked with the "
            "terminal. It cannot be voided now.");
    if (journal.hasPayment(salesId))
        return QStringLiteral("This sale has been paid by card and cannot be voided.");
    return {};
}
