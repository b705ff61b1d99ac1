#include "backoffice/uExportFile.h"

#include <QFile>
#include <QIODevice>
#include <QSaveFile>
#include <QStringList>
#include <stdexcept>

#include "app/uText.h"
#include "backoffice/uDayEnd.h"

QString DayEndSideFileName(const QString& exportFolder, int dayEndId, const QString& kind) {
    QString name = DayEndExportFileName(exportFolder, dayEndId);
    name.chop(QStringLiteral(".csv").size());
    return name + u'-' + kind + QStringLiteral(".csv");
}

QByteArray WholeOrEmpty(const fb::Value& value) {
    return value.isNull() ? QByteArray() : QByteArray::number(value.toInt64());
}

QByteArray TextField(const fb::Value& value) {
    return ExportText(value.toString()).toUtf8();
}

QByteArray DayNumberField(const fb::Value& value) {
    return ExportNumber(value.isNull() ? 0 : DateTimeToDayNumber(value.toDateTime())).toLatin1();
}

void AppendExportRecord(QByteArray& out, std::initializer_list<QByteArray> fields) {
    bool first = true;
    for (const QByteArray& field : fields) {
        if (!first) out.append(',');
        out.append(field);
        first = false;
    }
    out.append("\r\n");
}

void WriteExportRecords(fb::Query& q, QIODevice& file, const QString& sql, const QDateTime& from,
                        const QDateTime& to, const TAppendRows& appendRows) {
    q.close();
    q.setSQL(sql);
    q.bind(QStringLiteral("D1"), from);
    q.bind(QStringLiteral("D2"), to);
    QByteArray out;
    for (q.open(); !q.eof(); q.next()) appendRows(out, q);
    q.close();
    if (file.write(out) != out.size()) throw std::runtime_error(file.errorString().toStdString());
}

void CommitExportFiles(std::initializer_list<QSaveFile*> files) {
    QStringList inPlace;
    for (QSaveFile* file : files) {
        if (!file->commit()) {
            for (const QString& name : inPlace) QFile::remove(name);
            throw std::runtime_error(file->errorString().toStdString());
        }
        inPlace << file->fileName();
    }
}
