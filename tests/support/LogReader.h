#pragma once

#include <QStringList>

// Reads what the log files of this test process gained since the reader was made.
class LogReader {
public:
    LogReader();
    QStringList newLines() const;

private:
    QString allText() const;
    qsizetype start_;
};
