#pragma once

#include <QProcess>
#include <QString>

// Another process that keeps a file open for as long as the holder lives.
//
// The embedded database engine opens its files without close-on-exec, so a child would
// inherit this process's database descriptors and their locks; the holder's child closes
// every inherited descriptor first, so it holds the file and nothing else.
class FileHolder {
public:
    explicit FileHolder(const QString& path);
    ~FileHolder();

private:
    QProcess process_;
};
