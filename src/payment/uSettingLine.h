#pragma once

#include <QString>

// One line of an ini-style settings file: reads its value, and names the file and the line in
// every error, as "<file> <path>, line <n>: <what>".
struct TSettingLine {
    QString file;  // what the file is, e.g. "PIN pad settings"
    QString path;
    int line = 0;

    [[noreturn]] void fail(const QString& what) const;
    bool toBool(const QString& key, const QString& value) const;  // true/yes/1, false/no/0
    int toInt(const QString& key, const QString& value) const;
};
