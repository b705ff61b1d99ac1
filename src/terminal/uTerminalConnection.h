#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QTimer>

class QTcpSocket;

// One client of the terminal: it writes one request line, reads what the terminal writes back
// and is closed after the answer. The object deletes itself once the client is gone.
class TTerminalConnection : public QObject {
    Q_OBJECT
public:
    // Takes over the socket.
    explicit TTerminalConnection(QTcpSocket* socket, QObject* parent = nullptr);

    // A message that is not the last, e.g. a Display line.
    void send(const QJsonObject& message);
    // The answer: written, then the connection is closed.
    void finish(const QJsonObject& message);
    // Closes the connection without an answer.
    void drop();

signals:
    // The request line, without its "\n". Emitted once.
    void request(const QByteArray& line);

private:
    void readRequest();

    QTcpSocket* socket_;
    QByteArray buffer_;
    QTimer idle_;
    bool received_ = false;
};
