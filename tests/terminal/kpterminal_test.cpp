// The terminal service as the kiosk meets it: a process on a TCP port, its answers, and its
// journal across kills and restarts.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QThread>
#include <QUuid>
#include <functional>

#include "payment/uTerminalLink.h"
#include "support/TerminalProcess.h"

namespace {

QJsonObject Payment(const QString& id, int amount = 1012) {
    return {{"MessageType", "Payment"},
            {"SaleTransactionID", id},
            {"Amount", amount},
            {"Merchant", QJsonObject{{"MerchantName", "Glenbeg Service Station"},
                                     {"Address1", "Main Street"},
                                     {"PhoneNumber", "01 234 5678"}}}};
}

QJsonObject Request(const QString& type, const QString& id) {
    return {{"MessageType", type}, {"SaleTransactionID", id}};
}

// The one answer of an exchange: its last message.
QJsonObject Answer(const QList<QJsonObject>& messages) {
    return messages.isEmpty() ? QJsonObject() : messages.last();
}

QList<QJsonObject> Records(const TerminalProcess& terminal, const QString& kind) {
    QList<QJsonObject> records;
    for (const QJsonObject& r : terminal.journal())
        if (r.value("Record").toString() == kind) records << r;
    return records;
}

QString StatusResult(const TerminalProcess& terminal, const QString& id) {
    return Answer(terminal.exchange(Request("TransactionStatus", id))).value("Result").toString();
}

// The Text of an Error message, authenticated or not; empty for any other message.
QString ErrorText(const QJsonObject& message) {
    const QJsonObject error =
        message.contains("Unauthenticated")
            ? QJsonDocument::fromJson(message.value("Unauthenticated").toString().mid(2).toUtf8())
                  .object()
            : message;
    return error.value("MessageType").toString() == "Error" ? error.value("Text").toString()
                                                            : QString();
}

// Asks for the status until it is the given result or 10 s have passed.
QJsonObject WaitForStatus(const TerminalProcess& terminal, const QString& id,
                          const QString& result) {
    QElapsedTimer elapsed;
    elapsed.start();
    QJsonObject status;
    do {
        status = Answer(terminal.exchange(Request("TransactionStatus", id)));
        if (status.value("Result").toString() == result) break;
        QThread::msleep(20);
    } while (elapsed.elapsed() < 10000);
    return status;
}

// A terminal that answers without a person, after the given time at each step, with prompts.
QString SlowTerminal(int delayMs, const QString& more = {}) {
    return QStringLiteral(
               "[PinPad]\nInteractive=false\nCardEnquiryDelayMs=%1\n"
               "AuthoriseDelayMs=%1\nStatus=0 Card inserted\nStatus=100 Enter your PIN\n")
               .arg(delayMs) +
           more;
}

struct OutcomeCase {
    const char* name;
    QString config;
    QStringList arguments;
    QString result;
    bool connected;
    int responseCode;
};

void PrintTo(const OutcomeCase& c, std::ostream* os) {
    *os << c.name;
}

class TerminalOutcome : public testing::TestWithParam<OutcomeCase> {};

TEST_P(TerminalOutcome, AnswersAndJournalsTheDecision) {
    const OutcomeCase& c = GetParam();
    TerminalProcess terminal(c.config, c.arguments);
    terminal.start();

    const QJsonObject answer = Answer(terminal.exchange(Payment("42-20261210184500")));

    EXPECT_EQ(answer.value("MessageType").toString(), "PaymentResponse");
    EXPECT_EQ(answer.value("SaleTransactionID").toString(), "42-20261210184500");
    EXPECT_EQ(answer.value("Result").toString(), c.result);
    EXPECT_EQ(answer.value("Connected").toBool(), c.connected);
    EXPECT_EQ(answer.value("ResponseCode").toInt(), c.responseCode);
    EXPECT_EQ(answer.value("Amount").toInt(), 1012);
    EXPECT_FALSE(answer.value("POITransactionID").toString().isEmpty());
    const QString receipt = answer.value("CustomerReceipt").toString();
    if (c.result == "Approved") {
        EXPECT_TRUE(receipt.contains("REF: 42-20261210184500")) << receipt.toStdString();
        EXPECT_TRUE(receipt.contains("Glenbeg Service Station\r\nMain Street"));
        EXPECT_FALSE(answer.value("AuthorisationCode").toString().isEmpty());
    }
    if (c.result == "Failure") {
        EXPECT_TRUE(answer.value("ErrorCondition").toString().contains("CardEnquiry"));
    }

    const QList<QJsonObject> payments = Records(terminal, "Payment");
    ASSERT_EQ(payments.size(), 1);
    EXPECT_EQ(payments[0].value("POITransactionID"), answer.value("POITransactionID"));
    EXPECT_EQ(payments[0].value("Result"), answer.value("Result"));
    EXPECT_EQ(Answer(terminal.exchange(Request("TransactionStatus", "42-20261210184500")))
                  .value("Result")
                  .toString(),
              c.result);
}

const QString kPlain = QStringLiteral("[PinPad]\nInteractive=false\n");

INSTANTIATE_TEST_SUITE_P(
    Outcomes, TerminalOutcome,
    testing::Values(
        OutcomeCase{"approve", kPlain, {"--outcome", "approve"}, "Approved", true, 1},
        OutcomeCase{"decline", kPlain, {"--outcome", "decline"}, "Declined", true, 2},
        OutcomeCase{"remove_card", kPlain, {"--outcome", "remove-card"}, "Aborted", true, 3},
        OutcomeCase{"no_terminal", kPlain, {"--outcome", "no-terminal"}, "Declined", false, 0},
        OutcomeCase{"invalid_card", kPlain + "CardEnquiryResult=1\n", {}, "Declined", true, 0},
        OutcomeCase{"not_authorised", kPlain + "AuthoriseResult=5\n", {}, "Declined", true, 1},
        OutcomeCase{"failing_step", kPlain + "FailingCall=CardEnquiry\n", {}, "Failure", true, 0}),
    [](const testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.name); });

