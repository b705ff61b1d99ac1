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

#include "app/uEngineerCodes.h"
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

struct TInstallRun {
    bool ok = false;
    QString output;
};

// Runs the install script with further options.
TInstallRun runInstall(const QString& folder, const QString& schema, int version,
                       const QStringList& options) {
    QStringList arguments{
        QStringLiteral("--bin"),       QFileInfo(QStringLiteral(KIOSK_PROGRAM)).absolutePath(),
        QStringLiteral("--schema"),    schema,
        QStringLiteral("--version"),   QString::number(version),
        QStringLiteral("--to"),        folder,
        QStringLiteral("--user"),      kUser,
        QStringLiteral("--no-service")};
    arguments << options;
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
    if (!script.waitForFinished(120000))
        return {false, QStringLiteral("the install did not finish")};
    return {script.exitCode() == 0, QString::fromLocal8Bit(script.readAll())};
}

// Runs the install script; its output when it failed, else nothing.
QString install(const QString& folder, const QString& schema, int version, bool demo) {
    const TInstallRun run = runInstall(
        folder, schema, version, demo ? QStringList{QStringLiteral("--demo")} : QStringList{});
    return run.ok ? QString() : run.output;
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
    // It has a password of its own from the start: a view needs one on every address.
    const QRegularExpression passwordLine(QStringLiteral("\nPassword=(\\S{16,})\n"));
    const QString viewPassword = passwordLine.match(readAll(remoteView)).captured(1);
    EXPECT_FALSE(viewPassword.isEmpty()) << readAll(remoteView).toStdString();
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("remote-view")).isExecutable());
    // The demonstration kiosk keeps the built-in engineer codes.
    EXPECT_FALSE(QFile::exists(EngineerCodesFileName(folder + QStringLiteral("data/"))));
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
    EXPECT_EQ(passwordLine.match(readAll(remoteView)).captured(1), viewPassword);
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

// The two codes an install showed: the manager's, then the engineer's.
QStringList shownCodes(const QString& output) {
    const QRegularExpression shown(QStringLiteral("(manager|engineer) page[^:]*: +([A-Z0-9]+)"));
    QStringList codes;
    for (auto match = shown.globalMatch(output); match.hasNext();)
        codes << match.next().captured(2);
    return codes;
}

// What a scanner reads off the first page of a PDF file: zbarimg's lines on a picture of it.
QStringList scannedCodes(const QString& pdf, const QString& folder) {
    const QString picture = folder + QStringLiteral("/sheet");
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"),
                  QStringLiteral("-singlefile"), QStringLiteral("-H"), QStringLiteral("1400"), pdf,
                  picture});
    if (!render.waitForFinished(30000) || render.exitCode() != 0) return {"pdftoppm failed"};
    QProcess scan;
    scan.start(QStringLiteral("zbarimg"), {QStringLiteral("-q"), picture + QStringLiteral(".png")});
    if (!scan.waitForFinished(30000)) return {"zbarimg did not finish"};
    return QString::fromUtf8(scan.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

TEST(KioskInstall, AShopsKioskGetsEngineerCodesOfItsOwnAndNewOnesOnRequest) {
    if (const QString reason = whyNoInstall(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    UserRemover removeUser;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("kpselfserv/"));
    const QString data = folder + QStringLiteral("data/");
    const QString schema = kSource + QStringLiteral("/src/app/schema");

    const TInstallRun first = runInstall(folder, schema, 10203, {});
    ASSERT_TRUE(first.ok) << first.output.toStdString();
    const QStringList codes = shownCodes(first.output);
    ASSERT_EQ(codes.size(), 2) << first.output.toStdString();
    const QString file = EngineerCodesFileName(data);
    const passwd* user = ::getpwnam(kUser.toUtf8().constData());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(ownerOf(file), user->pw_uid);
    EXPECT_EQ(QFile::permissions(file) & ~(QFile::ReadUser | QFile::WriteUser),
              QFile::ReadOwner | QFile::WriteOwner);
    const QString stored = readAll(file);
    for (const QString& code : codes) {
        EXPECT_GE(code.size(), 12);
        EXPECT_FALSE(stored.contains(code));
    }
    const TEngineerCodes accepted = TEngineerCodes::ofDataFolder(data);
    EXPECT_EQ(accepted.match(codes[0]), -1);
    EXPECT_EQ(accepted.match(codes[1]), -2);
    EXPECT_EQ(accepted.match(QString::fromLatin1(kEngineerCode)), 0);

    // An upgrade keeps them; --new-codes replaces both.
    const TInstallRun upgrade = runInstall(folder, schema, 10204, {});
    ASSERT_TRUE(upgrade.ok) << upgrade.output.toStdString();
    EXPECT_TRUE(shownCodes(upgrade.output).isEmpty()) << upgrade.output.toStdString();
    EXPECT_EQ(readAll(file), stored);
    const QString sheet = dir.filePath(QStringLiteral("codes.pdf"));
    const TInstallRun renewed =
        runInstall(folder, schema, 10204,
                   {QStringLiteral("--new-codes"), QStringLiteral("--print-codes"), sheet});
    ASSERT_TRUE(renewed.ok) << renewed.output.toStdString();
    const QStringList newCodes = shownCodes(renewed.output);
    ASSERT_EQ(newCodes.size(), 2) << renewed.output.toStdString();
    const TEngineerCodes replaced = TEngineerCodes::ofDataFolder(data);
    EXPECT_EQ(replaced.match(newCodes[0]), -1);
    EXPECT_EQ(replaced.match(newCodes[1]), -2);
    EXPECT_EQ(replaced.match(codes[0]), 0);
    EXPECT_EQ(replaced.match(codes[1]), 0);
    EXPECT_EQ(ownerOf(file), user->pw_uid);
    // The sheet printed into a PDF carries the new codes, as a scanner reads them.
    const QStringList read = scannedCodes(sheet, dir.path());
    for (const QString& code : newCodes)
        EXPECT_TRUE(read.contains(QStringLiteral("CODE-128:") + code))
            << read.join(u' ').toStdString();
}

}  // namespace
