#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <stdexcept>

// The terminal's messages: one JSON object per line, each with its MessageType. The full
// description for integrators is docs/terminal-protocol.md.
namespace TerminalProtocol {

// The longest request line the terminal reads; a longer one is refused.
constexpr qsizetype MaxRequestBytes = 64 * 1024;
constexpr qsizetype MaxSaleTransactionIdLength = 64;

// A request the terminal cannot take: answered with an Error message.
class TProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TRequestType { Identify, Payment, TransactionStatus, Abort, Reversal };

struct TRequest {
    TRequestType type = TRequestType::Payment;
    QString saleTransactionId;  // every request but Identify
    int amount = 0;             // Payment: minor units, above 0
    QJsonObject merchant;       // Payment: MerchantName, Address1..3, PhoneNumber
};

// Reads one request line (without its "\n"); raises TProtocolError saying what is wrong.
TRequest ParseRequest(const QByteArray& line);

// The message's exact bytes on the line: compact JSON.
QByteArray Json(const QJsonObject& message);

QJsonObject Error(const QString& text);
// The greeting on every connection, before the request: the nonce the request's MAC is taken
// with, and who the terminal is.
QJsonObject Challenge(const QByteArray& nonce, const QString& terminalId, const QString& journalId);
QJsonObject Display(const QString& text);

// A journalled record of a payment as the answer of the given MessageType, e.g.
// "PaymentResponse" or "TransactionStatusResponse".
QJsonObject FromRecord(const QJsonObject& record, const QString& messageType);

// Result of a payment from the terminal's codes: Approved exactly when it connected, read the
// card (0 or 2), authorised (0) and accepted (ResponseCode 1); Aborted when the card was
// removed (ResponseCode 3); Failure when a step failed (ErrorCondition); Declined otherwise.
QString PaymentResult(bool connected, int cardEnquiryResult, int authoriseResult, int responseCode,
                      bool failed);

}  // namespace TerminalProtocol
