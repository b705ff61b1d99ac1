#include "payment/wg_CardPayments.h"

#include <QPointer>
#include <optional>

#include "app/uClock.h"
#include "app/uLog.h"
#include "app/uOperators.h"
#include "app/uStopSignals.h"
#include "db/fbQuery.h"
#include "payment/fm_ccPayment.h"
#include "payment/fm_paymentDoubts.h"
#include "payment/uCheckout.h"
#include "payment/uPaymentDoubts.h"
#include "payment/uPaymentJournal.h"
#include "ui/wg_BusyScope.h"

namespace {

constexpr int kResultMs = 3000;
constexpr int kLongDoubtCheckTicks = 3600;

}  // namespace

TCardPayments::TCardPayments(fb::Connection& conx, QString dataFolder, QWidget* dialogParent,
                             std::function<void()> callAssistance)
    : fConx(conx),
      fDataFolder(std::move(dataFolder)),
      fDialogParent(dialogParent),
      fCallAssistance(std::move(callAssistance)) {}

TPaymentResult TCardPayments::pay(int salesId) {
    using Outcome = TPaymentResult::Outcome;
    if (TBusyScope::active()) return {};  // a double touch starts one payment
    TPaymentResult result;
    {
        // The payment dialog keeps the input meanwhile.
        const TBusyScope busy;
        try {
            result =
                PayForSale(fConx, salesId, CardTerminal(fDataFolder, fDialogParent), fDataFolder);
            if (result.outcome == Outcome::InDoubt) result = waitForSettlement(salesId);
        } catch (const TPaymentInterrupted&) {
            // The kiosk is stopping; the next start settles the payment.
            return {Outcome::InDoubt, CheckingPaymentHeading, CheckingPaymentMessage};
        }
    }
    fUnsettled = int(TPaymentJournal(fConx).unsettled().size());
    fBackOff.asked(false);
    return result;
}

// The sale stays frozen on the checking screen: the terminal is asked again with the back-off,
// and a staff card opens the decision. Ends when nothing of the sale is in doubt any more, when
// staff put the sale aside, or when the kiosk stops.
TPaymentResult TCardPayments::waitForSettlement(int salesId) {
    using Outcome = TPaymentResult::Outcome;
    TfmCCPayment dialog(fDialogParent);
    std::optional<QString> staffCard;
    // Only a staff card opens the staff's list; anything else scanned here changes nothing.
    QObject::connect(&dialog, &TfmCCPayment::staffScanned, [&](const QString& code) {
        fb::Query q(fConx);
        if (BarcodeToUser(q, code) != 0) staffCard = code;
    });
    dialog.showChecking(fCallAssistance);
    TSettleBackOff backOff;
    backOff.asked(true);
    bool putAside = false;
    while (TPaymentJournal(fConx).frozen(salesId) && !putAside) {
        if (StopRequested()) throw TPaymentInterrupted();
        if (staffCard) {
            TfmPaymentDoubts doubts(
                fConx, [this, salesId] { settle(salesId, TSettleMode::Ask); }, salesId, &dialog);
            doubts.takeStaffCard(*staffCard);
            doubts.exec();
            putAside = doubts.putAside();
            staffCard.reset();
            dialog.showChecking(fCallAssistance);
            continue;
        }
        if (backOff.due())
            backOff.asked(!settle(salesId, TSettleMode::Ask) &&
                          TPaymentJournal(fConx).frozen(salesId));
        TBusyScope::wait(1000);
    }
    if (putAside) return {Outcome::InDoubt, CheckingPaymentHeading, CheckingPaymentMessage};
    const TPaymentResult result = OutcomeOfSettledSale(fConx, salesId);
    dialog.showResult(kResultMs, result);
    return result;
}

bool TCardPayments::tick(int salesId) {
    if (--fTicksToLongDoubtCheck <= 0) callForLongDoubts();
    if (fUnsettled <= 0 || TBusyScope::active() || !fBackOff.due()) return false;
    return settle(salesId);
}

bool TCardPayments::settle(int salesId) {
    return settle(salesId, TSettleMode::Ask);
}

bool TCardPayments::settleAtStart(int salesId) {
    return settle(salesId, TSettleMode::AbortRunning);
}

bool TCardPayments::settle(int salesId, TSettleMode mode) {
    TPaymentJournal journal(fConx);
    fUnsettled = int(journal.unsettled().size());
    if (fUnsettled == 0) return false;
    TSettlement settled;
    const TPaymentTerminal terminal = CardTerminal(fDataFolder, fDialogParent);
    if (terminal.openClient) {
        const TBusyScope busy;  // the screen stays live; nothing else starts meanwhile
        try {
            settled = ::SettlePayments(fConx, *terminal.openClient(), fDataFolder, 0, mode);
        } catch (const TPaymentInterrupted&) {
            return false;
        }
    } else {
        settled.unsettled = fUnsettled;
        settled.problem = QStringLiteral("no payment terminal is configured");
    }
    fUnsettled = settled.unsettled;
    fBackOff.asked(!settled.problem.isEmpty());
    if (settled.problem != fSettleProblem && !settled.problem.isEmpty())
        WriteLog(QStringLiteral("%1 card payment(s) wait to be settled: %2")
                     .arg(settled.unsettled)
                     .arg(settled.problem),
                 0);
    fSettleProblem = settled.problem;
    return salesId > 0 && settled.paidSales.contains(salesId);
}

void TCardPayments::showDoubts() {
    TfmPaymentDoubts doubts(
        fConx, [this] { settle(0, TSettleMode::Ask); }, 0, fDialogParent);
    doubts.exec();
    fUnsettled = int(TPaymentJournal(fConx).unsettled().size());
}

// A payment in doubt for more than a day needs a person: the log says so at level 0, hourly.
void TCardPayments::callForLongDoubts() {
    fTicksToLongDoubtCheck = kLongDoubtCheckTicks;
    const QDateTime now = Clock::instance().now();
    for (const TPaymentAttempt& attempt : LongDoubts(TPaymentJournal(fConx).unsettled(), now))
        WriteLog(QStringLiteral("Card payment %1 of sale %2 has been in doubt since %3: a "
                                "manager must decide it on the manager page (Payments in Doubt)")
                     .arg(attempt.reference)
                     .arg(attempt.salesId)
                     .arg(attempt.created.toString(Qt::ISODate)),
                 0);
}