TEST(Terminal, JournalsAnApprovalBeforeItsAnswerLeaves) {
    TerminalProcess terminal(kPlain + "[Faults]\nExitAfterApprove=true\n");
    terminal.start();

    const QList<QJsonObject> messages = terminal.exchange(Payment("7-1", 2500));

    EXPECT_TRUE(messages.isEmpty()) << "the terminal answered before exiting";
    ASSERT_TRUE(terminal.waitForExit(5000));
    terminal.setConfig(kPlain);
    terminal.start();
    const QJsonObject status = Answer(terminal.exchange(Request("TransactionStatus", "7-1")));
    EXPECT_EQ(status.value("MessageType").toString(), "TransactionStatusResponse");
    EXPECT_EQ(status.value("Result").toString(), "Approved");
    EXPECT_EQ(status.value("Amount").toInt(), 2500);
    EXPECT_TRUE(status.value("CustomerReceipt").toString().contains("REF: 7-1"));
}

TEST(Terminal, NeverChargesOneSaleTransactionIdTwice) {
    TerminalProcess terminal;
    terminal.start();
    const QJsonObject first = Answer(terminal.exchange(Payment("9-1", 1000)));
    terminal.kill();
    terminal.setConfig(kPlain + "ResponseCode=2\n");  // would decline a new payment
    terminal.start();

    const QJsonObject again = Answer(terminal.exchange(Payment("9-1", 5000)));

    EXPECT_EQ(again.value("Result").toString(), "Approved");
    EXPECT_EQ(again.value("Amount").toInt(), 1000);
    EXPECT_EQ(again.value("POITransactionID"), first.value("POITransactionID"));
    EXPECT_EQ(Records(terminal, "Payment").size(), 1);
}

TEST(Terminal, ServesOtherRequestsWhileAPaymentWaitsAndAbortsIt) {
    TerminalProcess terminal(SlowTerminal(4000));
    terminal.start();
    TerminalExchange payment(terminal, Payment("5-1"));
    const QJsonObject waiting = WaitForStatus(terminal, "5-1", "InProgress");
    ASSERT_EQ(waiting.value("Result").toString(), "InProgress");
    EXPECT_FALSE(waiting.value("Text").toString().isEmpty());

    const QJsonObject busy = Answer(terminal.exchange(Payment("5-2")));
    EXPECT_EQ(busy.value("Result").toString(), "Failure");
    EXPECT_EQ(busy.value("ErrorCondition").toString(), "Busy");
    EXPECT_EQ(Answer(terminal.exchange(Request("Abort", "5-2"))).value("Result").toString(),
              "NotInProgress");
    const QJsonObject abort = Answer(terminal.exchange(Request("Abort", "5-1")));
    EXPECT_EQ(abort.value("MessageType").toString(), "AbortResponse");
    EXPECT_EQ(abort.value("Result").toString(), "Aborted");

    const QList<QJsonObject> messages = payment.messages();
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.first().value("MessageType").toString(), "Display");
    EXPECT_EQ(messages.first().value("Text").toString(), "Card inserted");
    EXPECT_EQ(Answer(messages).value("Result").toString(), "Aborted");
    EXPECT_EQ(Answer(messages).value("ResponseCode").toInt(), 3);
    EXPECT_EQ(
        Answer(terminal.exchange(Request("TransactionStatus", "5-1"))).value("Result").toString(),
        "Aborted");
    EXPECT_EQ(
        Answer(terminal.exchange(Request("TransactionStatus", "5-2"))).value("Result").toString(),
        "NotFound");
    EXPECT_EQ(Answer(terminal.exchange(Request("Abort", "5-1"))).value("Result").toString(),
              "NotInProgress");
    ASSERT_EQ(Records(terminal, "Payment").size(), 1);
}

