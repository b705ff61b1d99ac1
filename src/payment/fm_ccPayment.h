#pragma once

#include <QTimer>

#include "payment/uCardPayment.h"
#include "ui/fm_baseDialog.h"

class QLabel;
class QPushButton;
class TActivityIndicator;

// The card payment dialog: it tells the customer to follow the PIN pad, shows the terminal's
// prompts while the payment runs and its result afterwards. It stays on top of the main screen,
// which takes no input while it is shown, but does not hold up the payment: the checkout drives
// it through TPaymentView.
class TfmCCPayment : public TfmBaseDialog, public TPaymentView {
    Q_OBJECT
public:
    static constexpr QSize PaymentClientSize{355, 476};
    static constexpr int PollMs = 500;
    static const QString DefaultMessage;

    explicit TfmCCPayment(QWidget* parent = nullptr);

    void showProgress(NonGuiTransactionHook& hook) override;
    void showResult(int ms, const TPaymentResult& result) override;
    // The payment is in doubt: the customer reads that it is being checked, with a key to call
    // for assistance; a staff card scanned meanwhile is reported by staffScanned.
    void showChecking(std::function<void()> callAssistance);
    void offerCancel(std::function<void()> cancel) override { fCancel = std::move(cancel); }

    // Escape: a payment the terminal has not answered is cancelled; the dialog stays until the
    // payment's result has shown.
    void reject() override;

    // Shows the terminal's current prompt while the payment is in progress.
    void Timer1Timer();
    void showStatus(const QString& status);
    int progress() const { return fProgress; }

signals:
    void staffScanned(const QString& code);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Shown over the main screen with the keyboard in its scan buffer.
    void appear();

    QLabel* lbMessage = nullptr;
    TActivityIndicator* ActivityIndicator1 = nullptr;
    QPushButton* cmAssistance = nullptr;
    std::function<void()> fCallAssistance;
    QTimer Timer1;
    int fProgress = 0;  // 1 while the payment runs, 0 once a result shows
    NonGuiTransactionHook* fHook = nullptr;
    bool fStatusFailed = false;
    std::function<void()> fCancel;
};

// The card terminal of this kiosk: the simulated PIN pad configured by dataFolder's
// PinPad.ini, with the virtual PIN pad window in interactive mode, and the payment dialog over
// parent.
TPaymentTerminal CardTerminal(const QString& dataFolder, QWidget* parent);
