#pragma once

#include <QString>

class QWidget;
namespace fb {
class Connection;
}

// The card payments of the main screen: paying the sale on screen on the terminal, and
// settling the payments left unsettled, at start and then on the screen's clock for as long as
// any is. A terminal that cannot be reached is asked less often, up to every 30 seconds.
// Nothing starts while the kiosk is busy (a payment, a settlement, an import).
class TCardPayments {
public:
    // The payment dialog stands over dialogParent.
    TCardPayments(fb::Connection& conx, QString dataFolder, QWidget* dialogParent);

    // Chip & Pin: true when the sale is paid. A second touch while a payment runs starts none;
    // a stop signal ends the payment unsettled, for the next start to settle.
    bool pay(int salesId);
    // Asks the terminal about every unsettled payment; true when salesId turned out paid.
    bool settle(int salesId);
    // A tick of the clock: settles when it is time to; true when salesId turned out paid.
    bool tick(int salesId);

private:
    fb::Connection& fConx;
    QString fDataFolder;
    QWidget* fDialogParent;
    int fUnsettled = 0;        // card payments waiting to be settled
    int fSettleWaitTicks = 0;  // ticks before the terminal is asked again
    QString fSettleProblem;    // why they wait, logged when it changes
};
