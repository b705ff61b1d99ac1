#include "payment/wg_CardPayments.h"

#include <algorithm>

#include "app/uLog.h"
#include "payment/fm_ccPayment.h"
#include "payment/uCheckout.h"
#include "payment/uPaymentJournal.h"
#include "ui/wg_BusyScope.h"

TCardPayments::TCardPayments(fb::Connection& conx, QString dataFolder, QWidget* dialogParent)
    : fConx(conx), fDataFolder(std::move(dataFolder)), fDialogParent(dialogParent) {}

bool TCardPayments::pay(int salesId) {
    if (TBusyScope::active()) return false;  // a double touch starts one payment
    bool paid = false;
    {
        // The payment dialog keeps the input meanwhile.
        const TBusyScope busy;
        try {
            paid =
                PayForSale(fConx, salesId, CardTerminal(fDataFolder, fDialogParent), fDataFolder);
        } catch (const TPaymentInterrupted&) {
            return false;  // the kiosk is stopping; the next start settles the payment
        }
    }
    fUnsettled = int(TPaymentJournal(fConx).unsettled().size());
    fSettleWaitTicks = 1;
    return paid;
}

bool TCardPayments::tick(int salesId) {
    if (fUnsettled <= 0 || TBusyScope::active() || --fSettleWaitTicks > 0) return false;
    return settle(salesId);
}

bool TCardPayments::settle(int salesId) {
    TPaymentJournal journal(fConx);
    fUnsettled = int(journal.unsettled().size());
    if (fUnsettled == 0) return false;
    TSettlement settled;
    const TPaymentTerminal terminal = CardTerminal(fDataFolder, fDialogParent);
    if (terminal.openClient) {
        const TBusyScope busy;  // the screen stays live; nothing else starts meanwhile
        try {
            settled = ::SettlePayments(fConx, *terminal.openClient(), fDataFolder);
        } catch (const TPaymentInterrupted&) {
            return false;
        }
    } else {
        settled.unsettled = fUnsettled;
        settled.problem = QStringLiteral("no payment terminal is configured");
    }
    fUnsettled = settled.unsettled;
    fSettleWaitTicks =
        settled.problem.isEmpty() ? 1 : std::min(30, std::max(2, fSettleWaitTicks * 2));
    if (settled.problem != fSettleProblem && !settled.problem.isEmpty())
        WriteLog(QStringLiteral("%1 card payment(s) wait to be settled: %2")
                     .arg(settled.unsettled)
                     .arg(settled.problem),
                 0);
    fSettleProblem = settled.problem;
    return salesId > 0 && settled.paidSales.contains(salesId);
}
