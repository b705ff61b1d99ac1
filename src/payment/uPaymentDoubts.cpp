#include "payment/uPaymentDoubts.h"

#include "app/uOperators.h"
#include "app/uText.h"

namespace {

constexpr int kManagerRight = 2;

QString HowLong(qint64 seconds) {
    if (seconds < 60 * 60) return QStringLiteral("%1 min").arg(std::max<qint64>(seconds / 60, 0));
    if (seconds < 48 * 60 * 60) return QStringLiteral("%1 h").arg(seconds / 3600);
    return QStringLiteral("%1 days").arg(seconds / 86400);
}

QString UserName(fb::Query& q, int user) {
    q.setSQL(QStringLiteral("select LOGIN_NAME from TBL_USERS where USER_ID = :UID"));
    q.bind(QStringLiteral("UID"), user);
    q.open();
    const QString name = q.eof() ? QString() : q.field(0).toString().trimmed();
    q.close();
    return QStringLiteral("%1 (user %2)")
        .arg(name.isEmpty() ? QStringLiteral("staff") : name)
        .arg(user);
}

}  // namespace

TDoubtDecider DoubtDeciderOfCode(fb::Query& q, const QString& code) {
    QString access;
    const int user = BarcodeToUser(q, code, access);
    if (user == 0) return {false, {}, QStringLiteral("Invalid Operator")};
    const bool allowed = access.size() > kManagerRight && access.at(kManagerRight) == u'Y';
    if (!allowed) return {false, {}, QStringLiteral("Insufficient Operator Access")};
    return {true, user < 0 ? QStringLiteral("engineer code") : UserName(q, user), {}};
}

QString DoubtRowText(const TPaymentAttempt& attempt, const QDateTime& now) {
    const QString terminal =
        attempt.terminal.terminalId.isEmpty() ? QStringLiteral("?") : attempt.terminal.terminalId;
    return QStringLiteral("Sale %1   %2   %3   terminal %4   for %5")
        .arg(attempt.salesId)
        .arg(MoneyText(attempt.amount / 100.0),
             attempt.created.toString(QStringLiteral("dd/MM hh:mm")), terminal,
             HowLong(attempt.created.secsTo(now)));
}

QList<TPaymentAttempt> LongDoubts(const QList<TPaymentAttempt>& unsettled, const QDateTime& now) {
    QList<TPaymentAttempt> old;
    for (const TPaymentAttempt& attempt : unsettled)
        if (attempt.created.secsTo(now) > kLongDoubtSeconds) old << attempt;
    return old;
}

QString LongDoubtNotice(const QList<TPaymentAttempt>& unsettled, const QDateTime& now) {
    const QList<TPaymentAttempt> old = LongDoubts(unsettled, now);
    if (old.isEmpty()) return {};
    return QStringLiteral(
               "%1 card payment(s) have been in doubt for more than a day (the oldest: "
               "sale %2, %3, since %4). A manager must decide them: Payments in Doubt "
               "on the manager page.")
        .arg(old.size())
        .arg(old.first().salesId)
        .arg(MoneyText(old.first().amount / 100.0),
             old.first().created.toString(QStringLiteral("dd/MM/yyyy hh:mm")));
}
