#include "payment/uCheckout.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <climits>
#include <cmath>
#include <stdexcept>

#include "app/uClock.h"
#include "app/uLog.h"
#include "app/uUtils.h"
#include "db/fbQuery.h"
#include "sale/uSiteDetails.h"

const QString ReceiptQuestion =
    QStringLiteral("Thank you for your purchase\r\n\r\n\r\nDo you wish to print a receipt?");

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

// GROSS - DISCOUNT of the sale, less what its payments have already taken: a sale brought
// back on screen after it was paid is not charged twice.
double AmountDue(fb::Query& q, int salesId) {
    q.close();
    q.setSQL(QStringLiteral("select * from TBL_SALES_HEADERS where SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.open();
    const double due = q.eof() ? 0.0 : q.field("GROSS").toDouble() - q.field("DISCOUNT").toDouble();
    q.close();
    q.setSQL(QStringLiteral("select sum(\"VALUE\") from TBL_SALES_PAYMENTS where SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.open();
    const double paid = q.field(0).toDouble();
    q.close();
    return due - paid;
}

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

// One card payment: the dialog, the client's three objects and the terminal's transaction.
class CardPayment {
public:
    CardPayment(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                const QString& dataFolder)
        : q_(conx), salesId_(salesId), terminal_(terminal), dataFolder_(dataFolder) {}
    ~CardPayment();
    CardPayment(const CardPayment&) = delete;
    CardPayment& operator=(const CardPayment&) = delete;

    bool run(int amount);

private:
    void handTillInformation();
    bool accept(int amount);
    void insertPayment(int mop, int amount, const QString& receiptPath);
    void ShowResult(int ms, const QString& message);
    void AbortAndShowResult(int ms, const QString& message);

    fb::Query q_;
    int salesId_;
    const TPaymentTerminal& terminal_;
    QString dataFolder_;
    std::unique_ptr<TPaymentView> view_;
    std::unique_ptr<TPaymentClient> client_;
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

bool CardPayment::run(int amount) {
    view_ = terminal_.openView();
    client_ = terminal_.openClient();
    till_ = client_->CreateTillInformation();
    info_ = client_->CreateTransactionInfo();
    hook_ = client_->CreateNonGuiTransactionHook();
    view_->showProgress(*hook_);
    handTillInformation();

    transactionOpen_ = true;
    if (!hook_->StartTransaction(*till_)) {
        AbortAndShowResult(kResultMs, QStringLiteral("Could not connect to pay terminal"));
        return false;
    }
    const int enquiry = hook_->CardEnquiry(0, amount, 1);
    if (enquiry != 0 && enquiry != 2) {
        AbortAndShowResult(kResultMs, QStringLiteral("Invalid Card Detected"));
        return false;
    }
    if (hook_->AuthoriseTransaction(0, *info_) != 0) {
        AbortAndShowResult(kResultMs, QStringLiteral("Card Not Authorised"));
        return false;
    }
    switch (info_->ResponseCode()) {
        case 1:
            return accept(amount);
        case 2:
            AbortAndShowResult(kResultMs, QStringLiteral("Card Declined"));
            break;
        case 3:
            AbortAndShowResult(kResultMs, QStringLiteral("Transaction Cancelled"));
            break;
        case 4:
            AbortAndShowResult(kResultMs, QStringLiteral("Card is Invalid"));
            break;
        default:
            AbortAndShowResult(kResultMs, QStringLiteral("Unknwon Card Issue"));
            break;
    }
    return false;
}

void CardPayment::handTillInformation() {
    const TSiteDetails setup = LoadSiteDetails(q_);
    till_->setMerchantName(setup.name);
    till_->setAddress1(setup.address2);
    till_->setAddress2(setup.address3);
    till_->setAddress3(setup.address4);
    till_->setPhoneNumber(setup.phone);
}

// The customer has been charged: the sale counts as paid whatever scheme the terminal named.
bool CardPayment::accept(int amount) {
    const QDateTime now = Clock::instance().now();
    const QString reference = PaymentReference(salesId_, now);
    hook_->ConfirmTransaction(0, reference, info_->AuthorisationCode(), *info_);
    const QString receiptPath = CardReceiptPath(dataFolder_, now, reference);
    WriteCardReceipt(receiptPath, info_->CustomerReceipt());
    const int mop = SchemeIndex(info_->SchemeName());
    try {
        insertPayment(mop, amount, receiptPath);
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("Card payment %1 of %2 minor units (authorisation %3) was accepted "
                                "but could not be recorded: %4")
                     .arg(reference)
                     .arg(amount)
                     .arg(info_->AuthorisationCode(), e.what()),
                 0);
        throw;
    }
    if (mop <= 0)
        WriteLog(
            QStringLiteral("Card payment %1 was accepted under the scheme \"%2\", which has no "
                           "method-of-payment code; recorded with MOP %3")
                .arg(reference, info_->SchemeName())
                .arg(mop),
            0);
    ShowResult(kResultMs, QStringLiteral("Payment Success") + QChar(0) +
                              QStringLiteral("Thank you for your purchase"));
    return true;
}

void CardPayment::insertPayment(int mop, int amount, const QString& receiptPath) {
    q_.close();
    q_.setSQL(QStringLiteral(
        "insert into TBL_SALES_PAYMENTS\r\n"
        "   (SALES_ID, MOP, \"VALUE\", AUTHCODE, MERCHANT_NO, PAN, SCHEME, TERMINAL_ID,\r\n"
        "    CUST_VERIFICATION, ENTRY_METHOD, CURRENCY, CC_RECEIPT) values \r\n"
        "  (:SID, :MOP, :VAL, :ACD, :MER, :PAN, :SCH, :TID, :VER, :EMT, :CUR, :RCT)"));
    q_.bind(QStringLiteral("SID"), salesId_);
    q_.bind(QStringLiteral("MOP"), mop);
    q_.bind(QStringLiteral("VAL"), amount / 100.0);
    q_.bind(QStringLiteral("ACD"), info_->AuthorisationCode());
    q_.bind(QStringLiteral("MER"), info_->MerchantNo());
    q_.bind(QStringLiteral("PAN"),
            info_->PanFirst6Digits() + QStringLiteral("******") + info_->PanLast4Digits());
    q_.bind(QStringLiteral("SCH"), info_->SchemeName());
    q_.bind(QStringLiteral("TID"), info_->TerminalId());
    q_.bind(QStringLiteral("VER"), info_->CustomerVerification());
    q_.bind(QStringLiteral("EMT"), info_->DataEntryMethod());
    q_.bind(QStringLiteral("CUR"), info_->DccCurrencyCode());
    q_.bind(QStringLiteral("RCT"), receiptPath);
    q_.execSQL();
    q_.close();
}

void CardPayment::ShowResult(int ms, const QString& message) {
    transactionOpen_ = false;
    hook_->EndTransaction();
    view_->showResult(ms, message);
}

void CardPayment::AbortAndShowResult(int ms, const QString& message) {
    hook_->AbortTransaction();
    ShowResult(ms, message);
}

void CloseSale(fb::Query& q, int salesId) {
    q.close();
    q.setSQL(QStringLiteral("update TBL_SALES_HEADERS set SALE_END = 'now' where SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.execSQL();
    q.close();
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

bool TakeCardPayment(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                     const QString& dataFolder) {
    fb::Query q(conx);
    const qint64 amount = AmountInMinorUnits(AmountDue(q, salesId));
    if (amount == 0) return true;  // nothing to charge: the sale is paid as it stands
    if (amount < 0 || amount > INT_MAX)
        throw std::runtime_error(
            QStringLiteral("The amount due of sale %1 (%2) cannot be paid by card.")
                .arg(salesId)
                .arg(MoneyText(amount / 100.0))
                .toStdString());
    CardPayment payment(conx, salesId, terminal, dataFolder);
    return payment.run(int(amount));
}

bool PayForSale(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                const QString& dataFolder) {
    fb::Query q(conx);
    CloseSale(q, salesId);
    if (LoadSiteDetails(q).debug > 32) return true;
    return TakeCardPayment(conx, salesId, terminal, dataFolder);
}

void CancelPayment(fb::Connection& conx, int salesId) {
    fb::Query q(conx);
    q.setSQL(QStringLiteral("delete from TBL_PROMO_HITS where SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.execSQL();
    q.close();
}
