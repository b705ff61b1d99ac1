#include "payment/fm_ccPayment.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <utility>

#include "app/uLog.h"
#include "app/uSpeech.h"
#include "payment/uPinPadSimulator.h"
#include "payment/uTerminalClient.h"
#include "payment/wg_PinPad.h"
#include "ui/wg_AccessModes.h"
#include "ui/wg_ActivityIndicator.h"
#include "ui/wg_BusyScope.h"
#include "ui/wg_Fonts.h"
#include "ui/wg_Window.h"

namespace {

constexpr int Margin = 32;
constexpr int IndicatorSize = 120;

}  // namespace

const QString TfmCCPayment::DefaultMessage =
    QStringLiteral("Please follow the instructions on the PIN pad");

TfmCCPayment::TfmCCPayment(QWidget* parent) : TfmBaseDialog(parent) {
    setObjectName(QStringLiteral("fmCCPayment"));
    setFixedSize(PaymentClientSize.grownBy({BorderWidth, BorderWidth, BorderWidth, BorderWidth}));
    clientArea()->resize(PaymentClientSize);
    // The main screen behind takes no touch or scan until the payment is over.
    setWindowModality(Qt::WindowModal);
    setHeaderCaption({});

    const int width = PaymentClientSize.width();
    const int indicatorTop = PaymentClientSize.height() - Margin - IndicatorSize;
    lbMessage = new QLabel(DefaultMessage, clientArea());
    lbMessage->setObjectName(QStringLiteral("lbMessage"));
    lbMessage->setTextFormat(Qt::PlainText);
    lbMessage->setAlignment(Qt::AlignCenter);
    lbMessage->setWordWrap(true);
    lbMessage->setFont(KioskFont(KioskFace::Tahoma, 21));
    lbMessage->setGeometry(Margin, HeaderHeight + Margin, width - 2 * Margin,
                           indicatorTop - HeaderHeight - 2 * Margin);

    ActivityIndicator1 = new TActivityIndicator(clientArea());
    ActivityIndicator1->setObjectName(QStringLiteral("ActivityIndicator1"));
    ActivityIndicator1->setGeometry((width - IndicatorSize) / 2, indicatorTop, IndicatorSize,
                                    IndicatorSize);
    ActivityIndicator1->setAnimate(true);

    // While a payment is in doubt the customer can call for help; the staff who come scan
    // their card into the dialog's scan buffer.
    cmAssistance = new QPushButton(QStringLiteral("Assistance"), clientArea());
    cmAssistance->setObjectName(QStringLiteral("cmAssistance"));
    cmAssistance->setFont(KioskFont(KioskFace::Tahoma, 16));
    cmAssistance->setGeometry((width - 200) / 2, indicatorTop - 60, 200, 50);
    cmAssistance->setFocusPolicy(Qt::NoFocus);
    cmAssistance->hide();
    connect(cmAssistance, &QPushButton::clicked, this, [this] {
        if (fCallAssistance) fCallAssistance();
        ebScanBuffer->setFocus();
    });
    connect(cmEndScan, &QPushButton::clicked, this, [this] {
        const QString code = ebScanBuffer->text();
        ebScanBuffer->clear();
        if (!code.isEmpty() && fProgress == 0) emit staffScanned(code);
    });

    Timer1.setInterval(PollMs);
    connect(&Timer1, &QTimer::timeout, this, &TfmCCPayment::Timer1Timer);
    CentreOnScreen(*this);
}

void TfmCCPayment::appear() {
    show();
    raise();
    activateWindow();
    ebScanBuffer->setFocus();
}

void TfmCCPayment::showProgress(NonGuiTransactionHook& hook) {
    fHook = &hook;
    fProgress = 1;
    appear();
    Timer1.start();
    TBusyScope::keepAlive();
}

void TfmCCPayment::showResult(int ms, const TPaymentResult& result) {
    fProgress = 0;
    cmAssistance->hide();
    if (!isVisible()) appear();  // a message without a payment running
    setHeaderCaption(result.heading);
    lbMessage->setText(result.message);
    ActivityIndicator1->setAnimate(false);
    // A result with a heading is the payment's success; one without is a refusal or a failure.
    TSpeaker::instance().say(result.heading.isEmpty()
                                 ? result.message
                                 : result.heading + QStringLiteral(". ") + result.message,
                             result.heading.isEmpty() ? TSpeechKind::Error : TSpeechKind::Prompt);
    TBusyScope::wait(TAccessModes::instance().timedMessageMs(ms));
}

void TfmCCPayment::showChecking(std::function<void()> callAssistance) {
    fProgress = 0;
    fCallAssistance = std::move(callAssistance);
    appear();  // also back on top after the staff's list closed
    setHeaderCaption(CheckingPaymentHeading);
    lbMessage->setText(CheckingPaymentMessage);
    ActivityIndicator1->setAnimate(true);
    cmAssistance->show();
    TSpeaker::instance().say(CheckingPaymentMessage);
}

// The prompt is only shown to the customer: a terminal that cannot tell it is logged once and
// the payment goes on.
void TfmCCPayment::Timer1Timer() {
    if (fProgress > 0 && fHook) {
        QString status;
        try {
            status = fHook->StatusMessage();
        } catch (const std::exception& e) {
            if (!fStatusFailed) WriteLog(QString::fromUtf8(e.what()), 0);
            fStatusFailed = true;
        }
        showStatus(status.isEmpty() ? DefaultMessage : status);
    }
}

// A new prompt of the terminal is spoken; the digits of a PIN never are, only that one more
// was entered.
void TfmCCPayment::showStatus(const QString& status) {
    if (status == lbMessage->text()) return;
    const QString spoken = SpokenTerminalStatus(lbMessage->text(), status);
    lbMessage->setText(status);
    TSpeaker::instance().say(spoken);
}

void TfmCCPayment::reject() {
    if (fProgress == 0 || !fCancel) return;
    const auto cancel = std::exchange(fCancel, {});  // once
    cancel();
}

// Only the payment closes the dialog.
void TfmCCPayment::closeEvent(QCloseEvent* event) {
    event->ignore();
}

namespace {

// The simulated terminal inside the kiosk keeps what it decided for as long as the kiosk runs,
// as a terminal's journal would; each payment reads the settings afresh.
TPinPadSimulator& KioskSimulator(TPinPadConfig config) {
    static TPinPadSimulator simulator(
        config, [] { return std::make_unique<TPinPadWindow>(); }, TBusyScope::wait);
    simulator.setConfig(std::move(config));
    return simulator;
}

}  // namespace

TPaymentTerminal CardTerminal(const QString& dataFolder, QWidget* parent) {
    const TPinPadConfig config = LoadPinPadConfig(dataFolder);
    TPaymentTerminal terminal;
    terminal.openView = [parent] { return std::make_unique<TfmCCPayment>(parent); };
    switch (config.terminal.kind) {
        case TTerminalChoice::Kind::None:
            break;
        case TTerminalChoice::Kind::Simulator:
            terminal.openClient = [config] {
                return std::make_unique<TBorrowedClient>(KioskSimulator(config));
            };
            break;
        case TTerminalChoice::Kind::Service:
            terminal.openClient = [config] {
                TTerminalAddress address{config.terminal.host, config.terminal.port,
                                         config.connectTimeoutMs, config.answerTimeoutMs};
                address.secret = config.terminal.secret;
                return std::make_unique<TTerminalClient>(address, TBusyScope::keepAlive);
            };
            break;
    }
    return terminal;
}
