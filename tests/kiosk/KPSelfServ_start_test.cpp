// Starts that cannot run, as a service manager sees them: a status that is not 0 (and not
// restarted by the unit), and the reason in one line on standard error, the log and the status.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <functional>

#include "app/uStartFailure.h"
#include "db/fbQuery.h"
#include "support/KioskProcess.h"

namespace {

constexpr int kStartTimeout = 30000;

QString logText(const KioskFolder& folder) {
    QString text;
    const QDir logs(folder.path() + QStringLiteral("logs"));
    for (const QString& name : logs.entryList(QDir::Files)) {
        QFile file(logs.filePath(name));
        if (file.open(QIODevice::ReadOnly)) text += QString::fromUtf8(file.readAll());
    }
    return text;
}

// An engine configuration whose only provider is the network client: the client library then
// has no engine to open a database file with, as where the engine package is missing.
void withoutEngine(KioskProcess& kiosk, const QTemporaryDir& root) {
    QFile conf(root.filePath(QStringLiteral("firebird.conf")));
    if (conf.open(QIODevice::WriteOnly)) conf.write("Providers = Remote\n");
    kiosk.environment().insert(QStringLiteral("FIREBIRD"), root.path());
}

struct StartCase {
    const char* name;
    std::function<void(const KioskFolder&, KioskProcess&, const QTemporaryDir&)> breakStart;
    QString reason;
    bool errorBoxShown;  // the kiosk then waits on its screen until stopped
};

void PrintTo(const StartCase& c, std::ostream* out) {
    *out << c.name;
}

class StartFailureTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartFailureTest, EndsWithTheCannotStartStatusAndOneLineOfReason) {
    const StartCase& c = GetParam();
    KioskFolder folder;
    KioskProcess kiosk(folder);
    QTemporaryDir engineRoot;
    c.breakStart(folder, kiosk, engineRoot);
    kiosk.start();
    ASSERT_TRUE(kiosk.waitFor("STATUS=Cannot start: ", kStartTimeout))
        << kiosk.output().toStdString();
    // The box with the reason stays until somebody closes it, or the start times out.
    if (c.errorBoxShown) kiosk.signal(SIGTERM);
    ASSERT_TRUE(kiosk.waitForExit(10000));
    const QString output = kiosk.output();
    EXPECT_TRUE(kiosk.exitedNormally()) << output.toStdString();
    EXPECT_EQ(kiosk.exitCode(), ExitCannotStart) << output.toStdString();

    const QString line =
        output.split(u'\n').filter(QStringLiteral("KPSelfServ: Cannot start")).value(0);
    EXPECT_TRUE(line.contains(c.reason)) << output.toStdString();
    EXPECT_EQ(output.count(QStringLiteral("Cannot start")), 1) << output.toStdString();
    EXPECT_TRUE(logText(folder).contains(line.mid(QStringLiteral("KPSelfServ: ").size())))
        << logText(folder).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Starts, StartFailureTest,
    ::testing::Values(StartCase{"NoKioskDatabase",
                                [](const KioskFolder& folder, KioskProcess&, const QTemporaryDir&) {
                                    QFile::remove(folder.kioskDatabase());
                                },
                                QStringLiteral("the kiosk database "), true},
                      StartCase{"NoBackOfficeDatabase",
                                [](const KioskFolder& folder, KioskProcess&, const QTemporaryDir&) {
                                    QFile::remove(folder.adminDatabase());
                                },
                                QStringLiteral("the back-office database "), false},
                      StartCase{"NoEngine",
                                [](const KioskFolder&, KioskProcess& kiosk,
                                   const QTemporaryDir& root) { withoutEngine(kiosk, root); },
                                QStringLiteral("the Firebird database engine is not available"),
                                true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SchemaUpdateWait, TellsTheServiceManagerItWaitsAndPushesTheStartTimeoutOn) {
    KioskFolder folder;
    {
        auto admin = folder.connect(folder.adminDatabase());
        fb::Query q(*admin);
        q.setSQL(
            QStringLiteral("insert into TBL_SQLUPDATES (DB_VERSION, PRIORITY, SQL_MEMO) "
                           "values (99, 1, 'update TBL_SETUP set DB_VERSION = 99')"));
        q.execSQL();
    }
    KioskProcess kiosk(folder);
    kiosk.start();
    ASSERT_TRUE(kiosk.waitFor("STATUS=Waiting for the schema update", kStartTimeout))
        << kiosk.output().toStdString();
    EXPECT_TRUE(kiosk.waitFor("EXTEND_TIMEOUT_USEC=", 5000));
    // Stopped by the service manager while it waits: a deliberate stop, not a failed start.
    kiosk.signal(SIGTERM);
    ASSERT_TRUE(kiosk.waitForExit(5000));
    EXPECT_EQ(kiosk.exitCode(), 0) << kiosk.output().toStdString();
}

}  // namespace
