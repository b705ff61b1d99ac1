// The help desk's view of an installed kiosk's screen: the kiosk session serves it over VNC
// when the data folder's RemoteView.ini asks, view only unless control is given, and only with a
// password, on this machine's address too (any local user could watch the customer otherwise).
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QThread>
#include <QVersionNumber>
#include <functional>

#include "kiosk/fm_main.h"
#include "support/CageSession.h"
#include "support/KioskProcess.h"
#include "support/RfbClient.h"
#include "support/VirtualDisplay.h"

namespace {

quint16 FreePort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// Whether the installed wayvnc's neatvnc holds a viewer to the password: before 0.8.1 a viewer
// may choose no authentication all the same (CVE-2024-42458), and the session serves a view on
// this machine's address on a socket of the kiosk's runtime folder instead of a port.
bool NeatVncHoldsPasswords() {
    QProcess wayvnc;
    wayvnc.start(QStringLiteral("wayvnc"), {QStringLiteral("--version")});
    wayvnc.waitForFinished(10000);
    const QString version = QRegularExpression(QStringLiteral("neatvnc: *(\\S+)"))
                                .match(QString::fromUtf8(wayvnc.readAllStandardOutput() +
                                                         wayvnc.readAllStandardError()))
                                .captured(1);
    return !version.isEmpty() && QVersionNumber::fromString(version) >= QVersionNumber(0, 8, 1);
}

struct ViewCase {
    const char* name;
    const char* settings;  // RemoteView.ini after its section line; nullptr: no file
    bool served;           // then only VeNCrypt (TLS and a password) is offered
    bool local;            // on this machine's address
    const char* why;       // the session's word about the view
};

void PrintTo(const ViewCase& c, std::ostream* os) {
    *os << c.name;
}

class HelpDeskViewTest : public ::testing::TestWithParam<ViewCase> {};

TEST_P(HelpDeskViewTest, ServesTheScreenAsTheSettingsAsk) {
    const ViewCase& c = GetParam();
    if (const QString reason = cage::whyNot({"grim", "wayvnc", "openssl"}); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    VirtualDisplay screenOfCage(TFmMain::DesignSize);
    KioskFolder folder;
    const quint16 port = FreePort();
    if (c.settings) {
        QFile ini(folder.dataFolder() + QStringLiteral("RemoteView.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[RemoteView]\nPort=%1\n%2").arg(port).arg(c.settings).toUtf8());
    }
    KioskProcess kiosk(folder);
    cage::Session session(kiosk, folder, screenOfCage);
    if (const QString reason = session.whyNotRunning(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    if (const QString failure = session.start(); !failure.isEmpty())
        FAIL() << failure.toStdString();

    const bool holds = NeatVncHoldsPasswords();
    const bool onPort = c.served && holds;
    const bool onSocket = c.served && !holds && c.local;
    const QString socket = folder.path() + QStringLiteral("run/remote-view.sock");
    const auto tries = [](const std::function<bool()>& connect) {
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (connect()) return true;
            QThread::msleep(250);
        }
        return false;
    };
    RfbClient viewer;
    if (onSocket) {
        ASSERT_TRUE(tries([&] { return viewer.connectToSocket(socket, 1000); }))
            << kiosk.output().toStdString();
        // Only the kiosk's user (and root) can open it: a viewer there could skip the password.
        EXPECT_EQ(QFile::permissions(folder.path() + QStringLiteral("run")) &
                      (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                       QFile::WriteOther | QFile::ExeOther),
                  0);
        EXPECT_TRUE(viewer.securityTypes().contains(RfbClient::VeNCrypt));
    }
    RfbClient portViewer;
    const bool connected = tries([&] { return portViewer.connectTo(port, 1000); });
    EXPECT_EQ(connected, onPort) << kiosk.output().toStdString();
    const char* why = c.served && !holds && !c.local ? "needs neatvnc 0.8.1" : c.why;
    if (why) {
        EXPECT_TRUE(kiosk.output().contains(QLatin1String(why))) << kiosk.output().toStdString();
    }
    if (connected) {
        EXPECT_TRUE(portViewer.securityTypes().contains(RfbClient::VeNCrypt));
        EXPECT_FALSE(portViewer.securityTypes().contains(RfbClient::None));
        EXPECT_EQ(portViewer.joinWithoutAuthentication(), QSize());
    }
    session.stop();
    ASSERT_TRUE(kiosk.waitForExit(10000));
    EXPECT_EQ(kiosk.exitCode(), 0) << kiosk.output().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Settings, HelpDeskViewTest,
    ::testing::Values(
        ViewCase{"NoFile", nullptr, false, true, nullptr},
        ViewCase{"NotEnabled", "Enabled=false\n", false, true, nullptr},
        ViewCase{"ThisMachineWithoutPassword", "Enabled=true\n", false, true, "needs a Password="},
        ViewCase{"ThisMachineWithPassword", "Enabled=true\nPassword=s3cret\n", true, true, nullptr},
        // cage 0.1 takes no remote input (no virtual pointer protocol): still a view.
        ViewCase{"ControlAskedOfACompositorWithoutRemoteInput",
                 "Enabled=true\nControl=true\nPassword=s3cret\n", true, true,
                 "no remote input: view only"},
        ViewCase{"OtherAddressWithoutPassword", "Enabled=true\nAddress=0.0.0.0\n", false, false,
                 "needs a Password="},
        ViewCase{"OtherAddressWithPassword", "Enabled=true\nAddress=0.0.0.0\nPassword=s3cret\n",
                 true, false, nullptr}),
    [](const ::testing::TestParamInfo<ViewCase>& info) { return info.param.name; });

}  // namespace
