#pragma once

#include <QString>
#include <functional>

#include "payment/uCardPayment.h"
#include "payment/uSettlement.h"

class QWidget;
namespace fb {
class Connection;
}

// The card payments of the main screen: paying the sale on screen on the terminal, keeping it
// frozen while its payment is in doubt, and settling the payments left unsettled, at start and
// then on the screen's clock for as long as any is (less often while the terminal does not
// answer). Nothing starts while the kiosk is busy (a payment, a settlement, an import).
class TCardPayments {
public:
    // The payment dialog stands over dialogParent; callAssistance is the Assistance key's.
    TCardPayments(fb::Connection& conx, QString dataFolder, QWidget* dialogParent,
                  std::function<void()> callAssistance = {});

    // Chip & Pin. A payment in doubt keeps the customer on the checking screen while the
    // terminal is asked again, until it is settled or staff decide it; InDoubt comes back only
    // when staff put the sale aside or the kiosk is stopping. A second touch while a payment
    // runs starts none.
    TPaymentResult pay(int salesId);
    // At start: payments an earlier run left waiting at the terminal are aborted, and every
    // unsettled payment is asked about; true when salesId turned out paid.
    bool settleAtStart(int salesId);
    // Asks the terminal about every unsettled payment; true when salesId turned out paid.
    bool settle(int salesId);
    // A tick of the clock: settles when it is time to; true when salesId turned out paid.
    bool tick(int salesId);
    // The manager page's list of payments in doubt.
    void showDoubts();

private:
    bool settle(int salesId, TSettleMode mode);
    TPaymentResult waitForSettlement(int salesId);
    void callForLongDoubts();

    fb::Connection& fConx;
    QString fDataFolder;
    QWidget* fDialogParent;
    std::function<void()> fCallAssistance;
    int fUnsettled = 0;  // card payments waiting to be settled
    TSettleBackOff fBackOff;
    QString fSettleProblem;  // why they wait, logged when it changes
    int fTicksToLongDoubtCheck = 0;
};