TEST(Terminal, ReversesAnApprovedPaymentOnce) {
    TerminalProcess terminal;
    terminal.start();
    terminal.exchange(Payment("3-1", 1999));
    terminal.setConfig(kPlain + "ResponseCode=2\n");
    terminal.kill();
    terminal.start();
    terminal.exchange(Payment("3-2"));

    const QJsonObject reversed = Answer(terminal.exchange(Request("Reversal", "3-1")));
    terminal.kill();
    terminal.start();
    const QJsonObject again = Answer(terminal.exchange(Request("Reversal", "3-1")));

    EXPECT_EQ(reversed.value("MessageType").toString(), "ReversalResponse");
    EXPECT_EQ(reversed.value("Result").toString(), "Reversed");
    EXPECT_EQ(again.value("Result").toString(), "Reversed");
    EXPECT_EQ(again.value("POITransactionID"), reversed.value("POITransactionID"));
    const QList<QJsonObject> reversals = Records(terminal, "Reversal");
    ASSERT_EQ(reversals.size(), 1);
    EXPECT_EQ(reversals[0].value("Amount").toInt(), 1999);
    EXPECT_EQ(
        Answer(terminal.exchange(Request("TransactionStatus", "3-1"))).value("Result").toString(),
        "Reversed");
    EXPECT_EQ(Answer(terminal.exchange(Request("Reversal", "3-2"))).value("Result").toString(),
              "NotApproved");
    EXPECT_EQ(Answer(terminal.exchange(Request("Reversal", "3-9"))).value("Result").toString(),
              "NotFound");
}

TEST(Terminal, DecidesAndJournalsAPaymentWhoseAnswerIsDropped) {
    TerminalProcess terminal(kPlain + "[Faults]\nDropAnswer=true\n");
    terminal.start();

    const QList<QJsonObject> messages = terminal.exchange(Payment("8-1"));

    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(
        Answer(terminal.exchange(Request("TransactionStatus", "8-1"))).value("Result").toString(),
        "Approved");
    EXPECT_TRUE(terminal.running());
}

TEST(Terminal, HoldsBackAnAnswerThatIsJournalledAlready) {
    TerminalProcess terminal(kPlain + "[Faults]\nAnswerDelayMs=3000\n");
    terminal.start();
    TerminalExchange payment(terminal, Payment("8-2"));

    EXPECT_EQ(WaitForStatus(terminal, "8-2", "Approved").value("Result").toString(), "Approved");
    EXPECT_FALSE(payment.closed());

    EXPECT_EQ(Answer(payment.messages()).value("Result").toString(), "Approved");
}

TEST(Terminal, KeepsTransactionIdsUniqueAcrossRestartsAndATornLine) {
    TerminalProcess terminal;
    terminal.start();
    QSet<QString> ids;
    for (const char* id : {"1-1", "1-2"})
        ids << Answer(terminal.exchange(Payment(id))).value("POITransactionID").toString();
    terminal.kill();
    {
        QFile journal(terminal.journalPath());
        ASSERT_TRUE(journal.open(QIODevice::Append));
        journal.write(R"({"Record":"Payment","SaleTransactionID":"1-3","POITrans)");
    }
    terminal.start();
    for (const char* id : {"1-4", "1-5"})
        ids << Answer(terminal.exchange(Payment(id))).value("POITransactionID").toString();

    EXPECT_EQ(ids.size(), 4);
    EXPECT_FALSE(ids.contains(QString()));
    EXPECT_EQ(Records(terminal, "Payment").size(), 4);
    EXPECT_TRUE(terminal.log().contains("cut short")) << terminal.log().toStdString();
    EXPECT_EQ(
        Answer(terminal.exchange(Request("TransactionStatus", "1-3"))).value("Result").toString(),
        "NotFound");
}

