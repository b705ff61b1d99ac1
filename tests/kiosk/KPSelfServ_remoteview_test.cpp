// The remote view of ./kiosk serve (and so ./kiosk run) on a machine without a display: a real
// browser opens the address it prints and shows the kiosk's main screen.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <csignal>

#include "kiosk/MainScreenFixture.h"
#include "support/KioskProcess.h"
#include "support/RfbClient.h"

namespace {

constexpr int kStartTimeout = 120000;
// How long the browser's page waits for the view to connect and draw before its picture is taken.
constexpr int kViewTimeMs = 5000;

QString whyNoRemoteView(std::initializer_list<const char*> tools = {"chromium", "websockify",
                                                                    "x11vnc", "Xvfb"}) {
    for (const char* tool : tools)
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
    if (!QFile::exists(QStringLiteral("/usr/share/novnc/vnc.html")))
        return QStringLiteral("noVNC is not installed");
    return {};
}

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// An address whose answer comes only after a while: a picture on the browser's page loads
// from it, so the page counts as loaded (and its screenshot is taken) once the view has had
// that time to connect and draw.
class SlowAnswer {
public:
    explicit SlowAnswer(int delayMs) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this, delayMs] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QTimer::singleShot(delayMs, socket, [socket] {
                    socket->write("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort()); }

private:
    QTcpServer server_;
};

// Headless Chromium's screenshot of a page of the given size; empty when it cannot start.
QImage BrowserShot(const QString& page, const QSize& size, const QString& folder, QString& output) {
    const QString file = folder + QStringLiteral("/browser.png");
    QProcess browser;
    browser.setProcessChannelMode(QProcess::MergedChannels);
    browser.start(
        QStringLiteral("chromium"),
        {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
         QStringLiteral("--disable-gpu"), QStringLiteral("--disable-quic"),
         QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
         QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
         QStringLiteral("--hide-scrollbars"),
         QStringLiteral("--user-data-dir=") + folder + QStringLiteral("/profile"),
         QStringLiteral("--window-size=%1,%2").arg(size.width()).arg(size.height()),
         QStringLiteral("--virtual-time-budget=1000"), QStringLiteral("--screenshot=") + file,
         QUrl::fromLocalFile(page).toString()});
    // The slow answer is served from this thread while the browser runs.
    QEventLoop loop;
    QObject::connect(&browser, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&browser, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(90000, &loop, &QEventLoop::quit);
    if (browser.state() != QProcess::NotRunning) loop.exec();
    if (browser.state() != QProcess::NotRunning) browser.kill();
    browser.waitForFinished();
    output = QString::fromLocal8Bit(browser.readAll());
    return QImage(file);
}

// The share of sampled pixels that differ clearly between two pictures of one size.
double DifferentShare(const QImage& a, const QImage& b) {
    int samples = 0;
    int different = 0;
    for (int y = 0; y < a.height(); y += 3)
        for (int x = 0; x < a.width(); x += 3) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            ++samples;
            if (std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
                    std::abs(p.blue() - q.blue()) >
                60)
                ++different;
        }
    return samples ? double(different) / samples : 1;
}

// The status line of a WebSocket handshake on the view's port from a page of the origin.
QByteArray WebSocketAnswer(quint16 port, const QString& origin) {
    // websockify takes a moment to listen after it started.
    QTcpSocket socket;
    for (const QDeadlineTimer deadline(20000);
         socket.state() != QAbstractSocket::ConnectedState && !deadline.hasExpired();) {
        socket.abort();
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(1000)) QThread::msleep(250);
    }
    if (socket.state() != QAbstractSocket::ConnectedState) return {};
    socket.write(QStringLiteral("GET /websockify HTTP/1.1\r\nHost: localhost:%1\r\n"
                                "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                "Sec-WebSocket-Version: 13\r\nOrigin: %2\r\n\r\n")
                     .arg(port)
                     .arg(origin)
                     .toLatin1());
    for (const QDeadlineTimer deadline(5000); !socket.canReadLine() && !deadline.hasExpired();)
        socket.waitForReadyRead(100);
    return socket.readLine().trimmed();
}

// ./kiosk serve on a machine without a display, its view on free ports; stopped at the end.
class ServedKiosk {
public:
    ServedKiosk() : process_(folder_) {
        process_.environment().remove(QStringLiteral("DISPLAY"));
        process_.environment().remove(QStringLiteral("WAYLAND_DISPLAY"));
        process_.environment().insert(QStringLiteral("KIOSK_VNC_PORT"), QString::number(vncPort));
        process_.environment().insert(QStringLiteral("KIOSK_VIEW_PORT"), QString::number(viewPort));
        process_.start({QStringLiteral("bash"), QStringLiteral(KIOSK_SOURCE_DIR "/kiosk"),
                        QStringLiteral("serve"), folder_.path()});
    }
    ~ServedKiosk() { stop(); }
    void stop() {
        process_.signalGroup(SIGTERM);
        process_.waitForExit(10000);
    }
    KioskProcess& process() { return process_; }

    // The address it printed before the kiosk started (its pipe read as it comes); empty when
    // none came.
    QString address() {
        const QRegularExpression link(QStringLiteral("http://localhost:\\d+/[^\\s\\x1b]*"));
        QRegularExpressionMatch match;
        for (const QDeadlineTimer deadline(5000); !match.hasMatch() && !deadline.hasExpired();
             QThread::msleep(50))
            match = link.match(printed += process_.output());
        return match.captured();
    }

    const quint16 vncPort = freePort();
    const quint16 viewPort = freePort();
    QString printed;

private:
    KioskFolder folder_;
    KioskProcess process_;
};

class RemoteViewTest : public MainScreenFixture {};

TEST_F(RemoteViewTest, TheViewAsksForThePrintedPasswordAndServesItsOwnPageAlone) {
    if (const QString reason = whyNoRemoteView({"websockify", "x11vnc", "Xvfb"}); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    ServedKiosk served;
    ASSERT_TRUE(served.process().waitFor("READY=1", kStartTimeout))
        << served.process().output().toStdString();
    const QString address = served.address();
    ASSERT_FALSE(address.isEmpty()) << served.printed.toStdString();
    const QString password = QRegularExpression(QStringLiteral("password for this run: (\\S+)\\)"))
                                 .match(served.printed)
                                 .captured(1);
    EXPECT_EQ(password.size(), 8) << served.printed.toStdString();
    EXPECT_TRUE(address.endsWith(QStringLiteral("&password=") + password)) << address.toStdString();

    // VNC asks for a password; a viewer without it is turned away.
    // x11vnc takes a moment to listen after it started.
    RfbClient viewer;
    bool connected = false;
    for (const QDeadlineTimer deadline(20000); !connected && !deadline.hasExpired();
         QThread::msleep(connected ? 0 : 250))
        connected = viewer.connectTo(served.vncPort, 1000);
    ASSERT_TRUE(connected) << served.printed.toStdString();
    EXPECT_EQ(viewer.securityTypes(), QVector<quint8>{RfbClient::VncAuth});
    EXPECT_EQ(viewer.joinWithoutAuthentication(), QSize());
    // The WebSocket bridge takes the view's own page alone.
    EXPECT_TRUE(
        WebSocketAnswer(served.viewPort, QStringLiteral("http://localhost:%1").arg(served.viewPort))
            .contains(" 101 "));
    const QByteArray foreign =
        WebSocketAnswer(served.viewPort, QStringLiteral("http://example.com"));
    EXPECT_FALSE(foreign.isEmpty());
    EXPECT_FALSE(foreign.contains(" 101 ")) << foreign.toStdString();
}

TEST_F(RemoteViewTest, ABrowserOpeningThePrintedAddressShowsTheMainScreen) {
    if (const QString reason = whyNoRemoteView(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    // The kiosk's own picture of its main screen, the clock's line left out below.
    const QImage own = screen().grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(own.size(), QSize(1024, 768));

    ServedKiosk served;
    ASSERT_TRUE(served.process().waitFor("READY=1", kStartTimeout))
        << served.process().output().toStdString();
    const QString address = served.address();
    ASSERT_FALSE(address.isEmpty()) << served.printed.toStdString();

    // The printed address in a page of the design's size, as a help desk's browser opens it.
    QTemporaryDir work;
    SlowAnswer wait(kViewTimeMs);
    const QString page = work.filePath(QStringLiteral("view.html"));
    QFile html(page);
    ASSERT_TRUE(html.open(QIODevice::WriteOnly));
    html.write(QStringLiteral("<html><body style=\"margin:0;overflow:hidden\">"
                              "<iframe src=\"%1\" width=\"1024\" height=\"768\" "
                              "style=\"border:0;display:block\"></iframe>"
                              "<img src=\"%2\" width=\"1\" height=\"1\"></body></html>")
                   .arg(address, wait.url())
                   .toUtf8());
    html.close();
    QString browserOutput;
    const QImage shot = BrowserShot(page, TFmMain::DesignSize, work.path(), browserOutput);
    served.stop();
    if (shot.isNull())
        GTEST_SKIP() << "chromium cannot start here: " << browserOutput.toStdString();
    QDir().mkpath(QStringLiteral(KIOSK_SCREENSHOTS));
    shot.save(QStringLiteral(KIOSK_SCREENSHOTS "/remote-view.png"));

    ASSERT_EQ(shot.size(), QSize(1024, 768));
    // The clock, the view's control bar at the left edge and its "Connected" note at the top
    // aside, the browser shows the kiosk's picture.
    const QImage seen = shot.convertToFormat(QImage::Format_RGB32);
    for (const QRect compared : {QRect(60, 40, 640, 728), QRect(700, 101, 324, 667)}) {
        const double share = DifferentShare(own.copy(compared), seen.copy(compared));
        EXPECT_LT(share, 0.02) << "see " KIOSK_SCREENSHOTS "/remote-view.png";
    }
}

}  // namespace
