#include "app/uDbUtils.h"

#include <stdexcept>

#include "app/uLog.h"

qint64 NextId(fb::Query& q, const QString& generator, const QString& idColumn,
              const QString& table) {
    const QString draw =
        QStringLiteral("select next value for %1 from rdb$database").arg(generator);
    const QString taken = QStringLiteral("select %1 from %2 where %1 = :ID").arg(idColumn, table);
    for (;;) {
        q.setSQL(draw);
        q.open();
        const qint64 id = q.field(0).toInt();
        q.setSQL(taken);
        q.bind(QStringLiteral("ID"), id);
        q.open();
        const bool used = !q.eof() && q.field(0).toInt64() > 0;
        q.close();
        if (id > 0 && !used) return id;
    }
}

QString SelectValue(fb::Query& q, const QString& table, const QString& keyColumn,
                    const QString& resultColumn, int keyValue) {
    q.close();
    q.setSQL(
        QStringLiteral("select %1 from %2 where %3 = :%3").arg(resultColumn, table, keyColumn));
    q.bind(keyColumn, keyValue);
    WriteLog(q.sql(), 32);
    q.open();
    const QString result = q.eof() ? QString() : q.field(0).toString();
    q.close();
    return result;
}

void CopyDSToMemDS(fb::Query& source, TMemTable& target, const QStringList& sourceFields,
                   const QStringList& targetFields, const CopyFieldCallback& callback) {
    if (sourceFields.size() != targetFields.size())
        throw std::runtime_error("CopyDSToMemDS: Invalid number of additional fields");
    target.clear();
    if (source.active())
        source.first();
    else
        source.open();
    for (; !source.eof(); source.next()) {
        const int row = target.append();
        for (const QString& field : target.fields()) {
            QString text;
            if (callback && callback(source, field, text))
                target.set(row, field, text);
            else if (source.hasField(field))
                target.set(row, field, source.field(field));
        }
        for (qsizetype k = 0; k < sourceFields.size(); ++k)
            target.set(row, targetFields[k], source.field(sourceFields[k]));
    }
}

QString ErrorLogText(const std::exception& error) {
    QString text = QString::fromUtf8(error.what());
    const auto* engine = dynamic_cast<const fb::Error*>(&error);
    if (!engine || (engine->codes().empty() && engine->sqlState().empty())) return text;
    QStringList codes;
    for (const intptr_t code : engine->codes()) codes << QString::number(code);
    text += QStringLiteral(" [codes %1; SQLSTATE %2]")
                .arg(codes.join(u", "), QString::fromStdString(engine->sqlState()));
    return text;
}

void LogTurnedError(const QString& what, const std::exception& error) noexcept {
    try {
        WriteLog(what + QStringLiteral(" failed: ") + ErrorLogText(error), 0);
    } catch (...) {
        // Logging never raises.
    }
}
