// The kiosk session of deploy/: the service unit and the session script that runs the kiosk
// full screen under the cage compositor as an unprivileged user.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <pwd.h>
#include <unistd.h>
#include <csignal>

#include "support/KioskProcess.h"

namespace {

const QString kDeploy = QStringLiteral(KIOSK_SOURCE_DIR "/deploy/");
const QString kUser = QStringLiteral("nobody");

// Runs a command as the user, in the environment given; its output.
QString runAs(const QStringList& command, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("runuser"),
                  QStringList{QStringLiteral("-u"), kUser, QStringLiteral("--")} + command);
    process.waitForFinished(30000);
    return QString::fromLocal8Bit(process.readAll());
}

// Why the machine cannot run the kiosk session, or nothing when it can.
QString whyNoSession() {
    if (::geteuid() != 0) return QStringLiteral("starting the kiosk as another user needs root");
    if (::getpwnam("nobody") == nullptr) return QStringLiteral("there is no user nobody");
    for (const char* tool : {"cage", "grim", "runuser"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                       QStringLiteral("/platforms/libqwayland-generic.so")))
        return QStringLiteral("Qt's Wayland platform (qt6-wayland) is not installed");
    return {};
}

TEST(KioskSession, ShowsTheMainScreenUnderCageAsAnUnprivilegedUserAndStopsCleanly) {
    if (const QString reason = whyNoSession(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    KioskFolder folder;
    const QString session = folder.path() + QStringLiteral("kpselfserv-session");
    ASSERT_TRUE(QFile::copy(kDeploy + QStringLiteral("kpselfserv-session"), session));
    const QString runtime = folder.path() + QStringLiteral("run");
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    folder.giveTo(kUser);

    KioskProcess kiosk(folder);
    QProcessEnvironment& environment = kiosk.environment();
    for (const char* name : {"FIREBIRD_LOCK", "FIREBIRD_TMP", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("RUNTIME_DIRECTORY"), runtime);
    environment.insert(QStringLiteral("KIOSK_PROGRAM"), folder.program());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    // Under a compositor Qt loads graphics libraries and unloads them before the program ends;
    // the leak checker can name what they keep only as an unknown module, so a sanitizer build
    // checks no leaks in this one process (cage returns the kiosk's status, which a leak report
    // would change).
    environment.insert(
        QStringLiteral("ASAN_OPTIONS"),
        environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    kiosk.start({QStringLiteral("runuser"), QStringLiteral("-u"), kUser, QStringLiteral("--"),
                 session, QStringLiteral("start")});
    if (!kiosk.waitFor("READY=1", 60000)) {
        const QString output = kiosk.output();
        if (output.contains(QStringLiteral("backend")) && !QFile::exists(runtime + "/wayland-0"))
            GTEST_SKIP() << "cage cannot run on this machine: " << output.toStdString();
        FAIL() << "the kiosk did not get ready under cage: " << output.toStdString();
    }

    QProcessEnvironment display = environment;
    display.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    const QString shot = runtime + QStringLiteral("/screen.png");
    // The window is shown before the compositor has drawn its first frame.
    QString grim;
    QImage screen;
    for (QDeadlineTimer drawn(10000); !drawn.hasExpired(); QThread::msleep(200)) {
        grim = runAs({QStringLiteral("grim"), shot}, display);
        screen = QImage(shot);
        if (!screen.isNull() && screen.pixelColor(10, 10) != QColor(Qt::black)) break;
    }
    ASSERT_FALSE(screen.isNull()) << grim.toStdString();
    // The main screen's top bar and its sale page, not the splash (RGB 0,128,192) or a box.
    EXPECT_EQ(screen.pixelColor(10, 10), QColor(0x24, 0x3b, 0x5e));
    EXPECT_GT(screen.pixelColor(20, 200).lightness(), 200);

    runAs({session, QStringLiteral("stop")}, environment);
    ASSERT_TRUE(kiosk.waitForExit(5000));
    EXPECT_EQ(kiosk.exitCode(), 0) << kiosk.output().toStdString();
    auto conx = folder.connect(folder.kioskDatabase());  // the kiosk let go of its database
    EXPECT_TRUE(conx->connected());
}

TEST(KioskSession, TheServiceUnitPassesTheServiceManagersVerification) {
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty()) GTEST_SKIP() << "systemd is not installed";
    // The unit as installed, with the program folder where this test has it.
    QTemporaryDir dir;
    QFile unit(kDeploy + QStringLiteral("kpselfserv.service"));
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly));
    QFile copy(dir.filePath(QStringLiteral("kpselfserv.service")));
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.write(unit.readAll().replace("/opt/kpselfserv", QFile::encodeName(dir.path())));
    copy.close();
    ASSERT_TRUE(QFile::copy(kDeploy + QStringLiteral("kpselfserv-session"),
                            dir.filePath(QStringLiteral("kpselfserv-session"))));

    QProcess verify;
    verify.setProcessChannelMode(QProcess::MergedChannels);
    verify.start(analyze, {QStringLiteral("verify"), copy.fileName()});
    ASSERT_TRUE(verify.waitForFinished(30000));
    const QString output = QString::fromLocal8Bit(verify.readAll());
    EXPECT_EQ(verify.exitCode(), 0) << output.toStdString();
    EXPECT_FALSE(output.contains(QStringLiteral("kpselfserv"))) << output.toStdString();
}

}  // namespace
