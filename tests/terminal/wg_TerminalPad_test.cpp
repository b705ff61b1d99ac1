// The terminal's virtual PIN pad as a person uses it: the button pressed decides the payment
// that waits for it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "payment/uTerminalClient.h"
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
    const QByteArray secret(32, 's');
    TTerminalService service([config] { return config; }, TTerminalLink(secret), journal,
                             pad.factory(), [](const QString&) {});
    service.listen(QHostAddress::LocalHost, 0);
    // The kiosk's client, keeping the service and the person alive while it waits.
    TTerminalAddress address{"127.0.0.1", service.port()};
    address.secret = secret;
    const TTerminalClient client(address, [] { QCoreApplication::processEvents(); });

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
    const QJsonObject answer = client.exchange(
        {{"MessageType", "Payment"}, {"SaleTransactionID", "1-1"}, {"Amount", 350}}, 10000);

    EXPECT_TRUE(shown.contains("Present card")) << shown.toStdString();
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
