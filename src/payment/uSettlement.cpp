#include "payment/uSettlement.h"

#include <QFileInfo>
#include <QSaveFile>

#include "app/uClock.h"
#include "app/uFiles.h"
#include "app/uLog.h"
#include "app/uText.h"
#include "payment/uCheckout.h"

namespace {

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

QString IdentityText(const TTerminalIdentity& identity) {
    return identity.isEmpty() ? QStringLiteral("an unnamed terminal")
                              : QStringLiteral("terminal %1 (journal %2)")
                                    .arg(identity.terminalId, identity.journalId);
}

TTerminalStatus AskTerminal(TPaymentClient& client, const TPaymentAttempt& attempt,
                            TSettleMode mode) {
    TTerminalStatus status = client.TransactionStatus(attempt.reference);
    if (status.state != TTerminalStatus::State::InProgress || mode != TSettleMode::AbortRunning)
        return status;
    // A customer of an earlier run may still stand at the pad: nobody pays that sale now.
    WriteLog(QStringLiteral("Card payment %1 of an earlier run still waits at the terminal: "
                            "aborted")
                 .arg(attempt.reference),
             0);
    client.Abort(attempt.reference);
    return client.TransactionStatus(attempt.reference);
}

// Settles one attempt by the terminal's answer; returns why it stays in doubt, empty when it
// is settled.
QString Settle(TPaymentJournal& journal, TPaymentClient& client, const TPaymentAttempt& attempt,
               const QString& dataFolder, TSettleMode mode, TSettlement& result) {
    using State = TTerminalStatus::State;
    const TTerminalStatus status = AskTerminal(client, attempt, mode);
    WriteLog(QStringLiteral("Card payment %1 of sale %2 (%3 minor units, %4): the terminal says %5")
                 .arg(attempt.reference)
                 .arg(attempt.salesId)
                 .arg(attempt.amount)
                 .arg(attempt.state, StateText(status.state)),
             0);
    switch (status.state) {
        case State::InProgress:
            return QStringLiteral("the payment is still in progress at the terminal");
        case State::NotFound:
            // Only the terminal and journal the request went to can say it never arrived.
            if (status.identity != attempt.terminal)
                return QStringLiteral("%1 does not know the payment, but its request went to %2")
                    .arg(IdentityText(status.identity), IdentityText(attempt.terminal));
            break;
        case State::Approved: {
            if (!status.info)
                throw TPaymentClientError(QStringLiteral("TransactionStatus"),
                                          QStringLiteral("an approval without its card details"));
            const qint64 charged = status.amount > 0 ? status.amount : attempt.amount;
            RecordApproval(journal, attempt, charged, *status.info, status.poiTransactionId,
                           dataFolder);
            (journal.amountDue(attempt.salesId) <= 0 ? result.paidSales : result.openedSales)
                << attempt.salesId;
            return {};
        }
        default:
            break;
    }
    journal.close(attempt, status.state == State::Declined ? attempt::Declined : attempt::Aborted);
    result.openedSales << attempt.salesId;
    return {};
}

}  // namespace

void RecordApproval(TPaymentJournal& journal, const TPaymentAttempt& attempt, qint64 charged,
                    const TransactionInfo& info, const QString& poiTransactionId,
                    const QString& dataFolder) {
    const QString receiptPath =
        CardReceiptPath(dataFolder, Clock::instance().now(), attempt.reference);
    WriteCardReceipt(receiptPath, info.CustomerReceipt());
    journal.record(attempt, charged, info, receiptPath,
                   poiTransactionId.isEmpty() ? info.PoiTransactionId() : poiTransactionId);
    if (SchemeIndex(info.SchemeName()) <= 0)
        WriteLog(
            QStringLiteral("Card payment %1 was accepted under the scheme \"%2\", which has no "
                           "method-of-payment code; recorded with MOP %3")
                .arg(attempt.reference, info.SchemeName())
                .arg(SchemeIndex(info.SchemeName())),
            0);
    if (charged != attempt.amount)
        WriteLog(QStringLiteral("Card payment %1 of sale %2 charged %3 of the %4 asked for")
                     .arg(attempt.reference)
                     .arg(attempt.salesId)
                     .arg(MoneyText(charged / 100.0), MoneyText(attempt.amount / 100.0)),
                 0);
}

TSettlement SettlePayments(fb::Connection& conx, TPaymentClient& client, const QString& dataFolder,
                           int salesId, TSettleMode mode) {
    TPaymentJournal journal(conx);
    TSettlement result;
    const QList<TPaymentAttempt> attempts = journal.unsettled(salesId);
    for (qsizetype i = 0; i < attempts.size(); ++i) {
        try {
            const QString doubt = Settle(journal, client, attempts[i], dataFolder, mode, result);
            if (doubt.isEmpty()) continue;
            ++result.unsettled;
            result.problem = doubt;
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

void DecidePaid(fb::Connection& conx, const TPaymentAttempt& attempt,
                const QString& authorisationCode, const QString& decidedBy) {
    TPaymentJournal(conx).decidePaid(attempt.reference, authorisationCode, decidedBy);
    WriteLog(QStringLiteral("Card payment %1 of sale %2 (%3) decided paid by %4, authorisation "
                            "code from the receipt")
                 .arg(attempt.reference)
                 .arg(attempt.salesId)
                 .arg(MoneyText(attempt.amount / 100.0), decidedBy),
             0);
}

void DecideNotPaid(fb::Connection& conx, const TPaymentAttempt& attempt, const QString& decidedBy) {
    TPaymentJournal(conx).decideNotPaid(attempt.reference, decidedBy);
    WriteLog(QStringLiteral("Card payment %1 of sale %2 (%3) decided not paid by %4")
                 .arg(attempt.reference)
                 .arg(attempt.salesId)
                 .arg(MoneyText(attempt.amount / 100.0), decidedBy),
             0);
}
