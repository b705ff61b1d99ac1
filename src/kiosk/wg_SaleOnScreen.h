#pragma once

#include <QString>
#include <optional>

#include "app/uMemTable.h"
#include "promo/uPromotions.h"
#include "sale/uSale.h"

class Tdm;
class TfraTransaction;

// The sale on the main screen and its column: the sale's numbers, its lines (cdsTX) as the
// grid shows them, its promotions, and the state of the pay button. Each change shows at once
// in the transaction column.
class TSaleOnScreen {
public:
    explicit TSaleOnScreen(Tdm& dm);
    // The column that shows the sale; it reads lines().
    void showIn(TfraTransaction& column) { fColumn = &column; }

    int id() const { return fSalesID; }
    int previousId() const { return fPreviousSalesID; }
    void forgetPrevious() { fPreviousSalesID = -1; }
    const TMemTable& lines() const { return cdsTX; }
    const TPromoList& promotions() const { return fPromoList; }
    TSale& sale() { return fSale; }

    // Every way of selling a product ends here; true when the line was added.
    TAddResult add(const TSaleItem& item, TSaleView& view);
    // Redraws the totals and the lines from the database.
    void refresh();
    // Records the sale's promotion hits afresh and shows them.
    void evaluatePromotions();
    // The set is chosen once: a promotion whose hours begin later waits for the next start.
    void loadPromotions();
    // No sale on screen.
    void clear();

    // Void Line: asks, and voids the product line selected in the grid; true when voided.
    bool voidSelectedLine();
    // Void Transaction: refused while a card payment is recorded or unsettled; asks, and voids
    // the sale; true when voided.
    bool voidTransaction();
    // Recall Last Transaction: the sale before the current one is on screen again.
    void recallLast();

    // At the payment page, the pay button shows what the terminal will be asked for: a paid
    // sale brought back owes only what was added.
    void showAmountDue();
    // The payment page is left unpaid: the sale is payable again, its discounts gone, to be
    // worked out afresh at the next pay.
    void reopen();

    // What the customer hears when a product is added: the newest product line with its
    // quantity and price, then the sub-total.
    QString spokenNewLine() const;
    // The sub-total and the number of items, as spoken.
    QString spokenSubTotal() const;
    // What the terminal will be asked for, as spoken at the payment page.
    QString spokenAmountDue() const;

    // PROMO_MARKER of a line of the product sid: "*" when a loaded promotion names it.
    QString promoMarker(int sid) const { return fPromoList.PromoMarker(sid); }

private:
    bool refuseIfFrozen();
    void showPayState();

    Tdm& fDm;
    TfraTransaction* fColumn = nullptr;
    TSale fSale;
    int fSalesID = -1;
    int fPreviousSalesID = -1;
    std::optional<qint64> fAmountDue;  // what the terminal is asked for, at the payment page
    TSaleTotals fTotals;               // as last shown, for what is spoken
    TMemTable cdsTX;
    TPromoList fPromoList;
};
