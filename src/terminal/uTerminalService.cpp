#include "terminal/uTerminalService.h"

#include <QTcpSocket>
#include <QTimer>

#include <unistd.h>

#include "app/uClock.h"
#include "app/uStopSignals.h"
#include "terminal/uTerminalConnection.h"
#include "terminal/uTerminalPayment.h"
#include "terminal/uWait.h"

using namespace TerminalProtocol;

namespace {

// How often a waiting payment lets the other requests in.
constexpr int kServeStepMs = 20;

const QString kStoppedText = QStringLiteral("The terminal stopped before the payment was decided");

QJsonObject Answer(const QString& messageType, const QString& saleTransactionId,
                   const QString& result) {
    return {{QStringLiteral("MessageType"), messageType},
            {QStringLiteral("SaleTransactionID"), saleTransactionId},
            {QStringLiteral("Result"), result}};
}

QString AmountText(int minorUnits) {
    return QStringLiteral("%1.%2").arg(minorUnits / 100).arg(minorUnits % 100, 2, 10, QChar(u'0'));
}

}  // namespace

TTerminalService::TTerminalService(std::function<TTerminalConfig()> settings, TTerminalLink link,
                                   TTerminalJournal& journal, TPinPadDeviceFactory openPad,
                                   std::function<void(const QString&)> log, QObject* parent)
    : QObject(parent),
      settings_(std::move(settings)),
      config_(settings_()),
      link_(std::move(link)),
      journal_(journal),
      openPad_(std::move(openPad)),
      log_(std::move(log)) {
    connect(&server_, &QTcpServer::newConnection, this, &TTerminalService::accept);
}

void TTerminalService::listen(const QHostAddress& host, quint16 port) {
    if (!server_.listen(host, port))
        throw std::runtime_error(QStringLiteral("Cannot listen on %1:%2: %3")
                                     .arg(host.toString())
                                     .arg(port)
                                     .arg(server_.errorString())
                                     .toStdString());
}

QString TTerminalService::address() const {
    return QStringLiteral("%1:%2")
        .arg(server_.serverAddress().toString())
        .arg(server_.serverPort());
}

void TTerminalService::stop() {
    stopping_ = true;
    server_.close();
}

void TTerminalService::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        auto* client = new TTerminalConnection(socket, link_, identity(), this);
        connect(client, &TTerminalConnection::request, this,
                [this, client](const QByteArray& line) { handle(client, line); });
        // Never the line itself: whatever it holds is not the kiosk's.
        connect(client, &TTerminalConnection::refused, this, [this, client](const QString& why) {
            log_(QStringLiteral("Request from %1 refused, not authenticated: %2")
                     .arg(client->peer(), why));
        });
    }
}

TTerminalIdentity TTerminalService::identity() const {
    return {config_.pad.terminalId, journal_.journalId()};
}

void TTerminalService::handle(TTerminalConnection* client, const QByteArray& line) {
    try {
        const TRequest request = ParseRequest(line);
        switch (request.type) {
            case TRequestType::Identify:
                client->finish(
                    {{QStringLiteral("MessageType"), QStringLiteral("IdentifyResponse")}});
                break;
            case TRequestType::Payment:
                payment(client, request);
                break;
            case TRequestType::TransactionStatus:
                client->finish(status(request.saleTransactionId));
                break;
            case TRequestType::Abort:
                client->finish(abort(request.saleTransactionId));
                break;
            case TRequestType::Reversal:
                client->finish(reversal(request.saleTransactionId));
                break;
        }
    } catch (const std::exception& e) {
        const QString text = QString::fromStdString(e.what());
        log_(QStringLiteral("Request refused: %1").arg(text));
        client->finish(Error(text));
    }
}

