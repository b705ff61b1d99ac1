#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "db/fbConnection.h"

// A private copy of the two template databases in a temporary folder, laid out as the
// program folder's data/ folder, with a connection to the kiosk database opened on demand.
class TestDatabases {
public:
    TestDatabases();
    ~TestDatabases();

    QString folder() const;  // ends with "/"
    QString kioskPath() const;
    QString adminPath() const;
    fb::Connection& kiosk();
    fb::Connection& admin();
    // Detaches the test's own connections, so the code under test can have the files.
    void closeConnections();
    // Delivers a schema script in the back-office database.
    void addUpdateScript(int version, int priority, const QString& script);

private:
    QTemporaryDir dir_;
    std::unique_ptr<fb::Connection> kiosk_;
    std::unique_ptr<fb::Connection> admin_;
};