TEST(Terminal, ForgetsAPaymentKilledBeforeItWasDecided) {
    TerminalProcess terminal(SlowTerminal(3000));
    terminal.start();
    TerminalExchange payment(terminal, Payment("6-1"));
    ASSERT_EQ(WaitForStatus(terminal, "6-1", "InProgress").value("Result").toString(),
              "InProgress");

    terminal.kill();
    terminal.start();

    EXPECT_EQ(
        Answer(terminal.exchange(Request("TransactionStatus", "6-1"))).value("Result").toString(),
        "NotFound");
    EXPECT_TRUE(Records(terminal, "Payment").isEmpty());
}

TEST(Terminal, StopsOnSigtermDuringAPaymentWithoutDecidingIt) {
    TerminalProcess terminal(SlowTerminal(30000));
    terminal.start();
    TerminalExchange payment(terminal, Payment("6-2"));
    ASSERT_EQ(WaitForStatus(terminal, "6-2", "InProgress").value("Result").toString(),
              "InProgress");

    terminal.terminate();

    ASSERT_TRUE(terminal.waitForExit(3000));
    EXPECT_EQ(terminal.exitCode(), 0);
    EXPECT_EQ(Answer(payment.messages()).value("MessageType").toString(), "Error");
    EXPECT_TRUE(Records(terminal, "Payment").isEmpty());
}

TEST(Terminal, RefusesAJournalAnotherTerminalHolds) {
    TerminalProcess first;
    first.start();
    TerminalProcess second({}, {"--journal", first.journalPath()});

    EXPECT_THROW(second.start(), std::runtime_error);
    EXPECT_TRUE(second.log().contains("in use")) << second.log().toStdString();
}

// A request that is authenticated but cannot be read: the Error is authenticated too when the
// request carried a nonce to authenticate it for.
TEST(Terminal, AnswersMalformedRequestsWithAnErrorAndKeepsRunning) {
    TerminalProcess terminal;
    terminal.start();
    const QList<QByteArray> requests{
        "this is not json",
        "[1, 2, 3]",
        R"({"SaleTransactionID":"1"})",
        R"({"MessageType":"Refund","SaleTransactionID":"1"})",
        R"({"MessageType":"Payment","Amount":100})",
        R"({"MessageType":"Payment","SaleTransactionID":"","Amount":100})",
        R"({"MessageType":"Payment","SaleTransactionID":"2","Amount":10.5})",
        R"({"MessageType":"Payment","SaleTransactionID":"2","Amount":-100})",
        R"({"MessageType":"Payment","SaleTransactionID":"2","Amount":"100"})",
        R"({"MessageType":"Payment","SaleTransactionID":"2","Amount":100,"Merchant":7})",
        R"({"MessageType":"TransactionStatus","SaleTransactionID":")" + QByteArray(100, 'x') +
            "\"}",
    };
    const TTerminalLink link(terminal.secret());
    for (const QByteArray& request : requests) {
        QJsonObject object = QJsonDocument::fromJson(request).object();
        const bool carriesNonce = !object.isEmpty();
        const QList<QJsonObject> messages = terminal.exchangeRaw([&](const QByteArray& nonce) {
            if (!carriesNonce) return link.requestLine(nonce, request);
            object.insert("Nonce", QString::fromLatin1(NewLinkNonce()));
            return link.requestLine(nonce, QJsonDocument(object).toJson(QJsonDocument::Compact));
        });
        ASSERT_EQ(messages.size(), 1) << request.left(80).toStdString();
        EXPECT_FALSE(ErrorText(messages[0]).isEmpty()) << request.left(80).toStdString();
        EXPECT_EQ(messages[0].contains("Unauthenticated"), !carriesNonce)
            << request.left(80).toStdString();
    }
    const QList<QJsonObject> tooLong =
        terminal.exchangeRaw([](const QByteArray&) { return QByteArray(70 * 1024, '{'); });
    ASSERT_EQ(tooLong.size(), 1);
    EXPECT_FALSE(ErrorText(tooLong[0]).isEmpty());

    EXPECT_TRUE(Records(terminal, "Payment").isEmpty());
    EXPECT_EQ(Answer(terminal.exchange(Payment("2"))).value("Result").toString(), "Approved");
}

