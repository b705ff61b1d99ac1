#include "app/uOperators.h"

#include <exception>

#include "app/uClock.h"
#include "app/uDbUtils.h"

namespace {

const QString kAllRights = QString(20, u'Y');

// The database compares texts with trailing spaces ignored; a staff code must match exactly,
// so rows found that way are checked once more here.
int LookupOperator(fb::Query& q, const QString& code, QString& access, QDate* dob = nullptr) {
    q.close();
    q.setSQL(QStringLiteral("select * from TBL_USERS where POS_PASS = :PAS"));
    q.bind(QStringLiteral("PAS"), code);
    q.open();
    while (!q.eof() && q.field("POS_PASS").toString() != code) q.next();
    int user = 0;
    if (!q.eof() && q.field("USER_ID").toInt() > 0) {
        user = q.field("USER_ID").toInt();
        access = q.field("ACCESS").toString();
        if (dob && !q.field("DOB").isNull()) *dob = q.field("DOB").toDate();
    }
    q.close();
    return user;
}

// BarcodeToUser with the operator's date of birth, when the row has one.
int FindOperator(fb::Query& q, const TEngineerCodes& codes, const QString& code, QString& access,
                 QDate* dob) {
    access.clear();
    if (code.isEmpty()) return 0;
    const int engineer = codes.match(code);
    if (engineer == -1) access = kAllRights;
    // A built-in code that a kiosk of its own codes refused is no staff code either.
    if (engineer != 0 || IsBuiltInEngineerCode(code)) return engineer;
    // A failed lookup only means the code is not a staff code.
    try {
        return LookupOperator(q, code, access, dob);
    } catch (const std::exception& error) {
        LogTurnedError(QStringLiteral("Staff code lookup"), error);
        access.clear();
        q.close();
        return 0;
    }
}

}  // namespace

int BarcodeToUser(fb::Query& q, const TEngineerCodes& codes, const QString& code, QString& access) {
    return FindOperator(q, codes, code, access, nullptr);
}

int BarcodeToUser(fb::Query& q, const QString& code, QString& access) {
    return BarcodeToUser(q, TEngineerCodes(), code, access);
}

int BarcodeToUser(fb::Query& q, const QString& code) {
    QString access;
    return BarcodeToUser(q, code, access);
}

TOperatorAuthority AgeAuthority(int user, const QString& access, const QDate& dob,
                                const QDate& today) {
    if (user == 0) return oaInvalid;
    if (user != -1 && access.mid(1, 1) != QLatin1String("Y")) return oaInsufficient;
    if (dob.isValid() && today.isValid() && dob.addYears(kMinimumStaffAge) > today)
        return oaUnderAge;
    return oaAuthorised;
}

TStaffAuthority CheckAgeAuthority(fb::Query& q, const TEngineerCodes& codes, const QString& code,
                                  QDate today) {
    if (!today.isValid()) today = Clock::instance().now().date();
    QString access;
    QDate dob;
    const int user = FindOperator(q, codes, code, access, &dob);
    return {AgeAuthority(user, access, dob, today), user};
}

TStaffAuthority CheckAgeAuthority(fb::Query& q, const QString& code, QDate today) {
    return CheckAgeAuthority(q, TEngineerCodes(), code, today);
}
