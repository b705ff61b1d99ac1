#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// The terminal service kpterminal as a process of its own, for tests: its settings file, its
// journal and the link's secret in a folder of its own, on a free port of 127.0.0.1. It runs
// without its window.
class TerminalProcess {
public:
    // configText: the settings file (the kiosk's PinPad.ini format with [Faults]); empty: a
    // terminal that approves at once. arguments: more options for every start.
    explicit TerminalProcess(const QString& configText = {}, QStringList arguments = {});
    ~TerminalProcess();  // kills it
    TerminalProcess(const TerminalProcess&) = delete;
    TerminalProcess& operator=(const TerminalProcess&) = delete;

    // Starts it and waits until it listens: the first start on a free port, every later one on
    // the same port and journal. Raises std::runtime_error when it does not come up.
    void start();
    quint16 port() const { return port_; }
    QString address() const;  // "127.0.0.1:port", as the kiosk's Terminal= key takes it

    // Replaces the settings file; the next start reads it.
    void setConfig(const QString& configText);
    QString journalPath() const;
    // The secret it shares with its kiosk, and the file it reads it from.
    QByteArray secret() const;
    QString secretPath() const;
    // Every record of the journal, in order; a torn last line is left out.
    QList<QJsonObject> journal() const;

    void kill();       // SIGKILL, and waits for the end
    void terminate();  // SIGTERM, without waiting
    bool waitForExit(int milliseconds);
    bool running() const;
    int exitCode() const;
    // What it wrote on stderr (its log) so far, over all its starts.
    QString log() const;

    // One request, authenticated as the kiosk does, and everything the terminal wrote back after
    // its challenge, as TerminalExchange::messages reads it. Waits until the terminal closes the
    // connection or the time runs out.
    QList<QJsonObject> exchange(const QJsonObject& request, int milliseconds = 10000) const;
    // The same with the request line as the test makes it, the terminal's nonce given.
    QList<QJsonObject> exchangeRaw(const std::function<QByteArray(const QByteArray&)>& line,
                                   int milliseconds = 10000) const;

private:
    QTemporaryDir dir_;
    QStringList arguments_;
    QProcess process_;
    quint16 port_ = 0;
};

// A request sent on a connection of its own, whose answer is read later: a payment that runs
// while other requests are made.
class TerminalExchange {
public:
    // The request line made from the terminal's nonce.
    using TRequestLine = std::function<QByteArray(const QByteArray& terminalNonce)>;

    // Connects, reads the challenge and writes the line; raises std::runtime_error when it
    // cannot connect or is not greeted with a challenge. The answer lines are authenticated
    // with secret, for the Nonce of the JSON the line carries.
    TerminalExchange(quint16 port, const QByteArray& secret, const TRequestLine& line);
    // The request authenticated with the secret, as the kiosk sends it.
    TerminalExchange(quint16 port, const QByteArray& secret, const QJsonObject& request);
    TerminalExchange(const TerminalProcess& terminal, const QJsonObject& request);
    ~TerminalExchange();
    TerminalExchange(const TerminalExchange&) = delete;
    TerminalExchange& operator=(const TerminalExchange&) = delete;

    // The terminal's greeting.
    const QJsonObject& challenge() const { return challenge_; }
    // What the terminal wrote after its challenge, one message a line, once it closed the
    // connection or the time ran out. A line that fails authentication comes back as
    // {"Unauthenticated": its text}, one that is not JSON as {"Unreadable": its text}.
    QList<QJsonObject> messages(int milliseconds = 10000);
    // True when the terminal closed the connection.
    bool closed() const;

private:
    std::unique_ptr<class QTcpSocket> socket_;
    QByteArray secret_;
    QByteArray clientNonce_;
    QJsonObject challenge_;
    QByteArray received_;
};

// The request line as the kiosk writes it: with a fresh Nonce, authenticated with secret.
QByteArray AuthenticatedRequest(const QByteArray& secret, const QByteArray& terminalNonce,
                                const QJsonObject& request);
