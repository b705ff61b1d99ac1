#pragma once

#include <QWidget>

#include "sale/uTopups.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QToolButton;

// The top-up page: network, then value, then confirmation, on an inner page control changed
// only by code (showSheet). It keeps the customer's choice and reports the voucher to sell.
class TfraTopup : public QWidget, private TTopupView {
    Q_OBJECT
public:
    enum Sheet { tsTopupProvider, tsTopupDenomination, tsTopUpConfirmation };

    explicit TfraTopup(QWidget* parent = nullptr);

    // Makes the sheet active and runs its entry.
    void showSheet(Sheet sheet);
    const TTopup& topup() const { return fTopup; }

    void pcTopUpChange();
    void cmTopupProviderClick(int provider);
    void pnTopupDenominationClick(int denon);
    void cmTopupConfirmClick();
    void cmTopupAbortClick();
    void cmTopupCancelClick();

signals:
    // The voucher to sell, by its barcode.
    void voucherChosen(const QString& barcode);
    // The customer is done with the page.
    void closeRequested();

private:
    QWidget* buildProviderSheet();
    QWidget* buildDenominationSheet();
    QWidget* buildConfirmationSheet();
    void showProvider(const QString& text) override;
    void showDenon(const QString& text) override;

    TTopup fTopup{*this};
    QLabel* pnTopupHeader = nullptr;
    QStackedWidget* pcTopUp = nullptr;
    QLabel* lbTopupProvider = nullptr;
    QLabel* lbTopupDenon = nullptr;
    QToolButton* cmTopupConfirm = nullptr;
    QToolButton* cmTopupAbort = nullptr;
    QPushButton* cmTopupCancel = nullptr;
};
