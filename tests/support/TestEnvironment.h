#pragma once

#include <QTemporaryDir>

// Points the settings hives and the log folder of one test process at a folder of its own,
// so tests never touch the machine's settings and parallel runs do not meet.
class TestEnvironment {
public:
    TestEnvironment();
    const QString& path() const { return path_; }

private:
    QTemporaryDir dir_;
    QString path_;
};
