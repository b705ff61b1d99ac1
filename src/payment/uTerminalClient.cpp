#include "payment/uTerminalClient.h"

#include <QElapsedTimer>
#include <QJsonDocument>

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
        if (Text(answer_, "MessageType") != u"PaymentResponse" ||
            Text(answer_, "SaleTransactionID") != reference_)
            throw TTerminalNoAnswer(
                QStringLiteral("Payment"),
                QStringLiteral("the terminal answered with \"%1\"")
                    .arg(QString::fromUtf8(QJsonDocument(answer_).toJson(QJsonDocument::Compact))));
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

TTerminalStatus::State StateOf(const QString& result) {
    using State = TTerminalStatus::State;
    if (result == u"Approved") return State::Approved;
    if (result == u"Aborted") return State::Aborted;
    if (result == u"Reversed") return State::Reversed;
    if (result == u"InProgress") return State::InProgress;
    if (result == u"NotFound") return State::NotFound;
    return State::Declined;  // Declined, and a Failure that charged nothing
}

}  // namespace

std::unique_ptr<TransactionInfo> TransactionInfoFromAnswer(const QJsonObject& answer) {
    return std::make_unique<AnswerTransactionInfo>(answer);
}

TTerminalClient::TTerminalClient(TTerminalAddress address, std::function<void()> keepAlive)
    : address_(std::move(address)), keepAlive_(std::move(keepAlive)) {}

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
    LineConnection connection(address_, call);
    connection.send(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const QByteArray line = connection.readLine(
            timer, answerTimeoutMs, interruptible ? keepAlive_ : nullptr, interruptible);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
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

// The service does not name itself yet: every answer counts as the same terminal's.
TTerminalIdentity TTerminalClient::Identify() {
    return {};
}

// A terminal that cannot be asked, or does not answer, leaves the question open.
TTerminalStatus TTerminalClient::TransactionStatus(const QString& reference) {
    QJsonObject answer;
    try {
        answer = exchange({{"MessageType", "TransactionStatus"}, {"SaleTransactionID", reference}},
                          address_.enquiryTimeoutMs);
    } catch (const TTerminalNoAnswer& e) {
        throw TTerminalUnavailable(e.call(), QString::fromUtf8(e.what()));
    }
    TTerminalStatus status;
    status.state = StateOf(Text(answer, "Result"));
    status.poiTransactionId = Text(answer, "POITransactionID");
    status.amount = answer.value(u"Amount").toInteger();
    if (status.state == TTerminalStatus::State::Approved)
        status.info = TransactionInfoFromAnswer(answer);
    return status;
}

// Also sent while the kiosk stops, so it is short and a stop signal does not cut it off.
void TTerminalClient::Abort(const QString& reference) {
    exchange({{"MessageType", "Abort"}, {"SaleTransactionID", reference}},
             std::min(address_.enquiryTimeoutMs, kAbortTimeoutMs), {}, false);
}

bool TTerminalClient::Reversal(const QString& reference) {
    const QJsonObject answer = exchange(
        {{"MessageType", "Reversal"}, {"SaleTransactionID", reference}}, address_.enquiryTimeoutMs);
    return Text(answer, "Result") == u"Reversed";
}
