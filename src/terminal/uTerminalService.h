#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <functional>
#include <optional>

#include "payment/uTerminalLink.h"
#include "terminal/uTerminalConfig.h"
#include "terminal/uTerminalJournal.h"
#include "terminal/uTerminalPayment.h"
#include "terminal/uTerminalProtocol.h"

class TTerminalConnection;

// The terminal as a service: takes requests on a TCP port, runs one payment at a time on the
// simulated PIN pad and answers status enquiries, aborts and reversals meanwhile. Every
// decision is in the journal before its answer leaves. Only requests authenticated with the
// link's secret are acted on; every answer names the terminal (its TerminalId) and its journal.
//
// A payment waits for the person at the pad or for its simulated delays inside a nested event
// loop (the simulator's wait), in which the other requests are served. Those never wait
// themselves, so the nesting is never deeper than one payment.
class TTerminalService : public QObject {
    Q_OBJECT
public:
    // settings: read at start and again at every payment, so an edited file takes effect with
    // the next customer; a file that cannot be read then leaves the settings as they were.
    // link: the secret shared with the kiosk. log: one line per transaction and every warning,
    // for the operator.
    TTerminalService(std::function<TTerminalConfig()> settings, TTerminalLink link,
                     TTerminalJournal& journal, TPinPadDeviceFactory openPad,
                     std::function<void(const QString&)> log, QObject* parent = nullptr);

    // Raises std::runtime_error when the address cannot be taken.
    void listen(const QHostAddress& host, quint16 port);
    QString address() const;  // "host:port" as it listens
    quint16 port() const { return server_.serverPort(); }

    // Cuts a payment in progress short (undecided, so not journalled); the caller then ends
    // the event loop.
    void stop();

private:
    struct TRunningPayment {
        TerminalProtocol::TRequest request;
        QPointer<TTerminalConnection> client;
        QString prompt;
        bool decided = false;
    };

    void accept();
    TTerminalIdentity identity() const;
    void handle(TTerminalConnection* client, const QByteArray& line);
    void payment(TTerminalConnection* client, const TerminalProtocol::TRequest& request);
    void runPayment();
    // Ends the running payment: its journalled outcome is answered, or the error when it has
    // none.
    void finishPayment(const QString& error = {});
    void rereadSettings();
    void waitDuringPayment(int ms);
    void showPrompt(const QString& prompt);
    // Journals the decision of the running payment; raises when the journal refuses it.
    void decide(const TPaymentDecision& decision);
    // Answers a payment decided just now, playing the configured faults.
    void answer(TTerminalConnection& client, const QJsonObject& answer);
    QString nextTransactionId();
    QJsonObject status(const QString& saleTransactionId) const;
    QJsonObject abort(const QString& saleTransactionId);
    QJsonObject reversal(const QString& saleTransactionId);

    std::function<TTerminalConfig()> settings_;
    TTerminalConfig config_;
    TTerminalLink link_;
    TTerminalJournal& journal_;
    TPinPadDeviceFactory openPad_;
    std::function<void(const QString&)> log_;
    QTcpServer server_;
    std::optional<TRunningPayment> running_;
    bool stopping_ = false;
};
