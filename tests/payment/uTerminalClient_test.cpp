// The kiosk's client of the terminal service: it believes only answers authenticated for its
// own request, and a doubt is never read as an approval or a decline.
#include "payment/uTerminalClient.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

#include "payment/uTerminalLink.h"
#include "support/TerminalProcess.h"

namespace {

const QByteArray kSecret = QByteArray(32, 'K');
const QString kReference = QStringLiteral("1-20261211120000");

QByteArray Compact(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// What a terminal would answer to approve the request, with the card's details.
QJsonObject Approval(const QJsonObject& request) {
    return {{"MessageType", request.value("MessageType").toString() + "Response"},
            {"SaleTransactionID", request.value("SaleTransactionID")},
            {"Result", "Approved"},
            {"Amount", 450},
            {"CardEnquiryResult", 0},
            {"AuthoriseResult", 0},
            {"ResponseCode", 1},
            {"AuthorisationCode", "084512"},
            {"SchemeName", "Visa"},
            {"PanFirst6Digits", "476173"},
            {"PanLast4Digits", "0119"},
            {"CustomerReceipt", "CUSTOMER COPY\r\nAUTH CODE: 084512"}};
}

// A program listening where the kiosk expects its terminal: it greets as a terminal does, reads
// the request and writes back what answer makes of it and of the request's nonce.
class FakeTerminal {
public:
    using TAnswer = std::function<QByteArray(const QByteArray& nonce, const QJsonObject& request)>;

    explicit FakeTerminal(TAnswer answer, bool greets = true)
        : answer_(std::move(answer)), greets_(greets) {
        if (!server_.listen(QHostAddress::LocalHost, 0)) throw std::runtime_error("no port");
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) serve(socket);
        });
    }

    // The kiosk's client of this terminal, serving it while it waits.
    TTerminalClient client(const QByteArray& secret = kSecret) const {
        TTerminalAddress address{
            QStringLiteral("127.0.0.1"), server_.serverPort(), 1000, 2000, 2000, secret};
        return TTerminalClient(address, [] { QCoreApplication::processEvents(); });
    }

private:
    void serve(QTcpSocket* socket) {
        socket->setParent(&server_);
        if (greets_)
            socket->write(UnauthenticatedLine(Compact(
                {{"MessageType", "Challenge"}, {"Nonce", QString::fromLatin1(NewLinkNonce())}})));
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) return;
            const QByteArray line = socket->readLine().trimmed();
            const QJsonObject request =
                QJsonDocument::fromJson(line.mid(line.indexOf(' ') + 1)).object();
            socket->write(answer_(request.value("Nonce").toString().toLatin1(), request));
            socket->disconnectFromHost();
        });
    }

    QTcpServer server_;
    TAnswer answer_;
    bool greets_;
};

struct AnswerCase {
    const char* name;
    FakeTerminal::TAnswer answer;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.name;
}

const AnswerCase kForgedApprovals[] = {
    {"plain_json",
     [](const QByteArray&, const QJsonObject& r) { return Compact(Approval(r)) + '\n'; }},
    {"marked_unauthenticated",
     [](const QByteArray&, const QJsonObject& r) {
         return UnauthenticatedLine(Compact(Approval(r)));
     }},
    {"wrong_secret",
     [](const QByteArray& nonce, const QJsonObject& r) {
         return TTerminalLink(QByteArray(32, 'x')).answerLine(nonce, 1, Compact(Approval(r)));
     }},
    {"moved_from_another_connection",
     [](const QByteArray&, const QJsonObject& r) {
         return TTerminalLink(kSecret).answerLine(NewLinkNonce(), 1, Compact(Approval(r)));
     }},
    {"out_of_sequence",
     [](const QByteArray& nonce, const QJsonObject& r) {
         return TTerminalLink(kSecret).answerLine(nonce, 2, Compact(Approval(r)));
     }},
    {"reflected_as_a_request",
     [](const QByteArray& nonce, const QJsonObject& r) {
         return TTerminalLink(kSecret).requestLine(nonce, Compact(Approval(r)));
     }},
};

// Starts a payment of 4.50 on the client, as the checkout starts one.
bool StartPayment(TTerminalClient& client) {
    const auto till = client.CreateTillInformation();
    const auto hook = client.CreateNonGuiTransactionHook();
    hook->PrepareTransaction(kReference, 450);
    return hook->StartTransaction(*till);
}

class ForgedApproval : public testing::TestWithParam<AnswerCase> {};