void TTerminalService::payment(TTerminalConnection* client, const TRequest& request) {
    if (const auto record = journal_.payment(request.saleTransactionId)) {
        log_(QStringLiteral("Payment %1 was decided before: answered %2 again, not charged")
                 .arg(request.saleTransactionId, record->value(u"Result").toString()));
        client->finish(FromRecord(*record, QStringLiteral("PaymentResponse")));
        return;
    }
    if (running_) {
        const TPaymentDecision busy = RefusedDecision(config_.pad, QStringLiteral("Busy"));
        log_(QStringLiteral("Payment %1 refused: payment %2 is in progress")
                 .arg(request.saleTransactionId, running_->request.saleTransactionId));
        client->finish(FromRecord(PaymentRecord(request, busy, QString(), Clock::instance().now()),
                                  QStringLiteral("PaymentResponse")));
        return;
    }
    running_ = TRunningPayment{request, client, QString(), false};
    // Not inside the socket's signal: the payment waits in a nested event loop.
    QTimer::singleShot(0, this, &TTerminalService::runPayment);
}

void TTerminalService::rereadSettings() {
    try {
        config_ = settings_();
    } catch (const std::exception& e) {
        log_(QStringLiteral("%1; the settings stay as they were").arg(e.what()));
    }
}

void TTerminalService::runPayment() {
    if (running_->decided) {  // aborted before it started
        finishPayment();
        return;
    }
    rereadSettings();
    const TRequest request = running_->request;
    log_(QStringLiteral("Payment %1 of %2 started")
             .arg(request.saleTransactionId, AmountText(request.amount)));
    QString error;
    try {
        TTerminalPayment payment(
            config_.pad, openPad_, [this](int ms) { waitDuringPayment(ms); },
            [this](const QString& prompt) { showPrompt(prompt); });
        const TPaymentDecision decision = payment.run(request);
        if (!running_->decided) decide(decision);
    } catch (const TPaymentCutShort& e) {
        error = QString::fromStdString(e.what());
    } catch (const TPaymentInterrupted&) {  // the simulator saw the stop signal first
        error = kStoppedText;
    } catch (const std::exception& e) {
        error = QString::fromStdString(e.what());
        log_(QStringLiteral("Payment %1 not decided: %2").arg(request.saleTransactionId, error));
    }
    finishPayment(error);
}

void TTerminalService::finishPayment(const QString& error) {
    const QPointer<TTerminalConnection> client = running_->client;
    const QString saleTransactionId = running_->request.saleTransactionId;
    running_.reset();
    const auto record = journal_.payment(saleTransactionId);
    if (!record) {
        if (client) client->finish(Error(error));
        return;
    }
    const QJsonObject message = FromRecord(*record, QStringLiteral("PaymentResponse"));
    if (config_.faults.exitAfterApprove && message.value(u"Result").toString() == u"Approved") {
        log_(QStringLiteral("Exiting without the answer (fault ExitAfterApprove)"));
        ::_exit(0);
    }
    if (client) answer(*client, message);
}

void TTerminalService::answer(TTerminalConnection& client, const QJsonObject& message) {
    const TTerminalFaults& faults = config_.faults;
    if (faults.dropAnswer) {
        log_(QStringLiteral("Answer dropped (fault DropAnswer)"));
        client.drop();
    } else if (faults.answerDelayMs > 0) {
        log_(QStringLiteral("Answer held back for %1 ms (fault AnswerDelayMs)")
                 .arg(faults.answerDelayMs));
        QTimer::singleShot(faults.answerDelayMs, &client,
                           [&client, message] { client.finish(message); });
    } else {
        client.finish(message);
    }
}

QString TTerminalService::nextTransactionId() {
    return journal_.nextTransactionId(config_.pad.terminalId.isEmpty() ? QStringLiteral("T")
                                                                       : config_.pad.terminalId);
}

void TTerminalService::waitDuringPayment(int ms) {
    WaitProcessingEvents(ms, kServeStepMs);
    if (stopping_ || StopRequested()) throw TPaymentCutShort(kStoppedText.toStdString());
    if (running_->decided) throw TPaymentCutShort("The payment was aborted");
}

void TTerminalService::showPrompt(const QString& prompt) {
    running_->prompt = prompt;
    if (running_->client) running_->client->send(Display(prompt));
}

