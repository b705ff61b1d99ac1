#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include "payment/uPaymentClient.h"
#include "payment/uTerminalLink.h"

class QTcpSocket;

// One client of the terminal: greeted with a challenge, it writes one request line, reads what
// the terminal writes back and is closed after the answer. Only a request authenticated with
// the link's secret reaches the service; the lines written back are authenticated for that
// request's nonce. The object deletes itself once the client is gone.
class TTerminalConnection : public QObject {
    Q_OBJECT
public:
    // Takes over the socket and writes the challenge, naming the terminal by identity. The link
    // must outlive the connection.
    TTerminalConnection(QTcpSocket* socket, const TTerminalLink& link,
                        const TTerminalIdentity& identity, QObject* parent = nullptr);

    // A message that is not the last, e.g. a Display line.
    void send(const QJsonObject& message);
    // The answer, carrying the terminal's identity: written, then the connection is closed.
    void finish(const QJsonObject& message);
    // Closes the connection without an answer.
    void drop();
    // The client's address, for the log.
    QString peer() const;

signals:
    // The JSON of the authenticated request line. Emitted once.
    void request(const QByteArray& json);
    // A request that failed authentication, answered already with an Error and not acted on.
    void refused(const QString& reason);

private:
    void readRequest();
    void authenticate(const QByteArray& line);
    void refuse(const QString& reason);

    QTcpSocket* socket_;
    const TTerminalLink& link_;
    TTerminalIdentity identity_;
    QByteArray terminalNonce_;
    QByteArray clientNonce_;  // the authenticated request's; empty before
    int sequence_ = 0;        // of the last line written to the authenticated request
    QByteArray buffer_;
    QTimer idle_;
    bool received_ = false;
};
