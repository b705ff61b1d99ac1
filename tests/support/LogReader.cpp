#include "support/LogReader.h"

#include <QDir>
#include <QFile>

LogReader::LogReader() : start_(allText().size()) {}

QString LogReader::allText() const {
    const QDir folder(qEnvironmentVariable("KIOSK_LOG_FOLDER"));
    QString text;
    for (const QString& name :
         folder.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly)) text += QString::fromUtf8(file.readAll());
    }
    return text;
}

QStringList LogReader::newLines() const {
    return allText().mid(start_).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}
