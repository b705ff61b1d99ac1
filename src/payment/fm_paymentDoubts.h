#pragma once

#include <functional>

#include "payment/uPaymentJournal.h"
#include "ui/fm_baseDialog.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// Card payments in doubt, for staff: each with its sale, amount, time, terminal and how long.
// A member of staff with the manager's right scans their card, then asks the terminal again or
// decides by the card receipt or the acquirer's statement: paid (the authorisation code typed
// from the receipt) or not paid. Opened from the manager page for every doubt, or over the
// payment of the sale on screen, where the sale can also be put aside for the next customer.
class TfmPaymentDoubts : public TfmBaseDialog {
    Q_OBJECT
public:
    static constexpr QSize DoubtsClientSize{620, 458};

    // askTerminal asks the terminal about every doubt again. salesId: the sale on screen, whose
    // doubts alone are listed; 0 lists every doubt.
    TfmPaymentDoubts(fb::Connection& conx, std::function<void()> askTerminal, int salesId,
                     QWidget* parent = nullptr);

    // A staff card scanned before the dialog opened.
    void takeStaffCard(const QString& code);
    // True when staff put the sale on screen aside, still in doubt.
    bool putAside() const { return fPutAside; }

private:
    void refresh();
    void decide(bool paid);
    const TPaymentAttempt* selected() const;

    fb::Connection& fConx;
    std::function<void()> fAskTerminal;
    int fSalesId;
    QList<TPaymentAttempt> fDoubts;
    QString fDecider;  // the member of staff whose card allows deciding
    bool fPutAside = false;
    QLabel* lbStaff = nullptr;
    QListWidget* lbDoubts = nullptr;
    QLineEdit* ebAuthCode = nullptr;
    QPushButton* cmAsk = nullptr;
    QPushButton* cmPaid = nullptr;
    QPushButton* cmNotPaid = nullptr;
    QPushButton* cmPutAside = nullptr;
};
