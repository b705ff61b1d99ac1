#include "payment/uPinPadSimulator.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <utility>

#include "payment/PaymentFixture.h"

namespace {

QString Write(const QTemporaryDir& dir, const QString& text) {
    const QString path = dir.filePath("PinPad.ini");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
    return path;
}

// No file means no terminal: the kiosk never writes one itself, so a simulator never takes a
// shop's payments by accident.
TEST(PinPadSettings, NoFileIsNoTerminalAndTheDeveloperFileReadsAsItSays) {
    QTemporaryDir dir;
    EXPECT_EQ(LoadPinPadConfig(dir.path()).terminal.kind, TTerminalChoice::Kind::None);
    EXPECT_FALSE(QFile::exists(dir.filePath("PinPad.ini")));

    Write(dir, DefaultPinPadFile("127.0.0.1:8105"));
    const TPinPadConfig config = LoadPinPadConfig(dir.path());
    EXPECT_EQ(config.terminal.kind, TTerminalChoice::Kind::Service);
    EXPECT_EQ(config.terminal.host, "127.0.0.1");
    EXPECT_EQ(config.terminal.port, 8105);
    EXPECT_EQ(config.connectTimeoutMs, 2000);
    EXPECT_EQ(config.answerTimeoutMs, 180000);
    EXPECT_TRUE(config.interactive);
    EXPECT_TRUE(config.connected);
    EXPECT_EQ(config.responseCode, 1);
    EXPECT_EQ(config.schemeName, "Visa");
    EXPECT_EQ(config.cardEnquiryDelayMs, 2500);
    EXPECT_EQ(config.choiceTimeoutMs, 120000);
    EXPECT_EQ(config.failingCall, "");
    ASSERT_EQ(config.statusMessages.size(), 5u);
    EXPECT_EQ(config.statusMessages[1].atMs, 800);
    EXPECT_EQ(config.statusMessages[1].text, "Enter your PIN");

    Write(dir, "[PinPad]\nInteractive=false\nresponsecode = 3\nStatus=10\n[Other]\nX=1\n");
    const TPinPadConfig edited = LoadPinPadConfig(dir.path());
    EXPECT_FALSE(edited.interactive);
    EXPECT_EQ(edited.responseCode, 3);
    ASSERT_EQ(edited.statusMessages.size(), 1u);
    EXPECT_EQ(edited.statusMessages[0].text, "");
}

TEST(PinPadSettings, ABadLineIsNamedWithItsFileAndNumber) {
    QTemporaryDir dir;
    struct Case {
        QString text;
        QString error;
    };
    const Case cases[] = {
        {"[PinPad]\n\nResponseCode=one\n", "line 3: ResponseCode must be a whole number"},
        {"[PinPad]\nTerminal=localhost\n",
         "line 2: Terminal must be empty, simulator or host:port, not \"localhost\""},
        {"[PinPad]\nConnected=perhaps\n", "line 2: Connected must be true or false"},
        {"[PinPad]\nResponse=1\n", "line 2: unknown setting \"Response\""},
        {"[PinPad]\nStatus=soon Insert card\n", "line 2: Status must be milliseconds"},
        {"just text\n", "line 1: \"just text\" is not a setting"},
    };
    for (const Case& c : cases) {
        const QString path = Write(dir, c.text);
        try {
            ReadPinPadConfig(path);
            ADD_FAILURE() << c.text.toStdString();
        } catch (const std::runtime_error& e) {
            const QString message = e.what();
            EXPECT_TRUE(message.contains(path) && message.contains(c.error))
                << message.toStdString();
        }
    }
}

// A person at the virtual PIN pad decides each payment.
class InteractivePad : public TPinPadDevice {
public:
    explicit InteractivePad(TPinPadChoice choice, QStringList& shown)
        : choice_(choice), shown_(shown) {}
    void display(const QString& text) override { shown_ << text; }
    void offerChoice(bool offer) override { offered_ = offer; }
    TPinPadChoice choice() const override { return offered_ ? choice_ : TPinPadChoice::None; }

private:
    TPinPadChoice choice_;
    QStringList& shown_;
    bool offered_ = false;
};

using InteractivePaymentTest = PaymentFixture;

// Without a choice within its time the card counts as removed.
TEST_F(InteractivePaymentTest, EveryChoiceOnThePadHasItsOutcome) {
    struct Case {
        TPinPadChoice choice;
        QString result;
        bool paid;
    };
    const Case cases[] = {
        {TPinPadChoice::Approve, "3000 Payment Success|Thank you for your purchase", true},
        {TPinPadChoice::Decline, "3000 Card Declined", false},
        {TPinPadChoice::RemoveCard, "3000 Transaction Cancelled", false},
        {TPinPadChoice::NoTerminal, "3000 Could not connect to pay terminal", false},
        {TPinPadChoice::None, "3000 Transaction Cancelled", false},
    };
    config.interactive = true;
    config.connected = false;  // the pad's choice decides, not the file
    config.responseCode = 4;
    config.choiceTimeoutMs = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result.toStdString());
        QStringList shown;
        TPinPadSimulator simulator(
            config, [&] { return std::make_unique<InteractivePad>(c.choice, shown); });
        QStringList log;
        const TPaymentTerminal terminal{[&] { return std::make_unique<BorrowedClient>(simulator); },
                                        [&] { return std::make_unique<FakePaymentView>(log); },
                                        {}};
        EXPECT_EQ(TakeCardPayment(db.kiosk(), sale(7.5), terminal, db.folder()), c.paid);
        EXPECT_EQ(log.value(1), c.result);
        EXPECT_EQ(shown.value(0), "KelvoPOS Self Service\n\nPresent card");
        if (c.choice != TPinPadChoice::NoTerminal) {
            EXPECT_TRUE(shown.contains("TOTAL 7.50"));
        }
    }
    EXPECT_EQ(select("select count(*) from TBL_SALES_PAYMENTS"), "1");
}

// The payment dialog's Escape: the customer cancels while the card is still being read.
class CancellingView : public FakePaymentView {
public:
    using FakePaymentView::FakePaymentView;
    void offerCancel(std::function<void()> cancel) override { cancel_ = std::move(cancel); }
    void cancel() {
        if (cancel_) std::exchange(cancel_, {})();
    }

private:
    std::function<void()> cancel_;
};

using CancelledPaymentTest = PaymentFixture;

// Asked to stop, the simulator ends its wait and answers as for a removed card: nothing is
// charged and the sale stays open.
TEST_F(CancelledPaymentTest, ACancelAtTheTerminalEndsThePaymentUncharged) {
    config.cardEnquiryDelayMs = 600000;
    config.responseCode = 1;
    CancellingView* view = nullptr;
    simulatorWait = [&](int) {
        if (view) view->cancel();
    };
    TPaymentTerminal terminal{[&] { return std::make_unique<BorrowedClient>(simulator()); },
                              [&] {
                                  auto made = std::make_unique<CancellingView>(viewLog);
                                  view = made.get();
                                  return made;
                              },
                              {}};
    const int id = sale(2.5);
    EXPECT_FALSE(TakeCardPayment(db.kiosk(), id, terminal, db.folder()));
    EXPECT_EQ(viewLog.value(1), "3000 Transaction Cancelled");
    EXPECT_EQ(calls().filter(QStringLiteral("Abort(")).size(), 1);
    EXPECT_EQ(select("select count(*) from TBL_SALES_PAYMENTS"), "0");
    EXPECT_EQ(select("select SALE_END from TBL_SALES_HEADERS"), "");
}

}  // namespace