// ---- Only the kiosk may speak to it --------------------------------------------------------

// What a program without the secret, or with a line recorded elsewhere, might send.
struct ForgeryCase {
    const char* name;
    // The request line for the connection whose challenge carried nonce.
    std::function<QByteArray(const TerminalProcess&, const QByteArray& nonce, const QJsonObject&)>
        line;
};

void PrintTo(const ForgeryCase& c, std::ostream* os) {
    *os << c.name;
}

QByteArray Compact(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonObject WithNonce(QJsonObject request) {
    request.insert("Nonce", QString::fromLatin1(NewLinkNonce()));
    return request;
}

const ForgeryCase kForgeries[] = {
    {"plain_json", [](const TerminalProcess&, const QByteArray&,
                      const QJsonObject& r) { return Compact(WithNonce(r)) + '\n'; }},
    {"no_mac_marked",
     [](const TerminalProcess&, const QByteArray&, const QJsonObject& r) {
         return UnauthenticatedLine(Compact(WithNonce(r)));
     }},
    {"wrong_secret",
     [](const TerminalProcess&, const QByteArray& nonce, const QJsonObject& r) {
         return AuthenticatedRequest(QByteArray(32, 'k'), nonce, r);
     }},
    {"another_connections_nonce",
     [](const TerminalProcess& t, const QByteArray&, const QJsonObject& r) {
         return AuthenticatedRequest(t.secret(), NewLinkNonce(), r);
     }},
    {"changed_after_its_mac",
     [](const TerminalProcess& t, const QByteArray& nonce, const QJsonObject& r) {
         QJsonObject harmless = r;
         harmless.insert("SaleTransactionID", "0-0");
         const QByteArray id = r.value("SaleTransactionID").toString().toUtf8();
         return AuthenticatedRequest(t.secret(), nonce, harmless)
             .replace("\"0-0\"", "\"" + id + "\"");
     }},
    {"without_a_nonce",
     [](const TerminalProcess& t, const QByteArray& nonce, const QJsonObject& r) {
         return TTerminalLink(t.secret()).requestLine(nonce, Compact(r));
     }},
};

// Card data of the terminal's default card that must never reach an unauthenticated client
// (its last four digits could stand in a JournalId by chance).
const char* const kCardData[] = {"476173", "084512", "Visa", "CUSTOMER COPY"};

class TerminalForgery : public testing::TestWithParam<ForgeryCase> {};

TEST_P(TerminalForgery, IsRefusedWithoutCardDataAndChangesNothing) {
    TerminalProcess terminal;
    terminal.start();
    ASSERT_EQ(Answer(terminal.exchange(Payment("4-1"))).value("Result").toString(), "Approved");
    terminal.setConfig(SlowTerminal(2500));
    TerminalExchange waiting(terminal, Payment("4-3"));
    ASSERT_EQ(WaitForStatus(terminal, "4-3", "InProgress").value("Result").toString(),
              "InProgress");

    for (const QJsonObject& request :
         {Request("TransactionStatus", "4-1"), Request("Reversal", "4-1"), Request("Abort", "4-3"),
          Payment("4-2"), QJsonObject{{"MessageType", "Identify"}}}) {
        SCOPED_TRACE(request.value("MessageType").toString().toStdString());
        const QList<QJsonObject> messages = terminal.exchangeRaw(
            [&](const QByteArray& nonce) { return GetParam().line(terminal, nonce, request); });
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(ErrorText(messages[0]), "The request is not authenticated");
        for (const char* card : kCardData)
            EXPECT_FALSE(messages[0].value("Unauthenticated").toString().contains(card)) << card;
    }

    EXPECT_EQ(Records(terminal, "Reversal").size(), 0);
    EXPECT_EQ(StatusResult(terminal, "4-1"), "Approved");
    EXPECT_EQ(StatusResult(terminal, "4-3"), "InProgress")
        << "an unauthenticated Abort stopped the payment";
    EXPECT_EQ(StatusResult(terminal, "4-2"), "NotFound");
    EXPECT_EQ(Answer(waiting.messages()).value("Result").toString(), "Approved");
    EXPECT_EQ(Records(terminal, "Payment").size(), 2);
    EXPECT_EQ(terminal.log().count("not authenticated"), 5) << terminal.log().toStdString();
    for (const char* card : {"476173", "084512"})
        EXPECT_FALSE(terminal.log().contains(card)) << card;
}

INSTANTIATE_TEST_SUITE_P(Forgeries, TerminalForgery, testing::ValuesIn(kForgeries),
                         [](const testing::TestParamInfo<ForgeryCase>& info) {
                             return std::string(info.param.name);
                         });

// A request line the kiosk sent once, sent again on a new connection: its MAC was for the
// challenge of the first.
TEST(Terminal, RefusesARequestLineReplayedOnAnotherConnection) {
    TerminalProcess terminal;
    terminal.start();
    terminal.exchange(Payment("4-5"));
    QByteArray recorded;
    const QJsonObject genuine = Answer(terminal.exchangeRaw([&](const QByteArray& nonce) {
        return recorded = AuthenticatedRequest(terminal.secret(), nonce,
                                               Request("TransactionStatus", "4-5"));
    }));
    ASSERT_EQ(genuine.value("Result").toString(), "Approved");

    const QList<QJsonObject> replayed =
        terminal.exchangeRaw([&](const QByteArray&) { return recorded; });

    ASSERT_EQ(replayed.size(), 1);
    EXPECT_EQ(ErrorText(replayed[0]), "The request is not authenticated");
    for (const char* card : kCardData)
        EXPECT_FALSE(replayed[0].value("Unauthenticated").toString().contains(card)) << card;
}

TEST(Terminal, NamesItselfAndItsJournalInEveryAnswerAndKeepsTheJournalsId) {
    TerminalProcess terminal(kPlain + "TerminalId=31337001\n");
    terminal.start();
    TerminalExchange identify(terminal, {{"MessageType", "Identify"}});
    const QString journalId = identify.challenge().value("JournalId").toString();
    const QJsonObject identity = Answer(identify.messages());
    const QJsonObject payment = Answer(terminal.exchange(Payment("2-1")));
    terminal.kill();
    terminal.start();
    const QJsonObject status = Answer(terminal.exchange(Request("TransactionStatus", "2-1")));
    const QJsonObject notFound = Answer(terminal.exchange(Request("TransactionStatus", "2-9")));
    TerminalProcess other(kPlain + "TerminalId=31337001\n");
    other.start();

    EXPECT_EQ(identity.value("MessageType").toString(), "IdentifyResponse");
    EXPECT_EQ(identify.challenge().value("TerminalId").toString(), "31337001");
    EXPECT_FALSE(QUuid::fromString(journalId).isNull()) << journalId.toStdString();
    for (const QJsonObject& answer : {identity, payment, status, notFound}) {
        EXPECT_EQ(answer.value("TerminalId").toString(), "31337001");
        EXPECT_EQ(answer.value("JournalId").toString(), journalId);
    }
    EXPECT_EQ(terminal.journal().first().value("Record").toString(), "Journal");
    EXPECT_EQ(terminal.journal().first().value("JournalId").toString(), journalId);
    EXPECT_NE(Answer(other.exchange({{"MessageType", "Identify"}})).value("JournalId").toString(),
              journalId);
}

// A journal written before journals had an identity: it gets one at the first start, after its
// records, and keeps it.
TEST(Terminal, GivesAnOlderJournalAnIdentityOnceAndKeepsItsRecords) {
    TerminalProcess terminal;
    ASSERT_TRUE(QDir().mkpath(QFileInfo(terminal.journalPath()).absolutePath()));
    {
        QFile journal(terminal.journalPath());
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
        journal.write(R"({"Record":"Payment","SaleTransactionID":"1-1","POITransactionID":)"
                      R"("22446688-000001","Result":"Declined","Amount":300})"
                      "\n");
    }
    terminal.start();
    const QString first =
        Answer(terminal.exchange({{"MessageType", "Identify"}})).value("JournalId").toString();
    terminal.kill();
    terminal.start();
    const QJsonObject status = Answer(terminal.exchange(Request("TransactionStatus", "1-1")));

    EXPECT_FALSE(first.isEmpty());
    EXPECT_EQ(status.value("JournalId").toString(), first);
    EXPECT_EQ(status.value("Result").toString(), "Declined");
    EXPECT_EQ(Records(terminal, "Journal").size(), 1);
}

TEST(Terminal, RefusesToStartWithoutItsSecret) {
    TerminalProcess terminal;
    ASSERT_TRUE(QFile::remove(terminal.secretPath()));

    EXPECT_THROW(terminal.start(), std::runtime_error);
    EXPECT_TRUE(terminal.log().contains(terminal.secretPath())) << terminal.log().toStdString();
}

}  // namespace
