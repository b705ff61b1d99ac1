#pragma once

#include <QHash>
#include <QStringList>

// Reads what the log files of this test process gained since the reader was made. Files are
// followed one by one, so a test clock that writes to the file of another week does not shift
// what a later reader sees.
class LogReader {
public:
    LogReader();
    QStringList newLines() const;

private:
    static QHash<QString, QByteArray> files();
    QHash<QString, qsizetype> start_;
};