// A payment answered so is in doubt, to be settled by asking the terminal; an enquiry answered
// so stays open. Neither reads as an approval.
TEST_P(ForgedApproval, IsNoAnswer) {
    FakeTerminal fake(GetParam().answer);
    TTerminalClient client = fake.client();
    EXPECT_THROW(StartPayment(client), TTerminalNoAnswer);
    EXPECT_THROW(client.TransactionStatus(kReference), TTerminalUnavailable);
    EXPECT_THROW(client.Identify(), TTerminalUnavailable);
}

INSTANTIATE_TEST_SUITE_P(Answers, ForgedApproval, testing::ValuesIn(kForgedApprovals),
                         [](const testing::TestParamInfo<AnswerCase>& info) {
                             return std::string(info.param.name);
                         });

// Without the terminal's greeting the request never leaves: nothing can have been charged.
TEST(TerminalClient, SendsNothingToAProgramThatDoesNotGreetAsTheTerminal) {
    bool asked = false;
    FakeTerminal fake(
        [&](const QByteArray&, const QJsonObject& r) {
            asked = true;
            return Compact(Approval(r)) + '\n';
        },
        false);
    TTerminalClient client = fake.client();
    EXPECT_THROW(StartPayment(client), TTerminalUnavailable);
    EXPECT_FALSE(asked);
}

// Authenticated, but without a Result the kiosk knows: in doubt, never declined.
TEST(TerminalClient, TakesAnUnknownOrMissingResultForNoAnswer) {
    for (const QJsonValue& result : {QJsonValue(), QJsonValue("Maybe"), QJsonValue(1)}) {
        SCOPED_TRACE(Compact({{"Result", result}}).toStdString());
        FakeTerminal fake([&](const QByteArray& nonce, const QJsonObject& r) {
            QJsonObject answer = Approval(r);
            if (result.isUndefined())
                answer.remove("Result");
            else
                answer.insert("Result", result);
            return TTerminalLink(kSecret).answerLine(nonce, 1, Compact(answer));
        });
        TTerminalClient client = fake.client();
        EXPECT_THROW(StartPayment(client), TTerminalNoAnswer);
        EXPECT_THROW(client.TransactionStatus(kReference), TTerminalUnavailable);
    }
}

// The answer a kiosk refuses is logged through its error; no card data may go with it.
TEST(TerminalClient, MasksCardDataInARefusedAnswer) {
    FakeTerminal fake([](const QByteArray& nonce, const QJsonObject& r) {
        QJsonObject answer = Approval(r);
        answer.insert("SaleTransactionID", "2-20261211120000");
        answer.insert("PanFirst6Digits", "4761 7300 0000 0119");
        return TTerminalLink(kSecret).answerLine(nonce, 1, Compact(answer));
    });
    TTerminalClient client = fake.client();
    QString message;
    try {
        StartPayment(client);
    } catch (const TTerminalNoAnswer& e) {
        message = e.what();
    }

    EXPECT_TRUE(message.contains("2-20261211120000")) << "the reference it answered for";
    EXPECT_TRUE(message.contains("476173******0119")) << message.toStdString();
    for (const char* card : {"4761730000000119", "7300 0000", "084512", "CUSTOMER COPY"})
        EXPECT_FALSE(message.contains(card)) << message.toStdString();
}

// The real terminal: who it is, in Identify and every status answer; and a kiosk with another
// secret learns nothing and charges nothing.
TEST(TerminalClient, NamesTheTerminalThatAnsweredAndNeedsItsSecret) {
    TerminalProcess terminal;
    terminal.start();
    TTerminalAddress address{
        QStringLiteral("127.0.0.1"), terminal.port(), 2000, 5000, 5000, terminal.secret()};
    TTerminalClient client(address);

    const TTerminalIdentity identity = client.Identify();
    const TTerminalStatus status = client.TransactionStatus(kReference);

    EXPECT_EQ(identity.terminalId, "22446688");
    EXPECT_FALSE(identity.journalId.isEmpty());
    EXPECT_EQ(status.state, TTerminalStatus::State::NotFound);
    EXPECT_EQ(status.identity, identity);

    address.secret = QByteArray(64, 'w');
    TTerminalClient stranger(address);
    EXPECT_THROW(stranger.Identify(), TTerminalUnavailable);
    EXPECT_THROW(StartPayment(stranger), TTerminalNoAnswer);
    EXPECT_EQ(client.TransactionStatus(kReference).state, TTerminalStatus::State::NotFound);
}

}  // namespace
