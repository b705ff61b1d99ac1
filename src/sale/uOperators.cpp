#include "sale/uOperators.h"

#include <exception>

#include "app/uDbUtils.h"

namespace {

const QString kAllRights = QString(20, u'Y');

// The database compares texts with trailing spaces ignored; a staff code must match exactly,
// so rows found that way are checked once more here.
int LookupOperator(fb::Query& q, const QString& code, QString& access) {
    q.close();
    q.setSQL(QStringLiteral("select * from TBL_USERS where POS_PASS = :PAS"));
    q.bind(QStringLiteral("PAS"), code);
    q.open();
    while (!q.eof() && q.field("POS_PASS").toString() != code) q.next();
    int user = 0;
    if (!q.eof() && q.field("USER_ID").toInt() > 0) {
        user = q.field("USER_ID").toInt();
        access = q.field("ACCESS").toString();
    }
    q.close();
    return user;
}

}  // namespace

int BarcodeToUser(fb::Query& q, const QString& code, QString& access) {
    access.clear();
    if (code.isEmpty()) return 0;
    if (code == QLatin1String(kEngineerCode)) {
        access = kAllRights;
        return -1;
    }
    if (code == QLatin1String(kEngineerSetupCode)) return -2;
    // A failed lookup only means the code is not a staff code.
    try {
        return LookupOperator(q, code, access);
    } catch (const std::exception& error) {
        LogTurnedError(QStringLiteral("Staff code lookup"), error);
        access.clear();
        q.close();
        return 0;
    }
}

int BarcodeToUser(fb::Query& q, const QString& code) {
    QString access;
    return BarcodeToUser(q, code, access);
}

TOperatorAuthority AgeAuthority(int user, const QString& access) {
    if (user == 0) return oaInvalid;
    if (user == -1 || access.mid(1, 1) == QLatin1String("Y")) return oaAuthorised;
    return oaInsufficient;
}

TOperatorAuthority CheckAgeAuthority(fb::Query& q, const QString& code) {
    QString access;
    const int user = BarcodeToUser(q, code, access);
    return AgeAuthority(user, access);
}
