#include "support/KioskProcess.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <csignal>
#include <cstring>
#include <stdexcept>

namespace {

void copyFile(const QString& from, const QString& to) {
    if (!QFile::copy(from, to))
        throw std::runtime_error(("Cannot copy " + from + " to " + to).toStdString());
    QFile::setPermissions(to, QFile::permissions(from) | QFile::WriteOwner);
}

int bindNotificationSocket(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (size_t(name.size()) >= sizeof address.sun_path)
        throw std::runtime_error("The notification socket's path is too long");
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("Cannot bind the notification socket");
    ::chmod(name.constData(), 0777);  // a kiosk running as another user reports here too
    return fd;
}

}  // namespace

KioskFolder::KioskFolder() {
    if (!dir_.isValid()) throw std::runtime_error("Cannot create a temporary folder");
    QDir().mkpath(dataFolder());
    copyFile(QStringLiteral(KIOSK_PROGRAM), program());
    QFile dat(path() + QStringLiteral("KPSelfServ.dat"));
    if (!dat.open(QIODevice::WriteOnly)) throw std::runtime_error("Cannot write KPSelfServ.dat");
    dat.write("[Setup]\r\nInstalledVersion=1\r\n");
    for (const char* name : {"KPSelfServ.gdb", "KPAdmin.gdb"})
        copyFile(QDir(QStringLiteral(KIOSK_TEST_TEMPLATE_DIR)).filePath(QLatin1String(name)),
                 dataFolder() + QLatin1String(name));
}

QString KioskFolder::path() const {
    return dir_.path() + u'/';
}
QString KioskFolder::program() const {
    return path() + QStringLiteral("KPSelfServ");
}
QString KioskFolder::dataFolder() const {
    return path() + QStringLiteral("data/");
}
QString KioskFolder::kioskDatabase() const {
    return dataFolder() + QStringLiteral("KPSelfServ.gdb");
}
QString KioskFolder::adminDatabase() const {
    return dataFolder() + QStringLiteral("KPAdmin.gdb");
}

std::unique_ptr<fb::Connection> KioskFolder::connect(const QString& database) const {
    auto c = std::make_unique<fb::Connection>();
    c->setDatabase(database);
    c->setPassword(QStringLiteral("pinecrest"));
    c->connect();
    return c;
}

void KioskFolder::giveTo(const QString& user) const {
    QProcess chown;
    chown.start(QStringLiteral("chown"), {QStringLiteral("-R"), user, dir_.path()});
    if (!chown.waitForFinished() || chown.exitCode() != 0)
        throw std::runtime_error(("Cannot give the folder to " + user).toStdString());
}

KioskProcess::KioskProcess(const KioskFolder& folder) : KioskProcess(folder.path()) {}

KioskProcess::KioskProcess(const QString& programFolder)
    : folder_(QDir(programFolder).absolutePath() + u'/'),
      environment_(QProcessEnvironment::systemEnvironment()) {
    const QString& root = folder_;
    environment_.insert(QStringLiteral("KIOSK_REGISTRY_MACHINE"),
                        root + QStringLiteral("settings/HKEY_LOCAL_MACHINE.reg"));
    environment_.insert(QStringLiteral("KIOSK_REGISTRY_USER"),
                        root + QStringLiteral("settings/HKEY_CURRENT_USER.reg"));
    environment_.insert(QStringLiteral("KIOSK_LOG_FOLDER"), root + QStringLiteral("logs/"));
    environment_.insert(QStringLiteral("NOTIFY_SOCKET"), root + QStringLiteral("notify"));
    environment_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
}

KioskProcess::~KioskProcess() {
    // The whole group: a kiosk started through runuser or cage outlives its starter.
    if (group_ > 0) ::kill(-group_, SIGKILL);
    process_.waitForFinished();
    if (socket_ >= 0) ::close(socket_);
}

void KioskProcess::start(const QStringList& command) {
    const QString socketPath = environment_.value(QStringLiteral("NOTIFY_SOCKET"));
    if (socket_ < 0) {
        QFile::remove(socketPath);
        socket_ = bindNotificationSocket(socketPath);
    }
    notifications_.clear();
    process_.setProcessEnvironment(environment_);
    process_.setWorkingDirectory(folder_);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments =
        command.isEmpty() ? QStringList{folder_ + QStringLiteral("KPSelfServ")} : command;
    process_.setChildProcessModifier([] { ::setpgid(0, 0); });
    process_.start(arguments.takeFirst(), arguments);
    if (!process_.waitForStarted()) throw std::runtime_error("The kiosk did not start");
    group_ = pid_t(process_.processId());
}

bool KioskProcess::waitFor(const QByteArray& state, int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    for (;;) {
        for (const QByteArray& line : notifications_)
            if (line.startsWith(state)) return true;
        if (process_.state() == QProcess::NotRunning || deadline.hasExpired()) return false;
        pollfd wait{socket_, POLLIN, 0};
        ::poll(&wait, 1, 50);
        char buffer[4096];
        const ssize_t size = ::recv(socket_, buffer, sizeof buffer, 0);
        if (size > 0) notifications_ += QByteArray(buffer, size).split('\n');
        process_.waitForFinished(0);  // notices a program that ended
    }
}

void KioskProcess::signal(int number) {
    ::kill(group_, number);
}

void KioskProcess::signalGroup(int number) {
    ::kill(-group_, number);
}

bool KioskProcess::waitForExit(int milliseconds) {
    return process_.waitForFinished(milliseconds);
}

bool KioskProcess::exitedNormally() const {
    return process_.state() == QProcess::NotRunning &&
           process_.exitStatus() == QProcess::NormalExit;
}

int KioskProcess::exitCode() const {
    return process_.exitCode();
}

QString KioskProcess::output() {
    // What the program wrote so far, also while no event loop has read its pipe.
    while (process_.state() == QProcess::Running && process_.waitForReadyRead(0)) {
    }
    return QString::fromLocal8Bit(process_.readAll());
}

QString ValidationErrors(const QString& database) {
    QProcess gfix;
    gfix.setProcessChannelMode(QProcess::MergedChannels);
    gfix.start(QStringLiteral("gfix"),
               {QStringLiteral("-v"), QStringLiteral("-full"), QStringLiteral("-user"),
                QStringLiteral("SYSDBA"), QStringLiteral("-password"), QStringLiteral("pinecrest"),
                database});
    if (!gfix.waitForFinished(60000)) return QStringLiteral("gfix did not finish");
    const QString output = QString::fromLocal8Bit(gfix.readAll());
    if (gfix.exitStatus() != QProcess::NormalExit) return QStringLiteral("gfix crashed: ") + output;
    // "Summary of validation errors" heads the counts; page warnings are the orphan pages.
    QStringList errors = output.split(u'\n', Qt::SkipEmptyParts);
    errors.removeIf([](const QString& line) {
        return line.trimmed().isEmpty() ||
               line.startsWith(QStringLiteral("Summary of validation")) ||
               line.contains(QStringLiteral("warnings"));
    });
    return errors.join(u'\n');
}

void RestartAndValidate(const KioskFolder& folder) {
    constexpr int kStartTimeout = 120000;
    KioskProcess kiosk(folder);
    kiosk.start();
    ASSERT_TRUE(kiosk.waitFor("READY=1", kStartTimeout)) << kiosk.output().toStdString();
    kiosk.signal(SIGTERM);
    ASSERT_TRUE(kiosk.waitForExit(5000));
    EXPECT_EQ(kiosk.exitCode(), 0) << kiosk.output().toStdString();
    const QString errors = ValidationErrors(folder.kioskDatabase());
    EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
}
