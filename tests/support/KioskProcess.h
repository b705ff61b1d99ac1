#pragma once

#include <sys/types.h>
#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "db/fbConnection.h"

// A program folder laid out as a kiosk is delivered: a copy of the kiosk program, its
// installed-version file and data/ with a private copy of the template databases.
class KioskFolder {
public:
    KioskFolder();

    QString path() const;  // ends with "/"
    QString program() const;
    QString dataFolder() const;
    QString kioskDatabase() const;
    QString adminDatabase() const;
    // A connection to one of its databases (while no kiosk runs on them).
    std::unique_ptr<fb::Connection> connect(const QString& database) const;
    // Hands the folder and everything in it to another user.
    void giveTo(const QString& user) const;

private:
    QTemporaryDir dir_;
};

// The kiosk program running on a folder as a service manager starts it: settings hives and
// log folder of its own inside the folder, and a notification socket it reports to.
class KioskProcess {
public:
    explicit KioskProcess(const KioskFolder& folder);
    // The program KPSelfServ of a program folder laid out otherwise (an installed kiosk).
    explicit KioskProcess(const QString& programFolder);
    ~KioskProcess();
    KioskProcess(const KioskProcess&) = delete;
    KioskProcess& operator=(const KioskProcess&) = delete;

    QProcessEnvironment& environment() { return environment_; }
    // Starts the program, or a command that runs it (runuser, the kiosk session...).
    void start(const QStringList& command = {});
    // Waits for a notification line starting with state ("READY=1", "STATUS=Importing"); false
    // when the program ended or the time ran out first.
    bool waitFor(const QByteArray& state, int milliseconds);
    // Signals the started program, or the whole group it started (the kiosk behind a wrapper).
    void signal(int number);
    void signalGroup(int number);
    bool waitForExit(int milliseconds);
    bool exitedNormally() const;
    int exitCode() const;
    QString output();

private:
    QString folder_;  // ends with "/"
    QProcessEnvironment environment_;
    QProcess process_;
    pid_t group_ = 0;  // the started program leads a process group of its own
    int socket_ = -1;
    QByteArrayList notifications_;
};

// Runs "gfix -v -full" on a database file; the errors it reports, empty when it is valid.
// Page warnings (orphan pages, which a killed engine leaves behind) are no error.
QString ValidationErrors(const QString& database);

// Starts the kiosk on the folder again, waits until it serves customers (it settles at its start
// what a kill left) and stops it; then the engine's own validation looks at every page of the
// database. Reports through the test's assertions.
void RestartAndValidate(const KioskFolder& folder);
