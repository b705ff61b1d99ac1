// The kiosk installed as the shop's engineer installs it, and upgraded over itself: the install
// script of deploy/ into a folder of the test's own, the kiosk started as the kiosk's user.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

#include "db/fbQuery.h"
#include "support/KioskProcess.h"

namespace {

const QString kUser = QStringLiteral("kpselfserv-test");
const QString kSource = QStringLiteral(KIOSK_SOURCE_DIR);

QString whyNoInstall() {
    if (::geteuid() != 0) return QStringLiteral("installing creates the kiosk's user: needs root");
    for (const char* tool : {"useradd", "userdel", "setpriv"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
    return {};
}

// The kiosk's user, removed with its home when the test ends.
struct UserRemover {
    ~UserRemover() { QProcess::execute(QStringLiteral("userdel"), {QStringLiteral("-r"), kUser}); }
};

// Runs the install script; its output when it failed, else nothing.
QString install(const QString& folder, const QString& schema, int version, bool demo) {
    QStringList arguments{
        QStringLiteral("--bin"),       QFileInfo(QStringLiteral(KIOSK_PROGRAM)).absolutePath(),
        QStringLiteral("--schema"),    schema,
        QStringLiteral("--version"),   QString::number(version),
        QStringLiteral("--to"),        folder,
        QStringLiteral("--user"),      kUser,
        QStringLiteral("--no-service")};
    if (demo) arguments << QStringLiteral("--demo");
    QProcess script;
    // The tools the script runs end without freeing what Qt's offscreen platform keeps, as
    // the fuzz corpus's maker does; a sanitizer build checks leaks in the kiosk, not in them.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(
        QStringLiteral("ASAN_OPTIONS"),
        environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    script.setProcessEnvironment(environment);
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(kSource + QStringLiteral("/deploy/install-kiosk"), arguments);
    if (!script.waitForFinished(120000)) return QStringLiteral("the install did not finish");
    const QString output = QString::fromLocal8Bit(script.readAll());
    return script.exitCode() == 0 ? QString() : output;
}

uid_t ownerOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_uid : uid_t(-1);
}

QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList exportFiles(const QString& folder) {
    return QDir(folder + QStringLiteral("data/Export")).entryList({QStringLiteral("*.csv")});
}

std::unique_ptr<fb::Connection> connect(const QString& database) {
    auto c = std::make_unique<fb::Connection>();
    c->setDatabase(database);
    c->setPassword(QStringLiteral("pinecrest"));
    c->connect();
    return c;
}

int count(const QString& database, const QString& sql) {
    auto conx = connect(database);
    fb::Query q(*conx);
    q.setSQL(sql);
    q.open();
    return q.field(0).toInt();
}

// The installed kiosk, started as its user the way its unit starts it: the settings store
// and the engine's folders are the user's own, the log is the program folder's. setpriv runs
// the program itself as the user, so the signals of the test reach the kiosk alone.
class InstalledKiosk {
public:
    explicit InstalledKiosk(const QString& folder) : process_(folder) {
        const passwd* user = ::getpwnam(kUser.toUtf8().constData());
        QProcessEnvironment& environment = process_.environment();
        environment.insert(QStringLiteral("HOME"), QString::fromLocal8Bit(user->pw_dir));
        for (const char* name :
             {"KIOSK_REGISTRY_MACHINE", "KIOSK_REGISTRY_USER", "KIOSK_LOG_FOLDER",
              "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "FIREBIRD_LOCK", "FIREBIRD_TMP"})
            environment.remove(QLatin1String(name));
        process_.start({QStringLiteral("setpriv"), QStringLiteral("--reuid=") + kUser,
                        QStringLiteral("--regid=") + kUser, QStringLiteral("--init-groups"),
                        QStringLiteral("--"), folder + QStringLiteral("KPSelfServ")});
    }
    ~InstalledKiosk() {
        process_.signal(SIGTERM);
        process_.waitForExit(5000);
    }
    KioskProcess& process() { return process_; }

private:
    KioskProcess process_;
};

TEST(KioskInstall, LaysOutWhatTheKioskWritesClosesItsDayAndUpgradesKeepingTheData) {
    if (const QString reason = whyNoInstall(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    UserRemover removeUser;
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther);
    const QString folder = dir.filePath(QStringLiteral("kpselfserv/"));
    const QString kioskDatabase = folder + QStringLiteral("data/KPSelfServ.gdb");
    const QString adminDatabase = folder + QStringLiteral("data/KPAdmin.gdb");

    ASSERT_EQ(install(folder, kSource + QStringLiteral("/src/app/schema"), 10203, true), "");
    const passwd* user = ::getpwnam(kUser.toUtf8().constData());
    ASSERT_NE(user, nullptr);
    for (const char* written :
         {"data/Import", "data/Export", "data/Res", "data/Receipts", "logs", "data/KPSelfServ.gdb"})
        EXPECT_EQ(ownerOf(folder + QLatin1String(written)), user->pw_uid) << written;
    // The demonstration kiosk pays on the terminal service beside it, with no PIN pad window.
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("kpterminal")).isExecutable());
    const QString pinPad = readAll(folder + QStringLiteral("data/PinPad.ini"));
    EXPECT_TRUE(pinPad.contains(QStringLiteral("\nTerminal=127.0.0.1:8105\n")))
        << pinPad.toStdString();
    EXPECT_TRUE(pinPad.contains(QStringLiteral("\nInteractive=false\n"))) << pinPad.toStdString();
    // The secret the kiosk shares with its terminal, the kiosk's user's alone.
    const QString secret = folder + QStringLiteral("data/Terminal/secret");
    const QString secretText = readAll(secret);
    EXPECT_GE(secretText.trimmed().size(), 32);
    EXPECT_EQ(ownerOf(secret), user->pw_uid);
    EXPECT_EQ(QFile::permissions(secret) &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              0);
    // The help desk's view is laid out off, its future password readable by the kiosk alone.
    const QString remoteView = folder + QStringLiteral("data/RemoteView.ini");
    EXPECT_TRUE(readAll(remoteView).contains(QStringLiteral("\nEnabled=false\n")));
    EXPECT_EQ(ownerOf(remoteView), user->pw_uid);
    EXPECT_EQ(QFile::permissions(remoteView) & (QFile::ReadOther | QFile::ReadGroup), 0);
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("remote-view")).isExecutable());
    // A trading day open since three days ago: its boundary has passed.
    {
        auto conx = connect(kioskDatabase);
        fb::Query q(*conx);
        q.setSQL(
            QStringLiteral("insert into TBL_DAY_ENDS (DAY_START) values (dateadd(-3 day "
                           "to current_timestamp))"));
        q.execSQL();
        conx->commit();
    }
    {
        InstalledKiosk kiosk(folder);
        ASSERT_TRUE(kiosk.process().waitFor("STATUS=version: 01.02.03", 30000))
            << kiosk.process().output().toStdString();
        ASSERT_TRUE(kiosk.process().waitFor("READY=1", 60000))
            << kiosk.process().output().toStdString();
        QDeadlineTimer closed(30000);
        while (exportFiles(folder).isEmpty() && !closed.hasExpired()) QThread::msleep(200);
        EXPECT_FALSE(exportFiles(folder).isEmpty()) << kiosk.process().output().toStdString();
        kiosk.process().signal(SIGTERM);
        ASSERT_TRUE(kiosk.process().waitForExit(10000));
        EXPECT_EQ(kiosk.process().exitCode(), 0) << kiosk.process().output().toStdString();
    }
    EXPECT_FALSE(QDir(folder + QStringLiteral("logs")).isEmpty());
    EXPECT_TRUE(QFile::exists(QString::fromLocal8Bit(user->pw_dir) +
                              QStringLiteral("/.config/tollex/HKEY_CURRENT_USER.reg")));
    const int products = count(kioskDatabase, QStringLiteral("select count(*) from TBL_PRODUCTS"));
    EXPECT_GT(products, 0);  // the demonstration shop came in at the first start

    // The next version ships a schema script; the back-office database hands it to the kiosk.
    QTemporaryDir schema;
    ASSERT_TRUE(QDir().mkpath(schema.filePath(QStringLiteral("updates"))));
    const QDir shipped(kSource + QStringLiteral("/src/app/schema"));
    for (const QString& script : shipped.entryList({QStringLiteral("*.sql")}, QDir::Files) +
                                     QDir(shipped.filePath(QStringLiteral("updates")))
                                         .entryList({QStringLiteral("*.sql")}, QDir::Files)
                                         .replaceInStrings(QRegularExpression(QStringLiteral("^")),
                                                           QStringLiteral("updates/")))
        ASSERT_TRUE(QFile::copy(shipped.filePath(script), schema.filePath(script)));
    {
        QFile next(schema.filePath(QStringLiteral("updates/9999.sql")));
        ASSERT_TRUE(next.open(QIODevice::WriteOnly));
        next.write("update TBL_SETUP set DB_VERSION = 9999^\n");
    }
    const QStringList exported = exportFiles(folder);
    ASSERT_EQ(install(folder, schema.path(), 10204, false), "");
    EXPECT_EQ(exportFiles(folder), exported);
    EXPECT_EQ(readAll(folder + QStringLiteral("data/PinPad.ini")), pinPad);
    EXPECT_EQ(readAll(secret), secretText) << "a new secret would part the kiosk from its terminal";
    EXPECT_TRUE(readAll(remoteView).contains(QStringLiteral("\nEnabled=false\n")));
    EXPECT_EQ(count(kioskDatabase, QStringLiteral("select count(*) from TBL_PRODUCTS")), products);
    EXPECT_EQ(count(adminDatabase,
                    QStringLiteral("select count(*) from TBL_SQLUPDATES where DB_VERSION = 9999")),
              1);
    // The new version on the splash, then its schema script offered by the update runner.
    InstalledKiosk upgraded(folder);
    EXPECT_TRUE(upgraded.process().waitFor("STATUS=version: 01.02.04", 30000))
        << upgraded.process().output().toStdString();
    EXPECT_TRUE(upgraded.process().waitFor("STATUS=Waiting for the schema update", 30000))
        << upgraded.process().output().toStdString();
}

}  // namespace
