#include "support/TerminalProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTcpSocket>

#include <csignal>
#include <stdexcept>

#include "payment/uPaymentSettings.h"
#include "payment/uTerminalLink.h"

namespace {

constexpr int kStartMs = 15000;
constexpr int kGreetingMs = 5000;
const QByteArray kListening = "kpterminal listening on ";

void WriteFile(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0)
        throw std::runtime_error(("Cannot write " + path).toStdString());
}

QJsonObject ReadLine(const QByteArray& line) {
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (!document.isObject()) return {{QStringLiteral("Unreadable"), QString::fromUtf8(line)}};
    return document.object();
}

}  // namespace

TerminalProcess::TerminalProcess(const QString& configText, QStringList arguments)
    : arguments_(std::move(arguments)) {
    if (!dir_.isValid()) throw std::runtime_error("Cannot create a temporary folder");
    MakeTerminalSecret(secretPath());
    setConfig(configText.isEmpty() ? QStringLiteral("[PinPad]\nInteractive=false\n") : configText);
}

TerminalProcess::~TerminalProcess() {
    kill();
}

QString TerminalProcess::address() const {
    return QStringLiteral("127.0.0.1:%1").arg(port_);
}

void TerminalProcess::setConfig(const QString& configText) {
    WriteFile(dir_.filePath(QStringLiteral("terminal.ini")), configText);
}

QString TerminalProcess::journalPath() const {
    return dir_.filePath(QStringLiteral("Terminal/journal.jsonl"));
}

QString TerminalProcess::secretPath() const {
    return dir_.filePath(QStringLiteral("Terminal/secret"));
}

QByteArray TerminalProcess::secret() const {
    return ReadTerminalSecret(secretPath());
}

void TerminalProcess::start() {
    QStringList arguments{
        QStringLiteral("--listen"),   address(),
        QStringLiteral("--config"),   dir_.filePath(QStringLiteral("terminal.ini")),
        QStringLiteral("--journal"),  journalPath(),
        QStringLiteral("--secret"),   secretPath(),
        QStringLiteral("--no-window")};
    // The log goes to a file, so a long test never stops the terminal on a full pipe.
    process_.setStandardErrorFile(dir_.filePath(QStringLiteral("terminal.log")), QIODevice::Append);
    process_.start(QStringLiteral(KIOSK_TERMINAL_PROGRAM), arguments + arguments_);
    if (!process_.waitForStarted()) throw std::runtime_error("kpterminal did not start");
    const QDeadlineTimer deadline(kStartMs);
    QByteArray output;
    while (!output.contains('\n')) {
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
            throw std::runtime_error(
                ("kpterminal does not listen: " + log() + QString::fromUtf8(output)).toStdString());
        process_.waitForReadyRead(50);
        output += process_.readAllStandardOutput();
    }
    const QByteArray line = output.left(output.indexOf('\n'));
    if (!line.startsWith(kListening))
        throw std::runtime_error(("kpterminal said: " + QString::fromUtf8(line)).toStdString());
    port_ = quint16(line.mid(line.lastIndexOf(':') + 1).toUInt());
}

QList<QJsonObject> TerminalProcess::journal() const {
    QFile file(journalPath());
    QList<QJsonObject> records;
    if (!file.open(QIODevice::ReadOnly)) return records;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject()) records << document.object();
    }
    return records;
}

void TerminalProcess::kill() {
    if (process_.state() == QProcess::NotRunning) return;
    ::kill(pid_t(process_.processId()), SIGKILL);
    process_.waitForFinished();
}

void TerminalProcess::terminate() {
    if (process_.state() != QProcess::NotRunning) ::kill(pid_t(process_.processId()), SIGTERM);
}

bool TerminalProcess::waitForExit(int milliseconds) {
    return process_.state() == QProcess::NotRunning || process_.waitForFinished(milliseconds);
}

bool TerminalProcess::running() const {
    return process_.state() != QProcess::NotRunning;
}

int TerminalProcess::exitCode() const {
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

QString TerminalProcess::log() const {
    QFile file(dir_.filePath(QStringLiteral("terminal.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QList<QJsonObject> TerminalProcess::exchange(const QJsonObject& request, int milliseconds) const {
    return TerminalExchange(*this, request).messages(milliseconds);
}

QList<QJsonObject> TerminalProcess::exchangeRaw(
    const std::function<QByteArray(const QByteArray&)>& line, int milliseconds) const {
    return TerminalExchange(port_, secret(), line).messages(milliseconds);
}

QByteArray AuthenticatedRequest(const QByteArray& secret, const QByteArray& terminalNonce,
                                const QJsonObject& request) {
    QJsonObject withNonce = request;
    withNonce.insert(QStringLiteral("Nonce"), QString::fromLatin1(NewLinkNonce()));
    return TTerminalLink(secret).requestLine(
        terminalNonce, QJsonDocument(withNonce).toJson(QJsonDocument::Compact));
}

TerminalExchange::TerminalExchange(quint16 port, const QByteArray& secret, const TRequestLine& line)
    : socket_(std::make_unique<QTcpSocket>()), secret_(secret) {
    socket_->connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket_->waitForConnected(5000))
        throw std::runtime_error(
            ("Cannot connect to kpterminal: " + socket_->errorString()).toStdString());
    const QDeadlineTimer deadline(kGreetingMs);
    while (!received_.contains('\n') && !deadline.hasExpired())
        if (socket_->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            received_ += socket_->readAll();
    const qsizetype end = received_.indexOf('\n');
    const auto greeting = UnauthenticatedJson(received_.left(end));
    challenge_ = greeting ? QJsonDocument::fromJson(*greeting).object() : QJsonObject();
    if (end < 0 || challenge_.value("MessageType").toString() != "Challenge")
        throw std::runtime_error(
            ("kpterminal did not greet with a challenge: " + QString::fromUtf8(received_))
                .toStdString());
    received_.remove(0, end + 1);
    const QByteArray bytes = line(challenge_.value("Nonce").toString().toLatin1());
    const QByteArray json = bytes.mid(bytes.indexOf(' ') + 1).trimmed();
    clientNonce_ = QJsonDocument::fromJson(json).object().value("Nonce").toString().toLatin1();
    socket_->write(bytes);
    socket_->waitForBytesWritten(5000);
}

TerminalExchange::TerminalExchange(quint16 port, const QByteArray& secret,
                                   const QJsonObject& request)
    : TerminalExchange(port, secret, [&](const QByteArray& nonce) {
          return AuthenticatedRequest(secret, nonce, request);
      }) {}

TerminalExchange::TerminalExchange(const TerminalProcess& terminal, const QJsonObject& request)
    : TerminalExchange(terminal.port(), terminal.secret(), request) {}

TerminalExchange::~TerminalExchange() = default;

QList<QJsonObject> TerminalExchange::messages(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (socket_->state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket_->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        received_ += socket_->readAll();
    }
    received_ += socket_->readAll();
    const TTerminalLink link(secret_);
    QList<QJsonObject> messages;
    int sequence = 0;
    for (const QByteArray& line : received_.split('\n')) {
        if (line.isEmpty()) continue;
        const auto json = link.openAnswer(line, clientNonce_, ++sequence);
        messages << (json ? ReadLine(*json)
                          : QJsonObject{
                                {QStringLiteral("Unauthenticated"), QString::fromUtf8(line)}});
    }
    return messages;
}

bool TerminalExchange::closed() const {
    return socket_->state() != QAbstractSocket::ConnectedState;
}
