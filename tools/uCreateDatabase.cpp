#include "uCreateDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "db/fbConnection.h"
#include "db/fbQuery.h"

namespace {

const QString kUser = QStringLiteral("SYSDBA");
const QString kPassword = QStringLiteral("pinecrest");

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()).toStdString());
    return QString::fromUtf8(file.readAll());
}

// Handles "SET TERM x y" (y being the terminator in force); true when the statement was one.
bool takeSetTerm(const QString& statement, QString& terminator) {
    static const QRegularExpression setTerm(QStringLiteral(R"(^\s*set\s+term\s+(\S+)\s*$)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = setTerm.match(statement);
    if (!match.hasMatch()) return false;
    terminator = match.captured(1);
    return true;
}

}  // namespace

QStringList SplitSqlScript(const QString& script) {
    QStringList statements;
    QString terminator = QStringLiteral(";");
    QString current;
    auto finish = [&] {
        const QString s = current.trimmed();
        current.clear();
        if (!s.isEmpty() && !takeSetTerm(s, terminator)) statements << s;
    };
    qsizetype i = 0;
    while (i < script.size()) {
        const QChar c = script[i];
        const QChar next = i + 1 < script.size() ? script[i + 1] : QChar();
        if (c == u'\'' || c == u'"') {
            qsizetype end = i + 1;
            while (end < script.size() &&
                   !(script[end] == c && (end + 1 >= script.size() || script[end + 1] != c)))
                end += script[end] == c ? 2 : 1;
            current += QStringView(script).mid(i, end + 1 - i);
            i = end + 1;
        } else if (c == u'-' && next == u'-') {
            const qsizetype end = script.indexOf(u'\n', i);
            i = end < 0 ? script.size() : end;
        } else if (c == u'/' && next == u'*') {
            const qsizetype end = script.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? script.size() : end + 2;
        } else if (QStringView(script).mid(i).startsWith(terminator)) {
            i += terminator.size();
            finish();
        } else {
            current += c;
            ++i;
        }
    }
    finish();
    return statements;
}

void CreateDatabaseFromScript(const QString& databasePath, const QString& scriptPath) {
    const QStringList statements = SplitSqlScript(readText(scriptPath));
    fb::Connection::createDatabase(databasePath, kUser, kPassword);
    fb::Connection conx;
    conx.setDatabase(databasePath);
    conx.setPassword(kPassword);
    conx.connect();
    fb::Query q(conx);
    for (const QString& statement : statements) {
        if (statement.compare(QStringLiteral("commit"), Qt::CaseInsensitive) == 0) {
            conx.commit();
            continue;
        }
        q.setSQL(statement);
        try {
            q.execSQL();
        } catch (const fb::Error& e) {
            throw std::runtime_error(
                QStringLiteral("%1: %2\nin: %3")
                    .arg(QFileInfo(scriptPath).fileName(), e.message(), statement)
                    .toStdString());
        }
        conx.commit();
    }
    q.close();
    conx.disconnect();
}

// Builds the database under a temporary name beside its place and renames it there once every
// statement ran, so a build that fails or is cut short leaves no half-built database behind
// for the next build to take as finished.
void BuildDatabaseInPlace(const QString& path, const QString& scriptPath,
                          const std::function<void(const QString&)>& complete) {
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);  // what an interrupted build left
    try {
        CreateDatabaseFromScript(building, scriptPath);
        if (complete) complete(building);
    } catch (...) {
        QFile::remove(building);
        throw;
    }
    if (::rename(QFile::encodeName(building).constData(), QFile::encodeName(path).constData()) !=
        0) {
        const int error = errno;
        QFile::remove(building);
        throw std::runtime_error(QStringLiteral("Cannot rename %1 to %2: %3")
                                     .arg(building, path, QString::fromLocal8Bit(strerror(error)))
                                     .toStdString());
    }
}

QList<TSchemaUpdate> SchemaUpdates(const QString& schemaFolder) {
    static const QRegularExpression name(QStringLiteral(R"(^(\d+)\.sql$)"));
    const QDir updates(QDir(schemaFolder).filePath(QStringLiteral("updates")));
    QList<TSchemaUpdate> result;
    for (const QString& file :
         updates.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name)) {
        const auto match = name.match(file);
        if (!match.hasMatch())
            throw std::runtime_error(QStringLiteral("Schema update %1 is not named <version>.sql")
                                         .arg(file)
                                         .toStdString());
        result.append({match.captured(1).toInt(), readText(updates.filePath(file))});
    }
    return result;
}

int LoadSchemaUpdates(const QString& schemaFolder, const QString& adminDatabase) {
    const QList<TSchemaUpdate> updates = SchemaUpdates(schemaFolder);
    fb::Connection conx;
    conx.setDatabase(adminDatabase);
    conx.setPassword(kPassword);
    conx.connect();
    {
        fb::Transaction transaction(conx);
        fb::Query q(transaction);
        for (const TSchemaUpdate& update : updates) {
            q.setSQL(QStringLiteral(
                "update or insert into TBL_SQLUPDATES (DB_VERSION, PRIORITY, SQL_MEMO)\r\n"
                " values (:V, 1, :M) matching (DB_VERSION)"));
            q.bind(QStringLiteral("V"), update.version).bind(QStringLiteral("M"), update.script);
            q.execSQL();
        }
        q.close();
        transaction.commit();
    }
    conx.disconnect();
    return int(updates.size());
}

QStringList CreateKioskDatabases(const QString& schemaFolder, const QString& folder, bool replace) {
    QDir().mkpath(folder);
    const QDir schema(schemaFolder);
    const QDir target(folder);
    const std::pair<const char*, const char*> files[] = {{"KPSelfServ.gdb", "kiosk.sql"},
                                                         {"KPAdmin.gdb", "admin.sql"}};
    QStringList created;
    for (const auto& [database, script] : files) {
        const QString path = target.absoluteFilePath(QString::fromLatin1(database));
        if (QFileInfo::exists(path) && !replace) continue;
        const bool admin = QLatin1String(database) == QLatin1String("KPAdmin.gdb");
        BuildDatabaseInPlace(path, schema.absoluteFilePath(QString::fromLatin1(script)),
                             [&](const QString& building) {
                                 if (admin) LoadSchemaUpdates(schemaFolder, building);
                             });
        created << path;
    }
    return created;
}
