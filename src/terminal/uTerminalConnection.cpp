#include "terminal/uTerminalConnection.h"

#include <QJsonDocument>
#include <QTcpSocket>

#include "terminal/uTerminalProtocol.h"

namespace {

// A client that connects and says nothing does not hold a connection for ever.
constexpr int kRequestTimeoutMs = 30000;

}  // namespace

TTerminalConnection::TTerminalConnection(QTcpSocket* socket, const TTerminalLink& link,
                                         const TTerminalIdentity& identity, QObject* parent)
    : QObject(parent),
      socket_(socket),
      link_(link),
      identity_(identity),
      terminalNonce_(NewLinkNonce()) {
    socket_->setParent(this);
    connect(socket_, &QTcpSocket::readyRead, this, &TTerminalConnection::readRequest);
    connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    idle_.setSingleShot(true);
    connect(&idle_, &QTimer::timeout, this, [this] {
        finish(TerminalProtocol::Error(
            QStringLiteral("No request within %1 s").arg(kRequestTimeoutMs / 1000)));
    });
    idle_.start(kRequestTimeoutMs);
    send(TerminalProtocol::Challenge(terminalNonce_, identity_.terminalId, identity_.journalId));
}

QString TTerminalConnection::peer() const {
    return QStringLiteral("%1:%2").arg(socket_->peerAddress().toString()).arg(socket_->peerPort());
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
    authenticate(line);
}

void TTerminalConnection::authenticate(const QByteArray& line) {
    const auto json = link_.openRequest(line, terminalNonce_);
    if (!json) return refuse(QStringLiteral("its MAC is missing or wrong"));
    // The answers are authenticated for the client's nonce: without one they could be replayed.
    const QByteArray nonce =
        QJsonDocument::fromJson(*json).object().value(u"Nonce").toString().toLatin1();
    if (!IsLinkNonce(nonce)) return refuse(QStringLiteral("it carries no Nonce"));
    clientNonce_ = nonce;
    emit request(*json);
}

void TTerminalConnection::refuse(const QString& reason) {
    emit refused(reason);
    finish(TerminalProtocol::Error(QStringLiteral("The request is not authenticated")));
}

void TTerminalConnection::send(const QJsonObject& message) {
    if (socket_->state() != QAbstractSocket::ConnectedState) return;
    const QByteArray json = TerminalProtocol::Json(message);
    socket_->write(clientNonce_.isEmpty() ? UnauthenticatedLine(json)
                                          : link_.answerLine(clientNonce_, ++sequence_, json));
    // Now rather than at the next turn of the event loop, which a stopping service may not take.
    socket_->flush();
}

void TTerminalConnection::finish(const QJsonObject& message) {
    QJsonObject answer = message;
    // A journalled payment keeps the terminal id it was decided (and its receipt printed) with.
    if (!answer.contains(u"TerminalId"))
        answer.insert(QStringLiteral("TerminalId"), identity_.terminalId);
    answer.insert(QStringLiteral("JournalId"), identity_.journalId);
    send(answer);
    drop();
}

void TTerminalConnection::drop() {
    idle_.stop();
    if (socket_->state() == QAbstractSocket::UnconnectedState)
        deleteLater();
    else
        socket_->disconnectFromHost();  // after what is still to be written
}
