#include "payment/uTestMode.h"

#include "app/dm_main.h"
#include "app/uLog.h"
#include "app/uSiteDetails.h"
#include "app/uTX32Reg.h"
#include "db/fbQuery.h"

bool IsTestMode(int debug) {
    return debug > TestModeAbove;
}

int StoredDebugLevel(fb::Connection& conx) {
    fb::Query q(conx);
    return LoadSiteDetails(q).debug;
}

bool StartsTestMode(int storedLevel, int newLevel) {
    return IsTestMode(newLevel) && !IsTestMode(storedLevel);
}

void KeepTestModeReturnLevel(int storedLevel) {
    TTX32Reg().WriteInteger(RunTimeSettingsSection, TestModeReturnLevelName, storedLevel);
}

void LogTestModeStarted(int storedLevel, int newLevel, const QString& setBy) {
    WriteLog(QStringLiteral("Test mode set by %1: debug level %2 (was %3); every sale is given "
                            "away as a test sale until the next day end")
                 .arg(setBy)
                 .arg(newLevel)
                 .arg(storedLevel),
             0);
}

namespace {

// The level kept at the start of test mode; 0 when none was kept, it is itself test mode, or
// the store cannot be read (the day end must end test mode whatever became of the store).
int TestModeReturnLevel() {
    try {
        const int level =
            TTX32Reg().ReadInteger(RunTimeSettingsSection, TestModeReturnLevelName, 0);
        return IsTestMode(level) ? 0 : level;
    } catch (const std::exception& error) {
        WriteLog(QStringLiteral("Reading the level to return to after test mode: %1")
                     .arg(QString::fromUtf8(error.what())),
                 0);
        return 0;
    }
}

}  // namespace

bool EndTestModeAtDayEnd(fb::Connection& conx) {
    const int level = StoredDebugLevel(conx);
    if (!IsTestMode(level)) return false;
    const int back = TestModeReturnLevel();
    fb::Query q(conx);
    q.setSQL(QStringLiteral("update TBL_SETUP set DEBUG = :DB"));
    q.bind(QStringLiteral("DB"), back);
    q.execSQL();
    WriteLog(QStringLiteral("Test mode ended at the day end: debug level %1 again (was %2)")
                 .arg(back)
                 .arg(level),
             0);
    return true;
}

bool PaidInTestMode(fb::Connection& conx, int salesId) {
    fb::Query q(conx);
    if (!IsTestMode(LoadSiteDetails(q).debug)) return false;
    q.setSQL(QStringLiteral(
        "select GROSS - coalesce(DISCOUNT, 0) from TBL_SALES_HEADERS where SALES_ID = :SID"));
    q.bind(QStringLiteral("SID"), salesId);
    q.open();
    const double due = q.eof() ? 0.0 : q.field(0).toDouble();
    q.close();
    WriteLog(
        QStringLiteral("Test mode: sale %1 closed as paid with no payment taken, amount due %2")
            .arg(salesId)
            .arg(due, 0, 'f', 2),
        0);
    return true;
}
