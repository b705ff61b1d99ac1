// The kiosk session of deploy/: the service unit and the session script that runs the kiosk
// full screen under the cage compositor as an unprivileged user.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

#include "kiosk/fm_main.h"
#include "support/CageSession.h"
#include "support/KioskProcess.h"
#include "support/VirtualDisplay.h"

namespace {

const QString kDeploy = QStringLiteral(KIOSK_SOURCE_DIR "/deploy/");

TEST(KioskSession, ShowsTheMainScreenUnderCageAsAnUnprivilegedUserAndStopsCleanly) {
    if (const QString reason = cage::whyNot({"grim"}); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    VirtualDisplay screenOfCage(TFmMain::DesignSize);
    KioskFolder folder;
    KioskProcess kiosk(folder);
    cage::Session session(kiosk, folder, screenOfCage);
    if (const QString reason = session.whyNotRunning(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    if (const QString failure = session.start(); !failure.isEmpty())
        FAIL() << failure.toStdString();

    const QImage screen = session.grab();
    ASSERT_FALSE(screen.isNull());
    // The main screen's top bar and its sale page, not the splash (RGB 0,128,192) or a box.
    EXPECT_EQ(screen.pixelColor(10, 10), QColor(0x24, 0x3b, 0x5e));
    EXPECT_GT(screen.pixelColor(20, 200).lightness(), 200);

    session.stop();
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
