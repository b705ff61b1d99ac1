#include "terminal/uTerminalConnection.h"

#include <QTcpSocket>

#include "terminal/uTerminalProtocol.h"

namespace {

// A client that connects and says nothing does not hold a connection for ever.
constexpr int kRequestTimeoutMs = 30000;

}  // namespace

TTerminalConnection::TTerminalConnection(QTcpSocket* socket, QObject* parent)
    : QObject(parent), socket_(socket) {
    socket_->setParent(this);
    connect(socket_, &QTcpSocket::readyRead, this, &TTerminalConnection::readRequest);
    connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    idle_.setSingleShot(true);
    connect(&idle_, &QTimer::timeout, this, [this] {
        finish(TerminalProtocol::Error(
            QStringLiteral("No request within %1 s").arg(kRequestTimeoutMs / 1000)));
    });
    idle_.start(kRequestTimeoutMs);
}

void TTerminalConnection::readRequest() {
    if (received_) {
        socket_->readAll();  // one request per connection: the rest is not read
        return;
    }
    buffer_ += socket_->readAll();
    const qsizetype end = buffer_.indexOf('\n');
    if (end < 0) {
        if (buffer_.size() > TerminalProtocol::MaxRequestBytes) {
            received_ = true;
            finish(TerminalProtocol::Error(QStringLiteral("The request is longer than %1 bytes")
                                               .arg(TerminalProtocol::MaxRequestBytes)));
        }
        return;
    }
    received_ = true;
    idle_.stop();
    QByteArray line = buffer_.left(end);
    if (line.endsWith('\r')) line.chop(1);
    buffer_.clear();
    emit request(line);
}

void TTerminalConnection::send(const QJsonObject& message) {
    if (socket_->state() != QAbstractSocket::ConnectedState) return;
    socket_->write(TerminalProtocol::Line(message));
    // Now rather than at the next turn of the event loop, which a stopping service may not take.
    socket_->flush();
}

void TTerminalConnection::finish(const QJsonObject& message) {
    send(message);
    drop();
}

void TTerminalConnection::drop() {
    idle_.stop();
    if (socket_->state() == QAbstractSocket::UnconnectedState)
        deleteLater();
    else
        socket_->disconnectFromHost();  // after what is still to be written
}
