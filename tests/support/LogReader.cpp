#include "support/LogReader.h"

#include <QDir>
#include <QFile>

LogReader::LogReader() {
    const QHash<QString, QByteArray> now = files();
    for (auto it = now.begin(); it != now.end(); ++it) start_.insert(it.key(), it.value().size());
}

QHash<QString, QByteArray> LogReader::files() {
    const QDir folder(qEnvironmentVariable("KIOSK_LOG_FOLDER"));
    QHash<QString, QByteArray> contents;
    for (const QString& name :
         folder.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly)) contents.insert(name, file.readAll());
    }
    return contents;
}

QStringList LogReader::newLines() const {
    const QHash<QString, QByteArray> now = files();
    QStringList names = now.keys();
    names.sort();
    QString text;
    for (const QString& name : names) text += QString::fromUtf8(now[name].mid(start_.value(name)));
    return text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}
