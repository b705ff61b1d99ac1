#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <functional>

#include "payment/uPaymentClient.h"
#include "payment/uTerminalLink.h"

// The kiosk's client of a terminal service in its own process (kpterminal, or a real
// terminal's gateway speaking the same protocol): JSON messages, one a line, one request per
// connection, as docs/terminal-protocol.md describes. The terminal keeps its own journal, so
// it can be asked what became of a payment whose answer the kiosk never read.
//
// Every request and every answer is authenticated with the secret the kiosk shares with its
// terminal (uTerminalLink), so no other program can ask the terminal for card data, refund a
// sale or answer in the terminal's place.
//
// Every call has a time limit. A terminal that cannot be reached, or does not greet as the
// protocol says, raises TTerminalUnavailable (nothing was sent); a payment sent but not
// answered in time, cut off, or answered with a line that fails authentication or cannot be
// read raises TTerminalNoAnswer (its outcome is in doubt); a stop signal raises
// TPaymentInterrupted. The other calls raise TTerminalUnavailable for all of these: their
// question stays open.
struct TTerminalAddress {
    QString host;
    quint16 port = 0;
    int connectTimeoutMs = 2000;   // to connect, and to be greeted
    int answerTimeoutMs = 180000;  // a payment: the customer's time at the pad included
    int enquiryTimeoutMs = 5000;   // a status enquiry, an abort, a reversal
    QByteArray secret = {};        // the link's; without one no request leaves
};

class TTerminalClient : public TPaymentClient {
public:
    // keepAlive runs between the reads of an answer, so the screens stay alive meanwhile.
    explicit TTerminalClient(TTerminalAddress address, std::function<void()> keepAlive = {});

    std::unique_ptr<TillInformation> CreateTillInformation() override;
    std::unique_ptr<TransactionInfo> CreateTransactionInfo() override;
    std::unique_ptr<NonGuiTransactionHook> CreateNonGuiTransactionHook() override;
    TTerminalIdentity Identify() override;
    TTerminalStatus TransactionStatus(const QString& reference) override;
    void Abort(const QString& reference) override;
    bool Reversal(const QString& reference) override;

    // Sends one request and returns the terminal's authenticated answer; Display lines before it
    // go to onDisplay. An interruptible exchange gives way to a stop signal.
    QJsonObject exchange(const QJsonObject& request, int answerTimeoutMs,
                         const std::function<void(const QString&)>& onDisplay = {},
                         bool interruptible = true) const;

private:
    // exchange for a request that charges nothing: every failure leaves the question open.
    // timeoutMs below 0: the enquiry time limit.
    QJsonObject enquire(const QJsonObject& request, int timeoutMs = -1,
                        bool interruptible = true) const;

    TTerminalAddress address_;
    TTerminalLink link_;
    std::function<void()> keepAlive_;
};

// The card details of a terminal's answer.
std::unique_ptr<TransactionInfo> TransactionInfoFromAnswer(const QJsonObject& answer);
