#pragma once

#include <QByteArray>
#include <QLocalSocket>
#include <QSize>
#include <QString>
#include <QTcpSocket>
#include <QVector>

// The viewer's side of the remote framebuffer protocol (RFB 3.8), as far as tests of a VNC
// server need it: the security types offered, the screen it serves, and pointer events.
class RfbClient {
public:
    enum SecurityType : quint8 { None = 1, VncAuth = 2, VeNCrypt = 19 };

    // Connects and exchanges versions; false when nothing answers as a VNC server.
    bool connectTo(quint16 port, int timeoutMs);
    // The same over a local (Unix domain) socket.
    bool connectToSocket(const QString& path, int timeoutMs);
    QVector<quint8> securityTypes() const { return securityTypes_; }
    // Takes security type None and joins the shared session; the screen's size, empty on failure.
    QSize joinWithoutAuthentication();
    // A press and release of the first button at a point, as a mouse click.
    void click(const QPoint& point);

private:
    bool exchangeVersions();
    QByteArray read(qint64 size);
    void write(const QByteArray& data);

    QTcpSocket socket_;
    QLocalSocket local_;
    QIODevice* device_ = &socket_;
    QVector<quint8> securityTypes_;
};