void TTerminalService::decide(const TPaymentDecision& decision) {
    const QJsonObject record =
        PaymentRecord(running_->request, decision, nextTransactionId(), Clock::instance().now());
    journal_.append(record);
    running_->decided = true;
    log_(QStringLiteral("Payment %1 of %2: %3 (%4)%5")
             .arg(running_->request.saleTransactionId, AmountText(running_->request.amount),
                  record.value(u"Result").toString(), record.value(u"POITransactionID").toString(),
                  decision.errorCondition.isEmpty()
                      ? QString()
                      : QStringLiteral(": ") + decision.errorCondition));
}

QJsonObject TTerminalService::status(const QString& saleTransactionId) const {
    const QString type = QStringLiteral("TransactionStatusResponse");
    if (running_ && !running_->decided &&
        running_->request.saleTransactionId == saleTransactionId) {
        QJsonObject answer = Answer(type, saleTransactionId, QStringLiteral("InProgress"));
        answer.insert(QStringLiteral("Text"), running_->prompt.isEmpty()
                                                  ? QStringLiteral("Present card")
                                                  : running_->prompt);
        return answer;
    }
    const auto record = journal_.payment(saleTransactionId);
    if (!record) return Answer(type, saleTransactionId, QStringLiteral("NotFound"));
    QJsonObject answer = FromRecord(*record, type);
    if (const auto reversal = journal_.reversal(saleTransactionId)) {
        answer.insert(QStringLiteral("Result"), QStringLiteral("Reversed"));
        answer.insert(QStringLiteral("ReversalPOITransactionID"),
                      reversal->value(u"POITransactionID"));
    }
    return answer;
}

QJsonObject TTerminalService::abort(const QString& saleTransactionId) {
    const QString type = QStringLiteral("AbortResponse");
    if (!running_ || running_->decided || running_->request.saleTransactionId != saleTransactionId)
        return Answer(type, saleTransactionId, QStringLiteral("NotInProgress"));
    // Decided here, so the payment's answer and its status agree with this one; the payment
    // itself unwinds at its next wait.
    decide(AbortedDecision(config_.pad));
    return Answer(type, saleTransactionId, QStringLiteral("Aborted"));
}

QJsonObject TTerminalService::reversal(const QString& saleTransactionId) {
    const QString type = QStringLiteral("ReversalResponse");
    const auto reversed = [&](const QJsonObject& record) {
        QJsonObject answer = Answer(type, saleTransactionId, QStringLiteral("Reversed"));
        answer.insert(QStringLiteral("POITransactionID"), record.value(u"POITransactionID"));
        answer.insert(QStringLiteral("Amount"), record.value(u"Amount"));
        return answer;
    };
    if (const auto earlier = journal_.reversal(saleTransactionId)) return reversed(*earlier);
    const auto payment = journal_.payment(saleTransactionId);
    if (!payment) {
        const bool running = running_ && running_->request.saleTransactionId == saleTransactionId;
        return Answer(type, saleTransactionId,
                      running ? QStringLiteral("NotApproved") : QStringLiteral("NotFound"));
    }
    if (payment->value(u"Result").toString() != u"Approved")
        return Answer(type, saleTransactionId, QStringLiteral("NotApproved"));
    const QJsonObject record{
        {QStringLiteral("Record"), QStringLiteral("Reversal")},
        {QStringLiteral("SaleTransactionID"), saleTransactionId},
        {QStringLiteral("POITransactionID"), nextTransactionId()},
        {QStringLiteral("ReversedPOITransactionID"), payment->value(u"POITransactionID")},
        {QStringLiteral("Amount"), payment->value(u"Amount")},
        {QStringLiteral("Time"), Clock::instance().now().toString(Qt::ISODate)},
    };
    journal_.append(record);
    log_(QStringLiteral("Payment %1 of %2 reversed (%3)")
             .arg(saleTransactionId, AmountText(payment->value(u"Amount").toInt()),
                  record.value(u"POITransactionID").toString()));
    return reversed(record);
}
