// The terminal's virtual PIN pad as a person uses it: the button pressed decides the payment
// that waits for it.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "terminal/uTerminalService.h"
#include "terminal/wg_TerminalPad.h"

namespace {

struct PadCase {
    const char* name;
    QPushButton* TPinPadWindow::*button;
    QString result;
    bool connected;
    int responseCode;
};

void PrintTo(const PadCase& c, std::ostream* os) {
    *os << c.name;
}

class TerminalPadChoice : public testing::TestWithParam<PadCase> {};

TEST_P(TerminalPadChoice, DecidesThePaymentWaitingForIt) {
    const PadCase& c = GetParam();
    QTemporaryDir dir;
    TTerminalPad pad;
    EXPECT_EQ(pad.window().lbDisplay->text(), "Ready");
    EXPECT_FALSE(pad.window().cmApprove->isEnabled());
    TTerminalJournal journal(dir.filePath("journal.jsonl"), [](const QString&) {});
    TTerminalConfig config;
    config.pad.interactive = true;
    TTerminalService service([config] { return config; }, journal, pad.factory(),
                             [](const QString&) {});
    service.listen(QHostAddress::LocalHost, 0);

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, service.port());
    client.write(R"({"MessageType":"Payment","SaleTransactionID":"1-1","Amount":350})"
                 "\n");
    QString shown;
    QTimer person;  // presses the button once the pad offers it
    QObject::connect(&person, &QTimer::timeout, [&] {
        QPushButton* button = pad.window().*c.button;
        if (!button->isEnabled()) return;
        shown = pad.window().lbDisplay->text();
        person.stop();
        button->click();
    });
    person.start(20);
    QByteArray received;
    QObject::connect(&client, &QTcpSocket::readyRead, [&] { received += client.readAll(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; },
                                10000));

    EXPECT_TRUE(shown.contains("Present card")) << shown.toStdString();
    const QList<QByteArray> lines = received.trimmed().split('\n');
    const QJsonObject answer = QJsonDocument::fromJson(lines.last()).object();
    EXPECT_EQ(answer.value("Result").toString(), c.result);
    EXPECT_EQ(answer.value("Connected").toBool(), c.connected);
    EXPECT_EQ(answer.value("ResponseCode").toInt(), c.responseCode);
    EXPECT_EQ(journal.payment("1-1")->value("Result").toString(), c.result);
    EXPECT_FALSE(pad.window().cmApprove->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, TerminalPadChoice,
    testing::Values(PadCase{"approve", &TPinPadWindow::cmApprove, "Approved", true, 1},
                    PadCase{"decline", &TPinPadWindow::cmDecline, "Declined", true, 2},
                    PadCase{"remove_card", &TPinPadWindow::cmRemoveCard, "Aborted", true, 3},
                    PadCase{"no_terminal", &TPinPadWindow::cmNoTerminal, "Declined", false, 0}),
    [](const testing::TestParamInfo<PadCase>& info) { return std::string(info.param.name); });

}  // namespace
