// The help desk's view of an installed kiosk's screen: the kiosk session serves it over VNC
// when the data folder's RemoteView.ini asks, view only unless control is given, on another
// address than this machine's only with a password.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTcpServer>
#include <QThread>

#include "kiosk/fm_main.h"
#include "support/CageSession.h"
#include "support/KioskProcess.h"
#include "support/RfbClient.h"
#include "support/VirtualDisplay.h"

namespace {

// Where Find is drawn; its page replaces the sale page's left part.
const QPoint kFind(550, 717);

quint16 FreePort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// Whether the sale page's part below the top bar (whose clock ticks) differs between the two.
bool PageChanged(const QImage& before, const QImage& after) {
    for (int y = 120; y < 600; y += 20)
        for (int x = 0; x < 740; x += 20)
            if (before.pixel(x, y) != after.pixel(x, y)) return true;
    return false;
}

struct ViewCase {
    const char* name;
    const char* settings;  // RemoteView.ini after its section line; nullptr: no file
    bool served;
    bool control;        // a click through the view reaches the kiosk
    bool passwordAsked;  // only VeNCrypt (TLS and a password) is offered
    const char* why;     // the session's word when it serves nothing
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

    RfbClient viewer;
    bool connected = false;
    for (int attempt = 0; attempt < 20 && !connected; ++attempt) {
        connected = viewer.connectTo(port, 1000);
        if (!connected) QThread::msleep(250);
    }
    EXPECT_EQ(connected, c.served) << kiosk.output().toStdString();
    if (c.why) {
        EXPECT_TRUE(kiosk.output().contains(QLatin1String(c.why))) << kiosk.output().toStdString();
    }
    if (connected && c.passwordAsked) {
        EXPECT_TRUE(viewer.securityTypes().contains(RfbClient::VeNCrypt));
        EXPECT_FALSE(viewer.securityTypes().contains(RfbClient::None));
    } else if (connected) {
        ASSERT_TRUE(viewer.securityTypes().contains(RfbClient::None));
        EXPECT_EQ(viewer.joinWithoutAuthentication(), TFmMain::DesignSize);
        const QImage before = session.grab();
        viewer.click(kFind);
        QThread::msleep(1500);
        EXPECT_EQ(PageChanged(before, session.grab()), c.control);
    }
    session.stop();
    ASSERT_TRUE(kiosk.waitForExit(10000));
    EXPECT_EQ(kiosk.exitCode(), 0) << kiosk.output().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Settings, HelpDeskViewTest,
    ::testing::Values(ViewCase{"NoFile", nullptr, false, false, false, nullptr},
                      ViewCase{"NotEnabled", "Enabled=false\n", false, false, false, nullptr},
                      ViewCase{"ViewOnly", "Enabled=true\n", true, false, false, nullptr},
                      // cage 0.1 takes no remote input (no virtual pointer protocol): still a view.
                      ViewCase{"ControlAskedOfACompositorWithoutRemoteInput",
                               "Enabled=true\nControl=true\n", true, false, false,
                               "no remote input: view only"},
                      ViewCase{"OtherAddressWithoutPassword", "Enabled=true\nAddress=0.0.0.0\n",
                               false, false, false, "needs a Password="},
                      ViewCase{"OtherAddressWithPassword",
                               "Enabled=true\nAddress=0.0.0.0\nPassword=s3cret\n", true, false,
                               true, nullptr}),
    [](const ::testing::TestParamInfo<ViewCase>& info) { return info.param.name; });

}  // namespace
