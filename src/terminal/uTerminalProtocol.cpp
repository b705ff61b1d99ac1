#include "terminal/uTerminalProtocol.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <limits>

namespace TerminalProtocol {

namespace {

TRequestType ToType(const QString& messageType) {
    if (messageType == u"Identify") return TRequestType::Identify;
    if (messageType == u"Payment") return TRequestType::Payment;
    if (messageType == u"TransactionStatus") return TRequestType::TransactionStatus;
    if (messageType == u"Abort") return TRequestType::Abort;
    if (messageType == u"Reversal") return TRequestType::Reversal;
    throw TProtocolError(
        QStringLiteral("Unknown MessageType \"%1\"").arg(messageType).toStdString());
}

QString ToSaleTransactionId(const QJsonValue& value) {
    if (!value.isString() || value.toString().trimmed().isEmpty())
        throw TProtocolError("SaleTransactionID must be a text that is not empty");
    const QString id = value.toString();
    if (id.size() > MaxSaleTransactionIdLength)
        throw TProtocolError(QStringLiteral("SaleTransactionID is longer than %1 characters")
                                 .arg(MaxSaleTransactionIdLength)
                                 .toStdString());
    for (const QChar c : id)
        if (!c.isPrint())
            throw TProtocolError("SaleTransactionID holds a character that cannot be printed");
    return id;
}

int ToAmount(const QJsonValue& value) {
    const double amount = value.toDouble(-1);
    if (!value.isDouble() || amount != double(qint64(amount)) || amount < 1 ||
        amount > std::numeric_limits<int>::max())
        throw TProtocolError(
            "Amount must be a whole number of minor units above 0, e.g. 1012 for 10.12");
    return int(amount);
}

QJsonObject ToMerchant(const QJsonValue& value) {
    if (value.isUndefined() || value.isNull()) return {};
    if (!value.isObject()) throw TProtocolError("Merchant must be an object");
    const QJsonObject merchant = value.toObject();
    for (auto it = merchant.begin(); it != merchant.end(); ++it)
        if (!it.value().isString())
            throw TProtocolError(
                QStringLiteral("Merchant.%1 must be a text").arg(it.key()).toStdString());
    return merchant;
}

}  // namespace

TRequest ParseRequest(const QByteArray& line) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError)
        throw TProtocolError(QStringLiteral("The request is not JSON: %1 at character %2")
                                 .arg(error.errorString())
                                 .arg(error.offset)
                                 .toStdString());
    if (!document.isObject()) throw TProtocolError("The request is not a JSON object");
    const QJsonObject message = document.object();
    if (!message.value(u"MessageType").isString())
        throw TProtocolError("The request has no MessageType");
    TRequest request;
    request.type = ToType(message.value(u"MessageType").toString());
    if (request.type == TRequestType::Identify) return request;
    request.saleTransactionId = ToSaleTransactionId(message.value(u"SaleTransactionID"));
    if (request.type == TRequestType::Payment) {
        request.amount = ToAmount(message.value(u"Amount"));
        request.merchant = ToMerchant(message.value(u"Merchant"));
    }
    return request;
}

QByteArray Json(const QJsonObject& message) {
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

QJsonObject Error(const QString& text) {
    return {{QStringLiteral("MessageType"), QStringLiteral("Error")},
            {QStringLiteral("Text"), text}};
}

QJsonObject Challenge(const QByteArray& nonce, const QString& terminalId,
                      const QString& journalId) {
    return {{QStringLiteral("MessageType"), QStringLiteral("Challenge")},
            {QStringLiteral("Nonce"), QString::fromLatin1(nonce)},
            {QStringLiteral("TerminalId"), terminalId},
            {QStringLiteral("JournalId"), journalId}};
}

QJsonObject Display(const QString& text) {
    return {{QStringLiteral("MessageType"), QStringLiteral("Display")},
            {QStringLiteral("Text"), text}};
}

QJsonObject FromRecord(const QJsonObject& record, const QString& messageType) {
    QJsonObject message = record;
    message.remove(QStringLiteral("Record"));
    message.insert(QStringLiteral("MessageType"), messageType);
    return message;
}

QString PaymentResult(bool connected, int cardEnquiryResult, int authoriseResult, int responseCode,
                      bool failed) {
    if (failed) return QStringLiteral("Failure");
    const bool authorised =
        connected && (cardEnquiryResult == 0 || cardEnquiryResult == 2) && authoriseResult == 0;
    if (authorised && responseCode == 1) return QStringLiteral("Approved");
    if (authorised && responseCode == 3) return QStringLiteral("Aborted");
    return QStringLiteral("Declined");
}

}  // namespace TerminalProtocol
