#include "app/uSQLUpdates.h"

#include "app/uFiles.h"
#include "app/uLog.h"
#include "app/uProgramFolder.h"
#include "app/uText.h"

namespace {

const QString kImmediate = QStringLiteral("{{immediate}}");

// Trims white space and control characters, as the scripts' statements are trimmed.
QString trimStatement(const QString& s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] <= u' ') ++begin;
    while (end > begin && s[end - 1] <= u' ') --end;
    return s.mid(begin, end - begin);
}

void runStatement(fb::Connection& conx, fb::Query& q1, const TScriptStatement& statement) {
    q1.close();
    q1.setSQL(trimStatement(statement.text));
    if (q1.sql().toUpper().startsWith(QStringLiteral("SELECT")))
        q1.open();
    else
        q1.execSQL();
    if (statement.immediate) {
        conx.commit();
        conx.startTransaction();
    }
    q1.close();
}

void runScript(fb::Connection& conx, fb::Query& q1, const QString& script) {
    conx.startTransaction();
    for (const TScriptStatement& statement : SplitUpdateScript(script)) {
        WriteLog(QStringLiteral("sql update: ") + statement.text +
                     (statement.immediate ? kImmediate : QString()),
                 1);
        runStatement(conx, q1, statement);
    }
}

}  // namespace

QList<TScriptStatement> SplitUpdateScript(const QString& script) {
    QList<TScriptStatement> statements;
    const ScopedSeparator separator(QStringLiteral("^"));
    const int count = TokenCount(script);
    for (int i = 0; i < count; ++i) {
        TScriptStatement s{trimStatement(GetToken(i, script)), false};
        if (s.text.isEmpty()) continue;
        if (s.text.contains(kImmediate)) {
            s.immediate = true;
            s.text.chop(kImmediate.size());
        }
        statements << s;
    }
    return statements;
}

QString UpdateEndText(int lastVersion) {
    return lastVersion != 0 ? QStringLiteral("Updated to version #%1").arg(lastVersion)
                            : QStringLiteral("No updates processed");
}

int RunSQLUpdates(fb::Connection& conx, fb::Query& q1, fb::Connection& conxA, fb::Query& qA,
                  int currentVersion, int updateCount, const TSQLUpdatesView& view) {
    int last = currentVersion;
    try {
        conx.commit();
        conxA.connect();
        qA.close();
        qA.setSQL(
            QStringLiteral("select * from TBL_SQLUPDATES where DB_VERSION > :CVER and PRIORITY >= "
                           "0 order by DB_VERSION"));
        qA.bind(QStringLiteral("CVER"), currentVersion);
        qA.open();
        int n = 0;
        for (; !qA.eof(); qA.next()) {
            ++n;
            if (view.setProgress) view.setProgress(updateCount > 0 ? n * 100 / updateCount : 100);
            const int version = qA.field(QStringLiteral("DB_VERSION")).toInt();
            if (view.setStatus) view.setStatus(QStringLiteral("Processing #%1").arg(version));
            runScript(conx, q1, qA.field(QStringLiteral("SQL_MEMO")).toString());
            if (version > 0) {
                q1.setSQL(
                    QStringLiteral("update TBL_SETUP set DB_VERSION = :DBVER where SETUP_ID = 1"));
                q1.bind(QStringLiteral("DBVER"), version);
                q1.execSQL();
                last = version;
            }
            conx.commit();
            if (view.setStatus) view.setStatus(QStringLiteral("Processing #%1").arg(version));
        }
        qA.close();
        if (view.setStatus) view.setStatus(UpdateEndText(last));
        return last;
    } catch (const std::exception& e) {
        if (view.setStatus) view.setStatus(UpdateEndText(last));
        WriteLog(QStringLiteral("Error during DB update: ") + QString::fromUtf8(e.what()), 0);
        WriteLog(q1.sql(), 0);
        try {
            conx.rollback();
        } catch (const std::exception& rollbackError) {
            WriteLog(QStringLiteral("Rollback failed: ") + QString::fromUtf8(rollbackError.what()),
                     0);
        }
        throw;
    }
}

bool KioskDatabaseInUse(fb::Connection& conx) {
    conx.disconnect();
    bool inUse = true;
    try {
        inUse = IsFileInUse(DatabaseLocalPath(conx.database()));
    } catch (...) {
        inUse = true;
    }
    try {
        conx.connect();
    } catch (const std::exception&) {
        // While another process holds the file the box explains why; otherwise the error stands.
        if (!inUse) throw;
    }
    return inUse;
}
