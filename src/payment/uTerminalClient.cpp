#include "payment/uTerminalClient.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QRegularExpression>
#include <optional>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/uStopSignals.h"

namespace {

constexpr int kPollMs = 20;
// Within the two seconds a stop allows, with room for the rest of the stop.
constexpr int kAbortTimeoutMs = 1000;

QString Text(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString();
}
int Number(const QJsonObject& o, const char* key, int fallback = 0) {
    return o.value(QLatin1String(key)).toInt(fallback);
}
QByteArray Json(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// Every digit of a card number but its first six and last four, also written with spaces or
// dashes between groups.
QString MaskCardNumbers(const QString& text) {
    static const QRegularExpression number(QStringLiteral("\\d(?:[ -]?\\d){10,}"));
    QString masked = text;
    auto match = number.match(masked);
    while (match.hasMatch()) {
        QString digits = match.captured().remove(QRegularExpression(QStringLiteral("[ -]")));
        digits.replace(6, digits.size() - 10, QString(digits.size() - 10, u'*'));
        masked.replace(match.capturedStart(), match.capturedLength(), digits);
        match = number.match(masked, match.capturedStart() + digits.size());
    }
    return masked;
}

// An answer as the log may show it: no receipt, no authorisation code, no card number. The
// references and ids that say which transaction it was stay readable: a card number in any
// other text is masked.
QString MaskedForLog(const QJsonObject& answer) {
    static const QStringList ids{QStringLiteral("SaleTransactionID"),
                                 QStringLiteral("POITransactionID"),
                                 QStringLiteral("ReversalPOITransactionID"),
                                 QStringLiteral("ReversedPOITransactionID"),
                                 QStringLiteral("TerminalId"),
                                 QStringLiteral("JournalId"),
                                 QStringLiteral("MerchantNo"),
                                 QStringLiteral("Time")};
    QJsonObject masked;
    for (auto it = answer.begin(); it != answer.end(); ++it) {
        if (it.key() == u"CustomerReceipt" || it.key() == u"AuthorisationCode")
            masked.insert(it.key(), QStringLiteral("(masked)"));
        else if (it.value().isString() && !ids.contains(it.key()))
            masked.insert(it.key(), MaskCardNumbers(it.value().toString()));
        else
            masked.insert(it.key(), it.value());
    }
    return QString::fromUtf8(Json(masked));
}

// One connection to the terminal: connects within the time limit, sends a line, reads lines.
class LineConnection {
public:
    LineConnection(const TTerminalAddress& address, const QString& call) : call_(call) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const QByteArray host = address.host.toUtf8();
        const QByteArray port = QByteArray::number(address.port);
        if (const int error = ::getaddrinfo(host.constData(), port.constData(), &hints, &found))
            unavailable(QString::fromUtf8(::gai_strerror(error)));
        QString lastError;
        for (addrinfo* a = found; a && fd_ < 0; a = a->ai_next) lastError = tryConnect(*a, address);
        ::freeaddrinfo(found);
        if (fd_ < 0) unavailable(lastError);
    }
    ~LineConnection() {
        if (fd_ >= 0) ::close(fd_);
    }
    LineConnection(const LineConnection&) = delete;
    LineConnection& operator=(const LineConnection&) = delete;

    void send(const QByteArray& line) {
        qsizetype sent = 0;
        while (sent < line.size()) {
            const ssize_t n =
                ::send(fd_, line.constData() + sent, size_t(line.size() - sent), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) {
                pollFor(POLLOUT, kPollMs);
                continue;
            }
            // Part of the request may have left: from here on the answer is in doubt.
            if (n < 0) noAnswer(QString::fromLocal8Bit(std::strerror(errno)));
            sent += n;
        }
    }

    // The next line, waiting at most until the timer reaches limitMs.
    // interruptible: a stop signal ends the wait (an Abort on the way out is not).
    QByteArray readLine(const QElapsedTimer& timer, int limitMs,
                        const std::function<void()>& keepAlive, bool interruptible) {
        for (;;) {
            const qsizetype end = buffer_.indexOf('\n');
            if (end >= 0) {
                QByteArray line = buffer_.left(end);
                buffer_.remove(0, end + 1);
                return line;
            }
            if (interruptible && StopRequested()) throw TPaymentInterrupted();
            if (timer.elapsed() >= limitMs) noAnswer(QStringLiteral("no answer in time"));
            if (pollFor(POLLIN, int(std::min<qint64>(kPollMs, limitMs - timer.elapsed()))))
                receive();
            if (keepAlive) keepAlive();
        }
    }

private:
    QString tryConnect(const addrinfo& a, const TTerminalAddress& address) {
        const int fd =
            ::socket(a.ai_family, a.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a.ai_protocol);
        if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
        int error = ::connect(fd, a.ai_addr, a.ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, address.connectTimeoutMs);
            socklen_t length = sizeof error;
            error = ready <= 0                                                     ? ETIMEDOUT
                    : ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 ? errno
                                                                                   : error;
        }
        if (error != 0) {
            ::close(fd);
            return QString::fromLocal8Bit(std::strerror(error));
        }
        fd_ = fd;
        return {};
    }
    bool pollFor(short events, int ms) {
        pollfd p{fd_, events, 0};
        const int ready = ::poll(&p, 1, std::max(ms, 0));
        return ready > 0;
    }
    void receive() {
        char chunk[4096];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer_.append(chunk, n);
        } else if (n == 0) {
            noAnswer(QStringLiteral("the terminal closed the connection without an answer"));
        } else if (errno != EINTR && errno != EAGAIN) {
            noAnswer(QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
    [[noreturn]] void unavailable(const QString& reason) const {
        throw TTerminalUnavailable(call_,
                                   QStringLiteral("the terminal cannot be reached: ") + reason);
    }
    [[noreturn]] void noAnswer(const QString& reason) const {
        throw TTerminalNoAnswer(call_, reason);
    }

    QString call_;
    int fd_ = -1;
    QByteArray buffer_;
};

class AnswerTransactionInfo : public TransactionInfo {
public:
    explicit AnswerTransactionInfo(QJsonObject answer) : a_(std::move(answer)) {}
    int ResponseCode() const override { return Number(a_, "ResponseCode"); }
    QString AuthorisationCode() const override { return Text(a_, "AuthorisationCode"); }
    QString MerchantNo() const override { return Text(a_, "MerchantNo"); }
    QString TerminalId() const override { return Text(a_, "TerminalId"); }
    QString SchemeName() const override { return Text(a_, "SchemeName"); }
    QString PanFirst6Digits() const override { return Text(a_, "PanFirst6Digits"); }
    QString PanLast4Digits() const override { return Text(a_, "PanLast4Digits"); }
    QString DccCurrencyCode() const override { return Text(a_, "DccCurrencyCode"); }
    QString CustomerReceipt() const override { return Text(a_, "CustomerReceipt"); }
    int CustomerVerification() const override { return Number(a_, "CustomerVerification"); }
    int DataEntryMethod() const override { return Number(a_, "DataEntryMethod"); }
    QString PoiTransactionId() const override { return Text(a_, "POITransactionID"); }

    void take(QJsonObject answer) { a_ = std::move(answer); }

private:
    QJsonObject a_;
};

class TerminalTillInformation : public TillInformation {
public:
    void setMerchantName(const QString& value) override { merchant[u"MerchantName"] = value; }
    void setAddress1(const QString& value) override { merchant[u"Address1"] = value; }
    void setAddress2(const QString& value) override { merchant[u"Address2"] = value; }
    void setAddress3(const QString& value) override { merchant[u"Address3"] = value; }
    void setPhoneNumber(const QString& value) override { merchant[u"PhoneNumber"] = value; }
    QJsonObject merchant;
};

// One payment: the whole request goes to the terminal at StartTransaction, whose answer the
// later steps read back.
class TerminalTransactionHook : public NonGuiTransactionHook {
public:
    TerminalTransactionHook(const TTerminalClient& client, int answerTimeoutMs)
        : client_(client), answerTimeoutMs_(answerTimeoutMs) {}

    void PrepareTransaction(const QString& reference, int amount) override {
        reference_ = reference;
        amount_ = amount;
    }
    bool StartTransaction(TillInformation& till) override {
        QJsonObject request{
            {"MessageType", "Payment"}, {"SaleTransactionID", reference_}, {"Amount", amount_}};
        if (auto* details = dynamic_cast<TerminalTillInformation*>(&till))
            request[u"Merchant"] = details->merchant;
        answer_ = client_.exchange(request, answerTimeoutMs_,
                                   [this](const QString& text) { status_ = text; });
        status_.clear();
        // Without a known Result the terminal's decision is unknown: in doubt, never declined.
        static const QStringList results{QStringLiteral("Approved"), QStringLiteral("Declined"),
                                         QStringLiteral("Aborted"), QStringLiteral("Failure")};
        if (Text(answer_, "MessageType") != u"PaymentResponse" ||
            Text(answer_, "SaleTransactionID") != reference_ ||
            !results.contains(Text(answer_, "Result")))
            throw TTerminalNoAnswer(
                QStringLiteral("Payment"),
                QStringLiteral("the terminal answered with \"%1\"").arg(MaskedForLog(answer_)));
        if (Text(answer_, "Result") == u"Failure")
            throw TPaymentClientError(QStringLiteral("Payment"), Text(answer_, "ErrorCondition"));
        return answer_.value(u"Connected").toBool(true);
    }
    int CardEnquiry(int, int transactionAmount, int) override {
        if (transactionAmount != amount_)
            throw TPaymentClientError(QStringLiteral("CardEnquiry"),
                                      QStringLiteral("the amount differs from the payment's"));
        return Number(answer_, "CardEnquiryResult");
    }
    int AuthoriseTransaction(int, TransactionInfo& info) override {
        if (auto* result = dynamic_cast<AnswerTransactionInfo*>(&info)) result->take(answer_);
        return Number(answer_, "AuthoriseResult");
    }
    bool ConfirmTransaction(int, const QString&, const QString&, TransactionInfo&) override {
        return true;  // the terminal completed the payment with its answer
    }
    void AbortTransaction() override {}
    void EndTransaction() override {}
    QString StatusMessage() override { return status_; }

private:
    const TTerminalClient& client_;
    int answerTimeoutMs_;
    QString reference_;
    int amount_ = 0;
    QJsonObject answer_;
    QString status_;
};

// Nothing for a Result the kiosk does not know: the terminal's state is then unknown.
std::optional<TTerminalStatus::State> StateOf(const QString& result) {
    using State = TTerminalStatus::State;
    if (result == u"Approved") return State::Approved;
    if (result == u"Declined" || result == u"Failure") return State::Declined;  // not charged
    if (result == u"Aborted") return State::Aborted;
    if (result == u"Reversed") return State::Reversed;
    if (result == u"InProgress") return State::InProgress;
    if (result == u"NotFound") return State::NotFound;
    return std::nullopt;
}

TTerminalIdentity IdentityOf(const QJsonObject& answer) {
    return {Text(answer, "TerminalId"), Text(answer, "JournalId")};
}

// The nonce of the terminal's greeting, the first line on every connection. A terminal that
// does not greet so has not read anything yet: it is unavailable.
QByteArray ReadChallenge(LineConnection& connection, const TTerminalAddress& address,
                         const std::function<void()>& keepAlive, const QString& call,
                         bool interruptible) {
    QElapsedTimer timer;
    timer.start();
    QByteArray line;
    try {
        line = connection.readLine(timer, address.connectTimeoutMs,
                                   interruptible ? keepAlive : nullptr, interruptible);
    } catch (const TTerminalNoAnswer& e) {
        throw TTerminalUnavailable(
            call,
            QStringLiteral("the terminal did not greet: %1").arg(QString::fromUtf8(e.what())));
    }
    const auto json = UnauthenticatedJson(line);
    const QJsonObject challenge = json ? QJsonDocument::fromJson(*json).object() : QJsonObject();
    const QByteArray nonce = Text(challenge, "Nonce").toLatin1();
    if (Text(challenge, "MessageType") != u"Challenge" || !IsLinkNonce(nonce))
        throw TTerminalUnavailable(call,
                                   QStringLiteral("the terminal did not greet with a challenge"));
    return nonce;
}

}  // namespace

std::unique_ptr<TransactionInfo> TransactionInfoFromAnswer(const QJsonObject& answer) {
    return std::make_unique<AnswerTransactionInfo>(answer);
}

TTerminalClient::TTerminalClient(TTerminalAddress address, std::function<void()> keepAlive)
    : address_(std::move(address)), link_(address_.secret), keepAlive_(std::move(keepAlive)) {}

std::unique_ptr<TillInformation> TTerminalClient::CreateTillInformation() {
    return std::make_unique<TerminalTillInformation>();
}

std::unique_ptr<TransactionInfo> TTerminalClient::CreateTransactionInfo() {
    return std::make_unique<AnswerTransactionInfo>(QJsonObject{});
}

std::unique_ptr<NonGuiTransactionHook> TTerminalClient::CreateNonGuiTransactionHook() {
    return std::make_unique<TerminalTransactionHook>(*this, address_.answerTimeoutMs);
}

QJsonObject TTerminalClient::exchange(const QJsonObject& request, int answerTimeoutMs,
                                      const std::function<void(const QString&)>& onDisplay,
                                      bool interruptible) const {
    const QString call = Text(request, "MessageType");
    if (address_.secret.isEmpty())
        throw TTerminalUnavailable(call, QStringLiteral("the terminal link has no secret"));
    LineConnection connection(address_, call);
    const QByteArray terminalNonce =
        ReadChallenge(connection, address_, keepAlive_, call, interruptible);
    const QByteArray clientNonce = NewLinkNonce();
    QJsonObject authenticated = request;
    authenticated.insert(QStringLiteral("Nonce"), QString::fromLatin1(clientNonce));
    connection.send(link_.requestLine(terminalNonce, Json(authenticated)));
    QElapsedTimer timer;
    timer.start();
    for (int sequence = 1;; ++sequence) {
        const QByteArray line = connection.readLine(
            timer, answerTimeoutMs, interruptible ? keepAlive_ : nullptr, interruptible);
        // Not the line itself in the message: it is not known to come from the terminal.
        const auto json = link_.openAnswer(line, clientNonce, sequence);
        if (!json)
            throw TTerminalNoAnswer(call, QStringLiteral("an answer line failed authentication "
                                                         "and was refused"));
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(*json, &error);
        if (!document.isObject())
            throw TTerminalNoAnswer(call, QStringLiteral("the terminal's answer is not a JSON "
                                                         "object: %1")
                                              .arg(error.errorString()));
        const QJsonObject answer = document.object();
        const QString type = Text(answer, "MessageType");
        if (type == u"Display") {
            if (onDisplay) onDisplay(Text(answer, "Text"));
            continue;
        }
        if (type == u"Error") throw TPaymentClientError(call, Text(answer, "Text"));
        return answer;
    }
}

QJsonObject TTerminalClient::enquire(const QJsonObject& request, int timeoutMs,
                                     bool interruptible) const {
    QJsonObject answer;
    try {
        answer = exchange(request, timeoutMs < 0 ? address_.enquiryTimeoutMs : timeoutMs, {},
                          interruptible);
    } catch (const TTerminalNoAnswer& e) {
        throw TTerminalUnavailable(e.call(), QString::fromUtf8(e.what()));
    }
    const QString expected = Text(request, "MessageType") + QStringLiteral("Response");
    if (Text(answer, "MessageType") != expected ||
        Text(answer, "SaleTransactionID") != Text(request, "SaleTransactionID"))
        throw TTerminalUnavailable(
            expected,
            QStringLiteral("the terminal answered with \"%1\"").arg(MaskedForLog(answer)));
    return answer;
}

TTerminalIdentity TTerminalClient::Identify() {
    return IdentityOf(enquire({{"MessageType", "Identify"}}));
}

// A terminal that cannot be asked, or does not answer, leaves the question open.
TTerminalStatus TTerminalClient::TransactionStatus(const QString& reference) {
    const QJsonObject answer =
        enquire({{"MessageType", "TransactionStatus"}, {"SaleTransactionID", reference}});
    const auto state = StateOf(Text(answer, "Result"));
    if (!state)
        throw TTerminalUnavailable(
            QStringLiteral("TransactionStatus"),
            QStringLiteral("the terminal answered with \"%1\"").arg(MaskedForLog(answer)));
    TTerminalStatus status;
    status.state = *state;
    status.poiTransactionId = Text(answer, "POITransactionID");
    status.amount = answer.value(u"Amount").toInteger();
    status.identity = IdentityOf(answer);
    if (status.state == TTerminalStatus::State::Approved)
        status.info = TransactionInfoFromAnswer(answer);
    return status;
}

// Also sent while the kiosk stops, so it is short and a stop signal does not cut it off.
void TTerminalClient::Abort(const QString& reference) {
    enquire({{"MessageType", "Abort"}, {"SaleTransactionID", reference}},
            std::min(address_.enquiryTimeoutMs, kAbortTimeoutMs), false);
}

bool TTerminalClient::Reversal(const QString& reference) {
    const QJsonObject answer =
        enquire({{"MessageType", "Reversal"}, {"SaleTransactionID", reference}});
    return Text(answer, "Result") == u"Reversed";
}
