#include "app/uSQLUpdates.h"

#include "app/uFiles.h"
#include "app/uLog.h"
#include "app/uProgramFolder.h"
#include "app/uText.h"

#include <QScopeGuard>
#include <optional>

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

// Runs one statement of a script in the query's unit of work. An immediate statement is
// committed at once, and the script goes on in a new unit of work.
void runStatement(std::optional<fb::Transaction>& unit, fb::Query& q,
                  const TScriptStatement& statement) {
    q.setSQL(trimStatement(statement.text));
    if (q.sql().toUpper().startsWith(QStringLiteral("SELECT")))
        q.open();
    else
        q.execSQL();
    q.close();
    if (statement.immediate) {
        fb::Connection& conx = unit->connection();
        unit->commit();
        unit.emplace(conx);
        q.setTransaction(*unit);
    }
}

// Runs a script's statements in unit; q is given unit, and the last statement run is left in
// it.
void runScript(std::optional<fb::Transaction>& unit, fb::Query& q, const QString& script) {
    for (const TScriptStatement& statement : SplitUpdateScript(script)) {
        WriteLog(QStringLiteral("sql update: ") + statement.text +
                     (statement.immediate ? kImmediate : QString()),
                 1);
        runStatement(unit, q, statement);
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

int RunSQLUpdates(fb::Connection& conx, fb::Connection& conxA, fb::Query& qA, int currentVersion,
                  int updateCount, const TSQLUpdatesView& view) {
    int last = currentVersion;
    QString statement;  // the last one run, for the log
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
            std::optional<fb::Transaction> unit;
            unit.emplace(conx);
            fb::Query q(*unit);
            const auto keepStatement = qScopeGuard([&] { statement = q.sql(); });
            runScript(unit, q, qA.field(QStringLiteral("SQL_MEMO")).toString());
            if (version > 0) {
                q.setSQL(
                    QStringLiteral("update TBL_SETUP set DB_VERSION = :DBVER where SETUP_ID = 1"));
                q.bind(QStringLiteral("DBVER"), version);
                q.execSQL();
                last = version;
            }
            unit->commit();
            if (view.setStatus) view.setStatus(QStringLiteral("Processing #%1").arg(version));
        }
        qA.close();
        if (view.setStatus) view.setStatus(UpdateEndText(last));
        return last;
    } catch (const std::exception& e) {
        if (view.setStatus) view.setStatus(UpdateEndText(last));
        WriteLog(QStringLiteral("Error during DB update: ") + QString::fromUtf8(e.what()), 0);
        WriteLog(statement, 0);
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
