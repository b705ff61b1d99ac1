#include "payment/uCheckout.h"

#include <QLocale>
#include <climits>
#include <cmath>
#include <stdexcept>

#include "app/uFiles.h"
#include "app/uLog.h"
#include "app/uText.h"
#include "db/fbQuery.h"
#include "payment/uPaymentJournal.h"
#include "payment/uSettlement.h"
#include "payment/uTestMode.h"

const QString ReceiptQuestion =
    QStringLiteral("Thank you for your purchase\r\n\r\n\r\nDo you wish to print a receipt?");

const QString PaymentFailedMessage =
    QStringLiteral("Sorry, we could not complete your payment. Please ask a member of staff.");
const QString TerminalUnavailableMessage = QStringLiteral("Payment terminal unavailable");
const QString CardPaymentsUnavailableMessage = QStringLiteral("Card payments unavailable");
const QString FrozenSaleMessage = QStringLiteral(
    "The card payment of this sale is still being checked with the terminal. It cannot be "
    "changed now.");

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

// A view for messages shown without a payment running.
TPaymentResult ShowMessage(const TPaymentTerminal& terminal, const TPaymentResult& result) {
    if (terminal.openView) terminal.openView()->showResult(kResultMs, result);
    return result;
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

TPaymentResult TakeCardPayment(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                               const QString& dataFolder) {
    using Outcome = TPaymentResult::Outcome;
    TPaymentJournal journal(conx);
    std::unique_ptr<TPaymentClient> client;
    const auto unavailable = [&] {
        WriteLog(QStringLiteral("Card payment of sale %1: no payment terminal is configured "
                                "(Terminal in PinPad.ini)")
                     .arg(salesId),
                 0);
        return ShowMessage(terminal, {Outcome::Unavailable, {}, CardPaymentsUnavailableMessage});
    };
    // Never a second charge: what earlier attempts of the sale did is known first.
    if (journal.frozen(salesId)) {
        if (!terminal.openClient)
            return {Outcome::InDoubt, CheckingPaymentHeading, CheckingPaymentMessage};
        client = terminal.openClient();
        const TSettlement settled = SettlePayments(conx, *client, dataFolder, salesId);
        if (settled.unsettled > 0) {
            WriteLog(QStringLiteral("Card payment of sale %1 waits for an earlier attempt: %2")
                         .arg(salesId)
                         .arg(settled.problem),
                     0);
            return {Outcome::InDoubt, CheckingPaymentHeading, CheckingPaymentMessage};
        }
    }
    const qint64 amount = journal.amountDue(salesId);
    if (amount <= 0) {
        if (amount < 0)
            WriteLog(QStringLiteral("Sale %1 was paid %2 more than it now comes to; it is "
                                    "finished without the terminal")
                         .arg(salesId)
                         .arg(MoneyText(-amount / 100.0)),
                     0);
        journal.finishWithoutPayment(salesId);
        return {Outcome::Paid, {}, {}};
    }
    if (!terminal.openClient) return unavailable();
    if (!client) client = terminal.openClient();
    if (amount > INT_MAX)
        throw std::runtime_error(
            QStringLiteral("The amount due of sale %1 (%2) is beyond what a card can pay.")
                .arg(salesId)
                .arg(MoneyText(amount / 100.0))
                .toStdString());
    return RunCardPayment(conx, salesId, amount, terminal, *client, dataFolder);
}

TPaymentResult PayForSale(fb::Connection& conx, int salesId, const TPaymentTerminal& terminal,
                          const QString& dataFolder) {
    if (PaidInTestMode(conx, salesId)) {
        TPaymentJournal(conx).finishWithoutPayment(salesId);
        return {TPaymentResult::Outcome::Paid, {}, {}};
    }
    return TakeCardPayment(conx, salesId, terminal, dataFolder);
}

void CancelPayment(fb::Connection& conx, int salesId) {
    if (TPaymentJournal(conx).frozen(salesId)) return;
    fb::Query q(conx);
    q.setSQL(QStringLiteral("delete from TBL_PROMO_HITS where SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.execSQL();
    q.close();
}

QString VoidRefusal(fb::Connection& conx, int salesId) {
    if (salesId <= 0) return {};
    TPaymentJournal journal(conx);
    if (journal.frozen(salesId))
        return QStringLiteral(
            "The card payment of this sale is still being checked with the "
            "terminal. It cannot be voided now.");
    if (journal.hasPayment(salesId))
        return QStringLiteral("This sale has been paid by card and cannot be voided.");
    return {};
}
