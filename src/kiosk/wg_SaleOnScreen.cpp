#include "kiosk/wg_SaleOnScreen.h"

#include <QLocale>

#include "app/dm_main.h"
#include "app/uClock.h"
#include "app/uText.h"
#include "payment/uCheckout.h"
#include "payment/uPaymentJournal.h"
#include "sale/fra_transaction.h"
#include "ui/AdvDialogs.h"

TSaleOnScreen::TSaleOnScreen(Tdm& dm) : fDm(dm), fSale(dm.conx) {}

// A sale whose payment is in doubt may have been charged at its present total: it stays as it
// is until the doubt is settled or decided.
bool TSaleOnScreen::refuseIfFrozen() {
    if (fSalesID <= 0 || !TPaymentJournal(fDm.conx).frozen(fSalesID)) return false;
    ShowError(FrozenSaleMessage);
    return true;
}

TAddResult TSaleOnScreen::add(const TSaleItem& item, TSaleView& view) {
    if (refuseIfFrozen()) return {};
    return fSale.AddItem(fSalesID, fPreviousSalesID, item, view);
}

void TSaleOnScreen::refresh() {
    fTotals = fSale.ReadTotals(fSalesID);
    fColumn->showTotals(fTotals);
    fSale.LoadLines(fSalesID, cdsTX, [this](int sid) { return promoMarker(sid); });
    fColumn->showLines();
    showPayState();
}

// A frozen sale keeps the discounts it may have been charged with.
void TSaleOnScreen::evaluatePromotions() {
    if (fSalesID <= 0 || !TPaymentJournal(fDm.conx).frozen(fSalesID))
        ::EvaluatePromotions(fDm.conx, fSalesID, fPromoList);
    refresh();
}

void TSaleOnScreen::loadPromotions() {
    fPromoList = ::LoadPromotions(fDm.conx, Clock::instance().now());
}

void TSaleOnScreen::clear() {
    fSalesID = -1;
    fAmountDue.reset();
    cdsTX.clear();
    fColumn->showLines();
}

bool TSaleOnScreen::voidSelectedLine() {
    const int row = fColumn->currentRow();
    const qint64 lineId =
        row >= 0 ? cdsTX.value(row, QStringLiteral("SALES_LINE_ID")).toInt64() : 0;
    // Only product lines can go; a discount or the blank row before the discounts cannot.
    if (lineId <= 0) {
        ShowInformation(QStringLiteral("Please select a product line"));
        return false;
    }
    if (refuseIfFrozen()) return false;
    if (ShowQuestion(QStringLiteral("Void the selected line")) != mrYes) return false;
    fSale.VoidLine(lineId);
    refresh();
    return true;
}

bool TSaleOnScreen::voidTransaction() {
    if (const QString refusal = VoidRefusal(fDm.conx, fSalesID); !refusal.isEmpty()) {
        ShowError(refusal);
        return false;
    }
    if (ShowQuestion(QStringLiteral("Void current transaction")) != mrYes) return false;
    fSale.VoidTransaction(fSalesID, fPreviousSalesID);
    return true;
}

void TSaleOnScreen::recallLast() {
    fSalesID = fPreviousSalesID;
    refresh();
}

void TSaleOnScreen::showAmountDue() {
    fAmountDue = TPaymentJournal(fDm.conx).amountDue(fSalesID);
    showPayState();
}

void TSaleOnScreen::reopen() {
    if (fSalesID > 0) CancelPayment(fDm.conx, fSalesID);
    fAmountDue.reset();
    refresh();
}

QString TSaleOnScreen::spokenNewLine() const {
    int newest = -1;
    qint64 newestId = 0;
    for (int row = 0; row < cdsTX.rowCount(); ++row) {
        const qint64 id = cdsTX.value(row, QStringLiteral("SALES_LINE_ID")).toInt64();
        if (id > newestId) {
            newestId = id;
            newest = row;
        }
    }
    if (newest < 0) return spokenSubTotal();
    const double quantity = cdsTX.value(newest, QStringLiteral("SALES_QTY")).toDouble();
    const QString line =
        QStringLiteral("%1, quantity %2, %3.")
            .arg(cdsTX.value(newest, QStringLiteral("PRODUCT")).toString().trimmed(),
                 QLocale::c().toString(quantity, 'g', 6),
                 MoneyText(cdsTX.value(newest, QStringLiteral("SALES_AMT")).toDouble()));
    return line + u' ' + spokenSubTotal();
}

QString TSaleOnScreen::spokenSubTotal() const {
    return QStringLiteral("Sub-total %1, %2 %3.")
        .arg(fTotals.subTotalText)
        .arg(fTotals.itemCount)
        .arg(fTotals.itemCount == 1 ? QStringLiteral("item") : QStringLiteral("items"));
}

QString TSaleOnScreen::spokenAmountDue() const {
    return fAmountDue ? QStringLiteral("Amount due %1.").arg(MoneyText(*fAmountDue / 100.0))
                      : QString();
}

void TSaleOnScreen::showPayState() {
    fColumn->setPayState({cdsTX.rowCount() > 0, fAmountDue});
}
